#pragma once

#include <QString>

#include <optional>

// The URL by which the file-manager extension hands a folder to the editor when it cannot write
// there itself: "scrivlet://new-file?path=" followed by the percent-encoded folder path.
//
// The value is encoded with the characters a URL query allows, except that "&", "=", "+" and
// ";" are escaped as well: the editor splits the query at "&" and "=", so a folder named
// "Tom & Jerry" would otherwise arrive cut short.
class NewFileUrl
{
public:
    // Nothing when the path cannot be written as UTF-8 (it holds a lone surrogate).
    static std::optional<QString> build(const QString &folderPath);
    static QString encodePath(const QString &folderPath);

    // The decoded value of the first "path" item of a request; nothing when the text is no
    // request: another scheme or host (both compared exactly), no "path" item, or one written
    // without "=". The value is returned as received, also when it is empty or relative.
    static std::optional<QString> folderPath(const QString &url);

    // Why a requested folder cannot be used as it stands, or nothing when it can: the path must
    // be absolute (a relative one would be taken against wherever the editor happens to run) and
    // hold no NUL character (the system would read the path cut short at it).
    static std::optional<QString> folderProblem(const QString &folderPath);
};
