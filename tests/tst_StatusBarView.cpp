#include "DocumentStatistics.h"
#include "ElidedLabel.h"
#include "StatusBarView.h"
#include "TestEnvironment.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>

using DocumentStatistics::TextCounts;

Q_DECLARE_METATYPE(TextCounts)

namespace {

const QChar ellipsis = QChar(0x2026);

QLabel *statisticsLabel(const StatusBarView &bar)
{
    return bar.findChild<QLabel *>(QStringLiteral("scrivlet.statusBar.statistics"));
}

ElidedLabel *pathLabel(const StatusBarView &bar)
{
    return bar.findChild<ElidedLabel *>(QStringLiteral("scrivlet.statusBar.path"));
}

QString deepPath(const QString &fileName)
{
    QString path = QStringLiteral("/home/writer");
    for (int level = 0; level < 12; ++level)
        path += QStringLiteral("/folder-with-a-long-name-%1").arg(level);
    return path + QLatin1Char('/') + fileName;
}

// Shown at the given width, laid out as in a window.
void showAtWidth(StatusBarView &bar, int width)
{
    bar.resize(width, bar.sizeHint().height());
    if (!bar.isVisible()) {
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
    }
    bar.layout()->activate();
}

} // namespace

class TestStatusBarView : public QObject
{
    Q_OBJECT

private slots:
    void startsEmptyAndNotSaved();
    void statisticsText_data();
    void statisticsText();
    void filePath_data();
    void filePath();
    void longPathIsShortenedInTheMiddle_data();
    void longPathIsShortenedInTheMiddle();
    void pathLosesFoldersBeforeItsName_data();
    void pathLosesFoldersBeforeItsName();
    void copyingTheShortenedPathCopiesAllOfIt();
    void namesAndAccessibility();
    void appearance();
    void layoutMarginsAndOrder();
};

void TestStatusBarView::startsEmptyAndNotSaved()
{
    StatusBarView bar;
    QCOMPARE(bar.statisticsText(), QStringLiteral("0 characters, 0 words, 0 paragraphs"));
    QCOMPARE(bar.pathText(), QStringLiteral("Not saved"));
    QCOMPARE(pathLabel(bar)->toolTip(), QStringLiteral("Not saved"));
}

void TestStatusBarView::statisticsText_data()
{
    QTest::addColumn<TextCounts>("counts");
    QTest::addColumn<QString>("text");

    QTest::addRow("one word") << TextCounts {3, 1, 1}
                              << QStringLiteral("3 characters, 1 word, 1 paragraph");
    QTest::addRow("one character stays plural")
        << TextCounts {1, 1, 1} << QStringLiteral("1 characters, 1 word, 1 paragraph");
    QTest::addRow("empty") << TextCounts {}
                           << QStringLiteral("0 characters, 0 words, 0 paragraphs");
    QTest::addRow("blank lines") << TextCounts {5, 0, 0}
                                 << QStringLiteral("5 characters, 0 words, 0 paragraphs");
    QTest::addRow("no digit grouping") << TextCounts {104857600, 17000000,
        1700000} << QStringLiteral("104857600 characters, 17000000 words, 1700000 paragraphs");
}

void TestStatusBarView::statisticsText()
{
    QFETCH(TextCounts, counts);
    QFETCH(QString, text);

    StatusBarView bar;
    bar.setCounts({7, 7, 7});
    bar.setCounts(counts);
    QCOMPARE(bar.statisticsText(), text);
    QCOMPARE(statisticsLabel(bar)->text(), text);
    QCOMPARE(statisticsLabel(bar)->accessibleDescription(), text);
}

void TestStatusBarView::filePath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("toolTip");

    QTest::addRow("a file") << QStringLiteral("/home/writer/notes.txt")
                            << QStringLiteral("/home/writer/notes.txt")
                            << QStringLiteral("/home/writer/notes.txt");
    QTest::addRow("no file") << QString() << QStringLiteral("Not saved")
                             << QStringLiteral("Not saved");
    QTest::addRow("markup is not interpreted")
        << QStringLiteral("/tmp/<b>bold</b>.txt") << QStringLiteral("/tmp/<b>bold</b>.txt")
        << QStringLiteral("/tmp/<b>bold</b>.txt");
    QTest::addRow("a line break in a name stays on one line")
        << QStringLiteral("/tmp/two\nlines.txt") << QStringLiteral("/tmp/two lines.txt")
        << QStringLiteral("/tmp/two\nlines.txt");
    QTest::addRow("non-ASCII path") << QStringLiteral("/home/wr\u00EEter/\u65E5\u8A18.txt")
                                    << QStringLiteral("/home/wr\u00EEter/\u65E5\u8A18.txt")
                                    << QStringLiteral("/home/wr\u00EEter/\u65E5\u8A18.txt");
}

void TestStatusBarView::filePath()
{
    QFETCH(QString, path);
    QFETCH(QString, shown);
    QFETCH(QString, toolTip);

    StatusBarView bar;
    bar.setFilePath(QStringLiteral("/somewhere/else.txt"));
    bar.setFilePath(path);
    showAtWidth(bar, 2000);
    ElidedLabel *label = pathLabel(bar);
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QCOMPARE(label->text(), shown);
    QCOMPARE(label->toolTip(), toolTip);
    QCOMPARE(bar.pathText(), path.isEmpty() ? QStringLiteral("Not saved") : path);
}

void TestStatusBarView::longPathIsShortenedInTheMiddle_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("width");

    QTest::addRow("short name, narrow bar") << QStringLiteral("notes.txt") << 520;
    QTest::addRow("short name, wide bar") << QStringLiteral("notes.txt") << 900;
    // Wider than half the room for the path: an even cut in the middle would shorten it.
    QTest::addRow("long name") << QStringLiteral("minutes-of-the-annual-general-meeting.txt")
                               << 900;
    QTest::addRow("long name, 640 px") << QStringLiteral("a_very_long_file_name.txt") << 640;
}

// The beginning of the path and the whole file name stay visible; the tooltip keeps everything.
void TestStatusBarView::longPathIsShortenedInTheMiddle()
{
    QFETCH(QString, fileName);
    QFETCH(int, width);

    StatusBarView bar;
    bar.setCounts({1234, 250, 12});
    const QString path = deepPath(fileName);
    bar.setFilePath(path);
    showAtWidth(bar, width);

    ElidedLabel *label = pathLabel(bar);
    const QString shown = label->text();
    QVERIFY(label->isElided());
    QVERIFY2(shown.contains(ellipsis), qPrintable(shown));
    QVERIFY2(shown.startsWith(QStringLiteral("/home/")), qPrintable(shown));
    QVERIFY2(shown.endsWith(QLatin1Char('/') + fileName), qPrintable(shown));
    QVERIFY(label->fontMetrics().horizontalAdvance(shown) <= label->contentsRect().width());
    QCOMPARE(label->toolTip(), path);
    QCOMPARE(bar.pathText(), path);
    QCOMPARE(bar.statisticsText(), QStringLiteral("1234 characters, 250 words, 12 paragraphs"));

    showAtWidth(bar, 4000);
    QCOMPARE(label->text(), path);
    QVERIFY(!label->isElided());
}

enum class Cut { None, Folder, Name };
Q_DECLARE_METATYPE(Cut)

void TestStatusBarView::pathLosesFoldersBeforeItsName_data()
{
    QTest::addColumn<QString>("path");
    // The room: the width of an ellipsis and the file name with its separator, plus this.
    QTest::addColumn<int>("extra");
    QTest::addColumn<Cut>("cut");

    const QString longFolder = deepPath(QStringLiteral("notes.txt"));
    const QString longName = QStringLiteral("/home/writer/")
        + QStringLiteral("minutes-of-the-annual-general-meeting-and-the-board-meeting.txt");
    QTest::addRow("long folder, room for the name and more") << longFolder << 200 << Cut::Folder;
    QTest::addRow("long folder, room for the name only") << longFolder << 0 << Cut::Folder;
    QTest::addRow("long folder, no room for the separator") << longFolder << -2 << Cut::Folder;
    QTest::addRow("long folder, name too long") << longFolder << -20 << Cut::Name;
    QTest::addRow("long name, room for it") << longName << 10 << Cut::Folder;
    QTest::addRow("long name, half the room") << longName << -200 << Cut::Name;
    QTest::addRow("everything fits") << QStringLiteral("/tmp/a.txt") << 100 << Cut::None;
    QTest::addRow("no folder") << QStringLiteral("minutes-of-the-annual-general-meeting.txt") << -60
                               << Cut::Name;
}

// Pure layout arithmetic on the label's own font: which part gives way at a given width.
void TestStatusBarView::pathLosesFoldersBeforeItsName()
{
    QFETCH(QString, path);
    QFETCH(int, extra);
    QFETCH(Cut, cut);

    const QFontMetrics metrics(QApplication::font());
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const int width = metrics.horizontalAdvance(ellipsis)
        + metrics.horizontalAdvance(QLatin1Char('/') + name) + extra;
    const QString shown = ElidedLabel::elideKeepingTail(path, QLatin1Char('/'), metrics, width);

    QVERIFY2(metrics.horizontalAdvance(shown) <= width, qPrintable(shown));
    switch (cut) {
    case Cut::None:
        QCOMPARE(shown, path);
        break;
    case Cut::Folder:
        QVERIFY2(shown.endsWith(name), qPrintable(shown));
        QVERIFY2(shown.contains(ellipsis), qPrintable(shown));
        // The room beyond the name goes to the folder's start.
        if (extra >= 100)
            QVERIFY2(shown.startsWith(QStringLiteral("/home")), qPrintable(shown));
        break;
    case Cut::Name: {
        const qsizetype cutAt = shown.indexOf(ellipsis);
        QVERIFY2(cutAt > 0 && cutAt < shown.size() - 1, qPrintable(shown));
        // The name keeps its start and its end, where its extension is.
        QVERIFY2(name.startsWith(shown.left(cutAt)), qPrintable(shown));
        QVERIFY2(name.endsWith(shown.mid(cutAt + 1)), qPrintable(shown));
        break;
    }
    }
}

void TestStatusBarView::copyingTheShortenedPathCopiesAllOfIt()
{
    StatusBarView bar;
    const QString path = deepPath(QStringLiteral("notes.txt"));
    bar.setFilePath(path);
    showAtWidth(bar, 520);
    ElidedLabel *label = pathLabel(bar);
    QVERIFY(label->isElided());

    label->setFocus();
    label->setSelection(0, int(label->text().size()));
    QGuiApplication::clipboard()->clear();
    QTest::keySequence(label, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), path);

    // A part of what is shown is copied as shown.
    label->setSelection(0, 5);
    QTest::keySequence(label, QKeySequence::Copy);
    QCOMPARE(QGuiApplication::clipboard()->text(), label->text().left(5));
}

void TestStatusBarView::namesAndAccessibility()
{
    StatusBarView bar;
    bar.setFilePath(QStringLiteral("/home/writer/notes.txt"));
    QCOMPARE(bar.objectName(), QStringLiteral("scrivlet.statusBar"));
    QLabel *statistics = statisticsLabel(bar);
    ElidedLabel *path = pathLabel(bar);
    QVERIFY(statistics);
    QVERIFY(path);
    QCOMPARE(statistics->accessibleName(), QStringLiteral("Document statistics"));
    QCOMPARE(path->accessibleName(), QStringLiteral("File path"));

    const auto selectable = Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard;
    for (QLabel *label : {statistics, static_cast<QLabel *>(path)}) {
        QCOMPARE(label->textInteractionFlags(), selectable);
        QVERIFY(label->focusPolicy() & Qt::TabFocus);
    }
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(path);
    QVERIFY(accessible);
    QCOMPARE(accessible->text(QAccessible::Name), QStringLiteral("File path"));
    QCOMPARE(accessible->text(QAccessible::Description), QStringLiteral("/home/writer/notes.txt"));
}

void TestStatusBarView::appearance()
{
    StatusBarView bar;
    QVERIFY(bar.autoFillBackground());
    QCOMPARE(bar.backgroundRole(), QPalette::Window);
    QCOMPARE(bar.sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    for (QLabel *label : {statisticsLabel(bar), static_cast<QLabel *>(pathLabel(bar))}) {
        QCOMPARE(label->font().pointSize(), 11);
        QCOMPARE(label->font().family(), QApplication::font().family());
        QCOMPARE(label->font().weight(), QFont::Normal);
        QCOMPARE(label->foregroundRole(), QPalette::WindowText);
    }

    // The window may set a font for its text; the bar keeps the system font.
    QWidget window;
    window.setFont(QFont(QStringLiteral("Monospace"), 20));
    StatusBarView inWindow(&window);
    QCOMPARE(statisticsLabel(inWindow)->font().pointSize(), 11);
    QCOMPARE(pathLabel(inWindow)->font().family(), QApplication::font().family());
}

void TestStatusBarView::layoutMarginsAndOrder()
{
    StatusBarView bar;
    bar.setFilePath(QStringLiteral("/home/writer/notes.txt"));
    showAtWidth(bar, 800);
    QCOMPARE(bar.layout()->contentsMargins(), QMargins(12, 4, 12, 4));

    const QRect statistics = statisticsLabel(bar)->geometry();
    const QRect path = pathLabel(bar)->geometry();
    QCOMPARE(statistics.left(), 12);
    QCOMPARE(path.right(), bar.width() - 1 - 12);
    QVERIFY(statistics.right() < path.left());
    QCOMPARE(pathLabel(bar)->text(), QStringLiteral("/home/writer/notes.txt"));
    QCOMPARE(bar.height(), bar.sizeHint().height());
}

SCRIVLET_TEST_MAIN(TestStatusBarView)
#include "tst_StatusBarView.moc"
