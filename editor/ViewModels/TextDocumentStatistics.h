#pragma once

#include "DocumentStatistics.h"
#include "TextSnapshot.h"

#include <QObject>
#include <QPointer>

#include <vector>

class QThread;
class TextDocument;

// The status counts of a TextDocument, kept up to date without reading the whole text on an
// edit: the counts are sums over lines (DocumentStatistics::countLine, every line break counting
// as a line feed), and within a line over stretches cut where no character spans the cut, so a
// change takes off the stretch around it as it was, read from the snapshot counted last, and
// adds it as it is now: a few hundred units, even in a line of millions. Nothing is stored per
// line. A change
// that touches much text (a loaded block, Replace All) is counted on a worker from the two
// snapshots, so the window never waits for it; the counts lag behind until it is done.
class TextDocumentStatistics : public QObject
{
    Q_OBJECT

public:
    explicit TextDocumentStatistics(TextDocument *document, QObject *parent = nullptr);
    // Waits for the counts under way.
    ~TextDocumentStatistics() override;

    DocumentStatistics::TextCounts counts() const;
    // Whether a large change is still being counted, so that counts() lags behind the text.
    bool isCounting() const { return !m_workers.empty(); }

    // Changes of at least this many units (removed and added) are counted on a worker.
    static constexpr qsizetype workerUnits = 256 * 1024;

    // The sum of the counts of lines [firstLine, lastLine] of `snapshot` (to its last line when
    // lastLine is negative), read piece by piece: a full count may run on any thread.
    static DocumentStatistics::LineCounts countLines(
        const TextSnapshot &snapshot, qsizetype firstLine = 0, qsizetype lastLine = -1);
    // The counts of the units [start, end): lines that end inside count their line break as an
    // LF, the part after the last one counts as a line without a break.
    static DocumentStatistics::LineCounts countStretch(
        const TextSnapshot &snapshot, qsizetype start, qsizetype end);

signals:
    // After every change of the text, also when the counts stayed the same.
    void countsChanged();

private:
    void update(qsizetype position, qsizetype removed, qsizetype added);

    QPointer<TextDocument> m_document;
    std::vector<QThread *> m_workers;
    // The text the counts are of.
    TextSnapshot m_counted;
    DocumentStatistics::LineCounts m_total;
};
