#include "WindowAppearance.h"

#include "AppearanceMode.h"
#include "AppearancePalette.h"
#include "Settings.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

void WindowAppearance::follow(Settings &settings)
{
    if (settings.findChild<WindowAppearance *>(QString(), Qt::FindDirectChildrenOnly))
        return;
    new WindowAppearance(settings);
}

WindowAppearance::WindowAppearance(Settings &settings)
    : QObject(&settings)
    , m_settings(settings)
    , m_appearance(settings.appearanceMode())
{
    qApp->installEventFilter(this);
    connect(&settings, &Settings::changed, this, [this] {
        if (m_settings.appearanceMode() == m_appearance)
            return;
        m_appearance = m_settings.appearanceMode();
        applyToAllWindows();
    });
    applyToAllWindows();
}

bool WindowAppearance::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        if (widget->isWindow())
            apply(widget);
    }
    return false;
}

void WindowAppearance::applyToAllWindows()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        apply(window);
}

// Tooltips keep the palette Qt gives them for the desktop. Setting an equal palette again
// changes nothing, so windows that set their own (document windows) are not disturbed.
void WindowAppearance::apply(QWidget *window) const
{
    const Qt::WindowType type = window->windowType();
    if (type == Qt::ToolTip || type == Qt::Desktop)
        return;
    const ColorScheme scheme = colorSchemeForAppearance(m_appearance);
    if (scheme == ColorScheme::None) {
        if (window->testAttribute(Qt::WA_SetPalette))
            window->setPalette(QPalette());
        return;
    }
    window->setPalette(AppearancePalette::forScheme(scheme));
}
