#pragma once

#include <QObject>
#include <QUrl>

#include <functional>

class DocumentController;
class DocumentWindow;
class QMenu;
class QMenuBar;
class QWidget;
class Settings;

// The application's commands: every document window gets a menu bar with File, Edit, View,
// Window and Help. Parts that arrive separately (the find commands, the Settings window, the
// help window) plug in through the hooks below.
class ScrivletApp : public QObject
{
    Q_OBJECT

public:
    // The product's web page, which Check for Updates opens.
    static QUrl productPageUrl();

    ScrivletApp(Settings &settings, DocumentController &documents, QObject *parent = nullptr);

    // Gives every window the controller creates from now on its menu bar.
    void installMenusOnNewWindows();
    QMenuBar *createMenuBar(DocumentWindow &window);
    // Gives a window without a menu bar (Settings, Help) the shortcuts of the commands that do
    // not concern one document: New, Open... and Quit. They act only while that window is
    // active, so they never compete with a document window's own.
    void addApplicationShortcutsTo(QWidget &window);

    // Adds items to a window's Edit menu after its standard items (the find commands).
    void setEditMenuExtension(std::function<void(QMenu &editMenu, DocumentWindow &window)> extend)
    {
        m_extendEditMenu = std::move(extend);
    }
    void setShowPreferences(std::function<void()> show) { m_showPreferences = std::move(show); }
    void setShowHelp(std::function<void()> show) { m_showHelp = std::move(show); }
    // Quit and the File menu's Print item, which the application delegate answers.
    void setQuit(std::function<void()> quit) { m_quit = std::move(quit); }
    void setPrint(std::function<void()> print) { m_print = std::move(print); }
    // Opens URLs with the desktop's default handler; replaced in tests.
    void setOpenUrl(std::function<bool(const QUrl &)> open) { m_openUrl = std::move(open); }

    void checkForUpdates() const;

private:
    void quit();
    void createFileMenu(QMenuBar &bar, DocumentWindow &window);
    void createOpenRecentMenu(QMenu &fileMenu);
    void createEditMenu(QMenuBar &bar, DocumentWindow &window);
    void createViewMenu(QMenuBar &bar);
    void createWindowMenu(QMenuBar &bar, DocumentWindow &window);
    void createHelpMenu(QMenuBar &bar, DocumentWindow &window);

    Settings &m_settings;
    DocumentController &m_documents;
    std::function<void(QMenu &, DocumentWindow &)> m_extendEditMenu;
    std::function<void()> m_showPreferences;
    std::function<void()> m_showHelp;
    std::function<void()> m_quit;
    std::function<void()> m_print;
    std::function<bool(const QUrl &)> m_openUrl;
};
