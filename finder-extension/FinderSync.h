#pragma once

#include <QImage>
#include <QList>
#include <QString>

#include <optional>

class BookmarkManager;
class WorkspaceOpener;

// The file-manager extension: the "New Text Document" command for a folder. It makes an empty,
// uniquely named file there (first as a write inside an authorised folder, then as a plain
// write), opens it when the shared store says so, and when it cannot write, hands the folder to
// the editor by a new-file URL. It keeps nothing between commands; the store is read afresh.
class FinderSync
{
public:
    enum class MenuKind {
        ContextualMenuForContainer, // a folder's background
        ContextualMenuForItems, // selected files or folders
        ContextualMenuForSidebar,
        ToolbarItemMenu,
    };

    struct MenuItem
    {
        QString title;
        QString action; // the command's name, "createNewTextDocument"
        QString keyEquivalent;
        QImage image;
    };

    struct Menu
    {
        QString title;
        QList<MenuItem> items;
    };

    // How the folder's path reached us: a path that was no valid UTF-8 cannot be written to or
    // put in a URL without naming another folder.
    enum class TargetPath { Exact, NotRepresentable };

    // Logs the launch line with `programPath`.
    FinderSync(
        BookmarkManager &bookmarkManager, WorkspaceOpener &workspace, const QString &programPath);

    Menu menu(MenuKind kind) const;
    static QString toolbarItemName();
    static QString toolbarItemToolTip();
    static QImage toolbarItemImage();

    // The command, for the folder the file manager reported (none when it reported nothing).
    void createNewTextDocument(
        const std::optional<QString> &target, TargetPath form = TargetPath::Exact);

private:
    bool createFile(const QString &folder);
    void openMainApp(const QString &folder, TargetPath form);

    BookmarkManager &m_bookmarkManager;
    WorkspaceOpener &m_workspace;
};
