#pragma once

#include <QImage>

// The command's icon: a blue page with a folded corner and a white "T", drawn in a 16 × 16
// grid. The same drawing makes the menu image and the icon files the file-manager hooks show.
// Needs a QGuiApplication (for the font of the letter).
class FinderSyncMenuIcon
{
public:
    static constexpr int size = 16;

    // size × scale pixels square, with that device pixel ratio.
    static QImage image(int scale = 1);
    // Writes the PNG at the given scale; false when the file cannot be written.
    static bool writePng(const QString &path, int scale);
};
