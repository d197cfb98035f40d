#include "DocumentFile.h"

#include <QFileInfo>

#include <utility>

namespace {

constexpr int settleMilliseconds = 150;

} // namespace

DocumentFile::DocumentFile(QObject *parent)
    : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMilliseconds);
    connect(&m_settle, &QTimer::timeout, this, &DocumentFile::checkDisk);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { m_settle.start(); });
    // A program that saves by replacing the file removes the watched file: the folder tells
    // when the new one is there.
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { m_settle.start(); });
}

void DocumentFile::setLoaded(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const bool moved = absolute != m_path;
    m_path = absolute;
    m_stamp = FileStamp::of(m_path);
    m_acceptedStamp = m_stamp;
    m_reportedRemoval = false;
    watch();
    if (moved)
        emit pathChanged();
}

void DocumentFile::beginSave()
{
    m_saving = true;
}

void DocumentFile::endSave(const QString &path, const std::optional<FileStamp> &written)
{
    m_saving = false;
    if (written) {
        // The stamp the save took makes the watcher's report of this write match what the
        // document holds; a change since then is someone else's.
        setLoaded(path);
        m_stamp = *written;
        m_acceptedStamp = *written;
    }
    if (std::exchange(m_checkAfterSave, false))
        checkDisk();
}

bool DocumentFile::isChangedOnDisk() const
{
    if (m_path.isEmpty())
        return false;
    const FileStamp now = FileStamp::of(m_path);
    return now.exists() && now != m_stamp;
}

void DocumentFile::watch()
{
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    if (m_path.isEmpty())
        return;
    // Watch what a save writes: the target of a symlink.
    const QString target = DocumentWriter::targetOf(m_path);
    if (QFileInfo::exists(target))
        m_watcher.addPath(target);
    m_watcher.addPath(QFileInfo(target).absolutePath());
}

void DocumentFile::checkDisk()
{
    if (m_path.isEmpty())
        return;
    if (m_saving) {
        m_checkAfterSave = true;
        return;
    }
    const FileStamp now = FileStamp::of(m_path);
    if (!now.exists()) {
        if (!m_reportedRemoval) {
            m_reportedRemoval = true;
            emit removedOnDisk();
        }
        return;
    }
    m_reportedRemoval = false;
    const QString target = DocumentWriter::targetOf(m_path);
    if (!m_watcher.files().contains(target))
        m_watcher.addPath(target);
    if (now != m_stamp && now != m_acceptedStamp) {
        m_acceptedStamp = now;
        emit changedOnDisk();
    }
}
