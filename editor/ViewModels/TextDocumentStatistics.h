#pragma once

#include "DocumentStatistics.h"
#include "TextSnapshot.h"

#include <QObject>
#include <QPointer>

class TextDocument;

// The status counts of a TextDocument, kept up to date without reading the whole text on an
// edit: the counts are sums over lines (DocumentStatistics::countLine, every line break counting
// as a line feed), so a change takes off the lines it touched as they were, read from the
// snapshot counted last, and adds them as they are now. Nothing is stored per line.
class TextDocumentStatistics : public QObject
{
    Q_OBJECT

public:
    explicit TextDocumentStatistics(TextDocument *document, QObject *parent = nullptr);

    DocumentStatistics::TextCounts counts() const;

    // The sum of the counts of lines [firstLine, lastLine] of `snapshot` (to its last line when
    // lastLine is negative), read piece by piece: a full count may run on any thread.
    static DocumentStatistics::LineCounts countLines(
        const TextSnapshot &snapshot, qsizetype firstLine = 0, qsizetype lastLine = -1);

signals:
    // After every change of the text, also when the counts stayed the same.
    void countsChanged();

private:
    void update(qsizetype position, qsizetype removed, qsizetype added);

    QPointer<TextDocument> m_document;
    // The text the counts are of.
    TextSnapshot m_counted;
    DocumentStatistics::LineCounts m_total;
};
