#pragma once

#include <QList>
#include <QString>
#include <QUuid>

#include <array>

// One row of the shortcut table: the keys and what they do.
struct HelpShortcut
{
    QString shortcut;
    QString action;

    friend bool operator==(const HelpShortcut &, const HelpShortcut &) = default;
};

// One entry of a help section. Which fields are used depends on the kind: a paragraph and a plain
// bullet have only `text`, a bullet has `term` and `text`, the shortcut table has `shortcuts`.
struct HelpItem
{
    enum class Kind {
        Paragraph,
        Bullet,
        BulletPlain,
        Shortcuts,
    };

    Kind kind = Kind::Paragraph;
    QString term;
    QString text;
    QList<HelpShortcut> shortcuts;

    static HelpItem paragraph(const QString &text);
    static HelpItem bullet(const QString &term, const QString &text);
    static HelpItem bulletPlain(const QString &text);
    static HelpItem shortcutTable(const QList<HelpShortcut> &shortcuts);

    // Every text the item shows, in reading order; what the search looks at.
    QList<QString> texts() const;

    friend bool operator==(const HelpItem &, const HelpItem &) = default;
};

struct HelpSection
{
    QUuid id;
    QString title;
    QList<HelpItem> items;
};

// The help shipped with the application. There are no help files: the text is compiled in.
namespace HelpContent {

// The twelve sections in reading order, each with a new id, so a view built from them can tell
// its sections apart.
QList<HelpSection> buildSections();

// A divider line is drawn above these rows of the shortcut table (counted from 0), between the
// groups of file, editing, find and view commands.
inline constexpr std::array<int, 3> shortcutDividerRows {6, 13, 18};

// The product's web page, linked from the foot of the help page.
QString productPageAddress();
QString productPageLinkText();

} // namespace HelpContent
