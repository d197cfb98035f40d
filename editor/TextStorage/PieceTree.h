#pragma once

#include "TextSnapshot.h"

#include <QString>
#include <QStringView>

#include <memory>

class TextBuffers;

// The text of a document as pieces of the decoded file and of an append-only buffer of inserted
// text, in a balanced tree whose nodes hold their subtree's length and line-break count: insert,
// remove and every lookup are O(log n) in the number of pieces, and the file's text is held once,
// never copied. It keeps every code unit as given (NUL, lone CR, lone surrogates, U+2029,
// noncharacters). snapshot() is O(1) and is not changed by later edits. Not thread-safe itself:
// one thread edits and copies snapshot() there; the copies may then go to any thread.
class PieceTree
{
public:
    PieceTree();
    // Takes the decoded text of a file without copying it.
    explicit PieceTree(QString original);
    ~PieceTree();
    PieceTree(const PieceTree &) = delete;
    PieceTree &operator=(const PieceTree &) = delete;
    // A reloaded document swaps in a new tree; snapshots of the old one stay valid.
    PieceTree(PieceTree &&other) noexcept;
    PieceTree &operator=(PieceTree &&other) noexcept;

    // Adds the next block of a file being loaded at the end, without copying it, so that a loader
    // can decode a few megabytes at a time and never hold the whole file twice. A CR LF split
    // between two blocks is one line break.
    void appendLoadedText(QString block);

    const TextSnapshot &snapshot() const { return m_text; }

    qsizetype length() const { return m_text.length(); }
    qsizetype lineCount() const { return m_text.lineCount(); }
    qsizetype lineStart(qsizetype line) const { return m_text.lineStart(line); }
    qsizetype lineAt(qsizetype offset) const { return m_text.lineAt(offset); }
    LineSpan lineSpan(qsizetype line) const { return m_text.lineSpan(line); }
    QString lineText(qsizetype line) const { return m_text.lineText(line); }
    QString text(qsizetype offset, qsizetype length) const { return m_text.text(offset, length); }
    QString toString() const { return m_text.toString(); }
    TextChunkReader chunks(qsizetype offset = 0, qsizetype length = -1) const
    {
        return m_text.chunks(offset, length);
    }

    // Offsets are clamped to the text. Both return what they removed or inserted as a snapshot of
    // its own (sharing the pieces, so a huge deletion costs no copy), for the edit history.
    TextSnapshot insert(qsizetype offset, QStringView text);
    // The same, taking a long text (a Replace All, a large paste) instead of copying it.
    TextSnapshot insertTaking(qsizetype offset, QString text);
    TextSnapshot remove(qsizetype offset, qsizetype length);
    // Puts back text taken from this tree (by remove(), insert() or a snapshot's slice()),
    // without copying it. Text from another tree is copied.
    void insert(qsizetype offset, const TextSnapshot &fragment);

private:
    std::shared_ptr<TextBuffers> m_buffers;
    TextSnapshot m_text;
};
