#include "TextDrag.h"

#include "TextDocument.h"
#include "TextView.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>

bool TextDrag::press(QMouseEvent *event)
{
    m_pressedAt.reset();
    if (event->button() != Qt::LeftButton || (event->modifiers() & Qt::ShiftModifier)
        || !m_view.hasSelection())
        return false;
    const qsizetype position = m_view.positionAt(event->position().toPoint());
    if (position < m_view.selectionStart() || position >= m_view.selectionEnd())
        return false;
    m_pressedAt = event->position().toPoint();
    return true;
}

bool TextDrag::move(QMouseEvent *event)
{
    if (!m_pressedAt)
        return false;
    if (!(event->buttons() & Qt::LeftButton)) {
        m_pressedAt.reset();
        return false;
    }
    const QPoint distance = event->position().toPoint() - *m_pressedAt;
    if (distance.manhattanLength() >= QApplication::startDragDistance()) {
        m_pressedAt.reset();
        start();
    }
    return true;
}

bool TextDrag::release(QMouseEvent *event)
{
    if (!std::exchange(m_pressedAt, std::nullopt))
        return false;
    m_view.setCursorPosition(m_view.positionAt(event->position().toPoint()));
    return true;
}

void TextDrag::start()
{
    const QString text = m_view.selectedText();
    auto *data = new QMimeData;
    data->setText(text);
    auto *drag = new QDrag(&m_view);
    drag->setMimeData(data);
    m_dragged = std::pair(m_view.selectionStart(), m_view.selectionEnd());
    const bool editable = !m_view.isReadOnly();
    const QPointer<TextView> view(&m_view);
    const Qt::DropAction done
        = drag->exec(editable ? Qt::CopyAction | Qt::MoveAction : Qt::CopyAction,
            editable ? Qt::MoveAction : Qt::CopyAction);
    // The window may have closed while the drag ran its own event loop.
    if (!view)
        return;
    const auto dragged = std::exchange(m_dragged, std::nullopt);
    TextDocument *document = m_view.document();
    if (done != Qt::MoveAction || !dragged || m_view.isReadOnly() || !document)
        return;
    // Moved to another program or view: taken away here, unless the text changed meanwhile.
    const auto [from, to] = *dragged;
    if (document->text(from, to - from) != text)
        return;
    document->breakTypingCoalescing();
    document->replace(from, to - from, {});
}

bool TextDrag::drop(QDropEvent *event)
{
    TextDocument *document = m_view.document();
    if (m_view.isReadOnly() || !document || !event->mimeData()->hasText())
        return false;
    const QString text = event->mimeData()->text();
    qsizetype at = m_view.positionAt(event->position().toPoint());
    // Only one drag runs at a time, so while this view's own runs, a drop here is that drag.
    const bool moveWithin = m_dragged && event->dropAction() == Qt::MoveAction;
    event->acceptProposedAction();
    document->breakTypingCoalescing();
    if (moveWithin) {
        const auto [from, to] = *std::exchange(m_dragged, std::nullopt);
        // Onto itself: nothing moves.
        if (at >= from && at <= to)
            return true;
        document->beginEditGroup();
        document->replace(from, to - from, {});
        if (at > to)
            at -= to - from;
        document->replace(at, 0, text);
        document->endEditGroup();
    } else {
        document->replace(at, 0, text);
    }
    m_view.setCursorPosition(at + text.size());
    return true;
}
