#pragma once

#include <QString>

namespace FindBarAccessibilityStrings {

// What a screen reader announces for the find panel's match count label.
QString matchCountLabel(const QString &text);

} // namespace FindBarAccessibilityStrings
