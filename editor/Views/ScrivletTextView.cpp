#include "ScrivletTextView.h"

#include "HighlightColors.h"
#include "LineNumberGutter.h"
#include "LiveMatches.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QUrl>
#include <QVariantAnimation>

#include <algorithm>

namespace {

// How long the find indicator takes to fade.
constexpr int pulseMilliseconds = 450;

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

ScrivletTextView::ScrivletTextView(QWidget *parent)
    : TextView(parent)
    , m_ownDocument(new TextDocument(this))
    , m_pulse(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("scrivlet.textEditor"));
    setAccessibleName(QStringLiteral("Document text editor"));
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);
    setDocument(m_ownDocument);
    setTextInsets(QMargins(horizontalInset, verticalInset, horizontalInset, verticalInset));

    m_gutter = new LineNumberGutter(this);
    connect(m_gutter, &LineNumberGutter::thicknessChanged, this,
        &ScrivletTextView::updateViewportMargins);
    connect(m_ownDocument, &TextDocument::contentsChange, m_gutter,
        &LineNumberGutter::updateThicknessIfNeeded);
    updateViewportMargins();

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

qsizetype ScrivletTextView::cursorLine() const
{
    return document()->lineAt(cursorPosition());
}

void ScrivletTextView::updateViewportMargins()
{
    setViewportMargins(m_gutter->thickness(), 0, 0, 0);
    const QRect contents = contentsRect();
    m_gutter->setGeometry(
        contents.left(), contents.top(), m_gutter->thickness(), contents.height());
}

void ScrivletTextView::resizeEvent(QResizeEvent *event)
{
    TextView::resizeEvent(event);
    updateViewportMargins();
}

void ScrivletTextView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!isReadOnly() && (event->mimeData()->hasText() || event->mimeData()->hasUrls()))
        event->acceptProposedAction();
}

void ScrivletTextView::dragMoveEvent(QDragMoveEvent *event)
{
    TextView::dragMoveEvent(event);
    if (!isReadOnly() && event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

// Files dropped are opened; dropped text goes in as plain text where it is dropped (TextView).
void ScrivletTextView::dropEvent(QDropEvent *event)
{
    if (const QStringList files = droppedFiles(event->mimeData()); !files.isEmpty()) {
        event->acceptProposedAction();
        emit filesDropped(files);
        return;
    }
    TextView::dropEvent(event);
    if (event->isAccepted())
        setFocus(Qt::MouseFocusReason);
}

// The editing commands a text field offers on a right click, with the keys that do the same.
void ScrivletTextView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    const bool editable = !isReadOnly();
    const auto add
        = [&menu](const QString &name, QKeySequence::StandardKey key, bool enabled, auto command) {
              QAction *action = menu.addAction(name);
              action->setShortcut(key);
              action->setEnabled(enabled);
              connect(action, &QAction::triggered, &menu, command);
          };
    add(tr("&Undo"), QKeySequence::Undo, editable && document()->canUndo(), [this] { undo(); });
    add(tr("&Redo"), QKeySequence::Redo, editable && document()->canRedo(), [this] { redo(); });
    menu.addSeparator();
    add(tr("Cu&t"), QKeySequence::Cut, editable && hasSelection(), [this] { cut(); });
    add(tr("&Copy"), QKeySequence::Copy, hasSelection(), [this] { copy(); });
    add(tr("&Paste"), QKeySequence::Paste,
        editable && !QGuiApplication::clipboard()->text().isEmpty(), [this] { paste(); });
    add(tr("Delete"), QKeySequence::Delete, editable && hasSelection(), [this] { insertText({}); });
    menu.addSeparator();
    add(tr("Select All"), QKeySequence::SelectAll, document()->length() > 0,
        [this] { selectAll(); });
    menu.exec(event->globalPos());
}

void ScrivletTextView::setMatchHighlights(
    const LiveMatches *ranges, std::optional<qsizetype> current)
{
    m_matchRanges = ranges;
    m_currentMatch = current;
    if (!ranges || ranges->isEmpty())
        setHighlightSource({});
    else
        setHighlightSource(
            [this](qsizetype start, qsizetype end) { return matchesIn(start, end); });
}

// Highlights are drawn with the text, never put into it: they stay out of the document and its
// undo history.
std::vector<TextView::Highlight> ScrivletTextView::matchesIn(qsizetype start, qsizetype end) const
{
    std::vector<Highlight> highlights;
    if (!m_matchRanges)
        return highlights;
    const LiveMatches &ranges = *m_matchRanges;
    const qsizetype length = document()->length();
    const HighlightColors::Pair fills = highlightFills();
    for (qsizetype index = ranges.firstEndingAfter(start); index < ranges.size(); ++index) {
        const MatchRange match = ranges.at(index);
        if (match.location >= end)
            break;
        if (match.end() > length)
            continue;
        Highlight highlight {match.location, match.length, {}};
        highlight.format.setBackground(index == m_currentMatch ? fills.currentMatch : fills.match);
        highlights.push_back(std::move(highlight));
    }
    return highlights;
}

HighlightColors::Pair ScrivletTextView::highlightFills() const
{
    return HighlightColors::forColors(palette().color(QPalette::Active, QPalette::Base),
        palette().color(QPalette::Active, QPalette::Text));
}

void ScrivletTextView::centerOn(qsizetype position)
{
    ensureVisible(position);
    const QRect at = characterRect(position);
    const qreal rowHeight = layouts().rowHeight();
    if (at.isNull() || rowHeight <= 0)
        return;
    const int rows = int((at.center().y() - viewport()->height() / 2) / rowHeight);
    if (rows != 0)
        scrollByRows(rows);
}

// The rows shown are scrolled to only when the match is off screen or on its last row, so
// stepping through matches on one screen keeps the text still.
void ScrivletTextView::revealMatch(const MatchRange &range)
{
    if (range.end() > document()->length())
        return;
    const QRect at = characterRect(range.location);
    const qreal rowHeight = layouts().rowHeight();
    if (at.isNull() || at.bottom() + rowHeight > viewport()->height())
        centerOn(range.location);
    m_pulseRange = range;
    m_pulse->stop();
    m_pulse->start();
}

void ScrivletTextView::addRangeRects(
    RangeRects &rects, const QTextLayout &layout, QPointF origin, qsizetype from, qsizetype to)
{
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        const qsizetype lineStart = line.textStart();
        const qsizetype lineEnd = lineStart + line.textLength();
        if (to <= lineStart || from > lineEnd
            || (from == lineEnd && to > from && i + 1 < layout.lineCount()))
            continue;
        qreal left = line.cursorToX(int(std::max(from, lineStart)));
        qreal right = line.cursorToX(int(std::min(to, lineEnd)));
        if (left > right)
            std::swap(left, right);
        rects.emplace_back(origin.x() + left, origin.y() + line.y(),
            std::max<qreal>(right - left, 2), line.height());
    }
}

// The find indicator: the current match grows a little and fades, so the eye finds it.
void ScrivletTextView::paintPulse(QPainter &painter)
{
    if (!m_pulseRange || m_pulse->state() != QAbstractAnimation::Running)
        return;
    RangeRects rects;
    for (const ShownBlock &shown : shownBlocks()) {
        const qsizetype start = layouts().blockStart(shown.block);
        const qsizetype end = start + layouts().blockLength(shown.block);
        if (m_pulseRange->location >= start && m_pulseRange->location <= end) {
            addRangeRects(rects, *layouts().layout(shown.block), shown.origin,
                m_pulseRange->location - start, std::min(m_pulseRange->end(), end) - start);
            break;
        }
    }
    if (rects.empty())
        return;
    const qreal strength = m_pulse->currentValue().toReal();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = highlightFills().currentMatch;
    fill.setAlphaF(float(0.9 * strength));
    const qreal grow = 3.0 * strength;
    QPainterPath path;
    path.addRoundedRect(rects.front().adjusted(-grow, -grow / 2, grow, grow / 2), 3, 3);
    painter.fillPath(path, fill);
}

void ScrivletTextView::paintEvent(QPaintEvent *event)
{
    TextView::paintEvent(event);
    {
        QPainter painter(viewport());
        painter.setClipRect(event->rect());
        paintPulse(painter);
    }
    noteVisibleArea();
}

// The gutter numbers the rows shown; it follows whatever moved them, scrolling and edits alike.
void ScrivletTextView::noteVisibleArea()
{
    const VisibleArea area {firstVisibleRow(), document()->length(), document()->lineCount(),
        viewport()->height(), layouts().wrapWidth(), layouts().rowHeight()};
    if (m_visibleArea == area)
        return;
    m_visibleArea = area;
    m_gutter->update();
    emit visibleAreaChanged();
}
