#include "ContentView.h"
#include "DocumentController.h"
#include "DocumentWindow.h"
#include "FindMenuCommands.h"
#include "HelpContent.h"
#include "HelpContentView.h"
#include "HelpWindowController.h"
#include "MenuMnemonics.h"
#include "PreferencesView.h"
#include "PreferencesWindowController.h"
#include "PrintCommand.h"
#include "RecentFiles.h"
#include "ScriptedPrompts.h"
#include "ScrivletApp.h"
#include "ScrivletTextView.h"
#include "Settings.h"
#include "StatusBarView.h"
#include "TestEnvironment.h"
#include "ViewMenuCommands.h"

#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

class TestScrivletApp : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void menusHaveTheirTitlesShortcutsAndIdentifiers_data();
    void menusHaveTheirTitlesShortcutsAndIdentifiers();
    void helpWritesTheMenusShortcuts_data();
    void helpWritesTheMenusShortcuts();
    void togglesNameTheirActionAndFollowTheSetting();
    void everyMenuItemHasALetterOfItsOwn_data();
    void everyMenuItemHasALetterOfItsOwn();
    void fontSizeStepsStopAtTheLimits_data();
    void fontSizeStepsStopAtTheLimits();
    void fontSizeStepsReachEveryWindow();
    void checkForUpdatesOpensTheProductPage();
    void printsTheTextInTheEditorFont();
    void applicationShortcutsWorkInSettingsAndHelp_data();
    void applicationShortcutsWorkInSettingsAndHelp();

private:
    QAction *findAction(QMenuBar *bar, const QString &menuTitle, const QString &title) const;

    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<DocumentController> m_documents;
    std::unique_ptr<ScrivletApp> m_app;
};

void TestScrivletApp::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    m_settings = std::make_unique<Settings>(m_folder->filePath(u"settings.conf"_s));
    m_documents = std::make_unique<DocumentController>(*m_settings);
    m_app = std::make_unique<ScrivletApp>(*m_settings, *m_documents);
    m_app->installMenusOnNewWindows();
}

void TestScrivletApp::cleanup()
{
    qDeleteAll(m_documents->windows());
    m_app.reset();
    m_documents.reset();
}

QAction *TestScrivletApp::findAction(
    QMenuBar *bar, const QString &menuTitle, const QString &title) const
{
    for (QAction *menuAction : bar->actions()) {
        if (menuAction->text().remove(u'&') != menuTitle || !menuAction->menu())
            continue;
        for (QAction *action : menuAction->menu()->actions()) {
            if (action->text().remove(u'&') == title)
                return action;
        }
    }
    return nullptr;
}

void TestScrivletApp::menusHaveTheirTitlesShortcutsAndIdentifiers_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QList<QKeySequence>>("shortcuts");
    QTest::addColumn<QString>("identifier");
    using K = QKeySequence;
    QTest::addRow("New") << u"File"_s << u"New"_s << QList<K> {K(u"Ctrl+N"_s)} << QString();
    QTest::addRow("Open") << u"File"_s << u"Open..."_s << QList<K> {K(u"Ctrl+O"_s)} << QString();
    QTest::addRow("Close") << u"File"_s << u"Close"_s << QList<K> {K(u"Ctrl+W"_s)} << QString();
    QTest::addRow("Save") << u"File"_s << u"Save"_s << QList<K> {K(u"Ctrl+S"_s)} << QString();
    QTest::addRow("Save As") << u"File"_s << u"Save As..."_s << QList<K> {K(u"Ctrl+Shift+S"_s)}
                             << u"scrivlet.menu.saveAs"_s;
    QTest::addRow("Print") << u"File"_s << u"Print..."_s << QList<K> {K(u"Ctrl+P"_s)} << QString();
    QTest::addRow("line numbers") << u"View"_s << u"Hide Line Numbers"_s
                                  << QList<K> {K(u"Ctrl+Shift+L"_s)}
                                  << u"scrivlet.menu.toggleLineNumbers"_s;
    QTest::addRow("status bar") << u"View"_s << u"Hide Status Bar"_s << QList<K> {K(u"Ctrl+/"_s)}
                                << QString();
    QTest::addRow("bigger") << u"View"_s << u"Increase Font Size"_s
                            << QList<K> {K(u"Ctrl++"_s), K(u"Ctrl+="_s)} << QString();
    QTest::addRow("smaller") << u"View"_s << u"Decrease Font Size"_s << QList<K> {K(u"Ctrl+-"_s)}
                             << QString();
    QTest::addRow("settings") << u"Edit"_s << u"Settings…"_s << QList<K> {K(u"Ctrl+,"_s)}
                              << QString();
    QTest::addRow("help") << u"Help"_s << u"Scrivlet Help"_s
                          << QList<K> {K(u"F1"_s), K(u"Ctrl+?"_s)} << QString();
    QTest::addRow("go to line") << u"Edit"_s << u"Go to Line..."_s << QList<K> {K(u"Ctrl+L"_s)}
                                << u"scrivlet.menu.goToLine"_s;
    QTest::addRow("updates") << u"Help"_s << u"Check for Updates..."_s << QList<K> {} << QString();
}

void TestScrivletApp::menusHaveTheirTitlesShortcutsAndIdentifiers()
{
    QFETCH(QString, menu);
    QFETCH(QString, title);
    QFETCH(QList<QKeySequence>, shortcuts);
    QFETCH(QString, identifier);
    DocumentWindow *window = m_documents->newDocument();
    QAction *action = findAction(window->menuBar(), menu, title);
    QVERIFY2(action, qPrintable(title));
    QCOMPARE(action->shortcuts(), shortcuts);
    if (!identifier.isEmpty())
        QCOMPARE(action->objectName(), identifier);
    QVERIFY(action->isEnabled());
}

void TestScrivletApp::helpWritesTheMenusShortcuts_data()
{
    QTest::addColumn<QString>("helpRow"); // the action column of the help's shortcut table
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("inProse");
    const auto row = [](const QString &helpRow, const QString &menu, const QString &title,
                         bool inProse = true) {
        QTest::addRow("%s", qPrintable(helpRow)) << helpRow << menu << title << inProse;
    };
    row(u"New document"_s, u"File"_s, u"New"_s);
    row(u"Open file"_s, u"File"_s, u"Open..."_s);
    row(u"Save"_s, u"File"_s, u"Save"_s);
    row(u"Save As"_s, u"File"_s, u"Save As..."_s);
    row(u"Close window"_s, u"File"_s, u"Close"_s, false);
    row(u"Print"_s, u"File"_s, u"Print..."_s);
    row(u"Undo"_s, u"Edit"_s, u"Undo"_s);
    row(u"Redo"_s, u"Edit"_s, u"Redo"_s);
    row(u"Cut"_s, u"Edit"_s, u"Cut"_s);
    row(u"Copy"_s, u"Edit"_s, u"Copy"_s);
    row(u"Paste"_s, u"Edit"_s, u"Paste"_s);
    row(u"Select All"_s, u"Edit"_s, u"Select All"_s);
    row(u"Go to line"_s, u"Edit"_s, u"Go to Line..."_s);
    row(u"Find"_s, u"Edit"_s, u"Find..."_s);
    row(u"Find & Replace"_s, u"Edit"_s, u"Find and Replace..."_s);
    row(u"Find Next"_s, u"Edit"_s, u"Find Next"_s);
    row(u"Find Previous"_s, u"Edit"_s, u"Find Previous"_s);
    row(u"Toggle line numbers"_s, u"View"_s, u"Hide Line Numbers"_s);
    row(u"Toggle status bar"_s, u"View"_s, u"Hide Status Bar"_s);
    row(u"Increase font size"_s, u"View"_s, u"Increase Font Size"_s);
    row(u"Decrease font size"_s, u"View"_s, u"Decrease Font Size"_s);
    row(u"Settings"_s, u"Edit"_s, u"Settings…"_s);
}

// The help's table and its prose say the keys the menus answer to, as the menus show them.
void TestScrivletApp::helpWritesTheMenusShortcuts()
{
    QFETCH(QString, helpRow);
    QFETCH(QString, menu);
    QFETCH(QString, title);
    QFETCH(bool, inProse);
    m_app->setEditMenuExtension([](QMenu &editMenu, DocumentWindow &window) {
        (new FindMenuCommands(&window))->addTo(&editMenu);
    });
    DocumentWindow *window = m_documents->newDocument();
    QAction *action = findAction(window->menuBar(), menu, title);
    QVERIFY2(action, qPrintable(title));
    const QString shown = action->shortcut().toString(QKeySequence::NativeText);
    QVERIFY(!shown.isEmpty());
    QVERIFY2(!shown.contains(u"Cmd"_s) && !shown.contains(u"Meta"_s), qPrintable(shown));

    QStringList helpTexts;
    QString tableKeys;
    for (const HelpSection &section : HelpContent::buildSections()) {
        for (const HelpItem &item : section.items) {
            helpTexts << item.text;
            for (const HelpShortcut &shortcut : item.shortcuts) {
                if (shortcut.action == helpRow)
                    tableKeys = shortcut.shortcut;
            }
        }
    }
    QCOMPARE(tableKeys, shown);
    // The prose that teaches the command names the same keys (Ctrl+S is not Ctrl+Shift+S).
    if (inProse) {
        const QRegularExpression keys(QRegularExpression::escape(shown) + u"(?![\\w+])"_s);
        QVERIFY2(helpTexts.join(u'\n').contains(keys), qPrintable(shown));
    }
}

void TestScrivletApp::togglesNameTheirActionAndFollowTheSetting()
{
    DocumentWindow *first = m_documents->newDocument();
    DocumentWindow *second = m_documents->newDocument();
    QAction *toggle = findAction(first->menuBar(), u"View"_s, u"Hide Line Numbers"_s);
    QVERIFY(toggle);
    toggle->trigger();
    QCOMPARE(m_settings->showLineNumbers(), false);
    QCOMPARE(toggle->text(), u"Show Line Numbers"_s);
    QVERIFY(findAction(second->menuBar(), u"View"_s, u"Show Line Numbers"_s));

    // A change made elsewhere (the Settings window) renames the item too.
    m_settings->setShowStatusBar(false);
    QVERIFY(findAction(first->menuBar(), u"View"_s, u"Show Status Bar"_s));
    findAction(second->menuBar(), u"View"_s, u"Show Status Bar"_s)->trigger();
    QCOMPARE(m_settings->showStatusBar(), true);
    QVERIFY(first->contentView()->statusBar()->isVisibleTo(first));
}

void TestScrivletApp::everyMenuItemHasALetterOfItsOwn_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("submenu");
    QTest::addColumn<bool>("toggled");
    QTest::addRow("File") << u"File"_s << QString() << false;
    QTest::addRow("Open Recent, a name with an ampersand")
        << u"File"_s << u"Open Recent"_s << false;
    QTest::addRow("Edit, with the find commands") << u"Edit"_s << QString() << false;
    QTest::addRow("View") << u"View"_s << QString() << false;
    QTest::addRow("View after its toggles were renamed") << u"View"_s << QString() << true;
    QTest::addRow("Window, listing three documents") << u"Window"_s << QString() << false;
    QTest::addRow("Help") << u"Help"_s << QString() << false;
}

// Alt+letter reaches every item of an open menu: each has a letter, and no two share one. Names
// from files and windows show as they are, an ampersand included.
void TestScrivletApp::everyMenuItemHasALetterOfItsOwn()
{
    QFETCH(QString, menu);
    QFETCH(QString, submenu);
    QFETCH(bool, toggled);
    m_app->setEditMenuExtension([](QMenu &editMenu, DocumentWindow &window) {
        (new FindMenuCommands(&window))->addTo(&editMenu);
    });
    for (const QString &name : {u"R&D notes.txt"_s, u"notes.txt"_s, u"new.txt"_s})
        m_documents->recentFiles().add(m_folder->filePath(name));
    DocumentWindow *window = m_documents->newDocument();
    m_documents->newDocument();
    m_documents->newDocument();
    if (toggled) {
        m_settings->setShowLineNumbers(false);
        m_settings->setShowStatusBar(false);
    }
    QMenu *open = nullptr;
    for (QAction *action : window->menuBar()->actions()) {
        if (action->text().remove(u'&') == menu)
            open = action->menu();
    }
    QVERIFY(open);
    emit open->aboutToShow();
    for (QAction *action : open->actions()) {
        if (!submenu.isEmpty() && action->menu() && action->text().remove(u'&') == submenu)
            open = action->menu();
    }
    if (!submenu.isEmpty())
        emit open->aboutToShow();

    QStringList shown;
    QSet<QChar> letters;
    for (const QAction *action : open->actions()) {
        if (action->isSeparator() || !action->isVisible())
            continue;
        const QChar letter = MenuMnemonics::mnemonic(action->text());
        QVERIFY2(!letter.isNull(), qPrintable(action->text()));
        QVERIFY2(!letters.contains(letter), qPrintable(action->text()));
        letters.insert(letter);
        shown << QString(action->text())
                     .replace(u"&&"_s, u"\x01"_s)
                     .remove(u'&')
                     .replace(u"\x01"_s, u"&"_s);
    }
    QVERIFY(shown.size() > 1);
    if (!submenu.isEmpty())
        QVERIFY2(shown.contains(u"R&D notes.txt"_s), qPrintable(shown.join(u", "_s)));
    if (toggled)
        QVERIFY2(shown.contains(u"Show Line Numbers"_s), qPrintable(shown.join(u", "_s)));
}

void TestScrivletApp::fontSizeStepsStopAtTheLimits_data()
{
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<qint64>("afterIncrease");
    QTest::addColumn<qint64>("afterDecrease");
    QTest::addRow("middle") << qint64(13) << qint64(14) << qint64(12);
    QTest::addRow("at 72") << qint64(72) << qint64(72) << qint64(71);
    QTest::addRow("at 8") << qint64(8) << qint64(9) << qint64(8);
    QTest::addRow("above the range") << qint64(90) << qint64(90) << qint64(89);
    QTest::addRow("below the range") << qint64(5) << qint64(6) << qint64(5);
}

void TestScrivletApp::fontSizeStepsStopAtTheLimits()
{
    QFETCH(qint64, stored);
    QFETCH(qint64, afterIncrease);
    QFETCH(qint64, afterDecrease);
    QCOMPARE(ViewMenuCommands::increasedFontSize(stored).value_or(stored), afterIncrease);
    QCOMPARE(ViewMenuCommands::decreasedFontSize(stored).value_or(stored), afterDecrease);
}

void TestScrivletApp::fontSizeStepsReachEveryWindow()
{
    m_settings->setFontSize(13);
    DocumentWindow *first = m_documents->newDocument();
    DocumentWindow *second = m_documents->newDocument();
    QAction *increase = findAction(first->menuBar(), u"View"_s, u"Increase Font Size"_s);
    for (int i = 0; i < 3; ++i)
        increase->trigger();
    QCOMPARE(m_settings->fontSize(), 16);
    for (DocumentWindow *window : {first, second})
        QCOMPARE(window->contentView()->textView()->font().pointSize(), 16);
}

void TestScrivletApp::checkForUpdatesOpensTheProductPage()
{
    QList<QUrl> opened;
    m_app->setOpenUrl([&opened](const QUrl &url) {
        opened.append(url);
        return true;
    });
    DocumentWindow *window = m_documents->newDocument();
    findAction(window->menuBar(), u"Help"_s, u"Check for Updates..."_s)->trigger();
    QCOMPARE(opened, QList<QUrl> {ScrivletApp::productPageUrl()});
    QCOMPARE(opened.first().scheme(), u"https"_s);
}

void TestScrivletApp::printsTheTextInTheEditorFont()
{
    const QString pdfToText = QStandardPaths::findExecutable(u"pdftotext"_s);
    if (pdfToText.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed");
    m_settings->setFontFamily(u"DejaVu Sans Mono"_s);
    m_settings->setFontSize(17);
    DocumentWindow *window = m_documents->newDocument();
    window->contentView()->textView()->document()->replace(
        0, 0, u"Printed line one\nline two, caf\u00e9"_s);
    QCOMPARE(PrintCommand::findTextView(window), window->contentView()->textView());
    QCOMPARE(PrintCommand::findTextView(nullptr), nullptr);
    // Edited, so the title carries the modified marker, which is no part of the name.
    QCOMPARE(PrintCommand::documentName(*window), u"Untitled"_s);

    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString pdf = m_folder->filePath(u"out.pdf"_s);
    printer.setOutputFileName(pdf);
    PrintCommand::print(*window->contentView()->textView(), printer);

    QProcess extract;
    extract.start(pdfToText, {pdf, u"-"_s});
    QVERIFY(extract.waitForFinished(20000));
    const QString text = QString::fromUtf8(extract.readAllStandardOutput());
    QVERIFY2(text.contains(u"Printed line one"_s) && text.contains(u"line two, caf\u00e9"_s),
        qPrintable(text));
    QProcess fonts;
    fonts.start(QStandardPaths::findExecutable(u"pdffonts"_s), {pdf});
    QVERIFY(fonts.waitForFinished(20000));
    QVERIFY(QString::fromUtf8(fonts.readAllStandardOutput()).contains(u"DejaVuSansMono"_s));
}

void TestScrivletApp::applicationShortcutsWorkInSettingsAndHelp_data()
{
    QTest::addColumn<bool>("help"); // else the Settings window
    QTest::addColumn<QKeySequence>("keys");
    for (const bool help : {false, true}) {
        const char *window = help ? "Help" : "Settings";
        for (const char *keys : {"Ctrl+Q", "Ctrl+N", "Ctrl+O"})
            QTest::addRow("%s in %s", keys, window) << help << QKeySequence(QLatin1String(keys));
    }
}

// Quit, New and Open... act while the Settings or Help window is the active one, next to a
// document window whose menu has the same shortcuts.
void TestScrivletApp::applicationShortcutsWorkInSettingsAndHelp()
{
    QFETCH(bool, help);
    QFETCH(QKeySequence, keys);
    ScriptedPrompts prompts;
    const QString file = m_folder->filePath(u"chosen.txt"_s);
    QFile chosen(file);
    QVERIFY(chosen.open(QIODevice::WriteOnly));
    chosen.close();
    prompts.filesToOpen = {file};
    int quits = 0;
    m_app->setQuit([&quits] { ++quits; });
    m_documents->newDocument()->show();

    PreferencesWindowController settingsWindow(*m_settings);
    const auto addShortcuts = [this](QWidget &window) {
        m_app->addApplicationShortcutsTo(window);
    };
    settingsWindow.setWindowSetup(addShortcuts);
    // The Help window is kept for the process: one is built for this test's commands.
    delete HelpWindowController::shared().window();
    HelpWindowController::shared().setWindowSetup(addShortcuts);
    QWidget *window = nullptr;
    if (help) {
        HelpWindowController::shared().showHelp();
        window = HelpWindowController::shared().window();
    } else {
        settingsWindow.showPreferences();
        window = settingsWindow.window();
    }
    QVERIFY(QTest::qWaitForWindowActive(window));
    const qsizetype windowsBefore = m_documents->windows().size();
    QTest::keySequence(window, keys);

    QCOMPARE(quits, keys == QKeySequence(u"Ctrl+Q"_s) ? 1 : 0);
    QCOMPARE(
        m_documents->windows().size(), windowsBefore + (keys == QKeySequence(u"Ctrl+Q"_s) ? 0 : 1));
    QCOMPARE(m_documents->windowForFile(file) != nullptr, keys == QKeySequence(u"Ctrl+O"_s));
    delete HelpWindowController::shared().window();
}

SCRIVLET_TEST_MAIN(TestScrivletApp)
#include "tst_ScrivletApp.moc"
