#include "GoToLineDialog.h"
#include "ScrivletTextView.h"
#include "TestEnvironment.h"
#include "TextDocument.h"
#include "TextLines.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::optional<LineTarget>)

class TestTextLines : public QObject
{
    Q_OBJECT

private slots:
    void parses_data();
    void parses();
    void positions_data();
    void positions();
    void dialogMovesTheCursorOrMarksTheField_data();
    void dialogMovesTheCursorOrMarksTheField();
};

void TestTextLines::parses_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<std::optional<LineTarget>>("expected");
    using Target = std::optional<LineTarget>;
    QTest::addRow("line") << u"120"_s << Target(LineTarget {120, 1});
    QTest::addRow("line:column") << u"120:7"_s << Target(LineTarget {120, 7});
    QTest::addRow("spaces around") << u"  12 : 3 "_s << Target(LineTarget {12, 3});
    QTest::addRow("leading zeros") << u"007"_s << Target(LineTarget {7, 1});
    QTest::addRow("past int is past the end")
        << u"99999999999"_s << Target(LineTarget {std::numeric_limits<int>::max(), 1});
    QTest::addRow("empty") << QString() << Target();
    QTest::addRow("zero") << u"0"_s << Target();
    QTest::addRow("negative") << u"-3"_s << Target();
    QTest::addRow("plus sign") << u"+3"_s << Target();
    QTest::addRow("letters") << u"twelve"_s << Target();
    QTest::addRow("number then letters") << u"12a"_s << Target();
    QTest::addRow("empty column") << u"12:"_s << Target();
    QTest::addRow("no line") << u":5"_s << Target();
    QTest::addRow("two colons") << u"1:2:3"_s << Target();
    QTest::addRow("zero column") << u"4:0"_s << Target();
    QTest::addRow("decimal") << u"1.5"_s << Target();
    QTest::addRow("Arabic-Indic digits") << u"\u0661\u0662"_s << Target();
}

void TestTextLines::parses()
{
    QFETCH(QString, input);
    QFETCH(std::optional<LineTarget>, expected);
    QCOMPARE(TextLines::parse(input), expected);
}

void TestTextLines::positions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("expected");
    const QString text = u"abc\ndef\n\nxyz"_s;
    QTest::addRow("first line") << text << 1 << 1 << 0;
    QTest::addRow("second line") << text << 2 << 1 << 4;
    QTest::addRow("second line, third column") << text << 2 << 3 << 6;
    QTest::addRow("column past the end of the line") << text << 2 << 99 << 7;
    QTest::addRow("empty line") << text << 3 << 5 << 8;
    QTest::addRow("last line") << text << 4 << 1 << 9;
    QTest::addRow("line past the end: the last line") << text << 40 << 1 << 9;
    QTest::addRow("far past the end, with a column")
        << text << std::numeric_limits<int>::max() << 2 << 10;
    QTest::addRow("empty text") << QString() << 3 << 3 << 0;
    QTest::addRow("final line break: its empty line") << u"a\n"_s << 9 << 1 << 2;
    QTest::addRow("inside a surrogate pair: before it") << u"a\U0001F600b"_s << 1 << 3 << 1;
    QTest::addRow("after a surrogate pair") << u"a\U0001F600b"_s << 1 << 4 << 3;
    QTest::addRow("CR LF ends a line") << u"ab\r\ncd"_s << 2 << 2 << 5;
    QTest::addRow("column past a line ending in CR LF") << u"ab\r\ncd"_s << 1 << 9 << 2;
    QTest::addRow("lone CR ends a line") << u"ab\rcd\ref"_s << 3 << 1 << 6;
    QTest::addRow("U+2029 is no line break") << u"a\u2029b\nc"_s << 2 << 1 << 4;
    QTest::addRow("long line, far column")
        << u"x\n"_s + QString(25'000, u'y') + u"\nz"_s << 2 << 24'990 << 2 + 24'989;
}

void TestTextLines::positions()
{
    QFETCH(QString, text);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(int, expected);
    const TextDocument document(text);
    QCOMPARE(TextLines::position(document, {line, column}), qsizetype(expected));
}

void TestTextLines::dialogMovesTheCursorOrMarksTheField_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("cursor"); // -1: refused, the dialog stays
    QTest::addRow("line") << u"3"_s << 8;
    QTest::addRow("line:column") << u"2:2"_s << 5;
    QTest::addRow("out of range") << u"500"_s << 9;
    QTest::addRow("empty: the line the cursor is on") << QString() << 0;
    QTest::addRow("garbage") << u"three"_s << -1;
}

void TestTextLines::dialogMovesTheCursorOrMarksTheField()
{
    QFETCH(QString, typed);
    QFETCH(int, cursor);
    ScrivletTextView view;
    view.document()->setText(u"abc\ndef\n\nxyz"_s);
    view.show();
    GoToLineDialog dialog(&view);
    dialog.show();
    QVERIFY(!dialog.field()->accessibleName().isEmpty());
    QTest::keyClicks(dialog.field(), typed);
    QTest::keyClick(dialog.field(), Qt::Key_Return);
    if (cursor < 0) {
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.message()->isVisible());
        QVERIFY(dialog.field()->property("invalid").toBool());
        QCOMPARE(view.cursorPosition(), 0);
        // Typing again clears the mark.
        QTest::keyClick(dialog.field(), Qt::Key_Backspace);
        QVERIFY(!dialog.field()->property("invalid").toBool());
        QVERIFY(!dialog.message()->isVisible());
    } else {
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(view.cursorPosition(), cursor);
    }
}

SCRIVLET_TEST_MAIN(TestTextLines)

#include "tst_TextLines.moc"
