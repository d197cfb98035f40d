#include "FileMenuCleanup.h"

#include <QAction>
#include <QMenu>

using namespace Qt::StringLiterals;

namespace {

const QStringList unwantedTitles = {
    u"Duplicate"_s,
    u"Duplicate…"_s,
    u"Rename…"_s,
    u"Rename..."_s,
    u"Move To…"_s,
    u"Move To..."_s,
    u"Revert To"_s,
    u"Revert To Saved"_s,
    u"Revert to Saved"_s,
    u"Share"_s,
    u"Save As…"_s,
};

// Marks a Print item already pointed at the print handler, so a second run leaves it alone.
constexpr char retargetedProperty[] = "scrivletPrintRetargeted";

qsizetype indexOfTitle(const QList<QAction *> &items, const QStringList &titles)
{
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (!items[i]->isSeparator() && titles.contains(items[i]->text()))
            return i;
    }
    return -1;
}

void removeSeparatorsBetweenSaveAndSaveAs(QMenu &menu)
{
    const QList<QAction *> items = menu.actions();
    const qsizetype save = indexOfTitle(items, {u"Save"_s, u"Save…"_s, u"Save..."_s});
    const qsizetype saveAs = indexOfTitle(items, {u"Save As..."_s});
    if (save < 0 || saveAs < 0 || save >= saveAs)
        return;
    for (qsizetype i = saveAs - 1; i > save; --i) {
        if (items[i]->isSeparator())
            menu.removeAction(items[i]);
    }
}

void removeConsecutiveSeparators(QMenu &menu)
{
    for (qsizetype i = 0;; ++i) {
        for (;;) {
            const QList<QAction *> items = menu.actions();
            if (i >= items.size())
                return;
            const bool stray = items[i]->isSeparator()
                && (i == 0 || i == items.size() - 1 || items[i - 1]->isSeparator());
            if (!stray)
                break;
            menu.removeAction(items[i]);
        }
    }
}

} // namespace

void FileMenuCleanup::removeUnwantedFileMenuItems(QMenu &menu, const std::function<void()> &print)
{
    const QList<QAction *> items = menu.actions();
    for (auto item = items.crbegin(); item != items.crend(); ++item) {
        if (!(*item)->isSeparator() && unwantedTitles.contains((*item)->text()))
            menu.removeAction(*item);
    }
    removeSeparatorsBetweenSaveAndSaveAs(menu);
    removeConsecutiveSeparators(menu);
    const QList<QAction *> remaining = menu.actions();
    const qsizetype printIndex = indexOfTitle(remaining, {u"Print…"_s, u"Print..."_s});
    if (printIndex < 0 || !print)
        return;
    QAction *printItem = remaining[printIndex];
    if (printItem->property(retargetedProperty).toBool())
        return;
    QObject::disconnect(printItem, &QAction::triggered, nullptr, nullptr);
    QObject::connect(printItem, &QAction::triggered, printItem, [print] { print(); });
    printItem->setProperty(retargetedProperty, true);
}
