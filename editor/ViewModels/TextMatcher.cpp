#include "TextMatcher.h"

#include "TextAccess.h"

#include <algorithm>
#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

using CanonicalFolding::FoldedText;
using CanonicalFolding::Folding;

namespace {

// Units of original text folded per round; large enough to amortise the lookahead that every
// round folds twice, small enough to stay in cache.
constexpr qsizetype chunkUnits = 1 << 15;
// With an ASCII key, a stretch the ASCII search can take is taken by it when at least this long;
// otherwise this many units past its end are folded before it is tried again.
constexpr qsizetype minimumPlainStretch = 64;
constexpr qsizetype foldedStretchUnits = 256;

bool isTrailFollowingLead(QStringView text, qsizetype i)
{
    return i > 0 && i < text.size() && text[i].isLowSurrogate() && text[i - 1].isHighSurrogate();
}

// Whether position `i` of `window` (which has at least one unit before and after `i` where the
// text has them) starts a segment no matter what comes before it.
bool isStarterPosition(QStringView window, qsizetype i)
{
    if (i >= window.size())
        return true;
    if (isTrailFollowingLead(window, i))
        return false;
    char32_t codePoint = window[i].unicode();
    if (window[i].isHighSurrogate() && i + 1 < window.size() && window[i + 1].isLowSurrogate())
        codePoint = QChar::surrogateToUcs4(window[i], window[i + 1]);
    return CanonicalFolding::isStarter(codePoint);
}

// The first position at or after `position` that starts a segment whatever precedes it.
qsizetype nextStarter(const TextAccess &text, qsizetype position)
{
    const qsizetype length = text.length();
    for (qsizetype span = 64; position < length; span *= 2) {
        const qsizetype windowStart = std::max<qsizetype>(0, position - 1);
        const QString window = text.read(windowStart, position - windowStart + span + 1);
        const qsizetype limit = std::min(position + span, length);
        for (; position < limit; ++position) {
            if (isStarterPosition(window, position - windowStart))
                return position;
        }
    }
    return length;
}

// The last position at or before `position` that starts a segment whatever precedes it.
qsizetype previousStarter(const TextAccess &text, qsizetype position)
{
    for (qsizetype span = 64;; span *= 2) {
        const qsizetype windowStart = std::max<qsizetype>(0, position - span);
        const QString window = text.read(windowStart, position - windowStart + 2);
        for (qsizetype i = position; i > windowStart; --i) {
            if (isStarterPosition(window, i - windowStart))
                return i;
        }
        if (windowStart == 0)
            return 0;
        position = windowStart;
    }
}

// What a unit is to the search of an ASCII key, found out the first time the search meets it.
enum UnitRole : std::uint8_t {
    NotSortedYet = 0,
    Plain, // a unit beyond ASCII that no match of the key can contain
    NeedsFolding,
};

char16_t lowerAscii(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? char16_t(unit + 32) : unit;
}

#ifdef __SSE2__
// A-Z to a-z in eight ASCII units.
__m128i lowerAscii(__m128i units)
{
    const __m128i fromA = _mm_sub_epi16(units, _mm_set1_epi16(short('A')));
    const __m128i upper = _mm_and_si128(
        _mm_cmpgt_epi16(fromA, _mm_set1_epi16(-1)), _mm_cmplt_epi16(fromA, _mm_set1_epi16(26)));
    return _mm_add_epi16(units, _mm_and_si128(upper, _mm_set1_epi16(32)));
}
#endif

} // namespace

TextMatcher::TextMatcher(const QString &searchText, Qt::CaseSensitivity caseSensitivity)
    : m_searchText(searchText)
    , m_caseSensitivity(caseSensitivity)
    , m_folding(
          caseSensitivity == Qt::CaseSensitive ? Folding::CaseSensitive : Folding::CaseInsensitive)
    , m_key(CanonicalFolding::fold(searchText, m_folding))
{
    // Horspool shifts, indexed by the low byte of a unit: units that share a low byte share the
    // smallest shift, which keeps every shift safe.
    m_asciiKey = !m_key.empty()
        && std::all_of(m_key.cbegin(), m_key.cend(), [](char16_t unit) { return unit < 0x80; });
    const std::size_t length = m_key.size();
    m_shift.fill(std::uint16_t(std::min<std::size_t>(length, 0xFFFF)));
    for (std::size_t i = 0; i + 1 < length; ++i) {
        const std::size_t shift = length - 1 - i;
        auto &slot = m_shift[m_key[i] & 0xFF];
        slot = std::uint16_t(std::min<std::size_t>(slot, shift));
    }
    if (m_asciiKey)
        m_unitRoles.reset(new std::atomic<std::uint8_t>[0x10000]());
}

// A unit is plain when the ASCII search may compare it as it stands: ASCII, or a unit that starts
// a segment and that no match of this key can contain, since its folded form holds more than
// ASCII or is not in the key (U+00DF folds to "ss", U+212A to "k"). Whether the segment is the
// unit alone depends on the unit after it, which ends the stretch when it is not plain.
bool TextMatcher::isPlain(char16_t unit) const
{
    if (unit < 0x80)
        return true;
    std::atomic<std::uint8_t> &known = m_unitRoles[unit];
    std::uint8_t role = known.load(std::memory_order_relaxed);
    if (role == NotSortedYet) {
        role = NeedsFolding;
        if (!QChar::isSurrogate(unit) && CanonicalFolding::isStarter(unit)) {
            const std::u16string folded = CanonicalFolding::fold(QStringView(&unit, 1), m_folding);
            const bool beyondAscii
                = std::any_of(folded.cbegin(), folded.cend(), [](char16_t u) { return u >= 0x80; });
            if (!folded.empty() && (beyondAscii || m_key.find(folded) == std::u16string::npos))
                role = Plain;
        }
        // Two searches of one text may sort the same unit at once; they find the same role.
        known.store(role, std::memory_order_relaxed);
    }
    return role == Plain;
}

qsizetype TextMatcher::plainStretchEnd(const char16_t *text, qsizetype from, qsizetype to) const
{
    qsizetype i = from;
    for (;;) {
#ifdef __SSE2__
        const __m128i beyondAscii = _mm_set1_epi16(short(0xFF80));
        for (; i + 8 <= to; i += 8) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
            const uint ascii = uint(_mm_movemask_epi8(
                _mm_cmpeq_epi16(_mm_and_si128(units, beyondAscii), _mm_setzero_si128())));
            if (ascii != 0xFFFF) {
                i += std::countr_one(ascii) / 2;
                break;
            }
        }
#endif
        while (i < to && text[i] < 0x80)
            ++i;
        if (i >= to)
            return to;
        if (!isPlain(text[i]))
            return i;
        ++i;
    }
}

std::size_t TextMatcher::findKey(const std::u16string &units, std::size_t from) const
{
    const std::size_t length = m_key.size();
    const std::size_t size = units.size();
    if (length == 0 || size < length)
        return std::u16string::npos;
    const char16_t *text = units.data();
    const char16_t *key = m_key.data();
    const std::size_t lastStart = size - length;
    std::size_t i = from;
#ifdef __SSE2__
    // Eight candidate positions at a time: those whose first and last unit both match.
    const __m128i firstUnit = _mm_set1_epi16(short(key[0]));
    const __m128i lastUnit = _mm_set1_epi16(short(key[length - 1]));
    for (; i + 8 <= lastStart + 1; i += 8) {
        const __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
        const __m128i tails
            = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i + length - 1));
        unsigned mask = unsigned(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi16(heads, firstUnit), _mm_cmpeq_epi16(tails, lastUnit))));
        while (mask) {
            const int bit = std::countr_zero(mask);
            const std::size_t candidate = i + std::size_t(bit / 2);
            if (length <= 2
                || std::memcmp(text + candidate + 1, key + 1, (length - 2) * sizeof(char16_t)) == 0)
                return candidate;
            mask &= ~(3u << bit);
        }
    }
#endif
    const char16_t lastKeyUnit = key[length - 1];
    while (i <= lastStart) {
        const char16_t unit = text[i + length - 1];
        if (unit == lastKeyUnit && std::memcmp(text + i, key, (length - 1) * sizeof(char16_t)) == 0)
            return i;
        i += m_shift[unit & 0xFF];
    }
    return std::u16string::npos;
}

qsizetype TextMatcher::findMatches(
    QStringView text, qsizetype from, qsizetype startLimit, qsizetype offset, MatchList &out) const
{
    const qsizetype length = text.size();
    const qsizetype keyLength = qsizetype(m_key.size());
    startLimit = std::min(startLimit, length);
    FoldedText folded;
    qsizetype position = from;
    const auto *units = reinterpret_cast<const char16_t *>(text.utf16());
    while (position < startLimit) {
        const qsizetype stop = std::min(startLimit, position + chunkUnits);
        qsizetype foldStop = stop;
        if (m_asciiKey) {
            // The ASCII search decides a match from the key's units and the one after them.
            const qsizetype readEnd = std::min(length, stop + keyLength + 1);
            const qsizetype plainEnd = plainStretchEnd(units, position, readEnd);
            if (plainEnd == readEnd) {
                position = findAsciiMatches(text, position, stop, offset, out);
                continue;
            }
            const qsizetype plainStop = plainEnd - keyLength - 1;
            if (plainStop - position >= minimumPlainStretch) {
                position = findAsciiMatches(text, position, plainStop, offset, out);
                continue;
            }
            // Fold only a little past what the ASCII search cannot take, then try it again.
            foldStop = std::min(stop, plainEnd + foldedStretchUnits);
        }
        folded.clear();
        const qsizetype chunkEnd
            = CanonicalFolding::foldSegments(text, position, foldStop, m_folding, folded);
        const std::size_t startsBefore = folded.units.size();
        CanonicalFolding::foldSegments(text, chunkEnd, chunkEnd + lookahead(), m_folding, folded);

        qsizetype next = chunkEnd;
        std::size_t startHint = 0;
        std::size_t endHint = 0;
        for (std::size_t candidate = findKey(folded.units, 0);
             candidate != std::u16string::npos && candidate < startsBefore;) {
            const qsizetype start = folded.originOfSegmentStart(qsizetype(candidate), startHint);
            const qsizetype end = start < 0
                ? -1
                : folded.originOfSegmentStart(qsizetype(candidate) + keyLength, endHint);
            if (end < 0) {
                candidate = findKey(folded.units, candidate + 1);
                continue;
            }
            out.append({offset + start, end - start});
            next = std::max(next, end);
            candidate = findKey(folded.units, candidate + std::size_t(keyLength));
        }
        position = next;
    }
    return position;
}

qsizetype TextMatcher::findAsciiCandidate(const char16_t *text, qsizetype from, qsizetype end) const
{
    const bool fold = m_caseSensitivity == Qt::CaseInsensitive;
    const qsizetype keyLength = qsizetype(m_key.size());
    const char16_t first = m_key.front();
    const char16_t last = m_key.back();
    qsizetype i = from;
#ifdef __SSE2__
    const __m128i firstUnits = _mm_set1_epi16(short(first));
    const __m128i lastUnits = _mm_set1_epi16(short(last));
    for (; i + 8 <= end; i += 8) {
        __m128i heads = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i));
        __m128i tails
            = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + i + keyLength - 1));
        if (fold) {
            heads = lowerAscii(heads);
            tails = lowerAscii(tails);
        }
        const uint mask = uint(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi16(heads, firstUnits), _mm_cmpeq_epi16(tails, lastUnits))));
        if (mask)
            return i + std::countr_zero(mask) / 2;
    }
#endif
    const auto folded = [fold](char16_t unit) {
        return fold ? lowerAscii(unit) : unit;
    };
    for (; i < end; ++i) {
        if (folded(text[i]) == first && folded(text[i + keyLength - 1]) == last)
            return i;
    }
    return end;
}

qsizetype TextMatcher::findAsciiMatches(
    QStringView text, qsizetype from, qsizetype startLimit, qsizetype offset, MatchList &out) const
{
    const auto *units = reinterpret_cast<const char16_t *>(text.utf16());
    const bool fold = m_caseSensitivity == Qt::CaseInsensitive;
    const qsizetype keyLength = qsizetype(m_key.size());
    const qsizetype lastStart = std::min(startLimit, text.size() - keyLength + 1);
    qsizetype next = startLimit;
    for (qsizetype i = findAsciiCandidate(units, from, lastStart); i < lastStart;) {
        qsizetype matched = 1;
        while (matched < keyLength
            && (fold ? lowerAscii(units[i + matched]) : units[i + matched]) == m_key[matched])
            ++matched;
        if (matched < keyLength) {
            i = findAsciiCandidate(units, i + 1, lastStart);
            continue;
        }
        out.append({offset + i, keyLength});
        next = std::max(next, i + keyLength);
        i = findAsciiCandidate(units, i + keyLength, lastStart);
    }
    return next;
}

MatchList TextMatcher::findAll(QStringView text) const
{
    MatchList matches;
    if (!isEmpty())
        findMatches(text, 0, text.size(), 0, matches);
    return matches;
}

TextMatcher::Step TextMatcher::findStep(
    const TextAccess &text, qsizetype from, qsizetype units, MatchList &out) const
{
    if (isEmpty())
        return {text.length(), from};
    // The last segment that starts in the step may reach past its end by a whole segment, and
    // what follows it still needs the lookahead: cutting the window shorter would invent a
    // segment boundary where the window ends.
    const qsizetype segmentUnits = 2 * CanonicalFolding::maximumSegmentCodePoints;
    const qsizetype readUnits = units + segmentUnits + lookahead();
    const QString window = text.read(from, readUnits);
    const qsizetype next = from + findMatches(window, 0, units, from, out);
    return {next, from + readUnits};
}

void TextMatcher::updateAfterEdit(LiveMatches &matches, const TextAccess &text, qsizetype position,
    qsizetype removed, qsizetype added) const
{
    if (isEmpty()) {
        matches = {};
        return;
    }
    const qsizetype length = text.length();
    const qsizetype delta = added - removed;

    // Restart far enough before the edit that no earlier decision could have read edited text,
    // on a position the full search also passes through in the same state.
    qsizetype restart = std::max<qsizetype>(0, position - lookahead());
    if (const auto around = matches.around(restart)) {
        restart = around->location;
    } else {
        restart = previousStarter(text, restart);
        if (const auto inside = matches.around(restart))
            restart = inside->location;
    }
    MatchList fresh;

    // Search forward until a position past the edit where both searches stand in the same
    // state: not inside a match, on a segment start that does not depend on the text before it.
    qsizetype scanFrom = restart;
    qsizetype resync = std::min(length, position + added + 1);
    for (;;) {
        while (resync < length) {
            const qsizetype starter = nextStarter(text, resync);
            if (starter != resync) {
                resync = starter;
                continue;
            }
            const auto old = matches.around(resync - delta);
            if (!old)
                break;
            resync = old->end() + delta;
        }
        if (scanFrom < resync) {
            const QString window = text.read(scanFrom, resync - scanFrom + lookahead());
            const qsizetype next
                = scanFrom + findMatches(window, 0, resync - scanFrom, scanFrom, fresh);
            if (next > resync) {
                scanFrom = resync = next;
                continue;
            }
        }
        break;
    }
    // The old matches from the restart up to the meeting point give way to the fresh ones; those
    // after it only move.
    const qsizetype replacedFrom = matches.firstStartingFrom(restart);
    const qsizetype keptFrom
        = resync < length ? matches.firstStartingFrom(resync - delta) : matches.size();
    matches.splice(replacedFrom, keptFrom, fresh, delta);
}
