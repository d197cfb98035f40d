#include "ReturnPressesButtons.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>

void ReturnPressesButtons::install(QWidget *window)
{
    window->installEventFilter(new ReturnPressesButtons(window));
}

ReturnPressesButtons::ReturnPressesButtons(QWidget *window)
    : QObject(window)
    , m_window(window)
{ }

// The button ignored the key, so it travels up to the window, where the filter sees it; a field
// that uses Return (the font size, the search) has taken it before.
bool ReturnPressesButtons::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window || event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    QWidget *focused = m_window->focusWidget();
    auto *button = qobject_cast<QAbstractButton *>(focused);
    if (!button || !(qobject_cast<QPushButton *>(button) || qobject_cast<QToolButton *>(button))
        || !button->isEnabled() || !button->isVisible())
        return false;
    button->animateClick();
    return true;
}
