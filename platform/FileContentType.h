#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// What files with one extension open as on the desktop: a MIME type, plus the extension itself
// when the desktop's MIME database does not know it and Scrivlet has to declare the type before
// it can become the type's default application.
struct FileContentType
{
    QString mimeType;
    // Non-empty when "*.<extension>" must first be added to the user's MIME database.
    QString undeclaredExtension;

    friend bool operator==(const FileContentType &, const FileContentType &) = default;
};

namespace FileContentTypes {

// Lower-case ASCII letters and digits, nothing else: the only extensions that ever reach a file
// name, a MIME glob or the default-application database.
bool isValidExtension(QStringView extension);

// The type the shared MIME database gives "file.<extension>"; application/octet-stream counts
// as no type, and an unknown extension gets the type Scrivlet declares for it. None for an
// extension that is not valid.
std::optional<FileContentType> forExtension(const QString &extension);

// "text" is plain text (shared-mime-info has no glob for it); any other unknown extension gets
// its own type below text/plain, so that becoming its default application does not take over
// every plain-text file.
QString declaredMimeType(const QString &extension);

} // namespace FileContentTypes
