#pragma once

#include <QColor>
#include <QPixmap>

class QPainter;

// The two symbols of the help page, drawn here rather than taken from the icon theme, which may
// have neither (or draw them in colours that ignore the page's tones).
namespace HelpIcons {

enum class Symbol {
    Magnifier,
    ClearCircle, // a cross in a filled circle
};

// Draws the symbol in a square of `size` at the painter's origin.
void paint(QPainter &painter, Symbol symbol, qreal size, const QColor &color);
QPixmap pixmap(Symbol symbol, int size, const QColor &color, qreal devicePixelRatio);

} // namespace HelpIcons
