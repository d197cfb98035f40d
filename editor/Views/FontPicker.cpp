#include "FontPicker.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>

#include <utility>

namespace {

// A read-only text: what the picker shows, for the reader to speak after the label.
class FontPickerAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit FontPickerAccessible(FontPicker *picker)
        : QAccessibleWidget(picker, QAccessible::ComboBox)
    { }

    FontPicker *picker() const { return static_cast<FontPicker *>(widget()); }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Value)
            return picker()->shownText();
        return QAccessibleWidget::text(type);
    }

    // The popup list, as Qt's own combo box offers it.
    int childCount() const override { return 1; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(picker()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && child->object() == picker()->view() ? 0 : -1;
    }

    QStringList actionNames() const override
    {
        return QStringList {showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &name) override
    {
        if (name == showMenuAction() || name == pressAction())
            picker()->showPopup();
        else
            QAccessibleWidget::doAction(name);
    }

    QString text(int startOffset, int endOffset) const override
    {
        return picker()->shownText().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(picker()->shownText().size()); }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override { }
    void selection(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override { }
    void removeSelection(int) override { }
    void setSelection(int, int, int) override { }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override { }
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }
};

QAccessibleInterface *createAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("FontPicker"))
        return new FontPickerAccessible(static_cast<FontPicker *>(object));
    return nullptr;
}

} // namespace

FontPicker::FontPicker(QWidget *parent)
    : QComboBox(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(createAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    connect(this, &QComboBox::currentTextChanged, this, &FontPicker::announceShownText);
}

// A reader that shows the text follows the change.
void FontPicker::announceShownText()
{
    const QString shown = shownText();
    if (shown == m_announcedText)
        return;
    const QString previous = std::exchange(m_announcedText, shown);
    if (!QAccessible::isActive())
        return;
    QAccessibleTextUpdateEvent event(this, 0, previous, shown);
    QAccessible::updateAccessibility(&event);
}

QString FontPicker::shownText() const
{
    return currentIndex() >= 0 ? currentText() : placeholderText();
}
