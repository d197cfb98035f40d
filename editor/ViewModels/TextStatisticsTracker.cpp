#include "TextStatisticsTracker.h"

#include <QAbstractTextDocumentLayout>
#include <QLoggingCategory>
#include <QTextBlock>
#include <QTextDocument>

#include <algorithm>
#include <iterator>

using DocumentStatistics::LineCounts;
using DocumentStatistics::LineTerminator;

namespace {

Q_LOGGING_CATEGORY(statisticsLog, "scrivlet.statistics")

// A few hundred chunks hold 1.7 million lines, and shifting the entries of one chunk (48 KB)
// for an inserted or removed line costs about a microsecond.
constexpr qsizetype chunkCapacity = 4096;

// Appends to the last chunk, starting a new one whenever it is full.
template<typename Entry>
void appendToChunks(std::vector<std::vector<Entry>> &chunks, std::span<const Entry> entries)
{
    while (!entries.empty()) {
        if (qsizetype(chunks.back().size()) == chunkCapacity) {
            chunks.emplace_back();
            chunks.back().reserve(chunkCapacity);
        }
        std::vector<Entry> &last = chunks.back();
        const auto count = std::min(entries.size(), std::size_t(chunkCapacity) - last.size());
        last.insert(last.end(), entries.begin(), entries.begin() + count);
        entries = entries.subspan(count);
    }
}

// A chunk that grows never gets more room than a full chunk needs, so memory stays at 12 bytes
// a line instead of whatever doubling would leave.
template<typename Entry> void makeRoom(std::vector<Entry> &chunk, std::size_t entries)
{
    if (chunk.capacity() < chunk.size() + entries)
        chunk.reserve(std::max(std::size_t(chunkCapacity), chunk.size() + entries));
}

} // namespace

TextStatisticsTracker::TextStatisticsTracker(QTextDocument *document, QObject *parent)
    : QObject(parent)
    , m_document(document)
{
    if (document) {
        connect(document, &QTextDocument::contentsChange, this,
            &TextStatisticsTracker::onContentsChange);
        connect(document, &QTextDocument::contentsChanged, this,
            &TextStatisticsTracker::onContentsChanged);
    }
    rebuild();
}

TextStatisticsTracker::~TextStatisticsTracker() = default;

DocumentStatistics::TextCounts TextStatisticsTracker::counts() const
{
    return DocumentStatistics::totalCounts(m_total);
}

void TextStatisticsTracker::recountAll()
{
    rebuild();
    emit countsChanged();
}

void TextStatisticsTracker::rebuild()
{
    m_chunks.clear();
    m_entryCount = 0;
    m_total = {};
    if (m_document)
        replaceEntries(0, 0, countBlocks(m_document->begin(), m_document->blockCount()));
}

// The removed length is not needed: how many blocks disappeared follows from the block counts
// before and after. Qt may report more than what changed (the edits of an edit block are merged,
// and a new layout reports the whole text as added), which only costs recounting a few blocks.
void TextStatisticsTracker::onContentsChange(int position, int /*removed*/, int added)
{
    const QTextDocument &document = *m_document;
    const int endPosition = document.characterCount() - 1;
    const int from = std::clamp(position, 0, endPosition);
    const int to = int(std::clamp(qint64(position) + added, qint64(from), qint64(endPosition)));
    const QTextBlock firstBlock = document.findBlock(from);
    const int first = firstBlock.blockNumber();
    const int covered = document.findBlock(to).blockNumber() - first + 1;
    // The blocks before the first covered one and after the last are the blocks that were there
    // before the change; every other old entry belongs to a block that was changed or removed.
    // A block that becomes or stops being the last one is always covered, since its end is.
    const qsizetype removedEntries = m_entryCount - document.blockCount() + covered;
    if (removedEntries < 1 || first + removedEntries > m_entryCount) {
        qCWarning(statisticsLog, "Change at %d does not fit the %lld known lines; counting again",
            position, qint64(m_entryCount));
        recountAll();
        return;
    }
    std::vector<BlockCounts> counts;
    if (!m_expectedAppend.isNull() && first + covered == document.blockCount())
        counts = countAppendedLines(covered);
    m_expectedAppend = {};
    if (qsizetype(counts.size()) != covered)
        counts = countBlocks(firstBlock, covered);
    replaceEntries(first, removedEntries, counts);
    emit countsChanged();
}

void TextStatisticsTracker::expectAppend(QStringView text)
{
    const QTextDocument &document = *m_document;
    // Only an append to an empty last line maps lines of `text` one to one onto new blocks.
    m_expectedAppend = document.lastBlock().length() == 1 ? text : QStringView();
}

// The lines of the expected text, split where QTextDocument starts a new block: CR LF, CR, LF,
// U+2029 and the two frame markers. A count that does not match the blocks the change covered
// means the split disagrees with the document, and the caller reads the blocks instead.
std::vector<TextStatisticsTracker::BlockCounts> TextStatisticsTracker::countAppendedLines(
    int covered) const
{
    std::vector<BlockCounts> counts;
    counts.reserve(std::size_t(covered));
    const QStringView text = m_expectedAppend;
    qsizetype lineStart = 0;
    const auto addLine = [&](qsizetype end, LineTerminator terminator) {
        const LineCounts line
            = DocumentStatistics::countLine(text.mid(lineStart, end - lineStart), terminator);
        counts.push_back(
            {quint32(line.characters), quint32(line.words), quint32(line.nonEmptyLines)});
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit != u'\n' && unit != u'\r' && unit != 0x2029 && unit != 0xFDD0 && unit != 0xFDD1)
            continue;
        addLine(i, LineTerminator::LineFeed);
        if (unit == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        lineStart = i + 1;
        if (qsizetype(counts.size()) > covered)
            return {};
    }
    addLine(text.size(), LineTerminator::None);
    return counts;
}

void TextStatisticsTracker::onContentsChanged()
{
    if (!documentHasLayout()) {
        recountAll();
    } else if (m_entryCount != m_document->blockCount()) {
        qCWarning(statisticsLog, "A change went unreported; counting again");
        recountAll();
    }
}

// Asking documentLayout() would create a QTextDocumentLayout, which QPlainTextEdit then refuses.
bool TextStatisticsTracker::documentHasLayout() const
{
    return m_document->findChild<QAbstractTextDocumentLayout *>(
               QString(), Qt::FindDirectChildrenOnly)
        != nullptr;
}

std::vector<TextStatisticsTracker::BlockCounts> TextStatisticsTracker::countBlocks(
    QTextBlock block, int count) const
{
    std::vector<BlockCounts> counts;
    counts.reserve(std::size_t(std::max(count, 0)));
    for (; count > 0 && block.isValid(); --count) {
        const QTextBlock next = block.next();
        const LineTerminator terminator
            = next.isValid() ? LineTerminator::LineFeed : LineTerminator::None;
        const LineCounts line = DocumentStatistics::countLine(block.text(), terminator);
        counts.push_back(
            {quint32(line.characters), quint32(line.words), quint32(line.nonEmptyLines)});
        block = next;
    }
    return counts;
}

// Entries that are both removed and added are overwritten in place, so typing within a line
// never shifts any entries.
void TextStatisticsTracker::replaceEntries(
    qsizetype first, qsizetype removeCount, std::span<const BlockCounts> added)
{
    const qsizetype addCount = qsizetype(added.size());
    const qsizetype overwritten = std::min(removeCount, addCount);
    const Position start = locate(first);
    const Position rest = overwriteEntries(start, added.first(std::size_t(overwritten)));
    if (removeCount == addCount)
        return;
    qsizetype lastTouched = rest.chunk + 1;
    if (removeCount > overwritten)
        removeEntries(rest, removeCount - overwritten);
    else
        lastTouched = insertEntries(rest, added.subspan(std::size_t(overwritten))) + 1;
    mergeSmallChunks(start.chunk - 1, lastTouched);
}

TextStatisticsTracker::Position TextStatisticsTracker::locate(qsizetype index)
{
    if (m_chunks.empty())
        m_chunks.emplace_back();
    const qsizetype chunkCount = qsizetype(m_chunks.size());
    for (qsizetype chunk = 0; chunk < chunkCount; ++chunk) {
        const qsizetype size = qsizetype(m_chunks[std::size_t(chunk)].size());
        if (index < size)
            return {chunk, index};
        index -= size;
    }
    return {chunkCount - 1, qsizetype(m_chunks.back().size())};
}

TextStatisticsTracker::Position TextStatisticsTracker::overwriteEntries(
    Position at, std::span<const BlockCounts> entries)
{
    for (const BlockCounts &entry : entries) {
        while (at.offset == qsizetype(m_chunks[std::size_t(at.chunk)].size())) {
            ++at.chunk;
            at.offset = 0;
        }
        BlockCounts &slot = m_chunks[std::size_t(at.chunk)][std::size_t(at.offset++)];
        subtractFromTotal(slot);
        slot = entry;
        addToTotal(slot);
    }
    return at;
}

// Chunks emptied on the way are dropped, except the one the removal starts in, which is merged
// with a neighbour afterwards (or stays, empty, as the only chunk).
void TextStatisticsTracker::removeEntries(Position at, qsizetype count)
{
    qsizetype chunk = at.chunk;
    qsizetype offset = at.offset;
    while (count > 0) {
        Chunk &entries = m_chunks[std::size_t(chunk)];
        const qsizetype erased = std::min(count, qsizetype(entries.size()) - offset);
        const auto begin = entries.begin() + offset;
        std::for_each(
            begin, begin + erased, [this](const BlockCounts &entry) { subtractFromTotal(entry); });
        entries.erase(begin, begin + erased);
        count -= erased;
        m_entryCount -= erased;
        ++chunk;
        offset = 0;
    }
    if (chunk > at.chunk + 1) {
        const auto begin = m_chunks.begin() + at.chunk + 1;
        const auto end = m_chunks.begin() + chunk;
        m_chunks.erase(std::remove_if(begin, end, [](const Chunk &c) { return c.empty(); }), end);
    }
}

// Returns the index of the last chunk that received entries.
qsizetype TextStatisticsTracker::insertEntries(Position at, std::span<const BlockCounts> entries)
{
    std::for_each(
        entries.begin(), entries.end(), [this](const BlockCounts &entry) { addToTotal(entry); });
    m_entryCount += qsizetype(entries.size());
    Chunk &target = m_chunks[std::size_t(at.chunk)];
    if (target.size() + entries.size() <= std::size_t(chunkCapacity)) {
        makeRoom(target, entries.size());
        target.insert(target.begin() + at.offset, entries.begin(), entries.end());
        return at.chunk;
    }
    // Too many for one chunk: the entries after the insertion point move out, and the new ones
    // followed by them fill the target chunk and as many new chunks as needed.
    const Chunk tail(target.begin() + at.offset, target.end());
    target.resize(std::size_t(at.offset));
    makeRoom(target, std::size_t(chunkCapacity) - target.size());
    std::vector<Chunk> pieces;
    pieces.push_back(std::move(target));
    appendToChunks(pieces, entries);
    appendToChunks(pieces, std::span<const BlockCounts>(tail));
    m_chunks[std::size_t(at.chunk)] = std::move(pieces.front());
    m_chunks.insert(m_chunks.begin() + at.chunk + 1, std::make_move_iterator(pieces.begin() + 1),
        std::make_move_iterator(pieces.end()));
    return at.chunk + qsizetype(pieces.size()) - 1;
}

// Neighbours that fit in one chunk become one, so any two neighbouring chunks hold more than a
// chunk's capacity together and there are never more than twice as many chunks as needed.
void TextStatisticsTracker::mergeSmallChunks(qsizetype firstChunk, qsizetype lastChunk)
{
    const qsizetype low = std::max<qsizetype>(firstChunk, 0);
    const qsizetype high = std::min(lastChunk, qsizetype(m_chunks.size()) - 1);
    for (qsizetype right = high; right > low; --right) {
        Chunk &left = m_chunks[std::size_t(right - 1)];
        Chunk &moving = m_chunks[std::size_t(right)];
        if (left.size() + moving.size() > std::size_t(chunkCapacity))
            continue;
        makeRoom(left, moving.size());
        left.insert(left.end(), moving.begin(), moving.end());
        m_chunks.erase(m_chunks.begin() + right);
    }
}

void TextStatisticsTracker::addToTotal(const BlockCounts &entry)
{
    m_total += {entry.characters, entry.words, entry.nonEmptyLines};
}

void TextStatisticsTracker::subtractFromTotal(const BlockCounts &entry)
{
    m_total -= {entry.characters, entry.words, entry.nonEmptyLines};
}
