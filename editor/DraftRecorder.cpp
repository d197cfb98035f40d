#include "DraftRecorder.h"

#include "DocumentTextAccess.h"

#include <QLoggingCategory>
#include <QTextDocument>
#include <QUuid>

#include <algorithm>
#include <utility>

namespace {

Q_LOGGING_CATEGORY(lcDrafts, "scrivlet.drafts")

} // namespace

DraftRecorder::DraftRecorder(QTextDocument *document, const DraftStore &store, QObject *parent)
    : QObject(parent)
    , m_document(document)
    , m_store(store)
{
    m_flushTimer.setSingleShot(true);
    m_flushTimer.setInterval(flushDelayMilliseconds);
    connect(&m_flushTimer, &QTimer::timeout, this, &DraftRecorder::flush);
    connect(document, &QTextDocument::contentsChange, this, &DraftRecorder::onContentsChange);
}

void DraftRecorder::startFrom(const QString &path)
{
    discard();
    m_basePath = path;
    m_baseStamp = path.isEmpty() ? FileStamp() : FileStamp::of(path);
    m_length = documentLength();
    m_recording = true;
}

void DraftRecorder::continueDraft(const DraftStore::Draft &draft)
{
    m_pending.clear();
    m_draft = draft;
    m_basePath = draft.filePath;
    m_length = documentLength();
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
    return m_document ? m_document->characterCount() - 1 : 0;
}

QString DraftRecorder::documentText(qsizetype position, qsizetype count) const
{
    return DocumentTextAccess(m_document.data()).read(position, count);
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
    } else if (length <= m_snapshotLimit || m_baseStamp != FileStamp::of(m_basePath)) {
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

// Qt's counts are not the edit itself: they may take in the paragraph separator after the last
// line, which is no text (Return on an empty last line first reports that separator as removed
// and added again), and an edit block reports the span of all its edits. What the edit inserted
// is the reported span within the text; what it removed follows from the lengths before and
// after, so every note replays exactly on the text the notes before it left.
void DraftRecorder::onContentsChange(int position, int /*removed*/, int added)
{
    const qsizetype length = documentLength();
    const qsizetype before = std::exchange(m_length, length);
    if (!m_recording || !m_document)
        return;
    const qsizetype inserted
        = std::clamp<qsizetype>(added, 0, std::max<qsizetype>(0, length - position));
    DraftStore::Edit edit {position, inserted - (length - before), {}};
    if (position < 0 || position > length || edit.removed < 0 || position + edit.removed > before) {
        qCWarning(lcDrafts,
            "Change at %d (%d added) does not fit the text of %lld characters; noting it whole",
            position, added, qint64(before));
        edit = {0, before, documentText(0, length)};
    } else if (edit.removed == 0 && inserted == 0) {
        return; // only a format changed
    } else {
        edit.inserted = documentText(position, inserted);
    }
    if (!hasDraft() && !beginDraft())
        return; // the snapshot holds this edit
    m_pending.append(edit);
    // Not restarted by later edits: steady typing must not keep its notes from the disk.
    if (!m_flushTimer.isActive())
        m_flushTimer.start();
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
