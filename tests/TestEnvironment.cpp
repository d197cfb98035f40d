#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

TestEnvironment::TestEnvironment()
    : m_root(QDir::tempPath() + QStringLiteral("/scrivlet-test-XXXXXX"))
{
    if (!m_root.isValid())
        qFatal("cannot create the temporary test home");
    const QString home = m_root.path();
    const struct
    {
        const char *variable;
        const char *folder;
    } directories[] = {
        {"HOME", ""},
        {"XDG_CONFIG_HOME", "/config"},
        {"XDG_DATA_HOME", "/data"},
        {"XDG_STATE_HOME", "/state"},
        {"XDG_CACHE_HOME", "/cache"},
        {"XDG_RUNTIME_DIR", "/runtime"},
    };
    for (const auto &directory : directories) {
        const QString path = home + QString::fromLatin1(directory.folder);
        QDir().mkpath(path);
        qputenv(directory.variable, QFile::encodeName(path));
    }
    QFile::setPermissions(home + QStringLiteral("/runtime"),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
}
