#include "AppearancePalette.h"

#include "HighlightColors.h"

#include <QApplication>

#include <algorithm>

namespace AppearancePalette {
namespace {

QPalette lightPalette()
{
    QPalette palette(QColor(0xEF, 0xEF, 0xEF));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(0xF5, 0xF5, 0xF5));
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::ButtonText, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(0x30, 0x8C, 0xC6));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 0x80));
    return palette;
}

QPalette darkPalette()
{
    QPalette palette(QColor(0x35, 0x35, 0x35));
    palette.setColor(QPalette::Window, QColor(0x2B, 0x2B, 0x2B));
    palette.setColor(QPalette::Base, QColor(0x1E, 0x1E, 0x1E));
    palette.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
    palette.setColor(QPalette::Text, QColor(0xE6, 0xE6, 0xE6));
    palette.setColor(QPalette::WindowText, QColor(0xE6, 0xE6, 0xE6));
    palette.setColor(QPalette::ButtonText, QColor(0xE6, 0xE6, 0xE6));
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Highlight, QColor(0x2A, 0x6E, 0xA8));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(0xFF, 0xFF, 0xFF, 0x80));
    palette.setColor(QPalette::ToolTipBase, QColor(0x2B, 0x2B, 0x2B));
    palette.setColor(QPalette::ToolTipText, QColor(0xE6, 0xE6, 0xE6));
    return palette;
}

// Colours as they are painted, eight bits a channel, so that the contrast measured is the one
// shown.
QColor over(const QColor &color, const QColor &background)
{
    const double alpha = color.alphaF();
    const auto channel = [alpha](double top, double bottom) {
        return qRound((top * alpha + bottom * (1 - alpha)) * 255);
    };
    return QColor(channel(color.redF(), background.redF()),
        channel(color.greenF(), background.greenF()), channel(color.blueF(), background.blueF()));
}

QColor mixed(const QColor &from, const QColor &to, double share)
{
    const auto channel = [share](int a, int b) {
        return qRound(a + (b - a) * share);
    };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
        channel(from.blue(), to.blue()));
}

} // namespace

QColor readableSecondaryText(
    const QColor &preferred, const QColor &text, const QList<QColor> &backgrounds)
{
    const QColor opaqueText = backgrounds.isEmpty() ? text : over(text, backgrounds.first());
    const QColor start = backgrounds.isEmpty() ? preferred : over(preferred, backgrounds.first());
    const auto readable = [&backgrounds](const QColor &color) {
        return std::all_of(backgrounds.begin(), backgrounds.end(), [&color](const QColor &back) {
            return HighlightColors::contrastRatio(color, back)
                >= HighlightColors::minimumTextContrast;
        });
    };
    if (readable(start))
        return start;
    if (!readable(opaqueText))
        return opaqueText;
    // The contrast grows as the colour nears the text's; the least share that reads is kept.
    double low = 0;
    double high = 1;
    for (int step = 0; step < 20; ++step) {
        const double middle = (low + high) / 2;
        (readable(mixed(start, opaqueText, middle)) ? high : low) = middle;
    }
    return mixed(start, opaqueText, high);
}

QPalette withReadableSecondaryText(QPalette palette)
{
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::PlaceholderText,
            readableSecondaryText(palette.color(group, QPalette::PlaceholderText),
                palette.color(group, QPalette::WindowText),
                {palette.color(group, QPalette::Window), palette.color(group, QPalette::Base)}));
    }
    return palette;
}

QPalette forScheme(ColorScheme scheme)
{
    switch (scheme) {
    case ColorScheme::Light:
        return withReadableSecondaryText(lightPalette());
    case ColorScheme::Dark:
        return withReadableSecondaryText(darkPalette());
    case ColorScheme::None:
        break;
    }
    return QApplication::palette();
}

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

} // namespace AppearancePalette
