#pragma once

#include <QList>
#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>

#include <functional>

class DocumentController;
class DocumentWindow;
class DraftStore;
class QMenu;
class SessionStore;
class Settings;

// The application's own behaviour around its documents: the launch sequence (ending with one
// blank document when nothing else opened, the one-time default-editor question), restoring the
// last session and any drafts a crash left, and quitting without ever losing text: every edited
// document is saved to its file, or kept as a draft, before the application ends.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    static constexpr int centringDelayMilliseconds = 300;

    AppDelegate(Settings &settings, DocumentController &documents, const DraftStore &drafts,
        const SessionStore &session, QObject *parent = nullptr);

    // SCRIVLET_TEST_LAUNCH=1 in the environment: an automated test drives this launch, so it
    // registers nothing with the desktop, asks nothing and creates no blank document by itself.
    static bool isTestLaunch(const QProcessEnvironment &environment);

    // Reopens the windows of the last session (its files only when reopening is not turned off)
    // and every unsaved text: drafts of the session and those a crash left behind.
    QList<DocumentWindow *> restoreSession();
    void applicationDidFinishLaunching(const QProcessEnvironment &environment);

    // A new document, unless the session or the command line opened one.
    void createBlankDocumentIfNeeded();
    void ensureWindowIsOnScreen();
    void showDefaultHandlerPromptIfNeeded();
    // The desktop asked to activate the application: with no visible window, a new document.
    void reopen();
    void handlePrint();
    void bringDocumentToFront(DocumentWindow *window);
    // Keeps every document's text (in its file or a draft), records the session, closes the
    // windows without asking and ends the event loop.
    void quit();
    // A termination request (SIGTERM, logout): quits as quit() does, also while a question waits
    // for its answer, and asks nothing more.
    void terminate();
    // Keeps every document's text and records the session, without closing anything (the
    // desktop session is ending and may yet be cancelled).
    void preserveAll();

    // Hooks for the parts that live elsewhere.
    void setRegisterFileExtensions(std::function<void()> hook)
    {
        m_registerFileExtensions = std::move(hook);
    }
    void setMakeDefaultTextEditor(std::function<void()> hook)
    {
        m_makeDefaultTextEditor = std::move(hook);
    }
    void setDeclineDefaultTextEditor(std::function<void()> hook)
    {
        m_declineDefaultTextEditor = std::move(hook);
    }
    // Whether the desktop can make Scrivlet a default at all (it is installed); assumed so
    // without a hook.
    void setCanBecomeDefault(std::function<bool()> hook) { m_canBecomeDefault = std::move(hook); }

signals:
    // createBlankDocumentIfNeeded() has run (exactly once per launch).
    void launchSettled();

private:
    Settings &m_settings;
    DocumentController &m_documents;
    const DraftStore &m_drafts;
    const SessionStore &m_session;
    bool m_terminating = false;
    std::function<void()> m_registerFileExtensions;
    std::function<void()> m_makeDefaultTextEditor;
    std::function<void()> m_declineDefaultTextEditor;
    std::function<bool()> m_canBecomeDefault;
};
