#include "FileStamp.h"

#include <QFileInfo>

FileStamp FileStamp::of(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return {info.lastModified(), info.size()};
}
