#include "AppDelegate.h"
#include "CommandLine.h"
#include "DefaultApplicationRegistrar.h"
#include "DocumentController.h"
#include "DocumentWindow.h"
#include "DraftStore.h"
#include "FileAssociationsManager.h"
#include "FindMenuCommands.h"
#include "FinderExtensionSettingsView.h"
#include "HeapTuning.h"
#include "HelpContentView.h"
#include "HelpWindowController.h"
#include "NewFileRequestHandler.h"
#include "PreferencesView.h"
#include "PreferencesWindowController.h"
#include "ScrivletApp.h"
#include "SessionStore.h"
#include "Settings.h"
#include "SingleInstance.h"
#include "TerminationSignals.h"
#include "WindowAppearance.h"

#include <QApplication>
#include <QDir>
#include <QMenu>

using namespace Qt::StringLiterals;

namespace {

// Files open in windows; scrivlet: URLs are new-file requests from the file manager.
void openArguments(
    DocumentController &documents, NewFileRequestHandler &newFiles, const QStringList &arguments)
{
    for (const QString &argument : arguments) {
        if (NewFileRequestHandler::isScrivletUrl(argument))
            newFiles.handle(argument);
        else
            documents.openFile(argument);
    }
}

void wireCommands(ScrivletApp &commands, AppDelegate &delegate)
{
    commands.setEditMenuExtension([](QMenu &editMenu, DocumentWindow &window) {
        (new FindMenuCommands(&window))->addTo(&editMenu);
    });
    commands.setShowPreferences([] { PreferencesWindowController::shared().showPreferences(); });
    PreferencesWindowController::shared().setFinderExtensionPaneFactory(
        [] { return new FinderExtensionSettingsView; });
    commands.setShowHelp([] { HelpWindowController::shared().showHelp(); });
    // New, Open... and Quit also work while the Settings or Help window has the focus.
    const auto addShortcuts = [&commands](QWidget &window) {
        commands.addApplicationShortcutsTo(window);
    };
    PreferencesWindowController::shared().setWindowSetup(addShortcuts);
    HelpWindowController::shared().setWindowSetup(addShortcuts);
    commands.setQuit([&delegate] { delegate.quit(); });
    commands.setPrint([&delegate] { delegate.handlePrint(); });
    commands.installMenusOnNewWindows();
    delegate.setRegisterFileExtensions(
        [] { FileAssociationsManager::registerConfiguredExtensions(Settings::shared()); });
    delegate.setMakeDefaultTextEditor([] {
        DefaultApplicationRegistrar::queue(
            FileAssociationsManager::applicationId(), FileContentType {u"text/plain"_s, {}});
    });
    delegate.setDeclineDefaultTextEditor(
        [] { DefaultApplicationRegistrar::queueDecline(u"text/plain"_s); });
    delegate.setCanBecomeDefault([] {
        return DefaultApplicationRegistrar::isInstalled(FileAssociationsManager::applicationId());
    });
}

void wireInstance(SingleInstance &instance, DocumentController &documents,
    NewFileRequestHandler &newFiles, AppDelegate &delegate)
{
    QObject::connect(&instance, &SingleInstance::openRequested, &documents,
        [&documents, &newFiles](
            const QStringList &arguments) { openArguments(documents, newFiles, arguments); });
    QObject::connect(
        &instance, &SingleInstance::activateRequested, &delegate, &AppDelegate::reopen);
    QObject::connect(
        &instance, &SingleInstance::actionRequested, &documents, [&documents](const QString &name) {
            if (name == u"new-document")
                documents.newDocument();
        });
}

} // namespace

int main(int argc, char *argv[])
{
    // Answered before QApplication, which needs a display.
    if (const std::optional<int> exitCode = CommandLine::answerBeforeApplication(argc, argv))
        return *exitCode;
    HeapTuning::apply();
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Scrivlet"_s);
    QApplication::setApplicationVersion(QStringLiteral(SCRIVLET_VERSION));
    QApplication::setOrganizationDomain(u"scrivlet.org"_s);
    QApplication::setDesktopFileName(QStringLiteral(SCRIVLET_APP_ID));
    // Quitting is the delegate's: it keeps every text first.
    QApplication::setQuitOnLastWindowClosed(true);

    const CommandLine commandLine
        = CommandLine::parse(QApplication::arguments(), QDir::currentPath());
    if (const std::optional<int> exitCode = commandLine.report())
        return *exitCode;
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const bool testLaunch = AppDelegate::isTestLaunch(environment);
    SingleInstance instance;
    if (!testLaunch
        && instance.start(commandLine.openArguments()) == SingleInstance::Role::Forwarded)
        return 0;

    const DraftStore drafts;
    const SessionStore session;
    WindowAppearance::follow(Settings::shared());
    DocumentController documents(Settings::shared());
    documents.setDraftStore(&drafts);
    ScrivletApp commands(Settings::shared(), documents);
    AppDelegate delegate(Settings::shared(), documents, drafts, session);
    NewFileRequestHandler newFiles([&documents](const QString &path) { documents.openFile(path); });
    wireCommands(commands, delegate);
    wireInstance(instance, documents, newFiles, delegate);

    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &delegate,
        &AppDelegate::terminate);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &delegate,
        [&delegate](QSessionManager &) { delegate.preserveAll(); });

    delegate.restoreSession();
    openArguments(documents, newFiles, commandLine.openArguments());
    delegate.applicationDidFinishLaunching(environment);
    if (testLaunch && documents.windows().isEmpty())
        documents.newDocument();
    return QApplication::exec();
}
