#include "TextViewAccessible.h"

#include "TextView.h"

#include <QScrollBar>

#include <algorithm>
#include <limits>

namespace {

// The accessibility interfaces count in int: a text past 2^31 units shows only up to there,
// rather than at offsets that wrapped around to negative numbers.
int clampedOffset(qsizetype offset)
{
    return int(std::min<qsizetype>(offset, std::numeric_limits<int>::max()));
}

QAccessibleInterface *createTextViewAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("TextView") && object && object->isWidgetType())
        return new TextViewAccessible(static_cast<TextView *>(object));
    return nullptr;
}

} // namespace

TextViewAccessible::TextViewAccessible(TextView *view)
    : QAccessibleWidget(view, QAccessible::EditableText)
{ }

void TextViewAccessible::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(createTextViewAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

void TextViewAccessible::notifyChange(
    TextView *view, qsizetype position, const QString &removed, const QString &added)
{
    if (!QAccessible::isActive())
        return;
    if (!removed.isEmpty() && !added.isEmpty()) {
        QAccessibleTextUpdateEvent event(view, clampedOffset(position), removed, added);
        QAccessible::updateAccessibility(&event);
    } else if (!removed.isEmpty()) {
        QAccessibleTextRemoveEvent event(view, clampedOffset(position), removed);
        QAccessible::updateAccessibility(&event);
    } else if (!added.isEmpty()) {
        QAccessibleTextInsertEvent event(view, clampedOffset(position), added);
        QAccessible::updateAccessibility(&event);
    }
}

void TextViewAccessible::notifyCaret(TextView *view, qsizetype anchor, qsizetype position)
{
    if (!QAccessible::isActive())
        return;
    if (anchor != position) {
        QAccessibleTextSelectionEvent selection(view, clampedOffset(std::min(anchor, position)),
            clampedOffset(std::max(anchor, position)));
        selection.setCursorPosition(clampedOffset(position));
        QAccessible::updateAccessibility(&selection);
    }
    QAccessibleTextCursorEvent caret(view, clampedOffset(position));
    QAccessible::updateAccessibility(&caret);
}

TextView *TextViewAccessible::view() const
{
    return static_cast<TextView *>(widget());
}

void *TextViewAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    if (type == QAccessible::EditableTextInterface)
        return static_cast<QAccessibleEditableTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State TextViewAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.editable = true;
    state.multiLine = true;
    state.selectableText = true;
    state.focusable = true;
    return state;
}

QString TextViewAccessible::text(QAccessible::Text type) const
{
    if (type == QAccessible::Value)
        return text(0, characterCount());
    return QAccessibleWidget::text(type);
}

void TextViewAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !view()->hasSelection())
        return;
    *startOffset = clampedOffset(view()->selectionStart());
    *endOffset = clampedOffset(view()->selectionEnd());
}

int TextViewAccessible::selectionCount() const
{
    return view()->hasSelection() ? 1 : 0;
}

void TextViewAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void TextViewAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        view()->setCursorPosition(view()->cursorPosition());
}

void TextViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex != 0)
        return;
    view()->setCursorPosition(startOffset);
    view()->setCursorPosition(endOffset, TextView::Anchor::Keep);
}

int TextViewAccessible::cursorPosition() const
{
    return clampedOffset(view()->cursorPosition());
}

void TextViewAccessible::setCursorPosition(int position)
{
    view()->setCursorPosition(position);
}

QString TextViewAccessible::text(int startOffset, int endOffset) const
{
    return view()->layouts().text().text(startOffset, endOffset - startOffset);
}

int TextViewAccessible::characterCount() const
{
    return clampedOffset(view()->layouts().text().length());
}

// Characters are grapheme clusters, words and sentences what QTextBoundaryFinder finds, lines
// the rows on screen with the break that ends the last row of a line, paragraphs the lines.
std::pair<qsizetype, qsizetype> TextViewAccessible::unitAt(
    qsizetype offset, QAccessible::TextBoundaryType type) const
{
    TextNavigator &navigator = view()->navigator();
    const qsizetype length = view()->layouts().text().length();
    switch (type) {
    case QAccessible::CharBoundary:
        return {offset, navigator.nextCharacter(offset)};
    case QAccessible::WordBoundary:
    case QAccessible::SentenceBoundary:
        return navigator.wordAt(offset);
    case QAccessible::LineBoundary: {
        const qsizetype start = navigator.rowStart(offset);
        const VisualRow row = navigator.rowOf(offset);
        const std::optional<VisualRow> next = navigator.nextRow(row);
        if (!next)
            return {start, length};
        return {start,
            view()->layouts().blockStart(next->block)
                + view()->layouts().layout(next->block)->lineAt(next->row).textStart()};
    }
    case QAccessible::ParagraphBoundary:
        return navigator.lineAt(offset);
    case QAccessible::NoBoundary:
        break;
    }
    return {0, length};
}

QString TextViewAccessible::textAtOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset, int *endOffset) const
{
    const auto [start, end] = unitAt(std::clamp(offset, 0, characterCount()), boundaryType);
    *startOffset = clampedOffset(start);
    *endOffset = clampedOffset(end);
    return text(*startOffset, *endOffset);
}

QString TextViewAccessible::textBeforeOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset, int *endOffset) const
{
    const qsizetype start = unitAt(std::clamp(offset, 0, characterCount()), boundaryType).first;
    if (start == 0) {
        *startOffset = *endOffset = 0;
        return {};
    }
    return textAtOffset(int(start - 1), boundaryType, startOffset, endOffset);
}

QString TextViewAccessible::textAfterOffset(
    int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset, int *endOffset) const
{
    const qsizetype end = unitAt(std::clamp(offset, 0, characterCount()), boundaryType).second;
    if (end >= characterCount()) {
        *startOffset = *endOffset = characterCount();
        return {};
    }
    return textAtOffset(clampedOffset(end), boundaryType, startOffset, endOffset);
}

QRect TextViewAccessible::characterRect(int offset) const
{
    const QRect rect = view()->characterRect(offset);
    if (rect.isNull())
        return {};
    return rect.translated(view()->viewport()->mapToGlobal(QPoint(0, 0)));
}

int TextViewAccessible::offsetAtPoint(const QPoint &point) const
{
    const QPoint local = view()->viewport()->mapFromGlobal(point);
    if (!view()->viewport()->rect().contains(local))
        return -1;
    return clampedOffset(view()->positionAt(local));
}

void TextViewAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    view()->ensureVisible(endIndex);
    view()->ensureVisible(startIndex);
}

// Plain text: one run of no attributes.
QString TextViewAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    Q_UNUSED(offset);
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}

void TextViewAccessible::deleteText(int startOffset, int endOffset)
{
    replaceText(startOffset, endOffset, {});
}

void TextViewAccessible::insertText(int offset, const QString &text)
{
    replaceText(offset, offset, text);
}

void TextViewAccessible::replaceText(int startOffset, int endOffset, const QString &text)
{
    if (TextDocument *document = view()->document())
        document->replace(startOffset, endOffset - startOffset, text);
}
