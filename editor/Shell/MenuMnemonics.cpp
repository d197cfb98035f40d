#include "MenuMnemonics.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace MenuMnemonics {

namespace {

void followMenu(QMenu &menu)
{
    assign(menu);
    // Connected after the menu's own handlers, which fill it as it opens.
    QObject::connect(&menu, &QMenu::aboutToShow, &menu, [&menu] { assign(menu); });
    for (QAction *action : menu.actions()) {
        if (QMenu *submenu = action->menu())
            followMenu(*submenu);
    }
}

} // namespace

QString escaped(const QString &name)
{
    QString text = name;
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

QChar mnemonic(const QString &title)
{
    for (qsizetype i = 0; i + 1 < title.size(); ++i) {
        if (title.at(i) != QLatin1Char('&'))
            continue;
        if (title.at(i + 1) == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return title.at(i + 1).toLower();
    }
    return {};
}

QString withMnemonic(const QString &title, const QSet<QChar> &taken)
{
    const auto isFree = [&](qsizetype i) {
        const QChar c = title.at(i);
        return c.isLetterOrNumber() && !taken.contains(c.toLower());
    };
    const auto startsWord = [&](qsizetype i) {
        return i == 0 || !title.at(i - 1).isLetterOrNumber();
    };
    for (const bool initialsOnly : {true, false}) {
        for (qsizetype i = 0; i < title.size(); ++i) {
            if ((!initialsOnly || startsWord(i)) && isFree(i))
                return title.left(i) + QLatin1Char('&') + title.mid(i);
        }
    }
    return title;
}

void assign(QMenu &menu)
{
    const QList<QAction *> actions = menu.actions();
    QSet<QChar> taken;
    for (const QAction *action : actions) {
        if (const QChar letter = mnemonic(action->text()); !letter.isNull())
            taken.insert(letter);
    }
    for (QAction *action : actions) {
        if (action->isSeparator() || !action->isVisible() || !mnemonic(action->text()).isNull())
            continue;
        const QString title = withMnemonic(action->text(), taken);
        if (title == action->text())
            continue;
        action->setText(title);
        taken.insert(mnemonic(title));
    }
}

void follow(QMenuBar &bar)
{
    for (QAction *action : bar.actions()) {
        if (QMenu *menu = action->menu())
            followMenu(*menu);
    }
}

} // namespace MenuMnemonics
