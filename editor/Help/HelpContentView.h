#pragma once

#include <QHash>
#include <QUuid>
#include <QWidget>

class HelpSearchBar;
class HelpSearchModel;
class HelpSectionView;
class HelpTextLabel;
class QLabel;
class QScrollArea;

// The Help window's content: the search bar over one scrolling page. The page shows a header,
// every section and a footer while the search is empty; during a search only the sections that
// mention the term, with the term marked, or a notice that nothing was found.
class HelpContentView : public QWidget
{
    Q_OBJECT

public:
    explicit HelpContentView(QWidget *parent = nullptr);

    HelpSearchModel *model() const { return m_model; }
    HelpSearchBar *searchBar() const { return m_searchBar; }
    QScrollArea *scrollArea() const { return m_scrollArea; }
    HelpSectionView *sectionView(const QUuid &id) const { return m_sections.value(id); }

    void focusSearchField();

private:
    QWidget *createPage();
    QWidget *createHeader(QWidget *parent);
    QWidget *createNoResults(QWidget *parent);
    QWidget *createFooter(QWidget *parent);
    void showSearchResults();

    HelpSearchModel *m_model = nullptr;
    HelpSearchBar *m_searchBar = nullptr;
    QScrollArea *m_scrollArea = nullptr;
    QHash<QUuid, HelpSectionView *> m_sections;
    // Shown only while the search is empty.
    QList<QWidget *> m_fullPageParts;
    QWidget *m_noResults = nullptr;
    HelpTextLabel *m_noResultsMessage = nullptr;
};
