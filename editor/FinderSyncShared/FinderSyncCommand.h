#pragma once

#include <QString>

// The names under which the "New Text Document" command appears: in the extension's own menus,
// in the hooks installed into each file manager and in the icon theme.
namespace FinderSyncCommand {

inline QString title()
{
    return QStringLiteral("New Text Document");
}

inline QString toolTip()
{
    return QStringLiteral("Create a new text document in this folder");
}

// The icon's name in the hicolor theme, where the hooks find it.
inline QString iconName()
{
    return QStringLiteral("scrivlet-new-text-document");
}

// The program the hooks run with the folder as its only argument.
inline QString programName()
{
    return QStringLiteral("scrivlet-finder-sync");
}

} // namespace FinderSyncCommand
