#include "ContentView.h"
#include "DocumentWindow.h"
#include "FindDialogView.h"
#include "FindMenuCommands.h"
#include "FindPanel.h"
#include "FindPanelController.h"
#include "FindState.h"
#include "ScrivletTextView.h"
#include "Settings.h"
#include "TestEnvironment.h"
#include "TextEditorView.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWindow>

#include <algorithm>
#include <memory>

Q_DECLARE_METATYPE(std::optional<QRect>)

namespace {

FindPanelController &controller()
{
    return FindPanelController::shared();
}

template<typename Control> Control *control(const char *name)
{
    return controller().panel()->findChild<Control *>(QString::fromLatin1(name));
}

QLineEdit *searchField()
{
    return control<QLineEdit>("scrivlet.findBar.searchField");
}

// Registers `view` as the active document, shows the panel and types `search` into it.
void openOver(
    ContentView &view, const QString &text, const QString &search, FindMode mode = FindMode::Find)
{
    view.textView()->document()->setText(text);
    controller().registerActiveDocument(view.findState(), &view.editor()->documentText());
    controller().showPanel(mode);
    searchField()->selectAll();
    QTest::keyClicks(searchField(), search);
}

void activate(QWidget &window)
{
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

} // namespace

class TestFindPanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    // First: the panel is created once per process.
    void firstShowingPlacesThePanelOverTheActiveWindow();
    void initialPosition_data();
    void initialPosition();
    void modeToggleFitsThePanelKeepingItsTopEdge();
    void everyOpeningFitsItsMode_data();
    void everyOpeningFitsItsMode();
    void escapeEndsTheSearchCloseButtonOnlyHides();
    void findNextWithThePanelHidden_data();
    void findNextWithThePanelHidden();
    void panelFollowsTheActiveWindow();
    void disabledStates();
    void returnStepsToTheNextMatchAndWraps();
    void caseToggleSearchesAgain();
    void replaceIsOneUndoableEdit_data();
    void replaceIsOneUndoableEdit();
    void replaceAllWithTheSearchTextInTheReplacement();
    void menuCommandsJoinTheEditMenu();
    void closedWindowStaysServedUntilAnotherRegisters();
    void findsInALongLine();

private:
    std::unique_ptr<Settings> m_settings;
    QTemporaryDir m_folder;
};

void TestFindPanel::init()
{
    QFile::remove(m_folder.filePath(QStringLiteral("settings.conf")));
    m_settings = std::make_unique<Settings>(m_folder.filePath(QStringLiteral("settings.conf")));
}

void TestFindPanel::cleanup()
{
    if (controller().panel())
        controller().panel()->hide();
    m_settings.reset();
}

void TestFindPanel::firstShowingPlacesThePanelOverTheActiveWindow()
{
    QVERIFY(!controller().panel());
    DocumentWindow window(*m_settings);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.setGeometry(100, 100, 800, 600);
    activate(window);
    const QRect frame = window.frameGeometry();
    controller().showPanel(FindMode::Find);
    FindPanel *panel = controller().panel();
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->windowTitle(), u"Find"_qs);
    // Its bottom edge went 80 below the window's top before the fit (its frame was still the
    // bare 460 x 40 then); the fit kept the top edge.
    const int top = frame.y() + 80 - FindPanelController::initialContentHeight;
    QCOMPARE(panel->frameGeometry().topLeft(), QPoint(frame.right() + 1 - 480, top));
    QCOMPARE(panel->width(), 460);
    QCOMPARE(panel->height(), controller().dialog()->sizeHint().height());

    // Later showings leave the panel where the user put it.
    panel->move(30, 40);
    panel->hide();
    controller().showPanel(FindMode::Find);
    QCOMPARE(controller().panel(), panel);
    QCOMPARE(panel->pos(), QPoint(30, 40));
}

void TestFindPanel::initialPosition_data()
{
    QTest::addColumn<std::optional<QRect>>("windowFrame");
    QTest::addColumn<QPoint>("expected");
    QTest::addRow("right part over the window's top right")
        << std::optional<QRect>(QRect(100, 100, 800, 600)) << QPoint(420, 140);
    QTest::addRow("narrow window: its left edge")
        << std::optional<QRect>(QRect(100, 100, 400, 300)) << QPoint(100, 140);
    QTest::addRow("no active window: centred") << std::optional<QRect>() << QPoint(410, 430);
}

void TestFindPanel::initialPosition()
{
    QFETCH(std::optional<QRect>, windowFrame);
    QFETCH(QPoint, expected);
    QCOMPARE(
        FindPanelController::initialPosition(windowFrame, QSize(460, 40), QRect(0, 0, 1280, 900)),
        expected);
}

void TestFindPanel::modeToggleFitsThePanelKeepingItsTopEdge()
{
    ContentView view(*m_settings);
    openOver(view, u"one two"_qs, u"one"_qs, FindMode::FindAndReplace);
    FindPanel *panel = controller().panel();
    QWidget *replaceField = control<QLineEdit>("scrivlet.findBar.replaceField");
    QVERIFY(replaceField->isVisible());
    QCOMPARE(panel->windowTitle(), u"Find and Replace"_qs);
    const int top = panel->frameGeometry().top();
    const int tallHeight = panel->height();

    QToolButton *disclosure = nullptr;
    for (QToolButton *button : controller().dialog()->findChildren<QToolButton *>()) {
        if (button->toolTip() == u"Hide Replace"_qs)
            disclosure = button;
    }
    QVERIFY(disclosure);
    disclosure->click();
    QCOMPARE(view.findState()->mode(), FindMode::Find);
    QVERIFY(!replaceField->isVisible()); // at once
    QCOMPARE(disclosure->toolTip(), u"Show Replace"_qs);
    QTRY_VERIFY(panel->height() < tallHeight); // a moment later
    QCOMPARE(panel->height(), controller().dialog()->sizeHint().height());
    QCOMPARE(panel->frameGeometry().top(), top);
    QCOMPARE(panel->windowTitle(), u"Find"_qs);

    disclosure->click();
    QTRY_COMPARE(panel->windowTitle(), u"Find and Replace"_qs);
    QCOMPARE(panel->height(), tallHeight);
    QCOMPARE(panel->frameGeometry().top(), top);
}

void TestFindPanel::everyOpeningFitsItsMode_data()
{
    QTest::addColumn<FindMode>("before");
    QTest::addColumn<FindMode>("after");
    QTest::addRow("replace, then find") << FindMode::FindAndReplace << FindMode::Find;
    QTest::addRow("find, then replace") << FindMode::Find << FindMode::FindAndReplace;
}

// Escape hides the panel; opening it again in the other mode leaves no band nor cut-off row.
void TestFindPanel::everyOpeningFitsItsMode()
{
    QFETCH(FindMode, before);
    QFETCH(FindMode, after);
    ContentView view(*m_settings);
    openOver(view, u"one two"_qs, u"one"_qs, before);
    const int beforeHeight = controller().panel()->height();
    QTest::keyClick(searchField(), Qt::Key_Escape);
    QVERIFY(!controller().panel()->isVisible());

    controller().showPanel(after);
    FindPanel *panel = controller().panel();
    QVERIFY(panel->height() != beforeHeight);
    QCOMPARE(panel->height(), controller().dialog()->sizeHint().height());
    QCOMPARE(panel->windowTitle(), after == FindMode::Find ? u"Find"_qs : u"Find and Replace"_qs);
}

void TestFindPanel::escapeEndsTheSearchCloseButtonOnlyHides()
{
    ContentView view(*m_settings);
    openOver(view, u"cat dog cat"_qs, u"cat"_qs);
    QCOMPARE(view.findState()->matchCount(), 2);

    QTest::keyClick(searchField(), Qt::Key_Escape);
    QVERIFY(!controller().panel()->isVisible());
    QVERIFY(!view.findState()->isVisible());
    QVERIFY(view.findState()->matchRanges().isEmpty());
    controller().showPanel(FindMode::Find);
    QCOMPARE(searchField()->text(), u"cat"_qs);
    QCOMPARE(control<QLabel>("scrivlet.findBar.matchCount")->text(), u"No matches"_qs);

    QTest::keyClick(searchField(), Qt::Key_End);
    QTest::keyClicks(searchField(), u"s"_qs);
    QTest::keyClick(searchField(), Qt::Key_Backspace);
    QCOMPARE(view.findState()->matchCount(), 2);
    controller().panel()->close();
    QVERIFY(!controller().panel()->isVisible());
    QVERIFY(view.findState()->isVisible());
    // The highlights stay current with the panel closed.
    view.textView()->document()->replace(0, 0, u"cat "_qs);
    QCOMPARE(view.findState()->matchCount(), 3);
}

void TestFindPanel::findNextWithThePanelHidden_data()
{
    QTest::addColumn<bool>("escape");
    QTest::addColumn<int>("expectedIndex");
    QTest::addRow("after Escape: nothing to step") << true << -1;
    QTest::addRow("after the close button: steps") << false << 1;
}

void TestFindPanel::findNextWithThePanelHidden()
{
    QFETCH(bool, escape);
    QFETCH(int, expectedIndex);
    ContentView view(*m_settings);
    openOver(view, u"cat cat cat"_qs, u"cat"_qs);
    if (escape)
        QTest::keyClick(searchField(), Qt::Key_Escape);
    else
        controller().panel()->close();
    FindMenuCommands commands;
    commands.findNextAction()->trigger();
    QVERIFY(!controller().panel()->isVisible()); // never opens the panel
    const auto index = view.findState()->currentMatchIndex();
    QCOMPARE(index.value_or(-1), expectedIndex);
    commands.findPreviousAction()->trigger();
    QCOMPARE(view.findState()->currentMatchIndex().value_or(-1), escape ? -1 : 0);
}

void TestFindPanel::panelFollowsTheActiveWindow()
{
    DocumentWindow first(*m_settings);
    DocumentWindow second(*m_settings);
    for (DocumentWindow *window : {&first, &second})
        window->setAttribute(Qt::WA_DeleteOnClose, false);
    first.contentView()->textView()->document()->setText(u"alpha beta alpha"_qs);
    second.contentView()->textView()->document()->setText(u"gamma beta"_qs);
    second.contentView()->findState()->setSearchText(u"gamma"_qs);
    activate(first);
    controller().showPanel(FindMode::Find);
    QTest::keyClicks(searchField(), u"alpha"_qs);
    QCOMPARE(first.contentView()->findState()->matchCount(), 2);

    FindPanel *panel = controller().panel();
    QCOMPARE(panel->windowHandle()->transientParent(), first.windowHandle());
    panel->move(50, 60);
    activate(second);
    QTRY_COMPARE(controller().dialog()->findState(), second.contentView()->findState());
    QCOMPARE(searchField()->text(), u"gamma"_qs);
    // It stays above the window it serves, where it was.
    QCOMPARE(panel->windowHandle()->transientParent(), second.windowHandle());
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->pos(), QPoint(50, 60));
    // Now served by the panel, the second window keeps its matches current on edits.
    QTest::keyClick(searchField(), Qt::Key_A);
    QTest::keyClick(searchField(), Qt::Key_Backspace);
    second.contentView()->textView()->document()->replace(0, 0, u"gamma "_qs);
    QCOMPARE(second.contentView()->findState()->matchCount(), 2);

    activate(first);
    QTRY_COMPARE(controller().dialog()->findState(), first.contentView()->findState());
    QCOMPARE(searchField()->text(), u"alpha"_qs);
    QCOMPARE(control<QLabel>("scrivlet.findBar.matchCount")->text(), u"1 of 2"_qs);
}

void TestFindPanel::disabledStates()
{
    ContentView view(*m_settings);
    openOver(view, u"cat cat"_qs, u"dog"_qs, FindMode::FindAndReplace);
    const auto enabled = [](const char *name) {
        return control<QWidget>(name)->isEnabled();
    };
    QVERIFY(!enabled("scrivlet.findBar.previousButton"));
    QVERIFY(!enabled("scrivlet.findBar.nextButton"));
    QVERIFY(!enabled("scrivlet.findBar.replaceButton"));
    QVERIFY(!enabled("scrivlet.findBar.replaceAllButton"));
    QTRY_COMPARE(control<QLabel>("scrivlet.findBar.matchCount")->accessibleName(),
        u"Search results: No matches"_qs);

    view.findState()->setMatchRanges(LiveMatches({{0, 3}, {4, 3}}));
    view.findState()->setCurrentMatchIndex(std::nullopt);
    QVERIFY(enabled("scrivlet.findBar.previousButton"));
    QVERIFY(enabled("scrivlet.findBar.nextButton"));
    QVERIFY(!enabled("scrivlet.findBar.replaceButton")); // no current match
    QVERIFY(enabled("scrivlet.findBar.replaceAllButton"));
    view.findState()->setCurrentMatchIndex(1);
    QVERIFY(enabled("scrivlet.findBar.replaceButton"));
}

void TestFindPanel::returnStepsToTheNextMatchAndWraps()
{
    ContentView view(*m_settings);
    openOver(view, u"cat cat cat"_qs, u"cat"_qs);
    QCOMPARE(view.findState()->currentMatchIndex(), 0);
    for (const int expected : {1, 2, 0}) {
        QTest::keyClick(searchField(), Qt::Key_Return);
        QCOMPARE(view.findState()->currentMatchIndex(), expected);
    }
    // Screen readers hear the count once the steps stop.
    QTRY_COMPARE(control<QLabel>("scrivlet.findBar.matchCount")->accessibleName(),
        u"Search results: 1 of 3"_qs);
    // The menu's shortcuts also work with the focus in the search field.
    QVERIFY(QTest::qWaitForWindowActive(controller().panel()));
    QTest::keyClick(searchField(), Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(view.findState()->currentMatchIndex(), 1);
    QTest::keyClick(searchField(), Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(view.findState()->currentMatchIndex(), 0);
    QTest::keyClick(searchField(), Qt::Key_F, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(controller().panel()->windowTitle(), u"Find and Replace"_qs);
}

void TestFindPanel::caseToggleSearchesAgain()
{
    ContentView view(*m_settings);
    openOver(view, u"Cat cat CAT"_qs, u"cat"_qs);
    QCOMPARE(view.findState()->matchCount(), 3);
    auto *toggle = control<QToolButton>("scrivlet.findBar.caseSensitiveToggle");
    toggle->click();
    QVERIFY(view.findState()->isCaseSensitive());
    QCOMPARE(view.findState()->matchCount(), 1);
    view.findState()->setCaseSensitive(false); // and the toggle follows the state
    QVERIFY(!toggle->isChecked());
    QCOMPARE(view.findState()->matchCount(), 3);
}

void TestFindPanel::replaceIsOneUndoableEdit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<int>("expectedCount");
    QTest::addColumn<int>("expectedIndex");
    QTest::addRow("index 2 of 5: the former fourth is current")
        << u"a1 a2 a3 a4 a5"_qs << 2 << u"a1 a2 b3 a4 a5"_qs << 4 << 2;
    QTest::addRow("last match: wraps to the first")
        << u"a1 a2 a3"_qs << 2 << u"a1 a2 b3"_qs << 2 << 0;
}

void TestFindPanel::replaceIsOneUndoableEdit()
{
    QFETCH(QString, text);
    QFETCH(int, current);
    QFETCH(QString, expectedText);
    QFETCH(int, expectedCount);
    QFETCH(int, expectedIndex);
    ContentView view(*m_settings);
    openOver(view, text, u"a"_qs, FindMode::FindAndReplace);
    QTest::keyClicks(control<QLineEdit>("scrivlet.findBar.replaceField"), u"b"_qs);
    view.findState()->setCurrentMatchIndex(current);
    control<QPushButton>("scrivlet.findBar.replaceButton")->click();
    QCOMPARE(view.editor()->documentText().wholeText(), expectedText);
    QCOMPARE(view.findState()->matchCount(), expectedCount);
    QCOMPARE(view.findState()->currentMatchIndex(), expectedIndex);
    view.textView()->undo();
    QCOMPARE(view.editor()->documentText().wholeText(), text);
}

void TestFindPanel::replaceAllWithTheSearchTextInTheReplacement()
{
    ContentView view(*m_settings);
    openOver(view, u"a b a"_qs, u"a"_qs, FindMode::FindAndReplace);
    QTest::keyClicks(control<QLineEdit>("scrivlet.findBar.replaceField"), u"aa"_qs);
    control<QPushButton>("scrivlet.findBar.replaceAllButton")->click();
    QCOMPARE(view.editor()->documentText().wholeText(), u"aa b aa"_qs);
    QCOMPARE(control<QLabel>("scrivlet.findBar.matchCount")->text(), u"1 of 4"_qs);
    view.textView()->undo();
    QCOMPARE(view.editor()->documentText().wholeText(), u"a b a"_qs);
}

void TestFindPanel::menuCommandsJoinTheEditMenu()
{
    QMenu edit;
    edit.addAction(u"Undo"_qs);
    edit.addAction(u"Redo"_qs);
    edit.addSeparator();
    edit.addAction(u"Cut"_qs);
    edit.addAction(u"Select All"_qs);
    FindMenuCommands commands;
    commands.addTo(&edit);
    QStringList items;
    for (const QAction *action : edit.actions()) {
        items << (action->isSeparator() ? u"-"_qs
                                        : action->text() + u' ' + action->objectName() + u' '
                    + action->shortcut().toString(QKeySequence::PortableText));
    }
    QCOMPARE(items,
        (QStringList {u"Undo  "_qs, u"Redo  "_qs, u"-"_qs, u"Cut  "_qs, u"Select All  "_qs, u"-"_qs,
            u"Find... scrivlet.menu.find Ctrl+F"_qs,
            u"Find and Replace... scrivlet.menu.findAndReplace Ctrl+Alt+F"_qs, u"-"_qs,
            u"Find Next scrivlet.menu.findNext Ctrl+G"_qs,
            u"Find Previous scrivlet.menu.findPrevious Ctrl+Shift+G"_qs}));

    // Find and Replace while the panel is open in Find mode: the same panel, switched.
    ContentView view(*m_settings);
    openOver(view, u"x"_qs, u"x"_qs);
    FindPanel *panel = controller().panel();
    commands.findAndReplaceAction()->trigger();
    QCOMPARE(controller().panel(), panel);
    QCOMPARE(panel->windowTitle(), u"Find and Replace"_qs);
    QVERIFY(control<QLineEdit>("scrivlet.findBar.replaceField")->isVisible());
    // Help answers F1 while the panel has the focus.
    const QList<QAction *> panelActions = panel->actions();
    QVERIFY(std::any_of(panelActions.cbegin(), panelActions.cend(), [](const QAction *action) {
        return action->shortcuts().contains(QKeySequence(Qt::Key_F1));
    }));
}

void TestFindPanel::closedWindowStaysServedUntilAnotherRegisters()
{
    auto closing = std::make_unique<ContentView>(*m_settings);
    openOver(*closing, u"cat cat"_qs, u"cat"_qs);
    QPointer<FindState> state = closing->findState();
    closing.reset();
    QCOMPARE(controller().activeFindState(), state.data());
    QCOMPARE(searchField()->text(), u"cat"_qs);
    state->findNext(); // the window's search lives on, without a document
    QCOMPARE(state->currentMatchIndex(), 1);
    control<QPushButton>("scrivlet.findBar.replaceAllButton")->click(); // nothing to change

    ContentView next(*m_settings);
    controller().registerActiveDocument(next.findState(), &next.editor()->documentText());
    QTRY_VERIFY(!state);
    QCOMPARE(searchField()->text(), QString());
}

void TestFindPanel::findsInALongLine()
{
    ContentView view(*m_settings);
    const QString text = QString(25000, u'x') + u" cat"_qs + QString(25000, u'y') + u" cat"_qs;
    openOver(view, text, u"cat"_qs);
    QCOMPARE(view.findState()->matchRanges().toList(), (MatchList {{25001, 3}, {50005, 3}}));
    QCOMPARE(controller().activeDocumentText(), &view.editor()->documentText());
}

SCRIVLET_TEST_MAIN(TestFindPanel)
#include "tst_FindPanel.moc"
