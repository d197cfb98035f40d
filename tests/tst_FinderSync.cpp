#include "BookmarkManager.h"
#include "FinderSync.h"
#include "LogRecorder.h"
#include "NewFileRequestHandler.h"
#include "ScriptedPrompts.h"
#include "TestEnvironment.h"
#include "WorkspaceOpener.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <unistd.h>

Q_DECLARE_METATYPE(FinderSync::MenuKind)

namespace {

class RecordingOpener : public WorkspaceOpener
{
public:
    bool openFile(const QString &path) override
    {
        calls.append(u"file "_qs + path);
        return true;
    }
    bool openUrl(const QUrl &url) override
    {
        calls.append(u"url "_qs + url.toString(QUrl::FullyEncoded));
        return true;
    }
    bool launchApplication(const QString &applicationId) override
    {
        calls.append(u"launch "_qs + applicationId);
        return true;
    }
    QStringList calls;
};

void writeFile(const QString &path, const QByteArray &contents, QFile::Permissions permissions)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.setPermissions(permissions);
}

const QFile::Permissions readWrite = QFile::ReadOwner | QFile::WriteOwner;
const QFile::Permissions all = readWrite | QFile::ExeOwner;

} // namespace

class TestFinderSync : public QObject
{
    Q_OBJECT

private slots:
    void offersTheCommandOnlyForAFolder_data();
    void offersTheCommandOnlyForAFolder();
    void drawsTheIcon();
    void createsANewTextDocument_data();
    void createsANewTextDocument();
    void startsTheEditorForAPathThatCannotTravel();
    void programCreatesTheFileAndOpensIt();
    void programHandsAFolderItCannotWriteToToTheEditor_data();
    void programHandsAFolderItCannotWriteToToTheEditor();
};

void TestFinderSync::offersTheCommandOnlyForAFolder_data()
{
    QTest::addColumn<FinderSync::MenuKind>("kind");
    QTest::addColumn<bool>("offered");
    QTest::addRow("folder background") << FinderSync::MenuKind::ContextualMenuForContainer << true;
    QTest::addRow("toolbar button") << FinderSync::MenuKind::ToolbarItemMenu << true;
    QTest::addRow("selected items") << FinderSync::MenuKind::ContextualMenuForItems << false;
    QTest::addRow("sidebar") << FinderSync::MenuKind::ContextualMenuForSidebar << false;
}

void TestFinderSync::offersTheCommandOnlyForAFolder()
{
    QFETCH(FinderSync::MenuKind, kind);
    QFETCH(bool, offered);
    QTemporaryDir root;
    BookmarkManager store(root.path() + u"/group.conf"_qs);
    RecordingOpener opener;
    LogRecorder log;
    const FinderSync finderSync(store, opener, u"/usr/bin/scrivlet-finder-sync"_qs);
    QCOMPARE(log.lines,
        QStringList {u"Scrivlet FinderSync Extension launched from "
                     "/usr/bin/scrivlet-finder-sync"_qs});
    const FinderSync::Menu menu = finderSync.menu(kind);
    QCOMPARE(menu.title, QString());
    QCOMPARE(menu.items.size(), offered ? 1 : 0);
    if (offered) {
        QCOMPARE(menu.items[0].title, u"New Text Document"_qs);
        QCOMPARE(menu.items[0].action, u"createNewTextDocument"_qs);
        QCOMPARE(menu.items[0].keyEquivalent, QString());
        QCOMPARE(menu.items[0].image.size(), QSize(16, 16));
    }
    QCOMPARE(FinderSync::toolbarItemName(), u"Scrivlet"_qs);
    QCOMPARE(FinderSync::toolbarItemToolTip(), u"Create a new text document in this folder"_qs);
}

void TestFinderSync::drawsTheIcon()
{
    // Pixel (x, y) counted from the bottom left, as the shapes are laid out.
    const QImage icon = FinderSync::toolbarItemImage().convertToFormat(QImage::Format_ARGB32);
    const auto at = [&](int x, int y) {
        return icon.pixelColor(x, 15 - y);
    };
    QCOMPARE(at(0, 0).alpha(), 0); // outside the page
    QCOMPARE(at(11, 14).alpha(), 0); // the cut-off corner
    QCOMPARE(at(3, 3).alpha(), 204); // page: blue at 0.8
    QVERIFY(at(3, 3).blue() > at(3, 3).red() + 100); // and blue it is
    QCOMPARE(at(9, 12).alpha(), 230); // fold: white at 0.5 over the page
    int whitePixels = 0;
    for (int y = 4; y <= 11; ++y) {
        for (int x = 4; x <= 10; ++x)
            whitePixels += at(x, y).red() > 200 && at(x, y).green() > 200;
    }
    QVERIFY2(whitePixels >= 4, "the letter T is drawn in white in the middle");
    QCOMPARE(FinderSync::toolbarItemImage().devicePixelRatio(), 1.0);
}

void TestFinderSync::createsANewTextDocument_data()
{
    QTest::addColumn<QString>("target"); // relative to a temporary root; null: none
    QTest::addColumn<bool>("authorised"); // the root is authorised
    QTest::addColumn<bool>("openAfterCreate");
    QTest::addColumn<QStringList>("calls"); // {root} stands for the root
    QTest::addColumn<int>("failures"); // "Failed to create file" lines

    QTest::addRow("authorised folder holding Untitled and Untitled 2")
        << u"Full"_qs << true << true << QStringList {u"file {root}/Full/Untitled 3.txt"_qs} << 0;
    QTest::addRow("not opened when the store says so")
        << u"Full"_qs << true << false << QStringList() << 0;
    QTest::addRow("outside every authorised folder, written directly")
        << u"Full"_qs << false << true << QStringList {u"file {root}/Full/Untitled 3.txt"_qs} << 0;
    QTest::addRow("no target") << QString() << true << true << QStringList() << 0;
    QTest::addRow("unwritable, authorised: two writes, then the editor")
        << u"Missing/Tom & Jerry"_qs << true << true
        << QStringList {u"url scrivlet://new-file?path={root}/Missing/Tom%20%26%20Jerry"_qs} << 2;
    QTest::addRow("unwritable, not authorised: one write, then the editor")
        << u"Missing"_qs << false << true
        << QStringList {u"url scrivlet://new-file?path={root}/Missing"_qs} << 1;
}

void TestFinderSync::createsANewTextDocument()
{
    QFETCH(QString, target);
    QFETCH(bool, authorised);
    QFETCH(bool, openAfterCreate);
    QFETCH(QStringList, calls);
    QFETCH(int, failures);
    QTemporaryDir root;
    writeFile(root.path() + u"/Full/Untitled.txt"_qs, "1", readWrite);
    writeFile(root.path() + u"/Full/Untitled 2.txt"_qs, "2", readWrite);
    BookmarkManager store(root.path() + u"/config/group.conf"_qs);
    if (authorised)
        QVERIFY(store.addBookmark(QUrl::fromLocalFile(root.path())));
    store.setOpenAfterCreate(openAfterCreate);
    RecordingOpener opener;
    FinderSync finderSync(store, opener, u"scrivlet-finder-sync"_qs);
    LogRecorder log;

    const QString folder = root.path() + u'/' + target;
    finderSync.createNewTextDocument(target.isNull() ? std::nullopt : std::optional(folder));

    QCOMPARE(opener.calls, calls.replaceInStrings(u"{root}"_qs, root.path()));
    if (target.isNull()) {
        QCOMPARE(log.lines, QStringList {u"Scrivlet FinderSync: targetedURL is nil"_qs});
        return;
    }
    QCOMPARE(
        log.lines.value(0), u"Scrivlet FinderSync: Creating new text document in "_qs + folder);
    const QStringList failed = log.lines.filter(
        u"Scrivlet FinderSync: Failed to create file: No such file or directory"_qs);
    QCOMPARE(failed.size(), failures);
    if (failures == 0) {
        const QString created = folder + u"/Untitled 3.txt"_qs;
        QCOMPARE(log.lines.value(1), u"Scrivlet FinderSync: Created file at "_qs + created);
        QCOMPARE(QFileInfo(created).size(), 0);
    }
}

void TestFinderSync::startsTheEditorForAPathThatCannotTravel()
{
    QTemporaryDir root;
    BookmarkManager store(root.path() + u"/group.conf"_qs);
    RecordingOpener opener;
    FinderSync finderSync(store, opener, u"scrivlet-finder-sync"_qs);
    // A folder whose name was no UTF-8: decoded, it would name another folder (here: root).
    finderSync.createNewTextDocument(root.path(), FinderSync::TargetPath::NotRepresentable);
    QCOMPARE(opener.calls, QStringList {u"launch "_qs + QStringLiteral(SCRIVLET_APP_ID)});
    QVERIFY(!QFileInfo::exists(root.path() + u"/Untitled.txt"_qs));
}

// The real program, in a desktop of its own whose default application for text files and for
// scrivlet: URLs writes what it was asked to open into a file.
class DesktopSandbox
{
public:
    DesktopSandbox()
    {
        const QString recorder = m_root.path() + u"/record"_qs;
        writeFile(recorder,
            "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + QFile::encodeName(openedPath()) + "'\n", all);
        writeFile(m_root.path() + u"/data/applications/recorder.desktop"_qs,
            "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" + QFile::encodeName(recorder)
                + " %u\nMimeType=text/plain;x-scheme-handler/scrivlet;\n",
            readWrite);
        writeFile(m_root.path() + u"/config/mimeapps.list"_qs,
            "[Default Applications]\ntext/plain=recorder.desktop\n"
            "x-scheme-handler/scrivlet=recorder.desktop\n",
            readWrite);
    }

    QString root() const { return m_root.path(); }
    QString openedPath() const { return m_root.path() + u"/opened"_qs; }
    BookmarkManager store() const
    {
        return BookmarkManager(m_root.path() + u"/config/scrivlet/group."_qs
            + QStringLiteral(SCRIVLET_APP_ID) + u".conf"_qs);
    }

    QStringList opened() const
    {
        QFile file(openedPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    int run(const QString &folder) const
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_CONFIG_HOME"_qs, m_root.path() + u"/config"_qs);
        environment.insert(u"XDG_DATA_HOME"_qs, m_root.path() + u"/data"_qs);
        environment.insert(u"XDG_DATA_DIRS"_qs, u"/usr/share"_qs);
        environment.remove(u"XDG_CURRENT_DESKTOP"_qs);
        environment.remove(u"DBUS_SESSION_BUS_ADDRESS"_qs);
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(SCRIVLET_FINDER_SYNC_PROGRAM), {folder});
        if (!program.waitForFinished(30'000))
            return -1;
        return program.exitCode();
    }

private:
    QTemporaryDir m_root;
};

void TestFinderSync::programCreatesTheFileAndOpensIt()
{
    DesktopSandbox desktop;
    const QString folder = desktop.root() + u"/Notes"_qs;
    QDir().mkpath(folder);
    QCOMPARE(desktop.run(folder), 0);
    const QString created = folder + u"/Untitled.txt"_qs;
    QVERIFY(QFileInfo::exists(created));
    QCOMPARE(QFileInfo(created).size(), 0);
    // GIO gives a local file to the application as a path, even where it could take a URI.
    QTRY_COMPARE(desktop.opened(), QStringList {created});
}

void TestFinderSync::programHandsAFolderItCannotWriteToToTheEditor_data()
{
    QTest::addColumn<bool>("readOnly"); // else the folder does not exist yet
    QTest::addRow("read-only folder") << true;
    QTest::addRow("missing folder") << false;
}

void TestFinderSync::programHandsAFolderItCannotWriteToToTheEditor()
{
    QFETCH(bool, readOnly);
    if (readOnly && ::geteuid() == 0)
        QSKIP("root writes into read-only folders; the missing-folder row covers the hand-off");
    DesktopSandbox desktop;
    const QString folder = desktop.root() + u"/Tom & Jerry/日記"_qs;
    if (readOnly) {
        QDir().mkpath(folder);
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    }
    desktop.store().setOpenAfterCreate(false);
    QCOMPARE(desktop.run(folder), 0);
    const QString url = u"scrivlet://new-file?path="_qs
        + QString::fromLatin1(QUrl::toPercentEncoding(folder, "/"));
    QTRY_COMPARE(desktop.opened(), QStringList {url});

    // The editor, once it can write there, makes the file the extension could not.
    QDir().mkpath(folder);
    QVERIFY(QFile::setPermissions(folder, all));
    BookmarkManager store = desktop.store();
    QStringList openedInEditor;
    ScriptedPrompts prompts;
    NewFileRequestHandler editor([&](const QString &path) { openedInEditor.append(path); }, store);
    QCOMPARE(editor.handle(url), NewFileRequestHandler::Outcome::Created);
    QVERIFY(QFileInfo::exists(folder + u"/Untitled.txt"_qs));
    QVERIFY(openedInEditor.isEmpty());
    QVERIFY(prompts.errors.isEmpty());
}

SCRIVLET_TEST_MAIN(TestFinderSync)
#include "tst_FinderSync.moc"
