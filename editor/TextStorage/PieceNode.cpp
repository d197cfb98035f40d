#include "PieceNode.h"

#include <algorithm>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace PieceTreeDetail {
namespace {

constexpr char16_t LineFeed = u'\n';
constexpr char16_t CarriageReturn = u'\r';

quint32 nextPriority()
{
    // splitmix64: deterministic per thread, cheap, and well spread for a treap.
    thread_local quint64 state = 0x9E3779B97F4A7C15ull;
    quint64 z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return quint32((z ^ (z >> 31)) >> 32);
}

NodePtr makeNode(
    QStringView piece, Summary pieceSummary, NodePtr left, NodePtr right, quint32 priority)
{
    return NodePtr(new Node(piece, pieceSummary, std::move(left), std::move(right), priority));
}

NodePtr withChildren(const Node &node, NodePtr left, NodePtr right)
{
    return makeNode(
        node.piece, node.pieceSummary, std::move(left), std::move(right), node.priority);
}

// The two halves of a piece cut at `offset`: only the shorter half is scanned, the other
// follows from the whole.
std::pair<Summary, Summary> splitSummary(const Node &node, qsizetype offset)
{
    const QStringView first = node.piece.first(offset);
    const QStringView second = node.piece.sliced(offset);
    const bool joined = first.back() == CarriageReturn && second.front() == LineFeed;
    Summary a;
    Summary b;
    if (first.size() <= second.size()) {
        a = summarize(first);
        b = {second.size(), node.pieceSummary.breaks - a.breaks + (joined ? 1 : 0),
            second.front() == LineFeed, node.pieceSummary.endsWithCarriageReturn};
    } else {
        b = summarize(second);
        a = {first.size(), node.pieceSummary.breaks - b.breaks + (joined ? 1 : 0),
            node.pieceSummary.startsWithLineFeed, first.back() == CarriageReturn};
    }
    return {a, b};
}

NodePtr leaf(QStringView piece, Summary summary)
{
    return makeNode(piece, summary, NodePtr(), NodePtr(), nextPriority());
}

// The halves of a cut piece are new pieces with priorities of their own: halves sharing the
// priority of the piece they came from would, after many cuts in one place, line up in a chain.
std::pair<NodePtr, NodePtr> splitInsidePiece(const Node &node, qsizetype offset)
{
    const auto [a, b] = splitSummary(node, offset);
    return {merge(node.left, leaf(node.piece.first(offset), a)),
        merge(leaf(node.piece.sliced(offset), b), node.right)};
}

// `node` with `left` as its left subtree, where a new half piece in `left` may outrank `node`
// and then rises above it.
NodePtr joinLeft(const NodePtr &left, const Node &node)
{
    if (!left || left->priority <= node.priority)
        return withChildren(node, left, node.right);
    return withChildren(*left, left->left, joinLeft(left->right, node));
}

NodePtr joinRight(const Node &node, const NodePtr &right)
{
    if (!right || right->priority <= node.priority)
        return withChildren(node, node.left, right);
    return withChildren(*right, joinRight(node, right->left), right->right);
}

// Counts the breaks of units [from, to) one by one.
void countBreaks(const char16_t *code, qsizetype from, qsizetype to, qsizetype &breaks,
    bool &afterCarriageReturn)
{
    for (qsizetype i = from; i < to; ++i) {
        if (code[i] == CarriageReturn || (code[i] == LineFeed && !afterCarriageReturn))
            ++breaks;
        afterCarriageReturn = code[i] == CarriageReturn;
    }
}

} // namespace

Summary summarize(QStringView units)
{
    Summary summary;
    summary.length = units.size();
    if (units.isEmpty())
        return summary;
    const auto *code = reinterpret_cast<const char16_t *>(units.utf16());
    const qsizetype size = units.size();
    bool afterCarriageReturn = false;
    qsizetype i = 0;
#ifdef __SSE2__
    // Eight units at a time: without a CR among them every LF counts, but one right after a CR
    // that ended the units before; with one, they are counted one by one. Each lane counts the
    // LFs at its place (negated: a match is -1), summed up before a lane could overflow.
    const __m128i lineFeeds = _mm_set1_epi16(short(LineFeed));
    const __m128i carriageReturns = _mm_set1_epi16(short(CarriageReturn));
    __m128i negatedFeeds = _mm_setzero_si128();
    int blocks = 0;
    const auto addFeeds = [&] {
        alignas(16) qint32 sums[4];
        _mm_store_si128(
            reinterpret_cast<__m128i *>(sums), _mm_madd_epi16(negatedFeeds, _mm_set1_epi16(-1)));
        summary.breaks += qsizetype(sums[0]) + sums[1] + sums[2] + sums[3];
        negatedFeeds = _mm_setzero_si128();
        blocks = 0;
    };
    for (; i + 8 <= size; i += 8) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i *>(code + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(block, carriageReturns)) != 0) {
            countBreaks(code, i, i + 8, summary.breaks, afterCarriageReturn);
            continue;
        }
        negatedFeeds = _mm_add_epi16(negatedFeeds, _mm_cmpeq_epi16(block, lineFeeds));
        if (++blocks == 0x7FFF)
            addFeeds();
        if (afterCarriageReturn && code[i] == LineFeed)
            --summary.breaks;
        afterCarriageReturn = false;
    }
    addFeeds();
#endif
    countBreaks(code, i, size, summary.breaks, afterCarriageReturn);
    summary.startsWithLineFeed = units.front() == LineFeed;
    summary.endsWithCarriageReturn = afterCarriageReturn;
    return summary;
}

Summary combine(const Summary &first, const Summary &second)
{
    if (first.length == 0)
        return second;
    if (second.length == 0)
        return first;
    return {first.length + second.length,
        breaksAfter(first.endsWithCarriageReturn, second) + first.breaks, first.startsWithLineFeed,
        second.endsWithCarriageReturn};
}

qsizetype breaksAfter(bool afterCarriageReturn, const Summary &next)
{
    return next.breaks - (afterCarriageReturn && next.startsWithLineFeed ? 1 : 0);
}

NodePtr::NodePtr(const Node *node)
    : m_node(node)
{
    if (m_node)
        m_node->references.fetch_add(1, std::memory_order_relaxed);
}

NodePtr::NodePtr(const NodePtr &other)
    : NodePtr(other.m_node)
{ }

NodePtr::~NodePtr()
{
    if (m_node && m_node->references.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete m_node;
}

Node::Node(QStringView piece, Summary pieceSummary, NodePtr left, NodePtr right, quint32 priority)
    : piece(piece)
    , pieceSummary(pieceSummary)
    , total(combine(combine(summaryOf(left), pieceSummary), summaryOf(right)))
    , left(std::move(left))
    , right(std::move(right))
    , priority(priority)
{ }

std::pair<NodePtr, NodePtr> split(const NodePtr &root, qsizetype offset)
{
    if (!root || offset <= 0)
        return {NodePtr(), root};
    if (offset >= root->total.length)
        return {root, NodePtr()};
    const Node &node = *root;
    const qsizetype leftLength = summaryOf(node.left).length;
    if (offset <= leftLength) {
        auto [first, second] = split(node.left, offset);
        return {std::move(first), joinLeft(second, node)};
    }
    const qsizetype inPiece = offset - leftLength;
    if (inPiece < node.piece.size())
        return splitInsidePiece(node, inPiece);
    auto [first, second] = split(node.right, inPiece - node.piece.size());
    return {joinRight(node, first), std::move(second)};
}

NodePtr merge(const NodePtr &first, const NodePtr &second)
{
    if (!first)
        return second;
    if (!second)
        return first;
    if (first->priority >= second->priority)
        return withChildren(*first, first->left, merge(first->right, second));
    return withChildren(*second, merge(first, second->left), second->right);
}

NodePtr build(const std::vector<QStringView> &pieces)
{
    // A Cartesian tree over the pieces: the stack holds the right spine, built bottom-up so that
    // each node is created once its subtrees are final.
    struct Pending
    {
        QStringView piece;
        quint32 priority;
        NodePtr left;
    };
    std::vector<Pending> spine;
    auto closeTop = [&spine](NodePtr right) {
        Pending top = std::move(spine.back());
        spine.pop_back();
        return makeNode(
            top.piece, summarize(top.piece), std::move(top.left), std::move(right), top.priority);
    };
    for (QStringView run : pieces) {
        for (; !run.isEmpty(); run = run.sliced(std::min(run.size(), MaxPieceUnits))) {
            const quint32 priority = nextPriority();
            NodePtr left;
            while (!spine.empty() && spine.back().priority < priority)
                left = closeTop(std::move(left));
            spine.push_back({run.first(std::min(run.size(), MaxPieceUnits)), priority, left});
        }
    }
    NodePtr right;
    while (!spine.empty())
        right = closeTop(std::move(right));
    return right;
}

QStringView pieceEndingAt(const NodePtr &root, qsizetype offset)
{
    for (const Node *node = root.get(); node;) {
        const qsizetype leftLength = summaryOf(node->left).length;
        const qsizetype pieceEnd = leftLength + node->piece.size();
        if (offset == pieceEnd)
            return node->piece;
        if (offset > leftLength && offset < pieceEnd)
            return {};
        if (offset < pieceEnd) {
            node = node->left.get();
        } else {
            offset -= pieceEnd;
            node = node->right.get();
        }
    }
    return {};
}

NodePtr extendPieceEndingAt(const NodePtr &root, qsizetype offset, qsizetype units)
{
    const Node &node = *root;
    const qsizetype pieceEnd = summaryOf(node.left).length + node.piece.size();
    if (offset < pieceEnd)
        return withChildren(node, extendPieceEndingAt(node.left, offset, units), node.right);
    if (offset > pieceEnd) {
        return withChildren(
            node, node.left, extendPieceEndingAt(node.right, offset - pieceEnd, units));
    }
    const QStringView piece(node.piece.data(), node.piece.size() + units);
    const Summary summary = combine(node.pieceSummary, summarize(piece.sliced(node.piece.size())));
    return makeNode(piece, summary, node.left, node.right, node.priority);
}

int depth(const NodePtr &root)
{
    return root ? 1 + std::max(depth(root->left), depth(root->right)) : 0;
}

} // namespace PieceTreeDetail
