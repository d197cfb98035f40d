#pragma once

#include "HelpContent.h"

#include <QLocale>
#include <QObject>

// The state behind the help page: the sections, built once, and the search text. It answers
// what the page shows for the current search; nothing is cached, so each answer follows the
// text as it is now. No widgets: the page observes it.
class HelpSearchModel : public QObject
{
    Q_OBJECT

public:
    explicit HelpSearchModel(const QLocale &locale = QLocale(), QObject *parent = nullptr);

    const QList<HelpSection> &allSections() const { return m_allSections; }

    QString searchText() const { return m_searchText; }
    // Taken as typed: a single space is a search term like any other.
    void setSearchText(const QString &text);
    bool isSearching() const { return !m_searchText.isEmpty(); }

    // All sections when the search is empty; otherwise, in their order and whole, the sections
    // whose title or any item's text contains the search text.
    QList<HelpSection> filteredSections() const;
    // Whether a non-empty search found nothing.
    bool hasNoResults() const;

    // "No results for "term"" and the hint below it.
    QString noResultsMessage() const;
    static QString noResultsHint();

signals:
    void searchTextChanged(const QString &text);

private:
    QLocale m_locale;
    QList<HelpSection> m_allSections;
    QString m_searchText;
};
