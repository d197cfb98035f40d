#pragma once

#include "CaretKeys.h"
#include "TextBlockPainter.h"
#include "TextDocument.h"
#include "TextDrag.h"
#include "TextLayoutCache.h"
#include "TextNavigator.h"
#include "TextViewport.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QMargins>
#include <QPoint>
#include <QPointer>

#include <optional>
#include <vector>

// Scrivlet's text view: shows a TextDocument wrapped at the viewport's width, laying out only the
// rows on screen. It scrolls by rows; the vertical scroll bar counts blocks (lines, and segments
// of the long lines met so far). Every edit goes through TextDocument::replace(), so the
// document's history and its change notification are the one record of what happened.
class TextView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    enum class Anchor { Move, Keep };
    using Highlight = TextBlockPainter::Highlight;
    using HighlightSource = TextBlockPainter::HighlightSource;

    explicit TextView(QWidget *parent = nullptr);
    ~TextView() override;

    void setDocument(TextDocument *document);
    TextDocument *document() const { return m_document; }

    qsizetype cursorPosition() const { return m_position; }
    qsizetype anchorPosition() const { return m_anchor; }
    void setCursorPosition(qsizetype position, Anchor anchor = Anchor::Move);
    bool hasSelection() const { return m_position != m_anchor; }
    qsizetype selectionStart() const { return std::min(m_position, m_anchor); }
    qsizetype selectionEnd() const { return std::max(m_position, m_anchor); }
    QString selectedText() const;
    void selectAll();

    // Space between the viewport's edges and the text.
    void setTextInsets(const QMargins &insets);
    QMargins textInsets() const { return m_viewport.insets(); }
    void setTabStopDistance(qreal distance);
    // A read-only view moves the caret and selects, but neither typing nor undo changes the text.
    void setReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool isReadOnly() const { return m_readOnly; }
    // The highlights change: repaints with what `source` gives; an empty source shows none.
    void setHighlightSource(HighlightSource source);

    // Replaces the selection (or inserts at the caret) as the user typing it would.
    void insertText(QStringView text);
    void undo();
    void redo();
    void copy() const;
    void cut();
    void paste();

    void ensureCaretVisible();
    void scrollByRows(int rows);
    void ensureVisible(qsizetype position);
    // In viewport coordinates; empty when the caret is not on screen.
    QRect caretRect();
    // The character at `position` in viewport coordinates; empty when it is not on screen.
    QRect characterRect(qsizetype position);
    // The text position under a point of the viewport.
    qsizetype positionAt(QPoint point);
    // The first row shown, and the block index the scroll bar shows for it.
    VisualRow firstVisibleRow();
    // The blocks shown, in order, each with the top of its layout in viewport coordinates.
    using ShownBlock = TextViewport::ShownBlock;
    std::vector<ShownBlock> shownBlocks();

    TextLayoutCache &layouts() { return m_layouts; }
    TextNavigator &navigator() { return m_navigator; }
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

signals:
    void cursorPositionChanged();
    void selectionChanged();

protected:
    bool event(QEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    enum class SelectionUnit { Character, Word, Line };

    void insertPasted(QString text);
    void caretAfterInsertion(qsizetype position);
    void onContentsChange(qsizetype position, qsizetype removed, qsizetype added);
    bool moveCaretByKey(QKeyEvent *event);
    qsizetype caretTarget(CaretKeys::Key key, qreal x);
    bool editByKey(QKeyEvent *event);
    void removeTo(qsizetype position);
    void setFirstRow(VisualRow row);
    void syncScrollBar();
    qsizetype blocksPerScrollStep() const;
    void updateWrapWidth();
    void restartBlinking();
    void selectionFinished();
    void extendSelectionTo(qsizetype position);
    void setSelection(qsizetype anchor, qsizetype position);
    QVariant queryInputMethod(Qt::InputMethodQuery query);

    QPointer<TextDocument> m_document;
    TextLayoutCache m_layouts;
    TextNavigator m_navigator {m_layouts};
    qsizetype m_position = 0;
    qsizetype m_anchor = 0;
    // Where Up and Down aim, kept across rows shorter than it.
    qreal m_desiredX = -1;
    TextViewport m_viewport {m_layouts, m_navigator};
    bool m_syncingScrollBar = false;
    int m_wheelRemainder = 0;
    bool m_caretShown = true;
    QBasicTimer m_blinkTimer;
    QBasicTimer m_tripleClickTimer;
    QPoint m_tripleClickPoint;
    SelectionUnit m_selectionUnit = SelectionUnit::Character;
    std::pair<qsizetype, qsizetype> m_selectionOrigin;
    bool m_dragging = false;
    TextDrag m_textDrag {*this};
    // Where dragged text would go, shown instead of the caret while a drag is over the view.
    std::optional<qsizetype> m_dropCaret;
    bool m_readOnly = false;
    HighlightSource m_highlights;
};
