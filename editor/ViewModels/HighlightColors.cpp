#include "HighlightColors.h"

namespace HighlightColors {

QColor matchBackground()
{
    return QColor::fromRgbF(1.0f, 1.0f, 0.0f, 0.3f);
}

QColor currentMatchBackground()
{
    return QColor::fromRgbF(1.0f, 0.5f, 0.0f, 0.5f);
}

} // namespace HighlightColors
