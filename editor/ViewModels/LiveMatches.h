#pragma once

#include "MatchRange.h"

#include <optional>
#include <vector>

// The matches of a document that is being edited, in order and never overlapping.
//
// An edit changes the matches near it and moves every match after it by the edit's length. With a
// million matches, moving them one by one costs more than the rest of the keystroke, so they are
// kept in runs of a few thousand, each with a shift that applies to all of its matches: an edit
// rewrites only the runs it touches and moves each later run by changing its shift.
class LiveMatches
{
public:
    // Matches per run when runs are made; a run grows to twice this before it is split again.
    static constexpr qsizetype defaultRunLength = 2048;

    LiveMatches() = default;
    LiveMatches(const LiveMatches &) = default;
    LiveMatches &operator=(const LiveMatches &) = default;
    // What is moved from is left empty.
    LiveMatches(LiveMatches &&other) noexcept;
    LiveMatches &operator=(LiveMatches &&other) noexcept;
    // `matches` in order, never overlapping. A small `runLength` lets tests cross runs with few
    // matches.
    explicit LiveMatches(const MatchList &matches, qsizetype runLength = defaultRunLength);

    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    MatchRange at(qsizetype index) const;
    // The index of the first match that ends after `position`, or size().
    qsizetype firstEndingAfter(qsizetype position) const;
    // The index of the first match that starts at or after `position`, or size().
    qsizetype firstStartingFrom(qsizetype position) const;
    // The match that strictly contains `position` (starts before it and ends after it), if any.
    std::optional<MatchRange> around(qsizetype position) const;
    MatchList toList() const;

    // Replaces the matches [from, to) by `fresh` (positions in the edited text) and moves every
    // match from `to` on by `delta`.
    void splice(qsizetype from, qsizetype to, const MatchList &fresh, qsizetype delta);

    friend bool operator==(const LiveMatches &a, const LiveMatches &b);

private:
    struct Run
    {
        qsizetype shift = 0; // added to every location below
        std::vector<MatchRange> ranges; // never empty
    };
    // The run holding the match at `index` (< size()).
    qsizetype runOf(qsizetype index) const;
    // The index of the first match for which `reached` holds, or size(); `reached` holds for
    // every match after one it holds for.
    template<typename Predicate> qsizetype firstWhere(Predicate reached) const;
    // Appends runs made of `matches` (absolute positions) to `runs`.
    void appendRuns(std::vector<Run> &runs, const MatchList &matches) const;
    void countFrom(qsizetype run);

    std::vector<Run> m_runs;
    std::vector<qsizetype> m_runStarts; // the index of each run's first match
    qsizetype m_size = 0;
    qsizetype m_runLength = defaultRunLength;
};
