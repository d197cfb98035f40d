#include "DocumentTextAccess.h"

#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

DocumentTextAccess::DocumentTextAccess(QTextDocument *document)
    : m_document(document)
{ }

qsizetype DocumentTextAccess::length() const
{
    return m_document ? m_document->characterCount() - 1 : 0;
}

QString DocumentTextAccess::read(qsizetype position, qsizetype count) const
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

void DocumentTextAccess::replaceRanges(const MatchList &ranges, const QString &replacement)
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

QString DocumentTextAccess::wholeText() const
{
    return m_document ? plainText(*m_document) : QString();
}

QString DocumentTextAccess::plainText(const QTextDocument &document)
{
    QString text = document.toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}
