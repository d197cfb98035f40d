#include "AppearancePalette.h"
#include "DesktopColorScheme.h"
#include "HighlightColors.h"
#include "TestEnvironment.h"

#include <QApplication>

#include <algorithm>

using namespace Qt::StringLiterals;

class TestAppearancePalette : public QObject
{
    Q_OBJECT

private slots:
    void secondaryTextReadsOnEveryBackground_data();
    void secondaryTextReadsOnEveryBackground();
    void bothAppearancesHaveReadablePlaceholders_data();
    void bothAppearancesHaveReadablePlaceholders();
};

namespace {

double weakestContrast(const QColor &color, const QList<QColor> &backgrounds)
{
    double weakest = 21;
    for (const QColor &background : backgrounds)
        weakest = std::min(weakest, HighlightColors::contrastRatio(color, background));
    return weakest;
}

QColor over(const QColor &color, const QColor &background)
{
    const double alpha = color.alphaF();
    return QColor::fromRgbF(float(color.redF() * alpha + background.redF() * (1 - alpha)),
        float(color.greenF() * alpha + background.greenF() * (1 - alpha)),
        float(color.blueF() * alpha + background.blueF() * (1 - alpha)));
}

} // namespace

void TestAppearancePalette::secondaryTextReadsOnEveryBackground_data()
{
    QTest::addColumn<QColor>("preferred");
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QList<QColor>>("backgrounds");
    const QColor halfBlack(0, 0, 0, 0x80);
    const QColor halfWhite(0xFF, 0xFF, 0xFF, 0x80);
    QTest::addRow("half black on a light grey window and white fields")
        << halfBlack << QColor(Qt::black) << QList<QColor> {QColor(0xEFEFEF), QColor(Qt::white)};
    QTest::addRow("half white on a dark window and darker fields")
        << halfWhite << QColor(0xE6E6E6) << QList<QColor> {QColor(0x2B2B2B), QColor(0x1E1E1E)};
    QTest::addRow("grey on a middle grey")
        << QColor(0x555555) << QColor(Qt::black) << QList<QColor> {QColor(0x808080)};
    QTest::addRow("grey on sepia paper")
        << QColor(0xA0A0A0) << QColor(0x3B2F2F) << QList<QColor> {QColor(0xF4ECD8)};
    QTest::addRow("muted teal on a dark teal")
        << QColor(0x586E75) << QColor(0x93A1A1) << QList<QColor> {QColor(0x002B36)};
    QTest::addRow("blue-grey on a pale blue window and white fields") << QColor(
        0x8899AA) << QColor(0x102030) << QList<QColor> {QColor(0xDDE8F4), QColor(Qt::white)};
    QTest::addRow("already readable grey")
        << QColor(0x595959) << QColor(Qt::black) << QList<QColor> {QColor(Qt::white)};
}

// The colour reads at 4.5:1 on every background; it changes only as far as that takes, so it
// stays a secondary shade (not the text's own colour) wherever one reads.
void TestAppearancePalette::secondaryTextReadsOnEveryBackground()
{
    QFETCH(QColor, preferred);
    QFETCH(QColor, text);
    QFETCH(QList<QColor>, backgrounds);
    const QColor secondary = AppearancePalette::readableSecondaryText(preferred, text, backgrounds);
    const double contrast = weakestContrast(secondary, backgrounds);
    QVERIFY2(contrast >= HighlightColors::minimumTextContrast,
        qPrintable(u"%1 reaches only %2:1"_s.arg(secondary.name()).arg(contrast)));
    QCOMPARE(secondary.alpha(), 255);
    const QColor start = over(preferred, backgrounds.first());
    if (weakestContrast(start, backgrounds) >= HighlightColors::minimumTextContrast) {
        QVERIFY2(
            HighlightColors::contrastRatio(secondary, start) < 1.02, qPrintable(secondary.name()));
        return;
    }
    QVERIFY2(contrast < HighlightColors::minimumTextContrast + 0.25,
        qPrintable(u"%1 gives %2:1, more than it needs"_s.arg(secondary.name()).arg(contrast)));
    QVERIFY2(secondary != text, qPrintable(secondary.name()));
}

void TestAppearancePalette::bothAppearancesHaveReadablePlaceholders_data()
{
    QTest::addColumn<ColorScheme>("scheme");
    QTest::addColumn<QPalette::ColorGroup>("group");
    QTest::addRow("light, active") << ColorScheme::Light << QPalette::Active;
    QTest::addRow("light, inactive") << ColorScheme::Light << QPalette::Inactive;
    QTest::addRow("dark, active") << ColorScheme::Dark << QPalette::Active;
    QTest::addRow("dark, inactive") << ColorScheme::Dark << QPalette::Inactive;
    QTest::addRow("the desktop's, active") << ColorScheme::None << QPalette::Active;
    QTest::addRow("the desktop's, inactive") << ColorScheme::None << QPalette::Inactive;
}

// Captions and the find panel's match count sit on the window colour, placeholders on the
// fields' base colour. The desktop's palette is the style's, as every window takes it.
void TestAppearancePalette::bothAppearancesHaveReadablePlaceholders()
{
    QFETCH(ColorScheme, scheme);
    QFETCH(QPalette::ColorGroup, group);
    DesktopColorScheme::follow();
    const QPalette palette = AppearancePalette::forScheme(scheme);
    const QColor secondary = palette.color(group, QPalette::PlaceholderText);
    for (const QPalette::ColorRole role : {QPalette::Window, QPalette::Base}) {
        const QColor background = palette.color(group, role);
        // As painted: a translucent colour lets the background through.
        const double contrast
            = HighlightColors::contrastRatio(over(secondary, background), background);
        QVERIFY2(contrast >= HighlightColors::minimumTextContrast,
            qPrintable(u"%1 on %2: %3:1"_s.arg(secondary.name(QColor::HexArgb), background.name())
                           .arg(contrast)));
    }
    QVERIFY(secondary != palette.color(group, QPalette::WindowText));
}

SCRIVLET_TEST_MAIN(TestAppearancePalette)
#include "tst_AppearancePalette.moc"
