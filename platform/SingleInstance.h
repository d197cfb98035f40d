#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <chrono>
#include <functional>

class ApplicationAdaptor;

// One editor per user session. The first process owns the bus name SCRIVLET_APP_ID and serves
// org.freedesktop.Application; a later process hands its files and URLs to that one and exits.
// Without a session bus, or when the running editor does not answer, a process runs on its own.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role { Undecided, Primary, Forwarded, Alone };

    // Long enough for an editor that is busy for a moment, short enough that a hung one does not
    // leave the user waiting for long before this process opens the files itself.
    static constexpr std::chrono::milliseconds defaultCallTimeout {10000};

    explicit SingleInstance(const QDBusConnection &connection = QDBusConnection::sessionBus(),
        QObject *parent = nullptr);
    ~SingleInstance() override;

    // Becomes the session's editor, or hands `openArguments` (absolute paths and scrivlet: URLs,
    // as CommandLine gives them) to the one already running. Requests that arrive later are
    // emitted from the event loop, so the signals may be connected after start(), and never
    // while a modal dialog is open: they wait for it to close, and are emitted in turn.
    Role start(const QStringList &openArguments);
    Role role() const { return m_role; }

    // The two halves of start(), for callers that decide themselves.
    bool claim();
    bool forwardToPrimary(const QStringList &openArguments);

    void setCallTimeout(std::chrono::milliseconds timeout) { m_callTimeout = timeout; }

    static QString serviceName();
    static QString objectPath();

signals:
    void activateRequested();
    // Absolute file paths and scrivlet: URLs, in the order the caller gave them.
    void openRequested(const QStringList &arguments);
    // A desktop-file action, such as "new-document".
    void actionRequested(const QString &name);

private:
    void enqueue(std::function<void()> request);
    void dispatchPending();
    void handleActivate(const QVariantMap &platformData);
    void handleOpen(const QStringList &uris, const QVariantMap &platformData);
    void handleAction(const QString &name, const QVariantMap &platformData);

    QDBusConnection m_connection;
    ApplicationAdaptor *m_adaptor;
    Role m_role = Role::Undecided;
    std::chrono::milliseconds m_callTimeout = defaultCallTimeout;
    // Requests not handled yet, in the order they came; they wait while a modal dialog is open.
    QList<std::function<void()>> m_pending;
    QTimer m_waitForModal;
    bool m_dispatching = false;
};
