#include "MemoryBudget.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

constexpr qint64 unlimited = std::numeric_limits<qint64>::max();

// Beside two bytes of UTF-16 per byte and a node of about 96 bytes per piece of at most 4,096
// units (1/32 of a byte per byte is a round figure above that): what a load has in flight, which
// is most for a single-byte encoding (16 MiB of bytes and their text; UTF-8 is read 1 MiB at a
// time into the text itself), a block's copy with the line breaks made LF, and the layouts and
// counts that follow the blocks. A small file has small blocks, so it still opens when memory is
// short.
constexpr qint64 inFlightPerByte = 6;
constexpr qint64 mostInFlight = qint64(96) << 20;

std::optional<qint64> readNumber(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const qint64 value = file.readLine(64).trimmed().toLongLong(&ok);
    return ok ? std::optional(value) : std::nullopt;
}

qint64 memAvailable()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly))
        return unlimited;
    // Read whole: /proc files report no size, and the field is near the top.
    for (const QByteArray &line : meminfo.readAll().split('\n')) {
        if (!line.startsWith("MemAvailable:"))
            continue;
        bool ok = false;
        const qint64 kilobytes = line.mid(13).trimmed().chopped(2).trimmed().toLongLong(&ok);
        if (ok)
            return kilobytes * 1024;
    }
    return unlimited;
}

// The room a cgroup v2 limit leaves, in this process's group or any above it ("max" and a
// missing file are no limit).
qint64 cgroupRoom()
{
    QFile membership(QStringLiteral("/proc/self/cgroup"));
    if (!membership.open(QIODevice::ReadOnly))
        return unlimited;
    QString group;
    for (const QByteArray &line : membership.readAll().split('\n')) {
        if (line.startsWith("0::"))
            group = QString::fromUtf8(line.mid(3));
    }
    if (group.isEmpty())
        return unlimited;
    qint64 room = unlimited;
    for (;;) {
        const QString folder = QStringLiteral("/sys/fs/cgroup") + group;
        const std::optional<qint64> limit = readNumber(folder + QStringLiteral("/memory.max"));
        const std::optional<qint64> used = readNumber(folder + QStringLiteral("/memory.current"));
        if (limit && used)
            room = std::min(room, std::max<qint64>(*limit - *used, 0));
        if (group.size() <= 1)
            break;
        group.truncate(std::max<qsizetype>(group.lastIndexOf(u'/'), 1));
    }
    return room;
}

} // namespace

namespace MemoryBudget {

qint64 bytesToOpen(qint64 fileSize)
{
    if (fileSize > (unlimited - mostInFlight) / 3)
        return unlimited;
    // Blocks in flight are capped, so the multiplication is only made where it cannot overflow.
    const qint64 inFlight
        = fileSize > mostInFlight / inFlightPerByte ? mostInFlight : inFlightPerByte * fileSize;
    return 2 * fileSize + fileSize / 32 + inFlight;
}

qint64 largestFileFor(qint64 available)
{
    // bytesToOpen() grows with the size, and never falls below twice it.
    qint64 fits = 0;
    qint64 tooLarge = available / 2 + 1;
    while (tooLarge - fits > 1) {
        const qint64 middle = fits + (tooLarge - fits) / 2;
        if (bytesToOpen(middle) <= available)
            fits = middle;
        else
            tooLarge = middle;
    }
    return fits;
}

qint64 availableBytes()
{
    bool ok = false;
    const qint64 forTests = qgetenv("SCRIVLET_TEST_AVAILABLE_MEMORY").toLongLong(&ok);
    if (ok && forTests >= 0)
        return forTests;
    return std::min(memAvailable(), cgroupRoom());
}

} // namespace MemoryBudget
