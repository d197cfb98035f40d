#pragma once

#include "DocumentError.h"
#include "FileStamp.h"

#include <QByteArrayView>
#include <QString>

#include <functional>

class QIODevice;
class TextAccess;

// Saves a document's text to a file without ever leaving a damaged file behind: the bytes go to a
// temporary file beside the target, which replaces the target only once every byte is written.
// The file's permissions are kept, and a symlink is written through to the file it points to.
class DocumentWriter
{
public:
    // Writes the bytes and says how many were written; the real one is QIODevice::write.
    using WriteFunction = std::function<qint64(QIODevice &, QByteArrayView)>;

    explicit DocumentWriter(WriteFunction write = {});

    // The text, read piece by piece, saved to `path`. On failure the file on disk is unchanged.
    DocumentResult<FileStamp> save(const TextAccess &text, const QString &path) const;

    // The file a save to `path` writes: symlinks followed, also ones whose target does not exist.
    static QString targetOf(const QString &path);

private:
    DocumentResult<FileStamp> writeTo(const TextAccess &text, const QString &target) const;

    WriteFunction m_write;
};
