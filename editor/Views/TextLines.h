#pragma once

#include <QStringView>

#include <optional>

class TextDocument;

// A place in a text by line and column, both counted from 1.
struct LineTarget
{
    int line = 1;
    int column = 1;

    friend bool operator==(const LineTarget &, const LineTarget &) = default;
};

// The document's lines as the user counts them (the gutter's numbers), kept behind these few
// functions so that whatever holds the text can answer them. A line ends at LF, CR LF or a lone
// CR, as the text storage splits it.
namespace TextLines {

// "12" or "12:5", spaces around the numbers allowed; nothing for anything else (0, signs,
// letters, an empty column).
std::optional<LineTarget> parse(QStringView input);

qsizetype lineCount(const TextDocument &document);

// The cursor position of `target`: a line past the end is the last line, a column past the
// line's end is its end, and a position never splits a surrogate pair.
qsizetype position(const TextDocument &document, LineTarget target);

} // namespace TextLines
