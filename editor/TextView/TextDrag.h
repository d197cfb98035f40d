#pragma once

#include <QPoint>

#include <optional>
#include <utility>

class QDropEvent;
class QMouseEvent;
class TextView;

// Dragging the selected text, as QPlainTextEdit did. A press inside the selection keeps it; moving
// the mouse past the drag distance then drags its text (a move, or a copy with Ctrl, as the
// platform's drag decides), and a release without moving puts the caret there. Text dropped on
// the view goes in where it is dropped, with the caret after it; a move within the same view
// takes it from where it was in the same step, so one undo puts it back.
class TextDrag
{
public:
    explicit TextDrag(TextView &view)
        : m_view(view)
    { }

    // Each returns whether it took the event, which the view's own mouse handling then skips.
    bool press(QMouseEvent *event);
    bool move(QMouseEvent *event);
    bool release(QMouseEvent *event);
    bool drop(QDropEvent *event);

private:
    void start();

    TextView &m_view;
    std::optional<QPoint> m_pressedAt;
    // The selection under way in a drag from this view: a move dropped elsewhere removes it, one
    // dropped on this view moves it there (and clears this).
    std::optional<std::pair<qsizetype, qsizetype>> m_dragged;
};
