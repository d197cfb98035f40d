#pragma once

#include <QString>

#include <functional>

// One-line messages for the system log, from the parts of Scrivlet that have no window to show
// them in (the shared store, the file-manager extension). They go to the systemd journal under
// the program's name, or to syslog where there is no journal. Tests install a sink instead.
class SystemLog
{
public:
    using Sink = std::function<void(const QString &line)>;

    static void write(const QString &line);

    // Replaces where lines go until the returned previous sink is installed again; an empty
    // sink means the system log.
    static Sink setSink(Sink sink);
};
