#pragma once

#include <QString>

namespace FindBarAccessibilityStrings {

// What a screen reader announces for the find panel's match count label showing `text`.
QString matchCountLabel(const QString &text, bool searching = false);
// The label's description: while a long document is searched, that Return waits for the matches.
QString matchCountDescription(bool searching);

} // namespace FindBarAccessibilityStrings
