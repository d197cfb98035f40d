#include "HighlightColors.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace HighlightColors {
namespace {

constexpr double matchHue = 50.0 / 360.0;
constexpr double currentMatchHue = 28.0 / 360.0;
constexpr double minimumDistinctContrast = 1.5;
constexpr double minimumDistinctDifference = 25.0;
// Steps from the pure hue to black and to white: fine enough that the pick lands within a
// percent of the threshold.
constexpr int steps = 100;

double linear(double channel)
{
    return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double relativeLuminance(const QColor &color)
{
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF())
        + 0.0722 * linear(color.blueF());
}

std::array<double, 3> lab(const QColor &color)
{
    const double r = linear(color.redF());
    const double g = linear(color.greenF());
    const double b = linear(color.blueF());
    // sRGB to XYZ (D65), normalised by the white point.
    const double x = (0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047;
    const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double z = (0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883;
    const auto f = [](double t) {
        return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16.0) / 116.0;
    };
    return {116.0 * f(y) - 16.0, 500.0 * (f(x) - f(y)), 200.0 * (f(y) - f(z))};
}

double difference(const QColor &first, const QColor &second)
{
    const std::array<double, 3> a = lab(first);
    const std::array<double, 3> b = lab(second);
    return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

// The hue's colours from black (step -steps) through the pure hue (0) to white (+steps).
QColor shade(double hue, int step)
{
    if (step <= 0)
        return QColor::fromHsvF(float(hue), 1.0f, float(1.0 + double(step) / steps));
    return QColor::fromHsvF(float(hue), float(1.0 - double(step) / steps), 1.0f);
}

// The readable shade nearest the pure hue that stands out from the background (and from `other`,
// the fill it must not be mistaken for), or none.
std::optional<QColor> distinctShade(
    double hue, const QColor &background, const QColor &text, const std::optional<QColor> &other)
{
    for (int distance = 0; distance <= steps; ++distance) {
        for (const int step : {-distance, distance}) {
            const QColor candidate = shade(hue, step);
            if (contrastRatio(candidate, text) >= minimumTextContrast
                && distinctFrom(candidate, background)
                && (!other || distinctFrom(candidate, *other)))
                return candidate;
        }
    }
    return std::nullopt;
}

// The text contrast comes first. Some text colours leave only the darkest or the lightest
// shades readable; on a background that is just as dark or light, another hue may still stand
// out (a deep blue on black), so the other hues are tried, nearest first. Failing all, the
// readable shade of the hue most unlike the background.
QColor pick(double hue, const QColor &background, const QColor &text,
    const std::optional<QColor> &other = std::nullopt)
{
    // The hue itself, then every 15°, nearest first: the primaries among them, whose darkest
    // shades stand out most from black.
    std::vector<double> hues {hue};
    for (int degrees = 0; degrees < 360; degrees += 15)
        hues.push_back(degrees / 360.0);
    const auto apartFromHue = [hue](double candidate) {
        const double apart = std::abs(candidate - hue);
        return std::min(apart, 1.0 - apart);
    };
    std::stable_sort(hues.begin(), hues.end(),
        [&](double a, double b) { return apartFromHue(a) < apartFromHue(b); });
    for (const double candidateHue : hues) {
        if (const std::optional<QColor> found
            = distinctShade(candidateHue, background, text, other))
            return *found;
    }
    // A text colour that leaves one narrow family of readable fills: standing out from the
    // background matters more than from the other fill.
    if (other)
        return pick(hue, background, text);
    QColor best = QColor(relativeLuminance(text) > 0.18 ? Qt::black : Qt::white);
    double bestDifference = -1;
    for (int step = -steps; step <= steps; ++step) {
        const QColor candidate = shade(hue, step);
        const double apart = difference(candidate, background);
        if (contrastRatio(candidate, text) >= minimumTextContrast && apart > bestDifference) {
            bestDifference = apart;
            best = candidate;
        }
    }
    return best;
}

} // namespace

double contrastRatio(const QColor &first, const QColor &second)
{
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

bool distinctFrom(const QColor &fill, const QColor &background)
{
    return contrastRatio(fill, background) >= minimumDistinctContrast
        || difference(fill, background) >= minimumDistinctDifference;
}

Pair forColors(const QColor &background, const QColor &text)
{
    // Painting asks on every scroll; the colours change only with the settings.
    static QColor lastBackground;
    static QColor lastText;
    static Pair last;
    const QColor opaqueBackground = background.toRgb();
    const QColor opaqueText = text.toRgb();
    if (opaqueBackground != lastBackground || opaqueText != lastText || !last.match.isValid()) {
        lastBackground = opaqueBackground;
        lastText = opaqueText;
        const QColor match = pick(matchHue, opaqueBackground, opaqueText);
        last = {match, pick(currentMatchHue, opaqueBackground, opaqueText, match)};
    }
    return last;
}

} // namespace HighlightColors
