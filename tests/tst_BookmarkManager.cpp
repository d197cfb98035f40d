#include "BookmarkManager.h"
#include "FolderBookmark.h"
#include "LogRecorder.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QSettings>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QUrl url(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

QStringList pathsOf(const QList<QUrl> &urls)
{
    QStringList paths;
    for (const QUrl &folder : urls)
        paths.append(folder.toLocalFile());
    return paths;
}

// A record laid out as FolderBookmark::create() lays it out, for any path bytes.
QByteArray recordFor(const QByteArray &path)
{
    QByteArray record;
    QDataStream stream(&record, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_4);
    stream << quint32(0x53424B31) << quint64(0) << quint64(0) << path;
    return record;
}

// The text of a store file whose bookmark list holds `record`.
QByteArray storeHolding(const QByteArray &record)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"store.conf"_qs);
    QSettings(path, QSettings::IniFormat)
        .setValue(BookmarkManager::bookmarksKey.toString(), QVariantList {record});
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestBookmarkManager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void emptyStoreReadsDefaults();
    void readsStoredValuesForgivingly_data();
    void readsStoredValuesForgivingly();
    void openAfterCreateFollowsItsKey();
    void resolvesTheFolderHoldingATarget_data();
    void resolvesTheFolderHoldingATarget();
    void addingAFolderAgainMovesItToTheEnd();
    void keepsBookmarksThatNoLongerResolve();
    void refreshesAStaleBookmarkInPlace();
    void refusesFoldersThatDoNotExist();
    void unavailableStoreReadsDefaultsAndDropsWrites();
    void bothProgramsSeeEachOthersWrites();
    void listLockLeftByAKilledProgramIsTakenOver();

private:
    QString folder(const QString &name);

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<BookmarkManager> m_store;
};

void TestBookmarkManager::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<BookmarkManager>(m_root->path() + u"/config/scrivlet/group.conf"_qs);
}

QString TestBookmarkManager::folder(const QString &name)
{
    const QString path = m_root->path() + u"/"_qs + name;
    QDir().mkpath(path);
    return path;
}

void TestBookmarkManager::emptyStoreReadsDefaults()
{
    QVERIFY(m_store->allBookmarkedUrls().isEmpty());
    QCOMPARE(m_store->resolveBookmark(url(folder(u"Docs"_qs))), std::nullopt);
    QCOMPARE(m_store->filename(), u"Untitled.txt"_qs);
    QVERIFY(m_store->openAfterCreate());
    m_store->setFilename(u"Notes"_qs); // rewritten atomically, still private
    struct stat status;
    QCOMPARE(::stat(QFile::encodeName(m_store->suitePath()).constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, 0600u);
}

void TestBookmarkManager::readsStoredValuesForgivingly_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("filename");
    QTest::addColumn<bool>("openAfterCreate");
    QTest::addColumn<int>("folders");

    QTest::addRow("values as written") << QByteArray("[General]\nFinderSyncFilename=Notes\n"
                                                     "FinderSyncOpenAfterCreate=false\n")
                                       << u"Notes"_qs << false << 0;
    QTest::addRow("empty name is kept")
        << QByteArray("[General]\nFinderSyncFilename=\n") << QString() << true << 0;
    QTest::addRow("hand-written comma")
        << QByteArray("[General]\nFinderSyncFilename=a, b.txt\n") << u"a, b.txt"_qs << true << 0;
    QTest::addRow("name of another type")
        << QByteArray("[General]\nFinderSyncFilename=@ByteArray(x)\n") << u"Untitled.txt"_qs << true
        << 0;
    QTest::addRow("a number reads as a boolean")
        << QByteArray("[General]\nFinderSyncOpenAfterCreate=0\n") << u"Untitled.txt"_qs << false
        << 0;
    QTest::addRow("no in capitals") << QByteArray("[General]\nFinderSyncOpenAfterCreate=NO\n")
                                    << u"Untitled.txt"_qs << false << 0;
    QTest::addRow("text that is no boolean reads as the default")
        << QByteArray("[General]\nFinderSyncOpenAfterCreate=sometimes\n") << u"Untitled.txt"_qs
        << true << 0;
    QTest::addRow("empty value reads as the default")
        << QByteArray("[General]\nFinderSyncOpenAfterCreate=\n") << u"Untitled.txt"_qs << true << 0;
    QTest::addRow("a list reads as the default")
        << QByteArray("[General]\nFinderSyncOpenAfterCreate=false, false\n") << u"Untitled.txt"_qs
        << true << 0;
    QTest::addRow("bookmarks that are no list")
        << QByteArray("[General]\nFinderSyncBookmarks=/home\n") << u"Untitled.txt"_qs << true << 0;
    QTest::addRow("a record of the root (stale, still listed)")
        << storeHolding(recordFor("/")) << u"Untitled.txt"_qs << true << 1;
    // Found by fuzzing: these resolved to "." (whatever the current folder is) and to "/\0x".
    QTest::addRow("a record with a relative path")
        << storeHolding(recordFor(".")) << u"Untitled.txt"_qs << true << 0;
    QTest::addRow("a record with a NUL in its path")
        << storeHolding(recordFor(QByteArray("/\0x", 3))) << u"Untitled.txt"_qs << true << 0;
}

void TestBookmarkManager::readsStoredValuesForgivingly()
{
    QFETCH(QByteArray, contents);
    QDir().mkpath(QFileInfo(m_store->suitePath()).absolutePath());
    QFile file(m_store->suitePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
    file.close();
    QTEST(m_store->filename(), "filename");
    QTEST(m_store->openAfterCreate(), "openAfterCreate");
    QTEST(int(m_store->allBookmarkedUrls().size()), "folders");
}

void TestBookmarkManager::openAfterCreateFollowsItsKey()
{
    m_store->setOpenAfterCreate(false);
    QVERIFY(!m_store->openAfterCreate());
    QSettings(m_store->suitePath(), QSettings::IniFormat).remove(u"FinderSyncOpenAfterCreate"_qs);
    QVERIFY(m_store->openAfterCreate());
}

void TestBookmarkManager::resolvesTheFolderHoldingATarget_data()
{
    QTest::addColumn<QStringList>("authorised"); // relative to the temporary root; "/" is root
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("expected"); // empty: none

    const QStringList docs {u"Docs"_qs};
    QTest::addRow("the folder itself") << docs << u"Docs"_qs << u"Docs"_qs;
    QTest::addRow("a subfolder") << docs << u"Docs/Sub"_qs << u"Docs"_qs;
    QTest::addRow("a sibling sharing the prefix") << docs << u"Docs2"_qs << QString();
    QTest::addRow("dot segments standardized") << docs << u"Docs/./Sub/.."_qs << u"Docs"_qs;
    QTest::addRow("the root holds everything")
        << QStringList {u"/"_qs} << u"Docs/Sub"_qs << u"/"_qs;
    QTest::addRow("outer folder stored first wins")
        << QStringList {u"Docs"_qs, u"Docs/Sub"_qs} << u"Docs/Sub/Deep"_qs << u"Docs"_qs;
    QTest::addRow("inner folder stored first wins")
        << QStringList {u"Docs/Sub"_qs, u"Docs"_qs} << u"Docs/Sub/Deep"_qs << u"Docs/Sub"_qs;
}

void TestBookmarkManager::resolvesTheFolderHoldingATarget()
{
    QFETCH(QStringList, authorised);
    QFETCH(QString, target);
    QFETCH(QString, expected);
    const auto absolute = [this](const QString &name) {
        return name == u"/" ? name : m_root->path() + u'/' + name;
    };
    folder(u"Docs2"_qs);
    folder(u"Docs/Sub/Deep"_qs);
    for (const QString &name : authorised)
        QVERIFY(m_store->addBookmark(url(absolute(name))));
    const std::optional<QUrl> found = m_store->resolveBookmark(url(absolute(target)));
    QCOMPARE(found ? found->toLocalFile() : QString(),
        expected.isEmpty() ? QString() : absolute(expected));
}

void TestBookmarkManager::addingAFolderAgainMovesItToTheEnd()
{
    const QString a = folder(u"A"_qs), b = folder(u"B"_qs);
    m_store->addBookmark(url(a));
    m_store->addBookmark(url(b));
    m_store->addBookmark(url(a + u"/."_qs));
    QCOMPARE(pathsOf(m_store->allBookmarkedUrls()), (QStringList {b, a + u"/."_qs}));
}

void TestBookmarkManager::keepsBookmarksThatNoLongerResolve()
{
    const QString gone = folder(u"Gone"_qs), kept = folder(u"Kept"_qs);
    m_store->addBookmark(url(gone));
    m_store->addBookmark(url(kept));
    QVERIFY(QDir(gone).removeRecursively());
    const auto storedCount = [this] {
        return QSettings(m_store->suitePath(), QSettings::IniFormat)
            .value(u"FinderSyncBookmarks"_qs)
            .toList()
            .size();
    };
    QCOMPARE(pathsOf(m_store->allBookmarkedUrls()), QStringList {kept});
    m_store->removeBookmark(url(gone));
    m_store->addBookmark(url(folder(u"Other"_qs)));
    m_store->removeBookmark(url(kept));
    QCOMPARE(storedCount(), 2);
    QCOMPARE(m_store->resolveBookmark(url(gone)), std::nullopt);
}

void TestBookmarkManager::refreshesAStaleBookmarkInPlace()
{
    const QString a = folder(u"A"_qs), b = folder(u"B"_qs), c = folder(u"C"_qs);
    for (const QString &path : {a, b, c})
        m_store->addBookmark(url(path));
    // A new folder under the old name: made while the old one exists, so its inode differs.
    const QString replacement = folder(u"B-new"_qs);
    QVERIFY(QDir(b).removeRecursively());
    QVERIFY(QDir().rename(replacement, b));
    const QSettings suite(m_store->suitePath(), QSettings::IniFormat);
    const QVariantList before = suite.value(u"FinderSyncBookmarks"_qs).toList();

    LogRecorder log;
    QCOMPARE(pathsOf(m_store->allBookmarkedUrls()), (QStringList {a, b, c}));
    QCOMPARE(log.lines, QStringList {u"BookmarkManager: Stale bookmark detected for "_qs + b});
    log.lines.clear();
    QCOMPARE(m_store->resolveBookmark(url(b + u"/x"_qs)), std::optional<QUrl>(url(b)));
    QCOMPARE(log.lines,
        QStringList {u"BookmarkManager: Stale bookmark for "_qs + b + u", attempting refresh"_qs});

    const QVariantList after = QSettings(m_store->suitePath(), QSettings::IniFormat)
                                   .value(u"FinderSyncBookmarks"_qs)
                                   .toList();
    QCOMPARE(after.size(), 3);
    QCOMPARE(after[0], before[0]);
    QCOMPARE(after[2], before[2]);
    QVERIFY(after[1] != before[1]);
    QVERIFY(!FolderBookmark::resolve(after[1].toByteArray())->stale);
}

void TestBookmarkManager::refusesFoldersThatDoNotExist()
{
    LogRecorder log;
    const QString missing = m_root->path() + u"/missing"_qs;
    QVERIFY(!m_store->addBookmark(url(missing)));
    QCOMPARE(log.lines,
        QStringList {u"BookmarkManager: Failed to create bookmark for "_qs + missing
            + u": No such file or directory"_qs});
    QVERIFY(m_store->allBookmarkedUrls().isEmpty());
}

void TestBookmarkManager::unavailableStoreReadsDefaultsAndDropsWrites()
{
    // A file where the store's folder should be: nothing can be opened below it, even as root.
    QFile blocker(m_root->path() + u"/blocked"_qs);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    BookmarkManager store(blocker.fileName() + u"/scrivlet/group.conf"_qs);
    store.setFilename(u"Notes"_qs);
    store.setOpenAfterCreate(false);
    QVERIFY(store.addBookmark(url(folder(u"Docs"_qs))));
    QCOMPARE(store.filename(), u"Untitled.txt"_qs);
    QVERIFY(store.openAfterCreate());
    QVERIFY(store.allBookmarkedUrls().isEmpty());
}

void TestBookmarkManager::bothProgramsSeeEachOthersWrites()
{
    BookmarkManager other(m_store->suitePath());
    m_store->setFilename(u"Notes.md"_qs);
    QCOMPARE(other.filename(), u"Notes.md"_qs);
    other.addBookmark(url(folder(u"Docs"_qs)));
    QCOMPARE(m_store->allBookmarkedUrls().size(), 1);
}

// The folder list is changed under a lock both programs take; a program killed while holding it
// must not keep the other from ever changing the list again.
void TestBookmarkManager::listLockLeftByAKilledProgramIsTakenOver()
{
    const QString lockPath = m_store->suitePath() + u".bookmarks.lock"_qs;
    QVERIFY(QDir().mkpath(QFileInfo(lockPath).absolutePath()));
    const pid_t child = ::fork();
    if (child == 0) {
        QLockFile held(lockPath);
        ::_exit(held.lock() ? 0 : 1); // gone without unlocking
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QVERIFY(QFileInfo::exists(lockPath));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(m_store->addBookmark(url(folder(u"Docs"_qs))));
    QVERIFY(clock.elapsed() < BookmarkManager::bookmarkLockTimeoutMilliseconds);
    QCOMPARE(m_store->allBookmarkedUrls().size(), 1);
}

SCRIVLET_TEST_MAIN(TestBookmarkManager)
#include "tst_BookmarkManager.moc"
