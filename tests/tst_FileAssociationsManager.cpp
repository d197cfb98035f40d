#include "DefaultApplicationPolicy.h"
#include "DefaultApplicationRegistrar.h"
#include "DefaultFileTypesSection.h"
#include "FileAssociationsManager.h"
#include "Settings.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

using Call = std::pair<QString, FileContentType>;

class TestFileAssociationsManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void firstUseStoresTheDefaultList();
    void storedListIsSortedAndNotWrittenBack();
    void addCleansAndChecksTheText_data();
    void addCleansAndChecksTheText();
    void removeKeepsTheLastExtension();
    void registrationsGoToTheHandler();
    void launchKeepsWhatTheUserChose_data();
    void launchKeepsWhatTheUserChose();
    void launchLeavesAnotherChoiceAlone();
    void fileTypesSectionSaysWhenNotInstalled();
    void contentTypes_data();
    void contentTypes();
    void resetRestoresTheDefaultsWithoutRegistering();
    void registersWithTheDesktop();
    void declaresUnknownExtensionsToTheDesktop();

private:
    std::unique_ptr<FileAssociationsManager> makeManager();
    static QString runGio(const QStringList &arguments);

    QTemporaryDir m_folder;
    std::unique_ptr<Settings> m_settings;
    QList<Call> m_calls;
};

// The desktop only accepts a default application it can find: a minimal desktop file in the
// test's own XDG data folder stands in for the installed one.
void TestFileAssociationsManager::initTestCase()
{
    const QString applications = qEnvironmentVariable("XDG_DATA_HOME") + u"/applications"_qs;
    QVERIFY(QDir().mkpath(applications));
    QFile desktop(applications + u'/' + FileAssociationsManager::applicationId());
    QVERIFY(desktop.open(QIODevice::WriteOnly));
    desktop.write("[Desktop Entry]\nType=Application\nName=Scrivlet\nExec=true %F\n"
                  "MimeType=text/plain;\n");
}

void TestFileAssociationsManager::init()
{
    m_settings.reset();
    QFile::remove(m_folder.filePath(u"settings.conf"_qs));
    m_settings = std::make_unique<Settings>(m_folder.filePath(u"settings.conf"_qs));
    m_calls.clear();
}

std::unique_ptr<FileAssociationsManager> TestFileAssociationsManager::makeManager()
{
    return std::make_unique<FileAssociationsManager>(
        *m_settings, [this](const QString &id, const FileContentType &type) {
            m_calls.append({id, type});
        });
}

QString TestFileAssociationsManager::runGio(const QStringList &arguments)
{
    QProcess gio;
    gio.start(u"gio"_qs, arguments);
    if (!gio.waitForFinished(10'000))
        return {};
    return QString::fromUtf8(gio.readAllStandardOutput());
}

void TestFileAssociationsManager::firstUseStoresTheDefaultList()
{
    QVERIFY(!m_settings->fileExtensions());
    const auto manager = makeManager();
    QCOMPARE(manager->extensions(), (QStringList {u"text"_qs, u"txt"_qs}));
    QCOMPARE(m_settings->fileExtensions(), (QStringList {u"text"_qs, u"txt"_qs}));
}

void TestFileAssociationsManager::storedListIsSortedAndNotWrittenBack()
{
    m_settings->setFileExtensions({u"txt"_qs, u"md"_qs, u"c"_qs});
    const auto manager = makeManager();
    QCOMPARE(manager->extensions(), (QStringList {u"c"_qs, u"md"_qs, u"txt"_qs}));
    QCOMPARE(m_settings->fileExtensions(), (QStringList {u"txt"_qs, u"md"_qs, u"c"_qs}));
}

void TestFileAssociationsManager::addCleansAndChecksTheText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("expected");
    const QStringList unchanged {u"text"_qs, u"txt"_qs};
    QTest::addRow("dot and spaces around upper case")
        << u" .MD "_qs << QStringList {u"md"_qs, u"text"_qs, u"txt"_qs};
    QTest::addRow("several dots") << u"...md"_qs << QStringList {u"md"_qs, u"text"_qs, u"txt"_qs};
    QTest::addRow("digits") << u"mp3\n"_qs << QStringList {u"mp3"_qs, u"text"_qs, u"txt"_qs};
    QTest::addRow("inner space") << u"m d"_qs << unchanged;
    QTest::addRow("inner dot") << u"tar.gz"_qs << unchanged;
    QTest::addRow("non-ASCII letter") << u"é"_qs << unchanged;
    QTest::addRow("duplicate after lower-casing") << u"TXT"_qs << unchanged;
    QTest::addRow("only a dot") << u"."_qs << unchanged;
    QTest::addRow("empty") << QString() << unchanged;
    QTest::addRow("path") << u"../x"_qs << unchanged;
}

void TestFileAssociationsManager::addCleansAndChecksTheText()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, expected);
    const auto manager = makeManager();
    const bool added = manager->addExtension(typed);
    QCOMPARE(added, expected.size() == 3);
    QCOMPARE(manager->extensions(), expected);
    QCOMPARE(m_settings->fileExtensions(), expected);
    QCOMPARE(m_calls.size(), added ? 1 : 0);
}

void TestFileAssociationsManager::removeKeepsTheLastExtension()
{
    const auto manager = makeManager();
    QVERIFY(!manager->removeExtension(u"TXT"_qs)); // compared as given, not cleaned
    QVERIFY(!manager->removeExtension(u"md"_qs));
    QVERIFY(manager->removeExtension(u"txt"_qs));
    QCOMPARE(m_settings->fileExtensions(), QStringList {u"text"_qs});
    QVERIFY(!manager->removeExtension(u"text"_qs));
    QCOMPARE(manager->extensions(), QStringList {u"text"_qs});
    QVERIFY(m_calls.isEmpty());
}

void TestFileAssociationsManager::registrationsGoToTheHandler()
{
    const auto manager = makeManager();
    manager->addExtension(u"md"_qs);
    QCOMPARE(m_calls.size(), 1);
    QCOMPARE(m_calls.at(0).first, u"org.scrivlet.Scrivlet.desktop"_qs);
    QCOMPARE(m_calls.at(0).second.mimeType, u"text/markdown"_qs);
    manager->removeExtension(u"md"_qs);
    m_calls.clear();
    manager->registerAllExtensions();
    QCOMPARE(m_calls.size(), 2);
    QCOMPARE(m_calls.at(0).second.mimeType, u"text/plain"_qs); // "text", declared by us
    QCOMPARE(m_calls.at(1).second, (FileContentType {u"text/plain"_qs, QString()}));

    // A hand-edited list is shown as stored, but only real extensions reach the desktop.
    m_settings->setFileExtensions({u"../evil"_qs, u"tar.gz"_qs, u"txt"_qs});
    m_calls.clear();
    manager->registerAllExtensions();
    QCOMPARE(manager->extensions().size(), 3);
    QCOMPARE(m_calls.size(), 1);
}

void TestFileAssociationsManager::contentTypes_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("mimeType");
    QTest::addColumn<bool>("declaredByUs");
    QTest::addRow("txt") << u"txt"_qs << u"text/plain"_qs << false;
    QTest::addRow("csv") << u"csv"_qs << u"text/csv"_qs << false;
    QTest::addRow("unknown to the MIME database") << u"zzq"_qs << u"text/x-scrivlet-zzq"_qs << true;
}

void TestFileAssociationsManager::contentTypes()
{
    QFETCH(QString, extension);
    QFETCH(QString, mimeType);
    QFETCH(bool, declaredByUs);
    const std::optional<FileContentType> type = FileContentTypes::forExtension(extension);
    QVERIFY(type);
    QCOMPARE(type->mimeType, mimeType);
    QCOMPARE(type->undeclaredExtension, declaredByUs ? extension : QString());
    QVERIFY(!FileContentTypes::forExtension(u"a/b"_qs));
}

void TestFileAssociationsManager::resetRestoresTheDefaultsWithoutRegistering()
{
    m_settings->setFileExtensions({u"md"_qs});
    const auto manager = makeManager();
    const auto other = makeManager();
    manager->resetToDefaults();
    QCOMPARE(m_settings->fileExtensions(), (QStringList {u"text"_qs, u"txt"_qs}));
    QCOMPARE(other->extensions(), (QStringList {u"text"_qs, u"txt"_qs})); // follows the store
    QVERIFY(m_calls.isEmpty());
}

void TestFileAssociationsManager::registersWithTheDesktop()
{
    if (QStandardPaths::findExecutable(u"gio"_qs).isEmpty())
        QSKIP("the gio tool (libglib2.0-bin) is not installed");
    FileAssociationsManager manager(*m_settings);
    manager.registerAllExtensions();
    DefaultApplicationRegistrar::waitForQueued();
    QVERIFY2(runGio({u"mime"_qs, u"text/plain"_qs}).contains(u": org.scrivlet.Scrivlet.desktop"_qs),
        qPrintable(runGio({u"mime"_qs, u"text/plain"_qs})));
    QFile mimeApps(qEnvironmentVariable("XDG_CONFIG_HOME") + u"/mimeapps.list"_qs);
    QVERIFY(mimeApps.open(QIODevice::ReadOnly));
    QVERIFY(mimeApps.readAll().contains("text/plain=org.scrivlet.Scrivlet.desktop"));

    // shared-mime-info has no glob for "text": the user-level package supplies it.
    const QString file = m_folder.filePath(u"notes.text"_qs);
    QFile notes(file);
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("hello\n");
    notes.close();
    const QString info = runGio({u"info"_qs, u"-a"_qs, u"standard::content-type"_qs, file});
    QVERIFY2(info.contains(u"content-type: text/plain"_qs), qPrintable(info));
}

void TestFileAssociationsManager::declaresUnknownExtensionsToTheDesktop()
{
    if (QStandardPaths::findExecutable(u"gio"_qs).isEmpty()
        || QStandardPaths::findExecutable(u"update-mime-database"_qs).isEmpty())
        QSKIP("gio (libglib2.0-bin) or update-mime-database (shared-mime-info) is missing");
    FileAssociationsManager manager(*m_settings);
    QVERIFY(manager.addExtension(u"zzq"_qs));
    DefaultApplicationRegistrar::waitForQueued();
    QVERIFY(QFile::exists(UserMimePackage::packageFilePath(u"zzq"_qs)));
    QVERIFY(runGio({u"mime"_qs, u"text/x-scrivlet-zzq"_qs})
                .contains(u"org.scrivlet.Scrivlet.desktop"_qs));

    // A file with the new extension is now recognised as the declared type, and so opens in
    // Scrivlet; its parent type keeps other text editors on offer.
    const QString file = m_folder.filePath(u"notes.zzq"_qs);
    QFile notes(file);
    QVERIFY(notes.open(QIODevice::WriteOnly));
    notes.write("hello\n");
    notes.close();
    const QString info = runGio({u"info"_qs, u"-a"_qs, u"standard::content-type"_qs, file});
    QVERIFY2(info.contains(u"text/x-scrivlet-zzq"_qs), qPrintable(info));
}

using Decision = DefaultApplicationPolicy::Decision;

void TestFileAssociationsManager::launchKeepsWhatTheUserChose_data()
{
    const QString own = FileAssociationsManager::applicationId();
    const QString other = u"org.gnome.TextEditor.desktop"_qs;
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("setByScrivlet");
    QTest::addColumn<bool>("declined");
    QTest::addColumn<QString>("currentDefault");
    QTest::addColumn<Decision>("expected");
    QTest::addRow("never set, another default")
        << true << false << false << other << Decision::Register;
    QTest::addRow("never set, no default")
        << true << false << false << QString() << Decision::Register;
    QTest::addRow("set and unchanged") << true << true << false << own << Decision::Register;
    QTest::addRow("set, then the user chose another")
        << true << true << false << other << Decision::LeaveAlone;
    QTest::addRow("set, then no default at all")
        << true << true << false << QString() << Decision::LeaveAlone;
    QTest::addRow("user said no") << true << false << true << other << Decision::LeaveAlone;
    QTest::addRow("user said no, Scrivlet default anyway")
        << true << false << true << own << Decision::LeaveAlone;
    QTest::addRow("not installed") << false << false << false << other << Decision::NotInstalled;
    QTest::addRow("not installed, set before")
        << false << true << false << QString() << Decision::NotInstalled;
}

void TestFileAssociationsManager::launchKeepsWhatTheUserChose()
{
    QFETCH(bool, installed);
    QFETCH(bool, setByScrivlet);
    QFETCH(bool, declined);
    QFETCH(QString, currentDefault);
    QFETCH(Decision, expected);
    const DefaultApplicationPolicy::Facts facts {installed, setByScrivlet, declined, currentDefault,
        FileAssociationsManager::applicationId()};
    QCOMPARE(DefaultApplicationPolicy::atLaunch(facts), expected);
}

// Through the real desktop database: the default the user picked after Scrivlet's own survives
// the next launch.
void TestFileAssociationsManager::launchLeavesAnotherChoiceAlone()
{
    if (QStandardPaths::findExecutable(u"gio"_qs).isEmpty())
        QSKIP("the gio tool (libglib2.0-bin) is not installed");
    QFile other(qEnvironmentVariable("XDG_DATA_HOME") + u"/applications/other-editor.desktop"_qs);
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("[Desktop Entry]\nType=Application\nName=Other\nExec=true %F\n"
                "MimeType=text/plain;\n");
    other.close();
    const QString id = FileAssociationsManager::applicationId();
    const FileContentType plainText {u"text/plain"_qs, {}};
    QVERIFY(DefaultApplicationRegistrar::registerNow(id, plainText));
    runGio({u"mime"_qs, u"text/plain"_qs, u"other-editor.desktop"_qs});
    QTest::qWait(200); // GIO notices the changed mimeapps.list through a file monitor
    DefaultApplicationRegistrar::registerAtLaunch(id, plainText);
    QVERIFY2(runGio({u"mime"_qs, u"text/plain"_qs}).contains(u": other-editor.desktop"_qs),
        qPrintable(runGio({u"mime"_qs, u"text/plain"_qs})));
    // Choosing Scrivlet again makes it Scrivlet's to keep up once more.
    QVERIFY(DefaultApplicationRegistrar::registerNow(id, plainText));
    DefaultApplicationRegistrar::recordDeclined(plainText.mimeType);
    runGio({u"mime"_qs, u"text/plain"_qs, u"other-editor.desktop"_qs});
    QFile state(DefaultApplicationRegistrar::stateFilePath());
    QVERIFY(state.open(QIODevice::ReadOnly));
    QCOMPARE(state.readAll(), QByteArray("declined text/plain\n"));
}

// Where the user adds file types is where they learn that a build from source cannot take them.
void TestFileAssociationsManager::fileTypesSectionSaysWhenNotInstalled()
{
    const auto manager = makeManager();
    const QString desktopFile = qEnvironmentVariable("XDG_DATA_HOME") + u"/applications/"_qs
        + FileAssociationsManager::applicationId();
    QVERIFY(!DefaultFileTypesSection(manager.get()).notInstalledLabel());
    QVERIFY(QFile::rename(desktopFile, desktopFile + u".away"_qs));
    QTest::qWait(200); // GIO notices the removal through a file monitor
    const DefaultFileTypesSection section(manager.get());
    QVERIFY(QFile::rename(desktopFile + u".away"_qs, desktopFile));
    QVERIFY(section.notInstalledLabel());
    QCOMPARE(section.notInstalledLabel()->text(), DefaultFileTypesSection::notInstalledText);
    QTest::qWait(200);
}

SCRIVLET_TEST_MAIN(TestFileAssociationsManager)
#include "tst_FileAssociationsManager.moc"
