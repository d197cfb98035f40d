#include "ColorHex.h"

#include "UnicodeSets.h"

#include <algorithm>
#include <cmath>

namespace ColorHex {

namespace {

QStringView trimmedWhitespaceAndNewlines(QStringView text)
{
    // Every member of the set is in the BMP, so a surrogate never matches and can be left alone.
    while (!text.isEmpty() && isWhitespaceOrNewline(text.front().unicode()))
        text = text.sliced(1);
    while (!text.isEmpty() && isWhitespaceOrNewline(text.back().unicode()))
        text.chop(1);
    return text;
}

int hexDigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

// Follows the usual unsigned integer parser: one optional sign, then at least one digit; "-" is
// only accepted when the value is zero, since anything else would be negative.
std::optional<quint32> parseSignedHex(QStringView digits)
{
    const char16_t sign = digits.isEmpty() ? u'\0' : digits.front().unicode();
    if (sign == u'+' || sign == u'-')
        digits = digits.sliced(1);
    if (digits.isEmpty())
        return std::nullopt;
    quint32 value = 0;
    for (const QChar c : digits) {
        const int digit = hexDigitValue(c.unicode());
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + quint32(digit);
    }
    if (sign == u'-' && value != 0)
        return std::nullopt;
    return value;
}

int channelByte(double component)
{
    if (std::isnan(component))
        return 0;
    const double scaled = std::round(component * 255.0);
    return int(std::clamp(scaled, 0.0, 255.0));
}

} // namespace

std::optional<Rgb> decodeHexColor(QStringView text)
{
    QString digits = trimmedWhitespaceAndNewlines(text).toString();
    digits.remove(QLatin1Char('#'));
    // Six user-perceived characters that all parse are six ASCII code units, and any non-ASCII
    // code unit fails the parse, so counting code units is enough here.
    if (digits.size() != 6)
        return std::nullopt;
    const std::optional<quint32> value = parseSignedHex(digits);
    if (!value)
        return std::nullopt;
    return Rgb {
        double((*value >> 16) & 0xFF) / 255.0,
        double((*value >> 8) & 0xFF) / 255.0,
        double(*value & 0xFF) / 255.0,
    };
}

QString encodeHexColor(Rgb rgb)
{
    return QStringLiteral("#%1%2%3")
        .arg(channelByte(rgb.red), 2, 16, QLatin1Char('0'))
        .arg(channelByte(rgb.green), 2, 16, QLatin1Char('0'))
        .arg(channelByte(rgb.blue), 2, 16, QLatin1Char('0'))
        .toUpper();
}

std::optional<QColor> colorFromHex(QStringView text)
{
    const std::optional<Rgb> rgb = decodeHexColor(text);
    if (!rgb)
        return std::nullopt;
    return QColor::fromRgbF(float(rgb->red), float(rgb->green), float(rgb->blue), 1.0f);
}

QString hexString(const QColor &color)
{
    if (!color.isValid())
        return QStringLiteral("#000000");
    const QColor rgb = color.toRgb();
    return encodeHexColor(Rgb {rgb.redF(), rgb.greenF(), rgb.blueF()});
}

} // namespace ColorHex
