#include "DocumentStatistics.h"
#include "TestEnvironment.h"
#include "UnicodeSets.h"

#include <QApplication>
#include <QRandomGenerator>

#include <unicode/ubrk.h>
#include <unicode/uchar.h>

using DocumentStatistics::LineCounts;
using DocumentStatistics::LineTerminator;
using DocumentStatistics::TextCounts;

Q_DECLARE_METATYPE(TextCounts)

namespace DocumentStatistics {

char *toString(const TextCounts &counts)
{
    return QTest::toString(statusText(counts));
}

} // namespace DocumentStatistics

namespace {

// Straight from the definition, with nothing shared with the code under test but the sets:
// trim, split at every single separator, count the non-empty pieces.
qint64 referenceRunCount(const QString &text, bool (*isSeparator)(char32_t))
{
    const QList<uint> codePoints = text.toUcs4();
    qsizetype begin = 0;
    qsizetype end = codePoints.size();
    while (begin < end && isSeparator(codePoints[begin]))
        ++begin;
    while (end > begin && isSeparator(codePoints[end - 1]))
        --end;
    qint64 pieces = 0;
    qsizetype pieceLength = 0;
    for (qsizetype i = begin; i <= end; ++i) {
        if (i == end || isSeparator(codePoints[i])) {
            pieces += pieceLength > 0;
            pieceLength = 0;
        } else {
            ++pieceLength;
        }
    }
    return pieces;
}

qint64 icuCharacterCount(const QString &text)
{
    UErrorCode status = U_ZERO_ERROR;
    UBreakIterator *iterator
        = ubrk_open(UBRK_CHARACTER, "", QStringView(text).utf16(), int32_t(text.size()), &status);
    qint64 count = 0;
    if (U_SUCCESS(status) && !text.isEmpty()) {
        ubrk_first(iterator);
        while (ubrk_next(iterator) != UBRK_DONE)
            ++count;
    }
    ubrk_close(iterator);
    return count;
}

TextCounts referenceCounts(const QString &text)
{
    const qint64 words
        = referenceRunCount(text, [](char32_t c) { return isWhitespaceOrNewline(c); });
    const qint64 lines = referenceRunCount(text, [](char32_t c) { return isNewline(c); });
    return {icuCharacterCount(text), words, words > 0 ? lines : 0};
}

// Code points chosen to meet every grapheme rule: controls, combining marks, Prepend, Hangul
// jamo, regional indicators, emoji modifiers and ZWJ sequences, lone surrogate halves.
constexpr char32_t mixedAlphabet[] = {u'a', u'Z', u'7', u'.', u' ', u'\t', u'\r', u'\n', 0x0B, 0x85,
    0xA0, 0xE9, 0xAD, 0xA9, 0x0301, 0x0308, 0x0483, 0x03A9, 0x0416, 0x0600, 0x0915, 0x093F, 0x1100,
    0x1161, 0x11A8, 0xAC00, 0x2014, 0x2028, 0x2029, 0x20AC, 0x200D, 0x200B, 0x3000, 0x3042, 0x3099,
    0x4E2D, 0xFE0F, 0x1F44D, 0x1F3FD, 0x1F468, 0x1F1E9, 0x1F1EA, 0x1D538, 0xD83D, 0xDC4D};
// Mostly below U+0300, so that long stretches take the eight-units-at-a-time path.
constexpr char32_t latinAlphabet[] = {u'a', u'b', u'c', u'd', u'e', u'f', u'.', u' ', u' ', u' ',
    u'\t', u'\r', u'\n', u'\n', 0x0B, 0x0C, 0x85, 0xA0, 0xE9, 0x01FF, 0x02FF, 0x0300, 0x1F44D};

template<std::size_t size>
QString randomText(QRandomGenerator &random, const char32_t (&alphabet)[size], int maximumLength)
{
    QString text;
    const int length = int(random.bounded(maximumLength));
    for (int i = 0; i < length; ++i) {
        const char32_t c = alphabet[random.bounded(int(size))];
        if (QChar::requiresSurrogates(c))
            text += QString::fromUcs4(&c, 1);
        else
            text += QChar(char16_t(c));
    }
    return text;
}

QString escaped(const QString &text)
{
    QString out;
    for (const QChar c : text)
        out += QStringLiteral("%1 ").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    return out;
}

} // namespace

class TestDocumentStatistics : public QObject
{
    Q_OBJECT

private slots:
    void countsText_data();
    void countsText();
    void formatsStatusText_data();
    void formatsStatusText();
    void formatsFilePath();
    void setsMatchUnicodeCategories();
    void isolatedUnitsNeverJoin();
    void matchesReferenceOnRandomText_data();
    void matchesReferenceOnRandomText();
    void linesSumToTheWholeText_data();
    void linesSumToTheWholeText();
    void countsLongLines_data();
    void countsLongLines();
};

void TestDocumentStatistics::countsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<TextCounts>("expected");

    QTest::addRow("empty") << QString() << TextCounts {0, 0, 0};
    QTest::addRow("only spaces and newlines")
        << QStringLiteral("  \n \n\n ") << TextCounts {7, 0, 0};
    QTest::addRow("only NBSP and U+2028")
        << QStringLiteral("\u00A0\u2028\u00A0") << TextCounts {3, 0, 0};
    QTest::addRow("lines of spaces around a word count")
        << QStringLiteral(" \na\n ") << TextCounts {5, 1, 3};
    QTest::addRow("one") << QStringLiteral("one") << TextCounts {3, 1, 1};
    QTest::addRow("two paragraphs after a blank line")
        << QStringLiteral("Hello world\n\nBye") << TextCounts {16, 3, 2};
    QTest::addRow("tab, NBSP and U+2028 separate words")
        << QStringLiteral("a\tb\u00A0c\u2028d") << TextCounts {7, 4, 2};
    QTest::addRow("zero-width space joins words")
        << QStringLiteral("a\u200Bb") << TextCounts {3, 1, 1};
    QTest::addRow("punctuation and digits are words")
        << QStringLiteral("3.14 a - b") << TextCounts {10, 4, 1};
    QTest::addRow("line of only spaces is a paragraph")
        << QStringLiteral("a\n   \nb") << TextCounts {7, 2, 3};
    QTest::addRow("CR LF is one character") << QStringLiteral("a\r\nb") << TextCounts {3, 2, 2};
    QTest::addRow("lone CR LF") << QStringLiteral("\r\n") << TextCounts {1, 0, 0};
    QTest::addRow("NEL, VT and FF are newlines")
        << QStringLiteral("a\u0085b\u000Bc\u000Cd") << TextCounts {7, 4, 4};
    QTest::addRow("e and combining acute") << QStringLiteral("e\u0301") << TextCounts {1, 1, 1};
    QTest::addRow("combining mark after CR LF")
        << QStringLiteral("\r\n\u0301") << TextCounts {2, 1, 1};
    QTest::addRow("leading combining mark") << QStringLiteral("\u0301a") << TextCounts {2, 1, 1};
    QTest::addRow("emoji with skin tone")
        << QStringLiteral("\U0001F44D\U0001F3FD") << TextCounts {1, 1, 1};
    QTest::addRow("two flags") << QStringLiteral("\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7")
                               << TextCounts {2, 1, 1};
    QTest::addRow("ZWJ family") << QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467")
                                << TextCounts {1, 1, 1};
    QTest::addRow("Hangul jamo") << QStringLiteral("\u1100\u1161\u11A8") << TextCounts {1, 1, 1};
    QTest::addRow("Prepend joins the next letter")
        << QStringLiteral("\u0600a b") << TextCounts {3, 2, 1};
    QTest::addRow("lone high surrogate") << QStringLiteral("\xD800") << TextCounts {1, 1, 1};
    QTest::addRow("lone low surrogate inside")
        << QStringLiteral("a\xDC00 b") << TextCounts {4, 2, 1};
}

void TestDocumentStatistics::countsText()
{
    QFETCH(QString, text);
    QFETCH(TextCounts, expected);
    QCOMPARE(DocumentStatistics::countText(text), expected);
}

void TestDocumentStatistics::formatsStatusText_data()
{
    QTest::addColumn<TextCounts>("counts");
    QTest::addColumn<QString>("expected");

    QTest::addRow("nothing") << TextCounts {}
                             << QStringLiteral("0 characters, 0 words, 0 paragraphs");
    QTest::addRow("one of each") << TextCounts {1, 1, 1}
                                 << QStringLiteral("1 characters, 1 word, 1 paragraph");
    QTest::addRow("'one'") << DocumentStatistics::countText(u"one")
                           << QStringLiteral("3 characters, 1 word, 1 paragraph");
    QTest::addRow("two words, one paragraph")
        << TextCounts {9, 2, 1} << QStringLiteral("9 characters, 2 words, 1 paragraph");
    QTest::addRow("no digit grouping") << TextCounts {12345678, 1234567,
        12345} << QStringLiteral("12345678 characters, 1234567 words, 12345 paragraphs");
}

void TestDocumentStatistics::formatsStatusText()
{
    QFETCH(TextCounts, counts);
    QFETCH(QString, expected);
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German));
    QCOMPARE(DocumentStatistics::statusText(counts), expected);
    QLocale::setDefault(previous);
}

void TestDocumentStatistics::formatsFilePath()
{
    QCOMPARE(DocumentStatistics::filePathText(QString()), QStringLiteral("Not saved"));
    const QString path = QStringLiteral("/home/user/My Notes/r\u00E9sum\u00E9 %20.txt");
    QCOMPARE(DocumentStatistics::filePathText(path), path);
}

void TestDocumentStatistics::setsMatchUnicodeCategories()
{
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        const int8_t category = u_charType(UChar32(c));
        const bool separator = category == U_SPACE_SEPARATOR || category == U_LINE_SEPARATOR
            || category == U_PARAGRAPH_SEPARATOR;
        const bool expected = separator || (c >= 0x09 && c <= 0x0D) || c == 0x85;
        if (isWhitespaceOrNewline(c) != expected)
            QFAIL(qPrintable(QStringLiteral("U+%1").arg(quint32(c), 4, 16, QLatin1Char('0'))));
        if (isNewline(c) && !isWhitespaceOrNewline(c))
            QFAIL("every newline is whitespace");
    }
}

// The fast path relies on these units never taking part in a multi-unit cluster.
void TestDocumentStatistics::isolatedUnitsNeverJoin()
{
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        if (!DocumentStatistics::isIsolatedGraphemeUnit(char16_t(c)))
            continue;
        const int property = u_getIntPropertyValue(UChar32(c), UCHAR_GRAPHEME_CLUSTER_BREAK);
        const bool standsAlone = property == U_GCB_OTHER || property == U_GCB_CONTROL
            || property == U_GCB_CR || property == U_GCB_LF;
        if (!standsAlone || QChar::isSurrogate(c))
            QFAIL(qPrintable(QStringLiteral("U+%1").arg(quint32(c), 4, 16, QLatin1Char('0'))));
    }
}

void TestDocumentStatistics::matchesReferenceOnRandomText_data()
{
    QTest::addColumn<QString>("text");
    QRandomGenerator random(20240607);
    for (int row = 0; row < 3000; ++row)
        QTest::addRow("mixed text %d", row) << randomText(random, mixedAlphabet, 48);
    for (int row = 0; row < 1000; ++row)
        QTest::addRow("Latin text %d", row) << randomText(random, latinAlphabet, 200);
}

void TestDocumentStatistics::matchesReferenceOnRandomText()
{
    QFETCH(QString, text);
    QVERIFY2(
        DocumentStatistics::countText(text) == referenceCounts(text), qPrintable(escaped(text)));
}

void TestDocumentStatistics::linesSumToTheWholeText_data()
{
    matchesReferenceOnRandomText_data();
}

void TestDocumentStatistics::linesSumToTheWholeText()
{
    QFETCH(QString, text);
    const QStringList lines = text.split(QLatin1Char('\n'));
    const auto terminatorOf = [&lines](qsizetype line) {
        return line + 1 < lines.size() ? LineTerminator::LineFeed : LineTerminator::None;
    };
    LineCounts sum;
    for (qsizetype i = 0; i < lines.size(); ++i)
        sum += DocumentStatistics::countLine(lines[i], terminatorOf(i));
    QVERIFY2(DocumentStatistics::totalCounts(sum) == DocumentStatistics::countText(text),
        qPrintable(escaped(text)));

    // Replacing one line, as an edit does, keeps the running total exact.
    const QString edited = lines.first() + QStringLiteral(" x\u00A0\u0301");
    sum = sum - DocumentStatistics::countLine(lines.first(), terminatorOf(0))
        + DocumentStatistics::countLine(edited, terminatorOf(0));
    text.replace(0, lines.first().size(), edited);
    QVERIFY2(DocumentStatistics::totalCounts(sum) == DocumentStatistics::countText(text),
        qPrintable(escaped(text)));
}

void TestDocumentStatistics::countsLongLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<TextCounts>("expected");
    constexpr qsizetype tenMegabytes = 10 * 1000 * 1000;

    QTest::addRow("10 MB of ASCII words") << QStringLiteral("word ").repeated(tenMegabytes / 5)
                                          << TextCounts {tenMegabytes, tenMegabytes / 5, 1};
    QTest::addRow("10 MB of accented letters, all through ICU")
        << QStringLiteral("e\u0301").repeated(tenMegabytes / 2)
        << TextCounts {tenMegabytes / 2, 1, 1};
    QTest::addRow("10 MB of flags")
        << QStringLiteral("\U0001F1E9\U0001F1EA").repeated(tenMegabytes / 4)
        << TextCounts {tenMegabytes / 4, 1, 1};
}

void TestDocumentStatistics::countsLongLines()
{
    QFETCH(QString, text);
    QFETCH(TextCounts, expected);
    QCOMPARE(DocumentStatistics::countText(text), expected);
}

SCRIVLET_TEST_MAIN(TestDocumentStatistics)
#include "tst_DocumentStatistics.moc"
