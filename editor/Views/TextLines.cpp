#include "TextLines.h"

#include "ScrivletTextView.h"

#include <QTextBlock>
#include <QTextDocument>

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

bool isLineStart(const QTextBlock &block)
{
    return ScrivletTextView::lineNumberOf(block).startsLine;
}

// The first block of line `line`, or of the last line when there are fewer.
QTextBlock firstBlockOfLine(const QTextDocument &document, int line)
{
    // Outside the long-line display every block is a line of its own and numbered by Qt.
    if (document.firstBlock().userState() == -1) {
        const QTextBlock block = document.findBlockByNumber(line - 1);
        return block.isValid() ? block : document.lastBlock();
    }
    QTextBlock found = document.firstBlock();
    for (QTextBlock block = document.firstBlock(); block.isValid(); block = block.next()) {
        if (!isLineStart(block))
            continue;
        found = block;
        if (ScrivletTextView::lineNumberOf(block).number >= line)
            break;
    }
    return found;
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

int lineCount(const QTextDocument &document)
{
    const QTextBlock last = document.lastBlock();
    return ScrivletTextView::lineNumberOf(last).number;
}

int position(const QTextDocument &document, LineTarget target)
{
    QTextBlock block = firstBlockOfLine(document, target.line);
    // Pieces of one line in the long-line display are joined by a break of their own, which
    // holds no column of the text.
    qsizetype remaining = target.column - 1;
    while (remaining > block.length() - 1) {
        const QTextBlock next = block.next();
        if (!next.isValid() || isLineStart(next)) {
            remaining = block.length() - 1;
            break;
        }
        remaining -= block.length() - 1;
        block = next;
    }
    int position = block.position() + int(remaining);
    const QString text = block.text();
    if (remaining > 0 && remaining < text.size() && text.at(remaining).isLowSurrogate()
        && text.at(remaining - 1).isHighSurrogate())
        --position;
    return position;
}

} // namespace TextLines
