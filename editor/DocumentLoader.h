#pragma once

#include "DocumentError.h"
#include "LongLineLayout.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QTextDocument;
class QThread;

// Opens a file into an editor's document without freezing its window: the file is read and
// decoded on a worker thread, then handed to the document in slices of whole lines, a few
// milliseconds of work per turn of the event loop, so the first screenful shows at once and the
// window keeps answering input while the rest arrives. The load is not an undoable edit.
class DocumentLoader : public QObject
{
    Q_OBJECT

public:
    // How long one slice may keep the event loop busy.
    static constexpr int sliceBudgetMilliseconds = 40;

    explicit DocumentLoader(QTextDocument *document, QObject *parent = nullptr);
    ~DocumentLoader() override;

    // Starts reading `path`. Exactly one of finished(), failed() or cancelled() follows.
    void load(const QString &path);
    // Hands text that is already decoded to the document in slices.
    void loadText(QString text);
    void cancel();
    // Asked, once a file is read, whether to go on with a file that contains NUL characters, and
    // told whether saving it unedited would write other bytes than the file holds (another
    // encoding, other line endings); without it such files open without asking.
    void setBinaryConfirmation(std::function<bool(bool savingChangesBytes)> confirm)
    {
        m_confirmBinary = std::move(confirm);
    }
    // Replaces the long-line display with the text itself, editable, at the price of slow
    // layout on every edit of its long lines.
    void editAnyway();

    bool isLoading() const { return m_loading; }
    // The long-line display the document shows, if the text needed one.
    const std::optional<LongLineLayout> &longLineLayout() const { return m_longLines; }
    // The text as read, while the document shows its long-line display.
    const QString &originalText() const { return m_original; }

    // How the gutter numbers a block of a long-line display (see ScrivletTextView::lineNumberOf).
    static void markLongLineBlocks(QTextDocument &document, const LongLineLayout &layout);

signals:
    // The number of lines the document will have, announced before the first slice.
    void lineCountKnown(int lines);
    // `slice` is about to be appended at the end of the document; it lives until the append ends.
    void aboutToAppend(QStringView slice);
    // Units of text handed to the document so far, out of the whole text.
    void progress(qint64 done, qint64 total);
    void finished();
    void failed(const DocumentError &error);
    void cancelled();

private:
    void insertNextSlice();
    qsizetype sliceEnd(qsizetype from, qsizetype wanted) const;
    void finish();
    void show(QString text, std::optional<LongLineLayout> longLines, int lines);
    void startInserting(QString text);

    QPointer<QTextDocument> m_document;
    QThread *m_reader = nullptr;
    QString m_text;
    QString m_original;
    std::optional<LongLineLayout> m_longLines;
    qsizetype m_inserted = 0;
    int m_lineCount = 1;
    bool m_loading = false;
    bool m_cancelled = false;
    std::function<bool(bool)> m_confirmBinary;
};
