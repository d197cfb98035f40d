// The editor's side of tst_SharedStoreConcurrency: writes the store the editor shares with the
// file-manager extension, through BookmarkManager as the Settings window does, in a loop, until
// the file STOP exists. Each turn sets the new file's name and open-after-create, bumps a counter
// of its own, and every tenth turn authorises one more folder (made under FOLDERS).
//
//   scrivlet_settings_probe SUITE FOLDERS STOP
//
// Prints "added PATH" for each folder authorised and, at the end, "writes N" (the last counter).
#include "BookmarkManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4)
        return 2;
    const QString suite = arguments.at(1);
    const QDir folders(arguments.at(2));
    const QString stop = arguments.at(3);
    BookmarkManager manager(suite);
    int writes = 0;
    while (!QFileInfo::exists(stop)) {
        ++writes;
        manager.setFilename(u"Note.txt"_s);
        manager.setOpenAfterCreate(false);
        {
            // Same length every time: a reader that trusts size and time alone would miss it.
            QSettings settings(suite, QSettings::IniFormat);
            settings.setValue(u"Probe/editorWrites"_s, u"%1"_s.arg(writes, 8, 10, QChar(u'0')));
        }
        if (writes % 10 == 0) {
            const QString folder = folders.filePath(u"authorised %1"_s.arg(writes));
            if (QDir().mkpath(folder) && manager.addBookmark(QUrl::fromLocalFile(folder)))
                std::printf("added %s\n", qPrintable(folder));
        }
    }
    std::printf("writes %d\n", writes);
    return 0;
}
