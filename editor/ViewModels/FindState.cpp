#include "FindState.h"

#include "SlicedSearch.h"
#include "TextAccess.h"

#include <algorithm>
#include <utility>

FindState::FindState(QObject *parent)
    : QObject(parent)
{ }

FindState::~FindState() = default;

void FindState::setVisible(bool visible)
{
    m_isVisible = visible;
    emit visibleChanged();
}

void FindState::setMode(FindMode mode)
{
    m_mode = mode;
    emit modeChanged();
}

void FindState::setSearchText(const QString &text)
{
    m_searchText = text;
    m_matchesFollowSearch = false;
    emit searchTextChanged();
}

void FindState::setReplaceText(const QString &text)
{
    m_replaceText = text;
    emit replaceTextChanged();
}

void FindState::setCaseSensitive(bool caseSensitive)
{
    m_isCaseSensitive = caseSensitive;
    m_matchesFollowSearch = false;
    emit caseSensitiveChanged();
}

void FindState::setMatchRanges(LiveMatches ranges)
{
    // Whoever assigns matches overrides a search still under way.
    cancelSearch();
    m_matchRanges = std::move(ranges);
    m_matchesFollowSearch = false;
    emit matchRangesChanged();
}

void FindState::setCurrentMatchIndex(std::optional<qsizetype> index)
{
    m_currentMatchIndex = index;
    emit currentMatchIndexChanged();
}

QString FindState::matchCountText() const
{
    if (m_searchText.isEmpty())
        return {};
    if (isSearching())
        return QStringLiteral("Searching…");
    if (m_matchRanges.isEmpty() || !m_currentMatchIndex)
        return QStringLiteral("No matches");
    return QStringLiteral("%1 of %2").arg(*m_currentMatchIndex + 1).arg(m_matchRanges.size());
}

const TextMatcher &FindState::matcher()
{
    const Qt::CaseSensitivity sensitivity
        = m_isCaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (!m_matcher || m_matcher->searchText() != m_searchText
        || m_matcher->caseSensitivity() != sensitivity)
        m_matcher = std::make_shared<TextMatcher>(m_searchText, sensitivity);
    return *m_matcher;
}

// The current match is kept by its ordinal position: it stays while it is below the new count.
// Steps asked for during the search are then taken, as if the matches had been there at once.
void FindState::publishMatches(LiveMatches ranges)
{
    const qsizetype steps = std::exchange(m_pendingSteps, 0);
    setMatchRanges(std::move(ranges));
    if (m_matchRanges.isEmpty())
        setCurrentMatchIndex(std::nullopt);
    else if (!m_currentMatchIndex || *m_currentMatchIndex >= m_matchRanges.size())
        setCurrentMatchIndex(0);
    m_matchesFollowSearch = true;
    if (steps != 0)
        step(steps);
}

void FindState::updateMatches(QStringView text)
{
    if (m_searchText.isEmpty()) {
        setMatchRanges({});
        setCurrentMatchIndex(std::nullopt);
        return;
    }
    publishMatches(LiveMatches(matcher().findAll(text)));
}

void FindState::searchAgain(const TextAccess &text)
{
    const qsizetype length = text.length();
    if (m_searchText.isEmpty() || length <= immediateSearchUnits) {
        updateMatches(m_searchText.isEmpty() ? QString() : text.read(0, length));
        return;
    }
    if (!m_slicedSearch) {
        m_slicedSearch = new SlicedSearch(this);
        connect(m_slicedSearch, &SlicedSearch::finished, this, &FindState::finishSlicedSearch);
    }
    const bool wasSearching = isSearching();
    matcher();
    m_slicedSearch->start(m_matcher, text);
    if (!wasSearching)
        emit searchingChanged();
}

bool FindState::isSearching() const
{
    return m_slicedSearch && m_slicedSearch->isRunning();
}

void FindState::cancelSearch()
{
    m_pendingSteps = 0;
    if (!isSearching())
        return;
    m_slicedSearch->cancel();
    emit searchingChanged();
}

// Matches found for a search text or case option that has changed since (without a new search
// being asked for) are dropped rather than shown as if they were current.
void FindState::finishSlicedSearch()
{
    const TextMatcher *searched = m_slicedSearch->matcher();
    MatchList found = m_slicedSearch->takeMatches();
    const Qt::CaseSensitivity sensitivity
        = m_isCaseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (searched->searchText() == m_searchText && searched->caseSensitivity() == sensitivity)
        publishMatches(LiveMatches(found));
    m_pendingSteps = 0; // asked for matches that were dropped
    emit searchingChanged();
}

void FindState::updateMatchesAfterEdit(
    const TextAccess &text, qsizetype position, qsizetype removed, qsizetype added)
{
    if (isSearching()) {
        m_slicedSearch->textEdited(text, position);
        return;
    }
    // The old ranges can only be carried over when they came from the same search.
    if (m_searchText.isEmpty() || !m_matchesFollowSearch) {
        searchAgain(text);
        return;
    }
    LiveMatches matches = std::move(m_matchRanges);
    matcher().updateAfterEdit(matches, text, position, removed, added);
    publishMatches(std::move(matches));
}

void FindState::findNext()
{
    if (isSearching())
        ++m_pendingSteps;
    else
        step(1);
}

void FindState::findPrevious()
{
    if (isSearching())
        --m_pendingSteps;
    else
        step(-1);
}

// Forwards or, for a negative count, backwards; wraps at either end. Without a current match the
// first step forwards lands on the first match, the first step backwards on the last.
void FindState::step(qsizetype steps)
{
    const qsizetype count = m_matchRanges.size();
    if (count == 0)
        return;
    const qsizetype from = m_currentMatchIndex ? *m_currentMatchIndex : (steps > 0 ? -1 : 0);
    setCurrentMatchIndex(((from + steps) % count + count) % count);
}

void FindState::show(FindMode mode)
{
    setMode(mode);
    setVisible(true);
}

void FindState::dismiss()
{
    setVisible(false);
    setMatchRanges({});
    setCurrentMatchIndex(std::nullopt);
}

void FindState::replaceCurrent(EditableText &text)
{
    if (isSearching() || !m_currentMatchIndex || *m_currentMatchIndex >= m_matchRanges.size())
        return;
    const MatchRange range = m_matchRanges.at(*m_currentMatchIndex);
    if (range.end() > text.length())
        return; // the ranges are stale
    text.replaceRanges({range}, m_replaceText);
    searchAgain(text);
}

void FindState::replaceAll(EditableText &text)
{
    if (isSearching() || m_matchRanges.isEmpty())
        return;
    // Working from the last range keeps the earlier ones valid; a range past the end of the text
    // built so far is stale and skipped.
    const MatchList ranges = m_matchRanges.toList();
    MatchList kept;
    qsizetype length = text.length();
    for (auto range = ranges.crbegin(); range != ranges.crend(); ++range) {
        if (range->end() > length)
            continue;
        kept.append(*range);
        length += m_replaceText.size() - range->length;
    }
    std::reverse(kept.begin(), kept.end());
    if (!kept.isEmpty())
        text.replaceRanges(kept, m_replaceText);
    searchAgain(text);
}
