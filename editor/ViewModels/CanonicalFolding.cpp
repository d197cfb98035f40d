#include "CanonicalFolding.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <memory>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace CanonicalFolding {
namespace {

const UNormalizer2 *nfd()
{
    static const UNormalizer2 *const instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        const UNormalizer2 *normalizer = unorm2_getNFDInstance(&status);
        if (U_FAILURE(status))
            qFatal("ICU has no NFD normalizer: %s", u_errorName(status));
        return normalizer;
    }();
    return instance;
}

bool isSurrogate(char16_t unit)
{
    return (unit & 0xF800) == 0xD800;
}

// Runs one ICU string transformation into `out`, growing the buffer when ICU asks for more.
template<typename Transform>
bool transformInto(const std::u16string &in, std::u16string &out, Transform transform)
{
    out.resize(std::max<std::size_t>(in.size() * 3 + 8, 16));
    UErrorCode status = U_ZERO_ERROR;
    int32_t length
        = transform(in.data(), int32_t(in.size()), out.data(), int32_t(out.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(std::size_t(length));
        status = U_ZERO_ERROR;
        length = transform(in.data(), int32_t(in.size()), out.data(), int32_t(out.size()), &status);
    }
    if (U_FAILURE(status))
        return false;
    out.resize(std::size_t(length));
    return true;
}

// The folded form of one segment given as UTF-16; a segment with an unpaired surrogate, which has
// no canonical form, stands for itself.
void foldSegment(std::u16string_view segment, Folding folding, std::u16string &out)
{
    for (std::size_t i = 0; i < segment.size(); ++i) {
        if (!isSurrogate(segment[i]))
            continue;
        if (U16_IS_LEAD(segment[i]) && i + 1 < segment.size() && U16_IS_TRAIL(segment[i + 1])) {
            ++i;
            continue;
        }
        out.append(segment);
        return;
    }
    thread_local std::u16string decomposed, folded, again;
    const std::u16string input(segment);
    const auto normalize = [](const char16_t *src, int32_t length, char16_t *dest, int32_t capacity,
                               UErrorCode *status) {
        return unorm2_normalize(nfd(), src, length, dest, capacity, status);
    };
    if (!transformInto(input, decomposed, normalize)) {
        out.append(segment);
        return;
    }
    if (folding == Folding::CaseSensitive) {
        out.append(decomposed);
        return;
    }
    const auto foldCase = [](const char16_t *src, int32_t length, char16_t *dest, int32_t capacity,
                              UErrorCode *status) {
        return u_strFoldCase(dest, capacity, src, length, U_FOLD_CASE_DEFAULT, status);
    };
    if (!transformInto(decomposed, folded, foldCase) || !transformInto(folded, again, normalize)) {
        out.append(decomposed);
        return;
    }
    out.append(again);
}

// Folded forms of every single BMP code unit, computed once: most segments are one unit long,
// and this keeps ICU out of the loop for them.
class SingleUnitTable
{
public:
    explicit SingleUnitTable(Folding folding)
    {
        std::u16string folded;
        for (char32_t unit = 0; unit < 0x10000; ++unit) {
            const char16_t single = char16_t(unit);
            if (isSurrogate(single)) {
                m_entries[unit] = single;
                continue;
            }
            folded.clear();
            foldSegment(std::u16string_view(&single, 1), folding, folded);
            if (folded.size() == 1) {
                m_entries[unit] = folded[0];
            } else {
                m_entries[unit] = expandedFlag | (std::uint32_t(m_pool.size()) << 4)
                    | std::uint32_t(folded.size());
                m_pool.append(folded);
            }
        }
    }

    // Appends the folded form of `unit`; returns whether it was exactly one unit.
    bool append(char16_t unit, std::u16string &out) const
    {
        const std::uint32_t entry = m_entries[unit];
        if (!(entry & expandedFlag)) {
            out.push_back(char16_t(entry));
            return true;
        }
        out.append(m_pool, (entry & ~expandedFlag) >> 4, entry & 0xF);
        return false;
    }

    char16_t simple(char16_t unit) const { return char16_t(m_entries[unit]); }
    bool isSimple(char16_t unit) const { return !(m_entries[unit] & expandedFlag); }

private:
    static constexpr std::uint32_t expandedFlag = 0x80000000u;
    std::array<std::uint32_t, 0x10000> m_entries {};
    std::u16string m_pool;
};

const SingleUnitTable &singleUnitTable(Folding folding)
{
    static const std::unique_ptr<SingleUnitTable> sensitive
        = std::make_unique<SingleUnitTable>(Folding::CaseSensitive);
    static const std::unique_ptr<SingleUnitTable> insensitive
        = std::make_unique<SingleUnitTable>(Folding::CaseInsensitive);
    return folding == Folding::CaseSensitive ? *sensitive : *insensitive;
}

// Which BMP code units are starters, computed once.
class StarterTable
{
public:
    StarterTable()
    {
        for (char32_t unit = 0; unit < 0x10000; ++unit) {
            const bool starter
                = isSurrogate(char16_t(unit)) || unorm2_hasBoundaryBefore(nfd(), UChar32(unit));
            if (starter)
                m_bits[unit >> 6] |= std::uint64_t(1) << (unit & 63);
        }
    }
    bool contains(char16_t unit) const { return (m_bits[unit >> 6] >> (unit & 63)) & 1; }

private:
    std::array<std::uint64_t, 0x10000 / 64> m_bits {};
};

const StarterTable &starterTable()
{
    static const StarterTable table;
    return table;
}

// The code point at `i` and its length in units; an unpaired surrogate is a code point of its own.
char32_t codePointAt(const char16_t *s, qsizetype n, qsizetype i, int &units)
{
    const char16_t unit = s[i];
    if (U16_IS_LEAD(unit) && i + 1 < n && U16_IS_TRAIL(s[i + 1])) {
        units = 2;
        return U16_GET_SUPPLEMENTARY(unit, s[i + 1]);
    }
    units = 1;
    return unit;
}

bool isStarterAt(const char16_t *s, qsizetype n, qsizetype i)
{
    if (!isSurrogate(s[i]))
        return starterTable().contains(s[i]);
    int units = 0;
    return isStarter(codePointAt(s, n, i, units));
}

// The end of the segment that starts at `i`.
qsizetype segmentEnd(const char16_t *s, qsizetype n, qsizetype i)
{
    int units = 0;
    codePointAt(s, n, i, units);
    qsizetype end = i + units;
    int codePoints = 1;
    while (end < n && codePoints < maximumSegmentCodePoints && !isStarterAt(s, n, end)) {
        codePointAt(s, n, end, units);
        end += units;
        ++codePoints;
    }
    return end;
}

void appendAnchor(FoldedText &out, qsizetype folded, qsizetype origin, qsizetype foldedLength,
    qsizetype originLength, bool oneToOne)
{
    if (oneToOne && !out.anchors.empty()) {
        Anchor &last = out.anchors.back();
        if (last.oneToOne && last.folded + last.foldedLength == folded
            && last.origin + last.originLength == origin) {
            last.foldedLength += foldedLength;
            last.originLength += originLength;
            return;
        }
    }
    out.anchors.push_back({folded, origin, foldedLength, originLength, oneToOne});
}

#ifdef __SSE2__
// Folds blocks of eight ASCII units that are each followed by ASCII: they are segments of their
// own, and case folding lowers A-Z and leaves every other ASCII unit alone.
qsizetype foldAsciiBlocks(
    const char16_t *s, qsizetype n, qsizetype i, qsizetype last, Folding folding, char16_t *&out)
{
    const __m128i nonAsciiBits = _mm_set1_epi16(short(0xFF80));
    const __m128i beforeA = _mm_set1_epi16('A' - 1);
    const __m128i afterZ = _mm_set1_epi16('Z' + 1);
    const __m128i caseBit = _mm_set1_epi16(0x20);
    while (i + 8 <= last && i + 8 < n && s[i + 8] < 0x80) {
        __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        // Unsigned test: a signed compare would take surrogates for ASCII.
        const __m128i high = _mm_and_si128(units, nonAsciiBits);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_setzero_si128())) != 0xFFFF)
            break;
        if (folding == Folding::CaseInsensitive) {
            const __m128i upper
                = _mm_and_si128(_mm_cmpgt_epi16(units, beforeA), _mm_cmplt_epi16(units, afterZ));
            units = _mm_add_epi16(units, _mm_and_si128(upper, caseBit));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), units);
        out += 8;
        i += 8;
    }
    return i;
}
#endif

// The end of the ASCII stretch that starts at `i`, looking no further than `limit`.
qsizetype asciiStretchEnd(const char16_t *s, qsizetype i, qsizetype limit)
{
    while (i < limit && s[i] < 0x80)
        ++i;
    return i;
}

// Folds a run of units that each form a segment of their own and fold to one unit; returns where
// the run ended. This is the loop that plain text spends its time in. The output grows by exactly
// what each ASCII stretch needs, so no buffer is cleared for nothing.
qsizetype foldSimpleRun(const char16_t *s, qsizetype n, qsizetype i, qsizetype stopAfter,
    Folding folding, const SingleUnitTable &table, const StarterTable &starters,
    std::u16string &out)
{
    const qsizetype last = std::min(n - 1, stopAfter);
    while (i < last) {
        // Units [i, stretchEnd - 1) are ASCII and followed by ASCII.
        const qsizetype stretchEnd = std::min(asciiStretchEnd(s, i, last + 1), last + 1);
        if (stretchEnd - 1 > i) {
            const qsizetype units = stretchEnd - 1 - i;
            const std::size_t base = out.size();
            out.resize(base + std::size_t(units));
            char16_t *o = out.data() + base;
#ifdef __SSE2__
            i = foldAsciiBlocks(s, n, i, stretchEnd - 1, folding, o);
#endif
            for (; i < stretchEnd - 1; ++i)
                *o++ = table.simple(s[i]);
            continue;
        }
        const char16_t unit = s[i];
        const char16_t next = s[i + 1];
        if (isSurrogate(unit) || isSurrogate(next) || !starters.contains(next)
            || !table.isSimple(unit))
            break;
        out.push_back(table.simple(unit));
        ++i;
    }
    return i;
}

} // namespace

bool isStarter(char32_t codePoint)
{
    if (codePoint < 0x10000)
        return starterTable().contains(char16_t(codePoint));
    return unorm2_hasBoundaryBefore(nfd(), UChar32(codePoint));
}

qsizetype segmentStartAtOrBefore(QStringView text, qsizetype position)
{
    const auto *s = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    position = std::clamp<qsizetype>(position, 0, n);
    while (position > 0 && position < n) {
        const bool splitsPair = U16_IS_TRAIL(s[position]) && U16_IS_LEAD(s[position - 1]);
        if (!splitsPair && isStarterAt(s, n, position))
            break;
        --position;
    }
    return position;
}

qsizetype foldSegments(
    QStringView text, qsizetype begin, qsizetype stopAfter, Folding folding, FoldedText &out)
{
    const auto *s = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype n = text.size();
    const SingleUnitTable &table = singleUnitTable(folding);
    const StarterTable &starters = starterTable();
    qsizetype i = begin;
    while (i < n && i < stopAfter) {
        const qsizetype runEnd
            = foldSimpleRun(s, n, i, stopAfter, folding, table, starters, out.units);
        if (runEnd > i) {
            appendAnchor(
                out, qsizetype(out.units.size()) - (runEnd - i), i, runEnd - i, runEnd - i, true);
            i = runEnd;
            continue;
        }
        const qsizetype end = segmentEnd(s, n, i);
        const qsizetype foldedStart = qsizetype(out.units.size());
        bool oneToOne = false;
        if (end == i + 1)
            oneToOne = table.append(s[i], out.units);
        else
            foldSegment(std::u16string_view(s + i, std::size_t(end - i)), folding, out.units);
        appendAnchor(
            out, foldedStart, i, qsizetype(out.units.size()) - foldedStart, end - i, oneToOne);
        i = end;
    }
    return i;
}

std::u16string fold(QStringView text, Folding folding)
{
    FoldedText folded;
    foldSegments(text, 0, text.size(), folding, folded);
    return std::move(folded.units);
}

qsizetype FoldedText::originOfSegmentStart(qsizetype foldedPosition, std::size_t &hint) const
{
    if (anchors.empty())
        return foldedPosition == 0 ? 0 : -1;
    if (hint >= anchors.size() || anchors[hint].folded > foldedPosition)
        hint = 0;
    while (hint + 1 < anchors.size() && anchors[hint + 1].folded <= foldedPosition)
        ++hint;
    const Anchor &anchor = anchors[hint];
    const qsizetype offset = foldedPosition - anchor.folded;
    if (offset >= anchor.foldedLength) // past the last anchor: the end of the folded text
        return offset == anchor.foldedLength ? anchor.origin + anchor.originLength : -1;
    if (anchor.oneToOne)
        return anchor.origin + offset;
    return offset == 0 ? anchor.origin : -1;
}

} // namespace CanonicalFolding
