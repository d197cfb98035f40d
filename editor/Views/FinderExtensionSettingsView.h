#pragma once

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <functional>

class AuthorizedFolderList;
class BookmarkManager;
class FileManagerHooksPage;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The "File Manager Extension" part of the Settings window: whether the file-manager hook is in
// place (with a button to the page that installs it), the name new files get, whether they are
// opened, and the authorised folders. It keeps nothing of its own: every value is read from and
// written to the store shared with the extension, and the list shows what that store resolves.
class FinderExtensionSettingsView : public QWidget
{
    Q_OBJECT

public:
    // What the pane asks of the desktop; tests answer it themselves.
    struct Platform
    {
        std::function<bool()> isExtensionEnabled;
        std::function<void()> showExtensionManagementInterface;
        // The chosen folders, in the chooser's order; empty when cancelled.
        std::function<QStringList(QWidget *parent)> chooseFolders;
    };

    // Over the shared store, the file-manager hooks and a folder dialog.
    explicit FinderExtensionSettingsView(QWidget *parent = nullptr);
    FinderExtensionSettingsView(
        BookmarkManager &bookmarkManager, Platform platform, QWidget *parent = nullptr);
    ~FinderExtensionSettingsView() override;

    const QList<QUrl> &monitoredFolders() const { return m_monitoredFolders; }

    // Runs the folder chooser and authorises every folder chosen.
    void addFolder();
    // Reads everything afresh, as showing the pane does.
    void reload();
    // Asks the desktop again whether the extension is enabled.
    void updateStatus();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void createStatusRow();
    void createOptionRows();
    void createFolderRows();
    void setMonitoredFolders(const QList<QUrl> &folders);
    void removeFolder(const QUrl &folder);
    void showHooksPage();

    BookmarkManager &m_bookmarkManager;
    Platform m_platform;
    QList<QUrl> m_monitoredFolders;
    QWidget *m_statusDot = nullptr;
    QLabel *m_statusText = nullptr;
    QLineEdit *m_filename = nullptr;
    QCheckBox *m_openAfterCreate = nullptr;
    AuthorizedFolderList *m_folderList = nullptr;
    QPushButton *m_addFolder = nullptr;
    QLabel *m_folderCount = nullptr;
    QPointer<FileManagerHooksPage> m_hooksPage;
};
