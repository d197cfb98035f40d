#include "ApplicationAdaptor.h"

ApplicationAdaptor::ApplicationAdaptor(QObject *exportedObject)
    : QDBusAbstractAdaptor(exportedObject)
{ }

void ApplicationAdaptor::Activate(const QVariantMap &platformData)
{
    emit activateCalled(platformData);
}

void ApplicationAdaptor::Open(const QStringList &uris, const QVariantMap &platformData)
{
    emit openCalled(uris, platformData);
}

void ApplicationAdaptor::ActivateAction(
    const QString &actionName, const QVariantList &parameter, const QVariantMap &platformData)
{
    // The editor's actions ("new-document") take no parameter.
    Q_UNUSED(parameter)
    emit activateActionCalled(actionName, platformData);
}
