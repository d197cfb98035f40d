#include "FileManagerHooks.h"
#include "TestEnvironment.h"
#include "ThunarCustomActions.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

Q_DECLARE_METATYPE(FileManagerHooks::FileManager)
Q_DECLARE_METATYPE(FileManagerHooks::HookState)

namespace {

using FileManager = FileManagerHooks::FileManager;
using HookState = FileManagerHooks::HookState;

// A path that needs quoting in every format the hooks use, under a folder of the test's own
// (made in initTestCase, where the program is written, so that installed hooks are not broken).
QString programRoot;
QString program;

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeFile(const QString &path, const QString &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

QString iconPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + u"/icons/hicolor/16x16/apps/scrivlet-new-text-document.png"_qs;
}

const QString otherThunarAction = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n"
                                  "<action>\n\t<name>Open Terminal Here</name>\n"
                                  "\t<unique-id>1-1</unique-id>\n</action>\n</actions>\n"_qs;

} // namespace

class TestFileManagerHooks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void classify_data();
    void classify();
    void readsBackTheProgram_data();
    void readsBackTheProgram();
    void perUserCopyBesideThePackagedHook_data();
    void perUserCopyBesideThePackagedHook();
    void hookOfAMissingProgramIsBrokenAndRemovable_data();
    void hookOfAMissingProgramIsBrokenAndRemovable();
    void installsAndRemovesPerUserHooks_data();
    void installsAndRemovesPerUserHooks();
    void keepsTheUsersOtherThunarActions();
    void leavesAFileItDoesNotUnderstandAlone();
    void cannotInstallNautilusPerUser();
};

void TestFileManagerHooks::initTestCase()
{
    static QTemporaryDir root;
    QVERIFY(root.isValid());
    programRoot = root.path();
    program = programRoot + u"/My Apps/it's $x/scrivlet-finder-sync"_qs;
    writeFile(program, u"#!/bin/sh\n"_qs);
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
}

void TestFileManagerHooks::cleanup()
{
    qunsetenv("XDG_DATA_DIRS");
    QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)).removeRecursively();
    QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .removeRecursively();
}

void TestFileManagerHooks::installsAndRemovesPerUserHooks_data()
{
    QTest::addColumn<FileManager>("manager");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("executable");
    QTest::addRow("Nemo") << FileManager::Nemo
                          << u"Exec='@ROOT@/My Apps/it'\\''s $x/scrivlet-finder-sync' %P\n"_qs
                          << false;
    QTest::addRow("Dolphin") << FileManager::Dolphin
                             << u"Exec=\"@ROOT@/My Apps/it's \\\\$x/scrivlet-finder-sync\" %f\n"_qs
                             << true;
    QTest::addRow("Thunar")
        << FileManager::Thunar
        << u"<command>'@ROOT@/My Apps/it'\\''s $x/scrivlet-finder-sync' %f</command>"_qs << false;
}

void TestFileManagerHooks::installsAndRemovesPerUserHooks()
{
    QFETCH(FileManager, manager);
    QFETCH(QString, command);
    QFETCH(bool, executable);
    command.replace(u"@ROOT@"_qs, programRoot);
    const FileManagerHooks hooks(program);
    const QString path = FileManagerHooks::hookPath(manager);
    QCOMPARE(hooks.state(manager), HookState::NotInstalled);
    QString error;
    QVERIFY2(hooks.install(manager, error), qPrintable(error));
    QCOMPARE(hooks.state(manager), HookState::InstalledForUser);
    const QString text = readFile(path);
    QVERIFY2(text.contains(command), qPrintable(text));
    QVERIFY(text.contains(u"New Text Document"_qs));
    QCOMPARE(QFileInfo(path).isExecutable(), executable);
    QVERIFY(QFileInfo::exists(iconPath()));

    QVERIFY(hooks.remove(manager, error));
    QCOMPARE(hooks.state(manager), HookState::NotInstalled);
    QVERIFY(!readFile(path).contains(u"scrivlet"_qs));
    QVERIFY2(!QFileInfo::exists(iconPath()), "the icon goes with the last hook");
}

void TestFileManagerHooks::keepsTheUsersOtherThunarActions()
{
    const QString path = FileManagerHooks::hookPath(FileManager::Thunar);
    writeFile(path, otherThunarAction);
    const FileManagerHooks hooks(program);
    QString error;
    QVERIFY(hooks.install(FileManager::Thunar, error));
    QVERIFY(hooks.install(FileManager::Thunar, error)); // again: still one action of ours
    const QString installed = readFile(path);
    QCOMPARE(installed.count(u"<unique-id>scrivlet-new-text-document</unique-id>"_qs), 1);
    QVERIFY(installed.contains(u"<unique-id>1-1</unique-id>"_qs));
    QVERIFY(hooks.remove(FileManager::Thunar, error));
    QCOMPARE(readFile(path), otherThunarAction);
}

void TestFileManagerHooks::leavesAFileItDoesNotUnderstandAlone()
{
    const QString path = FileManagerHooks::hookPath(FileManager::Thunar);
    writeFile(path, u"not xml at all"_qs);
    QString error;
    QVERIFY(!FileManagerHooks(program).install(FileManager::Thunar, error));
    QVERIFY(error.contains(path));
    QCOMPARE(readFile(path), u"not xml at all"_qs);
}

void TestFileManagerHooks::cannotInstallNautilusPerUser()
{
    QString error;
    QVERIFY(!FileManagerHooks(program).install(FileManager::Nautilus, error));
    QVERIFY(error.contains(u"package"_qs));
}

void TestFileManagerHooks::classify_data()
{
    QTest::addColumn<bool>("forUser");
    QTest::addColumn<bool>("systemWide");
    QTest::addColumn<bool>("programExists");
    QTest::addColumn<HookState>("expected");
    QTest::addRow("none") << false << false << false << HookState::NotInstalled;
    QTest::addRow("per user") << true << false << true << HookState::InstalledForUser;
    QTest::addRow("packaged") << false << true << false << HookState::InstalledSystemWide;
    QTest::addRow("both") << true << true << true << HookState::InstalledForUserAndSystemWide;
    QTest::addRow("both, own copy broken")
        << true << true << false << HookState::InstalledForUserAndSystemWide;
    QTest::addRow("per user, program gone") << true << false << false << HookState::Broken;
}

void TestFileManagerHooks::classify()
{
    QFETCH(bool, forUser);
    QFETCH(bool, systemWide);
    QFETCH(bool, programExists);
    QFETCH(HookState, expected);
    QCOMPARE(FileManagerHooks::classify(forUser, systemWide, programExists), expected);
}

void TestFileManagerHooks::readsBackTheProgram_data()
{
    QTest::addColumn<FileManager>("manager");
    QTest::addColumn<QString>("path");
    for (const FileManager manager :
        {FileManager::Nemo, FileManager::Dolphin, FileManager::Thunar}) {
        const QString name = FileManagerHooks::displayName(manager);
        QTest::addRow("%s plain", qPrintable(name))
            << manager << u"/usr/bin/scrivlet-finder-sync"_qs;
        QTest::addRow("%s quotes", qPrintable(name))
            << manager << u"/opt/a \"b\" it's/scrivlet-finder-sync"_qs;
        QTest::addRow("%s shell and XML", qPrintable(name))
            << manager << u"/opt/$HOME `x` \\ <&>/scrivlet-finder-sync"_qs;
    }
}

// What install() writes, read back: the state of a hook depends on finding its program.
void TestFileManagerHooks::readsBackTheProgram()
{
    QFETCH(FileManager, manager);
    QFETCH(QString, path);
    const FileManagerHooks hooks(path);
    QString text = hooks.hookText(manager);
    if (manager == FileManager::Thunar)
        text = *ThunarCustomActions::withAction(QString(), text);
    QCOMPARE(FileManagerHooks::hookProgram(manager, text), path);
}

void TestFileManagerHooks::perUserCopyBesideThePackagedHook_data()
{
    QTest::addColumn<FileManager>("manager");
    QTest::addColumn<QString>("relative");
    QTest::addRow("Nemo") << FileManager::Nemo
                          << u"nemo/actions/scrivlet-new-text-document.nemo_action"_qs;
    QTest::addRow("Dolphin") << FileManager::Dolphin
                             << u"kio/servicemenus/scrivlet-new-text-document.desktop"_qs;
}

void TestFileManagerHooks::perUserCopyBesideThePackagedHook()
{
    QFETCH(FileManager, manager);
    QFETCH(QString, relative);
    const QString systemData = programRoot + u"/system-data"_qs;
    qputenv("XDG_DATA_DIRS", QFile::encodeName(systemData));
    const FileManagerHooks hooks(program);
    writeFile(systemData + u'/' + relative, hooks.hookText(manager));
    QCOMPARE(hooks.state(manager), HookState::InstalledSystemWide);
    QString error;
    QVERIFY(hooks.install(manager, error));
    QCOMPARE(hooks.state(manager), HookState::InstalledForUserAndSystemWide);
    QVERIFY(hooks.remove(manager, error));
    QCOMPARE(hooks.state(manager), HookState::InstalledSystemWide);
    QVERIFY(QFileInfo::exists(systemData + u'/' + relative));
    QDir(systemData).removeRecursively();
}

void TestFileManagerHooks::hookOfAMissingProgramIsBrokenAndRemovable_data()
{
    QTest::addColumn<FileManager>("manager");
    QTest::addRow("Nemo") << FileManager::Nemo;
    QTest::addRow("Dolphin") << FileManager::Dolphin;
    QTest::addRow("Thunar") << FileManager::Thunar;
}

void TestFileManagerHooks::hookOfAMissingProgramIsBrokenAndRemovable()
{
    QFETCH(FileManager, manager);
    const FileManagerHooks hooks(programRoot + u"/removed since/scrivlet-finder-sync"_qs);
    QString error;
    QVERIFY(hooks.install(manager, error));
    QCOMPARE(hooks.state(manager), HookState::Broken);
    QVERIFY(hooks.remove(manager, error));
    QCOMPARE(hooks.state(manager), HookState::NotInstalled);
}

SCRIVLET_TEST_MAIN(TestFileManagerHooks)
#include "tst_FileManagerHooks.moc"
