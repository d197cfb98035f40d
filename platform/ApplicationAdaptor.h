#pragma once

#include <QDBusAbstractAdaptor>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

// org.freedesktop.Application on the running editor's object: what desktop launchers, GLib's
// `gapplication` and later Scrivlet processes call. It only passes each call on; the method
// names and argument types are fixed by that interface, hence the capitalised slots.
class ApplicationAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
    // Written out so callers that check signatures and argument names (gdbus, GApplication) see
    // exactly the interface's own description.
    Q_CLASSINFO("D-Bus Introspection",
        "  <interface name=\"org.freedesktop.Application\">\n"
        "    <method name=\"Activate\">\n"
        "      <arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/>\n"
        "    </method>\n"
        "    <method name=\"Open\">\n"
        "      <arg type=\"as\" name=\"uris\" direction=\"in\"/>\n"
        "      <arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/>\n"
        "    </method>\n"
        "    <method name=\"ActivateAction\">\n"
        "      <arg type=\"s\" name=\"action_name\" direction=\"in\"/>\n"
        "      <arg type=\"av\" name=\"parameter\" direction=\"in\"/>\n"
        "      <arg type=\"a{sv}\" name=\"platform_data\" direction=\"in\"/>\n"
        "    </method>\n"
        "  </interface>\n")

public:
    explicit ApplicationAdaptor(QObject *exportedObject);

public slots:
    void Activate(const QVariantMap &platformData);
    void Open(const QStringList &uris, const QVariantMap &platformData);
    void ActivateAction(
        const QString &actionName, const QVariantList &parameter, const QVariantMap &platformData);

signals:
    void activateCalled(const QVariantMap &platformData);
    void openCalled(const QStringList &uris, const QVariantMap &platformData);
    void activateActionCalled(const QString &actionName, const QVariantMap &platformData);
};
