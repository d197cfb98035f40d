#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>

#include <functional>

class HelpContentView;
class QAction;
class QWidget;

// The one Help window of the process. It is built on the first request and then kept: closing
// only hides it, and the next request brings back the same window with its search as it was.
class HelpWindowController : public QObject
{
    Q_OBJECT

public:
    static constexpr int contentWidth = 560;
    static constexpr int contentHeight = 620;
    static constexpr int minimumContentSize = 400;

    static HelpWindowController &shared();

    // Shows the Help window, building it on first use, and puts the focus in its search field.
    void showHelp();

    // None until the first showHelp().
    HelpContentView *window() const { return m_window; }

    // Where a window of `size` goes on a screen's available area: centred, and on a screen too
    // small for it as large as fits (but not below `minimum`), with its top left corner on the
    // screen so the title bar stays reachable.
    static QRect placement(QSize size, QSize minimum, const QRect &available);

    // The Help menu's "Scrivlet Help" item (Ctrl+? and F1), which shows this window.
    static QAction *createShowHelpAction(QObject *parent);

    // Runs on the window when it is built, or at once when it exists (the application's
    // shortcuts are added this way).
    using WindowSetup = std::function<void(QWidget &window)>;
    void setWindowSetup(WindowSetup setup);

private:
    HelpWindowController() = default;
    HelpContentView *createWindow();

    // The window lives until the application quits; a guarded pointer, because the widget must
    // not outlive the application object, which this controller does.
    QPointer<HelpContentView> m_window;
    WindowSetup m_windowSetup;
};
