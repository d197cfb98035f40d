#pragma once

#include "TextAccess.h"
#include "TextSnapshot.h"

#include <QPointer>

class TextDocument;
class TextMatcher;

// A snapshot's text as find and saving read it: reads copy only the units asked for, and since
// the snapshot never changes, a worker thread may read it while the document is edited.
class SnapshotTextAccess : public TextAccess
{
public:
    explicit SnapshotTextAccess(TextSnapshot snapshot)
        : m_snapshot(std::move(snapshot))
    { }

    qsizetype length() const override { return m_snapshot.length(); }
    QString read(qsizetype position, qsizetype count) const override
    {
        return m_snapshot.text(position, count);
    }

    const TextSnapshot &snapshot() const { return m_snapshot; }

    // Every match of `matcher` in the snapshot, read a window at a time: what
    // TextMatcher::findAll() finds in the whole text, without a copy of it. A long text is
    // searched in two halves on two threads. Runs on any thread.
    static MatchList findAll(const TextMatcher &matcher, const TextSnapshot &snapshot);

private:
    TextSnapshot m_snapshot;
};

// A TextDocument as find sees and changes it. Replace All builds the replaced stretch in one
// pass over a snapshot and makes it one step of the history, so one undo restores it and puts
// the caret at the first replaced range.
class TextDocumentAccess : public EditableText
{
public:
    explicit TextDocumentAccess(TextDocument *document);

    qsizetype length() const override;
    QString read(qsizetype position, qsizetype count) const override;
    void replaceRanges(const MatchList &ranges, const QString &replacement) override;
    QString wholeText() const override;

    TextDocument *document() const { return m_document; }

private:
    QPointer<TextDocument> m_document;
};
