#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QSettings;

// The store that the editor and the file-manager extension share: the folders the user
// authorised (as FolderBookmark records, in the order they were authorised), the name new files
// get and whether a new file is opened. It lives in an INI file of its own that both programs
// open; nothing is cached, so every operation sees what the other program wrote last.
//
// A store that cannot be opened (its folder cannot be made, its file cannot be read or created)
// reads the defaults and drops every write without notice.
class BookmarkManager
{
public:
    static constexpr QStringView bookmarksKey = u"FinderSyncBookmarks";
    static constexpr QStringView filenameKey = u"FinderSyncFilename";
    static constexpr QStringView openAfterCreateKey = u"FinderSyncOpenAfterCreate";
    static constexpr QStringView defaultFilename = u"Untitled.txt";
    // How long a change to the folder list waits for the other program's change to finish.
    static constexpr int bookmarkLockTimeoutMilliseconds = 5000;

    explicit BookmarkManager(const QString &suitePath);
    ~BookmarkManager();

    // The process's instance over standardSuitePath(), made on first use.
    static BookmarkManager &shared();
    // $XDG_CONFIG_HOME/scrivlet/group.<app id>.conf
    static QString standardSuitePath();
    QString suitePath() const { return m_suitePath; }

    // The stored text unchanged (also an empty one), or "Untitled.txt" when none can be read.
    QString filename() const;
    void setFilename(const QString &name);
    // The stored Boolean; true when none is stored or the value cannot be read as one.
    bool openAfterCreate() const;
    void setOpenAfterCreate(bool open);

    // False only when no bookmark can be made for the folder, or the other program kept the
    // list locked (both logged). A folder already present moves to the end of the list.
    bool addBookmark(const QUrl &folder);
    // Removes every bookmark that resolves to the folder; ones that do not resolve stay.
    void removeBookmark(const QUrl &folder);
    // The folders that resolve, in stored order (stale ones too, logged).
    QList<QUrl> allBookmarkedUrls() const;
    // The first authorised folder, in stored order, that is the target or contains it; a stale
    // bookmark found this way is refreshed in place.
    std::optional<QUrl> resolveBookmark(const QUrl &target);

private:
    // What "FinderSyncBookmarks" holds, or nothing when it is not a list of byte records.
    static std::optional<QList<QByteArray>> bookmarkDataArray(const QVariant &stored);
    std::unique_ptr<QSettings> openSuite() const;
    QList<QByteArray> loadBookmarkDataArray() const;
    void storeBookmarkDataArray(const QList<QByteArray> &bookmarks);
    // Reads the list, lets `change` edit it (false: leave it as it is) and writes it back, all
    // under a lock both programs take; false when the lock cannot be had (logged). A store that
    // cannot be opened drops the change and counts as done.
    bool updateBookmarkDataArray(const std::function<bool(QList<QByteArray> &)> &change);
    static std::optional<QString> resolveBookmarkPath(const QByteArray &bookmark);
    void refreshStaleBookmark(const QByteArray &stale, const QString &folderPath);

    QString m_suitePath;
};
