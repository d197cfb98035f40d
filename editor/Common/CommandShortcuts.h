#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

// The keys of every command that has some, in one place: the menus take their shortcuts from
// here and the help writes them from here, so the two cannot disagree.
namespace CommandShortcuts {

enum class Command {
    New,
    Open,
    Save,
    SaveAs,
    Close,
    Print,
    Quit,
    Undo,
    Redo,
    Cut,
    Copy,
    Paste,
    SelectAll,
    GoToLine,
    Find,
    FindAndReplace,
    FindNext,
    FindPrevious,
    DismissFind,
    ToggleLineNumbers,
    ToggleStatusBar,
    IncreaseFontSize,
    DecreaseFontSize,
    Settings,
    Help,
    OpenMenuBar,
};

// The first is the one menus show.
QList<QKeySequence> keys(Command command);
// The first key as the desktop writes it ("Ctrl+Shift+S").
QString text(Command command);

} // namespace CommandShortcuts
