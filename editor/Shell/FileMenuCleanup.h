#pragma once

#include <functional>

class QMenu;

// Tidies a File menu each time it is about to show: items other desktops' document menus carry
// but this editor does not use go, stray separators go (none first, none last, never two in a
// row, none between Save and Save As...), and the Print item is pointed at `print`. Running it
// on its own result changes nothing.
namespace FileMenuCleanup {

void removeUnwantedFileMenuItems(QMenu &menu, const std::function<void()> &print);

} // namespace FileMenuCleanup
