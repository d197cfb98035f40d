#pragma once

#include "TextSnapshot.h"

#include <map>
#include <vector>

// Where the view cuts lines too long to lay out whole. QTextLayout shapes a paragraph at once, so
// a line of millions of units is cut into segments of a few thousand, each laid out on its own,
// cut after a space where one is near and never inside a grapheme cluster. The cuts of a long line
// are found when the line is first asked for and then follow its edits, so a keystroke in the
// middle of a huge line re-cuts at most the segment it lands in.
class LineSegments
{
public:
    static constexpr qsizetype TargetUnits = 4000;
    // A line up to this length is one segment, and so is every segment after an edit.
    static constexpr qsizetype MaxUnits = 6000;
    // An edited segment shorter than this joins its neighbour.
    static constexpr qsizetype MinUnits = 500;

    // Forgets every cut: a new text.
    void setText(const TextSnapshot &text);
    // Follows the replacement of `removed` units at `position` by `added` units, `text` being the
    // text after it. Returns the first segment of the edited line whose text changed, or -1 when
    // lines were joined or split (everything from the edited line on moved).
    int update(const TextSnapshot &text, qsizetype position, qsizetype removed, qsizetype added);

    // Where `line` starts, how long it is and its break, in O(log n) whatever its length.
    static LineSpan span(const TextSnapshot &text, qsizetype line);

    // The first unit of each segment of `line`, from the line's start; {0} for an ordinary line.
    const std::vector<qsizetype> &starts(qsizetype line);
    int count(qsizetype line) { return int(starts(line).size()); }
    // Whether `line` is a long line whose cuts are known.
    bool isKnownLong(qsizetype line) const { return m_long.contains(line); }
    // The segment holding `column` of `line`; a column on a cut belongs to the segment it starts.
    int segmentAt(qsizetype line, qsizetype column);

    // Segments beyond the first of each long line met so far, before `line` and in all: the
    // vertical scroll bar counts segments, and a long line not seen yet counts as one.
    qsizetype extraSegmentsBefore(qsizetype line) const;
    qsizetype extraSegments() const;
    // The line and segment at `index` counting every segment of the known long lines.
    std::pair<qsizetype, int> locate(qsizetype index) const;

private:
    std::vector<qsizetype> cut(qsizetype lineStart, qsizetype from, qsizetype to) const;
    qsizetype cutNear(qsizetype lineStart, qsizetype target) const;
    int updateLine(qsizetype line, qsizetype column, qsizetype removed, qsizetype added);
    void shiftLines(qsizetype first, qsizetype last, qsizetype delta);

    TextSnapshot m_text;
    std::map<qsizetype, std::vector<qsizetype>> m_long;
    const std::vector<qsizetype> m_single {0};
};
