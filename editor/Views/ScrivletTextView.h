#pragma once

#include "HighlightColors.h"
#include "MatchRange.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QTextBlock>

#include <optional>

class LineNumberGutter;
class QVariantAnimation;

// The editing surface of a document window: a plain-text editor that wraps at its width (never a
// horizontal scroll bar), with the line-number gutter in its left margin, find highlights that
// are display-only, and a short pulse over the current match.
class ScrivletTextView : public QPlainTextEdit
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
    // Ranges past the end of the text are skipped. Only the visible ones are handed to the text
    // layout, so a search with a million matches costs what the screen shows. The view reads
    // `ranges` in place (a copy would make every in-place update of a large list copy it), so
    // the list must stay alive until it is replaced or cleared with nullptr.
    void setMatchHighlights(const MatchList *ranges, std::optional<qsizetype> current);
    // Scrolls so that the range is visible, without moving the cursor, and pulses over it.
    void revealMatch(const MatchRange &range);

    // The line a block shows and whether the block starts it. Normally every block is a line of
    // its own; a long-line display marks the pieces of a cut line in the blocks' user state.
    struct BlockLine
    {
        int number = 0;
        bool startsLine = true;
    };
    static BlockLine lineNumberOf(const QTextBlock &block);

    // Geometry the gutter numbers lines by, in viewport coordinates.
    QTextBlock firstVisibleTextBlock() const { return firstVisibleBlock(); }
    QRectF blockGeometry(const QTextBlock &block) const;
    QPointF textContentOffset() const { return contentOffset(); }

signals:
    // The visible part of the text moved or changed (scrolling, resizing, layout, edits).
    void visibleAreaChanged();
    // Files were dropped on the text; they are opened, not pasted as their names.
    void filesDropped(const QStringList &paths);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool canInsertFromMimeData(const QMimeData *source) const override;
    void dropEvent(QDropEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void updateViewportMargins();
    void refreshVisibleHighlights();
    HighlightColors::Pair highlightFills() const;
    QRectF rangeRect(const MatchRange &range) const;

    LineNumberGutter *m_gutter = nullptr;
    const MatchList *m_matchRanges = nullptr;
    std::optional<qsizetype> m_currentMatch;
    std::optional<MatchRange> m_pulseRange;
    QVariantAnimation *m_pulse = nullptr;
};
