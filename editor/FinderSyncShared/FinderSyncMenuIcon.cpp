#include "FinderSyncMenuIcon.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QSaveFile>

namespace {

// The desktop's standard blue (Adwaita's accent), for the page.
const QColor pageBlue(0x35, 0x84, 0xE4);

// The page's rectangle, in a grid whose y axis grows upwards as the shapes were laid out.
constexpr qreal minX = 2, maxX = 12, minY = 1, maxY = 15;
constexpr qreal midX = (minX + maxX) / 2, midY = (minY + maxY) / 2;

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

QPointF up(qreal x, qreal y)
{
    return {x, FinderSyncMenuIcon::size - y};
}

void drawPage(QPainter &painter)
{
    QPainterPath page(up(minX, minY));
    page.lineTo(up(minX, maxY));
    page.lineTo(up(maxX - 3, maxY));
    page.lineTo(up(maxX, maxY - 3));
    page.lineTo(up(maxX, minY));
    page.closeSubpath();
    painter.fillPath(page, withAlpha(pageBlue, 0.8));
    painter.strokePath(page, QPen(pageBlue, 0.5));

    QPainterPath corner(up(maxX - 3, maxY));
    corner.lineTo(up(maxX - 3, maxY - 3));
    corner.lineTo(up(maxX, maxY - 3));
    corner.closeSubpath();
    painter.fillPath(corner, withAlpha(Qt::white, 0.5));
}

void drawLetter(QPainter &painter)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setBold(true);
    font.setPixelSize(7);
    const QFontMetricsF metrics(font);
    const QString letter = QStringLiteral("T");
    const qreal width = metrics.horizontalAdvance(letter);
    const qreal height = metrics.height();
    // The text box's lower left corner, in the upward grid; its top edge in the painter's.
    const qreal left = midX - width * 0.5;
    const qreal bottom = midY - height * 0.5 - 1;
    const qreal top = FinderSyncMenuIcon::size - (bottom + height);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QPointF(left, top + metrics.ascent()), letter);
}

} // namespace

QImage FinderSyncMenuIcon::image(int scale)
{
    QImage icon(size * scale, size * scale, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    icon.setDevicePixelRatio(scale);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    drawPage(painter);
    drawLetter(painter);
    return icon;
}

bool FinderSyncMenuIcon::writePng(const QString &path, int scale)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && image(scale).save(&file, "PNG") && file.commit();
}
