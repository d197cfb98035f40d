#include "BookmarkManager.h"
#include "NewFileRequestHandler.h"
#include "ScriptedPrompts.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <unistd.h>

Q_DECLARE_METATYPE(NewFileRequestHandler::Outcome)

class TestNewFileRequestHandler : public QObject
{
    Q_OBJECT

private slots:
    void handlesRequests_data();
    void handlesRequests();
    void refusesAFolderItCannotWriteTo();
    void handlesEachUrlOfAList();
};

void TestNewFileRequestHandler::handlesRequests_data()
{
    QTest::addColumn<QString>("url"); // {root} stands for a temporary folder
    QTest::addColumn<bool>("openAfterCreate");
    QTest::addColumn<NewFileRequestHandler::Outcome>("outcome");
    QTest::addColumn<QString>("created"); // relative to {root}
    QTest::addColumn<QString>("alert");
    using Outcome = NewFileRequestHandler::Outcome;

    QTest::addRow("folder with a space")
        << u"scrivlet://new-file?path={root}/My%20Notes"_qs << true << Outcome::Created
        << u"My Notes/Untitled.txt"_qs << QString();
    QTest::addRow("next name when taken")
        << u"scrivlet://new-file?path={root}/Taken"_qs << true << Outcome::Created
        << u"Taken/Untitled 2.txt"_qs << QString();
    QTest::addRow("created but not opened")
        << u"scrivlet://new-file?path={root}/My%20Notes"_qs << false << Outcome::Created
        << u"My Notes/Untitled.txt"_qs << QString();
    QTest::addRow("first of two path items")
        << u"scrivlet://new-file?path={root}/Taken&path={root}/My%20Notes"_qs << true
        << Outcome::Created << u"Taken/Untitled 2.txt"_qs << QString();
    for (const QString &url : {u"scrivlet://other?path={root}"_qs, u"scrivlet://new-file"_qs,
             u"scrivlet://new-file?folder={root}"_qs, u"scrivlet://new-file?path"_qs})
        QTest::addRow("does nothing: %s", qPrintable(url))
            << url << true << Outcome::NotARequest << QString() << QString();
    QTest::addRow("missing folder")
        << u"scrivlet://new-file?path={root}/Missing/./x"_qs << true << Outcome::Failed << QString()
        << u"Could not create file\nFailed to create a new text file in {root}/Missing/./x.\n\n"
           "Error: No such file or directory"_qs;
    QTest::addRow("relative path")
        << u"scrivlet://new-file?path=My%20Notes"_qs << true << Outcome::Failed << QString()
        << u"Could not create file\nFailed to create a new text file "
           "in My Notes.\n\nError: The folder path is not absolute."_qs;
    QTest::addRow("empty path") << u"scrivlet://new-file?path="_qs << true << Outcome::Failed
                                << QString()
                                << u"Could not create file\nFailed to create a new text file "
                                   "in .\n\nError: The folder path is not absolute."_qs;
    // Qt refused to open such a path, but the alert then said "File exists".
    QTest::addRow("NUL inside the path")
        << u"scrivlet://new-file?path={root}/Taken%00/x"_qs << true << Outcome::Failed << QString()
        << u"Could not create file\nFailed to create a new text file in {root}/Taken"_qs + QChar(0)
            + u"/x.\n\nError: The folder path contains a NUL character."_qs;
}

void TestNewFileRequestHandler::handlesRequests()
{
    QFETCH(QString, url);
    QFETCH(bool, openAfterCreate);
    QFETCH(QString, created);
    QFETCH(QString, alert);
    QTemporaryDir root;
    QDir(root.path()).mkdir(u"My Notes"_qs);
    QDir(root.path()).mkdir(u"Taken"_qs);
    QFile taken(root.path() + u"/Taken/Untitled.txt"_qs);
    QVERIFY(taken.open(QIODevice::WriteOnly));
    BookmarkManager store(root.path() + u"/config/group.conf"_qs);
    store.setOpenAfterCreate(openAfterCreate);
    QStringList opened;
    ScriptedPrompts prompts;
    NewFileRequestHandler handler([&](const QString &path) { opened.append(path); }, store);

    QTEST(handler.handle(url.replace(u"{root}"_qs, root.path())), "outcome");

    const QString createdPath = created.isEmpty() ? QString() : root.path() + u'/' + created;
    if (!created.isEmpty()) {
        QVERIFY(QFileInfo::exists(createdPath));
        QCOMPARE(QFileInfo(createdPath).size(), 0);
    }
    QCOMPARE(
        opened, openAfterCreate && !created.isEmpty() ? QStringList {createdPath} : QStringList());
    QCOMPARE(prompts.errors,
        alert.isEmpty() ? QStringList() : QStringList {alert.replace(u"{root}"_qs, root.path())});
    const auto fileCount = [&](const QString &folder) {
        return QDir(root.path() + u'/' + folder).entryList(QDir::Files).size();
    };
    QCOMPARE(fileCount(u"My Notes"_qs) + fileCount(u"Taken"_qs), created.isEmpty() ? 1 : 2);
}

void TestNewFileRequestHandler::refusesAFolderItCannotWriteTo()
{
    if (::geteuid() == 0)
        QSKIP("root writes into read-only folders");
    QTemporaryDir root, config;
    QVERIFY(QFile::setPermissions(root.path(), QFile::ReadOwner | QFile::ExeOwner));
    BookmarkManager store(config.path() + u"/group.conf"_qs);
    ScriptedPrompts prompts;
    NewFileRequestHandler handler([](const QString &) { QFAIL("nothing to open"); }, store);
    QCOMPARE(handler.handle(u"scrivlet://new-file?path="_qs + root.path()),
        NewFileRequestHandler::Outcome::Failed);
    QVERIFY(
        QFile::setPermissions(root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QCOMPARE(prompts.errors,
        QStringList {u"Could not create file\nFailed to create a new text file in "_qs + root.path()
            + u".\n\nError: Permission denied"_qs});
}

void TestNewFileRequestHandler::handlesEachUrlOfAList()
{
    QTemporaryDir root;
    BookmarkManager store(root.path() + u"/config/group.conf"_qs);
    store.setFilename(u"Notes"_qs);
    QStringList opened;
    ScriptedPrompts prompts;
    NewFileRequestHandler handler([&](const QString &path) { opened.append(path); }, store);
    const QString request = u"scrivlet://new-file?path="_qs + root.path();
    handler.handleAll(
        {request, u"scrivlet://new-file?path=/nonexistent"_qs, request, u"file:///etc/hosts"_qs});
    QCOMPARE(opened, (QStringList {root.path() + u"/Notes"_qs, root.path() + u"/Notes 2"_qs}));
    QCOMPARE(prompts.errors.size(), 1);
}

SCRIVLET_TEST_MAIN(TestNewFileRequestHandler)
#include "tst_NewFileRequestHandler.moc"
