#include "CommandShortcuts.h"

namespace CommandShortcuts {

QList<QKeySequence> keys(Command command)
{
    switch (command) {
    case Command::New:
        return {QKeySequence::New};
    case Command::Open:
        return {QKeySequence::Open};
    case Command::Save:
        return {QKeySequence::Save};
    case Command::SaveAs:
        return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)};
    case Command::Close:
        return {QKeySequence(Qt::CTRL | Qt::Key_W)};
    case Command::Print:
        return {QKeySequence(Qt::CTRL | Qt::Key_P)};
    case Command::Quit:
        return {QKeySequence(Qt::CTRL | Qt::Key_Q)};
    case Command::Undo:
        return {QKeySequence::Undo};
    case Command::Redo:
        return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)};
    case Command::Cut:
        return {QKeySequence::Cut};
    case Command::Copy:
        return {QKeySequence::Copy};
    case Command::Paste:
        return {QKeySequence::Paste};
    case Command::SelectAll:
        return {QKeySequence::SelectAll};
    case Command::GoToLine:
        // Ctrl+G is Find Next here; Ctrl+L is Go to Line in FeatherPad too.
        return {QKeySequence(Qt::CTRL | Qt::Key_L)};
    case Command::Find:
        return {QKeySequence(Qt::CTRL | Qt::Key_F)};
    case Command::FindAndReplace:
        return {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_F)};
    case Command::FindNext:
        return {QKeySequence(Qt::CTRL | Qt::Key_G)};
    case Command::FindPrevious:
        return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G)};
    case Command::DismissFind:
        return {QKeySequence(Qt::Key_Escape)};
    case Command::ToggleLineNumbers:
        return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L)};
    case Command::ToggleStatusBar:
        return {QKeySequence(Qt::CTRL | Qt::Key_Slash)};
    case Command::IncreaseFontSize:
        // Ctrl++ is typed as Ctrl+Shift+= on most layouts, so Ctrl+= answers as well.
        return {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)};
    case Command::DecreaseFontSize:
        return {QKeySequence(Qt::CTRL | Qt::Key_Minus)};
    case Command::Settings:
        return {QKeySequence(Qt::CTRL | Qt::Key_Comma)};
    case Command::Help:
        return {
            QKeySequence(QKeySequence::HelpContents), QKeySequence(Qt::CTRL | Qt::Key_Question)};
    case Command::OpenMenuBar:
        return {QKeySequence(Qt::Key_F10)};
    }
    Q_UNREACHABLE();
    return {};
}

QString text(Command command)
{
    const QList<QKeySequence> sequences = keys(command);
    return sequences.isEmpty() ? QString() : sequences.first().toString(QKeySequence::NativeText);
}

} // namespace CommandShortcuts
