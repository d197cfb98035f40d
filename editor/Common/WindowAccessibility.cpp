#include "WindowAccessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace {

// Qt asks the factory for each class of a widget from the most derived up; a subclass with an
// interface of its own (a dialog, a main window) is answered before "QWidget" is reached.
QAccessibleInterface *createAccessible(const QString &className, QObject *object)
{
    if (className != QLatin1String("QWidget") || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (!widget->isWindow() || widget->windowType() != Qt::Window)
        return nullptr;
    return new QAccessibleWidget(widget, QAccessible::Window);
}

} // namespace

namespace WindowAccessibility {

void install()
{
    static const bool installed = [] {
        QAccessible::installFactory(createAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace WindowAccessibility
