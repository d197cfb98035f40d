#pragma once

#include "FileStamp.h"

#include <QList>
#include <QString>

#include <optional>

// Where unsaved text survives a quit or a crash: $XDG_DATA_HOME/scrivlet/drafts (mode 0700), one
// draft per edited document. A draft is a base text plus a journal of the edits made since:
// the base is empty (a new document), the document's file as it was read, or a snapshot of the
// whole text. Appending an edit to the journal costs what the edit costs, so keeping a draft
// current never copies a large document's text.
class DraftStore
{
public:
    enum class BaseKind { Empty, File, Snapshot };

    struct Draft
    {
        QString id;
        // The document's file, or "" for an untitled document.
        QString filePath;
        QString untitledName;
        BaseKind base = BaseKind::Empty;
        // For a File base: the file as it was read; replaying on any other content is refused.
        FileStamp baseStamp;
        // Only in drafts recorded by earlier versions, whose saves dropped a file's final LF:
        // their File base lacks it, and replaying adds it back.
        bool baseAppendsLineFeed = false;
        // The draft this one took over from. A new snapshot is written as a new draft, so a crash
        // half-way through leaves the old draft whole; once this description is on disk the
        // old one is stale, and listing the drafts removes it.
        QString replaces;
    };

    struct Edit
    {
        qint64 position = 0;
        qint64 removed = 0;
        QString inserted;
    };

    // The store under $XDG_DATA_HOME, or under `folder` (for tests).
    explicit DraftStore(QString folder = {});

    QString folder() const { return m_folder; }
    QList<Draft> drafts() const;
    std::optional<Draft> draft(const QString &id) const;

    // Records a new draft, or the changed description of an existing one.
    bool writeDescription(const Draft &draft) const;
    // Writes `text` as the base of draft `id` and empties its journal. Write the snapshot before
    // the description that names it, so a draft on the list always has its base.
    bool writeSnapshot(const QString &id, QStringView text) const;
    bool appendEdits(const QString &id, const QList<Edit> &edits) const;
    void remove(const QString &id) const;

    // The draft's text: the base with the journal replayed, as the editor's document holds it
    // (a file base with its line breaks as LF). Nothing when the base is gone or the file
    // changed since.
    std::optional<QString> recoverText(const QString &id) const;
    qint64 journalSize(const QString &id) const;

private:
    QString pathFor(const QString &id, const char *suffix) const;
    bool ensureFolder() const;

    QString m_folder;
};
