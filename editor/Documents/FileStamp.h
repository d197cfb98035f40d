#pragma once

#include <QDateTime>
#include <QString>

// What a file on disk looked like when the editor last read or wrote it, so that a change made
// by another program can be told apart from the editor's own save.
struct FileStamp
{
    QDateTime modified;
    qint64 size = -1;

    // The stamp of the file at `path` now; an empty stamp when there is no such file.
    static FileStamp of(const QString &path);

    bool exists() const { return size >= 0; }
    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};
