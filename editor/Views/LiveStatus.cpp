#include "LiveStatus.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace {

// The owner as a status bar whose text is the published status; the text interface is what
// readers quote when they present a change, and what they read back on request.
class LiveStatusAccessible : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit LiveStatusAccessible(QWidget *owner)
        : QAccessibleWidget(owner, QAccessible::StatusBar)
    { }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    using QAccessibleWidget::text;
    QString text(int startOffset, int endOffset) const override
    {
        const QString whole = status();
        startOffset = std::clamp(startOffset, 0, int(whole.size()));
        endOffset = std::clamp(endOffset, startOffset, int(whole.size()));
        return whole.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(status().size()); }
    void selection(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override { }
    void removeSelection(int) override { }
    void setSelection(int, int, int) override { }
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override { }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override { }
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        *startOffset = *endOffset = offset;
        return {};
    }

private:
    QString status() const
    {
        const LiveStatus *live = LiveStatus::of(object());
        return live ? live->publishedText() : QString();
    }
};

QAccessibleInterface *createAccessible(const QString &, QObject *object)
{
    if (object && object->isWidgetType() && LiveStatus::of(object))
        return new LiveStatusAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

LiveStatus::LiveStatus(QWidget *owner, int settleMilliseconds)
    : QObject(owner)
    , m_owner(owner)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(createAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMilliseconds);
    connect(&m_settle, &QTimer::timeout, this, &LiveStatus::publish);
}

LiveStatus *LiveStatus::of(const QObject *widget)
{
    return widget->findChild<LiveStatus *>(QString(), Qt::FindDirectChildrenOnly);
}

void LiveStatus::setText(const QString &text, Timing timing)
{
    m_pending = text;
    // Nobody hears a hidden status, but a reader may read it as soon as it shows (the counts of
    // a window just opened).
    if (!m_publishedOnce || !m_owner->isVisible() || timing == Timing::AtOnce) {
        publish();
        return;
    }
    // Every change waits for the next: only a value that holds is spoken.
    m_settle.start();
}

void LiveStatus::publish()
{
    m_settle.stop();
    if (m_publishedOnce && m_pending == m_published)
        return;
    const QString before = std::exchange(m_published, m_pending);
    m_publishedOnce = true;
    // Setting the name tells readers it changed; the text change carries the words.
    m_owner->setAccessibleName(m_published);
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent textChanged(m_owner, 0, before, m_published);
        QAccessible::updateAccessibility(&textChanged);
    }
    emit published(m_published);
}
