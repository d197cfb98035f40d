#pragma once

#include "DocumentError.h"
#include "DocumentWriter.h"
#include "FileStamp.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QThread;
class TextDocument;

// Saves a TextDocument on a worker thread from a snapshot taken when the save starts, so that
// neither encoding nor writing holds up the window and typing goes on meanwhile. The file gets
// what DocumentWriter writes for that text (CR LF and CR become LF, UTF-8, a byte-order mark
// kept as read, the file replaced only once every byte is written). Once written, the state the
// snapshot showed becomes the document's saved one: edits made during the save leave it
// modified. A failed save leaves the file as it was and the document modified.
class TextDocumentSaver : public QObject
{
    Q_OBJECT

public:
    explicit TextDocumentSaver(TextDocument *document, DocumentWriter writer = DocumentWriter(),
        QObject *parent = nullptr);
    // Waits for a save under way to end: the file is never left half replaced.
    ~TextDocumentSaver() override;

    // Used from the next save on.
    void setWriter(DocumentWriter writer) { m_writer = std::move(writer); }

    // Starts saving the text as it is now to `path`; false while another save is under way.
    bool save(const QString &path);
    bool isSaving() const { return m_worker != nullptr; }
    // Blocks until the save under way has ended and its outcome has been signalled, for a caller
    // that cannot go on without it (quitting). Returns at once when no save runs.
    void waitForFinished();

signals:
    // `fileHoldsText`: the file holds exactly the text saved, which had no CR to write as LF.
    void saved(const FileStamp &stamp, bool fileHoldsText);
    void failed(const DocumentError &error);

private:
    struct Outcome;

    void finish();

    QPointer<TextDocument> m_document;
    DocumentWriter m_writer;
    QThread *m_worker = nullptr;
    std::shared_ptr<Outcome> m_outcome;
    quint64 m_savedState = 0;
};
