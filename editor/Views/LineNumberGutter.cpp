#include "LineNumberGutter.h"

#include "AppearancePalette.h"
#include "FontCache.h"
#include "ScrivletTextView.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
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

LineNumberGutter::LineNumberGutter(ScrivletTextView *textView)
    : QWidget(textView)
    , m_textView(textView)
    , m_lineNumberFont(textView->font())
{
    setObjectName(QStringLiteral("scrivlet.lineNumberGutter"));
    setAccessibleName(QStringLiteral("Line number gutter"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_lineNumberFont.setBold(false);
    resize(m_thickness, height());

    connect(textView, &QPlainTextEdit::textChanged, this, &LineNumberGutter::handleTextChange);
    connect(textView, &QPlainTextEdit::updateRequest, this, &LineNumberGutter::handleUpdateRequest);
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

// The block count is kept by the document, so this never walks the text: the width of a
// million-line file costs the same as that of a one-line file.
qreal LineNumberGutter::wantedThickness() const
{
    // The last block's line number: the line count, also when long lines are shown in pieces.
    const int lines = std::max(m_reservedLines,
        ScrivletTextView::lineNumberOf(m_textView->document()->lastBlock()).number);
    const int digits = std::max(minimumDigits, int(QString::number(lines).size()));
    const QFontMetricsF metrics(m_lineNumberFont, this);
    const qreal width = metrics.horizontalAdvance(QString(digits, measuringDigit)) + numberPadding;
    return std::max<qreal>(width, minimumThickness);
}

void LineNumberGutter::reserveLineCount(int lines)
{
    m_reservedLines = lines;
    updateThicknessIfNeeded();
}

// Typing within a line changes no number: the editor's own update request repaints the strip
// beside it. Only a change in the number of lines moves numbers elsewhere.
void LineNumberGutter::handleTextChange()
{
    updateThicknessIfNeeded();
    const int blockCount = m_textView->document()->blockCount();
    if (blockCount != m_lastBlockCount) {
        m_lastBlockCount = blockCount;
        update();
    }
    if (m_deferredPassQueued)
        return;
    // textChanged arrives while the edit is still being handled (undo stack, layout, the other
    // observers of the same change); measuring once more after the event loop has run lets the
    // settled state win, whatever order those ran in.
    m_deferredPassQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_deferredPassQueued = false;
        updateThicknessIfNeeded();
        update();
    });
}

// A scroll moves numbers between lines (a wrapped line scrolled half out of view takes its
// number along), so shifting the old pixels would leave stale numbers behind.
void LineNumberGutter::handleUpdateRequest(const QRect &rect, int dy)
{
    if (dy != 0 || rect.contains(m_textView->viewport()->rect())) {
        update();
        return;
    }
    update(0, int(std::floor(viewportTop())) + rect.y(), width(), rect.height() + 1);
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
    QTextBlock block = m_textView->firstVisibleTextBlock();
    if (!block.isValid())
        return placements;
    const QAbstractTextDocumentLayout *layout = m_textView->document()->documentLayout();
    const qreal viewportHeight = m_textView->viewport()->height();
    // Heights are summed from the first visible block, as the text view paints; asking the view
    // for each block's geometry would walk from the top block every time.
    qreal top = m_textView->blockGeometry(block).top();
    for (; block.isValid() && top < viewportHeight; block = block.next()) {
        const qreal height = layout->blockBoundingRect(block).height();
        // A piece of a long line shown in several blocks is numbered like a wrapped line: only
        // when its line starts above the view and nothing is numbered yet.
        const ScrivletTextView::BlockLine line = ScrivletTextView::lineNumberOf(block);
        if (block.isVisible() && top + height > 0 && (line.startsLine || placements.isEmpty())) {
            if (const auto placement = placementInBlock(block, line.number, top, viewportHeight))
                placements.append(*placement);
        }
        top += height;
    }
    return placements;
}

// A block's number goes on its first visual line, unless that line has scrolled more than half
// out of view at the top; then it goes on the first line of the block that is still mostly
// visible, so a long wrapped line keeps a number in view until it leaves the screen.
std::optional<LineNumberGutter::NumberPlacement> LineNumberGutter::placementInBlock(
    const QTextBlock &block, int number, qreal blockTop, qreal viewportHeight) const
{
    const qreal boxHeight = numberHeight();
    const QTextLayout *textLayout = block.layout();
    if (!textLayout || textLayout->lineCount() == 0) {
        // Not laid out yet: the block will show as one line at its top.
        return NumberPlacement {number, viewportTop() + blockTop};
    }
    const qreal layoutTop = blockTop + textLayout->position().y();
    std::optional<QTextLine> chosen;
    for (int i = 0; i < textLayout->lineCount(); ++i) {
        const QTextLine line = textLayout->lineAt(i);
        if (layoutTop + line.y() >= viewportHeight)
            break;
        chosen = line;
        if (layoutTop + line.y() + line.height() / 2 >= 0)
            break;
    }
    if (!chosen)
        return std::nullopt;
    const qreal lineTop = layoutTop + chosen->y();
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
