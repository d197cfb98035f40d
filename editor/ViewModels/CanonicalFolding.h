#pragma once

#include <QStringView>

#include <string>
#include <vector>

// The form in which find compares text: each segment (a starter with the combining marks that
// follow it) is decomposed (NFD), case-folded when case does not matter, and decomposed again.
// Two texts are then equal in this form exactly when they are canonically equivalent (and equal
// under full case folding), and a match can only begin and end on segment boundaries, so "e" never
// matches the first half of "e" + U+0301.
namespace CanonicalFolding {

enum class Folding {
    CaseSensitive,
    CaseInsensitive,
};

// A segment never holds more than this many code points: a longer run of combining marks is cut,
// as in Unicode's stream-safe text format, so no input makes the canonical reordering quadratic.
inline constexpr int maximumSegmentCodePoints = 31;

// Where a run of folded units came from in the original text.
struct Anchor
{
    qsizetype folded = 0; // first folded unit
    qsizetype origin = 0; // first original code unit
    qsizetype foldedLength = 0; // folded units of the run
    qsizetype originLength = 0; // original code units of the run
    // One-to-one runs map each folded unit to one original unit, each a segment of its own;
    // otherwise the run is one segment.
    bool oneToOne = false;
};

// Folded text of a stretch of the original, with the map back to original positions.
struct FoldedText
{
    std::u16string units;
    std::vector<Anchor> anchors;

    void clear()
    {
        units.clear();
        anchors.clear();
    }
    // The original position of a folded position that starts a segment, or -1 when the folded
    // position lies inside a segment. `hint` is an anchor index to start looking from; it is
    // updated so that increasing positions cost amortised constant time.
    qsizetype originOfSegmentStart(qsizetype foldedPosition, std::size_t &hint) const;
};

// Appends the folded form of whole segments of `text`, beginning at `begin` (which must be a
// segment boundary) and stopping at the first segment boundary at or after `stopAfter`, or at the
// end of `text`. Returns the position where it stopped.
qsizetype foldSegments(
    QStringView text, qsizetype begin, qsizetype stopAfter, Folding folding, FoldedText &out);

// The folded form of a whole string (used for the search text).
std::u16string fold(QStringView text, Folding folding);

// Whether a code point always starts a new segment (canonical combining class 0 and no
// decomposition that starts with a combining mark).
bool isStarter(char32_t codePoint);

// The start of the segment that contains `position`, found by walking back to a starter.
qsizetype segmentStartAtOrBefore(QStringView text, qsizetype position);

} // namespace CanonicalFolding
