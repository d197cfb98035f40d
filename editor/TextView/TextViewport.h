#pragma once

#include "TextLayoutCache.h"
#include "TextNavigator.h"

#include <QMargins>
#include <QPoint>
#include <QRectF>
#include <QSize>

#include <vector>

// Which rows of the text are on screen and where: the first row shown, kept as a position in its
// block so that edits before it move it, and the geometry of everything below it down to the
// viewport's bottom. Only the blocks shown (and the rows a scroll passes) are ever laid out.
class TextViewport
{
public:
    // A block on screen, with the top left of its layout in viewport coordinates.
    struct ShownBlock
    {
        TextBlock block;
        QPointF origin;
    };

    TextViewport(TextLayoutCache &layouts, TextNavigator &navigator);

    void setSize(QSize size) { m_size = size; }
    QSize size() const { return m_size; }
    // Space between the viewport's edges and the text.
    void setInsets(const QMargins &insets) { m_insets = insets; }
    QMargins insets() const { return m_insets; }
    qreal textWidth() const;

    VisualRow firstRow();
    void setFirstRow(VisualRow row);
    // The block index the vertical scroll bar shows for the first row, and back.
    qsizetype firstBlockIndex();
    void scrollToBlockIndex(qsizetype index);
    void scrollByRows(int rows);
    // Scrolls as little as brings the row of `position` on screen.
    void ensureVisible(qsizetype position);
    // Follows a change of the text; text inserted at the first row comes into view.
    void textChanged(qsizetype position, qsizetype removed, qsizetype added);
    void reset();
    int rowsPerPage() const;

    std::vector<ShownBlock> shownBlocks();
    // The row's height at `position`, as wide as the character there when it is on the same row;
    // `shift` counts preedit units before it. Null when the position is not shown.
    QRectF rectAt(qsizetype position, int shift = 0);
    qsizetype positionAt(QPoint point);

private:
    qreal rowHeight(VisualRow row);

    TextLayoutCache &m_layouts;
    TextNavigator &m_navigator;
    QSize m_size;
    QMargins m_insets {4, 4, 4, 4};
    qsizetype m_topPosition = 0;
    int m_topRow = 0;
};
