#include "HelpContentView.h"

#include "HelpContent.h"
#include "HelpSearchBar.h"
#include "HelpSearchModel.h"
#include "HelpSectionView.h"
#include "HelpStyle.h"
#include "HelpSymbolView.h"
#include "HelpTextLabel.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSet>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using HelpStyle::TextStyle;
using HelpStyle::Tone;

namespace {

constexpr int pageMargin = 24;
constexpr int pageSpacing = 20;
constexpr int noResultsTopMargin = 40;
constexpr int noResultsSymbolSize = 32;

HelpTextLabel *createCentredLabel(
    const QString &text, Tone tone, const QFont &font, QWidget *parent)
{
    auto *label = new HelpTextLabel(text, tone, QAccessible::StaticText, parent);
    label->setFont(font);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    return label;
}

// A label holding one link. Qt gives such a label two Tab stops, the label and then its link,
// and only the second opens the link with Enter; here the first stop selects the link at once.
class LinkLabel : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void focusInEvent(QFocusEvent *event) override
    {
        QLabel::focusInEvent(event);
        if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason)
            QLabel::focusNextPrevChild(event->reason() == Qt::TabFocusReason);
    }
};

} // namespace

HelpContentView::HelpContentView(QWidget *parent)
    : QWidget(parent)
    , m_model(new HelpSearchModel(QLocale(), this))
    , m_searchBar(new HelpSearchBar(this))
    , m_scrollArea(new QScrollArea(this))
{
    setObjectName(u"scrivlet.help"_s);

    m_scrollArea->setObjectName(u"scrivlet.help.page"_s);
    m_scrollArea->setAccessibleName(tr("Help contents"));
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Reachable with Tab, so the arrow and page keys scroll the page without a mouse.
    m_scrollArea->setFocusPolicy(Qt::StrongFocus);
    m_scrollArea->setWidget(createPage());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_searchBar);
    layout->addWidget(HelpStyle::createDivider(this));
    layout->addWidget(m_scrollArea, 1);
    setFocusProxy(m_searchBar->field());

    connect(m_searchBar, &HelpSearchBar::textChanged, m_model, &HelpSearchModel::setSearchText);
    connect(m_model, &HelpSearchModel::searchTextChanged, this, [this](const QString &text) {
        m_searchBar->setText(text);
        showSearchResults();
    });
    showSearchResults();
}

void HelpContentView::focusSearchField()
{
    m_searchBar->field()->setFocus(Qt::ShortcutFocusReason);
}

QWidget *HelpContentView::createPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(pageMargin, pageMargin, pageMargin, pageMargin);
    layout->setSpacing(pageSpacing);

    QWidget *header = createHeader(page);
    QWidget *headerDivider = HelpStyle::createDivider(page);
    layout->addWidget(header);
    layout->addWidget(headerDivider);
    m_fullPageParts << header << headerDivider;

    m_noResults = createNoResults(page);
    layout->addWidget(m_noResults);

    for (const HelpSection &section : m_model->allSections()) {
        auto *view = new HelpSectionView(section, page);
        m_sections.insert(section.id, view);
        layout->addWidget(view);
    }

    if (QWidget *footer = createFooter(page)) {
        QWidget *footerDivider = HelpStyle::createDivider(page);
        layout->addWidget(footerDivider);
        layout->addWidget(footer);
        m_fullPageParts << footerDivider << footer;
    }
    layout->addStretch(1);
    return page;
}

QWidget *HelpContentView::createHeader(QWidget *parent)
{
    auto *header = new QWidget(parent);
    auto *layout = new QVBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto *title
        = new HelpTextLabel(tr("Scrivlet Help"), Tone::Primary, QAccessible::Heading, header);
    title->setObjectName(u"scrivlet.help.title"_s);
    title->setFont(HelpStyle::font(TextStyle::LargeTitle, QFont::Bold));
    auto *subtitle = new HelpTextLabel(tr("A lightweight plain-text editor for Linux"),
        Tone::Secondary, QAccessible::StaticText, header);
    subtitle->setFont(HelpStyle::font(TextStyle::Subheadline));
    layout->addWidget(title);
    layout->addWidget(subtitle);
    return header;
}

QWidget *HelpContentView::createNoResults(QWidget *parent)
{
    auto *block = new QWidget(parent);
    block->setObjectName(u"scrivlet.help.noResults"_s);
    auto *layout = new QVBoxLayout(block);
    layout->setContentsMargins(0, noResultsTopMargin, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(new HelpSymbolView(
                          HelpIcons::Symbol::Magnifier, noResultsSymbolSize, Tone::Tertiary, block),
        0, Qt::AlignHCenter);
    m_noResultsMessage = createCentredLabel(
        QString(), Tone::Secondary, HelpStyle::font(TextStyle::Headline, QFont::DemiBold), block);
    layout->addWidget(m_noResultsMessage);
    layout->addWidget(createCentredLabel(HelpSearchModel::noResultsHint(), Tone::Tertiary,
        HelpStyle::font(TextStyle::Subheadline), block));
    block->setHidden(true);
    return block;
}

// None when the address is not a usable web address.
QWidget *HelpContentView::createFooter(QWidget *parent)
{
    const QUrl address(HelpContent::productPageAddress(), QUrl::StrictMode);
    if (!address.isValid() || address.scheme().isEmpty() || address.host().isEmpty())
        return nullptr;
    auto *link = new LinkLabel(parent);
    link->setObjectName(u"scrivlet.help.productLink"_s);
    link->setTextFormat(Qt::RichText);
    link->setText(
        u"<a href=\"%1\">%2</a>"_s.arg(address.toString(QUrl::FullyEncoded).toHtmlEscaped(),
            HelpContent::productPageLinkText().toHtmlEscaped()));
    link->setAccessibleDescription(tr("Open the Scrivlet web site in your browser"));
    link->setFont(HelpStyle::font(TextStyle::Callout));
    link->setAlignment(Qt::AlignHCenter);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    link->setOpenExternalLinks(true);
    return link;
}

void HelpContentView::showSearchResults()
{
    const QString term = m_model->searchText();
    QSet<QUuid> shown;
    for (const HelpSection &section : m_model->filteredSections())
        shown.insert(section.id);
    for (HelpSectionView *view : std::as_const(m_sections)) {
        const bool visible = shown.contains(view->sectionId());
        if (visible)
            view->setHighlightTerm(term);
        view->setHidden(!visible);
    }
    for (QWidget *part : std::as_const(m_fullPageParts))
        part->setHidden(m_model->isSearching());
    m_noResults->setHidden(!m_model->isSearching() || !shown.isEmpty());
    if (!m_noResults->isHidden())
        m_noResultsMessage->setPlainText(m_model->noResultsMessage());
    // Each new search starts reading at its first result.
    m_scrollArea->verticalScrollBar()->setValue(0);
}
