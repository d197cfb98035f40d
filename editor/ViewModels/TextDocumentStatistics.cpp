#include "TextDocumentStatistics.h"

#include "TextDocument.h"

#include <QThread>

#include <algorithm>
#include <memory>

using DocumentStatistics::LineCounts;
using DocumentStatistics::LineTerminator;

namespace {

// How far from a change a counting cut is looked for before whole lines are counted instead.
constexpr qsizetype cutSearchUnits = 256;

bool isBreak(QChar unit)
{
    return unit == u'\n' || unit == u'\r';
}

// Whether counting the text on each side of the place between `before` and `after` apart adds up
// to counting it whole, but for what these two units decide: a word or a paragraph that runs
// across is counted on both sides. No grapheme cluster spans such a place (neither unit joins
// its neighbours, and no rule looks back past `after`), nor does a line break. The same two
// units stand there before and after a change that leaves them alone, so what they add cancels
// out of the difference.
bool isCountingCut(QChar before, QChar after)
{
    return DocumentStatistics::isIsolatedGraphemeUnit(before.unicode())
        && DocumentStatistics::isIsolatedGraphemeUnit(after.unicode()) && !isBreak(before)
        && !isBreak(after);
}

// Where the counted stretch before a change at `position` starts: at the nearest counting cut
// with both units before the change, else at the start of the line holding the unit before it
// (a CR there may have joined an LF or parted from one). Line starts before a change are the
// same in the text before and after it.
qsizetype stretchStart(const TextSnapshot &text, qsizetype position)
{
    const qsizetype from = std::max<qsizetype>(position - cutSearchUnits, 0);
    const QString units = text.text(from, position - from);
    for (qsizetype at = units.size() - 1; at >= 1; --at) {
        if (isCountingCut(units[at - 1], units[at]))
            return from + at;
    }
    return text.lineStart(position > 0 ? text.lineAt(position - 1) : 0);
}

// Where it ends after a change that ends at `end`: at the nearest counting cut with both units
// after the change, else at the first line start after it, or at the end of the text.
qsizetype stretchEnd(const TextSnapshot &text, qsizetype end)
{
    const QString units = text.text(end, cutSearchUnits);
    for (qsizetype at = 1; at < units.size(); ++at) {
        if (isCountingCut(units[at - 1], units[at]))
            return end + at;
    }
    const qsizetype line = text.lineAt(end);
    return line + 1 < text.lineCount() ? text.lineStart(line + 1) : text.length();
}

// How the counts of `before` change when a change of [position, position + removed) into
// [position, position + added) makes it `after`: the stretch around it, counted in both. A
// keystroke in a line of millions of characters reads a few hundred units.
LineCounts countChange(const TextSnapshot &before, const TextSnapshot &after, qsizetype position,
    qsizetype removed, qsizetype added)
{
    const qsizetype start = stretchStart(after, position);
    const qsizetype end = stretchEnd(after, position + added);
    return TextDocumentStatistics::countStretch(after, start, end)
        - TextDocumentStatistics::countStretch(before, start, end - added + removed);
}

} // namespace

TextDocumentStatistics::TextDocumentStatistics(TextDocument *document, QObject *parent)
    : QObject(parent)
    , m_document(document)
    , m_counted(document->snapshot())
    , m_total(countLines(m_counted))
{
    connect(document, &TextDocument::contentsChange, this, &TextDocumentStatistics::update);
}

DocumentStatistics::TextCounts TextDocumentStatistics::counts() const
{
    return DocumentStatistics::totalCounts(m_total);
}

TextDocumentStatistics::~TextDocumentStatistics()
{
    for (QThread *worker : m_workers) {
        worker->wait();
        delete worker;
    }
}

// Counts are sums, so the changes counted on workers may be added in any order.
void TextDocumentStatistics::update(qsizetype position, qsizetype removed, qsizetype added)
{
    TextSnapshot before = std::exchange(m_counted, m_document->snapshot());
    if (removed + added < workerUnits) {
        m_total += countChange(before, m_counted, position, removed, added);
        emit countsChanged();
        return;
    }
    auto change = std::make_shared<LineCounts>();
    QThread *worker = QThread::create(
        [before = std::move(before), after = m_counted, position, removed, added, change] {
            *change = countChange(before, after, position, removed, added);
        });
    m_workers.push_back(worker);
    connect(worker, &QThread::finished, this, [this, worker, change] {
        std::erase(m_workers, worker);
        worker->deleteLater();
        m_total += *change;
        emit countsChanged();
    });
    worker->start();
}

LineCounts TextDocumentStatistics::countLines(
    const TextSnapshot &snapshot, qsizetype firstLine, qsizetype lastLine)
{
    const bool toEnd = lastLine < 0 || lastLine >= snapshot.lineCount() - 1;
    return countStretch(snapshot, snapshot.lineStart(firstLine),
        toEnd ? snapshot.length() : snapshot.lineStart(lastLine + 1));
}

// A line that lies within one piece is counted where it lies; one that spans pieces is gathered
// first. A CR that ends a piece may be the first half of a CR LF.
LineCounts TextDocumentStatistics::countStretch(
    const TextSnapshot &snapshot, qsizetype start, qsizetype end)
{
    LineCounts total;
    QString spanning;
    bool lineFeedEndsPair = false;
    TextChunkReader reader = snapshot.chunks(start, end - start);
    for (QStringView chunk = reader.next(); !chunk.isEmpty(); chunk = reader.next()) {
        if (std::exchange(lineFeedEndsPair, false) && chunk.front() == u'\n')
            chunk = chunk.sliced(1);
        qsizetype from = 0;
        for (auto at = std::find_if(chunk.begin(), chunk.end(), isBreak); at != chunk.end();
             at = std::find_if(at + 1, chunk.end(), isBreak)) {
            const qsizetype i = at - chunk.begin();
            const QStringView line = chunk.sliced(from, i - from);
            if (spanning.isEmpty()) {
                total += DocumentStatistics::countLine(line, LineTerminator::LineFeed);
            } else {
                spanning += line;
                total += DocumentStatistics::countLine(spanning, LineTerminator::LineFeed);
                spanning.clear();
            }
            const bool pair = *at == u'\r' && i + 1 < chunk.size() && chunk[i + 1] == u'\n';
            lineFeedEndsPair = *at == u'\r' && i + 1 == chunk.size();
            if (pair)
                ++at;
            from = (at - chunk.begin()) + 1;
        }
        spanning += chunk.sliced(from);
    }
    if (!spanning.isEmpty())
        total += DocumentStatistics::countLine(spanning, LineTerminator::None);
    return total;
}
