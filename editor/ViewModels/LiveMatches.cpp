#include "LiveMatches.h"

#include <algorithm>
#include <utility>

LiveMatches::LiveMatches(const MatchList &matches, qsizetype runLength)
    : m_runLength(std::max<qsizetype>(1, runLength))
{
    appendRuns(m_runs, matches);
    countFrom(0);
}

LiveMatches::LiveMatches(LiveMatches &&other) noexcept
    : m_runs(std::exchange(other.m_runs, {}))
    , m_runStarts(std::exchange(other.m_runStarts, {}))
    , m_size(std::exchange(other.m_size, 0))
    , m_runLength(other.m_runLength)
{ }

LiveMatches &LiveMatches::operator=(LiveMatches &&other) noexcept
{
    m_runs = std::exchange(other.m_runs, {});
    m_runStarts = std::exchange(other.m_runStarts, {});
    m_size = std::exchange(other.m_size, 0);
    m_runLength = other.m_runLength;
    return *this;
}

qsizetype LiveMatches::runOf(qsizetype index) const
{
    return std::upper_bound(m_runStarts.cbegin(), m_runStarts.cend(), index) - m_runStarts.cbegin()
        - 1;
}

MatchRange LiveMatches::at(qsizetype index) const
{
    Q_ASSERT(index >= 0 && index < m_size);
    const qsizetype run = runOf(index);
    MatchRange match = m_runs[run].ranges[index - m_runStarts[run]];
    match.location += m_runs[run].shift;
    return match;
}

// Runs are in order and so are the matches in each: the first run whose last match has reached
// the point, then the first match in it that has.
template<typename Predicate> qsizetype LiveMatches::firstWhere(Predicate reached) const
{
    const auto shifted = [](const Run &run, MatchRange match) {
        match.location += run.shift;
        return match;
    };
    const auto run
        = std::partition_point(m_runs.cbegin(), m_runs.cend(), [&](const Run &candidate) {
              return !reached(shifted(candidate, candidate.ranges.back()));
          });
    if (run == m_runs.cend())
        return m_size;
    const auto match = std::partition_point(run->ranges.cbegin(), run->ranges.cend(),
        [&](const MatchRange &candidate) { return !reached(shifted(*run, candidate)); });
    return m_runStarts[run - m_runs.cbegin()] + (match - run->ranges.cbegin());
}

qsizetype LiveMatches::firstEndingAfter(qsizetype position) const
{
    return firstWhere([position](const MatchRange &m) { return m.end() > position; });
}

qsizetype LiveMatches::firstStartingFrom(qsizetype position) const
{
    return firstWhere([position](const MatchRange &m) { return m.location >= position; });
}

// Matches never overlap, so the first one ending after the position is the only one that can
// contain it.
std::optional<MatchRange> LiveMatches::around(qsizetype position) const
{
    const qsizetype index = firstEndingAfter(position);
    if (index == m_size)
        return std::nullopt;
    const MatchRange match = at(index);
    if (match.location < position)
        return match;
    return std::nullopt;
}

MatchList LiveMatches::toList() const
{
    MatchList list;
    list.reserve(m_size);
    for (const Run &run : m_runs)
        for (MatchRange match : run.ranges) {
            match.location += run.shift;
            list.append(match);
        }
    return list;
}

// Typing changes a match or two near the caret, so the runs it touches are simply rebuilt: at
// most a few thousand matches are copied, however many the document holds.
void LiveMatches::splice(qsizetype from, qsizetype to, const MatchList &fresh, qsizetype delta)
{
    Q_ASSERT(0 <= from && from <= to && to <= m_size);
    if (m_runs.empty()) {
        appendRuns(m_runs, fresh);
        countFrom(0);
        return;
    }
    const qsizetype first = runOf(std::min(from, m_size - 1));
    qsizetype last = runOf(std::min(to, m_size - 1));

    MatchList merged;
    const auto keep = [&](qsizetype run, qsizetype begin, qsizetype end, qsizetype moveBy) {
        const Run &kept = m_runs[run];
        for (qsizetype i = begin; i < end; ++i)
            merged.append({kept.ranges[i].location + kept.shift + moveBy, kept.ranges[i].length});
    };
    keep(first, 0, from - m_runStarts[first], 0);
    merged.append(fresh);
    const qsizetype lastBegin = m_runStarts[last];
    keep(
        last, std::max<qsizetype>(0, to - lastBegin), qsizetype(m_runs[last].ranges.size()), delta);
    // Runs left small by deletions join the next one, so the number of runs stays near the
    // number of matches over the run length.
    while (merged.size() < m_runLength / 2 && last + 1 < qsizetype(m_runs.size())) {
        ++last;
        keep(last, 0, qsizetype(m_runs[last].ranges.size()), delta);
    }

    std::vector<Run> rebuilt;
    appendRuns(rebuilt, merged);
    const auto replacedEnd = m_runs.begin() + last + 1;
    for (auto later = replacedEnd; later != m_runs.end(); ++later)
        later->shift += delta;
    m_runs.erase(m_runs.begin() + first, replacedEnd);
    m_runs.insert(m_runs.begin() + first, std::make_move_iterator(rebuilt.begin()),
        std::make_move_iterator(rebuilt.end()));
    countFrom(first);
}

// Runs of one to two run lengths, as even as the count allows.
void LiveMatches::appendRuns(std::vector<Run> &runs, const MatchList &matches) const
{
    const qsizetype count = matches.size();
    if (count == 0)
        return;
    const qsizetype runCount = count <= 2 * m_runLength ? 1 : count / m_runLength;
    for (qsizetype run = 0; run < runCount; ++run) {
        const qsizetype begin = count * run / runCount;
        const qsizetype end = count * (run + 1) / runCount;
        runs.push_back(
            {0, std::vector<MatchRange>(matches.cbegin() + begin, matches.cbegin() + end)});
    }
}

void LiveMatches::countFrom(qsizetype run)
{
    m_runStarts.resize(m_runs.size());
    qsizetype index
        = run == 0 ? 0 : m_runStarts[run - 1] + qsizetype(m_runs[run - 1].ranges.size());
    for (qsizetype i = run; i < qsizetype(m_runs.size()); ++i) {
        m_runStarts[i] = index;
        index += qsizetype(m_runs[i].ranges.size());
    }
    m_size = index;
}

bool operator==(const LiveMatches &a, const LiveMatches &b)
{
    if (a.size() != b.size())
        return false;
    return a.toList() == b.toList();
}
