#include "ElidedLabel.h"

#include "UnicodeSets.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>

namespace {

constexpr QChar ellipsis = QChar(0x2026);

// A line break would give the label a second line, and QFontMetrics::elidedText() treats
// U+009C as the start of an alternative text and drops everything after it.
QString singleLine(QString text)
{
    for (QChar &unit : text) {
        if (isNewline(unit.unicode()))
            unit = QLatin1Char(' ');
        else if (unit.unicode() == 0x009C)
            unit = QChar::ReplacementCharacter;
    }
    return text;
}

} // namespace

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget *parent)
    : QLabel(parent)
    , m_mode(mode)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

void ElidedLabel::setFullText(const QString &text)
{
    m_fullText = text;
    m_singleLineText = singleLine(text);
    setToolTip(text);
    updateGeometry();
    updateShownText();
}

void ElidedLabel::setWholeTailAfter(QChar separator)
{
    m_tailSeparator = separator;
    updateShownText();
}

QSize ElidedLabel::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(m_singleLineText) + horizontalPadding(),
        minimumSizeHint().height()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QMargins margins = contentsMargins();
    return {fontMetrics().horizontalAdvance(ellipsis) + horizontalPadding(),
        fontMetrics().height() + margins.top() + margins.bottom() + 2 * margin()};
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateShownText();
}

void ElidedLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        updateGeometry();
        updateShownText();
    }
}

void ElidedLabel::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy) && text() != m_fullText && hasSelectedText()
        && selectedText() == text()) {
        QGuiApplication::clipboard()->setText(m_fullText);
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

int ElidedLabel::horizontalPadding() const
{
    const QMargins margins = contentsMargins();
    return margins.left() + margins.right() + 2 * margin();
}

void ElidedLabel::updateShownText()
{
    const QString shown = elided(contentsRect().width() - 2 * margin());
    if (shown != text())
        QLabel::setText(shown);
}

QString ElidedLabel::elided(int width) const
{
    const QFontMetrics metrics = fontMetrics();
    if (m_mode == Qt::ElideMiddle && !m_tailSeparator.isNull())
        return elideKeepingTail(m_singleLineText, m_tailSeparator, metrics, width);
    if (metrics.horizontalAdvance(m_singleLineText) <= width)
        return m_singleLineText;
    return metrics.elidedText(m_singleLineText, m_mode, width);
}

QString ElidedLabel::elideKeepingTail(
    const QString &text, QChar separator, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const qsizetype tailStart = text.lastIndexOf(separator);
    if (tailStart <= 0)
        return metrics.elidedText(text, Qt::ElideMiddle, width);
    const QString tail = text.mid(tailStart);
    const int headWidth = width - metrics.horizontalAdvance(tail);
    if (headWidth >= metrics.horizontalAdvance(ellipsis)) {
        const QString head = metrics.elidedText(text.left(tailStart), Qt::ElideRight, headWidth);
        if (!head.isEmpty())
            return head + tail;
    }
    // Without its separator the name may still fit after an ellipsis that shows folders are cut.
    const QString name = tail.mid(1);
    if (metrics.horizontalAdvance(ellipsis + name) <= width)
        return ellipsis + name;
    return metrics.elidedText(name, Qt::ElideMiddle, width);
}
