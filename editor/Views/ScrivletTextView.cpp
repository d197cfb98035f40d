#include "ScrivletTextView.h"

#include "HighlightColors.h"
#include "LineNumberGutter.h"

#include <QAbstractTextDocumentLayout>
#include <QDropEvent>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QUrl>
#include <QVariantAnimation>

#include <algorithm>

namespace {

// How long the find indicator takes to fade, and how far beyond the visible text highlights are
// prepared so that scrolling a little does not show unmarked matches for a frame.
constexpr int pulseMilliseconds = 450;
constexpr qsizetype highlightSlack = 2000;

} // namespace

ScrivletTextView::ScrivletTextView(QWidget *parent)
    : QPlainTextEdit(parent)
    , m_pulse(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("scrivlet.textEditor"));
    setAccessibleName(QStringLiteral("Document text editor"));
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    setBackgroundVisible(false);
    setUndoRedoEnabled(true);
    document()->setDocumentMargin(horizontalInset);
    // Setting the margin counts as a change of the document; a new document has none.
    document()->setModified(false);

    m_gutter = new LineNumberGutter(this);
    connect(m_gutter, &LineNumberGutter::thicknessChanged, this,
        &ScrivletTextView::updateViewportMargins);
    updateViewportMargins();

    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &, int dy) {
        if (dy != 0)
            refreshVisibleHighlights();
        emit visibleAreaChanged();
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this,
        &ScrivletTextView::refreshVisibleHighlights);

    m_pulse->setDuration(pulseMilliseconds);
    m_pulse->setStartValue(1.0);
    m_pulse->setEndValue(0.0);
    m_pulse->setEasingCurve(QEasingCurve::OutCubic);
    connect(
        m_pulse, &QVariantAnimation::valueChanged, viewport(), [this] { viewport()->update(); });
    connect(m_pulse, &QVariantAnimation::finished, this, [this] {
        m_pulseRange.reset();
        viewport()->update();
    });
}

ScrivletTextView::~ScrivletTextView() = default;

ScrivletTextView::BlockLine ScrivletTextView::lineNumberOf(const QTextBlock &block)
{
    const int state = block.userState();
    if (state == -1)
        return {block.blockNumber() + 1, true};
    if (state > 0)
        return {state, true};
    return {-1 - state, false};
}

QRectF ScrivletTextView::blockGeometry(const QTextBlock &block) const
{
    return blockBoundingGeometry(block).translated(contentOffset());
}

// The text keeps the document margin on every side; the extra top and bottom space brings the
// vertical inset to its full size, and the left margin makes room for the gutter.
void ScrivletTextView::updateViewportMargins()
{
    const int extra = verticalInset - horizontalInset;
    setViewportMargins(m_gutter->thickness(), extra, 0, extra);
    const QRect contents = contentsRect();
    m_gutter->setGeometry(
        contents.left(), contents.top(), m_gutter->thickness(), contents.height());
}

void ScrivletTextView::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    updateViewportMargins();
    refreshVisibleHighlights();
}

// Pasting rich text pastes its plain text; nothing else ever enters the document.
namespace {

// The local files a drag carries, or nothing when it carries anything else.
QStringList droppedFiles(const QMimeData *source)
{
    QStringList paths;
    if (!source || !source->hasUrls())
        return paths;
    for (const QUrl &url : source->urls()) {
        if (!url.isLocalFile())
            return {};
        paths.append(url.toLocalFile());
    }
    return paths;
}

} // namespace

bool ScrivletTextView::canInsertFromMimeData(const QMimeData *source) const
{
    return !droppedFiles(source).isEmpty() || QPlainTextEdit::canInsertFromMimeData(source);
}

void ScrivletTextView::dropEvent(QDropEvent *event)
{
    if (const QStringList files = droppedFiles(event->mimeData()); !files.isEmpty()) {
        event->acceptProposedAction();
        emit filesDropped(files);
        return;
    }
    QPlainTextEdit::dropEvent(event);
}

void ScrivletTextView::insertFromMimeData(const QMimeData *source)
{
    if (source && source->hasText())
        insertPlainText(source->text());
}

void ScrivletTextView::setMatchHighlights(const MatchList *ranges, std::optional<qsizetype> current)
{
    m_matchRanges = ranges;
    m_currentMatch = current;
    refreshVisibleHighlights();
}

HighlightColors::Pair ScrivletTextView::highlightFills() const
{
    return HighlightColors::forColors(palette().color(QPalette::Active, QPalette::Base),
        palette().color(QPalette::Active, QPalette::Text));
}

// The fills follow the editor's colours, so a new palette (a colour setting, the appearance)
// paints the matches anew.
void ScrivletTextView::changeEvent(QEvent *event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        refreshVisibleHighlights();
}

// Extra selections are display-only: they never reach the document or its undo stack.
void ScrivletTextView::refreshVisibleHighlights()
{
    QList<QTextEdit::ExtraSelection> selections;
    const qsizetype length = document()->characterCount() - 1;
    if (m_matchRanges && !m_matchRanges->isEmpty() && length >= 0) {
        const HighlightColors::Pair fills = highlightFills();
        const QTextBlock first = firstVisibleBlock();
        qsizetype visibleEnd = first.position();
        const qreal bottom = viewport()->height();
        for (QTextBlock block = first; block.isValid(); block = block.next()) {
            visibleEnd = block.position() + block.length();
            if (blockGeometry(block).top() > bottom)
                break;
        }
        const qsizetype from = std::max<qsizetype>(0, first.position() - highlightSlack);
        const qsizetype to = visibleEnd + highlightSlack;
        const MatchList &ranges = *m_matchRanges;
        auto it = std::lower_bound(ranges.cbegin(), ranges.cend(), from,
            [](const MatchRange &m, qsizetype p) { return m.end() < p; });
        for (; it != ranges.cend() && it->location <= to; ++it) {
            if (it->end() > length)
                continue;
            const qsizetype index = it - ranges.cbegin();
            QTextEdit::ExtraSelection selection;
            selection.cursor = QTextCursor(document());
            selection.cursor.setPosition(int(it->location));
            selection.cursor.setPosition(int(it->end()), QTextCursor::KeepAnchor);
            selection.format.setBackground(
                index == m_currentMatch ? fills.currentMatch : fills.match);
            selections.append(selection);
        }
    }
    if (!selections.isEmpty() || !extraSelections().isEmpty())
        setExtraSelections(selections);
}

void ScrivletTextView::revealMatch(const MatchRange &range)
{
    const qsizetype length = document()->characterCount() - 1;
    if (range.end() > length)
        return;
    const QTextBlock block = document()->findBlock(int(range.location));
    if (!block.isValid())
        return;
    // Scrolling works in visual lines; the block's own layout says which of its lines holds the
    // match. The cursor stays where the user left it.
    blockBoundingRect(block);
    int lineInBlock = 0;
    if (const QTextLayout *layout = block.layout(); layout && layout->lineCount() > 0)
        lineInBlock
            = layout->lineForTextPosition(int(range.location - block.position())).lineNumber();
    const int targetLine = block.firstLineNumber() + std::max(0, lineInBlock);
    const QFontMetrics metrics(font());
    const int visibleLines = std::max(1, viewport()->height() / std::max(1, metrics.lineSpacing()));
    QScrollBar *bar = verticalScrollBar();
    if (targetLine < bar->value() || targetLine >= bar->value() + visibleLines - 1)
        bar->setValue(std::max(0, targetLine - visibleLines / 2));
    m_pulseRange = range;
    m_pulse->stop();
    m_pulse->start();
}

QRectF ScrivletTextView::rangeRect(const MatchRange &range) const
{
    const QTextBlock block = document()->findBlock(int(range.location));
    const QTextLayout *layout = block.layout();
    if (!block.isValid() || !layout || layout->lineCount() == 0)
        return {};
    const int start = int(range.location - block.position());
    const int end = int(std::min<qsizetype>(range.end() - block.position(), block.length() - 1));
    const QTextLine line = layout->lineForTextPosition(start);
    if (!line.isValid())
        return {};
    const qreal left = line.cursorToX(start);
    const qreal right = line.lineNumber() == layout->lineForTextPosition(end).lineNumber()
        ? line.cursorToX(end)
        : line.x() + line.naturalTextWidth();
    const QPointF origin = blockGeometry(block).topLeft();
    return QRectF(
        origin.x() + left, origin.y() + line.y(), std::max<qreal>(right - left, 2), line.height());
}

// The find indicator: the current match grows a little and fades, so the eye finds it.
void ScrivletTextView::paintEvent(QPaintEvent *event)
{
    QPlainTextEdit::paintEvent(event);
    if (!m_pulseRange || m_pulse->state() != QAbstractAnimation::Running)
        return;
    const QRectF rect = rangeRect(*m_pulseRange);
    if (rect.isEmpty())
        return;
    const qreal strength = m_pulse->currentValue().toReal();
    QPainter painter(viewport());
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = highlightFills().currentMatch;
    fill.setAlphaF(float(0.9 * strength));
    const qreal grow = 3.0 * strength;
    QPainterPath path;
    path.addRoundedRect(rect.adjusted(-grow, -grow / 2, grow, grow / 2), 3, 3);
    painter.fillPath(path, fill);
}
