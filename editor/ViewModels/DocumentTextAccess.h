#pragma once

#include "TextAccess.h"

#include <QPointer>
#include <QTextDocument>

// The text of an editor's QTextDocument as find sees it: lines separated by LF. Reads walk only
// the blocks they cover, and replacements are one undoable edit.
class DocumentTextAccess : public EditableText
{
public:
    explicit DocumentTextAccess(QTextDocument *document);

    qsizetype length() const override;
    QString read(qsizetype position, qsizetype count) const override;
    void replaceRanges(const MatchList &ranges, const QString &replacement) override;
    QString wholeText() const override;

    QTextDocument *document() const { return m_document; }

    // The whole text with LF between lines. QTextDocument::toPlainText() would also turn
    // no-break spaces into spaces, so it is never used.
    static QString plainText(const QTextDocument &document);

private:
    QPointer<QTextDocument> m_document;
};
