#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The record that stands for an authorised folder: its path with the device and inode it had
// when it was authorised. Both programs only store, compare and resolve these bytes, so the
// layout may change as long as both read it the same way.
class FolderBookmark
{
public:
    struct Resolved
    {
        QString path;
        // The path now names a different folder (another device or inode) than the one authorised.
        bool stale = false;
    };

    // Empty when `folderPath` names no folder; `error` then says why, as the system puts it.
    static QByteArray create(const QString &folderPath, QString &error);
    // Nothing when the bytes are no bookmark or their path names no folder any more.
    static std::optional<Resolved> resolve(const QByteArray &bookmark);

    // The path with "." and ".." segments and repeated slashes removed, without asking the disk
    // (symlinks are not followed); "/.." is "/".
    static QString standardizedPath(const QString &path);
};
