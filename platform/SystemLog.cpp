#include "SystemLog.h"

#include <QCoreApplication>

#include <utility>

#include <syslog.h>

#ifdef SCRIVLET_HAVE_SYSTEMD
#include <systemd/sd-journal.h>
#endif

namespace {

SystemLog::Sink &installedSink()
{
    static SystemLog::Sink sink;
    return sink;
}

QByteArray identifier()
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QByteArrayLiteral("scrivlet") : name.toUtf8();
}

void writeToSystemLog(const QString &line)
{
    const QByteArray message = line.toUtf8();
    const QByteArray name = identifier();
#ifdef SCRIVLET_HAVE_SYSTEMD
    if (sd_journal_send("MESSAGE=%s", message.constData(), "PRIORITY=%i", LOG_NOTICE,
            "SYSLOG_IDENTIFIER=%s", name.constData(), nullptr)
        >= 0)
        return;
#endif
    // Without a journal: syslog keeps the identifier pointer, so it must outlive the call.
    static const QByteArray syslogName = name;
    openlog(syslogName.constData(), LOG_PID, LOG_USER);
    syslog(LOG_NOTICE, "%s", message.constData());
}

} // namespace

void SystemLog::write(const QString &line)
{
    if (installedSink())
        installedSink()(line);
    else
        writeToSystemLog(line);
}

SystemLog::Sink SystemLog::setSink(Sink sink)
{
    return std::exchange(installedSink(), std::move(sink));
}
