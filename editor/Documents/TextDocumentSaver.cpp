#include "TextDocumentSaver.h"

#include "TextDocument.h"
#include "TextDocumentAccess.h"

#include <QThread>

#include <optional>

struct TextDocumentSaver::Outcome
{
    std::optional<DocumentResult<FileStamp>> written;
    bool holdsCarriageReturn = false;
};

namespace {

bool holdsCarriageReturn(const TextSnapshot &text)
{
    TextChunkReader chunks = text.chunks();
    for (QStringView chunk = chunks.next(); !chunk.isEmpty(); chunk = chunks.next()) {
        if (chunk.contains(u'\r'))
            return true;
    }
    return false;
}

} // namespace

TextDocumentSaver::TextDocumentSaver(TextDocument *document, DocumentWriter writer, QObject *parent)
    : QObject(parent)
    , m_document(document)
    , m_writer(std::move(writer))
{ }

TextDocumentSaver::~TextDocumentSaver()
{
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
    }
}

bool TextDocumentSaver::save(const QString &path)
{
    if (m_worker || !m_document)
        return false;
    m_savedState = m_document->markSaveState();
    auto outcome = std::make_shared<Outcome>();
    m_outcome = outcome;
    m_worker
        = QThread::create([writer = m_writer, snapshot = m_document->snapshot(), path, outcome] {
              outcome->written.emplace(writer.save(SnapshotTextAccess(snapshot), path));
              // Drafts replay later edits on the file only when it holds the text exactly.
              if (*outcome->written)
                  outcome->holdsCarriageReturn = holdsCarriageReturn(snapshot);
          });
    // A worker whose outcome waitForFinished() took already has nothing left to report.
    connect(m_worker, &QThread::finished, this, [this, outcome] {
        if (m_outcome == outcome)
            finish();
    });
    m_worker->start();
    return true;
}

void TextDocumentSaver::waitForFinished()
{
    if (m_worker)
        finish();
}

void TextDocumentSaver::finish()
{
    m_worker->wait();
    // Its finished() may still be on its way here.
    m_worker->deleteLater();
    m_worker = nullptr;
    const std::shared_ptr<Outcome> outcome = std::exchange(m_outcome, nullptr);
    const DocumentResult<FileStamp> &written = *outcome->written;
    if (!written) {
        emit failed(written.error());
        return;
    }
    if (m_document)
        m_document->markSaved(m_savedState);
    emit saved(*written, !outcome->holdsCarriageReturn);
}
