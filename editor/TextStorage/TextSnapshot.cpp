#include "TextSnapshot.h"

#include "TextBuffers.h"

#include <algorithm>

using namespace PieceTreeDetail;

namespace {
constexpr char16_t LineFeed = u'\n';
constexpr char16_t CarriageReturn = u'\r';
} // namespace

TextChunkReader::TextChunkReader(
    NodePtr root, std::shared_ptr<const TextBuffers> buffers, qsizetype offset, qsizetype length)
    : m_root(std::move(root))
    , m_buffers(std::move(buffers))
    , m_remaining(length)
{
    const Node *node = m_root.get();
    while (node && m_remaining > 0) {
        const qsizetype leftLength = summaryOf(node->left).length;
        if (offset < leftLength) {
            m_path.push_back(node);
            node = node->left.get();
        } else if (offset < leftLength + node->piece.size()) {
            m_path.push_back(node);
            m_skip = offset - leftLength;
            break;
        } else {
            offset -= leftLength + node->piece.size();
            node = node->right.get();
        }
    }
}

QStringView TextChunkReader::next()
{
    if (m_remaining == 0 || m_path.empty())
        return {};
    const Node *node = m_path.back();
    m_path.pop_back();
    const QStringView chunk
        = node->piece.sliced(m_skip).first(std::min(m_remaining, node->piece.size() - m_skip));
    m_skip = 0;
    m_remaining -= chunk.size();
    pushLeftPath(node->right.get());
    return chunk;
}

void TextChunkReader::pushLeftPath(const Node *node)
{
    for (; node; node = node->left.get())
        m_path.push_back(node);
}

TextSnapshot::TextSnapshot(NodePtr root, std::shared_ptr<const TextBuffers> buffers)
    : m_root(std::move(root))
    , m_buffers(std::move(buffers))
{ }

qsizetype TextSnapshot::lineCount() const
{
    return (m_root ? m_root->total.breaks : 0) + 1;
}

qsizetype TextSnapshot::lineStart(qsizetype line) const
{
    line = std::clamp<qsizetype>(line, 0, lineCount() - 1);
    if (line == 0)
        return 0;
    const qsizetype offset = offsetAfterBreaks(line);
    // The break counted at a CR is the CR LF pair when an LF follows.
    if (unitAt(offset - 1) == CarriageReturn && unitAt(offset) == LineFeed)
        return offset + 1;
    return offset;
}

qsizetype TextSnapshot::lineAt(qsizetype offset) const
{
    offset = std::clamp<qsizetype>(offset, 0, length());
    const qsizetype breaks = rawBreaksBefore(offset);
    if (offset > 0 && unitAt(offset - 1) == CarriageReturn && unitAt(offset) == LineFeed)
        return breaks - 1;
    return breaks;
}

// Reads on from the line's start to its break, rather than looking the next line up: a line is
// usually far shorter than the piece a second lookup would scan.
LineSpan TextSnapshot::lineSpan(qsizetype line) const
{
    LineSpan span;
    span.start = lineStart(line);
    TextChunkReader reader = chunks(span.start);
    for (QStringView chunk = reader.next(); !chunk.isEmpty(); chunk = reader.next()) {
        const auto end = std::find_if(chunk.begin(), chunk.end(),
            [](QChar unit) { return unit == LineFeed || unit == CarriageReturn; });
        span.length += end - chunk.begin();
        if (end == chunk.end())
            continue;
        const bool pair
            = *end == CarriageReturn && unitAt(span.start + span.length + 1) == LineFeed;
        span.breakLength = pair ? 2 : 1;
        break;
    }
    return span;
}

QString TextSnapshot::lineText(qsizetype line) const
{
    const LineSpan span = lineSpan(line);
    return text(span.start, span.length);
}

QString TextSnapshot::text(qsizetype offset, qsizetype length) const
{
    QString result;
    TextChunkReader reader = chunks(offset, length);
    result.reserve(reader.m_remaining);
    for (QStringView chunk = reader.next(); !chunk.isEmpty(); chunk = reader.next())
        result.append(chunk);
    return result;
}

char16_t TextSnapshot::unitAt(qsizetype offset) const
{
    const Node *node = m_root.get();
    if (offset < 0)
        return 0;
    while (node) {
        const qsizetype leftLength = summaryOf(node->left).length;
        if (offset < leftLength) {
            node = node->left.get();
            continue;
        }
        offset -= leftLength;
        if (offset < node->piece.size())
            return node->piece[offset].unicode();
        offset -= node->piece.size();
        node = node->right.get();
    }
    return 0;
}

TextChunkReader TextSnapshot::chunks(qsizetype offset, qsizetype length) const
{
    offset = std::clamp<qsizetype>(offset, 0, this->length());
    const qsizetype available = this->length() - offset;
    length = length < 0 ? available : std::min(length, available);
    return TextChunkReader(m_root, m_buffers, offset, length);
}

TextSnapshot TextSnapshot::slice(qsizetype offset, qsizetype length) const
{
    offset = std::clamp<qsizetype>(offset, 0, this->length());
    length = std::clamp<qsizetype>(length, 0, this->length() - offset);
    const NodePtr rest = split(m_root, offset).second;
    return TextSnapshot(split(rest, length).first, m_buffers);
}

TextSnapshot TextSnapshot::joined(const TextSnapshot &first, const TextSnapshot &second)
{
    if (first.isEmpty())
        return second;
    if (second.isEmpty())
        return first;
    Q_ASSERT(first.sharesBuffersWith(second));
    return TextSnapshot(merge(first.m_root, second.m_root), first.m_buffers);
}

int TextSnapshot::treeDepth() const
{
    return depth(m_root);
}

qsizetype TextSnapshot::rawBreaksBefore(qsizetype offset) const
{
    qsizetype breaks = 0;
    bool afterCarriageReturn = false;
    const Node *node = m_root.get();
    while (node) {
        const Summary left = summaryOf(node->left);
        if (offset <= left.length) {
            node = node->left.get();
            continue;
        }
        breaks += breaksAfter(afterCarriageReturn, left);
        afterCarriageReturn = left.length > 0 ? left.endsWithCarriageReturn : afterCarriageReturn;
        offset -= left.length;
        if (offset <= node->piece.size())
            return breaks + breaksAfter(afterCarriageReturn, summarize(node->piece.first(offset)));
        breaks += breaksAfter(afterCarriageReturn, node->pieceSummary);
        afterCarriageReturn = node->pieceSummary.endsWithCarriageReturn;
        offset -= node->piece.size();
        node = node->right.get();
    }
    return breaks;
}

qsizetype TextSnapshot::offsetAfterBreaks(qsizetype breaks) const
{
    qsizetype counted = 0;
    qsizetype base = 0;
    bool afterCarriageReturn = false;
    const Node *node = m_root.get();
    while (node && breaks > 0) {
        const Summary left = summaryOf(node->left);
        const qsizetype throughLeft = counted + breaksAfter(afterCarriageReturn, left);
        if (throughLeft >= breaks) {
            node = node->left.get();
            continue;
        }
        counted = throughLeft;
        afterCarriageReturn = left.length > 0 ? left.endsWithCarriageReturn : afterCarriageReturn;
        base += left.length;
        const qsizetype throughPiece
            = counted + breaksAfter(afterCarriageReturn, node->pieceSummary);
        if (throughPiece < breaks) {
            counted = throughPiece;
            afterCarriageReturn = node->pieceSummary.endsWithCarriageReturn;
            base += node->piece.size();
            node = node->right.get();
            continue;
        }
        for (qsizetype i = 0; i < node->piece.size(); ++i) {
            const char16_t unit = node->piece[i].unicode();
            if (unit == CarriageReturn || (unit == LineFeed && !afterCarriageReturn))
                ++counted;
            afterCarriageReturn = unit == CarriageReturn;
            if (counted == breaks)
                return base + i + 1;
        }
    }
    return base;
}
