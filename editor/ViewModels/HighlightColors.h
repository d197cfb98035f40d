#pragma once

#include <QColor>

// The colours that mark find matches in the editor, worked out from the editor's own background
// and text colours so the text over a match stays readable on any background: a yellow for every
// match and an orange for the current one, as vivid as the text allows.
namespace HighlightColors {

struct Pair
{
    QColor match;
    QColor currentMatch;
};

// Opaque fills. Each gives the text a contrast ratio of at least minimumTextContrast against it
// (always possible: black or white reaches 4.58:1 with any text), stands out from the
// background (distinctFrom()), and otherwise stays as close to its pure hue as it can.
Pair forColors(const QColor &background, const QColor &text);

inline constexpr double minimumTextContrast = 4.5;

// The WCAG 2 contrast ratio of two opaque colours, 1 to 21.
double contrastRatio(const QColor &first, const QColor &second);
// Whether a fill reads as a mark on `background`: a contrast ratio of 1.5 or more, or a colour
// difference (CIE 1976 ΔE in Lab) of 25 or more, which a hue shift alone gives.
bool distinctFrom(const QColor &fill, const QColor &background);

} // namespace HighlightColors
