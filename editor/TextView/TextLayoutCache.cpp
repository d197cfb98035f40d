#include "TextLayoutCache.h"

#include <QFontMetricsF>
#include <QTextLine>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace {
// Enough for a few screenfuls of short lines or of long-line segments.
constexpr qsizetype MaxLayouts = 512;
constexpr qsizetype MaxLayoutUnits = 256 * 1024;
} // namespace

TextLayoutCache::TextLayoutCache()
{
    m_option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    m_option.setTextDirection(Qt::LayoutDirectionAuto);
    m_option.setTabStopDistance(QFontMetricsF(m_font).horizontalAdvance(u' ') * 8);
    m_blocksAt.fill({-1, {}});
}

TextLayoutCache::~TextLayoutCache() = default;

void TextLayoutCache::setText(const TextSnapshot &text)
{
    m_blocksAt.fill({-1, {}});
    m_text = text;
    m_segments.setText(text);
    clearLayouts();
}

void TextLayoutCache::textChanged(
    const TextSnapshot &text, qsizetype position, qsizetype removed, qsizetype added)
{
    m_blocksAt.fill({-1, {}});
    const qsizetype oldFirst = m_text.lineAt(position);
    const qsizetype oldLast = m_text.lineAt(position + removed);
    m_text = text;
    const int firstChanged = m_segments.update(text, position, removed, added);
    if (firstChanged >= 0) {
        dropLayouts({oldFirst, firstChanged}, {oldFirst, INT_MAX});
        shiftLayouts(oldFirst, 0, added - removed);
        return;
    }
    const qsizetype newFirst = text.lineAt(position);
    const qsizetype newLast = text.lineAt(position + added);
    const qsizetype first = std::min(oldFirst, newFirst);
    dropLayouts({first, 0}, {oldLast, INT_MAX});
    shiftLayouts(oldLast, newLast - oldLast, added - removed);
}

void TextLayoutCache::setFont(const QFont &font)
{
    m_font = font;
    clearLayouts();
}

void TextLayoutCache::setTabStopDistance(qreal distance)
{
    m_option.setTabStopDistance(distance);
    clearLayouts();
}

void TextLayoutCache::setWrapWidth(qreal width)
{
    if (qFuzzyCompare(width, m_wrapWidth))
        return;
    m_wrapWidth = width;
    clearLayouts();
}

void TextLayoutCache::setTextDirection(Qt::LayoutDirection direction)
{
    m_option.setTextDirection(direction);
    clearLayouts();
}

void TextLayoutCache::setPreedit(TextPreedit preedit)
{
    if (m_preedit.position >= 0)
        dropLayouts(blockAt(m_preedit.position), blockAt(m_preedit.position));
    m_preedit = std::move(preedit);
    if (m_preedit.position >= 0)
        dropLayouts(blockAt(m_preedit.position), blockAt(m_preedit.position));
}

const TextLayoutCache::Entry *TextLayoutCache::entry(TextBlock block) const
{
    const auto found = m_layouts.find(block);
    return found == m_layouts.end() ? nullptr : &found->second;
}

qsizetype TextLayoutCache::blockStart(TextBlock block)
{
    if (const Entry *laidOut = entry(block))
        return laidOut->start;
    return m_text.lineStart(block.line) + m_segments.starts(block.line)[block.segment];
}

// A line is one segment when it is not a known long line and its first block was laid out: the
// cuts of a line are found before any block of it is laid out.
int TextLayoutCache::segmentCount(qsizetype line)
{
    if (!m_segments.isKnownLong(line) && entry({line, 0}))
        return 1;
    return m_segments.count(line);
}

qsizetype TextLayoutCache::blockLength(TextBlock block)
{
    if (const Entry *laidOut = entry(block))
        return laidOut->layout->text().size();
    const std::vector<qsizetype> &starts = m_segments.starts(block.line);
    const qsizetype end = block.segment + 1 < qsizetype(starts.size())
        ? starts[block.segment + 1]
        : LineSegments::span(m_text, block.line).length;
    return end - starts[block.segment];
}

TextBlock TextLayoutCache::blockAt(qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, m_text.length());
    for (const auto &[asked, block] : m_blocksAt) {
        if (asked == offset)
            return block;
    }
    const qsizetype line = m_text.lineAt(offset);
    // An ordinary line already laid out is one block: no need to find where it starts.
    const TextBlock block = !m_segments.isKnownLong(line) && entry({line, 0})
        ? TextBlock {line, 0}
        : TextBlock {line, m_segments.segmentAt(line, offset - m_text.lineStart(line))};
    m_blocksAt[m_nextBlockAt] = {offset, block};
    m_nextBlockAt = (m_nextBlockAt + 1) % m_blocksAt.size();
    return block;
}

bool TextLayoutCache::isLastBlock(TextBlock block)
{
    return block.line + 1 >= m_text.lineCount() && block.segment + 1 >= segmentCount(block.line);
}

std::optional<TextBlock> TextLayoutCache::nextBlock(TextBlock block)
{
    if (block.segment + 1 < segmentCount(block.line))
        return TextBlock {block.line, block.segment + 1};
    if (block.line + 1 < m_text.lineCount())
        return TextBlock {block.line + 1, 0};
    return std::nullopt;
}

std::optional<TextBlock> TextLayoutCache::previousBlock(TextBlock block)
{
    if (block.segment > 0)
        return TextBlock {block.line, block.segment - 1};
    if (block.line > 0)
        return TextBlock {block.line - 1, segmentCount(block.line - 1) - 1};
    return std::nullopt;
}

qsizetype TextLayoutCache::blockIndex(TextBlock block)
{
    return block.line + m_segments.extraSegmentsBefore(block.line) + block.segment;
}

TextBlock TextLayoutCache::blockAtIndex(qsizetype index)
{
    index = std::clamp<qsizetype>(index, 0, blockCount() - 1);
    const auto [line, segment] = m_segments.locate(index);
    return {line, segment};
}

qsizetype TextLayoutCache::blockCount() const
{
    return m_text.lineCount() + m_segments.extraSegments();
}

QTextLayout *TextLayoutCache::layout(TextBlock block)
{
    auto found = m_layouts.find(block);
    if (found == m_layouts.end()) {
        evict();
        const qsizetype start = blockStart(block);
        std::unique_ptr<QTextLayout> created = createLayout(block, start);
        m_cachedUnits += created->text().size();
        found = m_layouts.emplace(block, Entry {std::move(created), start, 0}).first;
    }
    found->second.used = ++m_clock;
    return found->second.layout.get();
}

std::unique_ptr<QTextLayout> TextLayoutCache::createLayout(TextBlock block, qsizetype start)
{
    auto layout = std::make_unique<QTextLayout>(m_text.text(start, blockLength(block)), m_font);
    QTextOption option = m_option;
    // A line without a direction of its own reads from the right edge when its first strong
    // character is right-to-left, as in QPlainTextEdit.
    if (option.textDirection() == Qt::LayoutDirectionAuto) {
        const bool rightToLeft = layout->text().isRightToLeft();
        option.setTextDirection(rightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        option.setAlignment(rightToLeft ? Qt::AlignRight : Qt::AlignLeft);
    }
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    if (m_preedit.position >= 0 && blockAt(m_preedit.position) == block) {
        const int at = int(m_preedit.position - start);
        layout->setPreeditArea(at, m_preedit.text);
        // The input method places its formats in the preedit; the layout counts from its start.
        QList<QTextLayout::FormatRange> formats = m_preedit.formats;
        for (QTextLayout::FormatRange &range : formats)
            range.start += at;
        layout->setFormats(formats);
    }
    const qreal width = std::max<qreal>(m_wrapWidth, 1);
    qreal y = 0;
    layout->beginLayout();
    for (QTextLine row = layout->createLine(); row.isValid(); row = layout->createLine()) {
        row.setLineWidth(width);
        row.setPosition({0, y});
        y += row.height();
    }
    layout->endLayout();
    return layout;
}

qreal TextLayoutCache::height(TextBlock block)
{
    if (const auto found = m_layouts.find(block); found != m_layouts.end())
        return found->second.layout->boundingRect().height();
    const qreal averageWidth = std::max<qreal>(QFontMetricsF(m_font).averageCharWidth(), 1);
    const qreal unitsPerRow = std::max<qreal>(std::floor(m_wrapWidth / averageWidth), 1);
    const qreal rows = std::max<qreal>(std::ceil(qreal(blockLength(block)) / unitsPerRow), 1);
    return rows * rowHeight();
}

qreal TextLayoutCache::rowHeight() const
{
    return QFontMetricsF(m_font).height();
}

void TextLayoutCache::dropLayouts(TextBlock from, TextBlock to)
{
    auto first = m_layouts.lower_bound(from);
    const auto last = m_layouts.upper_bound(to);
    while (first != last) {
        m_cachedUnits -= first->second.layout->text().size();
        first = m_layouts.erase(first);
    }
}

void TextLayoutCache::shiftLayouts(qsizetype afterLine, qsizetype lineDelta, qsizetype delta)
{
    const auto first = m_layouts.upper_bound({afterLine, INT_MAX});
    if (lineDelta == 0) {
        for (auto it = first; it != m_layouts.end(); ++it)
            it->second.start += delta;
        return;
    }
    std::vector<std::map<TextBlock, Entry>::node_type> moved;
    for (auto it = first; it != m_layouts.end();)
        moved.push_back(m_layouts.extract(it++));
    for (auto &node : moved) {
        node.key().line += lineDelta;
        node.mapped().start += delta;
        m_layouts.insert(std::move(node));
    }
}

// Drops the least recently used quarter once the cache is full, so that the blocks of the
// screenful being painted, used last, stay.
void TextLayoutCache::evict()
{
    if (qsizetype(m_layouts.size()) < MaxLayouts && m_cachedUnits < MaxLayoutUnits)
        return;
    std::vector<quint64> stamps;
    stamps.reserve(m_layouts.size());
    for (const auto &[block, entry] : m_layouts)
        stamps.push_back(entry.used);
    const auto quarter = stamps.begin() + qsizetype(stamps.size()) / 4;
    std::nth_element(stamps.begin(), quarter, stamps.end());
    const quint64 oldest = *quarter;
    std::erase_if(m_layouts, [this, oldest](const auto &item) {
        if (item.second.used > oldest)
            return false;
        m_cachedUnits -= item.second.layout->text().size();
        return true;
    });
}

void TextLayoutCache::clearLayouts()
{
    m_layouts.clear();
    m_cachedUnits = 0;
}
