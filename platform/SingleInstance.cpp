#include "SingleInstance.h"

#include "ApplicationAdaptor.h"
#include "CommandLine.h"

#include <QDBusMessage>
#include <QGuiApplication>

using namespace Qt::StringLiterals;

namespace {

const QString applicationInterface = u"org.freedesktop.Application"_s;

// RequestName's flag and answers, from the freedesktop.org D-Bus specification.
constexpr uint doNotQueue = 4;
constexpr uint primaryOwner = 1;
constexpr uint alreadyOwner = 4;

QDBusMessage busDaemonCall(const QString &method, const QString &name)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s, u"org.freedesktop.DBus"_s, method);
    call << name;
    return call;
}

// What launchers pass along so that the window raised in the running editor may take the focus
// (Wayland's activation token, X11's startup id), as GApplication sends it.
QVariantMap platformDataFromEnvironment()
{
    QVariantMap data;
    if (const QString id = qEnvironmentVariable("DESKTOP_STARTUP_ID"); !id.isEmpty())
        data.insert(u"desktop-startup-id"_s, id);
    if (const QString token = qEnvironmentVariable("XDG_ACTIVATION_TOKEN"); !token.isEmpty())
        data.insert(u"activation-token"_s, token);
    return data;
}

// Qt's Wayland windows use (and then clear) this variable when they ask to be activated.
void adoptActivationToken(const QVariantMap &platformData)
{
    const QString token = platformData.value(u"activation-token"_s).toString();
    if (!token.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
}

} // namespace

SingleInstance::SingleInstance(const QDBusConnection &connection, QObject *parent)
    : QObject(parent)
    , m_connection(connection)
    , m_adaptor(new ApplicationAdaptor(this))
{
    connect(m_adaptor, &ApplicationAdaptor::activateCalled, this,
        [this](const QVariantMap &data) { enqueue([this, data] { handleActivate(data); }); });
    connect(m_adaptor, &ApplicationAdaptor::openCalled, this,
        [this](const QStringList &uris, const QVariantMap &data) {
            enqueue([this, uris, data] { handleOpen(uris, data); });
        });
    connect(m_adaptor, &ApplicationAdaptor::activateActionCalled, this,
        [this](const QString &name, const QVariantMap &data) {
            enqueue([this, name, data] { handleAction(name, data); });
        });
    m_waitForModal.setSingleShot(true);
    m_waitForModal.setInterval(100);
    connect(&m_waitForModal, &QTimer::timeout, this, &SingleInstance::dispatchPending);
}

SingleInstance::~SingleInstance()
{
    if (m_role != Role::Primary)
        return;
    m_connection.unregisterObject(objectPath());
    // Not waited for: the bus releases the name with the connection anyway.
    m_connection.send(busDaemonCall(u"ReleaseName"_s, serviceName()));
}

SingleInstance::Role SingleInstance::start(const QStringList &openArguments)
{
    if (!m_connection.isConnected()) {
        qInfo("Scrivlet: no session bus (%s); running on its own",
            qPrintable(m_connection.lastError().message()));
        m_role = Role::Alone;
    } else if (!claim()) {
        m_role = forwardToPrimary(openArguments) ? Role::Forwarded : Role::Alone;
    }
    return m_role;
}

bool SingleInstance::claim()
{
    if (!m_connection.isConnected())
        return false;
    if (!m_connection.registerObject(objectPath(), this, QDBusConnection::ExportAdaptors)) {
        qWarning("Scrivlet: cannot export %s on the session bus; running on its own",
            qPrintable(objectPath()));
        return false;
    }
    QDBusMessage request = busDaemonCall(u"RequestName"_s, serviceName());
    request << doNotQueue;
    const QDBusMessage reply = m_connection.call(request, QDBus::Block, int(m_callTimeout.count()));
    const uint answer = reply.arguments().value(0).toUInt();
    if (reply.type() == QDBusMessage::ReplyMessage
        && (answer == primaryOwner || answer == alreadyOwner)) {
        m_role = Role::Primary;
        return true;
    }
    if (reply.type() == QDBusMessage::ErrorMessage) {
        qWarning("Scrivlet: cannot claim %s (%s)", qPrintable(serviceName()),
            qPrintable(reply.errorMessage()));
    }
    m_connection.unregisterObject(objectPath());
    return false;
}

bool SingleInstance::forwardToPrimary(const QStringList &openArguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName(), objectPath(),
        applicationInterface, openArguments.isEmpty() ? u"Activate"_s : u"Open"_s);
    if (!openArguments.isEmpty()) {
        QStringList uris;
        for (const QString &argument : openArguments)
            uris.append(CommandLine::toUri(argument));
        call << uris;
    }
    call << platformDataFromEnvironment();
    // Only a running editor may answer; the bus must not start one for us.
    call.setAutoStartService(false);
    const QDBusMessage reply = m_connection.call(call, QDBus::Block, int(m_callTimeout.count()));
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qWarning("Scrivlet: the running Scrivlet did not answer (%s); running on its own",
            qPrintable(reply.errorMessage()));
        return false;
    }
    return true;
}

QString SingleInstance::serviceName()
{
    return QStringLiteral(SCRIVLET_APP_ID);
}

QString SingleInstance::objectPath()
{
    QString path = u'/' + serviceName();
    path.replace(u'.', u'/').replace(u'-', u'_');
    return path;
}

void SingleInstance::enqueue(std::function<void()> request)
{
    m_pending.append(std::move(request));
    // From the event loop: the caller gets its reply first, so a request that ends in a modal
    // question cannot make the calling process give up waiting and open the files a second time.
    QMetaObject::invokeMethod(this, &SingleInstance::dispatchPending, Qt::QueuedConnection);
}

// A modal dialog runs an event loop of its own. A request handled inside it could show another
// dialog, inside which the next request is handled, and so on: a burst of requests for missing
// files would stack alerts (and the stack) without end. So requests wait until no modal dialog
// is open and are then handled one after the other.
void SingleInstance::dispatchPending()
{
    if (m_dispatching)
        return; // an earlier request is still being handled; its loop takes this one next
    m_dispatching = true;
    while (!m_pending.isEmpty()) {
        if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())
            && QGuiApplication::modalWindow()) {
            m_waitForModal.start();
            break;
        }
        const std::function<void()> request = m_pending.takeFirst();
        request();
    }
    m_dispatching = false;
}

void SingleInstance::handleActivate(const QVariantMap &platformData)
{
    adoptActivationToken(platformData);
    emit activateRequested();
}

void SingleInstance::handleOpen(const QStringList &uris, const QVariantMap &platformData)
{
    QStringList arguments;
    for (const QString &uri : uris) {
        if (const std::optional<QString> argument = CommandLine::fromUri(uri))
            arguments.append(*argument);
        else
            qWarning("Scrivlet: ignoring %s: not a local file or scrivlet: URL", qPrintable(uri));
    }
    adoptActivationToken(platformData);
    if (arguments.isEmpty())
        emit activateRequested();
    else
        emit openRequested(arguments);
}

void SingleInstance::handleAction(const QString &name, const QVariantMap &platformData)
{
    adoptActivationToken(platformData);
    emit actionRequested(name);
}
