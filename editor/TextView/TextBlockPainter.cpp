#include "TextBlockPainter.h"

#include <QPainter>
#include <QTextLine>

TextBlockPainter::TextBlockPainter(QPainter &painter, const QPalette &palette, qreal rowRight)
    : m_painter(painter)
    , m_palette(palette)
    , m_rowRight(rowRight)
{ }

void TextBlockPainter::paint(TextLayoutCache &layouts, TextBlock block, QPointF origin,
    const QRect &clip, const Marks &marks)
{
    QTextLayout *layout = layouts.layout(block);
    const qsizetype start = layouts.blockStart(block);
    const qsizetype end = start + layouts.blockLength(block);
    QList<QTextLayout::FormatRange> formats;
    if (marks.highlights && *marks.highlights) {
        for (const Highlight &highlight : (*marks.highlights)(start, end)) {
            const qsizetype from = std::max(highlight.start, start);
            const qsizetype to = std::min(highlight.start + highlight.length, end);
            if (from < to)
                formats.append({int(from - start), int(to - from), highlight.format});
        }
    }
    const bool selected = marks.selectionStart < marks.selectionEnd && marks.selectionStart <= end
        && marks.selectionEnd > start;
    if (selected) {
        const qsizetype from = std::max(marks.selectionStart, start);
        QTextCharFormat format;
        format.setBackground(m_palette.brush(QPalette::Highlight));
        format.setForeground(m_palette.brush(QPalette::HighlightedText));
        formats.append({int(from - start), int(std::min(marks.selectionEnd, end) - from), format});
    }
    m_painter.setPen(m_palette.color(QPalette::Text));
    layout->draw(&m_painter, origin, formats, clip);
    if (selected && marks.selectionEnd > end && layout->lineCount() > 0)
        paintBreakSelection(*layout, origin);
    if (marks.caret < start || marks.caret > end || layouts.blockAt(marks.caret) != block)
        return;
    int column = int(marks.caret - start);
    if (const TextPreedit &preedit = layouts.preedit(); preedit.position == marks.caret) {
        if (!preedit.cursorVisible)
            return;
        column += preedit.cursor;
    }
    layout->drawCursor(&m_painter, origin, column, marks.caretWidth);
}

// A selected line break shows as the rest of its row, as in QPlainTextEdit: right of a
// left-to-right row, left of a right-to-left one.
void TextBlockPainter::paintBreakSelection(const QTextLayout &layout, QPointF origin)
{
    const QTextLine last = layout.lineAt(layout.lineCount() - 1);
    const QRectF text = last.naturalTextRect().translated(origin);
    const bool rightToLeft = layout.textOption().textDirection() == Qt::RightToLeft;
    const qreal from = rightToLeft ? 0 : text.right();
    const qreal to = rightToLeft ? text.left() : m_rowRight;
    m_painter.fillRect(
        QRectF(from, text.top(), to - from, last.height()), m_palette.color(QPalette::Highlight));
}
