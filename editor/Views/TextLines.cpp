#include "TextLines.h"

#include "TextDocument.h"

#include <algorithm>
#include <limits>

namespace {

std::optional<int> positiveNumber(QStringView text)
{
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty() || !std::all_of(trimmed.begin(), trimmed.end(), [](QChar c) {
            return c >= u'0' && c <= u'9';
        }))
        return std::nullopt;
    bool ok = false;
    const int number = trimmed.toInt(&ok);
    // Only digits, so only too large: past the end, where any such number goes.
    if (!ok)
        return std::numeric_limits<int>::max();
    if (number < 1)
        return std::nullopt;
    return number;
}

} // namespace

namespace TextLines {

std::optional<LineTarget> parse(QStringView input)
{
    const qsizetype colon = input.indexOf(u':');
    const std::optional<int> line = positiveNumber(colon < 0 ? input : input.left(colon));
    if (!line)
        return std::nullopt;
    if (colon < 0)
        return LineTarget {*line, 1};
    const std::optional<int> column = positiveNumber(input.mid(colon + 1));
    if (!column)
        return std::nullopt;
    return LineTarget {*line, *column};
}

qsizetype lineCount(const TextDocument &document)
{
    return document.lineCount();
}

qsizetype position(const TextDocument &document, LineTarget target)
{
    const qsizetype line = std::min<qsizetype>(target.line, document.lineCount()) - 1;
    const LineSpan span = document.lineSpan(line);
    const qsizetype column = std::min<qsizetype>(target.column - 1, span.length);
    qsizetype position = span.start + column;
    if (column > 0 && column < span.length && QChar::isLowSurrogate(document.unitAt(position))
        && QChar::isHighSurrogate(document.unitAt(position - 1)))
        --position;
    return position;
}

} // namespace TextLines
