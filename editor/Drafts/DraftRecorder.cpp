#include "DraftRecorder.h"

#include "TextDocument.h"

#include <QUuid>

#include <algorithm>
#include <utility>

DraftRecorder::DraftRecorder(TextDocument *document, const DraftStore &store, QObject *parent)
    : QObject(parent)
    , m_document(document)
    , m_store(store)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(flushDelayMilliseconds);
    connect(&m_flushTimer, &QTimer::timeout, this, &DraftRecorder::flush);
    connect(document, &TextDocument::contentsChange, this, &DraftRecorder::onContentsChange);
}

void DraftRecorder::startFrom(const QString &path, FileForm form)
{
    discard();
    m_basePath = path;
    m_baseForm = form;
    m_baseStamp = path.isEmpty() ? FileStamp() : FileStamp::of(path);
    m_recording = true;
}

void DraftRecorder::saveStarted()
{
    m_sinceSave.emplace();
}

void DraftRecorder::saveSucceeded(const QString &path, bool fileHoldsText)
{
    const QList<DraftStore::Edit> since = m_sinceSave.value_or(QList<DraftStore::Edit>());
    m_sinceSave.reset();
    startFrom(path, fileHoldsText ? FileForm::AsRead : FileForm::Rewritten);
    if (since.isEmpty() || !m_document)
        return;
    // A snapshot base holds the present text, edits made during the save included.
    if (!beginDraft())
        return;
    m_pending = since;
    m_flushTimer.start();
}

void DraftRecorder::saveFailed()
{
    m_sinceSave.reset();
}

void DraftRecorder::continueDraft(const DraftStore::Draft &draft)
{
    m_pending.clear();
    m_draft = draft;
    m_basePath = draft.filePath;
    m_recording = true;
}

void DraftRecorder::pause()
{
    flush();
    m_recording = false;
}

void DraftRecorder::setUntitledName(const QString &name)
{
    m_untitledName = name;
    if (hasDraft() && m_draft.untitledName != name) {
        m_draft.untitledName = name;
        m_store.writeDescription(m_draft);
    }
}

qsizetype DraftRecorder::documentLength() const
{
    return m_document ? m_document->length() : 0;
}

QString DraftRecorder::documentText(qsizetype position, qsizetype count) const
{
    return m_document ? m_document->text(position, count) : QString();
}

// The first edit creates the draft. A small document's base is its whole text as it is now,
// edit included; a large one's is the file it was read from, with the edit as the first note.
bool DraftRecorder::beginDraft()
{
    m_draft = {};
    m_draft.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    m_draft.filePath = m_basePath;
    m_draft.untitledName = m_untitledName;
    const qsizetype length = documentLength();
    if (m_basePath.isEmpty()) {
        m_draft.base = DraftStore::BaseKind::Empty;
    } else if (length <= m_snapshotLimit || m_baseStamp != FileStamp::of(m_basePath)
        || !fileHoldsTheText()) {
        m_draft.base = DraftStore::BaseKind::Snapshot;
        m_store.writeSnapshot(m_draft.id, documentText(0, length));
        m_store.writeDescription(m_draft);
        return false;
    } else {
        m_draft.base = DraftStore::BaseKind::File;
        m_draft.baseStamp = m_baseStamp;
    }
    m_store.writeDescription(m_draft);
    return true;
}

// The document reports each change exactly: what it removed by length, what it inserted as the
// span it now holds, so every note replays exactly on the text the notes before it left.
void DraftRecorder::onContentsChange(qsizetype position, qsizetype removed, qsizetype added)
{
    if (!m_recording || !m_document)
        return;
    const DraftStore::Edit edit {position, removed, documentText(position, added)};
    if (m_sinceSave)
        m_sinceSave->append(edit);
    if (!hasDraft() && !beginDraft())
        return; // the snapshot holds this edit
    m_pending.append(edit);
    // Not restarted by later edits: steady typing must not keep its notes from the disk.
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
}

// A save writes every line break as LF while the document keeps them as typed or read, so a
// saved file is the document's text only when that holds no CR.
bool DraftRecorder::fileHoldsTheText() const
{
    if (m_baseForm == FileForm::AsRead || !m_document)
        return true;
    if (m_baseForm == FileForm::Rewritten)
        return false;
    TextChunkReader chunks = m_document->snapshot().chunks();
    for (QStringView chunk = chunks.next(); !chunk.isEmpty(); chunk = chunks.next()) {
        if (chunk.contains(u'\r'))
            return false;
    }
    return true;
}

bool DraftRecorder::flush()
{
    m_flushTimer.stop();
    if (!hasDraft())
        return true;
    if (!m_pending.isEmpty()) {
        if (!m_store.appendEdits(m_draft.id, m_pending))
            return false;
        m_pending.clear();
    }
    if (m_store.journalSize(m_draft.id) > journalLimit)
        return snapshot();
    return true;
}

// The snapshot becomes a new draft that replaces the current one: until its description is
// written the old draft stays whole, and after that the old one is only waste to remove.
bool DraftRecorder::snapshot()
{
    if (!m_document)
        return false;
    m_flushTimer.stop();
    DraftStore::Draft next = m_draft;
    next.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    next.filePath = m_basePath;
    next.untitledName = m_untitledName;
    next.base = DraftStore::BaseKind::Snapshot;
    next.replaces = hasDraft() ? m_draft.id : QString();
    if (!m_store.writeSnapshot(next.id, documentText(0, documentLength()))
        || !m_store.writeDescription(next)) {
        // The old draft stays current: the edits not yet in its journal go there next time.
        m_store.remove(next.id);
        return false;
    }
    m_pending.clear();
    if (hasDraft())
        m_store.remove(m_draft.id);
    m_draft = next;
    return true;
}

void DraftRecorder::discard()
{
    m_flushTimer.stop();
    m_pending.clear();
    if (hasDraft())
        m_store.remove(m_draft.id);
    m_draft = {};
}
