#pragma once

#include <QFont>
#include <QString>

// Resolves the editor and gutter fonts from the font settings. Every family, size and weight
// combination is resolved once and kept for the life of the process (never evicted), so an
// editor update that finds the settings unchanged costs a hash lookup.
//
// Main thread only: the cache has no lock, and QFont itself may only be created on the GUI
// thread.
class FontCache
{
public:
    FontCache() = delete;

    // A family that is not installed falls back to the desktop's fixed-pitch font at the same
    // size and weight, without a message: a settings file may name a font from another machine.
    static QFont font(const QString &family, qint64 size, bool isBold);

    // "<family>-<size>-<true|false>", e.g. "Menlo-13-false".
    static QString cacheKey(const QString &family, qint64 size, bool isBold);
    static bool isCached(const QString &key);
};
