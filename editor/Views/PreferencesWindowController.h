#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include <functional>

class PreferencesView;
class QWidget;
class Settings;

// Owns the "Scrivlet Settings" window. While the window is open, asking for it again brings the
// same window forward; after it was closed, the next request builds a fresh one (closing deletes
// the window, its colour dialog and its file-associations manager).
class PreferencesWindowController : public QObject
{
    Q_OBJECT

public:
    static constexpr QSize contentSize {480, 700};
    static constexpr QSize minimumContentSize {420, 500};
    static inline const QString windowTitle = QStringLiteral("Scrivlet Settings");
    // Room kept for the window manager's title bar when the window is fitted to the screen.
    static constexpr int titleBarAllowance = 40;

    // The window's size on a screen whose available area is `available` (logical pixels, so a
    // larger text scale leaves less): the usual size, never taller or wider than the screen with
    // its title bar; the form scrolls in what there is.
    static QSize fittedSize(const QSize &available);

    // The controller behind "Settings…", over the shared settings.
    static PreferencesWindowController &shared();

    explicit PreferencesWindowController(Settings &settings, QObject *parent = nullptr);
    ~PreferencesWindowController() override;

    // Brings the open window forward (restoring it when minimised), or builds, centres and shows
    // a new one.
    void showPreferences();

    QWidget *window() const { return m_window; }
    PreferencesView *view() const { return m_view; }

    // Builds the file-manager extension pane for each new window (the view hosts it as row 16).
    using PaneFactory = std::function<QWidget *()>;
    void setFinderExtensionPaneFactory(PaneFactory factory);
    // Runs on each new window (the application's shortcuts are added this way).
    using WindowSetup = std::function<void(QWidget &window)>;
    void setWindowSetup(WindowSetup setup) { m_windowSetup = std::move(setup); }

private:
    void buildWindow();

    Settings &m_settings;
    QPointer<QWidget> m_window;
    QPointer<PreferencesView> m_view;
    PaneFactory m_paneFactory;
    WindowSetup m_windowSetup;
};
