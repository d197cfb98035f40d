#include "AppDelegate.h"
#include "ContentView.h"
#include "DocumentController.h"
#include "DocumentFile.h"
#include "DocumentWindow.h"
#include "DraftStore.h"
#include "FileMenuCleanup.h"
#include "ScriptedPrompts.h"
#include "ScrivletTextView.h"
#include "SessionStore.h"
#include "Settings.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestAppDelegate : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void testMarkersStopTheLaunch_data();
    void testMarkersStopTheLaunch();
    void defaultHandlerPromptShowsOnce_data();
    void defaultHandlerPromptShowsOnce();
    void blankDocumentOnlyWhenNothingOpened_data();
    void blankDocumentOnlyWhenNothingOpened();
    void fileMenuCleanup_data();
    void fileMenuCleanup();
    void quitKeepsEveryTextAndRelaunchRestoresIt();
    void reopenSettingDecidesWhichFilesComeBack_data();
    void reopenSettingDecidesWhichFilesComeBack();
    void draftsWithoutEditsBringNothingBack_data();
    void draftsWithoutEditsBringNothingBack();

private:
    void launch();
    QString writeFile(const QString &name, const QByteArray &bytes);

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<DraftStore> m_drafts;
    std::unique_ptr<SessionStore> m_session;
    std::unique_ptr<DocumentController> m_documents;
    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<ScriptedPrompts> m_prompts;
};

void TestAppDelegate::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    m_settings = std::make_unique<Settings>(m_folder->filePath(u"settings.conf"_s));
    m_drafts = std::make_unique<DraftStore>(m_folder->filePath(u"drafts"_s));
    m_session = std::make_unique<SessionStore>(m_folder->filePath(u"session.json"_s));
    m_prompts = std::make_unique<ScriptedPrompts>();
    launch();
}

// A fresh process: new controller and delegate over the same stores.
void TestAppDelegate::launch()
{
    m_delegate.reset();
    if (m_documents) {
        for (DocumentWindow *window : m_documents->windows())
            delete window;
    }
    m_documents = std::make_unique<DocumentController>(*m_settings);
    m_documents->setDraftStore(m_drafts.get());
    m_delegate = std::make_unique<AppDelegate>(*m_settings, *m_documents, *m_drafts, *m_session);
}

void TestAppDelegate::cleanup()
{
    for (DocumentWindow *window : m_documents->windows()) {
        window->contentView()->textView()->document()->setModified(false);
        delete window;
    }
    m_delegate.reset();
    m_documents.reset();
    m_prompts.reset();
}

QString TestAppDelegate::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_folder->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
    return path;
}

void TestAppDelegate::testMarkersStopTheLaunch_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("stops");
    QTest::addRow("SCRIVLET_TEST_LAUNCH=1") << u"SCRIVLET_TEST_LAUNCH"_s << u"1"_s << true;
    QTest::addRow("SCRIVLET_TEST_LAUNCH=0") << u"SCRIVLET_TEST_LAUNCH"_s << u"0"_s << false;
    QTest::addRow("SCRIVLET_TEST_LAUNCH empty") << u"SCRIVLET_TEST_LAUNCH"_s << QString() << false;
    QTest::addRow("another program's marker")
        << u"XCTestBundlePath"_s << u"/tmp/x.xctest"_s << false;
}

void TestAppDelegate::testMarkersStopTheLaunch()
{
    QFETCH(QString, variable);
    QFETCH(QString, value);
    QFETCH(bool, stops);
    m_settings->setHasShownDefaultHandlerPrompt(true);
    QProcessEnvironment environment;
    environment.insert(variable, value);
    bool registered = false;
    m_delegate->setRegisterFileExtensions([&registered] { registered = true; });
    QSignalSpy settled(m_delegate.get(), &AppDelegate::launchSettled);
    m_delegate->applicationDidFinishLaunching(environment);
    QCOMPARE(settled.count(), stops ? 0 : 1);
    QCOMPARE(m_documents->windows().isEmpty(), stops);
    QCOMPARE(registered, !stops);
}

void TestAppDelegate::defaultHandlerPromptShowsOnce_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("askedAgainLater");
    // The launch's own registration comes after the answer, so that it can honour a No.
    QTest::addRow("Yes") << true << true << QStringList {u"make default"_s, u"register"_s} << false;
    QTest::addRow("No") << true << false << QStringList {u"decline"_s, u"register"_s} << false;
    // Nothing to answer for: the question waits for a launch that can act on it.
    QTest::addRow("not installed") << false << true << QStringList {u"register"_s} << true;
}

void TestAppDelegate::defaultHandlerPromptShowsOnce()
{
    QFETCH(bool, installed);
    QFETCH(bool, answer);
    QFETCH(QStringList, steps);
    QFETCH(bool, askedAgainLater);
    m_prompts->becomeDefaultEditor = answer;
    QStringList done;
    m_delegate->setCanBecomeDefault([installed] { return installed; });
    m_delegate->setMakeDefaultTextEditor([&done] { done.append(u"make default"_s); });
    m_delegate->setDeclineDefaultTextEditor([&done] { done.append(u"decline"_s); });
    m_delegate->setRegisterFileExtensions([&done] { done.append(u"register"_s); });
    m_delegate->applicationDidFinishLaunching(QProcessEnvironment());
    m_delegate->showDefaultHandlerPromptIfNeeded();
    QCOMPARE(m_prompts->defaultEditorQuestions, installed ? 1 : 0);
    QCOMPARE(done, steps);
    QCOMPARE(m_settings->hasShownDefaultHandlerPrompt(), !askedAgainLater);
}

void TestAppDelegate::blankDocumentOnlyWhenNothingOpened_data()
{
    QTest::addColumn<bool>("fileOpened");
    QTest::addRow("nothing opened") << false;
    QTest::addRow("a file opened") << true;
}

void TestAppDelegate::blankDocumentOnlyWhenNothingOpened()
{
    QFETCH(bool, fileOpened);
    m_settings->setHasShownDefaultHandlerPrompt(true);
    if (fileOpened)
        m_documents->openFile(writeFile(u"shown.txt"_s, "text"));
    QSignalSpy settled(m_delegate.get(), &AppDelegate::launchSettled);
    m_delegate->applicationDidFinishLaunching({});
    // Decided at once: nothing is waited for.
    QCOMPARE(settled.count(), 1);
    const QList<DocumentWindow *> windows = m_documents->windows();
    QCOMPARE(windows.size(), 1);
    QCOMPARE(windows.first()->filePath().isEmpty(), !fileOpened);
    QTest::qWait(100);
    QCOMPARE(settled.count(), 1);
    QCOMPARE(m_documents->windows().size(), 1);
}

void TestAppDelegate::fileMenuCleanup_data()
{
    QTest::addColumn<QStringList>("before"); // "-" is a separator
    QTest::addColumn<QStringList>("after");
    QTest::addRow("separators around Save As")
        << QStringList {u"Save"_s, u"-"_s, u"Save As..."_s, u"-"_s, u"-"_s, u"Print..."_s}
        << QStringList {u"Save"_s, u"Save As..."_s, u"-"_s, u"Print..."_s};
    QTest::addRow("unwanted items and edge separators") << QStringList {u"-"_s, u"New"_s,
        u"Duplicate"_s, u"Rename…"_s, u"Move To..."_s, u"-"_s, u"Save…"_s, u"Save As…"_s,
        u"Save As..."_s, u"Revert to Saved"_s, u"Share"_s, u"-"_s, u"Print…"_s,
        u"-"_s} << QStringList {u"New"_s, u"-"_s, u"Save…"_s, u"Save As..."_s, u"-"_s, u"Print…"_s};
    QTest::addRow("Save As before Save keeps its separator") << QStringList {
        u"Save As..."_s, u"-"_s, u"Save"_s} << QStringList {u"Save As..."_s, u"-"_s, u"Save"_s};
}

void TestAppDelegate::fileMenuCleanup()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QMenu menu;
    for (const QString &title : before) {
        if (title == u"-")
            menu.addSeparator();
        else
            menu.addAction(title);
    }
    int printed = 0;
    const auto titles = [&menu] {
        QStringList result;
        for (QAction *action : menu.actions())
            result.append(action->isSeparator() ? u"-"_s : action->text());
        return result;
    };
    FileMenuCleanup::removeUnwantedFileMenuItems(menu, [&printed] { ++printed; });
    QCOMPARE(titles(), after);
    FileMenuCleanup::removeUnwantedFileMenuItems(menu, [&printed] { ++printed; });
    QCOMPARE(titles(), after);
    for (QAction *action : menu.actions()) {
        if (action->text().startsWith(u"Print"))
            action->trigger();
    }
    QCOMPARE(printed, after.contains(u"Print..."_s) || after.contains(u"Print…"_s) ? 1 : 0);
}

void TestAppDelegate::quitKeepsEveryTextAndRelaunchRestoresIt()
{
    const QString path = writeFile(u"saved.txt"_s, "on disk");
    DocumentWindow *fileWindow = m_documents->openFile(path);
    QTRY_VERIFY(!fileWindow->isLoading());
    fileWindow->contentView()->textView()->document()->replace(0, 0, u"edited "_s);
    DocumentWindow *untitled = m_documents->newDocument();
    untitled->contentView()->textView()->document()->replace(0, 0, u"never saved\nline 2"_s);

    m_delegate->quit();
    QCOMPARE(m_prompts->saveChangesQuestions, 0);
    QTRY_VERIFY(m_documents->windows().isEmpty());
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), "edited on disk");
    QCOMPARE(m_drafts->drafts().size(), 1);

    launch();
    const QList<DocumentWindow *> restored = m_delegate->restoreSession();
    QCOMPARE(restored.size(), 2);
    for (DocumentWindow *window : restored)
        QTRY_VERIFY(!window->isLoading());
    QCOMPARE(restored[0]->filePath(), QFileInfo(path).absoluteFilePath());
    QVERIFY(!restored[0]->isModified());
    QCOMPARE(restored[1]->displayName(), u"Untitled"_s);
    QVERIFY(restored[1]->isModified());
    QCOMPARE(
        restored[1]->contentView()->textView()->document()->toString(), u"never saved\nline 2"_s);

    // Thrown away on purpose, the draft goes with it.
    m_prompts->saveChangesAnswer = UserPrompts::SaveChangesAnswer::DontSave;
    restored[1]->close();
    QVERIFY(m_drafts->drafts().isEmpty());
}

void TestAppDelegate::reopenSettingDecidesWhichFilesComeBack_data()
{
    QTest::addColumn<std::optional<bool>>("reopen");
    QTest::addRow("reopen off") << std::optional(false);
    QTest::addRow("reopen on") << std::optional(true);
    QTest::addRow("never set") << std::optional<bool>();
}

// With reopening off the last session's files are never opened, not even for a moment (a window
// closed while it loads was once handed out again, empty); unsaved texts come back either way.
void TestAppDelegate::reopenSettingDecidesWhichFilesComeBack()
{
    QFETCH(std::optional<bool>, reopen);
    m_settings->setHasShownDefaultHandlerPrompt(true);
    const QString plain = writeFile(u"restored.txt"_s, "plain");
    const QString edited = writeFile(u"edited.txt"_s, "file");
    DocumentWindow *untitled = m_documents->newDocument();
    untitled->contentView()->textView()->document()->replace(0, 0, u"draft text"_s);
    m_documents->openFile(plain);
    DocumentWindow *editedWindow = m_documents->openFile(edited);
    QTRY_VERIFY(!editedWindow->isLoading());
    editedWindow->contentView()->textView()->document()->replace(0, 0, u"mine "_s);
    // Changed elsewhere meanwhile, the file is not saved over: a draft keeps the edit.
    QTest::qWait(20);
    writeFile(u"edited.txt"_s, "file, changed elsewhere");
    QTRY_VERIFY(editedWindow->file()->isChangedOnDisk());
    m_delegate->quit();
    QTRY_VERIFY(m_documents->windows().isEmpty());

    launch();
    if (reopen)
        m_settings->setReopenDocumentsOnLaunch(*reopen);
    QSignalSpy made(m_documents.get(), &DocumentController::windowAdded);
    const QList<DocumentWindow *> restored = m_delegate->restoreSession();
    const bool filesBack = reopen.value_or(true);
    QCOMPARE(made.count(), filesBack ? 3 : 2);
    QCOMPARE(restored.size(), made.count());
    for (DocumentWindow *window : restored)
        QTRY_VERIFY(!window->isLoading());
    QStringList texts;
    for (DocumentWindow *window : m_documents->windows())
        texts.append(window->contentView()->textView()->document()->toString());
    QVERIFY(texts.contains(u"draft text"_s));
    QVERIFY(texts.contains(u"mine file"_s));
    QCOMPARE(texts.contains(u"plain"_s), filesBack);

    // Asked for now, the file opens with its text.
    DocumentWindow *asked = m_documents->openFile(plain);
    QTRY_VERIFY(!asked->isLoading());
    QCOMPARE(asked->contentView()->textView()->document()->toString(), u"plain"_s);
    QVERIFY(!asked->isModified());
}

void TestAppDelegate::draftsWithoutEditsBringNothingBack_data()
{
    QTest::addColumn<bool>("ofFile");
    QTest::addColumn<QStringList>(
        "inserted"); // journal records, each inserting at 0 ("-": removes 1)
    QTest::addColumn<bool>("comesBack");
    QTest::addRow("untitled, killed before its journal") << false << QStringList() << false;
    QTest::addRow("untitled, emptied again") << false << QStringList {u"x"_s, u"-"_s} << false;
    QTest::addRow("untitled with text") << false << QStringList {u"kept"_s} << true;
    QTest::addRow("file, killed before its journal") << true << QStringList() << false;
    QTest::addRow("file with an edit") << true << QStringList {u"mine "_s} << true;
}

// A draft is described at the first edit and its journal follows a moment later; a kill in
// between once brought back an empty "Untitled" that stayed edited in every later session.
void TestAppDelegate::draftsWithoutEditsBringNothingBack()
{
    QFETCH(bool, ofFile);
    QFETCH(QStringList, inserted);
    QFETCH(bool, comesBack);
    DraftStore::Draft draft;
    draft.id = u"0b3f1c2e-6a1d-4c55-9d7e-2f4a8e9b1c01"_s;
    draft.untitledName = u"Untitled"_s;
    if (ofFile) {
        draft.filePath = writeFile(u"based.txt"_s, "file");
        draft.base = DraftStore::BaseKind::File;
        draft.baseStamp = FileStamp::of(draft.filePath);
    }
    QVERIFY(m_drafts->writeDescription(draft));
    for (const QString &text : std::as_const(inserted)) {
        const DraftStore::Edit edit
            = text == u"-" ? DraftStore::Edit {0, 1, {}} : DraftStore::Edit {0, 0, text};
        QVERIFY(m_drafts->appendEdits(draft.id, {edit}));
    }

    const QList<DocumentWindow *> restored = m_delegate->restoreSession();
    QCOMPARE(restored.size(), comesBack ? 1 : 0);
    QCOMPARE(m_drafts->drafts().size(), comesBack ? 1 : 0);
    if (comesBack) {
        QTRY_VERIFY(!restored.first()->isLoading());
        QVERIFY(restored.first()->isModified());
    }
}

SCRIVLET_TEST_MAIN(TestAppDelegate)
#include "tst_AppDelegate.moc"
