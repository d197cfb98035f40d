#include "FindBarAccessibilityStrings.h"

namespace FindBarAccessibilityStrings {

QString matchCountLabel(const QString &text, bool searching)
{
    if (searching)
        return QStringLiteral("Searching the document");
    if (text.isEmpty())
        return QStringLiteral("No search results");
    return QStringLiteral("Search results: ") + text;
}

QString matchCountDescription(bool searching)
{
    if (!searching)
        return {};
    return QStringLiteral("The matches appear when the search is done; "
                          "Find Next and Find Previous then move to them");
}

} // namespace FindBarAccessibilityStrings
