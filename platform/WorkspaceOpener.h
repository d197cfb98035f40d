#pragma once

#include <QString>
#include <QUrl>

// Opens files and URLs the way the desktop does (its default application for a file's type, the
// registered handler of a URL scheme) and starts applications by their id. Code that opens
// things takes a WorkspaceOpener, so tests can record the calls instead of starting programs.
class WorkspaceOpener
{
public:
    virtual ~WorkspaceOpener() = default;

    // Each answers whether an application was started for the request.
    virtual bool openFile(const QString &path) = 0;
    virtual bool openUrl(const QUrl &url) = 0;
    // `applicationId` names the desktop file (without ".desktop"), e.g. "org.scrivlet.Scrivlet".
    virtual bool launchApplication(const QString &applicationId) = 0;

    // The desktop's opener (GIO), shared by the whole process.
    static WorkspaceOpener &desktop();
};
