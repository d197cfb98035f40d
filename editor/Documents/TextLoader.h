#pragma once

#include "DocumentError.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <memory>

class QThread;
class TextDocument;

// Opens a file into a TextDocument a block at a time: a worker reads 1 MiB of bytes at a time,
// cut where a character ends, decodes them straight into a block of text (1 Mi units first, then
// up to 16 Mi) and hands each full block to the GUI thread, which adds it at the end of the
// document without copying it. The first screenful can be shown after the first block, the
// file's bytes are never held whole, and every code point is kept as decoded (NUL, U+2029, a
// lone CR unless LineBreaks::LineFeeds). Decoding follows ScrivletDocument::decodeText(): when
// the bytes turn out not to be UTF-8 after some blocks were shown, the text is decoded again
// from the start (16 MiB of bytes at a time for the single-byte encodings) and replaces them, so
// the document must stay read-only until finished(). The load is not an undoable edit and
// leaves the document unmodified.
class TextLoader : public QObject
{
    Q_OBJECT

public:
    // The first block is small, so that the first screenful shows after a few milliseconds.
    static constexpr qsizetype firstBlockBytes = 1024 * 1024;
    static constexpr qsizetype blockBytes = 16 * 1024 * 1024;
    // Read and decoded at a time; a character cut at the end waits for the next read.
    static constexpr qsizetype readBytes = 1024 * 1024;

    enum class LineBreaks {
        // Every code point as decoded, CR and CR LF too.
        AsRead,
        // CR LF and CR become LF, as a save writes them, a block at a time as it arrives.
        LineFeeds,
    };

    explicit TextLoader(TextDocument *document, QObject *parent = nullptr);
    ~TextLoader() override;

    // Empties the document and starts reading `path`. Exactly one of finished(), failed() or
    // cancelled() follows.
    void load(const QString &path);
    void cancel();

    // For the loads started from now on.
    void setLineBreaks(LineBreaks lineBreaks) { m_lineBreaks = lineBreaks; }

    bool isLoading() const { return m_loading; }
    // Whether the text read so far holds a NUL character (a binary file, likely).
    bool containsNul() const { return m_containsNul; }
    // Whether saving the loaded text unedited would write other bytes than the file holds: it was
    // not UTF-8 (UTF-16, a single-byte encoding), or it had CR line breaks.
    bool savingChangesBytes() const { return m_savingChangesBytes; }

signals:
    void firstBlockLoaded();
    // Bytes of the file read so far, out of its size when opened.
    void progress(qint64 done, qint64 total);
    void finished();
    void failed(const DocumentError &error);
    void cancelled();

private:
    struct Block;
    struct Shared;

    void take(Block block);
    void end();

    QPointer<TextDocument> m_document;
    QThread *m_reader = nullptr;
    std::shared_ptr<Shared> m_shared;
    bool m_loading = false;
    bool m_shownFirst = false;
    bool m_containsNul = false;
    bool m_savingChangesBytes = false;
    LineBreaks m_lineBreaks = LineBreaks::AsRead;
};
