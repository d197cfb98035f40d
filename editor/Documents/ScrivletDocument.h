#pragma once

#include "DocumentError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The document of one window: the whole text of a file, and the codec between that text and the
// file's bytes. Files are read as UTF-16 when a byte-order mark says so, else as UTF-8 or, failing
// that, as ISO Latin 1, Windows-1252 or Mac OS Roman; they are always saved as UTF-8 with LF line
// endings. A UTF-8 byte-order mark is text like any other (U+FEFF), so it is saved back as read.
//
// Nothing here keeps state between calls, so every function may run on any thread; large files
// are read and decoded on a worker.
class ScrivletDocument
{
public:
    ScrivletDocument() = default;
    explicit ScrivletDocument(QString initialText);

    // Follows symlinks; a file larger than memory allows (MemoryBudget) fails with
    // fileReadTooLarge before it is read, and so does one that grows past that while it is read;
    // anything but a regular file fails with fileReadCorruptFile before it is
    // opened, so a FIFO or a device is never waited on.
    static DocumentResult<ScrivletDocument> read(const QString &path);
    // The file's bytes, read as read() reads them (same checks, same errors).
    static DocumentResult<QByteArray> readBytes(const QString &path);
    // A file opened for reading as read() opens it (same checks, same errors); the caller reads
    // and closes the descriptor, so that a loader can read it a block at a time.
    struct OpenFile
    {
        int descriptor = -1;
        qint64 size = 0;
        // The memory available when it was opened: a file that grows past what it allows
        // (MemoryBudget::largestFileFor) is refused as too large.
        qint64 available = 0;
    };
    static DocumentResult<OpenFile> openForReading(const QString &path);
    // The error read() reports for a failed read(2) with `error` (an errno value).
    static DocumentError readError(int error);
    // The error read() reports for a file of `size` bytes when `available` bytes of memory do
    // not hold it.
    static DocumentError tooLargeError(qint64 size, qint64 available);
    // What read() would say about `path` without reading it: a missing, unreadable or special
    // file. Nothing when the file may be read.
    static std::optional<DocumentError> checkReadable(const QString &path);

    // The first of UTF-16 (well-formed, after an FF FE or FE FF byte-order mark, which is
    // dropped), UTF-8, ISO Latin 1, Windows-1252 and Mac OS Roman that decodes all of the bytes.
    // Nothing else is stripped or converted: a UTF-8 byte-order mark stays as U+FEFF and CR
    // stays CR.
    static DocumentResult<QString> decodeText(QByteArrayView bytes);
    // Strict UTF-8, the decoder decodeText() tries after UTF-16: nothing for malformed bytes.
    // Valid UTF-8 cut between two sequences decodes piece by piece to the same text.
    static std::optional<QString> decodeStrictUtf8(QByteArrayView bytes);
    // The same into `out`, which has room for a code unit per byte (some past the text may be
    // overwritten): the units of text written. Lets a loader decode a file piece by piece into
    // text of its own.
    static std::optional<qsizetype> decodeStrictUtf8(QByteArrayView bytes, char16_t *out);
    // `units` uninitialized code units, for decoding into: a large one gets huge pages.
    static QString textToDecodeInto(qsizetype units);

    // CR and CR LF become LF. Every LF stays, the last one too: a file that ended with a line
    // break still ends with one when it is saved.
    static QString normalizeLineEndings(const QString &text);

    // The bytes to save for `text`; fails with fileWriteInapplicableStringEncoding when it holds
    // an unpaired surrogate.
    static DocumentResult<QByteArray> encodeForSave(const QString &text);
    // Strict UTF-8 of `text` as it is (no line-ending change); nothing for an unpaired surrogate.
    static std::optional<QByteArray> encodeUtf8(QStringView text);

    DocumentResult<QByteArray> fileContents() const { return encodeForSave(text); }

    friend bool operator==(const ScrivletDocument &, const ScrivletDocument &) = default;

    QString text;
};
