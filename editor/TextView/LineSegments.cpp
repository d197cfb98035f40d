#include "LineSegments.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace {
constexpr qsizetype CutWindow = 256;
// Units read past a cut, so that combining marks after it keep their base.
constexpr qsizetype CutLookahead = 16;

bool isSpace(QChar unit)
{
    return unit == u' ' || unit == u'\t';
}
} // namespace

void LineSegments::setText(const TextSnapshot &text)
{
    m_text = text;
    m_long.clear();
}

LineSpan LineSegments::span(const TextSnapshot &text, qsizetype line)
{
    LineSpan result;
    result.start = text.lineStart(line);
    if (line + 1 >= text.lineCount()) {
        result.length = text.length() - result.start;
        return result;
    }
    const qsizetype next = text.lineStart(line + 1);
    const bool pair = next - 2 >= result.start && text.unitAt(next - 1) == u'\n'
        && text.unitAt(next - 2) == u'\r';
    result.breakLength = pair ? 2 : 1;
    result.length = next - result.breakLength - result.start;
    return result;
}

const std::vector<qsizetype> &LineSegments::starts(qsizetype line)
{
    if (const auto found = m_long.find(line); found != m_long.end())
        return found->second;
    const LineSpan line_ = span(m_text, line);
    if (line_.length <= MaxUnits)
        return m_single;
    return m_long.emplace(line, cut(line_.start, 0, line_.length)).first->second;
}

int LineSegments::segmentAt(qsizetype line, qsizetype column)
{
    const std::vector<qsizetype> &cuts = starts(line);
    return int(std::upper_bound(cuts.begin(), cuts.end(), column) - cuts.begin()) - 1;
}

// The starts of segments covering [from, to) of a line, the first being `from`.
std::vector<qsizetype> LineSegments::cut(qsizetype lineStart, qsizetype from, qsizetype to) const
{
    std::vector<qsizetype> result {from};
    while (to - result.back() > MaxUnits)
        result.push_back(cutNear(lineStart, result.back() + TargetUnits));
    return result;
}

// After the last space or tab in the units before `target`, else on the grapheme boundary at or
// before it: a word is cut only where it is longer than the window.
qsizetype LineSegments::cutNear(qsizetype lineStart, qsizetype target) const
{
    const QString window = m_text.text(lineStart + target - CutWindow, CutWindow + CutLookahead);
    for (qsizetype i = CutWindow; i > CutWindow / 2; --i) {
        if (isSpace(window[i - 1]))
            return target - CutWindow + i;
    }
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, window);
    graphemes.setPosition(CutWindow);
    if (!graphemes.isAtBoundary())
        graphemes.toPreviousBoundary();
    return graphemes.position() > 0 ? target - CutWindow + graphemes.position() : target;
}

int LineSegments::update(
    const TextSnapshot &text, qsizetype position, qsizetype removed, qsizetype added)
{
    const qsizetype oldFirst = m_text.lineAt(position);
    const qsizetype oldLast = m_text.lineAt(position + removed);
    m_text = text;
    const qsizetype newFirst = m_text.lineAt(position);
    const qsizetype newLast = m_text.lineAt(position + added);
    if (oldFirst == oldLast && newFirst == oldFirst && newLast == oldFirst) {
        const qsizetype column = position - m_text.lineStart(oldFirst);
        return updateLine(oldFirst, column, removed, added);
    }
    shiftLines(std::min(oldFirst, newFirst), oldLast, newLast - oldLast);
    return -1;
}

void LineSegments::shiftLines(qsizetype first, qsizetype last, qsizetype delta)
{
    std::map<qsizetype, std::vector<qsizetype>> kept;
    for (auto &[line, cuts] : m_long) {
        if (line < first)
            kept.emplace_hint(kept.end(), line, std::move(cuts));
        else if (line > last)
            kept.emplace_hint(kept.end(), line + delta, std::move(cuts));
    }
    m_long = std::move(kept);
}

// Cuts after the edit move with it; the segment the edit lands in is cut again when it grew past
// MaxUnits and joins a neighbour when it shrank below MinUnits.
int LineSegments::updateLine(qsizetype line, qsizetype column, qsizetype removed, qsizetype added)
{
    const auto found = m_long.find(line);
    if (found == m_long.end())
        return 0;
    std::vector<qsizetype> &cuts = found->second;
    const LineSpan line_ = span(m_text, line);
    if (line_.length <= MaxUnits) {
        m_long.erase(found);
        return 0;
    }
    const qsizetype delta = added - removed;
    // An insertion on a cut extends the segment before it.
    auto edited = std::lower_bound(cuts.begin() + 1, cuts.end(), column) - 1;
    auto firstMoved = std::upper_bound(edited + 1, cuts.end(), column + removed);
    for (auto it = firstMoved; it != cuts.end(); ++it)
        *it += delta;
    firstMoved = cuts.erase(edited + 1, firstMoved);
    qsizetype segment = edited - cuts.begin();
    auto endOf = [&](qsizetype index) {
        return index + 1 < qsizetype(cuts.size()) ? cuts[index + 1] : line_.length;
    };
    if (endOf(segment) - cuts[segment] < MinUnits && cuts.size() > 1) {
        if (segment + 1 < qsizetype(cuts.size()))
            cuts.erase(cuts.begin() + segment + 1);
        else
            cuts.erase(cuts.begin() + segment--);
    }
    if (endOf(segment) - cuts[segment] > MaxUnits) {
        const std::vector<qsizetype> pieces = cut(line_.start, cuts[segment], endOf(segment));
        cuts.insert(cuts.begin() + segment + 1, pieces.begin() + 1, pieces.end());
    }
    return int(segment);
}

qsizetype LineSegments::extraSegmentsBefore(qsizetype line) const
{
    qsizetype extra = 0;
    for (auto it = m_long.begin(); it != m_long.end() && it->first < line; ++it)
        extra += qsizetype(it->second.size()) - 1;
    return extra;
}

qsizetype LineSegments::extraSegments() const
{
    return extraSegmentsBefore(m_text.lineCount());
}

std::pair<qsizetype, int> LineSegments::locate(qsizetype index) const
{
    qsizetype extra = 0;
    for (const auto &[line, cuts] : m_long) {
        if (line + extra > index)
            break;
        const qsizetype segments = qsizetype(cuts.size());
        if (index < line + extra + segments)
            return {line, int(index - line - extra)};
        extra += segments - 1;
    }
    return {index - extra, 0};
}
