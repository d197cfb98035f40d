#include "TestEnvironment.h"
#include "TextDocument.h"
#include "TextView.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QTextLine>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Presses each key sequence in turn ("Right", "Shift+End", "Ctrl+Z").
void press(QWidget *widget, const QStringList &keys)
{
    for (const QString &key : keys)
        QTest::keySequence(widget, QKeySequence(key));
}

// Types each character as a key press carrying it, as a keyboard layout delivers it.
void type(QWidget *widget, const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype units = text[i].isHighSurrogate() ? 2 : 1;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text.mid(i, units));
        QApplication::sendEvent(widget, &press);
        i += units - 1;
    }
}

// A long line of words, as minified text or a log without line breaks holds.
QString longLine(qsizetype length)
{
    QString text;
    text.reserve(length);
    static const QString words[] = {u"alpha "_s, u"beta "_s, u"gamma, "_s, u"délta "_s};
    for (int i = 0; text.size() < length; ++i)
        text += words[i % 4];
    text.truncate(length);
    return text;
}

// One edit of a text: `removed` units at `position` become `inserted`.
struct Edit
{
    qsizetype position = 0;
    qsizetype removed = 0;
    QString inserted;
};

} // namespace

Q_DECLARE_METATYPE(VisualRow)

namespace QTest {
template<> char *toString(const VisualRow &row)
{
    return qstrdup(QByteArray::number(row.block.line) + ':' + QByteArray::number(row.block.segment)
        + ':' + QByteArray::number(row.row));
}
} // namespace QTest

class TestTextView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void caretMovesByKeys_data();
    void caretMovesByKeys();
    void editsByKeys_data();
    void editsByKeys();
    void undoAndRedoPutTheCaretAtTheEdit_data();
    void undoAndRedoPutTheCaretAtTheEdit();
    void wrapsAtTheViewportWidth_data();
    void wrapsAtTheViewportWidth();
    void scrollsByRows_data();
    void scrollsByRows();
    void selectsByMouse_data();
    void selectsByMouse();
    void pastesThePrimarySelection();
    void pressesAndDropsOnTheSelection_data();
    void pressesAndDropsOnTheSelection();
    void paintsHighlightsAndSelection();
    void editsTheMiddleOfAHugeLine();
    void segmentsFollowEdits_data();
    void segmentsFollowEdits();
    void showsAndCommitsPreedit();
    void answersInputMethodQueries();

private:
    void show(const QString &text, int width = 420);
    QPoint pointAt(qsizetype position);

    std::unique_ptr<TextDocument> m_document;
    // The view beside another control, as in a window, where Tab must still reach the text.
    std::unique_ptr<QWidget> m_window;
    TextView *m_view = nullptr;
};

void TestTextView::init()
{
    m_document = std::make_unique<TextDocument>();
    m_window = std::make_unique<QWidget>();
    m_view = new TextView(m_window.get());
    (new QLineEdit(m_window.get()))->setGeometry(430, 0, 90, 30);
    m_view->setFont(QFont(u"DejaVu Sans Mono"_s, 10));
    m_view->setDocument(m_document.get());
}

void TestTextView::cleanup()
{
    m_window.reset();
    m_document.reset();
}

void TestTextView::show(const QString &text, int width)
{
    m_document->setText(text);
    m_view->setGeometry(0, 0, width, 300);
    m_window->resize(width + 100, 300);
    m_window->show();
    m_window->activateWindow();
    m_view->setFocus();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

QPoint TestTextView::pointAt(qsizetype position)
{
    const qsizetype saved = m_view->cursorPosition();
    m_view->setCursorPosition(position);
    const QRect caret = m_view->caretRect();
    m_view->setCursorPosition(saved);
    return caret.center();
}

void TestTextView::caretMovesByKeys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<qsizetype>("position");
    QTest::addColumn<qsizetype>("anchor");

    QTest::addRow("right steps over a surrogate pair")
        << u"a\U0001F600b"_s << qsizetype(1) << QStringList {u"Right"_s} << qsizetype(3)
        << qsizetype(3);
    QTest::addRow("right steps over a combining mark with its base")
        << u"e\u0301x"_s << qsizetype(0) << QStringList {u"Right"_s} << qsizetype(2)
        << qsizetype(2);
    QTest::addRow("right steps over CR LF at once")
        << u"a\r\nb"_s << qsizetype(1) << QStringList {u"Right"_s} << qsizetype(3) << qsizetype(3);
    QTest::addRow("left steps back over CR LF at once")
        << u"a\r\nb"_s << qsizetype(3) << QStringList {u"Left"_s} << qsizetype(1) << qsizetype(1);
    QTest::addRow("left at the start stays")
        << u"ab"_s << qsizetype(0) << QStringList {u"Left"_s} << qsizetype(0) << qsizetype(0);
    QTest::addRow("left goes towards the end of a right-to-left line")
        << u"\u05E9\u05DC\u05D5\u05DD"_s << qsizetype(1) << QStringList {u"Left"_s} << qsizetype(2)
        << qsizetype(2);
    QTest::addRow("right goes towards its start")
        << u"\u05E9\u05DC\u05D5\u05DD"_s << qsizetype(1) << QStringList {u"Right"_s} << qsizetype(0)
        << qsizetype(0);
    QTest::addRow("ctrl right goes to the next word")
        << u"one two three"_s << qsizetype(0) << QStringList {u"Ctrl+Right"_s} << qsizetype(4)
        << qsizetype(4);
    QTest::addRow("ctrl left goes to the word's start")
        << u"one two three"_s << qsizetype(10) << QStringList {u"Ctrl+Left"_s} << qsizetype(8)
        << qsizetype(8);
    QTest::addRow("ctrl right at a line's end goes to the next line")
        << u"one\ntwo"_s << qsizetype(3) << QStringList {u"Ctrl+Right"_s} << qsizetype(4)
        << qsizetype(4);
    QTest::addRow("shift right selects and keeps the anchor")
        << u"abcd"_s << qsizetype(1) << QStringList {u"Shift+Right"_s, u"Shift+Right"_s}
        << qsizetype(3) << qsizetype(1);
    QTest::addRow("left ends a selection at its start")
        << u"abcd"_s << qsizetype(1) << QStringList {u"Shift+Right"_s, u"Shift+Right"_s, u"Left"_s}
        << qsizetype(1) << qsizetype(1);
    QTest::addRow("down and down keep the column over a shorter line")
        << u"abcd\nab\nabcd"_s << qsizetype(3) << QStringList {u"Down"_s, u"Down"_s}
        << qsizetype(11) << qsizetype(11);
    QTest::addRow("up on the first line goes to the start")
        << u"abcd\nab"_s << qsizetype(2) << QStringList {u"Up"_s} << qsizetype(0) << qsizetype(0);
    QTest::addRow("down on the last line goes to the end")
        << u"ab\nabcd"_s << qsizetype(4) << QStringList {u"Down"_s} << qsizetype(7) << qsizetype(7);
    QTest::addRow("end goes to the end of the line")
        << u"abc\ndef"_s << qsizetype(1) << QStringList {u"End"_s} << qsizetype(3) << qsizetype(3);
    QTest::addRow("shift home selects to the line's start")
        << u"abc\ndef"_s << qsizetype(6) << QStringList {u"Shift+Home"_s} << qsizetype(4)
        << qsizetype(6);
    QTest::addRow("ctrl end goes to the end of the text")
        << u"abc\ndef\n"_s << qsizetype(1) << QStringList {u"Ctrl+End"_s} << qsizetype(8)
        << qsizetype(8);
    QTest::addRow("ctrl shift home selects to the start")
        << u"abc\ndef"_s << qsizetype(5) << QStringList {u"Ctrl+Shift+Home"_s} << qsizetype(0)
        << qsizetype(5);
    QTest::addRow("ctrl a selects everything")
        << u"abc\ndef"_s << qsizetype(5) << QStringList {u"Ctrl+A"_s} << qsizetype(7)
        << qsizetype(0);
    QTest::addRow("page down moves by a screenful")
        << u"x\n"_s.repeated(200) << qsizetype(0) << QStringList {u"PgDown"_s, u"PgUp"_s}
        << qsizetype(0) << qsizetype(0);
}

void TestTextView::caretMovesByKeys()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, start);
    QFETCH(QStringList, keys);
    QFETCH(qsizetype, position);
    QFETCH(qsizetype, anchor);
    show(text);
    m_view->setCursorPosition(start);
    press(m_view, keys);
    QCOMPARE(m_view->cursorPosition(), position);
    QCOMPARE(m_view->anchorPosition(), anchor);
    QCOMPARE(m_document->toString(), text);
}

void TestTextView::editsByKeys_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("result");
    QTest::addColumn<qsizetype>("position");

    QTest::addRow("typing inserts at the caret")
        << u"ad"_s << qsizetype(1) << QStringList {} << u"bc"_s << u"abcd"_s << qsizetype(3);
    QTest::addRow("typing replaces the selection")
        << u"abcd"_s << qsizetype(1) << QStringList {u"Shift+Right"_s, u"Shift+Right"_s} << u"X"_s
        << u"aXd"_s << qsizetype(2);
    QTest::addRow("backspace removes a whole surrogate pair")
        << u"a\U0001F600"_s << qsizetype(3) << QStringList {u"Backspace"_s} << QString() << u"a"_s
        << qsizetype(1);
    QTest::addRow("backspace removes CR LF at once")
        << u"a\r\nb"_s << qsizetype(3) << QStringList {u"Backspace"_s} << QString() << u"ab"_s
        << qsizetype(1);
    QTest::addRow("delete removes a base with its combining mark")
        << u"e\u0301x"_s << qsizetype(0) << QStringList {u"Delete"_s} << QString() << u"x"_s
        << qsizetype(0);
    QTest::addRow("delete at the end removes nothing")
        << u"ab"_s << qsizetype(2) << QStringList {u"Delete"_s} << QString() << u"ab"_s
        << qsizetype(2);
    QTest::addRow("backspace removes the selection only")
        << u"abcd"_s << qsizetype(3) << QStringList {u"Shift+Left"_s, u"Backspace"_s} << QString()
        << u"abd"_s << qsizetype(2);
    QTest::addRow("enter inserts a line feed")
        << u"ab"_s << qsizetype(1) << QStringList {u"Return"_s} << QString() << u"a\nb"_s
        << qsizetype(2);
    QTest::addRow("tab inserts a tab") << u"ab"_s << qsizetype(1) << QStringList {u"Tab"_s}
                                       << QString() << u"a\tb"_s << qsizetype(2);
    QTest::addRow("ctrl backspace removes the word before")
        << u"one two"_s << qsizetype(7) << QStringList {u"Ctrl+Backspace"_s} << QString()
        << u"one "_s << qsizetype(4);
    QTest::addRow("U+2029 and NUL stay as typed characters")
        << u"a"_s << qsizetype(1) << QStringList {} << u"\u2029"_s << u"a\u2029"_s << qsizetype(2);
    QTest::addRow("cut and paste move the selection")
        << u"abcd"_s << qsizetype(0)
        << QStringList {u"Shift+Right"_s, u"Ctrl+X"_s, u"End"_s, u"Ctrl+V"_s} << QString()
        << u"bcda"_s << qsizetype(4);
}

void TestTextView::editsByKeys()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, start);
    QFETCH(QStringList, keys);
    QFETCH(QString, typed);
    QFETCH(QString, result);
    QFETCH(qsizetype, position);
    show(text);
    m_view->setCursorPosition(start);
    press(m_view, keys);
    type(m_view, typed);
    QCOMPARE(m_document->toString(), result);
    QCOMPARE(m_view->cursorPosition(), position);
}

void TestTextView::undoAndRedoPutTheCaretAtTheEdit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<qsizetype>("afterUndo");
    QTest::addColumn<qsizetype>("afterRedo");

    QTest::addRow("a typed word at the end of a long text")
        << u"line\n"_s.repeated(300) << qsizetype(1500) << QStringList {u"X"_s, u"Y"_s}
        << qsizetype(1500) << qsizetype(1502);
    QTest::addRow("a deletion in the middle, caret moved away since")
        << u"one two three"_s << qsizetype(7) << QStringList {u"Backspace"_s, u"Ctrl+Home"_s}
        << qsizetype(7) << qsizetype(6);
}

void TestTextView::undoAndRedoPutTheCaretAtTheEdit()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, start);
    QFETCH(QStringList, keys);
    QFETCH(qsizetype, afterUndo);
    QFETCH(qsizetype, afterRedo);
    show(text);
    m_view->setCursorPosition(start);
    press(m_view, keys);
    const QString edited = m_document->toString();
    press(m_view, {u"Ctrl+Z"_s});
    QCOMPARE(m_document->toString(), text);
    QCOMPARE(m_view->cursorPosition(), afterUndo);
    QVERIFY(!m_view->caretRect().isEmpty());
    press(m_view, {u"Ctrl+Shift+Z"_s});
    QCOMPARE(m_document->toString(), edited);
    QCOMPARE(m_view->cursorPosition(), afterRedo);
    QVERIFY(!m_view->caretRect().isEmpty());
}

void TestTextView::wrapsAtTheViewportWidth_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("minimumRows");

    QTest::addRow("words wrap between words")
        << u"the quick brown fox jumps over the lazy dog "_s.repeated(6) << 300 << 4;
    QTest::addRow("a word longer than the row wraps anywhere") << u"x"_s.repeated(500) << 300 << 5;
    QTest::addRow("a tab counts its stop") << u"\tword"_s.repeated(40) << 300 << 4;
    QTest::addRow("right-to-left text wraps too")
        << u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD "_s.repeated(30) << 300 << 3;
}

void TestTextView::wrapsAtTheViewportWidth()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(int, minimumRows);
    show(text, width);
    QTextLayout *layout = m_view->layouts().layout({0, 0});
    const int available
        = m_view->viewport()->width() - m_view->textInsets().left() - m_view->textInsets().right();
    QCOMPARE(m_view->layouts().wrapWidth(), available);
    QCOMPARE_GE(layout->lineCount(), minimumRows);
    qsizetype shown = 0;
    for (int row = 0; row < layout->lineCount(); ++row) {
        const QTextLine line = layout->lineAt(row);
        QCOMPARE_LE(line.naturalTextWidth(), available + 0.5);
        QCOMPARE(line.textStart(), shown);
        shown += line.textLength();
    }
    QCOMPARE(shown, text.size());
    QVERIFY(!m_view->horizontalScrollBar()->isVisible());

    // Narrower, the same text takes more rows.
    const int rows = layout->lineCount();
    m_view->resize(width / 2, 300);
    QCOMPARE_GT(m_view->layouts().layout({0, 0})->lineCount(), rows);
}

void TestTextView::scrollsByRows_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("wheelNotches");
    QTest::addColumn<VisualRow>("firstRow");

    const int rows = QApplication::wheelScrollLines();
    QTest::addRow("a wheel notch scrolls lines")
        << u"line\n"_s.repeated(200) << 1 << VisualRow {{rows, 0}, 0};
    QTest::addRow("and rows inside a wrapped line")
        << longLine(5000) + u"\nend"_s << 1 << VisualRow {{0, 0}, rows};
    QTest::addRow("and on into the next segment of a long line")
        << longLine(40'000) << 30 << VisualRow {{0, 1}, 30 * rows};
    QTest::addRow("back up stops at the first row")
        << u"line\n"_s.repeated(50) << -2 << VisualRow {{0, 0}, 0};
}

void TestTextView::scrollsByRows()
{
    QFETCH(QString, text);
    QFETCH(int, wheelNotches);
    QFETCH(VisualRow, firstRow);
    show(text);
    const qsizetype rowsInFirstSegment = m_view->layouts().layout({0, 0})->lineCount();
    QWheelEvent wheel(QPointF(50, 50), m_view->viewport()->mapToGlobal(QPointF(50, 50)), {},
        {0, -120 * wheelNotches}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_view->viewport(), &wheel);
    VisualRow expected = firstRow;
    // Rows past the first segment continue in the next one.
    if (expected.block.segment > 0)
        expected.row -= int(rowsInFirstSegment);
    QCOMPARE(m_view->firstVisibleRow(), expected);
    QCOMPARE(m_view->verticalScrollBar()->value(), m_view->layouts().blockIndex(expected.block));

    // The scroll bar's end shows the last block.
    QScrollBar *bar = m_view->verticalScrollBar();
    bar->setValue(bar->maximum());
    const TextView::ShownBlock first = m_view->shownBlocks().front();
    QVERIFY(m_view->layouts().isLastBlock(first.block));
}

void TestTextView::selectsByMouse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("at");
    QTest::addColumn<int>("clicks");
    QTest::addColumn<qsizetype>("selectionStart");
    QTest::addColumn<qsizetype>("selectionEnd");

    QTest::addRow("a click places the caret")
        << u"one two\nthree"_s << qsizetype(5) << 1 << qsizetype(5) << qsizetype(5);
    QTest::addRow("a double click selects the word")
        << u"one two\nthree"_s << qsizetype(5) << 2 << qsizetype(4) << qsizetype(7);
    QTest::addRow("a triple click selects the line with its break")
        << u"one two\nthree"_s << qsizetype(5) << 3 << qsizetype(0) << qsizetype(8);
}

void TestTextView::selectsByMouse()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, at);
    QFETCH(int, clicks);
    QFETCH(qsizetype, selectionStart);
    QFETCH(qsizetype, selectionEnd);
    show(text);
    QWidget *viewport = m_view->viewport();
    const QPoint point = pointAt(at);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, point);
    if (clicks >= 2)
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, point);
    if (clicks >= 3)
        QTest::mouseClick(viewport, Qt::LeftButton, {}, point);
    QCOMPARE(m_view->selectionStart(), selectionStart);
    QCOMPARE(m_view->selectionEnd(), selectionEnd);

    // Shift-click extends from the anchor.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, pointAt(text.size()));
    QCOMPARE(m_view->selectionStart(), selectionStart);
    QCOMPARE(m_view->selectionEnd(), text.size());
}

// Selecting sets the X11 primary selection and a middle click pastes it where it clicks.
void TestTextView::pressesAndDropsOnTheSelection_data()
{
    QTest::addColumn<qsizetype>("at");
    QTest::addColumn<QString>("dropped"); // empty: a click
    QTest::addColumn<QString>("result");
    QTest::addColumn<qsizetype>("caret");
    // "one two three" with "one two" selected.
    QTest::addRow("a click inside the selection puts the caret there")
        << qsizetype(2) << QString() << u"one two three"_s << qsizetype(2);
    QTest::addRow("text from elsewhere goes in where it is dropped")
        << qsizetype(9) << u"XY"_s << u"one two tXYhree"_s << qsizetype(11);
    QTest::addRow("dropped on the selection, it goes in there too")
        << qsizetype(4) << u"XY"_s << u"one XYtwo three"_s << qsizetype(6);
}

// A press inside the selection may start dragging it, so the selection stays until the mouse
// moves or is released; a drop of text from elsewhere is one edit, undone in one step.
void TestTextView::pressesAndDropsOnTheSelection()
{
    QFETCH(qsizetype, at);
    QFETCH(QString, dropped);
    QFETCH(QString, result);
    QFETCH(qsizetype, caret);
    const QString text = u"one two three"_s;
    show(text);
    const QPoint point = pointAt(at);
    m_view->setCursorPosition(0);
    m_view->setCursorPosition(7, TextView::Anchor::Keep);
    QWidget *viewport = m_view->viewport();
    if (dropped.isEmpty()) {
        QTest::mousePress(viewport, Qt::LeftButton, {}, point);
        QCOMPARE(m_view->selectedText(), u"one two"_s);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, point);
    } else {
        QMimeData data;
        data.setText(dropped);
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(point, actions, &data, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(point, actions, &data, Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &drop);
        QVERIFY(drop.isAccepted());
    }
    QCOMPARE(m_document->toString(), result);
    QCOMPARE(m_view->cursorPosition(), caret);
    QVERIFY(!m_view->hasSelection());
    if (!dropped.isEmpty()) {
        m_view->undo();
        QCOMPARE(m_document->toString(), text);
    }
}

void TestTextView::pastesThePrimarySelection()
{
    if (!QGuiApplication::clipboard()->supportsSelection())
        QSKIP("This platform has no primary selection (X11 has)");
    show(u"one two\nthree"_s);
    m_view->setCursorPosition(4);
    press(m_view, {u"Shift+End"_s});
    QCOMPARE(QGuiApplication::clipboard()->text(QClipboard::Selection), u"two"_s);
    QTest::mouseClick(m_view->viewport(), Qt::MiddleButton, {}, pointAt(m_document->length()));
    QCOMPARE(m_document->toString(), u"one two\nthreetwo"_s);
    QCOMPARE(m_view->cursorPosition(), m_document->length());
}

// Highlights are asked for the blocks on screen only and painted under the selection.
void TestTextView::paintsHighlightsAndSelection()
{
    show(u"find the word\n"_s.repeated(400));
    QList<std::pair<qsizetype, qsizetype>> asked;
    QTextCharFormat yellow;
    yellow.setBackground(Qt::yellow);
    m_view->setHighlightSource([&](qsizetype start, qsizetype end) {
        asked.append({start, end});
        std::vector<TextView::Highlight> found;
        for (qsizetype at = start - start % 14 + 5; at < end; at += 14)
            found.push_back({at, 3, yellow});
        return found;
    });
    m_view->setCursorPosition(14 + 5);
    m_view->setCursorPosition(14 + 8, TextView::Anchor::Keep);
    const QImage image = m_view->viewport()->grab().toImage();
    // Above the x-height of an "e", where no glyph is drawn, the background shows.
    const auto background = [&](qsizetype position) {
        return image.pixelColor(m_view->characterRect(position).topLeft() + QPoint(1, 2));
    };
    QCOMPARE(background(7), QColor(Qt::yellow));
    QCOMPARE(background(14 + 7), m_view->palette().color(QPalette::Highlight));
    QCOMPARE(background(14 * 2 + 7), QColor(Qt::yellow));
    QCOMPARE(background(14 * 2 + 12), m_view->palette().color(QPalette::Base));
    QVERIFY(!asked.isEmpty());
    QCOMPARE_LT(asked.size(), 60);
}

// A 10-million-character line is laid out only where it is shown, and an edit in its middle
// changes exactly what was typed.
void TestTextView::editsTheMiddleOfAHugeLine()
{
    const QString original = longLine(10'000'000);
    show(original);
    const qsizetype middle = original.size() / 2;
    m_view->setCursorPosition(middle);
    m_view->ensureCaretVisible();
    QVERIFY(!m_view->caretRect().isEmpty());
    type(m_view, u"INSERTED"_s);
    press(m_view, {u"Backspace"_s, u"Backspace"_s, u"Left"_s, u"Delete"_s});
    QString expected = original;
    expected.insert(middle, u"INSER"_s);
    QCOMPARE(m_view->cursorPosition(), middle + 5);
    QCOMPARE(m_document->length(), expected.size());
    QVERIFY(m_document->toString() == expected);
    QVERIFY(!m_view->caretRect().isEmpty());

    qsizetype laidOut = 0;
    for (const TextView::ShownBlock &shown : m_view->shownBlocks()) {
        QCOMPARE_LE(m_view->layouts().blockLength(shown.block), 6000);
        laidOut += m_view->layouts().blockLength(shown.block);
    }
    QCOMPARE_LT(laidOut, 20'000);
    QCOMPARE_GT(m_view->verticalScrollBar()->maximum(), 1000);

    // The end of the line is reachable and shows the end of the text.
    press(m_view, {u"Ctrl+End"_s});
    QCOMPARE(m_view->cursorPosition(), expected.size());
    QVERIFY(!m_view->caretRect().isEmpty());
}

void TestTextView::segmentsFollowEdits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<Edit>>("edits");

    const QString line = longLine(40'000);
    QTest::addRow("typing at the middle")
        << line << QList<Edit> {{20'000, 0, u"a"_s}, {20'001, 0, u"b"_s}, {20'002, 0, u" "_s}};
    QTest::addRow("a paste longer than a segment")
        << line << QList<Edit> {{12'345, 0, u"x"_s.repeated(15'000)}};
    QTest::addRow("a deletion across several cuts")
        << line << QList<Edit> {{3'000, 20'000, QString()}};
    QTest::addRow("a segment emptied") << line << QList<Edit> {{4'100, 3'500, QString()}};
    QTest::addRow("a line break splits the long line") << line + u"\nshort\n"_s
            + line << QList<Edit> {{25'000, 0, u"\n"_s}, {60'000, 0, u"\r\n"_s}};
    QTest::addRow("a line break removed joins two long lines")
        << line + u"\n"_s + line << QList<Edit> {{40'000, 1, QString()}};
    QTest::addRow("the long line shrinks to an ordinary one")
        << line << QList<Edit> {{10, 39'000, QString()}};
    QTest::addRow("no cut parts a combining mark from its base")
        << u"e\u0301"_s.repeated(20'000) << QList<Edit> {{1'001, 0, u"a\u0300"_s}};
    QTest::addRow("no cut splits a surrogate pair")
        << u"\U0001F600"_s.repeated(20'000) << QList<Edit> {{1'000, 0, u"\U0001F600"_s}};
}

void TestTextView::segmentsFollowEdits()
{
    QFETCH(QString, text);
    QFETCH(QList<Edit>, edits);
    m_document->setText(text);
    TextLayoutCache &layouts = m_view->layouts();
    // The cuts of every line are found before the edits, so that the edits move them.
    QList<Edit> steps = edits;
    steps.prepend({});
    for (const Edit &edit : steps) {
        m_document->replace(edit.position, edit.removed, edit.inserted);
        text.replace(edit.position, edit.removed, edit.inserted);
        QString shown;
        std::optional<TextBlock> block = TextBlock {0, 0};
        qsizetype index = 0;
        for (; block; ++index, block = layouts.nextBlock(*block)) {
            const qsizetype start = layouts.blockStart(*block);
            const qsizetype length = layouts.blockLength(*block);
            QCOMPARE_LE(length, LineSegments::MaxUnits);
            QVERIFY(length > 0 || block->segment == 0);
            QVERIFY(!text[start].isLowSurrogate());
            QVERIFY(start == 0 || !text[start].isMark());
            QCOMPARE(layouts.blockIndex(*block), index);
            QCOMPARE(layouts.blockAtIndex(index), *block);
            if (block->segment == 0 && block->line > 0)
                shown += u'\n';
            shown += m_document->text(start, length);
        }
        QString expected = text;
        expected.replace(u"\r\n"_s, u"\n"_s);
        QVERIFY(shown == expected);
        QCOMPARE(layouts.blockCount(), index);
    }
}

void TestTextView::showsAndCommitsPreedit()
{
    show(u"ab\ncd"_s);
    m_view->setCursorPosition(1);
    QTextCharFormat underline;
    underline.setFontUnderline(true);
    QInputMethodEvent composing(u"ni"_s,
        {{QInputMethodEvent::TextFormat, 0, 2, underline}, {QInputMethodEvent::Cursor, 2, 1, {}}});
    QApplication::sendEvent(m_view, &composing);
    QCOMPARE(m_document->toString(), u"ab\ncd"_s);
    QTextLayout *layout = m_view->layouts().layout({0, 0});
    QCOMPARE(layout->preeditAreaText(), u"ni"_s);
    QCOMPARE(layout->preeditAreaPosition(), 1);
    const int caretX = m_view->caretRect().x();
    QCOMPARE_GT(caretX, int(layout->lineAt(0).cursorToX(1)));

    QInputMethodEvent commit;
    commit.setCommitString(u"\u4F60"_s);
    QApplication::sendEvent(m_view, &commit);
    QCOMPARE(m_document->toString(), u"a\u4F60b\ncd"_s);
    QCOMPARE(m_view->cursorPosition(), 2);
    QVERIFY(m_view->layouts().layout({0, 0})->preeditAreaText().isEmpty());
}

void TestTextView::answersInputMethodQueries()
{
    show(u"first line\nsecond line"_s);
    m_view->setCursorPosition(14);
    m_view->setCursorPosition(18, TextView::Anchor::Keep);
    QCOMPARE(m_view->inputMethodQuery(Qt::ImEnabled).toBool(), true);
    QCOMPARE(m_view->inputMethodQuery(Qt::ImSurroundingText).toString(), u"second line"_s);
    QCOMPARE(m_view->inputMethodQuery(Qt::ImCursorPosition).toInt(), 7);
    QCOMPARE(m_view->inputMethodQuery(Qt::ImAnchorPosition).toInt(), 3);
    QCOMPARE(m_view->inputMethodQuery(Qt::ImCurrentSelection).toString(), u"ond "_s);
    const QRect caret = m_view->inputMethodQuery(Qt::ImCursorRectangle).toRect();
    QVERIFY(m_view->rect().contains(caret));
    QCOMPARE(caret.topLeft(), m_view->caretRect().topLeft() + m_view->viewport()->pos());
    QVERIFY(m_view->inputMethodQuery(Qt::ImHints).toInt() & Qt::ImhMultiLine);
}

SCRIVLET_TEST_MAIN(TestTextView)
#include "tst_TextView.moc"
