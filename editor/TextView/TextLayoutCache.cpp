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
    m_option.setTabStopDistance(QFontMetricsF(m_font).horizontalAdvance(u' ') * 8);
}

TextLayoutCache::~TextLayoutCache() = default;

void TextLayoutCache::setText(const TextSnapshot &text)
{
    m_text = text;
    m_segments.setText(text);
    clearLayouts();
}

void TextLayoutCache::textChanged(
    const TextSnapshot &text, qsizetype position, qsizetype removed, qsizetype added)
{
    const qsizetype oldFirst = m_text.lineAt(position);
    const qsizetype oldLast = m_text.lineAt(position + removed);
    m_text = text;
    const int firstChanged = m_segments.update(text, position, removed, added);
    if (firstChanged >= 0) {
        dropLayouts({oldFirst, firstChanged}, {oldFirst, INT_MAX});
        return;
    }
    const qsizetype newFirst = text.lineAt(position);
    const qsizetype newLast = text.lineAt(position + added);
    const qsizetype first = std::min(oldFirst, newFirst);
    dropLayouts({first, 0}, {oldLast, INT_MAX});
    shiftLayouts(oldLast, newLast - oldLast);
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

qsizetype TextLayoutCache::blockStart(TextBlock block)
{
    return m_text.lineStart(block.line) + m_segments.starts(block.line)[block.segment];
}

qsizetype TextLayoutCache::blockLength(TextBlock block)
{
    const std::vector<qsizetype> &starts = m_segments.starts(block.line);
    const qsizetype end = block.segment + 1 < qsizetype(starts.size())
        ? starts[block.segment + 1]
        : LineSegments::span(m_text, block.line).length;
    return end - starts[block.segment];
}

TextBlock TextLayoutCache::blockAt(qsizetype offset)
{
    offset = std::clamp<qsizetype>(offset, 0, m_text.length());
    const qsizetype line = m_text.lineAt(offset);
    return {line, m_segments.segmentAt(line, offset - m_text.lineStart(line))};
}

bool TextLayoutCache::isLastBlock(TextBlock block)
{
    return block.line + 1 >= m_text.lineCount()
        && block.segment + 1 >= m_segments.count(block.line);
}

std::optional<TextBlock> TextLayoutCache::nextBlock(TextBlock block)
{
    if (block.segment + 1 < m_segments.count(block.line))
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
        return TextBlock {block.line - 1, m_segments.count(block.line - 1) - 1};
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
        std::unique_ptr<QTextLayout> created = createLayout(block);
        m_cachedUnits += created->text().size();
        found = m_layouts.emplace(block, Entry {std::move(created), 0}).first;
    }
    found->second.used = ++m_clock;
    return found->second.layout.get();
}

std::unique_ptr<QTextLayout> TextLayoutCache::createLayout(TextBlock block)
{
    const qsizetype start = blockStart(block);
    auto layout = std::make_unique<QTextLayout>(m_text.text(start, blockLength(block)), m_font);
    layout->setTextOption(m_option);
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

void TextLayoutCache::shiftLayouts(qsizetype afterLine, qsizetype delta)
{
    if (delta == 0)
        return;
    std::vector<std::map<TextBlock, Entry>::node_type> moved;
    for (auto it = m_layouts.upper_bound({afterLine, INT_MAX}); it != m_layouts.end();)
        moved.push_back(m_layouts.extract(it++));
    for (auto &node : moved) {
        node.key().line += delta;
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
