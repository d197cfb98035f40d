#include "TextLoader.h"

#include "ScrivletDocument.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "TextDocument.h"

#include <QSignalSpy>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

constexpr int loadTimeout = 30000;

// Bytes that fill two blocks up to `beforeEnd` bytes short of the second's end, so that what
// follows straddles the cut after a block was shown.
QByteArray fillTwoBlocks(qsizetype beforeEnd)
{
    return QByteArray(TextLoader::firstBlockBytes + TextLoader::blockBytes - beforeEnd, 'a');
}

} // namespace

class tst_TextLoader : public QObject
{
    Q_OBJECT

private slots:
    void loadsAsReadDecodes_data();
    void loadsAsReadDecodes();
    void failsAsReadFails();
    void loadAgainWhileLoading();

private:
    QTemporaryDir m_folder;
};

void tst_TextLoader::loadsAsReadDecodes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addRow("empty file") << QByteArray();
    QTest::addRow("code points kept as they are")
        << QByteArray("\xEF\xBB\xBFp\xE2\x80\xA9q\r\nr\rs\0t\xEF\xB7\x90\n", 19);
    QTest::addRow("two-byte character across blocks") << fillTwoBlocks(1) + "\xC3\xA9 tail";
    QTest::addRow("four-byte character across blocks") << fillTwoBlocks(2) + "\xF0\x9F\x98\x80!";
    QTest::addRow("three-byte character ending the block") << fillTwoBlocks(3) + "\xE2\x80\xA9z";
    QTest::addRow("CR LF across blocks") << fillTwoBlocks(1) + "\r\nb\r";
    QTest::addRow("exactly two blocks") << fillTwoBlocks(0);
    // Fewer units than bytes: the blocks of text fill at another pace than the file is read.
    QTest::addRow("characters of every length over several blocks")
        << (u"é€😀a\n"_s)
               .toUtf8()
               .repeated((TextLoader::firstBlockBytes + TextLoader::blockBytes) / 11 + 1);
    // The first blocks decode as UTF-8 and are shown before the third shows the file is not.
    QTest::addRow("Latin 1 after two blocks") << fillTwoBlocks(-10) + "caf\xE9\n";
    QTest::addRow("Windows-1252 in the first block") << QByteArray("\x93quoted\x94 \x80\n");
    QTest::addRow("malformed UTF-8 across blocks") << fillTwoBlocks(1) + "\xE2\x80 Mac";
    QTest::addRow("Latin 1 with CR LF across blocks") << "caf\xE9" + fillTwoBlocks(5) + "\r\n\r\n";
    // Ú in Windows-1252, but the undefined byte two blocks later makes it all Mac OS Roman.
    QTest::addRow("Mac OS Roman decided by a later block")
        << fillTwoBlocks(-10) + "\xDA" + QByteArray(TextLoader::blockBytes, 'b') + "\x81";
    QTest::addRow("UTF-16 with its byte-order mark")
        << QByteArray("\xFF\xFEp\0\x29\x20q\0\r\0", 10);
}

// The text loaded block by block is the text ScrivletDocument::read() decodes whole (with CR
// and CR LF made LF when asked); the load is neither an edit to undo nor a modification, and it
// knows whether a save would write other bytes back.
void tst_TextLoader::loadsAsReadDecodes()
{
    QFETCH(QByteArray, bytes);
    const QString path = m_folder.filePath(u"file.txt"_s);
    QVERIFY(TestFiles::writeFile(path, bytes));
    const DocumentResult<ScrivletDocument> read = ScrivletDocument::read(path);
    QVERIFY(read);
    const DocumentResult<QByteArray> saved = ScrivletDocument::encodeForSave(read->text);
    QVERIFY(saved);

    for (const auto lineBreaks :
        {TextLoader::LineBreaks::AsRead, TextLoader::LineBreaks::LineFeeds}) {
        const QString expected = lineBreaks == TextLoader::LineBreaks::AsRead
            ? read->text
            : ScrivletDocument::normalizeLineEndings(read->text);
        TextDocument document;
        TextLoader loader(&document);
        loader.setLineBreaks(lineBreaks);
        QSignalSpy first(&loader, &TextLoader::firstBlockLoaded);
        QSignalSpy finished(&loader, &TextLoader::finished);
        int failures = 0;
        connect(&loader, &TextLoader::failed, this, [&failures] { ++failures; });
        int removals = 0;
        connect(&document, &TextDocument::contentsChange, this,
            [&removals](qsizetype, qsizetype removed) { removals += removed > 0; });
        QSignalSpy progress(&loader, &TextLoader::progress);
        loader.load(path);
        QVERIFY(loader.isLoading());
        QTRY_COMPARE_WITH_TIMEOUT(finished.size() + failures, 1, loadTimeout);
        QCOMPARE(finished.size(), 1);
        QVERIFY(!loader.isLoading());
        QCOMPARE(document.length(), expected.size());
        QVERIFY(document.toString() == expected);
        QCOMPARE(first.size(), expected.isEmpty() ? 0 : 1);
        QCOMPARE(loader.containsNul(), expected.contains(QChar(u'\0')));
        QCOMPARE(loader.savingChangesBytes(), *saved != bytes);
        if (!bytes.isEmpty())
            QCOMPARE(progress.last().value(0).toLongLong(), bytes.size());
        QVERIFY(!document.isModified());
        QVERIFY(!document.canUndo());
        // UTF-8 is decoded once, a block at a time: nothing shown is taken back.
        if (ScrivletDocument::decodeStrictUtf8(bytes))
            QCOMPARE(removals, 0);
    }
}

void tst_TextLoader::failsAsReadFails()
{
    const QString missing = m_folder.filePath(u"missing.txt"_s);
    const QString folder = m_folder.path();
    for (const QString &path : {missing, folder}) {
        TextDocument document(u"earlier text"_s);
        TextLoader loader(&document);
        std::optional<DocumentError> error;
        connect(&loader, &TextLoader::failed, this,
            [&error](const DocumentError &reported) { error = reported; });
        loader.load(path);
        QTRY_VERIFY_WITH_TIMEOUT(error, loadTimeout);
        QCOMPARE(error->code, ScrivletDocument::read(path).error().code);
        QCOMPARE(document.length(), 0);
    }
}

// A second load started while the first still reads ends with the second file's text alone:
// blocks of the first that were already on their way are dropped.
void tst_TextLoader::loadAgainWhileLoading()
{
    const QString large = m_folder.filePath(u"large.txt"_s);
    const QString small = m_folder.filePath(u"small.txt"_s);
    QVERIFY(TestFiles::writeFile(large, QByteArray("line\n").repeated(8'000'000)));
    QVERIFY(TestFiles::writeFile(small, "small\r\n"));
    TextDocument document;
    TextLoader loader(&document);
    QSignalSpy first(&loader, &TextLoader::firstBlockLoaded);
    QSignalSpy finished(&loader, &TextLoader::finished);
    loader.load(large);
    QVERIFY(first.wait(loadTimeout));
    const qsizetype finishedBefore = finished.size();
    loader.load(small);
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), finishedBefore + 1, loadTimeout);
    QTest::qWait(100);
    QCOMPARE(document.toString(), u"small\r\n"_s);
    QCOMPARE(finished.size(), finishedBefore + 1);
}

SCRIVLET_TEST_MAIN(tst_TextLoader)
#include "tst_TextLoader.moc"
