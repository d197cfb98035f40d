// scrivlet-finder-sync [--] FOLDER: what the file-manager hooks run for "New Text Document".
// scrivlet-finder-sync --help | --version: says what it is, touching nothing.
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
#include <optional>

namespace {

constexpr char usage[] = "Usage: scrivlet-finder-sync [--] FOLDER\n";

// An option is never a folder: the file manager passes a path, and a folder whose name starts
// with "-" comes after "--". Answers --help and --version (0) and refuses other options (2);
// nothing when FOLDER is at `*folderIndex`.
std::optional<int> answerOptions(int argc, char *argv[], int *folderIndex)
{
    *folderIndex = 1;
    if (argc < 2 || argv[1][0] != '-' || std::strcmp(argv[1], "-") == 0)
        return std::nullopt;
    const char *option = argv[1];
    if (std::strcmp(option, "--") == 0) {
        *folderIndex = 2;
        return std::nullopt;
    }
    if (std::strcmp(option, "-h") == 0 || std::strcmp(option, "--help") == 0) {
        std::fputs(usage, stdout);
        std::fputs("\nCreates an empty text file in FOLDER, named as Scrivlet's settings say, and\n"
                   "opens it when they ask for that. File managers run it for \"New Text\n"
                   "Document\".\n"
                   "\n"
                   "Options:\n"
                   "  -h, --help     Show this help and exit.\n"
                   "      --version  Show the version and exit.\n"
                   "  --             Treat the next argument as the folder, even if it starts "
                   "with -.\n",
            stdout);
        return 0;
    }
    if (std::strcmp(option, "--version") == 0) {
        std::fputs("scrivlet-finder-sync (Scrivlet) " SCRIVLET_VERSION "\n", stdout);
        return 0;
    }
    std::fprintf(stderr,
        "scrivlet-finder-sync: unknown option '%s'\n%sTry 'scrivlet-finder-sync --help' for more "
        "information.\n",
        option, usage);
    return 2;
}

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
    int folderIndex = 1;
    if (const std::optional<int> exitCode = answerOptions(argc, argv, &folderIndex))
        return *exitCode;

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("scrivlet-finder-sync"));
    FinderSync finderSync(BookmarkManager::shared(), WorkspaceOpener::desktop(),
        QCoreApplication::applicationFilePath());
    if (argc <= folderIndex) {
        finderSync.createNewTextDocument(std::nullopt);
        return 1;
    }
    const QByteArray nativePath = argv[folderIndex];
    const QString path = QFile::decodeName(nativePath);
    const FinderSync::TargetPath form = QFile::encodeName(path) == nativePath
        ? FinderSync::TargetPath::Exact
        : FinderSync::TargetPath::NotRepresentable;
    finderSync.createNewTextDocument(QDir(QDir::currentPath()).absoluteFilePath(path), form);
    return 0;
}
