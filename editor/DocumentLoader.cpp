#include "DocumentLoader.h"

#include "ScrivletDocument.h"

#include <QAbstractTextDocumentLayout>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <QTimer>

#include <limits>
#include <memory>
#include <utility>

namespace {

// Text handed over per call to QTextDocument; the slice loop repeats this until its time budget
// is spent.
constexpr qsizetype unitsPerInsert = 16 * 1024;

// While a turn's slices go in, the view would hear of every insert: it repaints and, to size its
// scroll bar, lays out the last screenful of lines each time. Holding the layout's notifications
// back and giving them once per turn does that work once instead of a dozen times.
class LayoutNotificationsDeferral
{
public:
    explicit LayoutNotificationsDeferral(QTextDocument &document)
        // documentLayout() would create a layout of the wrong kind for a plain text view.
        : m_layout(document.findChild<QAbstractTextDocumentLayout *>(
            QString(), Qt::FindDirectChildrenOnly))
        , m_blocker(m_layout)
    { }
    ~LayoutNotificationsDeferral()
    {
        if (!m_layout)
            return;
        m_blocker.unblock();
        emit m_layout->documentSizeChanged(m_layout->documentSize());
        emit m_layout->update();
    }
    Q_DISABLE_COPY_MOVE(LayoutNotificationsDeferral)

private:
    QAbstractTextDocumentLayout *m_layout;
    QSignalBlocker m_blocker;
};

// Lines as the document will split them: CR LF, CR and LF each end one.
int countLines(QStringView text)
{
    qsizetype lines = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        if (unit == u'\n' || (unit == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n')))
            ++lines;
    }
    return int(std::min<qsizetype>(lines, std::numeric_limits<int>::max()));
}

} // namespace

DocumentLoader::DocumentLoader(QTextDocument *document, QObject *parent)
    : QObject(parent)
    , m_document(document)
{ }

DocumentLoader::~DocumentLoader()
{
    if (m_reader) {
        m_reader->wait();
        delete m_reader;
    }
}

void DocumentLoader::load(const QString &path)
{
    m_loading = true;
    m_cancelled = false;
    // Reading, decoding and looking for long lines all happen on the worker.
    struct Read
    {
        std::optional<DocumentResult<ScrivletDocument>> document;
        std::optional<LongLineLayout> longLines;
        int lines = 1;
        bool hasNul = false;
        bool savingChangesBytes = false;
    };
    auto result = std::make_shared<Read>();
    m_reader = QThread::create([path, result] {
        DocumentResult<QByteArray> bytes = ScrivletDocument::readBytes(path);
        if (!bytes) {
            result->document.emplace(bytes.error());
            return;
        }
        DocumentResult<QString> text = ScrivletDocument::decodeText(*bytes);
        if (!text) {
            result->document.emplace(text.error());
            return;
        }
        result->longLines = LongLineLayout::forText(*text);
        result->lines = countLines(*text);
        result->hasNul = text->contains(QChar(u'\0'));
        // Only the question about a binary file tells whether a save would rewrite it.
        if (result->hasNul) {
            const DocumentResult<QByteArray> saved = ScrivletDocument::encodeForSave(*text);
            result->savingChangesBytes = !saved || *saved != *bytes;
        }
        bytes = QByteArray();
        result->document.emplace(ScrivletDocument(std::move(*text)));
    });
    connect(m_reader, &QThread::finished, this, [this, result] {
        m_reader->deleteLater();
        m_reader = nullptr;
        if (m_cancelled) {
            m_loading = false;
            emit cancelled();
            return;
        }
        DocumentResult<ScrivletDocument> &read = *result->document;
        if (!read) {
            m_loading = false;
            emit failed(read.error());
            return;
        }
        if (result->hasNul && m_confirmBinary && !m_confirmBinary(result->savingChangesBytes)) {
            m_loading = false;
            emit cancelled();
            return;
        }
        show(std::move(read).value().text, std::move(result->longLines), result->lines);
    });
    m_reader->start();
}

void DocumentLoader::loadText(QString text)
{
    std::optional<LongLineLayout> longLines = LongLineLayout::forText(text);
    const int lines = countLines(text);
    show(std::move(text), std::move(longLines), lines);
}

void DocumentLoader::show(QString text, std::optional<LongLineLayout> longLines, int lines)
{
    m_longLines = std::move(longLines);
    m_lineCount = lines;
    if (m_longLines) {
        m_original = std::move(text);
        startInserting(m_longLines->displayText());
    } else {
        m_original.clear();
        startInserting(std::move(text));
    }
}

void DocumentLoader::editAnyway()
{
    if (!m_longLines || m_loading)
        return;
    m_longLines.reset();
    startInserting(std::exchange(m_original, QString()));
}

void DocumentLoader::startInserting(QString text)
{
    m_loading = true;
    m_cancelled = false;
    m_text = std::move(text);
    m_inserted = 0;
    emit lineCountKnown(m_lineCount);
    if (m_document) {
        m_document->setUndoRedoEnabled(false);
        m_document->clear();
        // clear() reports the document modified yet leaves it marked unmodified, so finish()
        // would report nothing and the report would stand whenever no text follows (an empty
        // file). Marked as reported, finish() then reports it unmodified.
        m_document->setModified(true);
    }
    insertNextSlice();
}

void DocumentLoader::cancel()
{
    if (!m_loading)
        return;
    m_cancelled = true;
    if (m_reader)
        return; // reported when the reader ends
    m_loading = false;
    m_text.clear();
    if (m_document)
        m_document->setUndoRedoEnabled(true);
    emit cancelled();
}

// A slice ends after a line feed, so it never splits CR LF (the document turns each of CR, LF and
// CR LF into one line break, so a split pair would add a line) and never splits a line: text
// added to a line lays the whole line out again, so a long line arriving in pieces would cost
// its layout once per piece.
qsizetype DocumentLoader::sliceEnd(qsizetype from, qsizetype wanted) const
{
    const qsizetype limit = std::min(m_text.size(), from + wanted);
    if (limit == m_text.size())
        return limit;
    const qsizetype before = m_text.lastIndexOf(u'\n', limit - 1);
    if (before >= from)
        return before + 1;
    const qsizetype after = m_text.indexOf(u'\n', limit);
    return after < 0 ? m_text.size() : after + 1;
}

void DocumentLoader::insertNextSlice()
{
    if (!m_loading || m_cancelled || !m_document)
        return;
    QElapsedTimer budget;
    budget.start();
    QTextCursor cursor(m_document);
    cursor.movePosition(QTextCursor::End);
    {
        const LayoutNotificationsDeferral deferral(*m_document);
        do {
            const qsizetype end = sliceEnd(m_inserted, unitsPerInsert);
            const QString slice = QStringView(m_text).mid(m_inserted, end - m_inserted).toString();
            emit aboutToAppend(slice);
            cursor.insertText(slice);
            m_inserted = end;
        } while (m_inserted < m_text.size() && budget.elapsed() < sliceBudgetMilliseconds);
    }
    emit progress(m_inserted, m_text.size());
    if (m_inserted >= m_text.size()) {
        finish();
        return;
    }
    QTimer::singleShot(0, this, &DocumentLoader::insertNextSlice);
}

void DocumentLoader::markLongLineBlocks(QTextDocument &document, const LongLineLayout &layout)
{
    const QList<qsizetype> &breaks = layout.breaks();
    qsizetype nextBreak = 0;
    int line = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        // The k-th inserted break is the display character at breaks[k] + k; the block after it
        // continues the same line.
        const bool continues
            = nextBreak < breaks.size() && block.position() == breaks[nextBreak] + nextBreak + 1;
        if (continues) {
            ++nextBreak;
            block.setUserState(-1 - line);
        } else {
            block.setUserState(++line);
        }
    }
}

void DocumentLoader::finish()
{
    m_loading = false;
    m_text = QString();
    if (m_longLines)
        markLongLineBlocks(*m_document, *m_longLines);
    m_document->setUndoRedoEnabled(true);
    m_document->setModified(false);
    emit finished();
}
