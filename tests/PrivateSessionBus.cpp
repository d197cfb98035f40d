#include "PrivateSessionBus.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>

namespace {

const char busConfiguration[]
    = "<!DOCTYPE busconfig PUBLIC\n"
      " \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
      " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
      "<busconfig>\n"
      "  <type>session</type>\n"
      "  <listen>unix:dir=%1</listen>\n"
      "  <auth>EXTERNAL</auth>\n"
      "  <policy context=\"default\">\n"
      "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
      "    <allow eavesdrop=\"true\"/>\n"
      "    <allow own=\"*\"/>\n"
      "  </policy>\n"
      "</busconfig>\n";

} // namespace

QString PrivateSessionBus::start(const QString &folder, QString &error)
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        error = QStringLiteral("dbus-daemon is missing (scripts/install-dependencies)");
        return {};
    }
    const QString configPath = folder + QStringLiteral("/bus.conf");
    QFile config(configPath);
    if (!config.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("cannot write %1").arg(configPath);
        return {};
    }
    config.write(QString::fromLatin1(busConfiguration).arg(folder).toUtf8());
    config.close();

    m_daemon.start(daemon,
        {QStringLiteral("--config-file=") + configPath, QStringLiteral("--nofork"),
            QStringLiteral("--print-address")});
    const QDeadlineTimer deadline(10000);
    while (!m_daemon.canReadLine() && !deadline.hasExpired()
        && m_daemon.state() != QProcess::NotRunning)
        m_daemon.waitForReadyRead(int(deadline.remainingTime()));
    if (!m_daemon.canReadLine()) {
        error = QStringLiteral("dbus-daemon did not print its address");
        return {};
    }
    const QByteArray address = m_daemon.readLine().trimmed();
    // Everything this process and its children do goes to the private bus, never the user's.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    qunsetenv("XDG_ACTIVATION_TOKEN");
    qunsetenv("DESKTOP_STARTUP_ID");
    return QString::fromUtf8(address);
}

void PrivateSessionBus::stop()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    m_daemon.waitForFinished(5000);
}
