#include "TextDocumentSaver.h"

#include "TextDocument.h"
#include "TextDocumentAccess.h"

#include <QThread>

#include <memory>
#include <optional>

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
    const quint64 state = m_document->markSaveState();
    auto result = std::make_shared<std::optional<DocumentResult<FileStamp>>>();
    m_worker
        = QThread::create([writer = m_writer, text = SnapshotTextAccess(m_document->snapshot()),
                              path, result] { result->emplace(writer.save(text, path)); });
    connect(m_worker, &QThread::finished, this, [this, state, result] {
        m_worker->deleteLater();
        m_worker = nullptr;
        const DocumentResult<FileStamp> &written = **result;
        if (!written) {
            emit failed(written.error());
            return;
        }
        if (m_document)
            m_document->markSaved(state);
        emit saved(*written);
    });
    m_worker->start();
    return true;
}
