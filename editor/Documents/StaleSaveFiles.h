#pragma once

#include <QString>

// The temporary files a save leaves behind when the process dies at the wrong moment. QSaveFile
// writes to an unnamed file (O_TMPFILE) where the file system allows it and, to replace the
// target, links it under "NAME.XXXXXX" and renames that over NAME; on other file systems the
// named file exists for the whole save. A kill in between leaves "NAME.XXXXXX" behind.
//
// Such a name could just as well be the user's own file ("notes.txt.backup"), so a leftover is
// removed only when it is certainly ours: while being written, the temporary file is marked
// with an extended attribute holding its own device and inode (a copy of it has another inode),
// and holds a lock, so a save in progress in another process is never taken for a leftover.
// On a file system without extended attributes nothing is marked and nothing is removed.
class StaleSaveFiles
{
public:
    // Marks the temporary file open as `descriptor` as ours and locks it until it is closed.
    static void mark(int descriptor);
    // After a save of `target`: takes the mark off the saved file and removes the marked,
    // unlocked leftovers of earlier saves beside it. Returns how many were removed.
    static int clearAfterSave(const QString &target);

    // The extended attribute of the mark.
    static const char *attributeName();
};
