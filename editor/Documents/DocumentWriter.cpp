#include "DocumentWriter.h"

#include "SaveEncoder.h"
#include "StaleSaveFiles.h"
#include "TextAccess.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Text read and encoded per step: large enough to be fast, small next to a huge document.
constexpr qsizetype unitsPerPiece = 1 << 20;

DocumentError errorFromErrno(
    int error, DocumentError::Code otherwise = DocumentError::fileWriteUnknown)
{
    const QString reason = QString::fromLocal8Bit(std::strerror(error));
    switch (error) {
    case EACCES:
    case EPERM:
        return DocumentError(DocumentError::fileWriteNoPermission, reason);
    case EROFS:
        return DocumentError(DocumentError::fileWriteVolumeReadOnly, reason);
    case ENOSPC:
    case EDQUOT:
        return DocumentError(DocumentError::fileWriteOutOfSpace, reason);
    default:
        return DocumentError(otherwise, reason);
    }
}

// Why a file could not be created at `target`, found before trying so the reason is exact.
std::optional<DocumentError> checkWritable(const QString &target)
{
    const QFileInfo info(target);
    if (info.exists() && info.isDir())
        return DocumentError(
            DocumentError::fileWriteUnknown, u"“%1” is a folder."_s.arg(info.fileName()));
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir())
        return DocumentError(DocumentError::fileWriteUnknown,
            u"The folder “%1” does not exist."_s.arg(QDir::toNativeSeparators(folder)));
    // The temporary file is created in the folder, so the folder must be writable.
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0)
        return errorFromErrno(errno);
    return std::nullopt;
}

} // namespace

DocumentWriter::DocumentWriter(WriteFunction write)
    : m_write(write ? std::move(write) : [](QIODevice &device, QByteArrayView bytes) {
        return device.write(bytes.data(), bytes.size());
    })
{ }

QString DocumentWriter::targetOf(const QString &path)
{
    QString target = QFileInfo(path).absoluteFilePath();
    // A bounded walk, as the kernel's: a loop of links ends here as an ordinary failure later.
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(target);
        if (!info.isSymLink())
            return target;
        target = QDir(info.absolutePath()).absoluteFilePath(info.symLinkTarget());
    }
    return target;
}

DocumentResult<FileStamp> DocumentWriter::save(const TextAccess &text, const QString &path) const
{
    const QString target = targetOf(path);
    if (std::optional<DocumentError> problem = checkWritable(target))
        return *problem;
    return writeTo(text, target);
}

DocumentResult<FileStamp> DocumentWriter::writeTo(
    const TextAccess &text, const QString &target) const
{
    const QFileInfo existing(target);
    const bool keepPermissions = existing.exists();
    const QFileDevice::Permissions permissions = existing.permissions();

    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return errorFromErrno(errno);
    if (keepPermissions)
        file.setPermissions(permissions);
    StaleSaveFiles::mark(file.handle());

    SaveEncoder encoder;
    const qsizetype length = text.length();
    for (qsizetype position = 0; position < length;) {
        qsizetype count = std::min(unitsPerPiece, length - position);
        QString piece = text.read(position, count);
        // Never end a piece between the halves of a surrogate pair.
        if (position + count < length && !piece.isEmpty() && piece.back().isHighSurrogate()) {
            piece.chop(1);
            --count;
        }
        position += count;
        DocumentResult<QByteArray> bytes = encoder.encode(piece);
        if (!bytes) {
            file.cancelWriting();
            return bytes.error();
        }
        errno = 0;
        const qint64 written = m_write(file, *bytes);
        if (written != bytes->size()) {
            // A short write is how a full disk shows itself when no error is set.
            const int error = errno;
            file.cancelWriting();
            return errorFromErrno(error != 0 ? error : ENOSPC);
        }
    }
    errno = 0;
    if (!file.commit()) {
        const int error = errno;
        return error != 0 ? errorFromErrno(error)
                          : DocumentError(DocumentError::fileWriteUnknown, file.errorString());
    }
    StaleSaveFiles::clearAfterSave(target);
    return FileStamp::of(target);
}
