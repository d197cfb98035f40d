#include "ContentView.h"
#include "DocumentController.h"
#include "DocumentFile.h"
#include "DocumentWindow.h"
#include "DraftStore.h"
#include "RecentFiles.h"
#include "ScriptedPrompts.h"
#include "ScrivletTextView.h"
#include "Settings.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QToolBar>

#include <condition_variable>
#include <mutex>
#include <thread>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

class TestDocumentController : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void roundTripsThroughTheEditor_data();
    void roundTripsThroughTheEditor();
    void openingAnOpenFileBringsItsWindowForward();
    void closedWindowIsNeverHandedOut_data();
    void closedWindowIsNeverHandedOut();
    void untitledNamesTakeTheLowestFreeNumber();
    void missingNameOpensAnEmptyDocumentSavedThere();
    void unreadableFilesOpenNothing_data();
    void unreadableFilesOpenNothing();
    void binaryFilesAsk_data();
    void binaryFilesAsk();
    void closingAnEditedDocumentAsks_data();
    void closingAnEditedDocumentAsks();
    void failedSaveKeepsFileAndEdits();
    void undoHistorySurvivesSaving();
    void changeOnDiskWithoutEditsReloads();
    void changeOnDiskWithEditsAsks();
    void deletedFileKeepsTextAndSaveRecreatesIt();
    void saveUnderWay_data();
    void saveUnderWay();

private:
    QString writeFile(const QString &name, const QByteArray &bytes);
    static QByteArray contents(const QString &path);
    DocumentWindow *openLoaded(const QString &path);
    static void type(DocumentWindow *window, const QString &text);
    static void touchLater(const QString &path, const QByteArray &bytes);

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<DocumentController> m_documents;
    std::unique_ptr<ScriptedPrompts> m_prompts;
};

void TestDocumentController::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    m_settings = std::make_unique<Settings>(m_folder->filePath(u"settings.conf"_s));
    m_documents = std::make_unique<DocumentController>(*m_settings);
    m_prompts = std::make_unique<ScriptedPrompts>();
}

void TestDocumentController::cleanup()
{
    for (DocumentWindow *window : m_documents->windows()) {
        window->contentView()->textView()->document()->setModified(false);
        delete window;
    }
    m_documents.reset();
    m_prompts.reset();
}

QString TestDocumentController::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_folder->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file");
    return path;
}

QByteArray TestDocumentController::contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

DocumentWindow *TestDocumentController::openLoaded(const QString &path)
{
    DocumentWindow *window = m_documents->openFile(path);
    if (window)
        [&] {
            QTRY_VERIFY(!window->isLoading());
        }();
    return window;
}

void TestDocumentController::type(DocumentWindow *window, const QString &text)
{
    window->contentView()->textView()->document()->replace(
        window->contentView()->textView()->document()->length(), 0, text);
}

// File times have a resolution: a change made within the same instant could look like none.
void TestDocumentController::touchLater(const QString &path, const QByteArray &bytes)
{
    QThread::msleep(20);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot change the test file");
}

void TestDocumentController::roundTripsThroughTheEditor_data()
{
    QTest::addColumn<QByteArray>("onDisk");
    QTest::addColumn<QByteArray>("saved");

    QTest::addRow("empty file") << QByteArray() << QByteArray();
    QTest::addRow("CR LF and a final line feed")
        << QByteArray("a\r\nb\r\n") << QByteArray("a\nb\n");
    QTest::addRow("final line feed kept") << QByteArray("a\n") << QByteArray("a\n");
    QTest::addRow("lone CR") << QByteArray("a\rb\rc") << QByteArray("a\nb\nc");
    QTest::addRow("two final line feeds") << QByteArray("x\n\n") << QByteArray("x\n\n");
    QTest::addRow("byte-order mark kept")
        << QByteArray("\xEF\xBB\xBFhi\n") << QByteArray("\xEF\xBB\xBFhi\n");
    QTest::addRow("ISO Latin 1") << QByteArray("caf\xE9") << QByteArray("caf\xC3\xA9");
    QTest::addRow("Windows-1252") << QByteArray("\x93quoted\x94")
                                  << QByteArray("\xE2\x80\x9Cquoted\xE2\x80\x9D");
    QTest::addRow("Mac OS Roman") << QByteArray("\x81ngstr\x9Am")
                                  << QByteArray("\xC3\x85ngstr\xC3\xB6m");
    QTest::addRow("no-break space, line separator, emoji") << QByteArray("a\xC2\xA0"
                                                                         "b\xE2\x80\xA8"
                                                                         "c\xF0\x9F\x98\x80")
                                                           << QByteArray("a\xC2\xA0"
                                                                         "b\xE2\x80\xA8"
                                                                         "c\xF0\x9F\x98\x80");
}

void TestDocumentController::roundTripsThroughTheEditor()
{
    QFETCH(QByteArray, onDisk);
    QFETCH(QByteArray, saved);
    const QString path = writeFile(u"round.txt"_s, onDisk);
    DocumentWindow *window = openLoaded(path);
    QVERIFY(window);
    QVERIFY(!window->isModified());
    QVERIFY(!window->isWindowModified()); // the title's marker
    QVERIFY(window->save());
    QCOMPARE(contents(path), saved);
    QVERIFY(m_prompts->errors.isEmpty());
}

void TestDocumentController::openingAnOpenFileBringsItsWindowForward()
{
    const QString path = writeFile(u"once.txt"_s, "text");
    QVERIFY(QFile::link(path, m_folder->filePath(u"alias.txt"_s)));
    DocumentWindow *first = openLoaded(path);
    QCOMPARE(m_documents->openFile(m_folder->filePath(u"alias.txt"_s)), first);
    QCOMPARE(m_documents->openFile(m_folder->path() + u"/./once.txt"_s), first);
    QCOMPARE(m_documents->windows().size(), 1);
    QCOMPARE(m_documents->recentFiles().paths().value(0), QFileInfo(path).absoluteFilePath());
}

void TestDocumentController::closedWindowIsNeverHandedOut_data()
{
    QTest::addColumn<bool>("whileLoading");
    QTest::addRow("loaded") << false;
    QTest::addRow("still loading") << true;
}

// A window whose close was accepted lives on until the event loop deletes it; asked for its file
// meanwhile, the controller once gave it out again, and a text that never finished loading was
// then saved over the file.
void TestDocumentController::closedWindowIsNeverHandedOut()
{
    QFETCH(bool, whileLoading);
    QByteArray text;
    for (int line = 0; line < (whileLoading ? 3'000'000 : 3); ++line)
        text += "line " + QByteArray::number(line) + '\n';
    const QString path = writeFile(u"closing.txt"_s, text);
    m_prompts->saveChangesAnswer = UserPrompts::SaveChangesAnswer::Save;
    DocumentWindow *window = m_documents->openFile(path);
    QVERIFY(window);
    QTRY_VERIFY(window->contentView()->textView()->document()->length() > 0);
    if (whileLoading)
        QVERIFY2(window->isLoading(), "the file loaded too fast to close it while loading");
    else
        QTRY_VERIFY(!window->isLoading());

    QVERIFY(window->close());
    QCOMPARE(m_prompts->saveChangesQuestions, 0);
    QVERIFY(!m_documents->windows().contains(window));
    QCOMPARE(m_documents->windowForFile(path), nullptr);
    if (whileLoading) {
        // Not yet deleted, the window writes nothing of a text it never held whole.
        QVERIFY(!window->holdsWholeText());
        QVERIFY(!window->save());
        window->preserveForQuit();
        QCOMPARE(contents(path), text);
    }

    DocumentWindow *again = m_documents->openFile(path);
    QVERIFY(again != window);
    QTRY_VERIFY(!again->isLoading());
    QCOMPARE(again->contentView()->documentText().wholeText(), QString::fromLatin1(text));
    QVERIFY(!again->isModified());
}

void TestDocumentController::untitledNamesTakeTheLowestFreeNumber()
{
    DocumentWindow *first = m_documents->newDocument();
    DocumentWindow *second = m_documents->newDocument();
    QCOMPARE(first->displayName(), u"Untitled"_s);
    QCOMPARE(second->displayName(), u"Untitled 2"_s);
    QCOMPARE(second->windowTitle(), u"Untitled 2[*]"_s);
    delete first;
    QCOMPARE(m_documents->newDocument()->displayName(), u"Untitled"_s);
    QCOMPARE(m_documents->newDocument()->displayName(), u"Untitled 3"_s);
}

void TestDocumentController::missingNameOpensAnEmptyDocumentSavedThere()
{
    const QString path = m_folder->filePath(u"notes.txt"_s);
    DocumentWindow *window = m_documents->openFile(path);
    QVERIFY(window);
    QVERIFY(m_prompts->errors.isEmpty());
    QCOMPARE(window->displayName(), u"notes.txt"_s);
    QCOMPARE(window->filePath(), path);
    QVERIFY(!window->isModified());
    QVERIFY(window->contentView()->textView()->document()->length() == 0);
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(m_documents->openFile(path), window);
    QCOMPARE(m_documents->windows().size(), 1);

    type(window, u"first line\n"_s);
    QVERIFY(window->save());
    QVERIFY(m_prompts->errors.isEmpty());
    QCOMPARE(contents(path), QByteArray("first line\n"));
    QVERIFY(!window->isModified());
}

void TestDocumentController::unreadableFilesOpenNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::addRow("folder") << u"folder"_s << u"The file does not contain readable content."_s;
    QTest::addRow("FIFO") << u"fifo"_s << u"The file does not contain readable content."_s;
    QTest::addRow("missing folder") << u"nowhere/missing.txt"_s << u"No such file"_s;
    QTest::addRow("dangling link") << u"dangling.txt"_s << u"No such file"_s;
    QTest::addRow("below a file") << u"plain.txt/missing.txt"_s << u"Not a directory"_s;
}

void TestDocumentController::unreadableFilesOpenNothing()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QVERIFY(QDir(m_folder->path()).mkdir(u"folder"_s));
    QVERIFY(::mkfifo(QFile::encodeName(m_folder->filePath(u"fifo"_s)).constData(), 0600) == 0);
    QVERIFY(QFile::link(m_folder->filePath(u"gone.txt"_s), m_folder->filePath(u"dangling.txt"_s)));
    writeFile(u"plain.txt"_s, "text");
    QVERIFY(!m_documents->openFile(m_folder->filePath(name)));
    QVERIFY(!QFileInfo::exists(m_folder->filePath(u"gone.txt"_s)));
    QVERIFY(m_documents->windows().isEmpty());
    QCOMPARE(m_prompts->errors.size(), 1);
    QVERIFY2(m_prompts->errors.first().contains(expected), qPrintable(m_prompts->errors.first()));
}

void TestDocumentController::binaryFilesAsk_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("openAnyway");
    QTest::addColumn<bool>("asks");
    QTest::addColumn<bool>("savingChangesBytes");
    QTest::addRow("open anyway") << QByteArray("a\0b", 3) << true << true << false;
    QTest::addRow("cancel") << QByteArray("a\0b", 3) << false << true << false;
    QTest::addRow("not UTF-8: saving rewrites it")
        << QByteArray("\xe9\0", 2) << true << true << true;
    QTest::addRow("CR LF: saving rewrites it") << QByteArray("a\0\r\n", 4) << true << true << true;
    QTest::addRow("UTF-16 text is no binary") << QByteArray("\xff\xfe"
                                                            "a\0b\0",
        6) << true << false << false;
    QTest::addRow("UTF-16 with a NUL character asks") << QByteArray("\xff\xfe"
                                                                    "a\0\0\0",
        6) << true << true << true;
}

void TestDocumentController::binaryFilesAsk()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, openAnyway);
    QFETCH(bool, asks);
    QFETCH(bool, savingChangesBytes);
    m_prompts->openBinary = openAnyway;
    const QPointer<DocumentWindow> window = m_documents->openFile(writeFile(u"data.bin"_s, bytes));
    QVERIFY(window);
    QTRY_COMPARE(m_documents->windows().size(), openAnyway ? 1 : 0);
    if (openAnyway)
        QTRY_VERIFY(!window->isLoading());
    QCOMPARE(m_prompts->binaryQuestions, asks ? 1 : 0);
    if (asks)
        QCOMPARE(m_prompts->binarySaveChangesBytes, savingChangesBytes);
}

void TestDocumentController::closingAnEditedDocumentAsks_data()
{
    QTest::addColumn<UserPrompts::SaveChangesAnswer>("answer");
    QTest::addColumn<bool>("saveFails");
    QTest::addColumn<bool>("closes");
    QTest::addColumn<QByteArray>("onDisk");
    using Answer = UserPrompts::SaveChangesAnswer;
    QTest::addRow("Save") << Answer::Save << false << true << QByteArray("old+new");
    QTest::addRow("Save that fails keeps the window")
        << Answer::Save << true << false << QByteArray("old");
    QTest::addRow("Don’t Save") << Answer::DontSave << false << true << QByteArray("old");
    QTest::addRow("Cancel") << Answer::Cancel << false << false << QByteArray("old");
}

void TestDocumentController::closingAnEditedDocumentAsks()
{
    QFETCH(UserPrompts::SaveChangesAnswer, answer);
    QFETCH(bool, saveFails);
    QFETCH(bool, closes);
    QFETCH(QByteArray, onDisk);
    const QString path = writeFile(u"edited.txt"_s, "old");
    DocumentWindow *window = openLoaded(path);
    type(window, u"+new"_s);
    QVERIFY(window->isWindowModified());
    if (saveFails) {
        window->file()->setWriter(
            DocumentWriter([](QIODevice &, QByteArrayView) -> qint64 { return 0; }));
    }
    m_prompts->saveChangesAnswer = answer;
    QSignalSpy destroyed(window, &QObject::destroyed);
    window->close();
    QCOMPARE(m_prompts->saveChangesQuestions, 1);
    // The save runs on a worker; the window goes once it has succeeded.
    if (closes) {
        QTRY_COMPARE(destroyed.count(), 1);
    } else {
        QTRY_VERIFY(!window->isSaving());
        QVERIFY(window->isModified());
    }
    QCOMPARE(m_documents->windows().size(), closes ? 0 : 1);
    QCOMPARE(contents(path), onDisk);
    QCOMPARE(m_prompts->errors.size(), saveFails ? 1 : 0);
}

void TestDocumentController::failedSaveKeepsFileAndEdits()
{
    const QString path = writeFile(u"full.txt"_s, "original");
    DocumentWindow *window = openLoaded(path);
    type(window, u" edited"_s);
    window->file()->setWriter(DocumentWriter([](QIODevice &device, QByteArrayView bytes) {
        return device.write(bytes.data(), bytes.size() / 2); // the disk filled up halfway
    }));
    QVERIFY(!window->save());
    QCOMPARE(contents(path), "original");
    QVERIFY(window->isModified());
    QCOMPARE(m_prompts->errors.size(), 1);
    QVERIFY(m_prompts->errors.first().contains(u"enough space"_s));
}

void TestDocumentController::undoHistorySurvivesSaving()
{
    const QString path = writeFile(u"undo.txt"_s, "base");
    DocumentWindow *window = openLoaded(path);
    type(window, u" more"_s);
    QVERIFY(window->save());
    QVERIFY(!window->isModified());
    window->contentView()->textView()->undo();
    QCOMPARE(window->contentView()->documentText().wholeText(), u"base"_s);
    QVERIFY(window->isModified());
}

void TestDocumentController::changeOnDiskWithoutEditsReloads()
{
    const QString path = writeFile(u"watched.txt"_s, "first");
    DocumentWindow *window = openLoaded(path);
    touchLater(path, "second version");
    QTRY_COMPARE_WITH_TIMEOUT(
        window->contentView()->documentText().wholeText(), u"second version"_s, 5000);
    QVERIFY(!window->isModified());
    // The editor's own save is not taken for another program's change.
    type(window, u"!"_s);
    QVERIFY(window->save());
    QTest::qWait(400);
    QVERIFY(window->findChild<QWidget *>(u"scrivlet.diskChangeNotice"_s)->isHidden()
        || !window->findChild<QWidget *>(u"scrivlet.diskChangeNotice"_s)->isVisible());
    QCOMPARE(window->contentView()->documentText().wholeText(), u"second version!"_s);
}

void TestDocumentController::changeOnDiskWithEditsAsks()
{
    const QString path = writeFile(u"conflict.txt"_s, "mine");
    DocumentWindow *window = openLoaded(path);
    QSignalSpy changed(window->file(), &DocumentFile::changedOnDisk);
    type(window, u" edited"_s);
    touchLater(path, "theirs");
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, 5000);
    QCOMPARE(window->contentView()->documentText().wholeText(), u"mine edited"_s);

    // Save asks before replacing their version; declining leaves it.
    m_prompts->overwriteNewer = false;
    QVERIFY(!window->save());
    QCOMPARE(m_prompts->overwriteQuestions, 1);
    QCOMPARE(contents(path), "theirs");
    m_prompts->overwriteNewer = true;
    QVERIFY(window->save());
    QCOMPARE(contents(path), "mine edited");
}

void TestDocumentController::deletedFileKeepsTextAndSaveRecreatesIt()
{
    const QString path = writeFile(u"gone.txt"_s, "keep me");
    DocumentWindow *window = openLoaded(path);
    QSignalSpy removed(window->file(), &DocumentFile::removedOnDisk);
    QVERIFY(QFile::remove(path));
    QTRY_COMPARE_WITH_TIMEOUT(removed.count(), 1, 5000);
    QCOMPARE(window->contentView()->documentText().wholeText(), u"keep me"_s);
    QCOMPARE(m_documents->windows().size(), 1);
    QVERIFY(window->save());
    QCOMPARE(contents(path), "keep me");
}

namespace {

// Holds every write of a save back until it is opened, so a test acts while the save is under way.
struct WriteGate
{
    std::mutex mutex;
    std::condition_variable opened;
    bool isOpen = false;
    int writes = 0;

    void open()
    {
        const std::lock_guard lock(mutex);
        isOpen = true;
        opened.notify_all();
    }
    DocumentWriter writer(const std::shared_ptr<WriteGate> &self)
    {
        return DocumentWriter([self](QIODevice &device, QByteArrayView bytes) {
            std::unique_lock lock(self->mutex);
            ++self->writes;
            self->opened.wait(lock, [&self] { return self->isOpen; });
            return device.write(bytes.data(), bytes.size());
        });
    }
};

enum class DuringSave { Typing, SaveAgain, Close, Quit };

} // namespace

void TestDocumentController::saveUnderWay_data()
{
    QTest::addColumn<DuringSave>("during");
    QTest::addColumn<QByteArray>("onDisk");
    QTest::addColumn<bool>("modified");
    QTest::addRow("typing stays an unsaved change, also in the draft")
        << DuringSave::Typing << QByteArray("base edited") << true;
    QTest::addRow("a second Save follows the first, one writer at a time")
        << DuringSave::SaveAgain << QByteArray("base edited during") << false;
    QTest::addRow("closing waits for the save")
        << DuringSave::Close << QByteArray("base edited") << false;
    QTest::addRow("quitting waits for the save, then saves what was typed")
        << DuringSave::Quit << QByteArray("base edited during") << false;
}

// A save writes the text as it was when it started, on a worker, while the window goes on.
void TestDocumentController::saveUnderWay()
{
    QFETCH(DuringSave, during);
    QFETCH(QByteArray, onDisk);
    QFETCH(bool, modified);
    const DraftStore drafts(m_folder->filePath(u"drafts"_s));
    m_documents->setDraftStore(&drafts);
    const QString path = writeFile(u"slow.txt"_s, "base");
    DocumentWindow *window = openLoaded(path);
    QVERIFY(window);
    QSignalSpy changedOnDisk(window->file(), &DocumentFile::changedOnDisk);
    QSignalSpy destroyed(window, &QObject::destroyed);
    const auto *notice = window->findChild<QLabel *>(u"scrivlet.savingNotice"_s);
    QVERIFY(notice);
    const auto gate = std::make_shared<WriteGate>();
    const auto openGate = qScopeGuard([&gate] { gate->open(); });
    window->file()->setWriter(gate->writer(gate));
    type(window, u" edited"_s);

    QVERIFY(window->startSave());
    QTRY_COMPARE(gate->writes, 1);
    type(window, u" during"_s);
    switch (during) {
    case DuringSave::Typing:
        // A long save says so; by then the watcher has had time to take it for a change.
        QTRY_VERIFY(notice->isVisibleTo(window));
        QCOMPARE(notice->text(), u"Saving “slow.txt”…"_s);
        break;
    case DuringSave::SaveAgain:
        QVERIFY(window->startSave());
        QTest::qWait(50);
        QCOMPARE(gate->writes, 1);
        break;
    case DuringSave::Close:
        // Asked once the save has ended, about what was typed meanwhile.
        m_prompts->saveChangesAnswer = UserPrompts::SaveChangesAnswer::DontSave;
        QVERIFY(!window->close());
        QCOMPARE(m_prompts->saveChangesQuestions, 0);
        QCOMPARE(contents(path), QByteArray("base"));
        break;
    case DuringSave::Quit: {
        std::thread later([&gate] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            gate->open();
        });
        QCOMPARE(window->preserveForQuit(), QString());
        later.join();
        break;
    }
    }
    gate->open();
    if (during == DuringSave::Close) {
        QTRY_COMPARE(destroyed.count(), 1);
        QCOMPARE(contents(path), onDisk);
        QCOMPARE(m_prompts->saveChangesQuestions, 1);
        return;
    }
    QTRY_COMPARE(contents(path), onDisk);
    QTRY_VERIFY(!window->isSaving());
    QVERIFY(!notice->isVisibleTo(window));
    QCOMPARE(window->isModified(), modified);
    QCOMPARE(window->isWindowModified(), modified);
    QVERIFY(m_prompts->errors.isEmpty());
    QTest::qWait(300);
    QCOMPARE(changedOnDisk.count(), 0);
    if (modified) {
        // After the save the draft replays the typing on the file it wrote.
        QTRY_VERIFY_WITH_TIMEOUT(drafts.drafts().size() == 1, 5000);
        QCOMPARE(drafts.recoverText(drafts.drafts().first().id),
            std::optional<QString>(u"base edited during"_s));
    }
    m_documents->setDraftStore(nullptr);
}

SCRIVLET_TEST_MAIN(TestDocumentController)
#include "tst_DocumentController.moc"
