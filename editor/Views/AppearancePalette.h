#pragma once

#include "AppearanceMode.h"

#include <QList>
#include <QPalette>

// The palettes a document window takes for a colour scheme. None means the application's own
// palette, which follows the desktop theme.
namespace AppearancePalette {

QPalette forScheme(ColorScheme scheme);
// Whether a palette reads as dark (its window colour is dark), for widgets that pick their own
// shades, such as the gutter.
bool isDark(const QPalette &palette);

// A colour for secondary text (captions, the find panel's match count, placeholders) that keeps
// the look of `preferred`, laid over the first background, moved towards `text` only as far as
// it takes to read at HighlightColors::minimumTextContrast on every one of `backgrounds` (all
// opaque). When even `text` does not reach it, `text`.
QColor readableSecondaryText(
    const QColor &preferred, const QColor &text, const QList<QColor> &backgrounds);
// The palette with its placeholder colour made readable on both the window and the fields.
QPalette withReadableSecondaryText(QPalette palette);

} // namespace AppearancePalette
