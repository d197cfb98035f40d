#include "TextView.h"

#include "TextDocument.h"
#include "TextViewAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleHints>
#include <QTextLine>

TextView::TextView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setInputMethodHints(Qt::ImhMultiLine);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    // Text dropped goes in where it is dropped, as in QPlainTextEdit.
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    m_layouts.setFont(font());
    verticalScrollBar()->setSingleStep(1);
    TextViewAccessible::install();
}

TextView::~TextView() = default;

void TextView::setDocument(TextDocument *document)
{
    if (m_document)
        disconnect(m_document, nullptr, this, nullptr);
    m_document = document;
    m_layouts.setText(document ? document->snapshot() : TextSnapshot());
    m_position = m_anchor = 0;
    m_viewport.reset();
    if (document)
        connect(document, &TextDocument::contentsChange, this, &TextView::onContentsChange);
    syncScrollBar();
    viewport()->update();
}

// A position inside the removed text goes to the end of what replaced it, as a caret inside a
// selection that was replaced by typing would.
static qsizetype positionAfterEdit(
    qsizetype at, qsizetype position, qsizetype removed, qsizetype added)
{
    if (at >= position + removed)
        return at + added - removed;
    if (at > position)
        return position + added;
    return at;
}

void TextView::onContentsChange(qsizetype position, qsizetype removed, qsizetype added)
{
    const TextSnapshot text = m_document->snapshot();
    // Screen readers are told the text that went and came, read only when one listens.
    const bool announce = QAccessible::isActive();
    const QString removedText = announce ? m_layouts.text().text(position, removed) : QString();
    if (position == 0 && removed == m_layouts.text().length() && added == text.length()) {
        m_layouts.setText(text);
        m_position = m_anchor = 0;
        m_viewport.reset();
    } else {
        m_layouts.textChanged(text, position, removed, added);
        m_position = positionAfterEdit(m_position, position, removed, added);
        m_anchor = positionAfterEdit(m_anchor, position, removed, added);
        m_viewport.textChanged(position, removed, added);
    }
    syncScrollBar();
    viewport()->update();
    updateMicroFocus();
    if (announce)
        TextViewAccessible::notifyChange(this, position, removedText, text.text(position, added));
}

QString TextView::selectedText() const
{
    if (!m_document || !hasSelection())
        return {};
    return m_document->text(selectionStart(), selectionEnd() - selectionStart());
}

void TextView::setSelection(qsizetype anchor, qsizetype position)
{
    const qsizetype length = m_layouts.text().length();
    anchor = std::clamp<qsizetype>(anchor, 0, length);
    position = std::clamp<qsizetype>(position, 0, length);
    if (anchor == m_anchor && position == m_position)
        return;
    const bool selectionMoved = hasSelection() || anchor != position;
    m_anchor = anchor;
    m_position = position;
    if (m_document)
        m_document->breakTypingCoalescing();
    restartBlinking();
    viewport()->update();
    updateMicroFocus();
    TextViewAccessible::notifyCaret(this, m_anchor, m_position);
    emit cursorPositionChanged();
    if (selectionMoved)
        emit selectionChanged();
}

void TextView::setCursorPosition(qsizetype position, Anchor anchor)
{
    setSelection(anchor == Anchor::Keep ? m_anchor : position, position);
}

void TextView::selectAll()
{
    setSelection(0, m_layouts.text().length());
    selectionFinished();
}

// Selecting makes the text the X11 primary selection, which a middle click pastes elsewhere.
void TextView::selectionFinished()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void TextView::setTextInsets(const QMargins &insets)
{
    m_viewport.setInsets(insets);
    updateWrapWidth();
}

void TextView::setHighlightSource(HighlightSource source)
{
    m_highlights = std::move(source);
    viewport()->update();
}

void TextView::setTabStopDistance(qreal distance)
{
    m_layouts.setTabStopDistance(distance);
    viewport()->update();
}

void TextView::insertText(QStringView text)
{
    if (!m_document || m_readOnly)
        return;
    const qsizetype start = selectionStart();
    m_document->replace(start, selectionEnd() - start, text);
    caretAfterInsertion(start + text.size());
}

// A paste hands its text over: a clipboard of megabytes is not copied once more.
void TextView::insertPasted(QString text)
{
    if (!m_document || text.isEmpty())
        return;
    const qsizetype start = selectionStart();
    const qsizetype end = start + text.size();
    m_document->replaceTaking(start, selectionEnd() - start, std::move(text));
    caretAfterInsertion(end);
}

void TextView::caretAfterInsertion(qsizetype position)
{
    m_anchor = m_position = position;
    m_desiredX = -1;
    ensureCaretVisible();
    restartBlinking();
    TextViewAccessible::notifyCaret(this, m_anchor, m_position);
    emit cursorPositionChanged();
}

void TextView::undo()
{
    if (!m_document || m_readOnly)
        return;
    if (const std::optional<qsizetype> caret = m_document->undo()) {
        setCursorPosition(*caret);
        ensureCaretVisible();
    }
}

void TextView::redo()
{
    if (!m_document || m_readOnly)
        return;
    if (const std::optional<qsizetype> caret = m_document->redo()) {
        setCursorPosition(*caret);
        ensureCaretVisible();
    }
}

void TextView::copy() const
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void TextView::cut()
{
    if (!hasSelection())
        return;
    copy();
    insertText({});
}

void TextView::paste()
{
    insertPasted(QGuiApplication::clipboard()->text());
}

void TextView::updateWrapWidth()
{
    m_viewport.setSize(viewport()->size());
    m_layouts.setWrapWidth(m_viewport.textWidth());
    syncScrollBar();
    viewport()->update();
}

VisualRow TextView::firstVisibleRow()
{
    return m_viewport.firstRow();
}

void TextView::setFirstRow(VisualRow row)
{
    m_viewport.setFirstRow(row);
    syncScrollBar();
    viewport()->update();
}

void TextView::syncScrollBar()
{
    QScrollBar *bar = verticalScrollBar();
    m_syncingScrollBar = true;
    const qsizetype blocks = m_layouts.blockCount();
    const qsizetype step = blocksPerScrollStep();
    bar->setRange(0, int((blocks - 1) / step));
    bar->setPageStep(std::max(m_viewport.rowsPerPage() - 1, 1));
    bar->setValue(int(m_viewport.firstBlockIndex() / step));
    m_syncingScrollBar = false;
}

// A scroll bar counts in int: with more blocks than that (over 2^31 lines), each of its steps
// is several blocks.
qsizetype TextView::blocksPerScrollStep() const
{
    return m_layouts.blockCount() / std::numeric_limits<int>::max() + 1;
}

void TextView::scrollContentsBy(int, int)
{
    if (m_syncingScrollBar)
        return;
    m_viewport.scrollToBlockIndex(qsizetype(verticalScrollBar()->value()) * blocksPerScrollStep());
    viewport()->update();
}

void TextView::scrollByRows(int rows)
{
    m_viewport.scrollByRows(rows);
    syncScrollBar();
    viewport()->update();
}

void TextView::wheelEvent(QWheelEvent *event)
{
    m_wheelRemainder += event->angleDelta().y();
    const int rows = m_wheelRemainder / 120 * QApplication::wheelScrollLines();
    m_wheelRemainder %= 120;
    if (rows != 0)
        scrollByRows(-rows);
    event->accept();
}

std::vector<TextView::ShownBlock> TextView::shownBlocks()
{
    return m_viewport.shownBlocks();
}

void TextView::ensureCaretVisible()
{
    ensureVisible(m_position);
}

void TextView::ensureVisible(qsizetype position)
{
    const VisualRow before = m_viewport.firstRow();
    m_viewport.ensureVisible(position);
    if (m_viewport.firstRow() == before)
        return;
    syncScrollBar();
    viewport()->update();
}

QRect TextView::caretRect()
{
    const TextPreedit &preedit = m_layouts.preedit();
    const bool inPreedit = preedit.isActive() && preedit.position == m_position;
    QRectF rect = m_viewport.rectAt(m_position, inPreedit ? preedit.cursor : 0);
    if (rect.isNull())
        return {};
    const int width = style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this);
    rect.setWidth(std::max(width, 1));
    return rect.toAlignedRect();
}

QRect TextView::characterRect(qsizetype position)
{
    return m_viewport.rectAt(position).toAlignedRect();
}

qsizetype TextView::positionAt(QPoint point)
{
    return m_viewport.positionAt(point);
}

void TextView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    // Rows of the first block above the first row shown stay out of the top inset.
    const QRect clip = event->rect().intersected(
        viewport()->rect().adjusted(0, m_viewport.insets().top(), 0, 0));
    painter.setClipRect(clip);
    TextBlockPainter::Marks marks;
    if (hasSelection()) {
        marks.selectionStart = selectionStart();
        marks.selectionEnd = selectionEnd();
    }
    if (m_dropCaret)
        marks.caret = *m_dropCaret;
    else
        marks.caret = m_caretShown && hasFocus() ? m_position : -1;
    marks.caretWidth = style()->pixelMetric(QStyle::PM_TextCursorWidth, nullptr, this);
    marks.highlights = &m_highlights;
    TextBlockPainter blockPainter(painter, palette(), viewport()->width());
    for (const ShownBlock &shown : shownBlocks())
        blockPainter.paint(m_layouts, shown.block, shown.origin, clip, marks);
}

void TextView::restartBlinking()
{
    m_caretShown = true;
    const int flashTime = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flashTime > 1)
        m_blinkTimer.start(flashTime / 2, this);
    else
        m_blinkTimer.stop();
    viewport()->update();
}

void TextView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_blinkTimer.timerId()) {
        m_caretShown = !m_caretShown;
        viewport()->update(caretRect().adjusted(-1, 0, 1, 0));
    } else if (event->timerId() == m_tripleClickTimer.timerId()) {
        m_tripleClickTimer.stop();
    }
    QAbstractScrollArea::timerEvent(event);
}

void TextView::focusInEvent(QFocusEvent *event)
{
    restartBlinking();
    QAbstractScrollArea::focusInEvent(event);
}

void TextView::focusOutEvent(QFocusEvent *event)
{
    m_blinkTimer.stop();
    m_caretShown = false;
    if (m_document)
        m_document->breakTypingCoalescing();
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}

void TextView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateWrapWidth();
}

void TextView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange) {
        m_layouts.setFont(font());
        syncScrollBar();
    }
    viewport()->update();
    QAbstractScrollArea::changeEvent(event);
}

static bool isTypedText(const QString &text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar unit) {
        return unit.isPrint() || unit.isSurrogate() || unit == u'\t';
    });
}

// Keys the view uses are not taken as shortcuts of the window's menus while it has the focus.
bool TextView::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        // Unmodified keys that neither type nor edit (F1, F10, Escape) stay the window's.
        const bool plain = key->modifiers() == Qt::NoModifier
            || key->modifiers() == Qt::ShiftModifier || key->modifiers() == Qt::KeypadModifier;
        const bool edits = isTypedText(key->text()) || CaretKeys::forEvent(key)
            || key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter
            || key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backspace
            || key->key() == Qt::Key_Delete;
        const bool ours = key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Cut)
            || key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Undo)
            || key->matches(QKeySequence::Redo) || key->matches(QKeySequence::SelectAll)
            || (plain && edits);
        if (ours) {
            event->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

// Tab is a character of the text, not a move to the next control.
bool TextView::focusNextPrevChild(bool)
{
    return false;
}

void TextView::keyPressEvent(QKeyEvent *event)
{
    if (moveCaretByKey(event) || editByKey(event)) {
        event->accept();
        return;
    }
    if (!(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        && isTypedText(event->text())) {
        insertText(event->text());
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

bool TextView::moveCaretByKey(QKeyEvent *event)
{
    const std::optional<CaretKeys::Key> key = CaretKeys::forEvent(event);
    if (!key)
        return false;
    const qreal x = m_desiredX >= 0 ? m_desiredX : m_navigator.xOf(m_position);
    setCursorPosition(caretTarget(*key, x), key->select ? Anchor::Keep : Anchor::Move);
    m_desiredX = CaretKeys::isVertical(key->move) ? x : -1;
    ensureCaretVisible();
    if (key->select)
        selectionFinished();
    return true;
}

// Page Up and Page Down scroll by the page as they move the caret by it, keeping its place on
// screen. Left and Right on a selection end it at its own edge, as in every text field.
qsizetype TextView::caretTarget(CaretKeys::Key key, qreal x)
{
    const int page = std::max(m_viewport.rowsPerPage() - 1, 1);
    switch (key.move) {
    case CaretMove::NextCharacter:
    case CaretMove::PreviousCharacter: {
        // Right goes towards the end of a left-to-right line, the start of a right-to-left one.
        const bool forward
            = (key.move == CaretMove::NextCharacter) != m_navigator.isRightToLeft(m_position);
        if (hasSelection() && !key.select)
            return forward ? selectionEnd() : selectionStart();
        return forward ? m_navigator.nextCharacter(m_position)
                       : m_navigator.previousCharacter(m_position);
    }
    case CaretMove::NextWord:
        return m_navigator.nextWord(m_position);
    case CaretMove::PreviousWord:
        return m_navigator.previousWord(m_position);
    case CaretMove::NextRow:
        return m_navigator.moveByRows(m_position, 1, x);
    case CaretMove::PreviousRow:
        return m_navigator.moveByRows(m_position, -1, x);
    case CaretMove::NextPage:
        scrollByRows(page);
        return m_navigator.moveByRows(m_position, page, x);
    case CaretMove::PreviousPage:
        scrollByRows(-page);
        return m_navigator.moveByRows(m_position, -page, x);
    case CaretMove::RowStart:
        return m_navigator.rowStart(m_position);
    case CaretMove::RowEnd:
        return m_navigator.rowEnd(m_position);
    case CaretMove::TextStart:
        return 0;
    case CaretMove::TextEnd:
        return m_layouts.text().length();
    }
    return m_position;
}

bool TextView::editByKey(QKeyEvent *event)
{
    if (event->matches(QKeySequence::SelectAll))
        selectAll();
    else if (event->matches(QKeySequence::Undo))
        undo();
    else if (event->matches(QKeySequence::Redo)
        || (event->key() == Qt::Key_Z
            && event->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier)))
        redo();
    else if (event->matches(QKeySequence::Copy))
        copy();
    else if (event->matches(QKeySequence::Cut))
        cut();
    else if (event->matches(QKeySequence::Paste))
        paste();
    else if (event->matches(QKeySequence::InsertParagraphSeparator)
        || event->matches(QKeySequence::InsertLineSeparator))
        insertText(u"\n");
    else if (event->key() == Qt::Key_Tab && event->modifiers() == Qt::NoModifier)
        insertText(u"\t");
    else if (event->matches(QKeySequence::Delete))
        removeTo(m_navigator.nextCharacter(m_position));
    else if (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier))
        removeTo(m_navigator.previousCharacter(m_position));
    else if (event->matches(QKeySequence::DeleteEndOfWord))
        removeTo(m_navigator.nextWord(m_position));
    else if (event->matches(QKeySequence::DeleteStartOfWord))
        removeTo(m_navigator.previousWord(m_position));
    else
        return false;
    return true;
}

// Backspace and Delete remove the selection when there is one, else up to `position`.
void TextView::removeTo(qsizetype position)
{
    if (!hasSelection())
        m_anchor = position;
    insertText({});
}

void TextView::extendSelectionTo(qsizetype position)
{
    if (m_selectionUnit == SelectionUnit::Character) {
        setCursorPosition(position, Anchor::Keep);
        return;
    }
    const auto [from, to] = m_selectionUnit == SelectionUnit::Word ? m_navigator.wordAt(position)
                                                                   : m_navigator.lineAt(position);
    if (from < m_selectionOrigin.first)
        setSelection(m_selectionOrigin.second, from);
    else
        setSelection(m_selectionOrigin.first, std::max(to, m_selectionOrigin.second));
}

void TextView::mousePressEvent(QMouseEvent *event)
{
    const qsizetype position = positionAt(event->position().toPoint());
    if (event->button() == Qt::MiddleButton) {
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (!clipboard->supportsSelection())
            return;
        setCursorPosition(position);
        insertPasted(clipboard->text(QClipboard::Selection));
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint distance = event->position().toPoint() - m_tripleClickPoint;
    const bool tripleClick = m_tripleClickTimer.isActive()
        && distance.manhattanLength() < QApplication::startDragDistance();
    if (!tripleClick && m_textDrag.press(event))
        return;
    // A click elsewhere ends the composition where it is, as in every Qt text field.
    if (m_layouts.preedit().isActive())
        QGuiApplication::inputMethod()->commit();
    m_dragging = true;
    m_desiredX = -1;
    if (tripleClick) {
        m_selectionUnit = SelectionUnit::Line;
        m_selectionOrigin = m_navigator.lineAt(position);
        setSelection(m_selectionOrigin.first, m_selectionOrigin.second);
    } else if (event->modifiers() & Qt::ShiftModifier) {
        extendSelectionTo(position);
    } else {
        m_selectionUnit = SelectionUnit::Character;
        setCursorPosition(position);
    }
    ensureCaretVisible();
}

void TextView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_textDrag.move(event) || !m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    // Dragging past the top or the bottom scrolls a row for each move.
    const QPoint point = event->position().toPoint();
    if (point.y() < 0)
        scrollByRows(-1);
    else if (point.y() >= viewport()->height())
        scrollByRows(1);
    extendSelectionTo(positionAt(point));
    ensureCaretVisible();
}

void TextView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_textDrag.release(event))
        return;
    if (event->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        selectionFinished();
    }
}

void TextView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!m_readOnly && event->mimeData()->hasText())
        event->acceptProposedAction();
}

void TextView::dragMoveEvent(QDragMoveEvent *event)
{
    if (m_readOnly || !event->mimeData()->hasText())
        return;
    event->acceptProposedAction();
    m_dropCaret = positionAt(event->position().toPoint());
    viewport()->update();
}

void TextView::dragLeaveEvent(QDragLeaveEvent *)
{
    m_dropCaret.reset();
    viewport()->update();
}

void TextView::dropEvent(QDropEvent *event)
{
    m_dropCaret.reset();
    viewport()->update();
    if (!m_textDrag.drop(event))
        event->ignore();
}

void TextView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // A click elsewhere ends the composition where it is, as in every Qt text field.
    if (m_layouts.preedit().isActive())
        QGuiApplication::inputMethod()->commit();
    m_dragging = true;
    m_selectionUnit = SelectionUnit::Word;
    m_selectionOrigin = m_navigator.wordAt(positionAt(event->position().toPoint()));
    setSelection(m_selectionOrigin.first, m_selectionOrigin.second);
    m_tripleClickPoint = event->position().toPoint();
    m_tripleClickTimer.start(QApplication::doubleClickInterval(), this);
}

// The committed text replaces the selection like typing; the preedit is shown at the caret,
// inside the layout of its block, with the formats the input method gave it.
void TextView::inputMethodEvent(QInputMethodEvent *event)
{
    if (!m_document || m_readOnly)
        return;
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        if (event->replacementLength() > 0) {
            const qsizetype from = std::max<qsizetype>(m_position + event->replacementStart(), 0);
            setSelection(from, from + event->replacementLength());
        }
        insertText(event->commitString());
    }
    m_layouts.setPreedit(TextPreedit::fromEvent(*event, m_position));
    ensureCaretVisible();
    viewport()->update();
    updateMicroFocus();
    event->accept();
}

QVariant TextView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    return const_cast<TextView *>(this)->queryInputMethod(query);
}

// The surrounding text an input method sees is the caret's block: a line, or the segment of a
// long line, so that a query never copies a huge line.
QVariant TextView::queryInputMethod(Qt::InputMethodQuery query)
{
    const TextBlock block = m_layouts.blockAt(m_position);
    const qsizetype start = m_layouts.blockStart(block);
    const qsizetype length = m_layouts.blockLength(block);
    switch (query) {
    case Qt::ImEnabled:
        return true;
    case Qt::ImHints:
        return int(inputMethodHints());
    case Qt::ImCursorRectangle:
        return QRectF(caretRect().translated(viewport()->pos()));
    case Qt::ImFont:
        return font();
    case Qt::ImAbsolutePosition:
        return m_position;
    case Qt::ImCursorPosition:
        return m_position - start;
    case Qt::ImAnchorPosition:
        return std::clamp<qsizetype>(m_anchor - start, 0, length);
    case Qt::ImSurroundingText:
        return m_layouts.text().text(start, length);
    case Qt::ImCurrentSelection:
        return selectedText();
    case Qt::ImTextBeforeCursor:
        return m_layouts.text().text(start, m_position - start);
    case Qt::ImTextAfterCursor:
        return m_layouts.text().text(m_position, start + length - m_position);
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}
