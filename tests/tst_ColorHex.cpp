#include "ColorHex.h"
#include "TestEnvironment.h"

#include <QApplication>

#include <cmath>
#include <limits>

using ColorHex::Rgb;

Q_DECLARE_METATYPE(std::optional<Rgb>)
Q_DECLARE_METATYPE(Rgb)

namespace ColorHex {

// Lets a failing comparison print the components.
char *toString(const Rgb &rgb)
{
    return QTest::toString(
        QStringLiteral("(%1, %2, %3)").arg(rgb.red).arg(rgb.green).arg(rgb.blue));
}

} // namespace ColorHex

namespace {

constexpr Rgb orange {1.0, 136.0 / 255.0, 0.0};

} // namespace

class TestColorHex : public QObject
{
    Q_OBJECT

private slots:
    void decodes_data();
    void decodes();
    void encodes_data();
    void encodes();
    void roundTripsEveryChannelValue();
    void wrapsQColor_data();
    void wrapsQColor();
};

void TestColorHex::decodes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<Rgb>>("expected");
    const std::optional<Rgb> none;

    QTest::addRow("upper case with hash") << QStringLiteral("#FF8800") << std::optional(orange);
    QTest::addRow("lower case without hash") << QStringLiteral("ff8800") << std::optional(orange);
    QTest::addRow("two hashes") << QStringLiteral("##FF8800") << std::optional(orange);
    QTest::addRow("padded with spaces and a newline")
        << QStringLiteral("  #ff8800\n") << std::optional(orange);
    QTest::addRow("padded with tab, NBSP, U+2028, U+3000, NEL")
        << QStringLiteral("\t\u00A0\u2028#ff8800\u3000\u0085") << std::optional(orange);
    QTest::addRow("hash inside the digits") << QStringLiteral("FF#8800") << std::optional(orange);
    QTest::addRow("channel order")
        << QStringLiteral("#010203") << std::optional(Rgb {1 / 255.0, 2 / 255.0, 3 / 255.0});
    QTest::addRow("plus and five digits")
        << QStringLiteral("+12345") << std::optional(Rgb {1 / 255.0, 0x23 / 255.0, 0x45 / 255.0});
    QTest::addRow("minus and five zeros")
        << QStringLiteral("-00000") << std::optional(Rgb {0, 0, 0});
    QTest::addRow("minus and a non-zero value") << QStringLiteral("-00001") << none;
    QTest::addRow("sign in the middle") << QStringLiteral("12+345") << none;
    QTest::addRow("three digits") << QStringLiteral("#F80") << none;
    QTest::addRow("eight digits") << QStringLiteral("#FF880080") << none;
    QTest::addRow("empty") << QString() << none;
    QTest::addRow("lone hash") << QStringLiteral("#") << none;
    QTest::addRow("only whitespace") << QStringLiteral(" \n\t") << none;
    QTest::addRow("inner space stays") << QStringLiteral("#FF 880") << none;
    QTest::addRow("non-hex letter") << QStringLiteral("#FF88G0") << none;
    QTest::addRow("the word orange") << QStringLiteral("orange") << none;
    QTest::addRow("six digits with a combining mark") << QStringLiteral("FF8800\u0301") << none;
    QTest::addRow("lone surrogate in six units") << QStringLiteral("FF880\xD800") << none;
}

void TestColorHex::decodes()
{
    QFETCH(QString, text);
    QFETCH(std::optional<Rgb>, expected);
    const std::optional<Rgb> decoded = ColorHex::decodeHexColor(text);
    QCOMPARE(decoded.has_value(), expected.has_value());
    if (expected)
        QCOMPARE(*decoded, *expected);
}

void TestColorHex::encodes_data()
{
    QTest::addColumn<Rgb>("rgb");
    QTest::addColumn<QString>("expected");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();

    QTest::addRow("half rounds up") << Rgb {1.0, 0.5, 0.0} << QStringLiteral("#FF8000");
    QTest::addRow("black") << Rgb {0, 0, 0} << QStringLiteral("#000000");
    QTest::addRow("white") << Rgb {1, 1, 1} << QStringLiteral("#FFFFFF");
    QTest::addRow("upper-case digits")
        << Rgb {0xAB / 255.0, 0xCD / 255.0, 0xEF / 255.0} << QStringLiteral("#ABCDEF");
    QTest::addRow("just below a half rounds down")
        << Rgb {0.4999 / 255.0, 0, 0} << QStringLiteral("#000000");
    QTest::addRow("above one clamps") << Rgb {1.5, 2.0, 1.0001} << QStringLiteral("#FFFFFF");
    QTest::addRow("below zero clamps") << Rgb {-0.5, -1e9, -0.0} << QStringLiteral("#000000");
    QTest::addRow("tiny negative rounds to zero")
        << Rgb {-0.001, 0.5, 1.0} << QStringLiteral("#0080FF");
    QTest::addRow("NaN is zero") << Rgb {nan, 1.0, nan} << QStringLiteral("#00FF00");
    QTest::addRow("infinities clamp") << Rgb {infinity, -infinity, 0} << QStringLiteral("#FF0000");
}

void TestColorHex::encodes()
{
    QFETCH(Rgb, rgb);
    QFETCH(QString, expected);
    QCOMPARE(ColorHex::encodeHexColor(rgb), expected);
}

void TestColorHex::roundTripsEveryChannelValue()
{
    for (int value = 0; value < 256; ++value) {
        const Rgb rgb {value / 255.0, (255 - value) / 255.0, value / 255.0};
        const QString text = ColorHex::encodeHexColor(rgb);
        QCOMPARE(ColorHex::decodeHexColor(text), std::optional(rgb));
        QCOMPARE(ColorHex::hexString(*ColorHex::colorFromHex(text)), text);
    }
}

void TestColorHex::wrapsQColor_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<QString>("expected");

    QTest::addRow("opaque orange") << QColor(255, 136, 0) << QStringLiteral("#FF8800");
    QTest::addRow("half-transparent orange drops alpha")
        << QColor(255, 136, 0, 128) << QStringLiteral("#FF8800");
    QTest::addRow("HSV colour is converted")
        << QColor::fromHsv(120, 255, 255) << QStringLiteral("#00FF00");
    QTest::addRow("invalid colour") << QColor() << QStringLiteral("#000000");
}

void TestColorHex::wrapsQColor()
{
    QFETCH(QColor, color);
    QFETCH(QString, expected);
    const QString text = ColorHex::hexString(color);
    QCOMPARE(text, expected);
    const std::optional<QColor> decoded = ColorHex::colorFromHex(text);
    QVERIFY(decoded);
    QCOMPARE(decoded->alpha(), 255);
    QCOMPARE(decoded->rgb(), QColor(expected).rgb());
}

SCRIVLET_TEST_MAIN(TestColorHex)
#include "tst_ColorHex.moc"
