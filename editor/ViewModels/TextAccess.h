#pragma once

#include "MatchRange.h"

#include <QString>
#include <QStringView>

// Read access to a document's text by position, so that a search around an edit reads only the
// few lines it needs instead of copying the whole text.
class TextAccess
{
public:
    virtual ~TextAccess() = default;
    // Length in UTF-16 code units.
    virtual qsizetype length() const = 0;
    // The units [position, position + count), clamped to the text.
    virtual QString read(qsizetype position, qsizetype count) const = 0;
};

// A text that find's Replace and Replace All can change.
class EditableText : public TextAccess
{
public:
    // Replaces every range with `replacement`, as one edit. The ranges are ascending, do not
    // overlap and lie inside the text.
    virtual void replaceRanges(const MatchList &ranges, const QString &replacement) = 0;
    // The whole text, for searching it again after a replacement.
    virtual QString wholeText() const = 0;
};

// TextAccess over a string held in memory.
class StringTextAccess : public EditableText
{
public:
    explicit StringTextAccess(QString text = {})
        : m_text(std::move(text))
    { }

    qsizetype length() const override { return m_text.size(); }
    QString read(qsizetype position, qsizetype count) const override
    {
        return m_text.mid(position, count);
    }
    void replaceRanges(const MatchList &ranges, const QString &replacement) override
    {
        for (auto range = ranges.crbegin(); range != ranges.crend(); ++range)
            m_text.replace(range->location, range->length, replacement);
    }
    QString wholeText() const override { return m_text; }

    QString &text() { return m_text; }

private:
    QString m_text;
};
