#include "LongLineLayout.h"

#include <algorithm>

namespace {

bool isLineBreak(QChar unit)
{
    return unit == u'\n' || unit == u'\r';
}

// Where to cut a long line near `wanted`: after a space within the last stretch when there is
// one, so words stay whole on screen, and never inside a surrogate pair or a combining run.
qsizetype pieceEnd(const QString &text, qsizetype start, qsizetype wanted)
{
    constexpr qsizetype lookBack = 200;
    for (qsizetype i = wanted; i > wanted - lookBack && i > start; --i) {
        if (text.at(i - 1) == u' ')
            return i;
    }
    qsizetype end = wanted;
    while (end > start + 1
        && (text.at(end).isLowSurrogate() || text.at(end).category() == QChar::Mark_NonSpacing))
        --end;
    return end;
}

} // namespace

std::optional<LongLineLayout> LongLineLayout::forText(const QString &text)
{
    const qsizetype length = text.size();
    QList<qsizetype> breaks;
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= length; ++i) {
        if (i < length && !isLineBreak(text.at(i)))
            continue;
        for (qsizetype start = lineStart; i - start > longLineLimit;) {
            start = pieceEnd(text, start, start + pieceLength);
            breaks.append(start);
        }
        lineStart = i + 1;
    }
    if (breaks.isEmpty())
        return std::nullopt;

    LongLineLayout layout;
    layout.m_breaks = std::move(breaks);
    layout.m_displayText.reserve(length + layout.m_breaks.size());
    qsizetype from = 0;
    for (qsizetype position : std::as_const(layout.m_breaks)) {
        layout.m_displayText += QStringView(text).mid(from, position - from);
        layout.m_displayText += u'\n';
        from = position;
    }
    layout.m_displayText += QStringView(text).mid(from);
    return layout;
}

qsizetype LongLineLayout::toDisplay(qsizetype originalPosition) const
{
    // A break inserted at a position comes before the character there.
    const auto before = std::upper_bound(m_breaks.cbegin(), m_breaks.cend(), originalPosition);
    return originalPosition + (before - m_breaks.cbegin());
}

qsizetype LongLineLayout::toOriginal(qsizetype displayPosition) const
{
    // The k-th break sits at display position breaks[k] + k.
    qsizetype low = 0;
    qsizetype high = m_breaks.size();
    while (low < high) {
        const qsizetype middle = (low + high) / 2;
        if (m_breaks[middle] + middle < displayPosition)
            low = middle + 1;
        else
            high = middle;
    }
    return displayPosition - low;
}
