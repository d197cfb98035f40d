// The bookmark records and the list of them that the shared store keeps: any bytes, as a record
// or as the store's file, resolve to an absolute folder path without a NUL, or to nothing; a
// record made for a folder resolves back to it.

#include "FuzzCheck.h"
#include "FuzzFiles.h"

#include "BookmarkManager.h"
#include "FolderBookmark.h"
#include "SystemLog.h"

#include <QDir>
#include <QFileInfo>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

bool isUsableFolderPath(const QString &path)
{
    return QDir::isAbsolutePath(path) && !path.contains(QChar(0));
}

void checkRecord(const QByteArray &record)
{
    const std::optional<FolderBookmark::Resolved> resolved = FolderBookmark::resolve(record);
    if (!resolved)
        return;
    FUZZ_CHECK(isUsableFolderPath(resolved->path));
    FUZZ_CHECK(QFileInfo(resolved->path).isDir());
    QString error;
    const QByteArray fresh = FolderBookmark::create(resolved->path, error);
    FUZZ_CHECK(!fresh.isEmpty());
    const std::optional<FolderBookmark::Resolved> again = FolderBookmark::resolve(fresh);
    FUZZ_CHECK(again.has_value() && again->path == resolved->path && !again->stale);
}

void checkStore(const QByteArray &contents, const QString &target)
{
    const QString path = FuzzFiles::write(contents);
    BookmarkManager store(path);
    for (const QUrl &folder : store.allBookmarkedUrls()) {
        FUZZ_CHECK(folder.isLocalFile());
        FUZZ_CHECK(isUsableFolderPath(folder.toLocalFile()));
    }
    // The path as the store reads it from the URL (which makes "a:b" absolute, for one).
    const QUrl targetUrl = QUrl::fromLocalFile(target);
    const QString standardTarget = FolderBookmark::standardizedPath(targetUrl.toLocalFile());
    if (const std::optional<QUrl> folder = store.resolveBookmark(targetUrl)) {
        const QString found = FolderBookmark::standardizedPath(folder->toLocalFile());
        FUZZ_CHECK(isUsableFolderPath(found));
        FUZZ_CHECK(standardTarget == found
            || standardTarget.startsWith(found.endsWith(u'/') ? found : found + u'/'));
    }
    FuzzFiles::remove(path);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    SystemLog::setSink([](const QString &) {});
    FuzzFiles::startCoreApplication(); // as scrivlet-finder-sync, which resolves bookmarks
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string record = input.ConsumeRandomLengthString(300);
    const std::string target = input.ConsumeRandomLengthString(60);
    const std::string store = input.ConsumeRemainingBytesAsString();
    checkRecord(QByteArray::fromStdString(record));
    checkStore(QByteArray::fromStdString(store), QString::fromUtf8(target));
    return 0;
}
