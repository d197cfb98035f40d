#include "ContentView.h"
#include "DocumentWindow.h"
#include "FindPanelController.h"
#include "FindState.h"
#include "HighlightColors.h"
#include "NotificationCenter.h"
#include "ScrivletDocument.h"
#include "ScrivletTextView.h"
#include "Settings.h"
#include "StatusBarView.h"
#include "TestEnvironment.h"
#include "TextDocumentStatistics.h"
#include "TextEditorView.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

class TestDocumentWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void defaultAndMinimumSize();
    void settingsReachEveryWindowAtOnce();
    void statusBarFollowsTheSetting();
    void appearanceIsExactAndCaseSensitive_data();
    void appearanceIsExactAndCaseSensitive();
    void customColorsAndSystemColors();
    void findNotificationsStepEveryWindow();
    void activeWindowRegistersWithTheFindPanel();
    void highlightsMarkTheCurrentMatchAndSkipStaleRanges();
    void revealScrollsWithoutMovingTheCursor();
    void editsKeepMatchesCurrent();
    void rightClickOffersTheEditingCommands_data();
    void rightClickOffersTheEditingCommands();
    void loadFailureOpensNothing();
    void countsFollowALoadedFile();

private:
    std::unique_ptr<Settings> m_settings;
    QTemporaryDir m_folder;
};

void TestDocumentWindow::init()
{
    QFile::remove(m_folder.filePath(QStringLiteral("settings.conf")));
    m_settings = std::make_unique<Settings>(m_folder.filePath(QStringLiteral("settings.conf")));
}

void TestDocumentWindow::cleanup()
{
    m_settings.reset();
}

void TestDocumentWindow::defaultAndMinimumSize()
{
    DocumentWindow window(*m_settings);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    QCOMPARE(window.size(), QSize(800, 600));
    QCOMPARE(window.minimumSize(), QSize(400, 300));
}

void TestDocumentWindow::settingsReachEveryWindowAtOnce()
{
    ContentView first(*m_settings);
    ContentView second(*m_settings);
    m_settings->setFontSize(21);
    m_settings->setFontBold(true);
    for (ContentView *view : {&first, &second}) {
        QCOMPARE(view->textView()->font().pointSize(), 21);
        QVERIFY(view->textView()->font().bold());
    }
}

void TestDocumentWindow::statusBarFollowsTheSetting()
{
    ContentView first(*m_settings);
    ContentView second(*m_settings);
    first.show();
    second.show();
    m_settings->setShowStatusBar(false);
    QVERIFY(!first.statusBar()->isVisible());
    QVERIFY(!second.statusBar()->isVisible());
    m_settings->setShowStatusBar(true);
    QVERIFY(first.statusBar()->isVisible());
    QVERIFY(first.statusBar()->geometry().top() >= first.textView()->geometry().bottom());
}

void TestDocumentWindow::appearanceIsExactAndCaseSensitive_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected"); // 0 follows the application, 1 light, 2 dark
    QTest::addRow("dark") << u"dark"_qs << 2;
    QTest::addRow("light") << u"light"_qs << 1;
    QTest::addRow("system") << u"system"_qs << 0;
    QTest::addRow("capital D follows the system") << u"Dark"_qs << 0;
}

void TestDocumentWindow::appearanceIsExactAndCaseSensitive()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);
    DocumentWindow window(*m_settings);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.show();
    m_settings->setAppearanceMode(stored);
    const QColor windowColor = window.palette().color(QPalette::Window);
    if (expected == 0)
        QCOMPARE(windowColor, QApplication::palette().color(QPalette::Window));
    else
        QCOMPARE(windowColor.lightness() < 128, expected == 2);
}

void TestDocumentWindow::customColorsAndSystemColors()
{
    DocumentWindow window(*m_settings);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    window.show();
    ScrivletTextView *view = window.contentView()->textView();
    m_settings->setEditorTextColor(u"#ff8800"_qs);
    m_settings->setEditorBackgroundColor(u"orange"_qs); // not a colour: the palette's base
    QCOMPARE(view->palette().color(QPalette::Text), QColor(255, 136, 0));
    QCOMPARE(view->palette().color(QPalette::Base), window.palette().color(QPalette::Base));
    m_settings->setEditorTextColor(QString());
    m_settings->setAppearanceMode(u"dark"_qs);
    QCOMPARE(view->palette().color(QPalette::Text), window.palette().color(QPalette::Text));
    QVERIFY(view->palette().color(QPalette::Base).lightness() < 128);
}

void TestDocumentWindow::findNotificationsStepEveryWindow()
{
    ContentView first(*m_settings);
    ContentView second(*m_settings);
    for (ContentView *view : {&first, &second}) {
        view->findState()->setMatchRanges(LiveMatches({{0, 1}, {2, 1}, {4, 1}}));
        view->findState()->setCurrentMatchIndex(0);
    }
    NotificationCenter::shared().post(NotificationCenter::findNext);
    NotificationCenter::shared().post(NotificationCenter::findNext);
    NotificationCenter::shared().post(NotificationCenter::findPrevious);
    QCOMPARE(first.findState()->currentMatchIndex(), 1);
    QCOMPARE(second.findState()->currentMatchIndex(), 1);
}

void TestDocumentWindow::activeWindowRegistersWithTheFindPanel()
{
    DocumentWindow first(*m_settings);
    first.setAttribute(Qt::WA_DeleteOnClose, false);
    first.show();
    first.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&first));
    QTRY_COMPARE(FindPanelController::shared().activeFindState(), first.contentView()->findState());
    DocumentWindow second(*m_settings);
    second.setAttribute(Qt::WA_DeleteOnClose, false);
    second.show();
    second.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&second));
    QTRY_COMPARE(
        FindPanelController::shared().activeFindState(), second.contentView()->findState());
    first.activateWindow();
    QTRY_COMPARE(FindPanelController::shared().activeFindState(), first.contentView()->findState());
}

namespace {

// Pixels of the text view's viewport painted in `color`.
int pixelsOf(ScrivletTextView &view, const QColor &color)
{
    const QImage image = view.viewport()->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y).rgb() == color.rgb() ? 1 : 0;
    }
    return count;
}

} // namespace

void TestDocumentWindow::highlightsMarkTheCurrentMatchAndSkipStaleRanges()
{
    ContentView view(*m_settings);
    view.resize(600, 400);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    ScrivletTextView *textView = view.textView();
    textView->document()->setText(u"cat cat cat"_qs);
    const auto fills = [textView] {
        const QPalette palette = textView->palette();
        return HighlightColors::forColors(
            palette.color(QPalette::Base), palette.color(QPalette::Text));
    };
    QCOMPARE(pixelsOf(*textView, fills().match), 0);
    // The last range ends one past the text: stale, so never drawn.
    view.findState()->setMatchRanges(LiveMatches({{9, 3}}));
    QCOMPARE(pixelsOf(*textView, fills().match), 0);
    view.findState()->setMatchRanges(LiveMatches({{0, 3}, {4, 3}, {8, 3}, {9, 3}}));
    view.findState()->setCurrentMatchIndex(1);
    const int matchPixels = pixelsOf(*textView, fills().match);
    const int currentPixels = pixelsOf(*textView, fills().currentMatch);
    QVERIFY(currentPixels > 0);
    // Two matches in the match colour, one in the current colour, all the same width.
    QVERIFY2(std::abs(matchPixels - 2 * currentPixels) <= currentPixels / 4,
        qPrintable(u"%1 %2"_qs.arg(matchPixels).arg(currentPixels)));
    QVERIFY(!textView->document()->canUndo());

    // New editor colours repaint the matches in fills that suit them.
    const QColor before = fills().match;
    m_settings->setEditorBackgroundColor(u"#003366"_qs);
    m_settings->setEditorTextColor(u"#FFFFFF"_qs);
    QCOMPARE(textView->palette().color(QPalette::Base), QColor(0x00, 0x33, 0x66));
    QVERIFY(fills().match != before);
    QCOMPARE(pixelsOf(*textView, before), 0);
    QVERIFY(pixelsOf(*textView, fills().match) > 0);
    QVERIFY(pixelsOf(*textView, fills().currentMatch) > 0);
}

void TestDocumentWindow::revealScrollsWithoutMovingTheCursor()
{
    ContentView view(*m_settings);
    view.resize(500, 300);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QStringList lines;
    for (int i = 0; i < 2000; ++i)
        lines << QStringLiteral("line %1").arg(i);
    ScrivletTextView *textView = view.textView();
    textView->document()->setText(lines.join(u'\n'));
    textView->setCursorPosition(3);
    const qsizetype target = textView->document()->lineStart(1500);
    view.findState()->setMatchRanges(LiveMatches({{target, 4}}));
    view.findState()->setCurrentMatchIndex(0);
    QCOMPARE(textView->cursorPosition(), 3);
    const qsizetype first = textView->firstVisibleRow().block.line;
    QVERIFY2(first <= 1500 && first > 1400, qPrintable(QString::number(first)));
    QVERIFY(!textView->characterRect(target).isNull());
}

void TestDocumentWindow::editsKeepMatchesCurrent()
{
    ContentView view(*m_settings);
    FindState *find = view.findState();
    TextDocument *document = view.textView()->document();
    document->setText(u"one cat\ntwo cat\nthree"_qs);
    find->setSearchText(u"cat"_qs);
    find->show(FindMode::Find);
    find->updateMatches(view.editor()->documentText().wholeText());
    QCOMPARE(find->matchCount(), 2);
    QRandomGenerator random(3);
    const QString pieces[] = {u"cat"_qs, u"c"_qs, u"at"_qs, u"\n"_qs, u" "_qs, u"\u00E9"_qs};
    for (int edit = 0; edit < 300; ++edit) {
        const qsizetype length = document->length();
        const qsizetype position = random.bounded(int(length) + 1);
        const qsizetype removed = random.bounded(3) == 0
            ? std::min<qsizetype>(length - position, random.bounded(4))
            : 0;
        document->replace(position, removed, pieces[random.bounded(6)]);
        FindState full;
        full.setSearchText(u"cat"_qs);
        full.updateMatches(view.editor()->documentText().wholeText());
        QCOMPARE(find->matchRanges(), full.matchRanges());
    }
    view.textView()->undo();
    FindState full;
    full.setSearchText(u"cat"_qs);
    full.updateMatches(view.editor()->documentText().wholeText());
    QCOMPARE(find->matchRanges(), full.matchRanges());
}

void TestDocumentWindow::rightClickOffersTheEditingCommands_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("after");
    QTest::addRow("nothing selected: Select All") << false << u"Select All"_qs << u"one two"_qs;
    QTest::addRow("a selection: Delete") << true << u"Delete"_qs << u" two"_qs;
    QTest::addRow("a selection: Cut") << true << u"Cut"_qs << u" two"_qs;
}

// The menu is read and answered from inside its own event loop, as a user would.
void TestDocumentWindow::rightClickOffersTheEditingCommands()
{
    QFETCH(bool, selected);
    QFETCH(QString, chosen);
    QFETCH(QString, after);
    ContentView view(*m_settings);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    ScrivletTextView *textView = view.textView();
    textView->document()->setText(u"one two"_qs);
    if (selected)
        textView->setCursorPosition(3, TextView::Anchor::Keep);
    QMap<QString, bool> enabled;
    QTimer::singleShot(0, this, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction *action : menu->actions())
            enabled.insert(action->text().remove(u'&'), action->isEnabled());
        for (QAction *action : menu->actions()) {
            if (action->text().remove(u'&') == chosen)
                action->trigger();
        }
        menu->close();
    });
    QContextMenuEvent event(
        QContextMenuEvent::Mouse, QPoint(10, 10), textView->mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(textView->viewport(), &event);
    QCOMPARE(enabled.value(u"Copy"_qs), selected);
    QCOMPARE(enabled.value(u"Cut"_qs), selected);
    QCOMPARE(enabled.value(u"Delete"_qs), selected);
    QVERIFY(enabled.value(u"Select All"_qs));
    QVERIFY(!enabled.value(u"Undo"_qs));
    QCOMPARE(textView->document()->toString(), after);
    QCOMPARE(textView->selectedText(), chosen == u"Select All"_qs ? after : QString());
}

void TestDocumentWindow::loadFailureOpensNothing()
{
    DocumentWindow window(*m_settings);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    int code = 0;
    connect(&window, &DocumentWindow::loadFailed, this,
        [&code](const DocumentError &error) { code = error.code; });
    window.load(m_folder.path()); // a folder
    QTRY_COMPARE(code, 259);
    QVERIFY(window.contentView()->textView()->document()->length() == 0);
}

void TestDocumentWindow::countsFollowALoadedFile()
{
    // Lines of every kind the document splits on, in a file large enough for many slices.
    QString text;
    const QString endings[] = {u"\n"_qs, u"\r\n"_qs, u"\r"_qs, u"\n\n"_qs, u" \u2029"_qs};
    for (int i = 0; text.size() < 300000; ++i)
        text += u"caf\u00E9 line %1 \U0001F44D\U0001F3FD"_qs.arg(i) + endings[i % 5];
    const QString path = m_folder.filePath(u"mixed.txt"_qs);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
    file.close();

    DocumentWindow window(*m_settings);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    QSignalSpy loaded(&window, &DocumentWindow::loaded);
    window.load(path);
    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 20000);
    const TextDocument &document = *window.contentView()->textView()->document();
    QCOMPARE(document.toString(), ScrivletDocument::normalizeLineEndings(text));
    QTRY_COMPARE(window.contentView()->statistics()->counts(),
        DocumentStatistics::countText(document.toString()));
}

SCRIVLET_TEST_MAIN(TestDocumentWindow)
#include "tst_DocumentWindow.moc"
