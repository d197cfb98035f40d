#pragma once

// Keeps the application palette in step with the desktop's light or dark scheme while the
// program runs. Qt 6.4 reports the switch as a theme change and its style's standard palette
// follows it, but the application palette keeps the colours it started with, so windows that
// follow the system would stay as they were. On each theme change this gives the application
// the style's new standard palette, as long as that is where its palette came from at start
// (a platform theme that supplies its own colours, or a palette the program set, is left alone).
// That palette's secondary text is made readable, as in the light and dark palettes.
namespace DesktopColorScheme {

// Starts following; later calls do nothing. Needs the QApplication.
void follow();

} // namespace DesktopColorScheme
