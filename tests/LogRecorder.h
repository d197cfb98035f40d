#pragma once

#include "SystemLog.h"

#include <QStringList>

// Collects what is written to the system log while it exists.
class LogRecorder
{
public:
    LogRecorder()
        : m_previous(SystemLog::setSink([this](const QString &line) { lines.append(line); }))
    { }
    ~LogRecorder() { SystemLog::setSink(std::move(m_previous)); }
    Q_DISABLE_COPY_MOVE(LogRecorder)

    QStringList lines;

private:
    SystemLog::Sink m_previous;
};
