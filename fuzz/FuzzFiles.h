#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QString>
#include <QTemporaryDir>

// Settings files for the targets that read them: a fresh name for every input, because QSettings
// keeps parsed files by name and may not notice a rewrite within the same instant.
namespace FuzzFiles {

inline QString write(const QByteArray &contents)
{
    // Memory rather than disk where there is a choice: QSettings syncs every file it writes.
    static QTemporaryDir folder(QFileInfo(QStringLiteral("/dev/shm")).isDir()
            ? QStringLiteral("/dev/shm/scrivlet-fuzz-XXXXXX")
            : QDir::tempPath() + QStringLiteral("/scrivlet-fuzz-XXXXXX"));
    static quint64 counter = 0;
    const QString path = folder.path() + QStringLiteral("/input-%1.conf").arg(++counter);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(contents);
    return path;
}

// The file, and the copy kept of it when it could not be read whole (its name is fresh, so
// there is at most one).
inline void remove(const QString &path)
{
    QFile::remove(path);
    QFile::remove(path + QStringLiteral(".unreadable"));
}

// Both programs read these files with an application object in place, and QSettings may have to
// decode a value stored as an @Variant of a GUI type (a QPixmap, say): without any application
// object Qt aborts there. The extension runs a QCoreApplication, the editor a QApplication.
// Garbage inputs make the programs warn on every run; writing that out would slow the fuzzer.
inline void silenceWarnings()
{
    QLoggingCategory::setFilterRules(QStringLiteral("scrivlet.*=false"));
}

inline void startCoreApplication()
{
    silenceWarnings();
    static int argc = 1;
    static char name[] = "scrivlet-fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

// Offscreen, so no display is needed.
inline void startGuiApplication()
{
    silenceWarnings();
    static int argc = 3;
    static char name[] = "scrivlet-fuzz", option[] = "-platform", platform[] = "offscreen";
    static char *argv[] = {name, option, platform, nullptr};
    static QGuiApplication application(argc, argv);
}

} // namespace FuzzFiles
