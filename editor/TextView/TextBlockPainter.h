#pragma once

#include "TextLayoutCache.h"

#include <QPalette>
#include <QTextCharFormat>

#include <functional>
#include <vector>

class QPainter;

// Draws one laid-out block of the view: the text in the palette's colours, the highlights under
// the selection, a selected line break as the rest of its row, and the caret.
class TextBlockPainter
{
public:
    // Text shown with a format of its own, never part of the document (find matches).
    struct Highlight
    {
        qsizetype start = 0;
        qsizetype length = 0;
        QTextCharFormat format;
    };
    // The highlights that meet [start, end), asked for each block painted, so that a million
    // matches cost only the ones on screen.
    using HighlightSource = std::function<std::vector<Highlight>(qsizetype start, qsizetype end)>;

    // What the view shows besides the text.
    struct Marks
    {
        qsizetype selectionStart = 0;
        qsizetype selectionEnd = 0;
        // -1 when no caret is drawn (no focus, or the blink's off phase).
        qsizetype caret = -1;
        int caretWidth = 1;
        const HighlightSource *highlights = nullptr;
    };

    TextBlockPainter(QPainter &painter, const QPalette &palette, qreal rowRight);

    void paint(TextLayoutCache &layouts, TextBlock block, QPointF origin, const QRect &clip,
        const Marks &marks);

private:
    void paintBreakSelection(const QTextLayout &layout, QPointF origin);

    QPainter &m_painter;
    const QPalette &m_palette;
    qreal m_rowRight;
};
