// Starts up the way scrivlet's main() does, up to where the program would show its windows, and
// prints the role it took ("primary", "alone"; nothing when it handed over). tst_SingleInstance
// runs it as the second process.
#include "CommandLine.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QDir>

#include <chrono>
#include <cstdio>

int main(int argc, char *argv[])
{
    if (const std::optional<int> exitCode = CommandLine::answerBeforeApplication(argc, argv))
        return *exitCode;
    QApplication app(argc, argv);
    const CommandLine commandLine
        = CommandLine::parse(QApplication::arguments(), QDir::currentPath());
    if (const std::optional<int> exitCode = commandLine.report())
        return *exitCode;

    SingleInstance instance;
    if (const int timeout = qEnvironmentVariableIntValue("SCRIVLET_PROBE_TIMEOUT_MS"); timeout > 0)
        instance.setCallTimeout(std::chrono::milliseconds(timeout));
    switch (instance.start(commandLine.openArguments())) {
    case SingleInstance::Role::Forwarded:
        return 0;
    case SingleInstance::Role::Primary:
        std::puts("primary");
        return 0;
    default:
        std::puts("alone");
        return 0;
    }
}
