#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

inline void remove(const QString &path)
{
    QFile::remove(path);
}

} // namespace FuzzFiles
