#include "NewFileNaming.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {

// A file that keeps appearing under every name we pick is not worth chasing further.
constexpr int maximumCollisions = 100;

QString joined(const QString &folder, const QString &name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString numberedName(const NewFileNaming::NameParts &parts, const QString &suffix)
{
    QString name = parts.base + u' ' + suffix;
    if (!parts.extension.isEmpty())
        name += u'.' + parts.extension;
    return name;
}

} // namespace

QString NewFileNaming::usableName(const QString &configured)
{
    if (configured.isEmpty() || configured == u"." || configured == u".."
        || configured.contains(u'/') || configured.contains(QChar(0)))
        return u"Untitled.txt"_s;
    return configured;
}

NewFileNaming::NameParts NewFileNaming::split(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0 || dot == name.size() - 1)
        return {name, QString()};
    return {name.left(dot), name.mid(dot + 1)};
}

bool NewFileNaming::isOccupied(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString NewFileNaming::uniqueFilePath(
    const QString &name, const QString &folder, const OccupiedCheck &occupied)
{
    const QString candidate = joined(folder, name);
    if (!occupied(candidate))
        return candidate;
    const NameParts parts = split(name);
    for (int number = 2; number <= lastNumber; ++number) {
        const QString numbered = joined(folder, numberedName(parts, QString::number(number)));
        if (!occupied(numbered))
            return numbered;
    }
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().left(8);
    return joined(folder, numberedName(parts, uuid));
}

NewFileNaming::Creation NewFileNaming::createUniqueFile(
    const QString &name, const QString &folder, const OccupiedCheck &occupied)
{
    // The system cuts a path at a NUL: "folder/x\0/Untitled.txt" would make the file "folder/x".
    if (folder.contains(QChar(0)))
        return {QString(), u"The folder path contains a NUL character."_s};
    const QString usable = usableName(name);
    QSet<QString> taken;
    const OccupiedCheck occupiedOrTaken = [&](const QString &path) {
        return taken.contains(path) || occupied(path);
    };
    for (int attempt = 0; attempt < maximumCollisions; ++attempt) {
        const QString path = uniqueFilePath(usable, folder, occupiedOrTaken);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return {path, QString()};
        if (!isOccupied(path))
            return {QString(), file.errorString()};
        // It appeared after the check: leave it alone and take the next name.
        taken.insert(path);
    }
    return {QString(), u"File exists"_s};
}
