#pragma once

#include <QStringView>

#include <atomic>
#include <utility>
#include <vector>

// The persistent tree under PieceTree and TextSnapshot. Nodes never change once built: an edit
// copies the nodes on the paths it touches and shares every other subtree with the versions
// before it, so a snapshot is a root pointer and stays valid while the owner edits. Reference
// counts are atomic because a snapshot may be dropped on another thread.
//
// The tree is a treap, rebalanced by split and merge only. Split and merge touch one root-to-leaf
// path each, which is exactly what path copying needs; a red-black or AVL tree would copy the
// nodes its rotations and recolourings reach as well, with far more code. Priorities are
// pseudo-random, so the expected depth is about 2 ln n (about 20 for the 25,000 pieces of 100 MB).
namespace PieceTreeDetail {

// Line breaks are LF, CR LF and a lone CR, as the document loader counts lines. The counts are
// "raw": every CR counts and an LF counts unless a CR precedes it in the same run; where a run
// ending in CR meets one starting with LF, combine() takes one away again.
struct Summary
{
    qsizetype length = 0;
    qsizetype breaks = 0;
    bool startsWithLineFeed = false;
    bool endsWithCarriageReturn = false;
};

Summary summarize(QStringView units);
Summary combine(const Summary &first, const Summary &second);
// Adds `next` to a running count whose last unit was a CR when `afterCarriageReturn` is set.
qsizetype breaksAfter(bool afterCarriageReturn, const Summary &next);

class Node;

// An owning pointer to a shared, immutable node.
class NodePtr
{
public:
    NodePtr() = default;
    explicit NodePtr(const Node *node);
    NodePtr(const NodePtr &other);
    NodePtr(NodePtr &&other) noexcept
        : m_node(std::exchange(other.m_node, nullptr))
    { }
    NodePtr &operator=(NodePtr other) noexcept
    {
        std::swap(m_node, other.m_node);
        return *this;
    }
    ~NodePtr();

    const Node *get() const { return m_node; }
    const Node *operator->() const { return m_node; }
    const Node &operator*() const { return *m_node; }
    explicit operator bool() const { return m_node != nullptr; }

private:
    const Node *m_node = nullptr;
};

class Node
{
public:
    Node(QStringView piece, Summary pieceSummary, NodePtr left, NodePtr right, quint32 priority);
    Node(const Node &) = delete;
    Node &operator=(const Node &) = delete;

    QStringView piece;
    Summary pieceSummary;
    Summary total;
    NodePtr left;
    NodePtr right;
    quint32 priority;
    mutable std::atomic<int> references {0};
};

// The summary of a subtree, empty for none.
inline Summary summaryOf(const NodePtr &node)
{
    return node ? node->total : Summary {};
}

// Pieces are cut to at most this many units, so that anything that scans a piece (a line lookup
// inside it, cutting it in two) costs a few microseconds.
constexpr qsizetype MaxPieceUnits = 4096;

// The first `offset` units and the rest.
std::pair<NodePtr, NodePtr> split(const NodePtr &root, qsizetype offset);
NodePtr merge(const NodePtr &first, const NodePtr &second);
// A balanced tree of `pieces`, in order, each cut to MaxPieceUnits, in linear time.
NodePtr build(const std::vector<QStringView> &pieces);
// The piece that ends at `offset`, empty when `offset` lies inside a piece or at the start.
QStringView pieceEndingAt(const NodePtr &root, qsizetype offset);
// `root` with the piece ending at `offset` grown by `units` stored right after it.
NodePtr extendPieceEndingAt(const NodePtr &root, qsizetype offset, qsizetype units);
int depth(const NodePtr &root);

} // namespace PieceTreeDetail
