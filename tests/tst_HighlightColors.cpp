#include "HighlightColors.h"
#include "TestEnvironment.h"

#include <QColor>

using HighlightColors::contrastRatio;

namespace {

// Whether any colour at all (on a grid of the RGB cube) reads with the text and stands out from
// the background: where none does, a fill can only be readable.
bool someFillCouldStandOut(const QColor &background, const QColor &text)
{
    for (int red = 0; red <= 255; red += 15) {
        for (int green = 0; green <= 255; green += 15) {
            for (int blue = 0; blue <= 255; blue += 15) {
                const QColor fill(red, green, blue);
                if (contrastRatio(fill, text) >= HighlightColors::minimumTextContrast
                    && HighlightColors::distinctFrom(fill, background))
                    return true;
            }
        }
    }
    return false;
}

} // namespace

class TestHighlightColors : public QObject
{
    Q_OBJECT

private slots:
    void contrastRatioMatchesKnownValues_data();
    void contrastRatioMatchesKnownValues();
    void textStaysReadableOverEveryFill_data();
    void textStaysReadableOverEveryFill();
};

void TestHighlightColors::contrastRatioMatchesKnownValues_data()
{
    QTest::addColumn<QColor>("first");
    QTest::addColumn<QColor>("second");
    QTest::addColumn<double>("expected");

    QTest::addRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
    QTest::addRow("order does not matter") << QColor(Qt::white) << QColor(Qt::black) << 21.0;
    QTest::addRow("same colour") << QColor(0x33, 0x66, 0x99) << QColor(0x33, 0x66, 0x99) << 1.0;
    // Reference figures of the WCAG formula.
    QTest::addRow("#767676 on white") << QColor(0x76, 0x76, 0x76) << QColor(Qt::white) << 4.54;
    QTest::addRow("white on #003366") << QColor(Qt::white) << QColor(0x00, 0x33, 0x66) << 12.6;
}

void TestHighlightColors::contrastRatioMatchesKnownValues()
{
    QFETCH(QColor, first);
    QFETCH(QColor, second);
    QFETCH(double, expected);
    QVERIFY2(std::abs(contrastRatio(first, second) - expected) < 0.01 * expected,
        qPrintable(QString::number(contrastRatio(first, second))));
}

void TestHighlightColors::textStaysReadableOverEveryFill_data()
{
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("text");

    const QList<std::pair<const char *, QColor>> backgrounds {
        {"white", QColor(Qt::white)},
        {"black", QColor(Qt::black)},
        {"#003366", QColor(0x00, 0x33, 0x66)},
        {"dark appearance #1E1E1E", QColor(0x1E, 0x1E, 0x1E)},
        {"mid grey", QColor(0x80, 0x80, 0x80)},
        {"red", QColor(Qt::red)},
        {"green", QColor(Qt::green)},
        {"blue", QColor(Qt::blue)},
        {"yellow", QColor(Qt::yellow)},
        {"orange", QColor(0xFF, 0x88, 0x00)},
        {"magenta", QColor(Qt::magenta)},
        {"pale yellow", QColor(0xFF, 0xFF, 0xCC)},
    };
    const QList<std::pair<const char *, QColor>> texts {
        {"black", QColor(Qt::black)},
        {"white", QColor(Qt::white)},
        {"light grey #E6E6E6", QColor(0xE6, 0xE6, 0xE6)},
        {"mid grey", QColor(0x77, 0x77, 0x77)},
        {"yellow", QColor(Qt::yellow)},
        {"dark blue", QColor(0x00, 0x00, 0x80)},
    };
    for (const auto &[backgroundName, background] : backgrounds) {
        for (const auto &[textName, text] : texts)
            QTest::addRow("%s text on %s", textName, backgroundName) << background << text;
    }
}

// Whatever the user's colours, even a pair that reads poorly itself: the text over a match has
// at least 4.5:1 (black or white always gets there), each fill shows against the background
// unless no readable colour could, and the current match shows against the others where the
// text leaves room for that.
void TestHighlightColors::textStaysReadableOverEveryFill()
{
    QFETCH(QColor, background);
    QFETCH(QColor, text);
    const HighlightColors::Pair fills = HighlightColors::forColors(background, text);
    QVERIFY(fills.match.isValid() && fills.currentMatch.isValid());
    QCOMPARE(fills.match.alpha(), 255);
    QCOMPARE(fills.currentMatch.alpha(), 255);
    for (const QColor &fill : {fills.match, fills.currentMatch}) {
        const QString figures = fills.match.name() + u'/' + fills.currentMatch.name() + u' '
            + fill.name() + QStringLiteral(": text ")
            + QString::number(contrastRatio(fill, text), 'f', 2) + QStringLiteral(":1, background ")
            + QString::number(contrastRatio(fill, background), 'f', 2) + QStringLiteral(":1");
        QVERIFY2(
            contrastRatio(fill, text) >= HighlightColors::minimumTextContrast, qPrintable(figures));
        QVERIFY2(HighlightColors::distinctFrom(fill, background)
                || !someFillCouldStandOut(background, text),
            qPrintable(figures));
    }
    // Text that reads at 7:1 on black or on white leaves room for two fills that differ; a mid
    // grey may leave only the darkest shades of one family.
    const bool roomForTwo
        = contrastRatio(text, Qt::black) >= 7 || contrastRatio(text, Qt::white) >= 7;
    if (roomForTwo)
        QVERIFY2(HighlightColors::distinctFrom(fills.currentMatch, fills.match),
            qPrintable(fills.currentMatch.name() + u' ' + fills.match.name()));
}

SCRIVLET_TEST_MAIN(TestHighlightColors)
#include "tst_HighlightColors.moc"
