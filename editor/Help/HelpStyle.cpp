#include "HelpStyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QPalette>

#include <cmath>

namespace {

// Proportions of each style to the body text.
qreal scaleOf(HelpStyle::TextStyle style)
{
    using HelpStyle::TextStyle;
    switch (style) {
    case TextStyle::Body:
    case TextStyle::Headline:
        return 1.0;
    case TextStyle::LargeTitle:
        return 2.0;
    case TextStyle::Title2:
        return 1.3;
    case TextStyle::Subheadline:
        return 0.85;
    case TextStyle::Callout:
    case TextStyle::Monospaced:
        return 0.92;
    }
    return 1.0;
}

QColor mixed(const QColor &foreground, const QColor &background, qreal share)
{
    return QColor::fromRgbF(float(foreground.redF() * share + background.redF() * (1 - share)),
        float(foreground.greenF() * share + background.greenF() * (1 - share)),
        float(foreground.blueF() * share + background.blueF() * (1 - share)));
}

} // namespace

namespace HelpStyle {

QFont font(TextStyle style, QFont::Weight weight)
{
    const QFont body = QApplication::font();
    QFont result = style == TextStyle::Monospaced
        ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
        : body;
    const qreal scale = scaleOf(style);
    if (body.pointSizeF() > 0)
        result.setPointSizeF(body.pointSizeF() * scale);
    else
        result.setPixelSize(int(std::lround(body.pixelSize() * scale)));
    result.setWeight(weight);
    return result;
}

QColor color(const QPalette &palette, Tone tone, QPalette::ColorRole background)
{
    const QColor text = palette.color(QPalette::WindowText);
    switch (tone) {
    case Tone::Primary:
        return text;
    case Tone::Secondary:
        return mixed(text, palette.color(background), 0.6);
    case Tone::Tertiary:
        return mixed(text, palette.color(background), 0.35);
    }
    return text;
}

QWidget *createDivider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

} // namespace HelpStyle
