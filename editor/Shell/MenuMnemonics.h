#pragma once

#include <QChar>
#include <QSet>
#include <QString>

class QMenu;
class QMenuBar;

// Every menu item answers to Alt+letter (the underlined letter), and no two items of one menu
// share a letter. Titles keep the words the code gives them; the letter is the first word's
// initial that is still free, else another word's, else any free letter or digit. Names that come
// from outside (files, windows) are escaped first, so an "&" in them shows as typed.
namespace MenuMnemonics {

QString escaped(const QString &name);
// The letter after a single "&", in lower case; null when the title has none.
QChar mnemonic(const QString &title);
// The title with "&" before the first letter not in `taken` (lower case), or unchanged.
QString withMnemonic(const QString &title, const QSet<QChar> &taken);
// Gives each visible item without a letter the first free one; the letters items have stay.
void assign(QMenu &menu);
// Assigns now to every menu and submenu of the bar, and again whenever one opens: items change
// their titles (Show/Hide) and some menus are filled as they open.
void follow(QMenuBar &bar);

} // namespace MenuMnemonics
