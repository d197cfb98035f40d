#pragma once

#include "AppearanceMode.h"

#include <QPalette>

// The palettes a document window takes for a colour scheme. None means the application's own
// palette, which follows the desktop theme.
namespace AppearancePalette {

QPalette forScheme(ColorScheme scheme);
// Whether a palette reads as dark (its window colour is dark), for widgets that pick their own
// shades, such as the gutter.
bool isDark(const QPalette &palette);

} // namespace AppearancePalette
