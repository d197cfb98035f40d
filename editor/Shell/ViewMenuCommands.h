#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

class QAction;
class QObject;
class Settings;

// The View menu's commands: the line-number and status-bar toggles, whose titles name what they
// will do and follow the settings live, and the font size steps within 8–72 points.
class ViewMenuCommands
{
public:
    static constexpr qint64 minimumFontSize = 8;
    static constexpr qint64 maximumFontSize = 72;

    // The size after one step, or nothing at the limit. A size stored outside the limits by
    // other means is not corrected: the step away from the limit still works.
    static std::optional<qint64> increasedFontSize(qint64 size);
    static std::optional<qint64> decreasedFontSize(qint64 size);

    static QString lineNumbersTitle(bool shown);
    static QString statusBarTitle(bool shown);

    // The actions in menu order, separator included, owned by `parent`.
    static QList<QAction *> createActions(Settings &settings, QObject *parent);
};
