#pragma once

#include "DocumentStatistics.h"

#include <QObject>
#include <QPointer>
#include <QStringView>

#include <span>
#include <vector>

class QTextBlock;
class QTextDocument;

// Knows the status counts of one QTextDocument at all times without reading the whole text on
// an edit: it keeps the counts of every block (line) and their sum, and after each change
// recounts only the blocks the change touched.
//
// Per-block counts live in an array of our own, indexed by block number and cut into chunks,
// rather than in QTextBlockUserData: user data costs a heap block with a vtable and a back
// pointer (about 60 bytes and a malloc per line, ~100 MB for 1.7 million lines), takes the
// block's only user-data slot, and calls back into the tracker from QTextDocument's destructor.
// A chunked entry is 12 bytes (about 20 MB for 1.7 million lines). Typing within a line
// overwrites one entry in place; Enter or Backspace at a line start moves at most one chunk
// (48 KB); finding the chunk walks a few hundred chunk sizes; a paste or an undo touches only
// the chunks it covers, plus at most two neighbours that get merged.
//
// QTextDocument reports changes only once it has a layout (every document shown by a
// QPlainTextEdit has one); without one, the tracker counts the whole text after each change.
// A change made from inside a contentsChange() handler is not reported by Qt either; one that
// changes the number of blocks is caught and recounted in full.
class TextStatisticsTracker : public QObject
{
    Q_OBJECT

public:
    explicit TextStatisticsTracker(QTextDocument *document, QObject *parent = nullptr);
    ~TextStatisticsTracker() override;

    QTextDocument *document() const { return m_document; }
    DocumentStatistics::TextCounts counts() const;
    // Forgets every block's counts and counts the whole document again.
    void recountAll();

    // `text` is about to be appended after a line break at the end of the document (a loader's
    // slice). Its lines are then counted from `text` itself instead of being read back from the
    // document block by block. `text` must stay alive until the insertion is done.
    void expectAppend(QStringView text);

signals:
    // After every update, also when the counts stayed the same.
    void countsChanged();

private:
    // Counts of one block. A block is shorter than 2^31 code units, so 32 bits suffice.
    struct BlockCounts
    {
        quint32 characters = 0;
        quint32 words = 0;
        quint32 nonEmptyLines = 0;
    };
    using Chunk = std::vector<BlockCounts>;
    struct Position
    {
        qsizetype chunk = 0;
        qsizetype offset = 0;
    };

    void rebuild();
    void onContentsChange(int position, int removed, int added);
    void onContentsChanged();
    bool documentHasLayout() const;

    std::vector<BlockCounts> countBlocks(QTextBlock block, int count) const;
    std::vector<BlockCounts> countAppendedLines(int lastBlock) const;
    void replaceEntries(qsizetype first, qsizetype removeCount, std::span<const BlockCounts> added);
    Position locate(qsizetype index);
    Position overwriteEntries(Position at, std::span<const BlockCounts> entries);
    void removeEntries(Position at, qsizetype count);
    qsizetype insertEntries(Position at, std::span<const BlockCounts> entries);
    void mergeSmallChunks(qsizetype firstChunk, qsizetype lastChunk);
    void addToTotal(const BlockCounts &entry);
    void subtractFromTotal(const BlockCounts &entry);

    QPointer<QTextDocument> m_document;
    std::vector<Chunk> m_chunks;
    qsizetype m_entryCount = 0;
    QStringView m_expectedAppend;
    DocumentStatistics::LineCounts m_total;
};
