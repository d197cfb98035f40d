#include "ScrivletApp.h"

#include "CommandShortcuts.h"
#include "ContentView.h"
#include "DocumentController.h"
#include "DocumentWindow.h"
#include "FileMenuCleanup.h"
#include "GoToLineDialog.h"
#include "MenuMnemonics.h"
#include "PrintCommand.h"
#include "RecentFiles.h"
#include "ScrivletTextView.h"
#include "Settings.h"
#include "ViewMenuCommands.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>

using namespace Qt::StringLiterals;
using CommandShortcuts::Command;

namespace {

QAction *addAction(QMenu &menu, const QString &title, const QList<QKeySequence> &shortcuts = {},
    const QString &identifier = {})
{
    QAction *action = menu.addAction(title);
    action->setShortcuts(shortcuts);
    if (!identifier.isEmpty())
        action->setObjectName(identifier);
    return action;
}

} // namespace

QUrl ScrivletApp::productPageUrl()
{
    return QUrl(u"https://scrivlet.org/"_s);
}

ScrivletApp::ScrivletApp(Settings &settings, DocumentController &documents, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_documents(documents)
    , m_openUrl([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{ }

void ScrivletApp::installMenusOnNewWindows()
{
    connect(&m_documents, &DocumentController::windowAdded, this,
        [this](DocumentWindow *window) { window->setMenuBar(createMenuBar(*window)); });
}

QMenuBar *ScrivletApp::createMenuBar(DocumentWindow &window)
{
    auto *bar = new QMenuBar(&window);
    createFileMenu(*bar, window);
    createEditMenu(*bar, window);
    createViewMenu(*bar);
    createWindowMenu(*bar, window);
    createHelpMenu(*bar, window);
    MenuMnemonics::follow(*bar);
    // F10 opens the first menu, as in other desktop programs, so the menus are reachable by
    // keyboard without knowing any menu's letter.
    auto *openMenus = new QAction(&window);
    openMenus->setObjectName(u"scrivlet.window.openMenuBar"_s);
    openMenus->setShortcuts(CommandShortcuts::keys(Command::OpenMenuBar));
    window.addAction(openMenus);
    connect(openMenus, &QAction::triggered, bar, [bar] {
        if (!bar->actions().isEmpty())
            bar->setActiveAction(bar->actions().constFirst());
    });
    return bar;
}

void ScrivletApp::addApplicationShortcutsTo(QWidget &window)
{
    const auto add = [&window](Command command, const QString &identifier) {
        auto *action = new QAction(&window);
        action->setShortcuts(CommandShortcuts::keys(command));
        action->setObjectName(identifier);
        window.addAction(action);
        return action;
    };
    connect(add(Command::New, u"scrivlet.window.new"_s), &QAction::triggered, &m_documents,
        &DocumentController::newDocument);
    connect(add(Command::Open, u"scrivlet.window.open"_s), &QAction::triggered, &window,
        [this, &window] { m_documents.showOpenDialog(&window); });
    connect(add(Command::Quit, u"scrivlet.window.quit"_s), &QAction::triggered, this,
        &ScrivletApp::quit);
}

void ScrivletApp::quit()
{
    if (m_quit)
        m_quit();
    else
        QApplication::closeAllWindows();
}

void ScrivletApp::checkForUpdates() const
{
    const QUrl page = productPageUrl();
    if (page.isValid() && m_openUrl)
        m_openUrl(page);
}

void ScrivletApp::createFileMenu(QMenuBar &bar, DocumentWindow &window)
{
    QMenu *menu = bar.addMenu(u"&File"_s);
    connect(addAction(*menu, u"New"_s, CommandShortcuts::keys(Command::New)), &QAction::triggered,
        &m_documents, &DocumentController::newDocument);
    connect(addAction(*menu, u"Open..."_s, CommandShortcuts::keys(Command::Open)),
        &QAction::triggered, &window, [this, &window] { m_documents.showOpenDialog(&window); });
    createOpenRecentMenu(*menu);
    menu->addSeparator();
    connect(addAction(*menu, u"Close"_s, CommandShortcuts::keys(Command::Close)),
        &QAction::triggered, &window, &QWidget::close);
    connect(addAction(*menu, u"Save"_s, CommandShortcuts::keys(Command::Save)), &QAction::triggered,
        &window, &DocumentWindow::startSave);
    connect(addAction(*menu, u"Save As..."_s, CommandShortcuts::keys(Command::SaveAs),
                u"scrivlet.menu.saveAs"_s),
        &QAction::triggered, &window, &DocumentWindow::startSaveAs);
    menu->addSeparator();
    connect(addAction(*menu, u"Print..."_s, CommandShortcuts::keys(Command::Print)),
        &QAction::triggered, &window, [&window] { PrintCommand::printWindow(&window); });
    menu->addSeparator();
    QAction *quit = addAction(*menu, u"Quit"_s, CommandShortcuts::keys(Command::Quit));
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, &ScrivletApp::quit);
    connect(menu, &QMenu::aboutToShow, menu,
        [this, menu] { FileMenuCleanup::removeUnwantedFileMenuItems(*menu, m_print); });
}

void ScrivletApp::createOpenRecentMenu(QMenu &fileMenu)
{
    QMenu *recent = fileMenu.addMenu(u"Open Recent"_s);
    // Filled each time it opens, so it always shows the current list.
    connect(recent, &QMenu::aboutToShow, recent, [this, recent] {
        recent->clear();
        const QStringList paths = m_documents.recentFiles().paths();
        for (const QString &path : paths) {
            QAction *item = recent->addAction(MenuMnemonics::escaped(QFileInfo(path).fileName()));
            item->setToolTip(path);
            connect(item, &QAction::triggered, &m_documents,
                [this, path] { m_documents.openFile(path); });
        }
        recent->addSeparator();
        QAction *clear = recent->addAction(u"Clear Menu"_s);
        clear->setEnabled(!paths.isEmpty());
        connect(clear, &QAction::triggered, &m_documents.recentFiles(), &RecentFiles::clear);
    });
}

void ScrivletApp::createEditMenu(QMenuBar &bar, DocumentWindow &window)
{
    QMenu *menu = bar.addMenu(u"&Edit"_s);
    ScrivletTextView *view = window.contentView()->textView();
    QAction *undo = addAction(*menu, u"Undo"_s, CommandShortcuts::keys(Command::Undo));
    undo->setEnabled(false);
    connect(undo, &QAction::triggered, view, &TextView::undo);
    connect(view->document(), &TextDocument::undoAvailable, undo, &QAction::setEnabled);
    QAction *redo = addAction(*menu, u"Redo"_s, CommandShortcuts::keys(Command::Redo));
    redo->setEnabled(false);
    connect(redo, &QAction::triggered, view, &TextView::redo);
    connect(view->document(), &TextDocument::redoAvailable, redo, &QAction::setEnabled);
    menu->addSeparator();
    QAction *cut = addAction(*menu, u"Cut"_s, CommandShortcuts::keys(Command::Cut));
    QAction *copy = addAction(*menu, u"Copy"_s, CommandShortcuts::keys(Command::Copy));
    QAction *paste = addAction(*menu, u"Paste"_s, CommandShortcuts::keys(Command::Paste));
    QAction *remove = addAction(*menu, u"Delete"_s);
    cut->setEnabled(false);
    copy->setEnabled(false);
    remove->setEnabled(false);
    connect(cut, &QAction::triggered, view, &TextView::cut);
    connect(copy, &QAction::triggered, view, &TextView::copy);
    connect(paste, &QAction::triggered, view, &TextView::paste);
    connect(remove, &QAction::triggered, view, [view] {
        if (view->hasSelection())
            view->insertText({});
    });
    connect(view, &TextView::selectionChanged, menu, [view, cut, copy, remove] {
        for (QAction *needsSelection : {cut, copy, remove})
            needsSelection->setEnabled(view->hasSelection());
    });
    menu->addSeparator();
    connect(addAction(*menu, u"Select All"_s, CommandShortcuts::keys(Command::SelectAll)),
        &QAction::triggered, view, &TextView::selectAll);
    connect(addAction(*menu, u"Go to Line..."_s, CommandShortcuts::keys(Command::GoToLine),
                u"scrivlet.menu.goToLine"_s),
        &QAction::triggered, view, [view] { GoToLineDialog::open(view); });
    if (m_extendEditMenu)
        m_extendEditMenu(*menu, window);
    menu->addSeparator();
    QAction *settings = addAction(*menu, u"Settings…"_s, CommandShortcuts::keys(Command::Settings));
    settings->setMenuRole(QAction::PreferencesRole);
    connect(settings, &QAction::triggered, this, [this] {
        if (m_showPreferences)
            m_showPreferences();
    });
}

void ScrivletApp::createViewMenu(QMenuBar &bar)
{
    QMenu *menu = bar.addMenu(u"&View"_s);
    menu->addActions(ViewMenuCommands::createActions(m_settings, menu));
}

void ScrivletApp::createWindowMenu(QMenuBar &bar, DocumentWindow &window)
{
    QMenu *menu = bar.addMenu(u"&Window"_s);
    connect(menu, &QMenu::aboutToShow, menu, [this, menu, &window] {
        menu->clear();
        connect(addAction(*menu, u"Minimize"_s, {QKeySequence(Qt::CTRL | Qt::Key_M)}),
            &QAction::triggered, &window, &QWidget::showMinimized);
        menu->addSeparator();
        auto *group = new QActionGroup(menu);
        for (DocumentWindow *document : m_documents.windows()) {
            QAction *item = menu->addAction(MenuMnemonics::escaped(document->displayName()));
            item->setCheckable(true);
            item->setChecked(document == &window);
            group->addAction(item);
            connect(item, &QAction::triggered, document, [document] {
                document->showNormal();
                document->raise();
                document->activateWindow();
            });
        }
    });
}

void ScrivletApp::createHelpMenu(QMenuBar &bar, DocumentWindow &window)
{
    QMenu *menu = bar.addMenu(u"&Help"_s);
    QAction *help = addAction(*menu, u"Scrivlet Help"_s);
    help->setShortcuts(CommandShortcuts::keys(Command::Help));
    connect(help, &QAction::triggered, this, [this] {
        if (m_showHelp)
            m_showHelp();
    });
    menu->addSeparator();
    QAction *about = addAction(*menu, u"About Scrivlet"_s);
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, &window, [&window] {
        QMessageBox::about(&window, u"About Scrivlet"_s,
            u"Scrivlet %1\nA small, fast plain-text editor."_s.arg(
                QApplication::applicationVersion()));
    });
    connect(addAction(*menu, u"Check for Updates..."_s), &QAction::triggered, this,
        &ScrivletApp::checkForUpdates);
}
