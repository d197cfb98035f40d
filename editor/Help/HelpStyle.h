#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

class QWidget;

// The type scale and text tones of the help page. Sizes follow the desktop's font: the body style
// is the application font and the other styles keep their proportions to it, so the page grows
// with the user's font settings.
namespace HelpStyle {

enum class TextStyle {
    Body,
    LargeTitle,
    Title2,
    Headline,
    Subheadline,
    Callout,
    Monospaced,
};

// How strongly a text stands out: primary for headings and terms, secondary for running text,
// tertiary for hints.
enum class Tone {
    Primary,
    Secondary,
    Tertiary,
};

QFont font(TextStyle style, QFont::Weight weight = QFont::Normal);
// The tone as an opaque colour over the given background.
QColor color(const QPalette &palette, Tone tone, QPalette::ColorRole background);

// Highlighted search hits are black on yellow in every appearance.
inline constexpr QRgb highlightBackground = 0xFFFFFF00;
inline constexpr QRgb highlightForeground = 0xFF000000;

// A thin horizontal line between parts of the page.
QWidget *createDivider(QWidget *parent);

} // namespace HelpStyle
