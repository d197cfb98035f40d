#pragma once

#include "MatchRange.h"
#include "TextMatcher.h"

#include <QLocale>
#include <QStringView>

// How the help page compares its texts with the search text. Filtering and highlighting differ
// on purpose: filtering asks the locale's case-insensitive question ("does this section mention
// it?"), highlighting marks the literal lower-case hits it can place exactly in the shown text.
namespace HelpTextSearch {

// Whether texts contain a term, ignoring case by full Unicode case folding under the rules of a
// locale (Turkish and Azerbaijani keep dotted and dotless i apart), treating canonically
// equivalent sequences as equal and never ignoring diacritics: "e" does not find "é". An empty
// term is contained in every text. Made once per search and asked for each text.
class Containment
{
public:
    Containment(QStringView term, const QLocale &locale);

    bool isFoundIn(QStringView text) const;

private:
    bool m_emptyTerm;
    bool m_turkicCasing;
    TextMatcher m_matcher;
};

bool contains(QStringView text, QStringView term, const QLocale &locale);

// The spans of `text` to highlight for `term`: both are lower-cased (the Unicode mapping, the
// same in every locale), the lower-cased term is looked for literally, left to right, each search
// continuing after the previous hit. Hits are returned as UTF-16 ranges of `text` itself. A
// lower-case mapping may change the length (U+0130 "İ" becomes "i" + U+0307), so hits are mapped
// back character by character; a hit that starts or ends inside one character's lower-case form
// has no place in `text` and is left out.
MatchList highlightSpans(QStringView text, QStringView term);

} // namespace HelpTextSearch
