#pragma once

#include "FindMode.h"
#include "MatchRange.h"
#include "TextMatcher.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class EditableText;
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
    const MatchList &matchRanges() const { return m_matchRanges; }
    void setMatchRanges(MatchList ranges);
    std::optional<qsizetype> currentMatchIndex() const { return m_currentMatchIndex; }
    void setCurrentMatchIndex(std::optional<qsizetype> index);

    qsizetype matchCount() const { return m_matchRanges.size(); }
    // "" with no search text, "No matches", or "3 of 12".
    QString matchCountText() const;

    // Searches the whole text again.
    void updateMatches(QStringView text);
    // Brings the matches up to date after one edit of the text, reading only around the edit;
    // gives exactly what updateMatches() of the new text would.
    void updateMatchesAfterEdit(
        const TextAccess &text, qsizetype position, qsizetype removed, qsizetype added);

    void findNext();
    void findPrevious();
    void show(FindMode mode);
    void dismiss();

    // Replaces the current match with the replace text as one edit, then searches again.
    void replaceCurrent(EditableText &text);
    // Replaces every match with the replace text as one edit, then searches again.
    void replaceAll(EditableText &text);

signals:
    void visibleChanged();
    void modeChanged();
    void searchTextChanged();
    void replaceTextChanged();
    void caseSensitiveChanged();
    void matchRangesChanged();
    void currentMatchIndexChanged();

private:
    const TextMatcher &matcher();
    void publishMatches(MatchList ranges);

    bool m_isVisible = false;
    FindMode m_mode = FindMode::Find;
    QString m_searchText;
    QString m_replaceText;
    bool m_isCaseSensitive = false;
    MatchList m_matchRanges;
    std::optional<qsizetype> m_currentMatchIndex;
    std::unique_ptr<TextMatcher> m_matcher;
    // Whether m_matchRanges are the result of searching for the current search text and case.
    bool m_matchesFollowSearch = false;
};
