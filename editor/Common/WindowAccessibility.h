#pragma once

// Qt exposes a window made from a plain QWidget (Settings, Help, the file-manager hooks page) as
// a "filler", which a screen reader does not announce as a window at all. Once installed, every
// such window is exposed as a window (AT-SPI "frame"), as document windows are. Idempotent.
namespace WindowAccessibility {

void install();

} // namespace WindowAccessibility
