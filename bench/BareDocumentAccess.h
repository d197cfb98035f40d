#pragma once

#include "TextAccess.h"

#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

// Find's view of a QTextDocument as the editor had it before its own text engine, kept as the
// reference the benchmarks measure the engine against: lines separated by LF, reads walking only
// the blocks they cover, replacements one edit block.
class BareDocumentAccess : public EditableText
{
public:
    explicit BareDocumentAccess(QTextDocument *document)
        : m_document(document)
    { }

    qsizetype length() const override { return m_document ? m_document->characterCount() - 1 : 0; }

    QString read(qsizetype position, qsizetype count) const override
    {
        const qsizetype total = length();
        position = std::clamp<qsizetype>(position, 0, total);
        count = std::clamp<qsizetype>(count, 0, total - position);
        QString text;
        if (count == 0)
            return text;
        text.reserve(count);
        const qsizetype end = position + count;
        for (QTextBlock block = m_document->findBlock(int(position));
             block.isValid() && block.position() < end; block = block.next()) {
            const qsizetype blockStart = block.position();
            const QString line = block.text();
            const qsizetype from = std::max<qsizetype>(position, blockStart) - blockStart;
            const qsizetype to = std::min<qsizetype>(end - blockStart, line.size());
            if (to > from)
                text += QStringView(line).mid(from, to - from);
            if (blockStart + line.size() < end && block.next().isValid())
                text += u'\n';
        }
        return text;
    }

    void replaceRanges(const MatchList &ranges, const QString &replacement) override
    {
        if (!m_document || ranges.isEmpty())
            return;
        QTextCursor cursor(m_document);
        cursor.beginEditBlock();
        for (auto range = ranges.crbegin(); range != ranges.crend(); ++range) {
            cursor.setPosition(int(range->location));
            cursor.setPosition(int(range->end()), QTextCursor::KeepAnchor);
            cursor.insertText(replacement);
        }
        cursor.endEditBlock();
    }

    // QTextDocument::toPlainText() would also turn no-break spaces into spaces.
    QString wholeText() const override
    {
        QString text = m_document ? m_document->toRawText() : QString();
        text.replace(QChar::ParagraphSeparator, u'\n');
        return text;
    }

private:
    QPointer<QTextDocument> m_document;
};
