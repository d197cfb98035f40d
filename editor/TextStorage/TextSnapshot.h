#pragma once

#include "PieceNode.h"

#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

class TextBuffers;

// Where a line lies: its first unit, its length without the line break, and the length of the
// break (0 on the last line, 1 for LF or CR, 2 for CR LF).
struct LineSpan
{
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype breakLength = 0;
};

// Reads a text piece by piece, in order, without copying it. Holds its own reference to the
// text, so it stays valid after the snapshot or tree it came from is gone.
class TextChunkReader
{
public:
    // The next chunk, empty at the end.
    QStringView next();
    bool atEnd() const { return m_remaining == 0 || m_path.empty(); }

private:
    friend class TextSnapshot;
    TextChunkReader(PieceTreeDetail::NodePtr root, std::shared_ptr<const TextBuffers> buffers,
        qsizetype offset, qsizetype length);
    void pushLeftPath(const PieceTreeDetail::Node *node);

    PieceTreeDetail::NodePtr m_root;
    std::shared_ptr<const TextBuffers> m_buffers;
    std::vector<const PieceTreeDetail::Node *> m_path;
    qsizetype m_skip = 0;
    qsizetype m_remaining = 0;
};

// An immutable text: a copyable value that shares its pieces with the tree it was taken from,
// readable from any thread while the tree goes on changing. Offsets and lengths are in UTF-16
// units; lines are split at LF, CR LF and a lone CR only (U+2028 and U+2029 are characters of a
// line, as the file holds them). Every lookup is O(log n) plus a scan of at most one piece.
class TextSnapshot
{
public:
    TextSnapshot() = default;

    qsizetype length() const { return m_root ? m_root->total.length : 0; }
    bool isEmpty() const { return length() == 0; }
    // Never less than 1: an empty text is one empty line.
    qsizetype lineCount() const;
    // The first unit of `line` (0-based), clamped to the lines there are.
    qsizetype lineStart(qsizetype line) const;
    // The line holding `offset`; the offset between a CR and its LF belongs to the line they end.
    qsizetype lineAt(qsizetype offset) const;
    LineSpan lineSpan(qsizetype line) const;
    QString lineText(qsizetype line) const;
    // The units [offset, offset + length), clamped to the text.
    QString text(qsizetype offset, qsizetype length) const;
    QString toString() const { return text(0, length()); }
    // The unit at `offset`, 0 outside the text.
    char16_t unitAt(qsizetype offset) const;
    // Reads [offset, offset + length) chunk by chunk; a negative length reads to the end.
    TextChunkReader chunks(qsizetype offset = 0, qsizetype length = -1) const;
    // The units [offset, offset + length) as a snapshot of their own, sharing the pieces.
    TextSnapshot slice(qsizetype offset, qsizetype length) const;
    // `first` followed by `second`; both come from the same tree.
    static TextSnapshot joined(const TextSnapshot &first, const TextSnapshot &second);
    // Whether `other` reads from the same buffers, so that its pieces can be put into this text.
    bool sharesBuffersWith(const TextSnapshot &other) const { return m_buffers == other.m_buffers; }

    // The depth of the tree of pieces, which stays logarithmic in their number: a diagnostic.
    int treeDepth() const;

private:
    friend class PieceTree;
    TextSnapshot(PieceTreeDetail::NodePtr root, std::shared_ptr<const TextBuffers> buffers);

    // Line breaks in [0, offset), counting a CR at the end as one.
    qsizetype rawBreaksBefore(qsizetype offset) const;
    // The smallest offset whose rawBreaksBefore() is `breaks`.
    qsizetype offsetAfterBreaks(qsizetype breaks) const;

    PieceTreeDetail::NodePtr m_root;
    std::shared_ptr<const TextBuffers> m_buffers;
};
