#pragma once

#include <QColor>
#include <QString>
#include <QStringView>

#include <optional>

// The text form of the two colour settings: "#" and six hexadecimal digits, red, green, blue.
namespace ColorHex {

// sRGB components, nominally 0 to 1.
struct Rgb
{
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;

    friend bool operator==(const Rgb &, const Rgb &) = default;
};

// Lenient on purpose, because settings files are edited by hand: surrounding whitespace and
// newlines are ignored, every "#" anywhere is dropped, digits may be either case, and the six
// characters may begin with "+" (or "-" for a value of zero). Anything else gives no colour.
std::optional<Rgb> decodeHexColor(QStringView text);

// Upper-case "#RRGGBB". Each component is scaled by 255 and rounded half away from zero; values
// outside 0 to 1 are clamped to 00 and FF and NaN becomes 00, so encoding never fails.
QString encodeHexColor(Rgb rgb);

// The decoded colour, fully opaque.
std::optional<QColor> colorFromHex(QStringView text);

// The colour converted to RGB, alpha dropped; an invalid colour gives "#000000".
QString hexString(const QColor &color);

} // namespace ColorHex
