#pragma once

#include "HighlightColors.h"
#include "MatchRange.h"
#include "TextView.h"

#include <optional>
#include <vector>

class LineNumberGutter;
class LiveMatches;
class QVariantAnimation;

// The editing surface of a document window: Scrivlet's text view over the window's own
// TextDocument, wrapping at its width, with the line-number gutter in its left margin, find
// highlights that are display-only, and a short pulse over the current match.
class ScrivletTextView : public TextView
{
    Q_OBJECT

public:
    // Space between the text and the view's edges.
    static constexpr int horizontalInset = 5;
    static constexpr int verticalInset = 8;

    explicit ScrivletTextView(QWidget *parent = nullptr);
    ~ScrivletTextView() override;

    LineNumberGutter *gutter() const { return m_gutter; }

    // Match highlights: every range in the match colour, the current one in the current colour.
    // Ranges past the end of the text are skipped. Only the ranges in the rows shown are
    // painted, so a search with a million matches costs what the screen shows. The view reads
    // `ranges` in place (a copy would make every in-place update of a large list copy it), so
    // the list must stay alive until it is replaced or cleared with nullptr.
    void setMatchHighlights(const LiveMatches *ranges, std::optional<qsizetype> current);
    // Scrolls so that the range is visible, without moving the cursor, and pulses over it.
    void revealMatch(const MatchRange &range);
    // Scrolls so that the row of `position` is in the middle of the view, where it can be.
    void centerOn(qsizetype position);

    // The line (0-based) the caret is on.
    qsizetype cursorLine() const;

signals:
    // The visible part of the text moved or changed (scrolling, resizing, layout, edits).
    void visibleAreaChanged();
    // Files were dropped on the text; they are opened, not pasted as their names.
    void filesDropped(const QStringList &paths);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    // Where a stretch of text shows: one rectangle per row it covers, in viewport coordinates.
    using RangeRects = std::vector<QRectF>;

    void updateViewportMargins();
    std::vector<Highlight> matchesIn(qsizetype start, qsizetype end) const;
    void paintPulse(QPainter &painter);
    void noteVisibleArea();
    HighlightColors::Pair highlightFills() const;
    static void addRangeRects(
        RangeRects &rects, const QTextLayout &layout, QPointF origin, qsizetype from, qsizetype to);

    // What the gutter's numbers depend on, compared on each paint.
    struct VisibleArea
    {
        VisualRow firstRow;
        qsizetype length = 0;
        qsizetype lines = 0;
        int height = 0;
        qreal wrapWidth = 0;
        qreal rowHeight = 0;
        friend bool operator==(const VisibleArea &, const VisibleArea &) = default;
    };

    TextDocument *m_ownDocument = nullptr;
    LineNumberGutter *m_gutter = nullptr;
    const LiveMatches *m_matchRanges = nullptr;
    std::optional<qsizetype> m_currentMatch;
    std::optional<MatchRange> m_pulseRange;
    QVariantAnimation *m_pulse = nullptr;
    std::optional<VisibleArea> m_visibleArea;
};
