#include "FolderBookmark.h"

#include <QDataStream>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

namespace {

// "SBK1": the first layout; a record with another tag resolves to nothing.
constexpr quint32 recordTag = 0x53424B31;

struct FolderIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
};

std::optional<FolderIdentity> identityOf(const QByteArray &encodedPath, int &error)
{
    struct stat status;
    if (::stat(encodedPath.constData(), &status) != 0) {
        error = errno;
        return std::nullopt;
    }
    if (!S_ISDIR(status.st_mode)) {
        error = ENOTDIR;
        return std::nullopt;
    }
    return FolderIdentity {quint64(status.st_dev), quint64(status.st_ino)};
}

} // namespace

QByteArray FolderBookmark::create(const QString &folderPath, QString &error)
{
    if (!QDir::isAbsolutePath(folderPath)) {
        error = QStringLiteral("The folder path is not absolute.");
        return {};
    }
    const QByteArray encodedPath = QFile::encodeName(folderPath);
    int errorNumber = 0;
    const std::optional<FolderIdentity> identity = identityOf(encodedPath, errorNumber);
    if (!identity) {
        error = QString::fromLocal8Bit(std::strerror(errorNumber));
        return {};
    }
    QByteArray bookmark;
    QDataStream stream(&bookmark, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_4);
    stream << recordTag << identity->device << identity->inode << encodedPath;
    return bookmark;
}

std::optional<FolderBookmark::Resolved> FolderBookmark::resolve(const QByteArray &bookmark)
{
    QDataStream stream(bookmark);
    stream.setVersion(QDataStream::Qt_6_4);
    quint32 tag = 0;
    FolderIdentity stored;
    QByteArray encodedPath;
    stream >> tag >> stored.device >> stored.inode >> encodedPath;
    if (stream.status() != QDataStream::Ok || !stream.atEnd() || tag != recordTag)
        return std::nullopt;
    // create() only records absolute paths. Anything else would be read against the current
    // folder, or cut short at a NUL by the system, and name another folder than it says.
    if (!encodedPath.startsWith('/') || encodedPath.contains('\0'))
        return std::nullopt;
    int errorNumber = 0;
    const std::optional<FolderIdentity> current = identityOf(encodedPath, errorNumber);
    if (!current)
        return std::nullopt;
    const bool stale = current->device != stored.device || current->inode != stored.inode;
    return Resolved {QFile::decodeName(encodedPath), stale};
}

QString FolderBookmark::standardizedPath(const QString &path)
{
    QString clean = QDir::cleanPath(path);
    // Above the root there is only the root again.
    while (clean == u"/.." || clean.startsWith(u"/../"))
        clean = clean.size() == 3 ? QStringLiteral("/") : clean.mid(3);
    return clean;
}
