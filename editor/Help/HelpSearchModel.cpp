#include "HelpSearchModel.h"

#include "HelpTextSearch.h"

using namespace Qt::StringLiterals;

namespace {

bool sectionContains(const HelpSection &section, const HelpTextSearch::Containment &term)
{
    if (term.isFoundIn(section.title))
        return true;
    for (const HelpItem &item : section.items) {
        for (const QString &text : item.texts()) {
            if (term.isFoundIn(text))
                return true;
        }
    }
    return false;
}

} // namespace

HelpSearchModel::HelpSearchModel(const QLocale &locale, QObject *parent)
    : QObject(parent)
    , m_locale(locale)
    , m_allSections(HelpContent::buildSections())
{ }

void HelpSearchModel::setSearchText(const QString &text)
{
    if (text == m_searchText)
        return;
    m_searchText = text;
    emit searchTextChanged(m_searchText);
}

QList<HelpSection> HelpSearchModel::filteredSections() const
{
    if (m_searchText.isEmpty())
        return m_allSections;
    const HelpTextSearch::Containment term(m_searchText, m_locale);
    QList<HelpSection> result;
    for (const HelpSection &section : m_allSections) {
        if (sectionContains(section, term))
            result.append(section);
    }
    return result;
}

bool HelpSearchModel::hasNoResults() const
{
    return isSearching() && filteredSections().isEmpty();
}

QString HelpSearchModel::noResultsMessage() const
{
    return tr("No results for \"%1\"").arg(m_searchText);
}

QString HelpSearchModel::noResultsHint()
{
    return tr("Try a different search term.");
}
