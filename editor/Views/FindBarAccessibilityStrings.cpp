#include "FindBarAccessibilityStrings.h"

namespace FindBarAccessibilityStrings {

QString matchCountLabel(const QString &text)
{
    if (text.isEmpty())
        return QStringLiteral("No search results");
    return QStringLiteral("Search results: ") + text;
}

} // namespace FindBarAccessibilityStrings
