#pragma once

#include <QAccessibleWidget>

class TextView;

// What a screen reader sees of a TextView over AT-SPI: an editable, multi-line text whose
// characters, words and rows it can read, with the caret and the selection, and which it can
// edit. Offsets are UTF-16 units, as in the document. Text is read from the document's
// storage only around the offset asked for, so a query never copies a huge line.
class TextViewAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface
{
public:
    explicit TextViewAccessible(TextView *view);

    // Makes Qt create one for every TextView; called by the view, once is enough.
    static void install();
    // The events of an edit and of a caret move, when a screen reader listens.
    static void notifyChange(
        TextView *view, qsizetype position, const QString &removed, const QString &added);
    static void notifyCaret(TextView *view, qsizetype anchor, qsizetype position);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text type) const override;

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
        int *startOffset, int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
        int *startOffset, int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
        int *endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    TextView *view() const;
    std::pair<qsizetype, qsizetype> unitAt(
        qsizetype offset, QAccessible::TextBoundaryType type) const;
};
