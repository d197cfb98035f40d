#include "FileManagerHooks.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>

Q_DECLARE_METATYPE(FileManagerHooks::FileManager)

namespace {

using FileManager = FileManagerHooks::FileManager;
using HookState = FileManagerHooks::HookState;

// A path that needs quoting in every format the hooks use.
const QString program = u"/opt/My Apps/it's $x/scrivlet-finder-sync"_qs;

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
    void cleanup();
    void installsAndRemovesPerUserHooks_data();
    void installsAndRemovesPerUserHooks();
    void keepsTheUsersOtherThunarActions();
    void leavesAFileItDoesNotUnderstandAlone();
    void cannotInstallNautilusPerUser();
};

void TestFileManagerHooks::cleanup()
{
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
                          << u"Exec='/opt/My Apps/it'\\''s $x/scrivlet-finder-sync' %P\n"_qs
                          << false;
    QTest::addRow("Dolphin") << FileManager::Dolphin
                             << u"Exec=\"/opt/My Apps/it's \\\\$x/scrivlet-finder-sync\" %f\n"_qs
                             << true;
    QTest::addRow("Thunar")
        << FileManager::Thunar
        << u"<command>'/opt/My Apps/it'\\''s $x/scrivlet-finder-sync' %f</command>"_qs << false;
}

void TestFileManagerHooks::installsAndRemovesPerUserHooks()
{
    QFETCH(FileManager, manager);
    QFETCH(QString, command);
    QFETCH(bool, executable);
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

SCRIVLET_TEST_MAIN(TestFileManagerHooks)
#include "tst_FileManagerHooks.moc"
