#include "TextDocumentSaver.h"

#include "ScrivletDocument.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "TextDocument.h"

#include <QIODevice>
#include <QSignalSpy>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

constexpr int saveTimeout = 30000;

// Waits for the saver's one outcome; the error when it failed.
std::optional<DocumentError> waitForSave(TextDocumentSaver &saver)
{
    std::optional<DocumentError> error;
    bool done = false;
    QObject context;
    QObject::connect(&saver, &TextDocumentSaver::saved, &context, [&done] { done = true; });
    QObject::connect(
        &saver, &TextDocumentSaver::failed, &context, [&](const DocumentError &reported) {
            error = reported;
            done = true;
        });
    if (!QTest::qWaitFor([&done] { return done; }, saveTimeout))
        return DocumentError(DocumentError::fileWriteUnknown, u"The save never ended."_s);
    return error;
}

} // namespace

class tst_TextDocumentSaver : public QObject
{
    Q_OBJECT

private slots:
    void savesWhatTheEditorSaves_data();
    void savesWhatTheEditorSaves();
    void editsDuringSaveStayUnsaved();
    void failedSaveKeepsFileAndEdits();

private:
    QTemporaryDir m_folder;
};

void tst_TextDocumentSaver::savesWhatTheEditorSaves_data()
{
    QTest::addColumn<QString>("text");
    QTest::addRow("CR LF and lone CR become LF") << u"a\r\nb\rc\n\r\n"_s;
    QTest::addRow("the final line feed stays") << u"last line\n"_s;
    QTest::addRow("a UTF-8 byte-order mark kept as read") << u"\uFEFFtext"_s;
    QTest::addRow("U+2029, NUL and noncharacters")
        << QString(u"p\u2029q\uFDD0"_s + QChar(0) + u"\U0001F600"_s);
    QTest::addRow("a surrogate pair across the writer's pieces")
        << QString(QString((1 << 20) - 1, u'a') + u"\U0001F600 end"_s);
    QTest::addRow("CR LF across the writer's pieces")
        << QString(QString((1 << 20) - 1, u'a') + u"\r\nend"_s);
    QTest::addRow("empty") << QString();
    QTest::addRow("an unpaired surrogate is refused") << QString(u"a"_s + QChar(0xD800) + u"b"_s);
}

// The file holds exactly what the editor's own save of the whole text gives, or is not written
// when that save fails.
void tst_TextDocumentSaver::savesWhatTheEditorSaves()
{
    QFETCH(QString, text);
    const QString path = m_folder.filePath(QString::fromUtf8(QTest::currentDataTag()));
    TextDocument document;
    document.setText(text.first(text.size() / 2));
    // The rest typed in, so that the text is read from pieces of both kinds.
    document.replace(document.length(), 0, text.sliced(text.size() / 2) + u'x');
    document.replace(document.length() - 1, 1, {});
    TextDocumentSaver saver(&document);
    QSignalSpy modified(&document, &TextDocument::modificationChanged);
    QVERIFY(document.isModified());
    QVERIFY(saver.save(path));
    QVERIFY(saver.isSaving());
    QVERIFY(!saver.save(path));
    const std::optional<DocumentError> error = waitForSave(saver);
    QVERIFY(!saver.isSaving());
    const DocumentResult<QByteArray> expected = ScrivletDocument::encodeForSave(text);
    if (!expected) {
        QVERIFY(error);
        QCOMPARE(error->code, expected.error().code);
        QVERIFY(!QFile::exists(path));
        QVERIFY(document.isModified());
        return;
    }
    QCOMPARE(error, std::nullopt);
    QCOMPARE(TestFiles::readFile(path), *expected);
    QVERIFY(!document.isModified());
    QCOMPARE(modified.size(), 1);
    QCOMPARE(modified.first().first(), QVariant(false));
}

// Typing goes on while the save runs: the file gets the text as it was when the save started,
// and the document stays modified until undo takes it back to that text.
void tst_TextDocumentSaver::editsDuringSaveStayUnsaved()
{
    const QString path = m_folder.filePath(u"during.txt"_s);
    const QString text = u"line of text\r\n"_s.repeated(200000);
    TextDocument document(text);
    document.replace(0, 0, u"x"_s);
    TextDocumentSaver saver(&document);
    QVERIFY(saver.save(path));
    document.replace(1, 0, u"y"_s);
    document.replace(2, 0, u"z"_s);
    QCOMPARE(waitForSave(saver), std::nullopt);
    QCOMPARE(TestFiles::readFile(path), *ScrivletDocument::encodeForSave(u"x"_s + text));
    QVERIFY(document.isModified());
    document.undo();
    QCOMPARE(document.toString(), u"x"_s + text);
    QVERIFY(!document.isModified());
}

void tst_TextDocumentSaver::failedSaveKeepsFileAndEdits()
{
    const QString path = m_folder.filePath(u"kept.txt"_s);
    QVERIFY(TestFiles::writeFile(path, "on disk\n"));
    TextDocument document(u"edited\n"_s.repeated(1000));
    document.replace(0, 0, u"!"_s);
    const DocumentWriter fullDisk(
        [](QIODevice &device, QByteArrayView bytes) { return device.write(bytes.data(), 1); });
    TextDocumentSaver saver(&document, fullDisk);
    QVERIFY(saver.save(path));
    const std::optional<DocumentError> error = waitForSave(saver);
    QVERIFY(error);
    QCOMPARE(error->code, DocumentError::fileWriteOutOfSpace);
    QCOMPARE(TestFiles::readFile(path), QByteArray("on disk\n"));
    QVERIFY(document.isModified());

    TextDocumentSaver missingFolder(&document);
    QVERIFY(missingFolder.save(m_folder.filePath(u"no folder/file.txt"_s)));
    QVERIFY(waitForSave(missingFolder));
    QVERIFY(document.isModified());
}

SCRIVLET_TEST_MAIN(tst_TextDocumentSaver)
#include "tst_TextDocumentSaver.moc"
