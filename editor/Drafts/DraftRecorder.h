#pragma once

#include "DraftStore.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <optional>

class TextDocument;

// Keeps one document's draft current while it is edited, so a crash loses at most the last
// couple of seconds of typing. Each edit is noted as it happens (only the text it inserted is
// read) and the notes go to the draft's journal shortly after, in one append.
class DraftRecorder : public QObject
{
    Q_OBJECT

public:
    // Edits reach the draft at most this long after they are made, also while typing goes on
    // without a pause, so a crash loses less than two seconds of typing.
    static constexpr int flushDelayMilliseconds = 1500;
    // Documents up to this many characters get a snapshot base at their first edit, which
    // survives any later change to their file; larger ones use the file itself as the base.
    static constexpr qsizetype snapshotLimit = 4 * 1024 * 1024;
    // A journal larger than this is folded into a new snapshot when the next pause comes.
    static constexpr qint64 journalLimit = 32 * 1024 * 1024;

    DraftRecorder(TextDocument *document, const DraftStore &store, QObject *parent = nullptr);

    // How the file a draft starts from holds the document's text: as it was read; as a save
    // wrote it, with CR LF and CR made LF (the text is checked for CR at its first edit); or
    // known to differ, the save having made a CR of the text LF.
    enum class FileForm { AsRead, AsSaved, Rewritten };

    // From now on edits are recorded against the document's present text, which is the file
    // at `path` (in `form`), or empty for a document without a file. Any earlier draft is
    // discarded.
    void startFrom(const QString &path, FileForm form = FileForm::AsRead);
    // A save of the document's present text has started. Edits go on into the draft as before
    // and are also kept apart, to be replayed on the file that save writes.
    void saveStarted();
    // That save wrote the file at `path`: the draft starts over from it, holding the edits made
    // while it was written. `fileHoldsText`: the file holds the saved text exactly (no CR made LF).
    void saveSucceeded(const QString &path, bool fileHoldsText);
    // That save failed: the draft goes on as it was.
    void saveFailed();
    // Records further edits into an existing draft whose text the document now holds.
    void continueDraft(const DraftStore::Draft &draft);
    // Stops recording (while the document is being refilled); the draft stays as it is.
    void pause();

    void setUntitledName(const QString &name);
    void setSnapshotLimit(qsizetype characters) { m_snapshotLimit = characters; }
    QString draftId() const { return m_draft.id; }
    bool hasDraft() const { return !m_draft.id.isEmpty(); }

    // Writes the edits noted so far; false when the store could not take them.
    bool flush();
    // Makes the whole present text the draft's base (for a document whose file is no longer a
    // safe base, e.g. after the file changed on disk).
    bool snapshot();
    // The document was saved or its changes were thrown away: the draft goes.
    void discard();

private:
    void onContentsChange(qsizetype position, qsizetype removed, qsizetype added);
    bool beginDraft();
    bool fileHoldsTheText() const;
    qsizetype documentLength() const;
    QString documentText(qsizetype position, qsizetype count) const;

    QPointer<TextDocument> m_document;
    DraftStore m_store;
    DraftStore::Draft m_draft;
    QString m_basePath;
    FileStamp m_baseStamp;
    FileForm m_baseForm = FileForm::AsRead;
    QString m_untitledName;
    bool m_recording = false;
    qsizetype m_snapshotLimit = snapshotLimit;
    QList<DraftStore::Edit> m_pending;
    // The edits made since the save under way started, while there is one.
    std::optional<QList<DraftStore::Edit>> m_sinceSave;
    QTimer m_flushTimer;
};
