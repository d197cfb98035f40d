#include "DocumentWriter.h"
#include "DraftRecorder.h"
#include "DraftStore.h"
#include "FileStamp.h"
#include "ScrivletDocument.h"
#include "ScrivletTextView.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "TextDocument.h"
#include "TextDocumentAccess.h"
#include "TextDocumentSaver.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

using TestFiles::readFile;
using TestFiles::writeFile;

namespace {

// Types `keys` into `view` the way a person would: "\n" is Return, "\b" Backspace, and a name in
// braces ("{Ctrl+Z}", "{Ctrl+End}") any key a QKeySequence can name.
void typeKeys(QWidget *view, const QString &keys)
{
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QChar key = keys.at(i);
        if (key == u'{') {
            const qsizetype end = keys.indexOf(u'}', i);
            const QKeyCombination chord = QKeySequence::fromString(keys.mid(i + 1, end - i - 1))[0];
            QTest::keyClick(view, chord.key(), chord.keyboardModifiers());
            i = end;
        } else if (key == u'\n') {
            QTest::keyClick(view, Qt::Key_Return);
        } else if (key == u'\b') {
            QTest::keyClick(view, Qt::Key_Backspace);
        } else {
            QTest::keyClicks(view, QString(key));
        }
    }
}

} // namespace

class TestDraftRecorder : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void recoveredTextEqualsTheDocument_data();
    void recoveredTextEqualsTheDocument();
    void typedKeysReplayExactly_data();
    void typedKeysReplayExactly();
    void randomKeysReplayExactly_data();
    void randomKeysReplayExactly();
    void stepThatDoesNotFitKeepsTheStepsAfterIt_data();
    void stepThatDoesNotFitKeepsTheStepsAfterIt();
    void draftAfterASaveReplaysOnTheSavedFile_data();
    void draftAfterASaveReplaysOnTheSavedFile();
    void editsDuringASaveReplayOnTheFileItWrote_data();
    void editsDuringASaveReplayOnTheFileItWrote();
    void tornJournalKeepsWhatCameBefore();
    void changedBaseFileIsNotReplayed();
    void draftFilesArePrivate();
    void snapshotCutShortLeavesOneWholeDraft_data();
    void snapshotCutShortLeavesOneWholeDraft();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
};

void TestDraftRecorder::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
}

void TestDraftRecorder::recoveredTextEqualsTheDocument_data()
{
    QTest::addColumn<QByteArray>("fileBytes"); // empty: an untitled document
    QTest::addColumn<int>("snapshotLimitUse"); // 0: file base, 1: small (snapshot base)
    QTest::addRow("untitled") << QByteArray() << 1;
    QTest::addRow("small file, snapshot base") << QByteArray("one\r\ntwo\rthree\n") << 1;
    QTest::addRow("file base with CR LF and a final line feed")
        << QByteArray("alpha\r\nbeta\r\n\xE2\x80\xA8gamma\n") << 0;
}

// Random typing, deleting, pasting over selections, undo and redo: whatever the journal
// recorded, replaying it gives exactly the document's text.
void TestDraftRecorder::recoveredTextEqualsTheDocument()
{
    QFETCH(QByteArray, fileBytes);
    QFETCH(int, snapshotLimitUse);
    const DraftStore store(m_folder->filePath(u"drafts"_s));
    TextDocument textDocument;
    TextDocument *document = &textDocument;
    QString path;
    if (!fileBytes.isEmpty()) {
        path = m_folder->filePath(u"base.txt"_s);
        QVERIFY(writeFile(path, fileBytes));
        // As a window shows a file it loaded: line breaks as LF.
        document->setText(ScrivletDocument::normalizeLineEndings(QString::fromUtf8(fileBytes)));
    }
    DraftRecorder recorder(document, store);
    if (snapshotLimitUse == 0)
        recorder.setSnapshotLimit(0); // as for a large file
    recorder.startFrom(path);
    document->replace(0, 0, u"first"_s);
    QCOMPARE(store.draft(recorder.draftId())->base,
        path.isEmpty()              ? DraftStore::BaseKind::Empty
            : snapshotLimitUse == 0 ? DraftStore::BaseKind::File
                                    : DraftStore::BaseKind::Snapshot);
    QRandomGenerator random(7);
    const QStringList pieces
        = {u"a"_s, u"\n"_s, u"\u00e9"_s, u"\U0001F600"_s, u"word "_s, u"\r\n"_s};
    for (int step = 0; step < 400; ++step) {
        const qsizetype length = document->length();
        const qsizetype position = random.bounded(int(length) + 1);
        const int action = random.bounded(10);
        if (action < 5) {
            document->replace(position, 0, pieces.at(random.bounded(pieces.size())));
        } else if (action < 7) {
            document->replace(position, std::min<qsizetype>(length - position, random.bounded(5)),
                random.bounded(2) ? QString() : u"pasted\nlines"_s);
        } else if (action < 8) {
            document->undo();
        } else if (action < 9) {
            document->redo();
        } else if (position > 0) {
            document->replace(position - 1, 1, {});
        }
        if (step % 97 == 0)
            QVERIFY(recorder.flush());
    }
    QVERIFY(recorder.flush());
    const std::optional<QString> recovered = store.recoverText(recorder.draftId());
    QVERIFY(recovered);
    QCOMPARE(*recovered, document->toString());
}

void TestDraftRecorder::typedKeysReplayExactly_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("expected");
    QTest::addRow("Return on an empty document") << u"\nabc"_s << u"\nabc"_s;
    QTest::addRow("Return on an empty last line") << u"x\n\nabc"_s << u"x\n\nabc"_s;
    QTest::addRow("Returns only") << u"\n\n\n"_s << u"\n\n\n"_s;
    QTest::addRow("Return at the start") << u"abc{Ctrl+Home}\n"_s << u"\nabc"_s;
    QTest::addRow("Return at the start of the last line") << u"ab\ncd{Home}\n"_s << u"ab\n\ncd"_s;
    QTest::addRow("Return at the end of a line above") << u"ab\n\ncd{Up}\nx"_s << u"ab\n\nx\ncd"_s;
    QTest::addRow("Backspace joining the last lines") << u"ab\n\n\b\bc"_s << u"abc"_s;
    QTest::addRow("Backspace at the start of the last line")
        << u"ab\ncd{Home}\b\n"_s << u"ab\ncd"_s;
    QTest::addRow("Delete joining an empty last line") << u"ab\n{Left}{Delete}c"_s << u"abc"_s;
    QTest::addRow("select all and type") << u"one\ntwo\n{Ctrl+A}x\n"_s << u"x\n"_s;
    QTest::addRow("select all and Return") << u"one\n\n{Ctrl+A}\n\n"_s << u"\n\n"_s;
    QTest::addRow("select all and Backspace") << u"one\ntwo{Ctrl+A}\b\nz"_s << u"\nz"_s;
    QTest::addRow("paste lines at the end") << u"a\n{Ctrl+V}"_s << u"a\np\nq\n"_s;
    QTest::addRow("paste lines, then Return") << u"{Ctrl+V}\n\n"_s << u"p\nq\n\n\n"_s;
    QTest::addRow("paste over all") << u"a\n\n{Ctrl+A}{Ctrl+V}z"_s << u"p\nq\nz"_s;
    QTest::addRow("undo Return on an empty last line") << u"x\n{Ctrl+Z}"_s << u"x"_s;
    QTest::addRow("undo and redo Return on an empty last line")
        << u"x\n\nabc{Ctrl+Z}{Ctrl+Shift+Z}{Ctrl+Z}\n"_s << u"x\n\n\n"_s;
    QTest::addRow("undo select all and type")
        << u"one\ntwo\n{Ctrl+A}x{Ctrl+Z}"_s << u"one\ntwo\n"_s;
    QTest::addRow("undo and redo a paste at the end")
        << u"a\n{Ctrl+V}{Ctrl+Z}{Ctrl+Shift+Z}{Ctrl+Z}{Ctrl+Shift+Z}\n"_s << u"a\np\nq\n\n"_s;
    QTest::addRow("undo Backspace joining the last lines")
        << u"ab\n\n{Ctrl+Z}\b{Ctrl+Z}"_s << u"ab\n"_s;
}

// Keys typed into a new document's view, as in the program: whatever they did, the draft's
// journal replays to exactly the text the view holds.
void TestDraftRecorder::typedKeysReplayExactly()
{
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    // Recovery would mend a step that does not fit; the recorder must not write one.
    QTest::failOnWarning(QRegularExpression(u"does not fit"_s));
    QGuiApplication::clipboard()->setText(u"p\nq\n"_s);
    const DraftStore store(m_folder->filePath(u"drafts"_s));
    ScrivletTextView view;
    view.show();
    DraftRecorder recorder(view.document(), store);
    recorder.startFrom(QString());
    typeKeys(&view, keys);
    QCOMPARE(view.document()->toString(), expected);
    QVERIFY(recorder.flush());
    QVERIFY(recorder.hasDraft());
    QCOMPARE(store.recoverText(recorder.draftId()), std::optional<QString>(expected));
}

void TestDraftRecorder::randomKeysReplayExactly_data()
{
    QTest::addColumn<QByteArray>("fileBytes"); // empty: an untitled document
    QTest::addColumn<quint32>("seed");
    QTest::addRow("untitled, seed 1") << QByteArray() << 1u;
    QTest::addRow("untitled, seed 2") << QByteArray() << 2u;
    QTest::addRow("file base, seed 3") << QByteArray("one\ntwo\n\n") << 3u;
    QTest::addRow("file base, seed 4") << QByteArray("\n") << 4u;
}

// Random keys, mostly at the end of the text where the document's final paragraph separator is:
// at every flush the draft replays to exactly the view's text.
void TestDraftRecorder::randomKeysReplayExactly()
{
    QFETCH(QByteArray, fileBytes);
    QFETCH(quint32, seed);
    QTest::failOnWarning(QRegularExpression(u"does not fit"_s));
    QGuiApplication::clipboard()->setText(u"pasted\nlines\n"_s);
    const DraftStore store(m_folder->filePath(u"drafts"_s));
    ScrivletTextView view;
    view.show();
    QString path;
    if (!fileBytes.isEmpty()) {
        path = m_folder->filePath(u"base.txt"_s);
        QVERIFY(writeFile(path, fileBytes));
        view.document()->setText(QString::fromUtf8(fileBytes));
    }
    DraftRecorder recorder(view.document(), store);
    recorder.setSnapshotLimit(0); // every edit goes to the journal, also for a file
    recorder.startFrom(path);
    QRandomGenerator random(seed);
    const QStringList moves = {u"{Ctrl+End}"_s, u"{Ctrl+End}"_s, u"{Ctrl+Home}"_s, u"{Up}"_s,
        u"{Ctrl+End}{Shift+Left}"_s, u"{Ctrl+End}{Shift+Up}"_s, u"{Home}"_s};
    const QStringList keys = {u"\n"_s, u"\n"_s, u"\b"_s, u"a"_s, u"{Delete}"_s, u"{Ctrl+V}"_s,
        u"{Ctrl+Z}"_s, u"{Ctrl+Shift+Z}"_s, u"{Ctrl+A}x"_s, u"{Ctrl+A}\n"_s};
    for (int step = 1; step <= 300; ++step) {
        typeKeys(&view, moves.at(random.bounded(moves.size())));
        typeKeys(&view, keys.at(random.bounded(keys.size())));
        if (step % 50 == 0) {
            QVERIFY(recorder.flush());
            QCOMPARE(store.recoverText(recorder.draftId()),
                std::optional<QString>(view.document()->toString()));
        }
    }
}

void TestDraftRecorder::stepThatDoesNotFitKeepsTheStepsAfterIt_data()
{
    using Edits = QList<DraftStore::Edit>;
    QTest::addColumn<QString>("snapshot");
    QTest::addColumn<Edits>("edits");
    QTest::addColumn<int>("misfits");
    QTest::addColumn<QString>("expected");
    // As earlier versions recorded "\nabc" and "x\n\nabc" typed into a new document.
    QTest::addRow("Return on an empty document, as recorded before")
        << QString() << Edits {{0, 1, {}}, {0, 0, u"\n"_s}, {1, 0, u"a"_s}, {2, 0, u"bc"_s}} << 1
        << u"\nabc"_s;
    QTest::addRow("Return on an empty last line, as recorded before")
        << QString()
        << Edits {{0, 0, u"x"_s}, {1, 0, u"\n"_s}, {2, 1, {}}, {2, 0, u"\n"_s}, {3, 0, u"abc"_s}}
        << 1 << u"x\n\nabc"_s;
    QTest::addRow("removing past the end")
        << u"abc"_s << Edits {{1, 9, u"X"_s}, {0, 0, u">"_s}} << 1 << u">aX"_s;
    QTest::addRow("starting past the end")
        << u"abc"_s << Edits {{7, 0, u"!"_s}, {0, 0, u">"_s}} << 1 << u">abc!"_s;
    QTest::addRow("negative counts")
        << u"abc"_s << Edits {{-2, 1, u"<"_s}, {1, -1, u"-"_s}, {4, 0, u"."_s}} << 2 << u"<-bc."_s;
}

// A step that does not fit the text is applied to what it covers and logged: the steps after it
// still count.
void TestDraftRecorder::stepThatDoesNotFitKeepsTheStepsAfterIt()
{
    QFETCH(QString, snapshot);
    QFETCH(QList<DraftStore::Edit>, edits);
    QFETCH(int, misfits);
    QFETCH(QString, expected);
    const DraftStore store(m_folder->filePath(u"drafts"_s));
    QVERIFY(store.writeDescription({u"d"_s, QString(), u"Untitled"_s,
        snapshot.isEmpty() ? DraftStore::BaseKind::Empty : DraftStore::BaseKind::Snapshot, {},
        false, {}}));
    if (!snapshot.isEmpty())
        QVERIFY(store.writeSnapshot(u"d"_s, snapshot));
    QVERIFY(store.appendEdits(u"d"_s, edits));
    for (int misfit = 0; misfit < misfits; ++misfit)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"does not fit"_s));
    QCOMPARE(store.recoverText(u"d"_s), std::optional<QString>(expected));
}

void TestDraftRecorder::draftAfterASaveReplaysOnTheSavedFile_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<DraftStore::BaseKind>("base");
    using Base = DraftStore::BaseKind;
    QTest::addRow("final line feed") << u"one\ntwo\n"_s << Base::File;
    QTest::addRow("blank last lines") << u"one\n\n\n"_s << Base::File;
    QTest::addRow("only line feeds") << u"\n\n"_s << Base::File;
    QTest::addRow("no final line feed") << u"one\ntwo"_s << Base::File;
    // The file holds LF where the document holds CR LF: the draft keeps the text itself.
    QTest::addRow("CR LF, written as LF") << u"one\r\ntwo\r\n"_s << Base::Snapshot;
    QTest::addRow("lone CR, written as LF") << u"one\rtwo\n"_s << Base::Snapshot;
}

// A large document's draft after a save replays its edits on the file just written, so that file
// must hold exactly the document's text: edits at its very end too.
void TestDraftRecorder::draftAfterASaveReplaysOnTheSavedFile()
{
    QFETCH(QString, text);
    QFETCH(DraftStore::BaseKind, base);
    const DraftStore store(m_folder->filePath(u"drafts"_s));
    const QString path = m_folder->filePath(u"saved.txt"_s);
    TextDocument textDocument(text);
    TextDocument *document = &textDocument;
    QVERIFY(DocumentWriter().save(SnapshotTextAccess(document->snapshot()), path).hasValue());
    DraftRecorder recorder(document, store);
    recorder.setSnapshotLimit(0); // as for a large file
    recorder.startFrom(path, DraftRecorder::FileForm::AsSaved);
    document->replace(document->length() - 1, 1, u"end"_s);
    QVERIFY(recorder.flush());
    QCOMPARE(store.draft(recorder.draftId())->base, base);
    QCOMPARE(store.recoverText(recorder.draftId()), std::optional<QString>(document->toString()));
}

void TestDraftRecorder::editsDuringASaveReplayOnTheFileItWrote_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("during");
    QTest::addColumn<bool>("large");
    QTest::addColumn<bool>("saveFails");
    QTest::addColumn<DraftStore::BaseKind>("base");
    using Base = DraftStore::BaseKind;
    QTest::addRow("large text: the file written is the base")
        << u"x"_s << u"y"_s << true << false << Base::File;
    QTest::addRow("small text: a snapshot of it")
        << u"x"_s << u"y"_s << false << false << Base::Snapshot;
    // The file holds LF for the CR, which the text no longer has once typed away.
    QTest::addRow("a CR written as LF, deleted during the save")
        << u"\r"_s << u"\b"_s << true << false << Base::Snapshot;
    QTest::addRow("a failed save: the draft goes on")
        << u"x"_s << u"y"_s << true << true << Base::File;
}

// Typing goes on while a save writes the text as it was when it started: afterwards the draft
// recovers the document's text, whatever the save did.
void TestDraftRecorder::editsDuringASaveReplayOnTheFileItWrote()
{
    QFETCH(QString, before);
    QFETCH(QString, during);
    QFETCH(bool, large);
    QFETCH(bool, saveFails);
    QFETCH(DraftStore::BaseKind, base);
    const DraftStore store(m_folder->filePath(u"drafts"_s));
    const QString path = m_folder->filePath(u"saving.txt"_s);
    QVERIFY(writeFile(path, "one\ntwo\n"));
    TextDocument document(u"one\ntwo\n"_s);
    DraftRecorder recorder(&document, store);
    if (large)
        recorder.setSnapshotLimit(0);
    recorder.startFrom(path);
    const auto edit = [&document](qsizetype position, const QString &what) {
        if (what == u"\b")
            document.replace(position - 1, 1, {});
        else
            document.replace(position, 0, what);
    };
    edit(3, before);
    TextDocumentSaver saver(&document,
        saveFails ? DocumentWriter([](QIODevice &, QByteArrayView) -> qint64 { return 0; })
                  : DocumentWriter());
    QSignalSpy saved(&saver, &TextDocumentSaver::saved);
    QSignalSpy failed(&saver, &TextDocumentSaver::failed);
    QVERIFY(saver.save(path));
    recorder.saveStarted();
    edit(4, during);
    QTRY_COMPARE(saved.count() + failed.count(), 1);
    if (saveFails)
        recorder.saveFailed();
    else
        recorder.saveSucceeded(path, saved.first().at(1).toBool());
    edit(document.length(), u"end"_s);
    QVERIFY(recorder.flush());
    QCOMPARE(store.draft(recorder.draftId())->base, base);
    QCOMPARE(store.recoverText(recorder.draftId()), std::optional<QString>(document.toString()));
}

void TestDraftRecorder::tornJournalKeepsWhatCameBefore()
{
    const DraftStore store(m_folder->filePath(u"drafts"_s));
    TextDocument document;
    DraftRecorder recorder(&document, store);
    recorder.startFrom(QString());
    document.replace(0, 0, u"kept"_s);
    QVERIFY(recorder.flush());
    document.replace(document.length(), 0, u" and more"_s);
    QVERIFY(recorder.flush());
    // A crash in the middle of the last append leaves part of a record.
    QFile journal(store.folder() + u'/' + recorder.draftId() + u".journal"_s);
    QVERIFY(journal.open(QIODevice::ReadWrite));
    QVERIFY(journal.resize(journal.size() - 3));
    journal.close();
    QCOMPARE(store.recoverText(recorder.draftId()), std::optional<QString>(u"kept"_s));
}

void TestDraftRecorder::changedBaseFileIsNotReplayed()
{
    const DraftStore store(m_folder->filePath(u"drafts"_s));
    const QString path = m_folder->filePath(u"big.txt"_s);
    QVERIFY(writeFile(path, "base"));
    DraftStore::Draft draft {
        u"d1"_s, path, QString(), DraftStore::BaseKind::File, FileStamp::of(path), false, {}};
    QVERIFY(store.writeDescription(draft));
    QVERIFY(store.appendEdits(u"d1"_s, {{4, 0, u"!"_s}}));
    QCOMPARE(store.recoverText(u"d1"_s), std::optional<QString>(u"base!"_s));
    QTest::qWait(20);
    QVERIFY(writeFile(path, "other content"));
    QCOMPARE(store.recoverText(u"d1"_s), std::nullopt);
    QVERIFY(!store.draft(u"../escape"_s));
}

void TestDraftRecorder::draftFilesArePrivate()
{
    const DraftStore store(m_folder->filePath(u"drafts"_s));
    QVERIFY(store.writeDescription(
        {u"p"_s, QString(), u"Untitled"_s, DraftStore::BaseKind::Snapshot, {}, false, {}}));
    QVERIFY(store.writeSnapshot(u"p"_s, u"secret"_s));
    QVERIFY(store.appendEdits(u"p"_s, {{0, 0, u"x"_s}}));
    QCOMPARE(QFile::permissions(store.folder()) & 0x0077, QFile::Permissions());
    for (const char *suffix : {".json", ".snapshot", ".journal"}) {
        const QString path = store.folder() + u"/p"_s + QLatin1StringView(suffix);
        QCOMPARE(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
    }
    QCOMPARE(store.recoverText(u"p"_s), std::optional<QString>(u"xsecret"_s));
}

// A new snapshot is a new draft replacing the old one. Wherever a crash stops it, the drafts
// listed give the text once: never the old journal replayed on the new base, never two windows.
void TestDraftRecorder::snapshotCutShortLeavesOneWholeDraft_data()
{
    QTest::addColumn<bool>("descriptionWritten");
    QTest::addColumn<QString>("survivor");
    QTest::addRow("killed before the new description") << false << u"old"_s;
    QTest::addRow("killed before the old draft was removed") << true << u"new"_s;
}

void TestDraftRecorder::snapshotCutShortLeavesOneWholeDraft()
{
    QFETCH(bool, descriptionWritten);
    QFETCH(QString, survivor);
    const DraftStore store(m_folder->filePath(u"drafts"_s));
    const QString path = m_folder->filePath(u"base.txt"_s);
    QVERIFY(writeFile(path, "base"));
    QVERIFY(store.writeDescription(
        {u"old"_s, path, QString(), DraftStore::BaseKind::File, FileStamp::of(path), false, {}}));
    QVERIFY(store.appendEdits(u"old"_s, {{4, 0, u"!"_s}}));

    QVERIFY(store.writeSnapshot(u"new"_s, u"base!"_s));
    if (descriptionWritten) {
        QVERIFY(store.writeDescription(
            {u"new"_s, path, QString(), DraftStore::BaseKind::Snapshot, {}, false, u"old"_s}));
    }
    const QList<DraftStore::Draft> drafts = store.drafts();
    QCOMPARE(drafts.size(), 1);
    QCOMPARE(drafts.first().id, survivor);
    QCOMPARE(store.recoverText(survivor), std::optional<QString>(u"base!"_s));
    if (descriptionWritten)
        QVERIFY(!QFile::exists(store.folder() + u"/old.journal"_s));
}

SCRIVLET_TEST_MAIN(TestDraftRecorder)
#include "tst_DraftRecorder.moc"
