#include "DocumentStatistics.h"

#include "UnicodeSets.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <memory>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <unicode/ubrk.h>

namespace DocumentStatistics {

namespace {

constexpr char16_t carriageReturn = 0x000D;
constexpr char16_t lineFeed = 0x000A;

enum : quint8 {
    WhitespaceBit = 1,
    NewlineBit = 2,
};

constexpr quint8 classOfUnit(char16_t c)
{
    return (isWhitespaceOrNewline(c) ? WhitespaceBit : 0) | (isNewline(c) ? NewlineBit : 0);
}

constexpr std::array<quint8, 256> latin1Classes = [] {
    std::array<quint8, 256> classes {};
    for (char16_t c = 0; c < 256; ++c)
        classes[c] = classOfUnit(c);
    return classes;
}();

struct BreakIteratorCloser
{
    void operator()(UBreakIterator *iterator) const { ubrk_close(iterator); }
};

// Opening a break iterator loads rules, far too slow to do per line; one per thread is reused.
UBreakIterator *characterBreakIterator()
{
    thread_local const std::unique_ptr<UBreakIterator, BreakIteratorCloser> iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator *opened = ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status);
        if (U_FAILURE(status)) {
            ubrk_close(opened);
            opened = nullptr;
        }
        return std::unique_ptr<UBreakIterator, BreakIteratorCloser>(opened);
    }();
    return iterator.get();
}

// Without ICU data every code point counts as a character of its own.
qint64 countCodePoints(const char16_t *units, qsizetype length)
{
    qint64 count = length;
    for (qsizetype i = 1; i < length; ++i) {
        if (QChar::isLowSurrogate(units[i]) && QChar::isHighSurrogate(units[i - 1]))
            --count;
    }
    return count;
}

// ICU takes 32-bit lengths; a stretch beyond that is cut into pieces, which can at worst split one
// cluster per two billion code units.
qint64 countClustersWithIcu(const char16_t *units, qsizetype length)
{
    UBreakIterator *iterator = characterBreakIterator();
    if (!iterator)
        return countCodePoints(units, length);
    constexpr qsizetype pieceLimit = std::numeric_limits<int32_t>::max();
    qint64 count = 0;
    for (qsizetype start = 0; start < length; start += pieceLimit) {
        UErrorCode status = U_ZERO_ERROR;
        const qsizetype pieceLength = std::min(length - start, pieceLimit);
        ubrk_setText(iterator, units + start, int32_t(pieceLength), &status);
        if (U_FAILURE(status))
            return count + countCodePoints(units + start, length - start);
        ubrk_first(iterator);
        while (ubrk_next(iterator) != UBRK_DONE)
            ++count;
    }
    return count;
}

// What an isolated run carries from one unit to the next: a run of words or lines starts where
// a unit of the set is followed by one outside it.
struct RunState
{
    char16_t previous = 0;
    unsigned previousClasses = WhitespaceBit | NewlineBit;
    qint64 crLfPairs = 0;
    qint64 wordStarts = 0;
    qint64 lineStarts = 0;

    void add(char16_t c, unsigned classes)
    {
        const unsigned starts = previousClasses & ~classes;
        wordStarts += starts & WhitespaceBit;
        lineStarts += (starts & NewlineBit) >> 1;
        crLfPairs += (previous == carriageReturn) & (c == lineFeed);
        previousClasses = classes;
        previous = c;
    }
};

#ifdef __SSE2__
constexpr std::array<quint8, 256> bitCounts = [] {
    std::array<quint8, 256> counts {};
    for (unsigned byte = 0; byte < 256; ++byte)
        counts[byte] = quint8(std::popcount(byte));
    return counts;
}();

// Eight units at once when all are below U+0300; otherwise false, with nothing counted. One bit
// per unit, lowest bit first, for each property; each bit is compared with the one before it.
bool addLatinBlock(RunState &state, const char16_t *units)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(units));
    const auto atMost = [](__m128i x, short limit) {
        return _mm_cmpeq_epi16(_mm_subs_epu16(x, _mm_set1_epi16(limit)), _mm_setzero_si128());
    };
    const auto equal = [&v](short value) {
        return _mm_cmpeq_epi16(v, _mm_set1_epi16(value));
    };
    const auto bits = [](__m128i mask) {
        return unsigned(_mm_movemask_epi8(_mm_packs_epi16(mask, mask)) & 0xFF);
    };
    if (_mm_movemask_epi8(atMost(v, 0x02FF)) != 0xFFFF)
        return false;
    const unsigned newline
        = bits(_mm_or_si128(atMost(_mm_sub_epi16(v, _mm_set1_epi16(0x0A)), 3), equal(0x85)));
    const unsigned whitespace
        = newline | bits(_mm_or_si128(_mm_or_si128(equal(0x20), equal(0xA0)), equal(0x09)));
    const unsigned lineFeeds = bits(equal(0x0A));
    const unsigned carriageReturns = (bits(equal(0x0D)) << 1) | (state.previous == carriageReturn);
    const unsigned afterWhitespace = (whitespace << 1) | (state.previousClasses & WhitespaceBit);
    const unsigned afterNewline = (newline << 1) | ((state.previousClasses & NewlineBit) >> 1);
    state.wordStarts += bitCounts[afterWhitespace & ~whitespace & 0xFF];
    state.lineStarts += bitCounts[afterNewline & ~newline & 0xFF];
    state.crLfPairs += bitCounts[carriageReturns & lineFeeds];
    state.previous = units[7];
    state.previousClasses = ((whitespace >> 7) & 1) | (((newline >> 7) & 1) << 1);
    return true;
}
#endif

class Counter
{
public:
    explicit Counter(QStringView text)
        : m_units(text.utf16())
        , m_length(text.size())
    { }

    LineCounts run();

private:
    qsizetype countIsolatedRun(qsizetype position);
    qsizetype addIsolatedUnits(RunState &state, qsizetype position, qsizetype stop) const;
    qsizetype countJoiningRun(qsizetype position);
    qsizetype clusterStartBefore(qsizetype position) const;

    void addToWordsAndLines(char16_t c)
    {
        const quint8 classes = c < 0x0100 ? latin1Classes[c] : classOfUnit(c);
        const unsigned starts = m_previousClasses & ~classes;
        m_counts.words += starts & WhitespaceBit;
        m_counts.nonEmptyLines += (starts & NewlineBit) >> 1;
        m_previousClasses = classes;
    }

    const char16_t *m_units;
    qsizetype m_length;
    LineCounts m_counts;
    // Whether the unit before the current one was in the whitespace-and-newline set, and in the
    // newline set: a run of words or lines starts where such a unit is followed by one that is not.
    quint8 m_previousClasses = WhitespaceBit | NewlineBit;
};

LineCounts Counter::run()
{
    qsizetype position = 0;
    while (position < m_length) {
        position = countIsolatedRun(position);
        if (position < m_length)
            position = countJoiningRun(position);
    }
    return m_counts;
}

qsizetype Counter::addIsolatedUnits(RunState &state, qsizetype position, qsizetype stop) const
{
    for (; position < stop; ++position) {
        const char16_t c = m_units[position];
        if (c >= 0x0300 && !isIsolatedGraphemeUnit(c))
            break;
        state.add(c, c < 0x0100 ? latin1Classes[c] : classOfUnit(c));
    }
    return position;
}

// The hot loop: each unit is a character of its own unless it is the LF of a CR LF. Text below
// U+0300 goes eight units at a time where SSE2 exists, anything else one unit at a time.
qsizetype Counter::countIsolatedRun(qsizetype position)
{
    const qsizetype start = position;
    RunState state {position > 0 ? m_units[position - 1] : char16_t(0), m_previousClasses};
    while (position < m_length) {
#ifdef __SSE2__
        while (m_length - position >= 8 && addLatinBlock(state, m_units + position))
            position += 8;
#endif
        const qsizetype stop = std::min(m_length, position + 8);
        position = addIsolatedUnits(state, position, stop);
        if (position < stop)
            break;
    }
    m_counts.characters += position - start - state.crLfPairs;
    m_counts.words += state.wordStarts;
    m_counts.nonEmptyLines += state.lineStarts;
    m_previousClasses = quint8(state.previousClasses);
    return position;
}

// Where the character ending just before `position` begins, when that position ends an
// isolated run: a boundary that no earlier text can move, so ICU can start there.
qsizetype Counter::clusterStartBefore(qsizetype position) const
{
    if (position >= 2 && m_units[position - 1] == lineFeed
        && m_units[position - 2] == carriageReturn)
        return position - 2;
    return position - 1;
}

// Called on a unit that may join its neighbours. The character counted last may grow into it,
// so ICU recounts from that character's start up to the next boundary that is certain.
qsizetype Counter::countJoiningRun(qsizetype position)
{
    qsizetype start = 0;
    if (position > 0) {
        start = clusterStartBefore(position);
        --m_counts.characters;
    }
    addToWordsAndLines(m_units[position]);
    for (++position; position < m_length; ++position) {
        const char16_t before = m_units[position - 1];
        const char16_t c = m_units[position];
        if (isIsolatedGraphemeUnit(before) && isIsolatedGraphemeUnit(c)
            && (before != carriageReturn || c != lineFeed))
            break;
        addToWordsAndLines(c);
    }
    m_counts.characters += countClustersWithIcu(m_units + start, position - start);
    return position;
}

} // namespace

LineCounts &LineCounts::operator+=(const LineCounts &other)
{
    characters += other.characters;
    words += other.words;
    nonEmptyLines += other.nonEmptyLines;
    return *this;
}

LineCounts &LineCounts::operator-=(const LineCounts &other)
{
    characters -= other.characters;
    words -= other.words;
    nonEmptyLines -= other.nonEmptyLines;
    return *this;
}

TextCounts countText(QStringView text)
{
    return totalCounts(Counter(text).run());
}

LineCounts countLine(QStringView line, LineTerminator terminator)
{
    LineCounts counts = Counter(line).run();
    if (terminator == LineTerminator::LineFeed && !line.endsWith(QChar(carriageReturn)))
        ++counts.characters;
    return counts;
}

TextCounts totalCounts(const LineCounts &sumOfLines)
{
    return {sumOfLines.characters, sumOfLines.words,
        sumOfLines.words > 0 ? sumOfLines.nonEmptyLines : 0};
}

QString statusText(const TextCounts &counts)
{
    const QString words = counts.words == 1 ? QStringLiteral("word") : QStringLiteral("words");
    const QString paragraphs
        = counts.paragraphs == 1 ? QStringLiteral("paragraph") : QStringLiteral("paragraphs");
    return QString::number(counts.characters) + QStringLiteral(" characters, ")
        + QString::number(counts.words) + QLatin1Char(' ') + words + QStringLiteral(", ")
        + QString::number(counts.paragraphs) + QLatin1Char(' ') + paragraphs;
}

QString filePathText(const QString &pathOrEmpty)
{
    if (pathOrEmpty.isEmpty())
        return QCoreApplication::translate("StatusBarView", "Not saved");
    return pathOrEmpty;
}

} // namespace DocumentStatistics
