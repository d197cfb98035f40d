#include "TextDocumentAccess.h"

#include "TextDocument.h"
#include "TextMatcher.h"

#include <algorithm>

namespace {

// Units searched per step of a full search: a window of this size is copied out of the
// snapshot, large enough that the copy and the step's lookahead cost little.
constexpr qsizetype searchStepUnits = 1 << 20;

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
    for (qsizetype from = 0; from < text.length();)
        from = matcher.findStep(text, from, searchStepUnits, matches).next;
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
