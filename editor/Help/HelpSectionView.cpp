#include "HelpSectionView.h"

#include "HelpTextLabel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;
using HelpStyle::TextStyle;
using HelpStyle::Tone;

namespace {

constexpr int shortcutColumnMinimumWidth = 140;

// The "•" of a bullet. It is not part of the searched text, so it never takes a highlight.
QLabel *createBulletGlyph(QWidget *parent)
{
    auto *glyph = new HelpTextLabel(u"\u2022"_s, Tone::Secondary, QAccessible::StaticText, parent);
    glyph->setFont(HelpStyle::font(TextStyle::Body));
    glyph->setWordWrap(false);
    glyph->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    return glyph;
}

} // namespace

HelpSectionView::HelpSectionView(const HelpSection &section, QWidget *parent)
    : QWidget(parent)
    , m_sectionId(section.id)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    m_title = new HelpTextLabel(section.title, Tone::Primary, QAccessible::Heading, this);
    m_title->setFont(HelpStyle::font(TextStyle::Title2, QFont::DemiBold));
    m_labels.append(m_title);
    layout->addWidget(m_title);

    for (const HelpItem &item : section.items)
        addItem(item, layout);
}

void HelpSectionView::setHighlightTerm(const QString &term)
{
    for (HelpTextLabel *label : std::as_const(m_labels))
        label->setHighlightTerm(term);
}

HelpTextLabel *HelpSectionView::addLabel(
    const QString &text, Tone tone, const QFont &font, QWidget *parent)
{
    auto *label = new HelpTextLabel(text, tone, QAccessible::StaticText, parent);
    label->setFont(font);
    m_labels.append(label);
    return label;
}

void HelpSectionView::addItem(const HelpItem &item, QVBoxLayout *layout)
{
    const QFont body = HelpStyle::font(TextStyle::Body);
    switch (item.kind) {
    case HelpItem::Kind::Paragraph:
        layout->addWidget(addLabel(item.text, Tone::Secondary, body, this));
        return;
    case HelpItem::Kind::Bullet:
        layout->addWidget(createBullet(item.term, item.text));
        return;
    case HelpItem::Kind::BulletPlain:
        layout->addWidget(createBullet(QString(), item.text));
        return;
    case HelpItem::Kind::Shortcuts:
        layout->addWidget(createShortcutGrid(item.shortcuts));
        return;
    }
}

// The glyph and the first line of the term (or text) share a font and a top edge, so their
// baselines line up.
QWidget *HelpSectionView::createBullet(const QString &term, const QString &text)
{
    auto *bullet = new QWidget(this);
    auto *row = new QHBoxLayout(bullet);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(createBulletGlyph(bullet), 0, Qt::AlignTop);

    auto *column = new QVBoxLayout;
    column->setSpacing(2);
    const QFont body = HelpStyle::font(TextStyle::Body);
    if (!term.isEmpty())
        column->addWidget(
            addLabel(term, Tone::Primary, HelpStyle::font(TextStyle::Body, QFont::Medium), bullet));
    column->addWidget(addLabel(text, Tone::Secondary, body, bullet));
    row->addLayout(column, 1);
    return bullet;
}

QWidget *HelpSectionView::createShortcutGrid(const QList<HelpShortcut> &shortcuts)
{
    auto *table = new QWidget(this);
    auto *grid = new QGridLayout(table);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(6);
    grid->setColumnMinimumWidth(0, shortcutColumnMinimumWidth);
    grid->setColumnStretch(1, 1);

    const QFont keys = HelpStyle::font(TextStyle::Monospaced);
    const QFont body = HelpStyle::font(TextStyle::Body);
    const auto &dividers = HelpContent::shortcutDividerRows;
    int gridRow = 0;
    for (int index = 0; index < shortcuts.size(); ++index) {
        if (std::find(dividers.begin(), dividers.end(), index) != dividers.end())
            grid->addWidget(HelpStyle::createDivider(table), gridRow++, 0, 1, 2);
        HelpTextLabel *shortcut
            = addLabel(shortcuts.at(index).shortcut, Tone::Primary, keys, table);
        shortcut->setWordWrap(false);
        grid->addWidget(shortcut, gridRow, 0, Qt::AlignLeft | Qt::AlignTop);
        grid->addWidget(addLabel(shortcuts.at(index).action, Tone::Secondary, body, table),
            gridRow++, 1, Qt::AlignTop);
    }
    return table;
}
