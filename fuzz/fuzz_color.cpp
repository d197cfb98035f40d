// The colour codec: any text decodes to a colour or to nothing without failing, whatever decodes
// re-encodes to "#RRGGBB" and decodes to the same colour, and any triple encodes.

#include "FuzzCheck.h"

#include "ColorHex.h"

#include <QRegularExpression>

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>

namespace {

bool isWholeByte(double component)
{
    const double scaled = component * 255.0;
    return component >= 0.0 && component <= 1.0 && scaled == std::round(scaled);
}

bool isCanonicalHex(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^#[0-9A-F]{6}$"));
    return form.match(text).hasMatch();
}

double expectedChannel(double component)
{
    if (std::isnan(component))
        return 0.0;
    return std::clamp(std::round(component * 255.0), 0.0, 255.0) / 255.0;
}

void checkDecode(const QString &text)
{
    const std::optional<ColorHex::Rgb> rgb = ColorHex::decodeHexColor(text);
    const std::optional<QColor> color = ColorHex::colorFromHex(text);
    FUZZ_CHECK(rgb.has_value() == color.has_value());
    if (!rgb)
        return;
    FUZZ_CHECK(isWholeByte(rgb->red) && isWholeByte(rgb->green) && isWholeByte(rgb->blue));
    const QString hex = ColorHex::encodeHexColor(*rgb);
    FUZZ_CHECK(isCanonicalHex(hex));
    FUZZ_CHECK(ColorHex::decodeHexColor(hex) == rgb);
    FUZZ_CHECK(color->isValid() && color->alpha() == 255);
    FUZZ_CHECK(ColorHex::hexString(*color) == hex);
}

void checkEncode(ColorHex::Rgb rgb)
{
    const QString hex = ColorHex::encodeHexColor(rgb);
    FUZZ_CHECK(isCanonicalHex(hex));
    const std::optional<ColorHex::Rgb> back = ColorHex::decodeHexColor(hex);
    FUZZ_CHECK(back.has_value());
    FUZZ_CHECK(back->red == expectedChannel(rgb.red));
    FUZZ_CHECK(back->green == expectedChannel(rgb.green));
    FUZZ_CHECK(back->blue == expectedChannel(rgb.blue));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    checkDecode(QString::fromUtf8(bytes));
    checkDecode(FuzzText::utf16Units(bytes));

    FuzzedDataProvider provider(data, size);
    ColorHex::Rgb rgb;
    // Whole bit patterns: NaN, infinities, huge and denormal values too.
    for (double *component : {&rgb.red, &rgb.green, &rgb.blue}) {
        const auto bits = provider.ConsumeIntegral<quint64>();
        std::memcpy(component, &bits, sizeof(double));
    }
    checkEncode(rgb);
    return 0;
}
