#pragma once

#include "TextLayoutCache.h"

#include <optional>
#include <utility>

// One row on screen: a line of a block's layout.
struct VisualRow
{
    TextBlock block;
    int row = 0;

    friend auto operator<=>(const VisualRow &, const VisualRow &) = default;
};

// Where the caret goes for each move a key asks for, read from the layouts, so that it steps over
// whole grapheme clusters, stops where QTextLayout finds words, and follows wrapped rows and
// right-to-left runs as they are shown. A line break, LF, CR or CR LF, is one step.
class TextNavigator
{
public:
    explicit TextNavigator(TextLayoutCache &layouts);

    qsizetype nextCharacter(qsizetype position);
    qsizetype previousCharacter(qsizetype position);
    qsizetype nextWord(qsizetype position);
    qsizetype previousWord(qsizetype position);
    // The first position of the row showing `position`, and the last one still shown on it.
    qsizetype rowStart(qsizetype position);
    qsizetype rowEnd(qsizetype position);
    // `rows` rows down (up when negative) at `x`; the text's end (start) when there are no more.
    qsizetype moveByRows(qsizetype position, int rows, qreal x);

    VisualRow rowOf(qsizetype position);
    std::optional<VisualRow> nextRow(VisualRow row);
    std::optional<VisualRow> previousRow(VisualRow row);
    qreal xOf(qsizetype position);
    // Whether the block holding `position` reads right to left (its first strong character).
    bool isRightToLeft(qsizetype position);
    qsizetype positionInRow(VisualRow row, qreal x);

    // The word (or run of spaces or punctuation) at `position`, and the line with its break.
    std::pair<qsizetype, qsizetype> wordAt(qsizetype position);
    std::pair<qsizetype, qsizetype> lineAt(qsizetype position);

private:
    qsizetype lineEnd(qsizetype line);
    // Whether the row is the last one its line shows.
    bool endsLine(VisualRow row);

    TextLayoutCache &m_layouts;
};
