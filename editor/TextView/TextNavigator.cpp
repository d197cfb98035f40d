#include "TextNavigator.h"

#include <QTextBoundaryFinder>
#include <QTextLine>

TextNavigator::TextNavigator(TextLayoutCache &layouts)
    : m_layouts(layouts)
{ }

qsizetype TextNavigator::lineEnd(qsizetype line)
{
    const LineSpan span = LineSegments::span(m_layouts.text(), line);
    return span.start + span.length;
}

qsizetype TextNavigator::nextCharacter(qsizetype position)
{
    const TextBlock block = m_layouts.blockAt(position);
    const qsizetype start = m_layouts.blockStart(block);
    const qsizetype column = position - start;
    if (column < m_layouts.blockLength(block))
        return start + m_layouts.layout(block)->nextCursorPosition(int(column));
    return position + LineSegments::span(m_layouts.text(), block.line).breakLength;
}

qsizetype TextNavigator::previousCharacter(qsizetype position)
{
    const TextBlock block = m_layouts.blockAt(position);
    const qsizetype start = m_layouts.blockStart(block);
    if (position > start)
        return start + m_layouts.layout(block)->previousCursorPosition(int(position - start));
    const std::optional<TextBlock> previous = m_layouts.previousBlock(block);
    if (!previous)
        return 0;
    if (previous->line != block.line)
        return lineEnd(previous->line);
    const qsizetype previousStart = m_layouts.blockStart(*previous);
    return previousStart
        + m_layouts.layout(*previous)->previousCursorPosition(int(position - previousStart));
}

qsizetype TextNavigator::nextWord(qsizetype position)
{
    const TextBlock block = m_layouts.blockAt(position);
    const qsizetype start = m_layouts.blockStart(block);
    const qsizetype column = position - start;
    if (column < m_layouts.blockLength(block)) {
        QTextLayout *layout = m_layouts.layout(block);
        return start + layout->nextCursorPosition(int(column), QTextLayout::SkipWords);
    }
    return nextCharacter(position);
}

qsizetype TextNavigator::previousWord(qsizetype position)
{
    const TextBlock block = m_layouts.blockAt(position);
    const qsizetype start = m_layouts.blockStart(block);
    if (position > start) {
        QTextLayout *layout = m_layouts.layout(block);
        return start
            + layout->previousCursorPosition(int(position - start), QTextLayout::SkipWords);
    }
    const std::optional<TextBlock> previous = m_layouts.previousBlock(block);
    if (!previous || previous->line != block.line)
        return previousCharacter(position);
    const qsizetype previousStart = m_layouts.blockStart(*previous);
    QTextLayout *layout = m_layouts.layout(*previous);
    return previousStart
        + layout->previousCursorPosition(int(position - previousStart), QTextLayout::SkipWords);
}

VisualRow TextNavigator::rowOf(qsizetype position)
{
    const TextBlock block = m_layouts.blockAt(position);
    const int column = int(position - m_layouts.blockStart(block));
    const QTextLine row = m_layouts.layout(block)->lineForTextPosition(column);
    return {block, row.isValid() ? row.lineNumber() : 0};
}

std::optional<VisualRow> TextNavigator::nextRow(VisualRow row)
{
    if (row.row + 1 < m_layouts.layout(row.block)->lineCount())
        return VisualRow {row.block, row.row + 1};
    if (const std::optional<TextBlock> next = m_layouts.nextBlock(row.block))
        return VisualRow {*next, 0};
    return std::nullopt;
}

std::optional<VisualRow> TextNavigator::previousRow(VisualRow row)
{
    if (row.row > 0)
        return VisualRow {row.block, row.row - 1};
    if (const std::optional<TextBlock> previous = m_layouts.previousBlock(row.block))
        return VisualRow {*previous, std::max(m_layouts.layout(*previous)->lineCount() - 1, 0)};
    return std::nullopt;
}

bool TextNavigator::isRightToLeft(qsizetype position)
{
    const QTextLayout *layout = m_layouts.layout(m_layouts.blockAt(position));
    return layout->textOption().textDirection() == Qt::RightToLeft;
}

qreal TextNavigator::xOf(qsizetype position)
{
    const TextBlock block = m_layouts.blockAt(position);
    const int column = int(position - m_layouts.blockStart(block));
    const QTextLine row = m_layouts.layout(block)->lineForTextPosition(column);
    return row.isValid() ? row.cursorToX(column) : 0;
}

bool TextNavigator::endsLine(VisualRow row)
{
    if (row.row + 1 < m_layouts.layout(row.block)->lineCount())
        return false;
    const std::optional<TextBlock> next = m_layouts.nextBlock(row.block);
    return !next || next->line != row.block.line;
}

// A row that wraps ends where the next begins; the caret stays on it before the last character,
// which is the space the row was broken after.
qsizetype TextNavigator::positionInRow(VisualRow row, qreal x)
{
    QTextLayout *layout = m_layouts.layout(row.block);
    const QTextLine line = layout->lineAt(row.row);
    const qsizetype start = m_layouts.blockStart(row.block);
    if (!line.isValid())
        return start;
    int column = line.xToCursor(x);
    const int end = line.textStart() + line.textLength();
    if (column >= end && end > line.textStart() && !endsLine(row))
        column = layout->previousCursorPosition(end);
    return start + column;
}

qsizetype TextNavigator::rowStart(qsizetype position)
{
    const VisualRow row = rowOf(position);
    return m_layouts.blockStart(row.block)
        + m_layouts.layout(row.block)->lineAt(row.row).textStart();
}

qsizetype TextNavigator::rowEnd(qsizetype position)
{
    const VisualRow row = rowOf(position);
    const QTextLine line = m_layouts.layout(row.block)->lineAt(row.row);
    return positionInRow(row, line.cursorToX(line.textStart() + line.textLength()));
}

qsizetype TextNavigator::moveByRows(qsizetype position, int rows, qreal x)
{
    VisualRow row = rowOf(position);
    for (; rows > 0; --rows) {
        const std::optional<VisualRow> next = nextRow(row);
        if (!next)
            return m_layouts.text().length();
        row = *next;
    }
    for (; rows < 0; ++rows) {
        const std::optional<VisualRow> previous = previousRow(row);
        if (!previous)
            return 0;
        row = *previous;
    }
    return positionInRow(row, x);
}

std::pair<qsizetype, qsizetype> TextNavigator::wordAt(qsizetype position)
{
    const TextBlock block = m_layouts.blockAt(position);
    const qsizetype start = m_layouts.blockStart(block);
    const QString text = m_layouts.text().text(start, m_layouts.blockLength(block));
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, text);
    words.setPosition(int(position - start));
    if (position - start == text.size() && position > start)
        words.toPreviousBoundary();
    const qsizetype from = words.isAtBoundary() ? words.position() : words.toPreviousBoundary();
    const qsizetype to = words.toNextBoundary();
    if (from < 0 || to < 0)
        return {position, position};
    return {start + from, start + to};
}

std::pair<qsizetype, qsizetype> TextNavigator::lineAt(qsizetype position)
{
    const LineSpan span = LineSegments::span(m_layouts.text(), m_layouts.text().lineAt(position));
    return {span.start, span.start + span.length + span.breakLength};
}
