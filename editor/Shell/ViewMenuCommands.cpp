#include "ViewMenuCommands.h"

#include "CommandShortcuts.h"
#include "Settings.h"

#include <QAction>

using namespace Qt::StringLiterals;
using CommandShortcuts::Command;

std::optional<qint64> ViewMenuCommands::increasedFontSize(qint64 size)
{
    if (size < maximumFontSize)
        return size + 1;
    return std::nullopt;
}

std::optional<qint64> ViewMenuCommands::decreasedFontSize(qint64 size)
{
    if (size > minimumFontSize)
        return size - 1;
    return std::nullopt;
}

QString ViewMenuCommands::lineNumbersTitle(bool shown)
{
    return shown ? u"Hide Line Numbers"_s : u"Show Line Numbers"_s;
}

QString ViewMenuCommands::statusBarTitle(bool shown)
{
    return shown ? u"Hide Status Bar"_s : u"Show Status Bar"_s;
}

QList<QAction *> ViewMenuCommands::createActions(Settings &settings, QObject *parent)
{
    auto *lineNumbers = new QAction(lineNumbersTitle(settings.showLineNumbers()), parent);
    lineNumbers->setObjectName(u"scrivlet.menu.toggleLineNumbers"_s);
    lineNumbers->setShortcuts(CommandShortcuts::keys(Command::ToggleLineNumbers));
    QObject::connect(lineNumbers, &QAction::triggered, &settings,
        [&settings] { settings.setShowLineNumbers(!settings.showLineNumbers()); });
    QObject::connect(
        &settings, &Settings::showLineNumbersChanged, lineNumbers, [lineNumbers, &settings] {
            lineNumbers->setText(lineNumbersTitle(settings.showLineNumbers()));
        });

    auto *statusBar = new QAction(statusBarTitle(settings.showStatusBar()), parent);
    statusBar->setObjectName(u"scrivlet.menu.toggleStatusBar"_s);
    statusBar->setShortcuts(CommandShortcuts::keys(Command::ToggleStatusBar));
    QObject::connect(statusBar, &QAction::triggered, &settings,
        [&settings] { settings.setShowStatusBar(!settings.showStatusBar()); });
    QObject::connect(&settings, &Settings::showStatusBarChanged, statusBar,
        [statusBar, &settings] { statusBar->setText(statusBarTitle(settings.showStatusBar())); });

    auto *separator = new QAction(parent);
    separator->setSeparator(true);

    auto *increase = new QAction(u"Increase Font Size"_s, parent);
    increase->setShortcuts(CommandShortcuts::keys(Command::IncreaseFontSize));
    QObject::connect(increase, &QAction::triggered, &settings, [&settings] {
        if (const std::optional<qint64> size = increasedFontSize(settings.fontSize()))
            settings.setFontSize(*size);
    });

    auto *decrease = new QAction(u"Decrease Font Size"_s, parent);
    decrease->setShortcuts(CommandShortcuts::keys(Command::DecreaseFontSize));
    QObject::connect(decrease, &QAction::triggered, &settings, [&settings] {
        if (const std::optional<qint64> size = decreasedFontSize(settings.fontSize()))
            settings.setFontSize(*size);
    });
    return {lineNumbers, statusBar, separator, increase, decrease};
}
