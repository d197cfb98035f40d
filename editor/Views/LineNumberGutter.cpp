#include "LineNumberGutter.h"

#include "AppearancePalette.h"
#include "FontCache.h"
#include "TextView.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr qreal numberPadding = 16.0;
constexpr int minimumDigits = 2;
constexpr char16_t measuringDigit = u'8';
// Font measurements wobble by fractions of a pixel; re-tiling the editor for that would make
// the text jump for nothing.
constexpr qreal thicknessHysteresis = 1.0;
constexpr int numberRightMargin = 8;
constexpr qreal numberAlpha = 0.6;

QColor grey(qreal whiteLevel, qreal alpha = 1.0)
{
    return QColor::fromRgbF(float(whiteLevel), float(whiteLevel), float(whiteLevel), float(alpha));
}

} // namespace

LineNumberGutter::LineNumberGutter(TextView *textView)
    : QWidget(textView)
    , m_textView(textView)
    , m_lineNumberFont(textView->font())
{
    setObjectName(QStringLiteral("scrivlet.lineNumberGutter"));
    setAccessibleName(QStringLiteral("Line number gutter"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_lineNumberFont.setBold(false);
    resize(m_thickness, height());
    updateThicknessIfNeeded();
}

void LineNumberGutter::setShowLineNumbers(bool show)
{
    if (show == m_showLineNumbers)
        return;
    m_showLineNumbers = show;
    updateThicknessIfNeeded();
    update();
}

void LineNumberGutter::updateFont(const QString &family, qint64 size)
{
    const QFont font = FontCache::font(family, size, false);
    if (font == m_lineNumberFont)
        return;
    m_lineNumberFont = font;
    updateThicknessIfNeeded();
    update();
}

void LineNumberGutter::updateThicknessIfNeeded()
{
    const qreal wanted = wantedThickness();
    if (std::abs(wanted - m_thickness) <= thicknessHysteresis)
        return;
    m_thickness = int(std::ceil(wanted));
    resize(m_thickness, height());
    emit thicknessChanged(m_thickness);
}

// The line count is kept by the text's tree, so this never walks the text: the width of a
// million-line file costs the same as that of a one-line file.
qreal LineNumberGutter::wantedThickness() const
{
    const qsizetype lines = m_textView->document() ? m_textView->document()->lineCount() : 1;
    const int digits = std::max(minimumDigits, int(QString::number(lines).size()));
    const QFontMetricsF metrics(m_lineNumberFont, this);
    const qreal width = metrics.horizontalAdvance(QString(digits, measuringDigit)) + numberPadding;
    return std::max<qreal>(width, minimumThickness);
}

// The text view's viewport sits inside the editor's top inset while the gutter spans the full
// height, so viewport coordinates are shifted by the difference of the two tops.
qreal LineNumberGutter::viewportTop() const
{
    return m_textView->viewport()->y() - y();
}

qreal LineNumberGutter::numberHeight() const
{
    return QFontMetricsF(m_lineNumberFont, this).height();
}

QList<LineNumberGutter::NumberPlacement> LineNumberGutter::visiblePlacements() const
{
    QList<NumberPlacement> placements;
    const qreal viewportHeight = m_textView->viewport()->height();
    for (const TextView::ShownBlock &shown : m_textView->shownBlocks()) {
        // A segment of a long line is numbered like a wrapped row: only when its line starts
        // above the view and nothing is numbered yet.
        if (shown.block.segment != 0 && !placements.isEmpty())
            continue;
        const qsizetype number = shown.block.line + 1;
        const QTextLayout *layout = m_textView->layouts().layout(shown.block);
        if (const auto placement
            = placementInBlock(*layout, number, shown.origin.y(), viewportHeight))
            placements.append(*placement);
    }
    return placements;
}

// A line's number goes on its first row, unless that row has scrolled more than half out of
// view at the top; then it goes on the first row of the line that is still mostly visible, so a
// long wrapped line keeps a number in view until it leaves the screen.
std::optional<LineNumberGutter::NumberPlacement> LineNumberGutter::placementInBlock(
    const QTextLayout &layout, qsizetype number, qreal blockTop, qreal viewportHeight) const
{
    const qreal boxHeight = numberHeight();
    if (layout.lineCount() == 0)
        return NumberPlacement {number, viewportTop() + blockTop};
    std::optional<QTextLine> chosen;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        if (blockTop + line.y() >= viewportHeight)
            break;
        chosen = line;
        if (blockTop + line.y() + line.height() / 2 >= 0)
            break;
    }
    if (!chosen)
        return std::nullopt;
    const qreal lineTop = blockTop + chosen->y();
    return NumberPlacement {number, viewportTop() + lineTop + (chosen->height() - boxHeight) / 2};
}

void LineNumberGutter::paintEvent(QPaintEvent *event)
{
    const QRect dirty = event->rect() & rect();
    if (dirty.isEmpty())
        return;
    // Decided on every paint, so a palette change on the window needs nothing but the repaint
    // Qt already does for it.
    const Shade shade = AppearancePalette::isDark(window()->palette()) ? Shade::Dark : Shade::Light;
    QPainter painter(this);
    drawBackground(painter, dirty, shade);
    if (m_showLineNumbers)
        drawNumbers(painter, dirty, shade);
}

void LineNumberGutter::drawBackground(QPainter &painter, const QRect &dirty, Shade shade) const
{
    painter.fillRect(dirty, grey(shade == Shade::Dark ? 0.15 : 0.95));
    // The last pixel column is exactly what a 1-pixel line centred half a pixel inside the right
    // edge covers, without depending on how the painter rounds a stroke.
    const QRectF separator(width() - 1, dirty.top(), 1, dirty.height());
    painter.fillRect(separator, grey(shade == Shade::Dark ? 0.25 : 0.85));
}

void LineNumberGutter::drawNumbers(QPainter &painter, const QRect &dirty, Shade shade) const
{
    // Numbers are clipped where the text is, not at the gutter's ends in the top and bottom inset.
    painter.setClipRect(QRectF(0, viewportTop(), width(), m_textView->viewport()->height()));
    painter.setFont(m_lineNumberFont);
    painter.setPen(grey(shade == Shade::Dark ? 1.0 : 0.0, numberAlpha));
    const qreal boxHeight = numberHeight();
    const qreal boxWidth = m_thickness - numberRightMargin;
    for (const NumberPlacement &placement : visiblePlacements()) {
        const QRectF box(0, placement.y, boxWidth, boxHeight);
        if (box.intersects(dirty))
            painter.drawText(
                box, Qt::AlignRight | Qt::AlignVCenter, QString::number(placement.number));
    }
}
