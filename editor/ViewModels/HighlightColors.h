#pragma once

#include <QColor>

// The fixed colours that mark find matches in the editor, the same in light and dark appearance.
namespace HighlightColors {

// Every match that is not the current one: plain yellow at 30 %.
QColor matchBackground();
// The current match: plain orange at 50 %.
QColor currentMatchBackground();

} // namespace HighlightColors
