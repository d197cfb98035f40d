#include "HelpContentView.h"
#include "HelpSearchBar.h"
#include "HelpSearchModel.h"
#include "HelpSectionView.h"
#include "HelpTextLabel.h"
#include "HelpWindowController.h"
#include "TestEnvironment.h"

#include <QAccessible>
#include <QApplication>
#include <QDesktopServices>
#include <QGridLayout>
#include <QLineEdit>
#include <QScreen>
#include <QToolButton>

namespace {

HelpContentView *shownWindow()
{
    HelpWindowController::shared().showHelp();
    return HelpWindowController::shared().window();
}

int helpWindowCount()
{
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += qobject_cast<HelpContentView *>(widget) ? 1 : 0;
    return count;
}

bool isShownIn(const HelpContentView *window, const QString &objectName)
{
    const auto *widget = window->findChild<QWidget *>(objectName);
    return widget && widget->isVisibleTo(window);
}

QStringList visibleSectionTitles(const HelpContentView *window)
{
    QStringList titles;
    for (const HelpSection &section : window->model()->allSections()) {
        if (window->sectionView(section.id)->isVisibleTo(window))
            titles << section.title;
    }
    return titles;
}

HelpSectionView *sectionTitled(const HelpContentView *window, const QString &title)
{
    for (const HelpSection &section : window->model()->allSections()) {
        if (section.title == title)
            return window->sectionView(section.id);
    }
    return nullptr;
}

// What a screen reader meets walking the accessibility tree of a widget, in order.
void collectReadout(QAccessibleInterface *node, QStringList &out)
{
    if (node->role() == QAccessible::Heading)
        out << u"heading: "_qs + node->text(QAccessible::Name);
    else if (node->role() == QAccessible::StaticText)
        out << node->text(QAccessible::Name);
    for (int index = 0; index < node->childCount(); ++index)
        collectReadout(node->child(index), out);
}

// Stands in for the browser.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened << url; }
};

} // namespace

class TestHelpWindowController : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void firstShowBuildsCentredWindow();
    void placement_data();
    void placement();
    void laterShowsReuseTheWindowAndSearch();
    void searchFieldHasFocus();
    void escapeClearsTheSearchThenCloses();
    void tabReachesEveryControl();
    void pageParts_data();
    void pageParts();
    void clearButtonRestoresFullPage();
    void marksHitsAndReadsInOrder();
    void shortcutTableHasDividersBeforeGroups();
};

void TestHelpWindowController::cleanup()
{
    if (HelpContentView *window = HelpWindowController::shared().window()) {
        window->searchBar()->field()->clear();
        window->close();
    }
}

void TestHelpWindowController::firstShowBuildsCentredWindow()
{
    QCOMPARE(HelpWindowController::shared().window(), nullptr);
    HelpContentView *window = shownWindow();
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), u"Scrivlet Help"_qs);
    QCOMPARE(window->minimumSize(), QSize(400, 400));
    // The test screen may be lower than the window; it then fits the screen.
    const QRect available = window->screen()->availableGeometry();
    QCOMPARE(window->size(), QSize(560, 620).boundedTo(available.size()));
    QVERIFY(available.contains(window->geometry()));
    // Centred before the window manager tells the frame's size, so up to a frame's width off.
    const QPoint offset = window->frameGeometry().center() - available.center();
    QVERIFY2(
        qAbs(offset.x()) <= 4 && qAbs(offset.y()) <= 4, qPrintable(QString::number(offset.x())));
}

void TestHelpWindowController::placement_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QRect>("expected");

    QTest::addRow("centred") << QRect(0, 0, 1280, 900) << QRect(360, 140, 560, 620);
    QTest::addRow("centred on a second screen beside a panel")
        << QRect(1920, 32, 1920, 1048) << QRect(2600, 246, 560, 620);
    QTest::addRow("low screen: as high as fits")
        << QRect(0, 24, 1024, 576) << QRect(232, 24, 560, 576);
    QTest::addRow("tiny screen: minimum size, top left on screen")
        << QRect(0, 0, 320, 240) << QRect(0, 0, 400, 400);
}

void TestHelpWindowController::placement()
{
    QFETCH(QRect, available);
    QFETCH(QRect, expected);
    QCOMPARE(
        HelpWindowController::placement(QSize(560, 620), QSize(400, 400), available), expected);
}

void TestHelpWindowController::laterShowsReuseTheWindowAndSearch()
{
    HelpContentView *window = shownWindow();
    QTest::keyClicks(window->searchBar()->field(), u"print"_qs);
    HelpWindowController::shared().showHelp();
    QCOMPARE(helpWindowCount(), 1);

    window->close();
    QVERIFY(!window->isVisible());
    QCOMPARE(shownWindow(), window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->searchBar()->text(), u"print"_qs);
    QCOMPARE(
        visibleSectionTitles(window), (QStringList {u"Printing"_qs, u"Keyboard Shortcuts"_qs}));
    QCOMPARE(helpWindowCount(), 1);
}

void TestHelpWindowController::searchFieldHasFocus()
{
    HelpContentView *window = shownWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QCOMPARE(QApplication::focusWidget(), window->searchBar()->field());
    QCOMPARE(window->searchBar()->field()->objectName(), u"scrivlet.help.searchField"_qs);
    QCOMPARE(window->searchBar()->field()->placeholderText(), u"Search Help"_qs);
}

void TestHelpWindowController::escapeClearsTheSearchThenCloses()
{
    HelpContentView *window = shownWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QLineEdit *field = window->searchBar()->field();
    field->setFocus();
    QTest::keyClicks(field, u"print"_qs);
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(window->isVisible());
    QVERIFY(field->text().isEmpty());
    QCOMPARE(visibleSectionTitles(window).size(), 12);
    QTest::keyClick(field, Qt::Key_Escape);
    QVERIFY(!window->isVisible());
    // With the focus elsewhere, a search that is shown stays and the window closes at once.
    window = shownWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    window->searchBar()->field()->setText(u"print"_qs);
    QTest::keyClick(window->searchBar()->field(), Qt::Key_Tab);
    QWidget *other = QApplication::focusWidget();
    QVERIFY(other && other != window->searchBar()->field());
    QTest::keyClick(other, Qt::Key_Escape);
    QVERIFY(!window->isVisible());
    window->searchBar()->field()->clear();
}

void TestHelpWindowController::tabReachesEveryControl()
{
    HelpContentView *window = shownWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClicks(window->searchBar()->field(), u"a"_qs);
    QStringList visited;
    for (int step = 0; step < 4; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    // The link at the foot of the page is gone during a search, so Tab comes round to the field.
    QCOMPARE(visited,
        (QStringList {u"scrivlet.help.clearButton"_qs, u"scrivlet.help.page"_qs,
            u"scrivlet.help.searchField"_qs, u"scrivlet.help.clearButton"_qs}));

    window->searchBar()->field()->clear();
    window->focusSearchField();
    visited.clear();
    for (int step = 0; step < 3; ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited,
        (QStringList {u"scrivlet.help.page"_qs, u"scrivlet.help.productLink"_qs,
            u"scrivlet.help.searchField"_qs}));

    // Enter on the link opens the product page, with no second Tab stop inside the link.
    UrlRecorder browser;
    QDesktopServices::setUrlHandler(u"https"_qs, &browser, "open");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QDesktopServices::unsetUrlHandler(u"https"_qs);
    QCOMPARE(browser.opened, (QList<QUrl> {QUrl(u"https://scrivlet.org/"_qs)}));
}

void TestHelpWindowController::pageParts_data()
{
    QTest::addColumn<QString>("term");
    QTest::addColumn<bool>("fullPage");
    QTest::addColumn<bool>("noResults");
    QTest::addColumn<int>("sectionCount");

    QTest::addRow("empty search: header, footer, all") << QString() << true << false << 12;
    QTest::addRow("one letter hides header and footer") << u"p"_qs << false << false << 12;
    QTest::addRow("print") << u"print"_qs << false << false << 2;
    QTest::addRow("nothing found") << u"zzz"_qs << false << true << 0;
}

void TestHelpWindowController::pageParts()
{
    QFETCH(QString, term);
    QFETCH(bool, fullPage);
    QFETCH(bool, noResults);
    QFETCH(int, sectionCount);
    HelpContentView *window = shownWindow();
    QTest::keyClicks(window->searchBar()->field(), term);

    QCOMPARE(isShownIn(window, u"scrivlet.help.title"_qs), fullPage);
    QCOMPARE(isShownIn(window, u"scrivlet.help.productLink"_qs), fullPage);
    QCOMPARE(isShownIn(window, u"scrivlet.help.clearButton"_qs), !term.isEmpty());
    QCOMPARE(isShownIn(window, u"scrivlet.help.noResults"_qs), noResults);
    QCOMPARE(visibleSectionTitles(window).size(), sectionCount);
    if (noResults) {
        const auto labels = window->findChild<QWidget *>(u"scrivlet.help.noResults"_qs)
                                ->findChildren<HelpTextLabel *>();
        QCOMPARE(labels.first()->plainText(), u"No results for \"zzz\""_qs);
    }
}

void TestHelpWindowController::clearButtonRestoresFullPage()
{
    HelpContentView *window = shownWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClicks(window->searchBar()->field(), u"print"_qs);
    QToolButton *clear = window->searchBar()->clearButton();
    QCOMPARE(clear->accessibleName(), u"Clear search"_qs);
    QTest::mouseClick(clear, Qt::LeftButton);

    QCOMPARE(window->model()->searchText(), QString());
    QVERIFY(clear->isHidden());
    QVERIFY(isShownIn(window, u"scrivlet.help.title"_qs));
    QCOMPARE(visibleSectionTitles(window).size(), 12);
    QCOMPARE(QApplication::focusWidget(), window->searchBar()->field());
    // Nothing stays marked once the search is gone.
    const HelpSectionView *printing = sectionTitled(window, u"Printing"_qs);
    QVERIFY(!printing->titleLabel()->text().contains(u"background-color"_qs));
}

void TestHelpWindowController::marksHitsAndReadsInOrder()
{
    HelpContentView *window = shownWindow();
    QTest::keyClicks(window->searchBar()->field(), u"print"_qs);
    const HelpSectionView *printing = sectionTitled(window, u"Printing"_qs);
    QVERIFY(printing->titleLabel()->text().contains(
        u"<span style=\"background-color:#ffff00; color:#000000\">Print</span>ing"_qs));

    window->searchBar()->field()->clear();
    QStringList readout;
    collectReadout(
        QAccessible::queryAccessibleInterface(sectionTitled(window, u"Working with Documents"_qs)),
        readout);
    QCOMPARE(readout.mid(0, 6),
        (QStringList {u"heading: Working with Documents"_qs, u"\u2022"_qs, u"New Document"_qs,
            u"Ctrl+N creates a new blank document in its own window."_qs, u"\u2022"_qs,
            u"Open"_qs}));
}

void TestHelpWindowController::shortcutTableHasDividersBeforeGroups()
{
    HelpContentView *window = shownWindow();
    const auto *grid = sectionTitled(window, u"Keyboard Shortcuts"_qs)->findChild<QGridLayout *>();
    QVERIFY(grid);
    QStringList column;
    for (int row = 0; row < grid->rowCount(); ++row) {
        QWidget *cell = grid->itemAtPosition(row, 0)->widget();
        const auto *label = qobject_cast<HelpTextLabel *>(cell);
        column << (label ? label->plainText() : u"---"_qs);
    }
    QCOMPARE(column.size(), 26);
    QCOMPARE(column.indexOf(u"---"_qs), 6);
    QCOMPARE(column.at(7), u"Ctrl+Z"_qs);
    QCOMPARE(column.at(14), u"---"_qs);
    QCOMPARE(column.at(15), u"Ctrl+F"_qs);
    QCOMPARE(column.at(20), u"---"_qs);
    QCOMPARE(column.at(21), u"Ctrl+Shift+L"_qs);
    QCOMPARE(column.last(), u"Ctrl+,"_qs);
}

SCRIVLET_TEST_MAIN(TestHelpWindowController)

#include "tst_HelpWindowController.moc"
