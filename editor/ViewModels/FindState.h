#pragma once

#include "FindMode.h"
#include "LiveMatches.h"
#include "TextMatcher.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class EditableText;
class SlicedSearch;
class TextAccess;

// The search of one document window: what is searched for and replaced with, whether case
// matters, where the matches are and which one is current. Every field notifies on every
// assignment, also when the value does not change, so observers can simply read again.
class FindState : public QObject
{
    Q_OBJECT

public:
    explicit FindState(QObject *parent = nullptr);
    ~FindState() override;

    bool isVisible() const { return m_isVisible; }
    void setVisible(bool visible);
    FindMode mode() const { return m_mode; }
    void setMode(FindMode mode);
    QString searchText() const { return m_searchText; }
    void setSearchText(const QString &text);
    QString replaceText() const { return m_replaceText; }
    void setReplaceText(const QString &text);
    bool isCaseSensitive() const { return m_isCaseSensitive; }
    void setCaseSensitive(bool caseSensitive);
    const LiveMatches &matchRanges() const { return m_matchRanges; }
    void setMatchRanges(LiveMatches ranges);
    std::optional<qsizetype> currentMatchIndex() const { return m_currentMatchIndex; }
    void setCurrentMatchIndex(std::optional<qsizetype> index);

    qsizetype matchCount() const { return m_matchRanges.size(); }
    // "" with no search text, "Searching…" while a long text is searched, "No matches", or
    // "3 of 12".
    QString matchCountText() const;

    // Searches the whole text again.
    void updateMatches(QStringView text);
    // Searches the whole text again like updateMatches(), at once when the text is short.
    // A longer text is searched a few milliseconds per turn of the event loop (SlicedSearch):
    // the matches are published when the search is done, unless the search text or the case
    // option changed meanwhile; an edit of the text makes it start over where needed. `text`
    // must stay alive until the search ends or cancelSearch() is called.
    void searchAgain(const TextAccess &text);
    // Whether a search of a long text is under way; the matches are then still those of the
    // previous search.
    bool isSearching() const;
    void cancelSearch();
    // Brings the matches up to date after one edit of the text, reading only around the edit;
    // gives exactly what updateMatches() of the new text would (once a search under way ends).
    void updateMatchesAfterEdit(
        const TextAccess &text, qsizetype position, qsizetype removed, qsizetype added);

    // While a search is under way, the step is taken once its matches are published (the
    // matches shown then may be an older search's).
    void findNext();
    void findPrevious();
    void show(FindMode mode);
    void dismiss();

    // Replaces the current match with the replace text as one edit, then searches again.
    // Does nothing while a search is under way: the matches may belong to an older search text.
    void replaceCurrent(EditableText &text);
    // Replaces every match with the replace text as one edit, then searches again; likewise not
    // while a search is under way.
    void replaceAll(EditableText &text);

    // Texts up to this many UTF-16 units are searched at once by searchAgain().
    static constexpr qsizetype immediateSearchUnits = 1 << 18;

signals:
    void visibleChanged();
    void modeChanged();
    void searchTextChanged();
    void replaceTextChanged();
    void caseSensitiveChanged();
    void matchRangesChanged();
    void currentMatchIndexChanged();
    void searchingChanged();

private:
    const TextMatcher &matcher();
    void publishMatches(LiveMatches ranges);
    void step(qsizetype steps);
    void finishSlicedSearch();

    bool m_isVisible = false;
    FindMode m_mode = FindMode::Find;
    QString m_searchText;
    QString m_replaceText;
    bool m_isCaseSensitive = false;
    LiveMatches m_matchRanges;
    std::optional<qsizetype> m_currentMatchIndex;
    std::shared_ptr<TextMatcher> m_matcher;
    SlicedSearch *m_slicedSearch = nullptr; // created for the first long text
    // Whether m_matchRanges are the result of searching for the current search text and case.
    bool m_matchesFollowSearch = false;
    // Find Next (+1) and Find Previous (-1) asked for while a search was under way.
    qsizetype m_pendingSteps = 0;
};
