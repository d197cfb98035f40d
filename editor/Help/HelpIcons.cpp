#include "HelpIcons.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

void drawMagnifier(QPainter &painter, qreal size, const QColor &color)
{
    const qreal stroke = std::max(1.0, size / 9);
    painter.setPen(QPen(color, stroke, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    const qreal radius = size * 0.3;
    const QPointF centre(size * 0.42, size * 0.42);
    painter.drawEllipse(centre, radius, radius);
    const qreal handleStart = radius + stroke / 2;
    const qreal diagonal = 1 / std::sqrt(2.0);
    painter.drawLine(
        centre + QPointF(handleStart, handleStart) * diagonal, QPointF(size * 0.9, size * 0.9));
}

void drawClearCircle(QPainter &painter, qreal size, const QColor &color)
{
    // The cross is cut out of the disc, so it shows whatever lies behind the button.
    QPainterPath disc;
    disc.addEllipse(QRectF(0, 0, size, size).adjusted(0.5, 0.5, -0.5, -0.5));
    const qreal inset = size * 0.32;
    const qreal stroke = std::max(1.0, size / 9);
    QPainterPathStroker stroker;
    stroker.setWidth(stroke);
    stroker.setCapStyle(Qt::RoundCap);
    QPainterPath cross;
    cross.moveTo(inset, inset);
    cross.lineTo(size - inset, size - inset);
    cross.moveTo(size - inset, inset);
    cross.lineTo(inset, size - inset);
    painter.fillPath(disc.subtracted(stroker.createStroke(cross)), color);
}

} // namespace

namespace HelpIcons {

void paint(QPainter &painter, Symbol symbol, qreal size, const QColor &color)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (symbol == Symbol::Magnifier)
        drawMagnifier(painter, size, color);
    else
        drawClearCircle(painter, size, color);
    painter.restore();
}

QPixmap pixmap(Symbol symbol, int size, const QColor &color, qreal devicePixelRatio)
{
    const int pixels = int(std::ceil(size * devicePixelRatio));
    QPixmap result(pixels, pixels);
    result.setDevicePixelRatio(devicePixelRatio);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    paint(painter, symbol, size, color);
    painter.end();
    return result;
}

} // namespace HelpIcons
