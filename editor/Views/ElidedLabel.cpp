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
    if (metrics.horizontalAdvance(m_singleLineText) <= width)
        return m_singleLineText;
    const qsizetype tailStart
        = m_tailSeparator.isNull() ? -1 : m_singleLineText.lastIndexOf(m_tailSeparator);
    if (m_mode == Qt::ElideMiddle && tailStart > 0) {
        const QString tail = m_singleLineText.mid(tailStart);
        const int headWidth = width - metrics.horizontalAdvance(tail);
        // The head keeps a little of its start next to the ellipsis, or it says nothing.
        if (headWidth >= width / 3) {
            return metrics.elidedText(m_singleLineText.left(tailStart), Qt::ElideRight, headWidth)
                + tail;
        }
    }
    return metrics.elidedText(m_singleLineText, m_mode, width);
}
