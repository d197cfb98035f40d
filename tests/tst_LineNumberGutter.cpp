#include "AppearancePalette.h"
#include "FontCache.h"
#include "LineNumberGutter.h"
#include "ScrivletTextView.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <memory>

Q_DECLARE_METATYPE(ColorScheme)

namespace {

const QString editorFamily = QStringLiteral("DejaVu Sans Mono");

// "1", LF, "2", LF, … up to count: a text of exactly count lines.
QString numberedLines(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QString::number(i);
    return lines.join(u'\n');
}

qreal expectedThickness(int digits, qint64 size)
{
    const QFontMetricsF metrics(FontCache::font(editorFamily, size, false));
    return std::max<qreal>(40, metrics.horizontalAdvance(QString(digits, u'8')) + 16);
}

std::unique_ptr<ScrivletTextView> makeEditor(qint64 size = 13)
{
    auto view = std::make_unique<ScrivletTextView>();
    view->resize(400, 300);
    view->setFont(FontCache::font(editorFamily, size, false));
    view->gutter()->updateFont(editorFamily, size);
    view->show();
    return view;
}

QList<int> numbersOf(const QList<LineNumberGutter::NumberPlacement> &placements)
{
    QList<int> numbers;
    for (const auto &placement : placements)
        numbers << placement.number;
    return numbers;
}

// The vertical centre, in gutter coordinates, of the visual line that holds the position, as
// the text view itself reports it.
qreal lineCentreInGutter(ScrivletTextView &view, qsizetype position)
{
    const QRect line = view.characterRect(position);
    const QPointF centre
        = QPointF(view.viewport()->mapTo(&view, line.topLeft())) + QPointF(0, line.height() / 2.0);
    return centre.y() - view.gutter()->y();
}

qreal placementCentre(const ScrivletTextView &view, const LineNumberGutter::NumberPlacement &p)
{
    return p.y + QFontMetricsF(view.gutter()->lineNumberFont()).height() / 2;
}

struct InkCount
{
    int darker = 0;
    int lighter = 0;
};

// Pixels in the number box that differ from the background.
InkCount numberInk(const QImage &image, int boxWidth, QRgb background)
{
    InkCount ink;
    const int backgroundLightness = QColor(background).lightness();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < boxWidth; ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.rgb() == background)
                continue;
            (pixel.lightness() < backgroundLightness ? ink.darker : ink.lighter) += 1;
        }
    }
    return ink;
}

QRgb greyRgb(qreal level)
{
    return QColor::fromRgbF(float(level), float(level), float(level)).rgb();
}

} // namespace

class TestLineNumberGutter : public QObject
{
    Q_OBJECT

private slots:
    void widthFollowsDigitCount_data();
    void widthFollowsDigitCount();
    void emptyTextWidth_data();
    void emptyTextWidth();
    void fontSizeChangesWidthBoldDoesNot_data();
    void fontSizeChangesWidthBoldDoesNot();
    void hidingNumbersKeepsWidth();
    void paintsInTheWindowsAppearance_data();
    void paintsInTheWindowsAppearance();
    void numbersEachLogicalLine_data();
    void numbersEachLogicalLine();
    void wrappedLineKeepsNumberInViewWhenScrolled_data();
    void wrappedLineKeepsNumberInViewWhenScrolled();
    void numbersOnlyTheVisibleLines_data();
    void numbersOnlyTheVisibleLines();
    void fontCacheKey_data();
    void fontCacheKey();
    void unknownFamilyFallsBackToFixedPitch_data();
    void unknownFamilyFallsBackToFixedPitch();
    void installedFamilyIsUsed();
};

void TestLineNumberGutter::widthFollowsDigitCount_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addRow("13 points") << qint64(13);
    QTest::addRow("24 points") << qint64(24);
}

void TestLineNumberGutter::widthFollowsDigitCount()
{
    QFETCH(qint64, size);
    const auto view = makeEditor(size);
    LineNumberGutter *gutter = view->gutter();
    view->document()->setText(numberedLines(99));
    const int twoDigits = gutter->thickness();
    QVERIFY(std::abs(twoDigits - expectedThickness(2, size)) <= 1.0);
    QSignalSpy spy(gutter, &LineNumberGutter::thicknessChanged);

    TextDocument *document = view->document();
    document->replace(document->length(), 0, u"\n100");
    QVERIFY(gutter->thickness() > twoDigits);
    QVERIFY(std::abs(gutter->thickness() - expectedThickness(3, size)) <= 1.0);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), gutter->thickness());

    document->replace(document->length() - 4, 4, {});
    QCOMPARE(gutter->thickness(), twoDigits);
    QCOMPARE(spy.count(), 2);

    // Nothing later finds anything left to change.
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(gutter->width(), twoDigits);
}

void TestLineNumberGutter::emptyTextWidth_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addRow("small font keeps the minimum") << qint64(9);
    QTest::addRow("editor default") << qint64(13);
    QTest::addRow("large font widens it") << qint64(40);
}

void TestLineNumberGutter::emptyTextWidth()
{
    QFETCH(qint64, size);
    const auto view = makeEditor(size);
    view->document()->setText(QString());
    const int thickness = view->gutter()->thickness();
    QVERIFY(thickness >= 40);
    QVERIFY2(std::abs(thickness - expectedThickness(2, size)) <= 1.0,
        qPrintable(QString::number(thickness)));
}

void TestLineNumberGutter::fontSizeChangesWidthBoldDoesNot_data()
{
    QTest::addColumn<qint64>("fromSize");
    QTest::addColumn<qint64>("toSize");
    QTest::addRow("larger") << qint64(13) << qint64(30);
    QTest::addRow("smaller") << qint64(30) << qint64(13);
}

void TestLineNumberGutter::fontSizeChangesWidthBoldDoesNot()
{
    QFETCH(qint64, fromSize);
    QFETCH(qint64, toSize);
    const auto view = makeEditor(fromSize);
    LineNumberGutter *gutter = view->gutter();
    view->document()->setText(numberedLines(150));
    const int before = gutter->thickness();

    gutter->updateFont(editorFamily, toSize);
    QCOMPARE(gutter->lineNumberFont().pointSize(), int(toSize));
    QCOMPARE(gutter->thickness() > before, toSize > fromSize);
    QVERIFY(std::abs(gutter->thickness() - expectedThickness(3, toSize)) <= 1.0);

    // The editor turns bold on: it sets its own font and hands the gutter family and size.
    const int resized = gutter->thickness();
    QSignalSpy spy(gutter, &LineNumberGutter::thicknessChanged);
    view->setFont(FontCache::font(editorFamily, toSize, true));
    gutter->updateFont(editorFamily, toSize);
    QCOMPARE(gutter->thickness(), resized);
    QVERIFY(!gutter->lineNumberFont().bold());
    QCOMPARE(spy.count(), 0);
}

void TestLineNumberGutter::hidingNumbersKeepsWidth()
{
    const auto view = makeEditor();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    LineNumberGutter *gutter = view->gutter();
    view->document()->setText(numberedLines(120));
    const int thickness = gutter->thickness();
    const int boxWidth = thickness - 8;
    const QRgb background = greyRgb(0.95);
    QSignalSpy spy(gutter, &LineNumberGutter::thicknessChanged);
    QVERIFY(numberInk(gutter->grab().toImage(), boxWidth, background).darker > 0);

    gutter->setShowLineNumbers(false);
    QVERIFY(!gutter->showLineNumbers());
    QCOMPARE(gutter->thickness(), thickness);
    QCOMPARE(gutter->width(), thickness);
    const InkCount hidden = numberInk(gutter->grab().toImage(), boxWidth, background);
    QCOMPARE(hidden.darker + hidden.lighter, 0);

    gutter->setShowLineNumbers(true);
    QCOMPARE(gutter->thickness(), thickness);
    QVERIFY(numberInk(gutter->grab().toImage(), boxWidth, background).darker > 0);
    QCOMPARE(spy.count(), 0);
}

void TestLineNumberGutter::paintsInTheWindowsAppearance_data()
{
    QTest::addColumn<ColorScheme>("scheme");
    QTest::addColumn<qreal>("background");
    QTest::addColumn<qreal>("separator");
    QTest::addRow("light window") << ColorScheme::Light << 0.95 << 0.85;
    QTest::addRow("dark window") << ColorScheme::Dark << 0.15 << 0.25;
}

// The appearance is switched after a first paint, on the window only, with nothing said to the
// gutter: it must pick its shades again from the window on the next paint.
void TestLineNumberGutter::paintsInTheWindowsAppearance()
{
    QFETCH(ColorScheme, scheme);
    QFETCH(qreal, background);
    QFETCH(qreal, separator);
    const auto view = makeEditor();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    view->document()->setText(numberedLines(30));
    LineNumberGutter *gutter = view->gutter();
    const ColorScheme other = scheme == ColorScheme::Dark ? ColorScheme::Light : ColorScheme::Dark;
    view->setPalette(AppearancePalette::forScheme(other));
    gutter->grab();

    view->setPalette(AppearancePalette::forScheme(scheme));
    const QImage image = gutter->grab().toImage();
    QCOMPARE(image.pixel(1, 1), greyRgb(background));
    QCOMPARE(image.pixel(image.width() - 1, image.height() / 2), greyRgb(separator));
    QCOMPARE(image.pixel(image.width() - 2, image.height() / 2), greyRgb(background));
    const InkCount ink = numberInk(image, gutter->thickness() - 8, greyRgb(background));
    if (scheme == ColorScheme::Dark) {
        QVERIFY(ink.lighter > 0);
        QCOMPARE(ink.darker, 0);
    } else {
        QVERIFY(ink.darker > 0);
        QCOMPARE(ink.lighter, 0);
    }
}

void TestLineNumberGutter::numbersEachLogicalLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("numbers");
    QTest::addRow("empty text") << QString() << QList<int> {1};
    QTest::addRow("one line") << QStringLiteral("abc") << QList<int> {1};
    QTest::addRow("letter and final LF") << QStringLiteral("a\n") << QList<int> {1, 2};
    QTest::addRow("blank lines") << QStringLiteral("a\n\n\nb") << QList<int> {1, 2, 3, 4};
    QTest::addRow("lone CR") << QStringLiteral("a\rb") << QList<int> {1, 2};
    QTest::addRow("CR LF is one break") << QStringLiteral("a\r\nb") << QList<int> {1, 2};
    QTest::addRow("wrapped line") << QString(300, u'w') + QStringLiteral("\nb")
                                  << QList<int> {1, 2};
    QTest::addRow("wrapped words")
        << QStringList(60, QStringLiteral("word")).join(u' ') + QStringLiteral("\n\nend")
        << QList<int> {1, 2, 3};
}

// Each number sits centred on the first visual line of its line, which is where the text view
// shows the line's first character.
void TestLineNumberGutter::numbersEachLogicalLine()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, numbers);
    const auto view = makeEditor();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    view->document()->setText(text);
    const auto placements = view->gutter()->visiblePlacements();
    QCOMPARE(numbersOf(placements), numbers);
    for (const auto &placement : placements) {
        const qsizetype lineStart = view->document()->lineStart(placement.number - 1);
        QVERIFY(std::abs(placementCentre(*view, placement) - lineCentreInGutter(*view, lineStart))
            <= 1.0);
    }
}

void TestLineNumberGutter::wrappedLineKeepsNumberInViewWhenScrolled_data()
{
    QTest::addColumn<int>("scrolledLines");
    QTest::addRow("first fragment above the top") << 1;
    QTest::addRow("two fragments above the top") << 2;
    QTest::addRow("all but the last fragment above the top") << -1;
}

void TestLineNumberGutter::wrappedLineKeepsNumberInViewWhenScrolled()
{
    QFETCH(int, scrolledLines);
    const auto view = makeEditor();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    view->document()->setText(QString(400, u'w') + u'\n' + numberedLines(40));
    const QTextLayout *wrapped = view->layouts().layout(TextBlock {0, 0});
    const int fragments = wrapped->lineCount();
    QVERIFY(fragments >= 4);
    if (scrolledLines < 0)
        scrolledLines = fragments - 1;
    const int topFragment = wrapped->lineAt(scrolledLines).textStart();

    view->scrollByRows(scrolledLines);
    const auto placements = view->gutter()->visiblePlacements();
    QVERIFY(placements.size() >= 2);
    QCOMPARE(placements.at(0).number, 1);
    QCOMPARE(placements.at(1).number, 2);
    QVERIFY(
        std::abs(placementCentre(*view, placements.at(0)) - lineCentreInGutter(*view, topFragment))
        <= 1.0);
}

void TestLineNumberGutter::numbersOnlyTheVisibleLines_data()
{
    QTest::addColumn<int>("scrollTo");
    QTest::addColumn<int>("firstNumber");
    QTest::addRow("top") << 0 << 1;
    QTest::addRow("middle") << 500 << 501;
    QTest::addRow("end") << -1 << -1;
}

void TestLineNumberGutter::numbersOnlyTheVisibleLines()
{
    QFETCH(int, scrollTo);
    QFETCH(int, firstNumber);
    const auto view = makeEditor();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    view->document()->setText(numberedLines(1000) + u'\n');
    QScrollBar *bar = view->verticalScrollBar();
    bar->setValue(scrollTo < 0 ? bar->maximum() : scrollTo);

    const QList<int> numbers = numbersOf(view->gutter()->visiblePlacements());
    QVERIFY(!numbers.isEmpty());
    QVERIFY(numbers.size() < 40);
    for (qsizetype i = 1; i < numbers.size(); ++i)
        QCOMPARE(numbers.at(i), numbers.at(i - 1) + 1);
    if (firstNumber > 0)
        QCOMPARE(numbers.first(), firstNumber);
    else
        QCOMPARE(numbers.last(), 1001);
}

void TestLineNumberGutter::fontCacheKey_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QString>("key");
    QTest::addRow("regular") << QStringLiteral("Menlo") << qint64(13) << false
                             << QStringLiteral("Menlo-13-false");
    QTest::addRow("bold, spaces in the family")
        << QStringLiteral("Fira Code") << qint64(9) << true << QStringLiteral("Fira Code-9-true");
    QTest::addRow("empty family") << QString() << qint64(0) << true << QStringLiteral("-0-true");
}

void TestLineNumberGutter::fontCacheKey()
{
    QFETCH(QString, family);
    QFETCH(qint64, size);
    QFETCH(bool, bold);
    QFETCH(QString, key);
    QCOMPARE(FontCache::cacheKey(family, size, bold), key);
}

void TestLineNumberGutter::unknownFamilyFallsBackToFixedPitch_data()
{
    QTest::addColumn<bool>("bold");
    QTest::addRow("bold") << true;
    QTest::addRow("regular") << false;
}

void TestLineNumberGutter::unknownFamilyFallsBackToFixedPitch()
{
    QFETCH(bool, bold);
    const QString family
        = QStringLiteral("Scrivlet Missing Family ") + QString::fromLatin1(QTest::currentDataTag());
    QVERIFY(!QFontDatabase::hasFamily(family));
    const QString key = family + (bold ? QStringLiteral("-13-true") : QStringLiteral("-13-false"));
    QVERIFY(!FontCache::isCached(key));

    const QFont font = FontCache::font(family, 13, bold);
    QVERIFY(FontCache::isCached(key));
    QVERIFY(!FontCache::isCached(FontCache::cacheKey(family, 13, !bold)));
    QCOMPARE(font.family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
    QCOMPARE(font.pointSize(), 13);
    QCOMPARE(font.bold(), bold);
    const QFontMetricsF metrics(font);
    QCOMPARE(metrics.horizontalAdvance(u'i'), metrics.horizontalAdvance(u'W'));
    QCOMPARE(FontCache::font(family, 13, bold), font);
}

void TestLineNumberGutter::installedFamilyIsUsed()
{
    if (!QFontDatabase::hasFamily(editorFamily))
        QSKIP("DejaVu Sans Mono is not installed");
    const QFont font = FontCache::font(editorFamily, 15, true);
    QCOMPARE(QFontInfo(font).family(), editorFamily);
    QCOMPARE(font.pointSize(), 15);
    QVERIFY(font.bold());
    QVERIFY(!FontCache::font(editorFamily, 15, false).bold());
}

SCRIVLET_TEST_MAIN(TestLineNumberGutter)
#include "tst_LineNumberGutter.moc"
