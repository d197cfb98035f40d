#include "HelpWindowController.h"

#include "CommandShortcuts.h"
#include "EscapeCloses.h"
#include "HelpContentView.h"
#include "HelpSearchBar.h"
#include "ReturnPressesButtons.h"
#include "WindowAccessibility.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QScreen>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The screen the user is working on: that of the active window, else the primary one.
QScreen *targetScreen()
{
    if (const QWidget *active = QApplication::activeWindow())
        return active->screen();
    return QGuiApplication::primaryScreen();
}

} // namespace

HelpWindowController &HelpWindowController::shared()
{
    static HelpWindowController controller;
    return controller;
}

void HelpWindowController::showHelp()
{
    if (!m_window)
        m_window = createWindow();
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_window->focusSearchField();
}

void HelpWindowController::setWindowSetup(WindowSetup setup)
{
    m_windowSetup = std::move(setup);
    if (m_window && m_windowSetup)
        m_windowSetup(*m_window);
}

QRect HelpWindowController::placement(QSize size, QSize minimum, const QRect &available)
{
    QRect frame(QPoint(), size.boundedTo(available.size()).expandedTo(minimum));
    frame.moveCenter(available.center());
    frame.moveTop(std::max(frame.top(), available.top()));
    frame.moveLeft(std::max(frame.left(), available.left()));
    return frame;
}

QAction *HelpWindowController::createShowHelpAction(QObject *parent)
{
    auto *action = new QAction(tr("Scrivlet Help"), parent);
    action->setObjectName(u"scrivlet.menu.help"_s);
    action->setShortcuts(CommandShortcuts::keys(CommandShortcuts::Command::Help));
    action->setMenuRole(QAction::NoRole);
    connect(action, &QAction::triggered, action, [] { HelpWindowController::shared().showHelp(); });
    return action;
}

HelpContentView *HelpWindowController::createWindow()
{
    WindowAccessibility::install();
    auto *window = new HelpContentView;
    window->setWindowTitle(tr("Scrivlet Help"));
    window->setMinimumSize(minimumContentSize, minimumContentSize);
    window->resize(contentWidth, contentHeight);
    if (const QScreen *screen = targetScreen()) {
        const QRect frame
            = placement(window->size(), window->minimumSize(), screen->availableGeometry());
        window->resize(frame.size());
        // move() places the frame, title bar included.
        window->move(frame.topLeft());
    }

    auto *close = new QAction(window);
    close->setShortcuts(QKeySequence::Close);
    connect(close, &QAction::triggered, window, &QWidget::close);
    auto *find = new QAction(window);
    find->setShortcuts(QKeySequence::Find);
    connect(find, &QAction::triggered, window, &HelpContentView::focusSearchField);
    window->addActions({close, find});
    // As in GNOME's search fields: Escape first clears the search being typed, then closes.
    EscapeCloses::install(window, [window] {
        QLineEdit *field = window->searchBar()->field();
        if (!field->hasFocus() || field->text().isEmpty())
            return false;
        field->clear();
        return true;
    });
    ReturnPressesButtons::install(window);
    if (m_windowSetup)
        m_windowSetup(*window);

    // Deleted when the event loop ends, while the application object still exists.
    connect(qApp, &QCoreApplication::aboutToQuit, window, &QObject::deleteLater);
    return window;
}
