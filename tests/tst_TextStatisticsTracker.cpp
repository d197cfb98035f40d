#include "DocumentStatistics.h"
#include "TestEnvironment.h"
#include "TextStatisticsTracker.h"

#include <QApplication>
#include <QPlainTextDocumentLayout>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <memory>

using DocumentStatistics::TextCounts;

namespace DocumentStatistics {

char *toString(const TextCounts &counts)
{
    return QTest::toString(statusText(counts));
}

} // namespace DocumentStatistics

namespace {

// Keystrokes arrive one code unit at a time; a paste arrives whole.
enum class Input {
    UnitByUnit,
    Pasted,
};

// Laid out like the document of an editor window; QTextDocument reports changes only then.
std::unique_ptr<QTextDocument> editorDocument(const QString &text = {})
{
    auto document = std::make_unique<QTextDocument>();
    document->setDocumentLayout(new QPlainTextDocumentLayout(document.get()));
    document->setPlainText(text);
    return document;
}

// Counted from the text as the status bar sees it: blocks joined by LF, U+00A0 and U+2028 left
// alone (toPlainText() would change both).
TextCounts expectedCounts(const QTextDocument &document)
{
    QString text = document.toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return DocumentStatistics::countText(text);
}

constexpr char16_t highSurrogate[] = {0xD83D};
constexpr char16_t lowSurrogate[] = {0xDC4D};

// Pieces that meet every counting rule and every way QTextCursor turns text into blocks.
constexpr QStringView snippetPieces[] = {u"a", u"Zy", u"3.14", u"word", u" ", u"  ", u"\t", u"\n",
    u"\r", u"\r\n", u"\n\n", u"\u2028", u"\u2029", u"e\u0301", u"\u0301", u"\u00A0", u"\u000B",
    u"\u0085", u"\u3000", u"\u4E2D\u6587", u"\u0915\u093F", u"\U0001F44D", u"\U0001F44D\U0001F3FD",
    u"\U0001F3FD", u"\u200D", u"\U0001F468\u200D\U0001F469", u"\U0001F1E9\U0001F1EA", u"\U0001F1E9",
    QStringView(highSurrogate, 1), QStringView(lowSurrogate, 1), u"-", u"\u1100\u1161\u11A8"};

class RandomText
{
public:
    explicit RandomText(quint32 seed)
        : m_random(seed)
    { }

    int bounded(int limit) { return int(m_random.bounded(limit)); }
    QString snippet(int maxPieces)
    {
        QString text;
        for (int count = bounded(maxPieces + 1); count > 0; --count)
            text += snippetPieces[bounded(int(std::size(snippetPieces)))];
        return text;
    }
    QString lines(int count)
    {
        QString text;
        for (int line = 0; line < count; ++line)
            text += snippet(6) + QLatin1Char('\n');
        return text;
    }

private:
    QRandomGenerator m_random;
};

class RandomEditor
{
public:
    RandomEditor(QTextDocument &document, quint32 seed, int maxLength)
        : m_document(document)
        , m_text(seed)
        , m_maxLength(maxLength)
    { }

    // Applies one random edit and says what it was.
    QString step();

private:
    int bounded(int limit) { return m_text.bounded(limit); }
    int randomPosition() { return bounded(m_document.characterCount()); }
    QTextCursor selection(int maxLength);
    QString bulkEdit(QTextCursor &cursor, int choice);

    QTextDocument &m_document;
    RandomText m_text;
    int m_maxLength;
};

QTextCursor RandomEditor::selection(int maxLength)
{
    QTextCursor cursor(&m_document);
    const int start = randomPosition();
    cursor.setPosition(start);
    cursor.setPosition(std::min(start + bounded(maxLength + 1), m_document.characterCount() - 1),
        QTextCursor::KeepAnchor);
    return cursor;
}

QString RandomEditor::step()
{
    const int choice = m_document.characterCount() > m_maxLength ? 0 : bounded(12);
    QTextCursor cursor = selection(bounded(20) == 0 ? m_maxLength : 60);
    switch (choice) {
    case 0:
        cursor.removeSelectedText();
        return QStringLiteral("delete");
    case 1:
    case 2:
        cursor.insertText(m_text.snippet(10));
        return QStringLiteral("insert or replace");
    case 3:
        cursor.clearSelection();
        cursor.insertBlock();
        return QStringLiteral("Enter");
    case 4:
        cursor.clearSelection();
        cursor.movePosition(QTextCursor::StartOfBlock);
        cursor.deletePreviousChar();
        return QStringLiteral("Backspace at a line start");
    case 5:
        m_document.undo();
        return QStringLiteral("undo");
    case 6:
        m_document.redo();
        return QStringLiteral("redo");
    default:
        return bulkEdit(cursor, choice);
    }
}

// Edits that reach many lines or the end of the text, or replace all of it.
QString RandomEditor::bulkEdit(QTextCursor &cursor, int choice)
{
    switch (choice) {
    case 7:
        cursor.beginEditBlock();
        cursor.insertText(m_text.snippet(4));
        cursor.setPosition(randomPosition());
        cursor.insertBlock();
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(m_text.snippet(4));
        cursor.endEditBlock();
        return QStringLiteral("edit block");
    case 8:
        cursor.insertText(m_text.lines(bounded(m_maxLength / 40 + 1)));
        return QStringLiteral("paste many lines");
    case 9:
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(m_text.lines(bounded(4)) + m_text.snippet(6));
        return QStringLiteral("append");
    case 10:
        m_document.setUndoRedoEnabled(false);
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(m_text.snippet(12));
        m_document.setUndoRedoEnabled(true);
        return QStringLiteral("append without undo");
    default:
        if (bounded(2) == 0) {
            m_document.clear();
            return QStringLiteral("clear");
        }
        m_document.setPlainText(m_text.lines(bounded(20)));
        return QStringLiteral("setPlainText");
    }
}

// Applies random edits and compares the counts with a full count after each.
void checkRandomEdits(QTextDocument &document, const TextStatisticsTracker &tracker, quint32 seed,
    int steps, int maxLength)
{
    RandomEditor editor(document, seed, maxLength);
    for (int step = 0; step < steps && !QTest::currentTestFailed(); ++step) {
        const QString edit = editor.step();
        const TextCounts expected = expectedCounts(document);
        QVERIFY2(tracker.counts() == expected,
            qPrintable(QStringLiteral("step %1 (%2): \"%3\", expected \"%4\"")
                           .arg(step)
                           .arg(edit, DocumentStatistics::statusText(tracker.counts()),
                               DocumentStatistics::statusText(expected))));
    }
}

} // namespace

Q_DECLARE_METATYPE(Input)

class TestTextStatisticsTracker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void randomEdits_data();
    void randomEdits();
    void statusTextAfterTyping_data();
    void statusTextAfterTyping();
    void appendingSlices();
    void manyLinesAcrossChunks();
    void oneSignalPerChange();
    void documentWithoutLayout();
};

// Recounting everything after an edit is only a safety net; it must never be what makes the
// counts right.
void TestTextStatisticsTracker::init()
{
    QTest::failOnWarning(QRegularExpression(QStringLiteral("counting again")));
}

void TestTextStatisticsTracker::randomEdits_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("initialLines");
    QTest::addColumn<int>("maxLength");

    QTest::addRow("short text, seed 1") << 1u << 3000 << 3 << 2000;
    QTest::addRow("short text, seed 2") << 2u << 3000 << 0 << 600;
    QTest::addRow("short text, seed 3") << 3u << 2000 << 40 << 5000;
    QTest::addRow("lines across several chunks") << 4u << 250 << 9000 << 400000;
}

void TestTextStatisticsTracker::randomEdits()
{
    QFETCH(quint32, seed);
    QFETCH(int, steps);
    QFETCH(int, initialLines);
    QFETCH(int, maxLength);

    auto document = editorDocument(RandomText(seed).lines(initialLines));
    TextStatisticsTracker tracker(document.get());
    QCOMPARE(tracker.counts(), expectedCounts(*document));
    checkRandomEdits(*document, tracker, seed, steps, maxLength);
}

void TestTextStatisticsTracker::statusTextAfterTyping_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<Input>("input");
    QTest::addColumn<QString>("status");

    const auto row = [](const char *name, const QString &typed, Input input, const char *status) {
        QTest::addRow("%s", name) << typed << input << QString::fromLatin1(status);
    };
    row("one word", QStringLiteral("one"), Input::UnitByUnit, "3 characters, 1 word, 1 paragraph");
    row("nothing", QString(), Input::UnitByUnit, "0 characters, 0 words, 0 paragraphs");
    row("two paragraphs after a blank line", QStringLiteral("Hello world\n\nBye"),
        Input::UnitByUnit, "16 characters, 3 words, 2 paragraphs");
    row("only spaces and newlines", QStringLiteral("  \n \n"), Input::UnitByUnit,
        "5 characters, 0 words, 0 paragraphs");
    row("a line of spaces between two lines", QStringLiteral("a\n  \nb"), Input::UnitByUnit,
        "6 characters, 2 words, 3 paragraphs");
    row("CR LF pasted becomes one line break", QStringLiteral("a\r\nb"), Input::Pasted,
        "3 characters, 2 words, 2 paragraphs");
    row("CR and LF typed apart make two line breaks", QStringLiteral("a\r\nb"), Input::UnitByUnit,
        "4 characters, 2 words, 2 paragraphs");
    row("a lone CR starts a line", QStringLiteral("a\rb"), Input::UnitByUnit,
        "3 characters, 2 words, 2 paragraphs");
    row("tab and no-break space separate words", QStringLiteral("a\tb\u00A0c"), Input::UnitByUnit,
        "5 characters, 3 words, 1 paragraph");
    row("line separator inside a line", QStringLiteral("a\u2028b"), Input::UnitByUnit,
        "3 characters, 2 words, 2 paragraphs");
    row("combining accent", QStringLiteral("e\u0301"), Input::UnitByUnit,
        "1 characters, 1 word, 1 paragraph");
    row("emoji with skin tone, one surrogate at a time",
        QString::fromUtf16(u"\U0001F44D\U0001F3FD"), Input::UnitByUnit,
        "1 characters, 1 word, 1 paragraph");
}

void TestTextStatisticsTracker::statusTextAfterTyping()
{
    QFETCH(QString, typed);
    QFETCH(Input, input);
    QFETCH(QString, status);

    auto document = editorDocument();
    TextStatisticsTracker tracker(document.get());
    QTextCursor cursor(document.get());
    if (input == Input::Pasted) {
        cursor.insertText(typed);
    } else {
        for (const QChar unit : std::as_const(typed))
            cursor.insertText(QString(unit));
    }
    QCOMPARE(DocumentStatistics::statusText(tracker.counts()), status);
}

// A loader appends a large text in slices that cut lines, CR LF pairs and surrogate pairs apart.
void TestTextStatisticsTracker::appendingSlices()
{
    auto document = editorDocument();
    document->setUndoRedoEnabled(false);
    TextStatisticsTracker tracker(document.get());
    RandomText random(7);
    const QString text = random.lines(3000) + random.snippet(50);
    QTextCursor cursor(document.get());
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype length = 1 + random.bounded(400);
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(text.mid(start, length));
        start += length;
        QCOMPARE(tracker.counts(), expectedCounts(*document));
    }
}

// Enter and Backspace at line starts all over a long text, and a paste and its undo that move
// thousands of lines at once.
void TestTextStatisticsTracker::manyLinesAcrossChunks()
{
    RandomText random(5);
    auto document = editorDocument(random.lines(60000));
    TextStatisticsTracker tracker(document.get());
    QTextCursor cursor(document.get());
    for (int step = 0; step < 3000; ++step) {
        const int block = random.bounded(document->blockCount());
        cursor.setPosition(document->findBlockByNumber(block).position());
        if (random.bounded(2))
            cursor.insertBlock();
        else
            cursor.deletePreviousChar();
    }
    QCOMPARE(tracker.counts(), expectedCounts(*document));

    cursor.setPosition(document->characterCount() / 2);
    cursor.insertText(random.lines(20000));
    QCOMPARE(tracker.counts(), expectedCounts(*document));
    document->undo();
    QCOMPARE(tracker.counts(), expectedCounts(*document));
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    QCOMPARE(tracker.counts(), TextCounts());
    document->undo();
    QCOMPARE(tracker.counts(), expectedCounts(*document));
}

void TestTextStatisticsTracker::oneSignalPerChange()
{
    auto document = editorDocument(QStringLiteral("one two"));
    TextStatisticsTracker tracker(document.get());
    QSignalSpy spy(&tracker, &TextStatisticsTracker::countsChanged);
    QTextCursor cursor(document.get());

    cursor.insertText(QStringLiteral("zero "));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(DocumentStatistics::statusText(tracker.counts()),
        QStringLiteral("12 characters, 3 words, 1 paragraph"));

    cursor.beginEditBlock();
    cursor.insertText(QStringLiteral("a\n"));
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\nb"));
    cursor.endEditBlock();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(tracker.counts(), expectedCounts(*document));
}

// Without a layout QTextDocument reports no change ranges; once one is set, it reports the whole
// text as added.
void TestTextStatisticsTracker::documentWithoutLayout()
{
    QTextDocument document;
    TextStatisticsTracker tracker(&document);
    checkRandomEdits(document, tracker, 17, 300, 800);
    document.setDocumentLayout(new QPlainTextDocumentLayout(&document));
    QCOMPARE(tracker.counts(), expectedCounts(document));
    checkRandomEdits(document, tracker, 18, 300, 800);
}

SCRIVLET_TEST_MAIN(TestTextStatisticsTracker)
#include "tst_TextStatisticsTracker.moc"
