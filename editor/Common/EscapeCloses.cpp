#include "EscapeCloses.h"

#include <QKeyEvent>
#include <QWidget>

void EscapeCloses::install(QWidget *window, std::function<bool()> firstUse)
{
    window->installEventFilter(new EscapeCloses(window, std::move(firstUse)));
}

EscapeCloses::EscapeCloses(QWidget *window, std::function<bool()> firstUse)
    : QObject(window)
    , m_window(window)
    , m_firstUse(std::move(firstUse))
{ }

// A key a focused control ignored travels up to the window; the filter sees it there, after
// every control had its turn.
bool EscapeCloses::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier)
        return false;
    if (!m_firstUse || !m_firstUse())
        m_window->close();
    return true;
}
