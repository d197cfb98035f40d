#include "FindMenuCommands.h"

#include "CommandShortcuts.h"
#include "FindPanelController.h"
#include "FindState.h"

#include <QAction>
#include <QMenu>

FindMenuCommands::FindMenuCommands(QObject *parent)
    : QObject(parent)
{
    using CommandShortcuts::Command;
    m_find = createAction(
        QStringLiteral("Find..."), Command::Find, QStringLiteral("scrivlet.menu.find"));
    m_findAndReplace = createAction(QStringLiteral("Find and Replace..."), Command::FindAndReplace,
        QStringLiteral("scrivlet.menu.findAndReplace"));
    m_findNext = createAction(
        QStringLiteral("Find Next"), Command::FindNext, QStringLiteral("scrivlet.menu.findNext"));
    m_findPrevious = createAction(QStringLiteral("Find Previous"), Command::FindPrevious,
        QStringLiteral("scrivlet.menu.findPrevious"));

    connect(m_find, &QAction::triggered, this,
        [] { FindPanelController::shared().showPanel(FindMode::Find); });
    connect(m_findAndReplace, &QAction::triggered, this,
        [] { FindPanelController::shared().showPanel(FindMode::FindAndReplace); });
    connect(m_findNext, &QAction::triggered, this, [] {
        if (FindState *state = FindPanelController::shared().activeFindState())
            state->findNext();
    });
    connect(m_findPrevious, &QAction::triggered, this, [] {
        if (FindState *state = FindPanelController::shared().activeFindState())
            state->findPrevious();
    });
}

QAction *FindMenuCommands::createAction(
    const QString &title, CommandShortcuts::Command command, const QString &objectName)
{
    auto *action = new QAction(title, this);
    action->setShortcuts(CommandShortcuts::keys(command));
    action->setObjectName(objectName);
    return action;
}

void FindMenuCommands::addTo(QMenu *editMenu, QAction *before) const
{
    if (!editMenu)
        return;
    const QList<QAction *> existing = editMenu->actions();
    if (!existing.contains(before))
        before = nullptr;
    const qsizetype at = before ? existing.indexOf(before) : existing.size();
    if (at > 0 && !existing.at(at - 1)->isSeparator())
        editMenu->insertSeparator(before);
    editMenu->insertActions(before, {m_find, m_findAndReplace});
    editMenu->insertSeparator(before);
    editMenu->insertActions(before, {m_findNext, m_findPrevious});
    if (before && !before->isSeparator())
        editMenu->insertSeparator(before);
}

void FindMenuCommands::addShortcutsTo(QWidget *widget) const
{
    widget->addActions({m_find, m_findAndReplace, m_findNext, m_findPrevious});
}
