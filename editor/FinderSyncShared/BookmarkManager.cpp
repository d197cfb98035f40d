#include "BookmarkManager.h"

#include "FolderBookmark.h"
#include "SettingsFileFormat.h"
#include "SystemLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStandardPaths>

#include <optional>
#include <utility>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

constexpr QFile::Permissions privateFile = QFile::ReadOwner | QFile::WriteOwner;

// Makes the folder (0700) and the file (0600) when they are missing, so QSettings' atomic
// rewrites keep the private mode. False when either cannot be made or the file cannot be read.
bool prepareSuiteFile(const QString &path)
{
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).isDir()) {
        QDir().mkpath(QFileInfo(folder).absolutePath());
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && !QFileInfo(folder).isDir())
            return false;
    }
    if (!info.exists()) {
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::NewOnly, privateFile);
    }
    const QFileInfo made(path);
    return made.isFile() && made.isReadable();
}

QString localPath(const QUrl &url)
{
    return url.isLocalFile() ? url.toLocalFile() : url.path();
}

bool isInside(const QString &target, const QString &folder)
{
    if (target == folder)
        return true;
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    return target.startsWith(prefix);
}

// Yes for "true" and "yes" in any case and for non-zero numbers, no for "false", "no" and zero;
// nothing for any other value, which counts as absent.
std::optional<bool> storedBool(const QVariant &stored)
{
    if (stored.typeId() == QMetaType::Bool)
        return stored.toBool();
    if (stored.typeId() != QMetaType::QString)
        return std::nullopt;
    const QString text = stored.toString().trimmed();
    for (const auto &[word, value] : {std::pair(u"true", true), std::pair(u"yes", true),
             std::pair(u"false", false), std::pair(u"no", false)}) {
        if (text.compare(QStringView(word), Qt::CaseInsensitive) == 0)
            return value;
    }
    bool isNumber = false;
    const double number = text.toDouble(&isNumber);
    return isNumber ? std::optional<bool>(number != 0) : std::nullopt;
}

} // namespace

BookmarkManager::BookmarkManager(const QString &suitePath)
    : m_suitePath(suitePath)
{ }

BookmarkManager::~BookmarkManager() = default;

BookmarkManager &BookmarkManager::shared()
{
    static BookmarkManager manager(standardSuitePath());
    return manager;
}

QString BookmarkManager::standardSuitePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + u"/scrivlet/group."_s + QStringLiteral(SCRIVLET_APP_ID) + u".conf"_s;
}

std::unique_ptr<QSettings> BookmarkManager::openSuite() const
{
    if (!prepareSuiteFile(m_suitePath))
        return nullptr;
    auto suite = std::make_unique<QSettings>(m_suitePath, SettingsFileFormat::ini());
    if (suite->status() == QSettings::AccessError)
        return nullptr;
    return suite;
}

QString BookmarkManager::filename() const
{
    const std::unique_ptr<QSettings> suite = openSuite();
    const QVariant stored = suite ? suite->value(filenameKey) : QVariant();
    if (stored.typeId() == QMetaType::QString)
        return stored.toString();
    // An unquoted comma in a hand-edited file splits the text into a list.
    if (stored.typeId() == QMetaType::QStringList)
        return stored.toStringList().join(u", ");
    return defaultFilename.toString();
}

void BookmarkManager::setFilename(const QString &name)
{
    if (const std::unique_ptr<QSettings> suite = openSuite())
        suite->setValue(filenameKey, name);
}

bool BookmarkManager::openAfterCreate() const
{
    const std::unique_ptr<QSettings> suite = openSuite();
    if (!suite)
        return true;
    return storedBool(suite->value(openAfterCreateKey)).value_or(true);
}

void BookmarkManager::setOpenAfterCreate(bool open)
{
    if (const std::unique_ptr<QSettings> suite = openSuite())
        suite->setValue(openAfterCreateKey, open);
}

std::optional<QList<QByteArray>> BookmarkManager::bookmarkDataArray(const QVariant &stored)
{
    if (stored.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    QList<QByteArray> bookmarks;
    for (const QVariant &element : stored.toList()) {
        if (element.typeId() != QMetaType::QByteArray)
            return std::nullopt;
        bookmarks.append(element.toByteArray());
    }
    return bookmarks;
}

QList<QByteArray> BookmarkManager::loadBookmarkDataArray() const
{
    const std::unique_ptr<QSettings> suite = openSuite();
    if (!suite)
        return {};
    return bookmarkDataArray(suite->value(bookmarksKey)).value_or(QList<QByteArray>());
}

void BookmarkManager::storeBookmarkDataArray(const QList<QByteArray> &bookmarks)
{
    const std::unique_ptr<QSettings> suite = openSuite();
    if (!suite)
        return;
    QVariantList list;
    list.reserve(bookmarks.size());
    for (const QByteArray &bookmark : bookmarks)
        list.append(bookmark);
    suite->setValue(bookmarksKey, list);
}

std::optional<QString> BookmarkManager::resolveBookmarkPath(const QByteArray &bookmark)
{
    const std::optional<FolderBookmark::Resolved> resolved = FolderBookmark::resolve(bookmark);
    if (!resolved)
        return std::nullopt;
    return FolderBookmark::standardizedPath(resolved->path);
}

// QSettings merges concurrent writers key by key, but the folder list is one key that each
// change reads and writes back whole: without this lock, a folder the editor adds while the
// extension refreshes a stale bookmark is overwritten by the extension's older copy of the list.
// The lock is not QSettings' own (<file>.lock), which its writes take inside this one.
bool BookmarkManager::updateBookmarkDataArray(
    const std::function<bool(QList<QByteArray> &)> &change)
{
    if (!prepareSuiteFile(m_suitePath))
        return true; // a store that cannot be opened drops writes, as every setter does
    QLockFile lock(m_suitePath + u".bookmarks.lock"_s);
    if (!lock.tryLock(bookmarkLockTimeoutMilliseconds)) {
        SystemLog::write(u"BookmarkManager: The folder list is locked by another program ("_s
            + m_suitePath + u".bookmarks.lock); it was left unchanged"_s);
        return false;
    }
    QList<QByteArray> bookmarks = loadBookmarkDataArray();
    if (change(bookmarks))
        storeBookmarkDataArray(bookmarks);
    return true;
}

bool BookmarkManager::addBookmark(const QUrl &folder)
{
    const QString path = localPath(folder);
    QString error;
    const QByteArray bookmark = FolderBookmark::create(path, error);
    if (bookmark.isEmpty()) {
        SystemLog::write(
            u"BookmarkManager: Failed to create bookmark for "_s + path + u": "_s + error);
        return false;
    }
    const QString standardized = FolderBookmark::standardizedPath(path);
    return updateBookmarkDataArray([&](QList<QByteArray> &bookmarks) {
        bookmarks.removeIf(
            [&](const QByteArray &stored) { return resolveBookmarkPath(stored) == standardized; });
        bookmarks.append(bookmark);
        return true;
    });
}

void BookmarkManager::removeBookmark(const QUrl &folder)
{
    const QString standardized = FolderBookmark::standardizedPath(localPath(folder));
    updateBookmarkDataArray([&](QList<QByteArray> &bookmarks) {
        return bookmarks.removeIf([&](const QByteArray &stored) {
            return resolveBookmarkPath(stored) == standardized;
        }) > 0;
    });
}

QList<QUrl> BookmarkManager::allBookmarkedUrls() const
{
    QList<QUrl> folders;
    for (const QByteArray &bookmark : loadBookmarkDataArray()) {
        const std::optional<FolderBookmark::Resolved> resolved = FolderBookmark::resolve(bookmark);
        if (!resolved)
            continue;
        if (resolved->stale)
            SystemLog::write(u"BookmarkManager: Stale bookmark detected for "_s + resolved->path);
        folders.append(QUrl::fromLocalFile(resolved->path));
    }
    return folders;
}

std::optional<QUrl> BookmarkManager::resolveBookmark(const QUrl &target)
{
    const QString targetPath = FolderBookmark::standardizedPath(localPath(target));
    for (const QByteArray &bookmark : loadBookmarkDataArray()) {
        const std::optional<FolderBookmark::Resolved> resolved = FolderBookmark::resolve(bookmark);
        if (!resolved)
            continue;
        const QString folderPath = FolderBookmark::standardizedPath(resolved->path);
        if (!isInside(targetPath, folderPath))
            continue;
        if (resolved->stale) {
            SystemLog::write(
                u"BookmarkManager: Stale bookmark for "_s + folderPath + u", attempting refresh"_s);
            refreshStaleBookmark(bookmark, resolved->path);
        }
        return QUrl::fromLocalFile(resolved->path);
    }
    return std::nullopt;
}

void BookmarkManager::refreshStaleBookmark(const QByteArray &stale, const QString &folderPath)
{
    QString error;
    const QByteArray fresh = FolderBookmark::create(folderPath, error);
    if (fresh.isEmpty())
        return;
    // Read again under the lock: the editor may have changed the list meanwhile, or another
    // launch refreshed this bookmark already.
    updateBookmarkDataArray([&](QList<QByteArray> &bookmarks) {
        const qsizetype index = bookmarks.indexOf(stale);
        if (index < 0)
            return false;
        bookmarks[index] = fresh;
        return true;
    });
}
