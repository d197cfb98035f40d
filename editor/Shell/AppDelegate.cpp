#include "AppDelegate.h"

#include "DocumentController.h"
#include "DocumentWindow.h"
#include "DraftStore.h"
#include "PrintCommand.h"
#include "SessionStore.h"
#include "Settings.h"
#include "UserPrompts.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// A panel is a tool window (the find panel) or a dialog; neither is a document window.
bool isPanel(const QWidget *window)
{
    return window->windowType() == Qt::Tool || window->windowType() == Qt::Dialog
        || window->windowType() == Qt::Popup;
}

} // namespace

AppDelegate::AppDelegate(Settings &settings, DocumentController &documents,
    const DraftStore &drafts, const SessionStore &session, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_documents(documents)
    , m_drafts(drafts)
    , m_session(session)
{ }

bool AppDelegate::isTestLaunch(const QProcessEnvironment &environment)
{
    return environment.value(u"SCRIVLET_TEST_LAUNCH"_s) == u"1";
}

// Only an explicit "no" keeps the last session's files closed. Unsaved texts come back either way:
// leaving them out would throw away text the user never discarded.
QList<DocumentWindow *> AppDelegate::restoreSession()
{
    const QList<SessionStore::Entry> entries = m_session.read();
    // The session is written afresh when this launch quits, which may happen during the restore.
    m_session.clear();
    const bool reopenFiles = !m_settings.contains(SettingKey::ReopenDocumentsOnLaunch)
        || m_settings.reopenDocumentsOnLaunch();
    QList<DocumentWindow *> restored;
    QStringList restoredDrafts;
    for (const SessionStore::Entry &entry : entries) {
        DocumentWindow *window = nullptr;
        if (!entry.draftId.isEmpty() && m_drafts.draft(entry.draftId)) {
            window = m_documents.restoreDraft(entry.draftId);
            restoredDrafts.append(entry.draftId);
        }
        if (!window && reopenFiles && !entry.filePath.isEmpty()
            && QFileInfo::exists(entry.filePath))
            window = m_documents.openFile(entry.filePath);
        if (window)
            restored.append(window);
    }
    // Drafts the session does not list were left by a crash.
    for (const DraftStore::Draft &draft : m_drafts.drafts()) {
        if (restoredDrafts.contains(draft.id))
            continue;
        if (DocumentWindow *window = m_documents.restoreDraft(draft.id))
            restored.append(window);
    }
    return restored;
}

void AppDelegate::applicationDidFinishLaunching(const QProcessEnvironment &environment)
{
    if (isTestLaunch(environment))
        return;
    // The close-permission question is DocumentWindow::closeEvent's, for every document.
    createBlankDocumentIfNeeded();
    // Registration waits for the first launch's answer: a "No" must keep plain text from
    // becoming Scrivlet's, which registering first would already have done.
    showDefaultHandlerPromptIfNeeded();
    if (m_registerFileExtensions && !m_terminating)
        m_registerFileExtensions();
    // The File menu is tidied each time it opens and the Help menu is built with each window's
    // menu bar (ScrivletApp), so both hold from the first window on.
}

void AppDelegate::createBlankDocumentIfNeeded()
{
    const QList<DocumentWindow *> windows = m_documents.windows();
    const bool documentShown = std::any_of(windows.cbegin(), windows.cend(),
        [](const DocumentWindow *window) { return window->isVisible(); });
    if (!documentShown && !m_terminating)
        m_documents.newDocument();
    QTimer::singleShot(centringDelayMilliseconds, this, &AppDelegate::ensureWindowIsOnScreen);
    emit launchSettled();
}

// Where the window system lets applications place windows (X11); Wayland places them itself.
void AppDelegate::ensureWindowIsOnScreen()
{
    QWidget *window = QApplication::activeWindow();
    if (!window || isPanel(window)) {
        window = nullptr;
        for (QWidget *candidate : QApplication::topLevelWidgets()) {
            if (candidate->isVisible() && !isPanel(candidate)) {
                window = candidate;
                break;
            }
        }
    }
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (!window || screens.isEmpty())
        return;
    const QRect visible = screens.first()->availableGeometry();
    const QSize size = window->frameGeometry().size();
    window->move(visible.x() + (visible.width() - size.width()) / 2,
        visible.y() + (visible.height() - size.height()) / 2);
    window->raise();
    window->activateWindow();
    // A question still waiting for its answer stays in front of the window it belongs to.
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

void AppDelegate::showDefaultHandlerPromptIfNeeded()
{
    if (m_settings.hasShownDefaultHandlerPrompt() || m_terminating)
        return;
    // A build that is not installed cannot be made the default: a Yes would do nothing. The
    // question waits for an installed launch; the Settings file-types section says why.
    if (m_canBecomeDefault && !m_canBecomeDefault())
        return;
    const bool yes = UserPrompts::current().askToBecomeDefaultTextEditor();
    // Ended by a termination request, the question was never answered: it comes again.
    if (m_terminating)
        return;
    m_settings.setHasShownDefaultHandlerPrompt(true);
    if (yes && m_makeDefaultTextEditor)
        m_makeDefaultTextEditor();
    else if (!yes && m_declineDefaultTextEditor)
        m_declineDefaultTextEditor();
}

void AppDelegate::reopen()
{
    for (DocumentWindow *window : m_documents.windows()) {
        if (window->isVisible()) {
            bringDocumentToFront(window);
            return;
        }
    }
    m_documents.newDocument();
}

void AppDelegate::handlePrint()
{
    QWidget *window = QApplication::activeWindow();
    if (!window || isPanel(window)) {
        const QList<DocumentWindow *> documents = m_documents.windows();
        window = documents.isEmpty() ? nullptr : documents.first();
    }
    if (window)
        PrintCommand::printWindow(window);
}

void AppDelegate::bringDocumentToFront(DocumentWindow *window)
{
    if (!window)
        return;
    window->showNormal();
    window->raise();
    window->activateWindow();
}

void AppDelegate::preserveAll()
{
    QList<SessionStore::Entry> entries;
    for (DocumentWindow *window : m_documents.windows()) {
        const QString draftId = window->preserveForQuit();
        if (!window->filePath().isEmpty() || !draftId.isEmpty())
            entries.append({window->filePath(), draftId});
    }
    m_session.write(entries);
}

void AppDelegate::quit()
{
    preserveAll();
    for (DocumentWindow *window : m_documents.windows())
        window->closeForQuit();
    QCoreApplication::quit();
}

void AppDelegate::terminate()
{
    m_terminating = true;
    quit();
    // A question still open (an alert, the close prompt) runs an event loop of its own, which
    // quit() leaves running: exit() ends every loop, and a question asked after it returns at
    // once. An alert during the launch runs before the main loop, which then ends as it starts.
    QCoreApplication::exit(0);
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
}
