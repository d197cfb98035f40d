#pragma once

#include <QProcess>
#include <QString>

// A session bus of the test's own (dbus-daemon): it listens in a private folder, lets everyone
// own names and never starts services, so nothing installed on the machine can answer in our
// editor's place. Once started, this process and its children use it as their session bus.
class PrivateSessionBus
{
public:
    PrivateSessionBus() = default;
    ~PrivateSessionBus() { stop(); }
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    // Starts the daemon with its socket in `folder`; the bus's address, or "" with `error` set.
    QString start(const QString &folder, QString &error);
    void stop();

private:
    QProcess m_daemon;
};
