#include "FileContentType.h"

#include <QMimeDatabase>

#include <algorithm>

namespace FileContentTypes {

bool isValidExtension(QStringView extension)
{
    return !extension.isEmpty() && std::ranges::all_of(extension, [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
    });
}

std::optional<FileContentType> forExtension(const QString &extension)
{
    if (!isValidExtension(extension))
        return std::nullopt;
    const QMimeType known = QMimeDatabase().mimeTypeForFile(
        QStringLiteral("file.") + extension, QMimeDatabase::MatchExtension);
    if (known.isValid() && !known.isDefault())
        return FileContentType {known.name(), QString()};
    return FileContentType {declaredMimeType(extension), extension};
}

QString declaredMimeType(const QString &extension)
{
    if (extension == u"text")
        return QStringLiteral("text/plain");
    return QStringLiteral("text/x-scrivlet-") + extension;
}

} // namespace FileContentTypes
