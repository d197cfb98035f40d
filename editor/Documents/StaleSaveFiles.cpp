#include "StaleSaveFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

QByteArray identityOf(const struct stat &info)
{
    return QByteArray::number(quint64(info.st_dev)) + ':'
        + QByteArray::number(quint64(info.st_ino));
}

// Whether the file at `path` carries the mark of the very file it is, and nobody is writing it.
bool isAbandonedSaveFile(const QByteArray &path)
{
    // Only regular files are opened at all: opening a device can have effects of its own.
    struct stat entry = {};
    if (::lstat(path.constData(), &entry) != 0 || !S_ISREG(entry.st_mode))
        return false;
    const int descriptor = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (descriptor < 0)
        return false;
    struct stat info = {};
    char mark[64] = {};
    const bool ours = ::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode)
        && ::fgetxattr(descriptor, StaleSaveFiles::attributeName(), mark, sizeof mark - 1)
            == identityOf(info).size()
        && identityOf(info) == mark;
    // A save in progress holds the lock until it closes the file.
    const bool abandoned = ours && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0;
    ::close(descriptor);
    return abandoned;
}

} // namespace

const char *StaleSaveFiles::attributeName()
{
    return "user.scrivlet.save-in-progress";
}

void StaleSaveFiles::mark(int descriptor)
{
    struct stat info = {};
    if (descriptor < 0 || ::fstat(descriptor, &info) != 0)
        return;
    ::flock(descriptor, LOCK_EX | LOCK_NB);
    const QByteArray identity = identityOf(info);
    ::fsetxattr(descriptor, attributeName(), identity.constData(), size_t(identity.size()), 0);
}

int StaleSaveFiles::clearAfterSave(const QString &target)
{
    const QFileInfo saved(target);
    // The saved file is the temporary file under its final name: it should not keep the mark.
    ::removexattr(QFile::encodeName(target).constData(), attributeName());
    // QSaveFile's names: the target's name, a dot and six letters or digits.
    const QRegularExpression leftoverName(
        u'^' + QRegularExpression::escape(saved.fileName()) + QStringLiteral("\\.[A-Za-z0-9]{6}$"));
    const QByteArray folder = QFile::encodeName(saved.absolutePath());
    // Names only, no stat per entry: a folder may hold a great many files.
    DIR *entries = ::opendir(folder.constData());
    if (!entries)
        return 0;
    int removed = 0;
    while (const dirent *entry = ::readdir(entries)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (!leftoverName.match(name).hasMatch())
            continue;
        const QByteArray path = folder + '/' + entry->d_name;
        if (isAbandonedSaveFile(path) && ::unlink(path.constData()) == 0)
            ++removed;
    }
    ::closedir(entries);
    return removed;
}
