#include "TextDocumentAccess.h"

#include "TextDocument.h"
#include "TextMatcher.h"

#include <algorithm>
#include <iterator>
#include <thread>

namespace {

// Units searched per step of a full search: a window of this size is copied out of the
// snapshot, large enough that the copy and the step's lookahead cost little.
constexpr qsizetype searchStepUnits = 1 << 20;
// A text this long is searched in two halves at once.
constexpr qsizetype parallelSearchUnits = 2 * searchStepUnits;
// Steps of the first half's search past the middle, looking for a match the second half found.
constexpr qsizetype meetingStepUnits = 4096;

// Appends the matches that start in [from, end), searched in steps from `from`, and gives where
// the search goes on.
qsizetype findInSteps(const TextMatcher &matcher, const TextAccess &text, qsizetype from,
    qsizetype end, MatchList &out)
{
    while (from < end)
        from = matcher.findStep(text, from, std::min(searchStepUnits, end - from), out).next;
    return from;
}

// Goes on with the first half's search from `from`, past the middle, until it finds a match the
// second half's search (`later`, started at the middle in no particular state) found as well.
// Both searches go on from the end of that match alike, so the rest of `later` is what the first
// would find. Without such a match, the first search reads to the end itself.
void joinAtCommonMatch(const TextMatcher &matcher, const TextAccess &text, qsizetype from,
    MatchList &matches, const MatchList &later)
{
    const qsizetype length = text.length();
    while (from < length) {
        const qsizetype known = matches.size();
        from
            = matcher.findStep(text, from, std::min(meetingStepUnits, length - from), matches).next;
        for (qsizetype i = known; i < matches.size(); ++i) {
            const auto same = std::lower_bound(later.cbegin(), later.cend(), matches[i].location,
                [](const MatchRange &match, qsizetype at) { return match.location < at; });
            if (same == later.cend() || *same != matches[i])
                continue;
            matches.resize(i + 1);
            std::copy(same + 1, later.cend(), std::back_inserter(matches));
            return;
        }
    }
}

// Copies stretches of a text in order, from one walk over its pieces.
class SequentialCopier
{
public:
    explicit SequentialCopier(TextChunkReader reader)
        : m_reader(std::move(reader))
    { }

    // Appends the next `count` units to `out`, or passes over them when `out` is null.
    void copy(qsizetype count, QString *out)
    {
        while (count > 0) {
            if (m_chunk.isEmpty())
                m_chunk = m_reader.next();
            if (m_chunk.isEmpty())
                return;
            const qsizetype taken = std::min(count, m_chunk.size());
            if (out)
                out->append(m_chunk.first(taken));
            m_chunk = m_chunk.sliced(taken);
            count -= taken;
        }
    }

private:
    TextChunkReader m_reader;
    QStringView m_chunk;
};

} // namespace

MatchList SnapshotTextAccess::findAll(const TextMatcher &matcher, const TextSnapshot &snapshot)
{
    MatchList matches;
    const SnapshotTextAccess text(snapshot);
    const qsizetype length = text.length();
    if (length < parallelSearchUnits || std::thread::hardware_concurrency() < 2) {
        findInSteps(matcher, text, 0, length, matches);
        return matches;
    }
    const qsizetype middle = length / 2;
    MatchList later;
    std::thread second([&] { findInSteps(matcher, text, middle, length, later); });
    const qsizetype from = findInSteps(matcher, text, 0, middle, matches);
    second.join();
    joinAtCommonMatch(matcher, text, from, matches, later);
    return matches;
}

TextDocumentAccess::TextDocumentAccess(TextDocument *document)
    : m_document(document)
{ }

qsizetype TextDocumentAccess::length() const
{
    return m_document ? m_document->length() : 0;
}

QString TextDocumentAccess::read(qsizetype position, qsizetype count) const
{
    return m_document ? m_document->text(position, count) : QString();
}

// The first range is one edit and everything from its end to the end of the last range, built
// in one pass, is a second: the history then puts the caret at the first range on undo and
// redo, as it does for a step of many small edits.
void TextDocumentAccess::replaceRanges(const MatchList &ranges, const QString &replacement)
{
    if (!m_document || ranges.isEmpty())
        return;
    const MatchRange &first = ranges.first();
    const qsizetype restStart = first.end();
    const qsizetype restEnd = ranges.last().end();
    qsizetype restLength = restEnd - restStart;
    for (qsizetype i = 1; i < ranges.size(); ++i)
        restLength += replacement.size() - ranges[i].length;
    QString rest;
    rest.reserve(restLength);
    SequentialCopier copier(m_document->snapshot().chunks(restStart, restEnd - restStart));
    qsizetype position = restStart;
    for (qsizetype i = 1; i < ranges.size(); ++i) {
        const MatchRange &range = ranges[i];
        copier.copy(range.location - position, &rest);
        copier.copy(range.length, nullptr);
        rest.append(replacement);
        position = range.end();
    }
    m_document->beginEditGroup();
    m_document->replace(first.location, first.length, replacement);
    m_document->replaceTaking(
        first.location + replacement.size(), restEnd - restStart, std::move(rest));
    m_document->endEditGroup();
}

QString TextDocumentAccess::wholeText() const
{
    return m_document ? m_document->toString() : QString();
}
