#include "TextViewport.h"

#include <QTextLine>

#include <algorithm>

TextViewport::TextViewport(TextLayoutCache &layouts, TextNavigator &navigator)
    : m_layouts(layouts)
    , m_navigator(navigator)
{ }

qreal TextViewport::textWidth() const
{
    return std::max(m_size.width() - m_insets.left() - m_insets.right(), 1);
}

VisualRow TextViewport::firstRow()
{
    const TextBlock block = m_layouts.blockAt(m_topPosition);
    const int rows = m_layouts.layout(block)->lineCount();
    return {block, std::clamp(m_topRow, 0, std::max(rows - 1, 0))};
}

void TextViewport::setFirstRow(VisualRow row)
{
    m_topPosition = m_layouts.blockStart(row.block);
    m_topRow = row.row;
}

qsizetype TextViewport::firstBlockIndex()
{
    return m_layouts.blockIndex(m_layouts.blockAt(m_topPosition));
}

void TextViewport::scrollToBlockIndex(qsizetype index)
{
    setFirstRow({m_layouts.blockAtIndex(index), 0});
}

void TextViewport::scrollByRows(int rows)
{
    VisualRow row = firstRow();
    for (; rows > 0; --rows) {
        const std::optional<VisualRow> next = m_navigator.nextRow(row);
        if (!next)
            break;
        row = *next;
    }
    for (; rows < 0; ++rows) {
        const std::optional<VisualRow> previous = m_navigator.previousRow(row);
        if (!previous)
            break;
        row = *previous;
    }
    setFirstRow(row);
}

qreal TextViewport::rowHeight(VisualRow row)
{
    return m_layouts.layout(row.block)->lineAt(row.row).height();
}

// Both walks stop after a screenful of rows, so a caret far away costs no more than a near one.
void TextViewport::ensureVisible(qsizetype position)
{
    const VisualRow target = m_navigator.rowOf(position);
    const VisualRow top = firstRow();
    if (target < top) {
        setFirstRow(target);
        return;
    }
    const qreal available = m_size.height() - m_insets.top() - m_insets.bottom();
    qreal used = 0;
    for (std::optional<VisualRow> row = top; row; row = m_navigator.nextRow(*row)) {
        used += rowHeight(*row);
        if (used > available)
            break;
        if (*row == target)
            return;
    }
    // Below the screen: the target's row becomes the last one shown.
    VisualRow first = target;
    used = rowHeight(target);
    while (const std::optional<VisualRow> previous = m_navigator.previousRow(first)) {
        used += rowHeight(*previous);
        if (used > available)
            break;
        first = *previous;
    }
    setFirstRow(first);
}

void TextViewport::textChanged(qsizetype position, qsizetype removed, qsizetype added)
{
    if (m_topPosition <= position)
        return;
    if (m_topPosition >= position + removed)
        m_topPosition += added - removed;
    else
        m_topPosition = position + added;
}

void TextViewport::reset()
{
    m_topPosition = 0;
    m_topRow = 0;
}

int TextViewport::rowsPerPage() const
{
    const qreal rowHeight = std::max<qreal>(m_layouts.rowHeight(), 1);
    return std::max(int((m_size.height() - m_insets.top()) / rowHeight), 1);
}

std::vector<TextViewport::ShownBlock> TextViewport::shownBlocks()
{
    std::vector<ShownBlock> shown;
    const VisualRow top = firstRow();
    std::optional<TextBlock> block = top.block;
    qreal y = m_insets.top() - m_layouts.layout(top.block)->lineAt(top.row).y();
    while (block && y < m_size.height()) {
        shown.push_back({*block, QPointF(m_insets.left(), y)});
        y += m_layouts.layout(*block)->boundingRect().height();
        block = m_layouts.nextBlock(*block);
    }
    return shown;
}

QRectF TextViewport::rectAt(qsizetype position, int shift)
{
    const TextBlock block = m_layouts.blockAt(position);
    for (const ShownBlock &shown : shownBlocks()) {
        if (shown.block != block)
            continue;
        QTextLayout *layout = m_layouts.layout(block);
        const int column = int(position - m_layouts.blockStart(block)) + shift;
        const QTextLine row = layout->lineForTextPosition(column);
        if (!row.isValid())
            return {};
        const qreal x = row.cursorToX(column);
        const int next = layout->nextCursorPosition(column);
        const bool sameRow = next > column && next <= row.textStart() + row.textLength();
        const qreal width = sameRow ? std::abs(row.cursorToX(next) - x) : 0;
        return {
            shown.origin + QPointF(std::min(x, x + width), row.y()), QSizeF(width, row.height())};
    }
    return {};
}

// Above the first row is the first row, below the last the last.
qsizetype TextViewport::positionAt(QPoint point)
{
    const std::vector<ShownBlock> shown = shownBlocks();
    for (const ShownBlock &block : shown) {
        QTextLayout *layout = m_layouts.layout(block.block);
        const qreal y = point.y() - block.origin.y();
        if (y >= layout->boundingRect().height() && &block != &shown.back())
            continue;
        for (int row = 0; row < layout->lineCount(); ++row) {
            if (y < layout->lineAt(row).rect().bottom() || row + 1 == layout->lineCount())
                return m_navigator.positionInRow({block.block, row}, point.x() - block.origin.x());
        }
        return m_layouts.blockStart(block.block);
    }
    return 0;
}
