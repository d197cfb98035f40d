#pragma once

#include <QString>

#include <functional>

// How both programs name and make a new empty file in a folder: the configured name when it is
// free, else "base 2.ext", "base 3.ext", … up to 10000, else "base" plus eight characters of a
// random UUID. The file is created with O_EXCL, so a file that appears between the check and the
// write is never replaced: its name is skipped and the next one taken.
class NewFileNaming
{
public:
    struct NameParts
    {
        QString base;
        QString extension; // empty when the name has none
    };

    struct Creation
    {
        QString path; // the file made, or empty
        QString error; // why nothing was made, as the system puts it
        bool succeeded() const { return !path.isEmpty(); }
    };

    using OccupiedCheck = std::function<bool(const QString &path)>;

    static constexpr int lastNumber = 10000;

    // The configured name, or "Untitled.txt" when it is empty, "." or "..", or holds "/" or NUL:
    // such a name would name the folder itself or a place outside it.
    static QString usableName(const QString &configured);
    // The extension is the text after the last "."; a name whose only "." is its first
    // character (".notes") has none.
    static NameParts split(const QString &name);
    // The first free name by the rule above; the UUID name is not checked.
    static QString uniqueFilePath(
        const QString &name, const QString &folder, const OccupiedCheck &occupied = isOccupied);
    // Makes the empty file (mode 0666 less the umask) under usableName(name).
    static Creation createUniqueFile(
        const QString &name, const QString &folder, const OccupiedCheck &occupied = isOccupied);

    // Something is at the path: a file, a folder, or a symlink (also one that leads nowhere).
    static bool isOccupied(const QString &path);
};
