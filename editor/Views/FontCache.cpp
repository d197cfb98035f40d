#include "FontCache.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QHash>
#include <QThread>

#include <algorithm>

namespace {

// The size setting is an unchecked integer from a hand-editable file; QFont rejects sizes
// below 1 with a warning and a useless font, and absurd sizes only exhaust memory.
constexpr qint64 minimumPointSize = 1;
constexpr qint64 maximumPointSize = 1000;

QHash<QString, QFont> &cache()
{
    Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
    static QHash<QString, QFont> fonts;
    return fonts;
}

QFont resolve(const QString &family, qint64 size, bool isBold)
{
    const int points = int(std::clamp(size, minimumPointSize, maximumPointSize));
    QFont font;
    if (QFontDatabase::hasFamily(family)) {
        font = QFont(family);
    } else {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setWeight(isBold ? QFont::Bold : QFont::Normal);
    }
    font.setPointSize(points);
    if (isBold)
        font.setBold(true);
    return font;
}

} // namespace

QFont FontCache::font(const QString &family, qint64 size, bool isBold)
{
    const QString key = cacheKey(family, size, isBold);
    auto &fonts = cache();
    if (const auto found = fonts.constFind(key); found != fonts.cend())
        return found.value();
    const QFont resolved = resolve(family, size, isBold);
    fonts.insert(key, resolved);
    return resolved;
}

QString FontCache::cacheKey(const QString &family, qint64 size, bool isBold)
{
    return family + u'-' + QString::number(size) + u'-'
        + (isBold ? QStringLiteral("true") : QStringLiteral("false"));
}

bool FontCache::isCached(const QString &key)
{
    return cache().contains(key);
}
