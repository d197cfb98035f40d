#include "FinderSync.h"

#include "BookmarkManager.h"
#include "FinderSyncCommand.h"
#include "FinderSyncMenuIcon.h"
#include "NewFileNaming.h"
#include "NewFileUrl.h"
#include "SystemLog.h"
#include "WorkspaceOpener.h"

#include <QUrl>

using namespace Qt::StringLiterals;

FinderSync::FinderSync(
    BookmarkManager &bookmarkManager, WorkspaceOpener &workspace, const QString &programPath)
    : m_bookmarkManager(bookmarkManager)
    , m_workspace(workspace)
{
    SystemLog::write(u"Scrivlet FinderSync Extension launched from "_s + programPath);
}

FinderSync::Menu FinderSync::menu(MenuKind kind) const
{
    Menu menu;
    switch (kind) {
    case MenuKind::ContextualMenuForContainer:
    case MenuKind::ToolbarItemMenu:
        menu.items.append({FinderSyncCommand::title(), u"createNewTextDocument"_s, QString(),
            FinderSyncMenuIcon::image()});
        break;
    case MenuKind::ContextualMenuForItems:
    case MenuKind::ContextualMenuForSidebar:
        break;
    }
    return menu;
}

QString FinderSync::toolbarItemName()
{
    return u"Scrivlet"_s;
}

QString FinderSync::toolbarItemToolTip()
{
    return FinderSyncCommand::toolTip();
}

QImage FinderSync::toolbarItemImage()
{
    return FinderSyncMenuIcon::image();
}

void FinderSync::createNewTextDocument(const std::optional<QString> &target, TargetPath form)
{
    if (!target) {
        SystemLog::write(u"Scrivlet FinderSync: targetedURL is nil"_s);
        return;
    }
    SystemLog::write(u"Scrivlet FinderSync: Creating new text document in "_s + *target);
    if (form == TargetPath::Exact) {
        // Access to an authorised folder needs no grant here (nothing is sandboxed), so the
        // write inside one is the same write; a failure is still tried once more plainly.
        if (m_bookmarkManager.resolveBookmark(QUrl::fromLocalFile(*target)) && createFile(*target))
            return;
        if (createFile(*target))
            return;
    }
    openMainApp(*target, form);
}

bool FinderSync::createFile(const QString &folder)
{
    const NewFileNaming::Creation creation
        = NewFileNaming::createUniqueFile(m_bookmarkManager.filename(), folder);
    if (!creation.succeeded()) {
        SystemLog::write(u"Scrivlet FinderSync: Failed to create file: "_s + creation.error);
        return false;
    }
    SystemLog::write(u"Scrivlet FinderSync: Created file at "_s + creation.path);
    if (m_bookmarkManager.openAfterCreate())
        m_workspace.openFile(creation.path);
    return true;
}

void FinderSync::openMainApp(const QString &folder, TargetPath form)
{
    const std::optional<QString> url
        = form == TargetPath::Exact ? NewFileUrl::build(folder) : std::nullopt;
    if (!url) {
        // The folder cannot travel; starting the editor at least brings the user to it.
        m_workspace.launchApplication(QStringLiteral(SCRIVLET_APP_ID));
        return;
    }
    const QUrl request(*url, QUrl::StrictMode);
    if (request.isValid())
        m_workspace.openUrl(request);
}
