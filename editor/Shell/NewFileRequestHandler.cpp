#include "NewFileRequestHandler.h"

#include "BookmarkManager.h"
#include "NewFileNaming.h"
#include "NewFileUrl.h"
#include "UserPrompts.h"

using namespace Qt::StringLiterals;

NewFileRequestHandler::NewFileRequestHandler(OpenFile openFile)
    : NewFileRequestHandler(std::move(openFile), BookmarkManager::shared())
{ }

NewFileRequestHandler::NewFileRequestHandler(OpenFile openFile, BookmarkManager &store)
    : m_openFile(std::move(openFile))
    , m_store(store)
{ }

bool NewFileRequestHandler::isScrivletUrl(const QString &argument)
{
    return argument.startsWith(u"scrivlet:", Qt::CaseInsensitive);
}

NewFileRequestHandler::Outcome NewFileRequestHandler::handle(const QString &url)
{
    const std::optional<QString> folder = NewFileUrl::folderPath(url);
    if (!folder)
        return Outcome::NotARequest;
    if (const std::optional<QString> problem = NewFileUrl::folderProblem(*folder)) {
        reportFailure(*folder, *problem);
        return Outcome::Failed;
    }
    const NewFileNaming::Creation creation
        = NewFileNaming::createUniqueFile(m_store.filename(), *folder);
    if (!creation.succeeded()) {
        reportFailure(*folder, creation.error);
        return Outcome::Failed;
    }
    if (m_store.openAfterCreate() && m_openFile)
        m_openFile(creation.path);
    return Outcome::Created;
}

void NewFileRequestHandler::handleAll(const QStringList &urls)
{
    for (const QString &url : urls)
        handle(url);
}

void NewFileRequestHandler::reportFailure(const QString &folder, const QString &error)
{
    UserPrompts::current().showError(nullptr, u"Could not create file"_s,
        u"Failed to create a new text file in "_s + folder + u".\n\nError: "_s + error);
}
