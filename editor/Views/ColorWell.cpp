#include "ColorWell.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

ColorWell::ColorWell(QWidget *parent)
    : QPushButton(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ColorWell::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

QSize ColorWell::sizeHint() const
{
    return {56, QPushButton::sizeHint().height()};
}

void ColorWell::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const QRect swatch = contents.adjusted(3, 3, -3, -3);
    QPainter painter(this);
    // A dark and a light line around the swatch keep white on white and black on black visible.
    painter.setPen(QColor(0, 0, 0, 0x80));
    painter.setBrush(m_color.isValid() ? QColor(m_color.rgb()) : QColor(Qt::transparent));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    painter.setPen(QColor(255, 255, 255, 0x80));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(swatch.adjusted(1, 1, -2, -2));
}
