#include "AccessibleRole.h"

#include <QAccessibleWidget>
#include <QVariant>
#include <QWidget>

namespace {

constexpr char roleProperty[] = "scrivletAccessibleRole";

QAccessibleInterface *createAccessible(const QString &, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    const QVariant role = object->property(roleProperty);
    if (!role.isValid())
        return nullptr;
    return new QAccessibleWidget(
        static_cast<QWidget *>(object), static_cast<QAccessible::Role>(role.toInt()));
}

} // namespace

namespace AccessibleRole {

void set(QWidget *widget, QAccessible::Role role)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(createAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    widget->setProperty(roleProperty, int(role));
}

} // namespace AccessibleRole
