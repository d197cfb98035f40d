#include "TextDocumentStatistics.h"

#include "TextDocument.h"

#include <QThread>

#include <algorithm>
#include <memory>

using DocumentStatistics::LineCounts;
using DocumentStatistics::LineTerminator;

namespace {

// The lines [first, last] around a change of [position, position + length), the same lines in
// the text before and after it: whether a unit starts a line depends on it and the unit before
// it, so line starts before the position and after the change's end are the same in both. The
// first line is the one holding the unit before the change (a CR there may have joined an LF or
// parted from one); the last ends at the first line start after the change.
std::pair<qsizetype, qsizetype> touchedLines(
    const TextSnapshot &text, qsizetype position, qsizetype length)
{
    return {position > 0 ? text.lineAt(position - 1) : 0, text.lineAt(position + length)};
}

bool isBreak(QChar unit)
{
    return unit == u'\n' || unit == u'\r';
}

// How the counts of `before` change when a change of [position, position + removed) into
// [position, position + added) makes it `after`.
LineCounts countChange(const TextSnapshot &before, const TextSnapshot &after, qsizetype position,
    qsizetype removed, qsizetype added)
{
    const auto [oldFirst, oldLast] = touchedLines(before, position, removed);
    const auto [newFirst, newLast] = touchedLines(after, position, added);
    return TextDocumentStatistics::countLines(after, newFirst, newLast)
        - TextDocumentStatistics::countLines(before, oldFirst, oldLast);
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

// A line that lies within one piece is counted where it lies; one that spans pieces is gathered
// first. A CR that ends a piece may be the first half of a CR LF.
LineCounts TextDocumentStatistics::countLines(
    const TextSnapshot &snapshot, qsizetype firstLine, qsizetype lastLine)
{
    const qsizetype lines = snapshot.lineCount();
    const bool toEnd = lastLine < 0 || lastLine >= lines - 1;
    const qsizetype start = snapshot.lineStart(firstLine);
    const qsizetype end = toEnd ? snapshot.length() : snapshot.lineStart(lastLine + 1);
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
    if (toEnd)
        total += DocumentStatistics::countLine(spanning, LineTerminator::None);
    return total;
}
