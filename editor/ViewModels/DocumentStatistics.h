#pragma once

#include <QString>
#include <QStringView>

// What the status bar reports about a text: user-perceived characters (extended grapheme
// clusters), words (maximal runs outside the whitespace-and-newline set) and paragraphs (maximal
// runs outside the newline set, so a line of spaces is a paragraph and blank lines are not).
// A text without a single word has no paragraphs either: a document of blank lines and spaces
// shows "0 paragraphs", while a line of spaces between two lines of text still counts.
namespace DocumentStatistics {

struct TextCounts
{
    qint64 characters = 0;
    qint64 words = 0;
    qint64 paragraphs = 0;

    friend bool operator==(const TextCounts &, const TextCounts &) = default;
};

// The additive form behind TextCounts, for one line or any other piece of a text. Sums and
// differences of pieces are meaningful, so a running total can be kept across edits; only the
// total is turned into TextCounts (see totalCounts).
struct LineCounts
{
    qint64 characters = 0;
    qint64 words = 0;
    // Maximal runs outside the newline set: a line holding U+2028 can have two.
    qint64 nonEmptyLines = 0;

    LineCounts &operator+=(const LineCounts &other);
    LineCounts &operator-=(const LineCounts &other);
    friend LineCounts operator+(LineCounts sum, const LineCounts &other) { return sum += other; }
    friend LineCounts operator-(LineCounts sum, const LineCounts &other) { return sum -= other; }
    friend bool operator==(const LineCounts &, const LineCounts &) = default;
};

// Code units whose grapheme cluster break property is Other, Control, CR or LF: between two of
// them there is always a cluster boundary, except inside CR LF, whatever comes before or after.
// Covers Latin up to the combining marks, Greek, Cyrillic, common punctuation and currency
// signs, kana and CJK ideographs; the tests check every unit against ICU's property data.
constexpr bool isIsolatedGraphemeUnit(char16_t c) noexcept
{
    if (c < 0x0300)
        return true;
    if (c < 0x0370)
        return false;
    if (c < 0x0530)
        return c < 0x0483 || c > 0x0489;
    if (c < 0x2010)
        return false;
    if (c < 0x2028)
        return true;
    if (c < 0x20A0)
        return false;
    if (c <= 0x20C0)
        return true;
    if (c < 0x3041)
        return false;
    if (c < 0x3100)
        return c <= 0x3096 || c >= 0x30A0;
    return c >= 0x3400 && c <= 0x9FFF;
}

// Whether a line is followed by the single LF that separates it from the next one.
enum class LineTerminator {
    None,
    LineFeed,
};

// One pass over the text. ASCII, Latin and a few other scripts whose code units never join
// their neighbours are counted inline; only the stretches around other code units go to ICU.
TextCounts countText(QStringView text);

// For a text whose lines are separated by single LFs, countText() equals totalCounts() of the
// sum of countLine() over its lines, with LineFeed for every line but the last. Nothing spans a
// join: an LF always ends a word, a paragraph and a character, except that a line ending in CR
// forms one character with the LF after it. So a caller can keep one LineCounts per line (a
// QTextBlock, with U+2029 standing for LF) and recount only the lines an edit touched.
LineCounts countLine(QStringView line, LineTerminator terminator);
TextCounts totalCounts(const LineCounts &sumOfLines);

// "N characters, W words, P paragraphs", with "word" and "paragraph" for exactly one; the
// first word stays plural.
QString statusText(const TextCounts &counts);

// The path, or "Not saved" for a document without a file.
QString filePathText(const QString &pathOrEmpty);

} // namespace DocumentStatistics
