#pragma once

#include "CommandShortcuts.h"

#include <QObject>

class QAction;
class QMenu;

// The Find group of the Edit menu: "Find...", "Find and Replace...", "Find Next" and
// "Find Previous". The first two open the find panel; the other two step the matches of the
// document the panel serves, whether or not the panel is shown, and never open it. None is ever
// disabled. Each object owns its four actions; their shortcuts work in the window whose menu (or
// widget) holds them.
class FindMenuCommands : public QObject
{
    Q_OBJECT

public:
    explicit FindMenuCommands(QObject *parent = nullptr);

    QAction *findAction() const { return m_find; }
    QAction *findAndReplaceAction() const { return m_findAndReplace; }
    QAction *findNextAction() const { return m_findNext; }
    QAction *findPreviousAction() const { return m_findPrevious; }

    // Adds the group to an Edit menu directly after its standard editing items: before
    // `before` when given (for example the first item of a group that follows), else at the end.
    // A separator sets the group apart from what precedes it, and one divides its two halves.
    void addTo(QMenu *editMenu, QAction *before = nullptr) const;
    // Makes the shortcuts work in `widget`'s window too (the find panel uses this).
    void addShortcutsTo(QWidget *widget) const;

private:
    QAction *createAction(
        const QString &title, CommandShortcuts::Command command, const QString &objectName);

    QAction *m_find = nullptr;
    QAction *m_findAndReplace = nullptr;
    QAction *m_findNext = nullptr;
    QAction *m_findPrevious = nullptr;
};
