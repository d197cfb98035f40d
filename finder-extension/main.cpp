// scrivlet-finder-sync FOLDER: what the file-manager hooks run for "New Text Document".
// scrivlet-finder-sync --write-icon FILE SCALE: writes the command's icon (used by the build).

#include "BookmarkManager.h"
#include "FinderSync.h"
#include "FinderSyncMenuIcon.h"
#include "WorkspaceOpener.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int writeIcon(int argc, char *argv[])
{
    // Drawing the letter needs fonts, hence a GUI application, but never a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int scale = argc > 3 ? std::atoi(argv[3]) : 1;
    if (argc < 3 || scale < 1 || !FinderSyncMenuIcon::writePng(QFile::decodeName(argv[2]), scale)) {
        std::fputs("scrivlet-finder-sync: cannot write the icon\n", stderr);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--write-icon") == 0)
        return writeIcon(argc, argv);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("scrivlet-finder-sync"));
    FinderSync finderSync(BookmarkManager::shared(), WorkspaceOpener::desktop(),
        QCoreApplication::applicationFilePath());
    if (argc < 2) {
        finderSync.createNewTextDocument(std::nullopt);
        return 1;
    }
    const QByteArray nativePath = argv[1];
    const QString path = QFile::decodeName(nativePath);
    const FinderSync::TargetPath form = QFile::encodeName(path) == nativePath
        ? FinderSync::TargetPath::Exact
        : FinderSync::TargetPath::NotRepresentable;
    finderSync.createNewTextDocument(QDir(QDir::currentPath()).absoluteFilePath(path), form);
    return 0;
}
