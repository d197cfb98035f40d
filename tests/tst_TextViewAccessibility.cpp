#include "TestEnvironment.h"
#include "TextDocument.h"
#include "TextView.h"

#include <QAccessible>
#include <QApplication>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// What the view told screen readers, in order.
struct HeardEvent
{
    QAccessible::Event type;
    int position = -1;
    QString text;
};
QList<HeardEvent> heard;

void recordEvent(QAccessibleEvent *event)
{
    HeardEvent entry {event->type(), -1, {}};
    if (event->type() == QAccessible::TextCaretMoved) {
        entry.position = static_cast<QAccessibleTextCursorEvent *>(event)->cursorPosition();
    } else if (event->type() == QAccessible::TextInserted) {
        auto *inserted = static_cast<QAccessibleTextInsertEvent *>(event);
        entry.position = inserted->changePosition();
        entry.text = inserted->textInserted();
    } else if (event->type() == QAccessible::TextRemoved) {
        auto *removed = static_cast<QAccessibleTextRemoveEvent *>(event);
        entry.position = removed->changePosition();
        entry.text = removed->textRemoved();
    } else if (event->type() == QAccessible::TextUpdated) {
        auto *updated = static_cast<QAccessibleTextUpdateEvent *>(event);
        entry.position = updated->changePosition();
        entry.text = updated->textRemoved() + u"→"_s + updated->textInserted();
    }
    heard.append(entry);
}

} // namespace

class TestTextViewAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void readsTextAtOffsets_data();
    void readsTextAtOffsets();
    void readsWrappedRowsInOrder();
    void reportsCaretAndSelection();
    void announcesEditsAndCaretMoves_data();
    void announcesEditsAndCaretMoves();
    void editsThroughTheInterface();
    void mapsCharactersToScreen();

private:
    void show(const QString &text, int width = 400);
    QAccessibleTextInterface *textInterface();

    std::unique_ptr<TextDocument> m_document;
    std::unique_ptr<TextView> m_view;
    bool m_listening = false;
};

void TestTextViewAccessibility::initTestCase()
{
    QAccessible::installUpdateHandler(recordEvent);
    m_listening = QGuiApplication::platformName() != u"offscreen"_s
        && QTest::qWaitFor([] { return QAccessible::isActive(); }, 3000);
}

void TestTextViewAccessibility::init()
{
    m_document = std::make_unique<TextDocument>();
    m_view = std::make_unique<TextView>();
    m_view->setFont(QFont(u"DejaVu Sans Mono"_s, 10));
    m_view->setDocument(m_document.get());
}

void TestTextViewAccessibility::cleanup()
{
    m_view.reset();
    m_document.reset();
    heard.clear();
}

void TestTextViewAccessibility::show(const QString &text, int width)
{
    m_document->setText(text);
    m_view->resize(width, 300);
    m_view->show();
    m_view->setFocus();
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    heard.clear();
}

QAccessibleTextInterface *TestTextViewAccessibility::textInterface()
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(m_view.get());
    return accessible ? accessible->textInterface() : nullptr;
}

void TestTextViewAccessibility::readsTextAtOffsets_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QAccessible::TextBoundaryType>("boundary");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("start");

    QTest::addRow("a character is a whole surrogate pair")
        << u"a\U0001F600b"_s << 1 << QAccessible::CharBoundary << u"\U0001F600"_s << 1;
    QTest::addRow("a character is a base with its mark")
        << u"xe\u0301y"_s << 1 << QAccessible::CharBoundary << u"e\u0301"_s << 1;
    QTest::addRow("the word around an offset")
        << u"one two three"_s << 5 << QAccessible::WordBoundary << u"two"_s << 4;
    QTest::addRow("a line with its break")
        << u"first\nsecond\nthird"_s << 8 << QAccessible::LineBoundary << u"second\n"_s << 6;
    QTest::addRow("the last line")
        << u"first\nsecond"_s << 12 << QAccessible::LineBoundary << u"second"_s << 6;
    QTest::addRow("a CR LF line as a paragraph")
        << u"ab\r\ncd"_s << 1 << QAccessible::ParagraphBoundary << u"ab\r\n"_s << 0;
    QTest::addRow("no boundary is the whole text")
        << u"ab\ncd"_s << 3 << QAccessible::NoBoundary << u"ab\ncd"_s << 0;
}

void TestTextViewAccessibility::readsTextAtOffsets()
{
    QFETCH(QString, text);
    QFETCH(int, offset);
    QFETCH(QAccessible::TextBoundaryType, boundary);
    QFETCH(QString, expected);
    QFETCH(int, start);
    show(text);
    QAccessibleTextInterface *accessible = textInterface();
    QVERIFY(accessible);
    QCOMPARE(accessible->characterCount(), text.size());
    int from = -1;
    int to = -1;
    QCOMPARE(accessible->textAtOffset(offset, boundary, &from, &to), expected);
    QCOMPARE(from, start);
    QCOMPARE(to, start + expected.size());
}

// Reading line after line from the start gives the rows on screen and, together, the text.
void TestTextViewAccessibility::readsWrappedRowsInOrder()
{
    const QString text = u"the quick brown fox jumps over the lazy dog "_s.repeated(8) + u"\nend"_s;
    show(text, 260);
    QAccessibleTextInterface *accessible = textInterface();
    int from = -1;
    int to = -1;
    QString read = accessible->textAtOffset(0, QAccessible::LineBoundary, &from, &to);
    int rows = 1;
    while (to < text.size()) {
        const int previousEnd = to;
        read += accessible->textAfterOffset(from, QAccessible::LineBoundary, &from, &to);
        QCOMPARE(from, previousEnd);
        QVERIFY(++rows < 100);
    }
    QCOMPARE(read, text);
    QCOMPARE_GT(rows, 5);
    accessible->textBeforeOffset(from, QAccessible::LineBoundary, &from, &to);
    QCOMPARE_LT(from, to);
}

void TestTextViewAccessibility::reportsCaretAndSelection()
{
    show(u"hello world"_s);
    QAccessibleTextInterface *accessible = textInterface();
    m_view->setCursorPosition(3);
    QCOMPARE(accessible->cursorPosition(), 3);
    QCOMPARE(accessible->selectionCount(), 0);
    accessible->setSelection(0, 6, 11);
    QCOMPARE(m_view->selectedText(), u"world"_s);
    QCOMPARE(accessible->selectionCount(), 1);
    int from = -1;
    int to = -1;
    accessible->selection(0, &from, &to);
    QCOMPARE(from, 6);
    QCOMPARE(to, 11);
    accessible->setCursorPosition(2);
    QCOMPARE(m_view->cursorPosition(), 2);
    QVERIFY(!m_view->hasSelection());
    QAccessibleInterface *widget = QAccessible::queryAccessibleInterface(m_view.get());
    QCOMPARE(widget->role(), QAccessible::EditableText);
    QVERIFY(widget->state().multiLine);
    QVERIFY(widget->editableTextInterface());
}

void TestTextViewAccessibility::announcesEditsAndCaretMoves_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QAccessible::Event>("change");
    QTest::addColumn<int>("changePosition");
    QTest::addColumn<QString>("changeText");
    QTest::addColumn<int>("caret");

    QTest::addRow("typing is an insertion")
        << u"X"_s << QAccessible::TextInserted << 3 << u"x"_s << 4;
    QTest::addRow("backspace is a removal")
        << u"Backspace"_s << QAccessible::TextRemoved << 2 << u"c"_s << 2;
    QTest::addRow("typing over a selection is an update")
        << u"Shift+Left|Y"_s << QAccessible::TextUpdated << 2 << u"c→y"_s << 3;
    QTest::addRow("a caret move is only a move")
        << u"Right"_s << QAccessible::InvalidEvent << -1 << QString() << 4;
}

void TestTextViewAccessibility::announcesEditsAndCaretMoves()
{
    QFETCH(QString, key);
    QFETCH(QAccessible::Event, change);
    QFETCH(int, changePosition);
    QFETCH(QString, changeText);
    QFETCH(int, caret);
    show(u"abcdef"_s);
    if (!m_listening)
        QSKIP("Qt hands events on only while an assistive technology listens (AT-SPI, not "
              "offscreen)");
    m_view->setCursorPosition(3);
    heard.clear();
    for (const QString &part : key.split(u'|'))
        QTest::keySequence(m_view.get(), QKeySequence(part));
    const auto changed = std::find_if(heard.begin(), heard.end(), [](const HeardEvent &event) {
        return event.type == QAccessible::TextInserted || event.type == QAccessible::TextRemoved
            || event.type == QAccessible::TextUpdated;
    });
    if (change == QAccessible::InvalidEvent) {
        QVERIFY(changed == heard.end());
    } else {
        QVERIFY(changed != heard.end());
        QCOMPARE(changed->type, change);
        QCOMPARE(changed->position, changePosition);
        QCOMPARE(changed->text, changeText);
    }
    QVERIFY(!heard.isEmpty());
    QCOMPARE(heard.last().type, QAccessible::TextCaretMoved);
    QCOMPARE(heard.last().position, caret);
}

void TestTextViewAccessibility::editsThroughTheInterface()
{
    show(u"hello world"_s);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(m_view.get());
    QAccessibleEditableTextInterface *editable = accessible->editableTextInterface();
    editable->insertText(5, u","_s);
    editable->replaceText(7, 12, u"there"_s);
    editable->deleteText(0, 1);
    QCOMPARE(m_document->toString(), u"ello, there"_s);
    QCOMPARE(accessible->textInterface()->text(0, 4), u"ello"_s);
    QVERIFY(m_document->canUndo());
}

void TestTextViewAccessibility::mapsCharactersToScreen()
{
    show(u"abc\ndef"_s);
    QAccessibleTextInterface *accessible = textInterface();
    const QRect b = accessible->characterRect(1);
    const QRect e = accessible->characterRect(5);
    QVERIFY(b.isValid());
    QVERIFY(e.isValid());
    QCOMPARE_GT(e.top(), b.top());
    QCOMPARE(accessible->offsetAtPoint(b.center()), 1);
    QCOMPARE(accessible->offsetAtPoint(e.center()), 5);
}

SCRIVLET_TEST_MAIN(TestTextViewAccessibility)
#include "tst_TextViewAccessibility.moc"
