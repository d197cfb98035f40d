#pragma once

#include "DocumentError.h"
#include "DocumentWriter.h"
#include "FileStamp.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <optional>

// The file behind one document: where it is, what it looked like when last read or written, and
// whether another program has changed or removed it since. Saving goes through here so the
// editor's own writes are never mistaken for someone else's.
class DocumentFile : public QObject
{
    Q_OBJECT

public:
    explicit DocumentFile(QObject *parent = nullptr);

    // The absolute path, or "" for a document that was never saved.
    QString path() const { return m_path; }
    // The document now shows the file at `path` as it is on disk.
    void setLoaded(const QString &path);

    // A save of the document runs (on a worker, with writer()): changes seen on disk meanwhile
    // are looked at once it has ended, so the editor's own write is never taken for another
    // program's.
    void beginSave();
    // The save ended; `written` is the stamp of the file it wrote at `path`, which is now the
    // document's file, or nothing when it failed.
    void endSave(const QString &path, const std::optional<FileStamp> &written);

    // Whether the file on disk differs from what the document last read or wrote.
    bool isChangedOnDisk() const;
    bool existsOnDisk() const { return FileStamp::of(m_path).exists(); }
    // The change on disk is known and the document keeps its own text.
    void acceptDiskState() { m_acceptedStamp = FileStamp::of(m_path); }

    const DocumentWriter &writer() const { return m_writer; }
    void setWriter(DocumentWriter writer) { m_writer = std::move(writer); }

signals:
    void pathChanged();
    // Another program changed the file (not emitted again for the same change once accepted).
    void changedOnDisk();
    void removedOnDisk();

private:
    void watch();
    void checkDisk();

    QString m_path;
    FileStamp m_stamp;
    FileStamp m_acceptedStamp;
    bool m_reportedRemoval = false;
    bool m_saving = false;
    bool m_checkAfterSave = false;
    DocumentWriter m_writer;
    QFileSystemWatcher m_watcher;
    // Programs often write a file in several steps; look once they are done.
    QTimer m_settle;
};
