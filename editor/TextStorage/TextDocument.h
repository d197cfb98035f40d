#pragma once

#include "EditHistory.h"
#include "PieceTree.h"

#include <QObject>
#include <QString>
#include <QStringView>

#include <optional>

// The text of one editor window with its undo history and modified state: what views, find, the
// statistics and saving follow. Every change is reported by contentsChange(position, removed,
// added) once the text holds it: the units [position, position + removed) of the text before the
// change became [position, position + added) of the text after, and all else is unchanged. An
// edit group reports once, when it ends, the span that covers all of its edits, as does an undo
// or redo of a step of several edits (Replace All). Lives on the GUI thread; snapshot() may be
// handed to workers.
class TextDocument : public QObject
{
    Q_OBJECT

public:
    explicit TextDocument(QObject *parent = nullptr);
    explicit TextDocument(QString text, QObject *parent = nullptr);
    ~TextDocument() override;

    TextSnapshot snapshot() const { return m_tree.snapshot(); }
    const PieceTree &tree() const { return m_tree; }

    qsizetype length() const { return m_tree.length(); }
    qsizetype lineCount() const { return m_tree.lineCount(); }
    qsizetype lineStart(qsizetype line) const { return m_tree.lineStart(line); }
    qsizetype lineAt(qsizetype offset) const { return m_tree.lineAt(offset); }
    LineSpan lineSpan(qsizetype line) const { return m_tree.lineSpan(line); }
    QString lineText(qsizetype line) const { return m_tree.lineText(line); }
    QString text(qsizetype offset, qsizetype length) const { return m_tree.text(offset, length); }
    QString toString() const { return m_tree.toString(); }
    char16_t unitAt(qsizetype offset) const { return m_tree.snapshot().unitAt(offset); }

    // One edit by the user: [position, position + removed) becomes `text` (clamped to the text),
    // recorded for undo; typed characters join the word being typed.
    void replace(qsizetype position, qsizetype removed, QStringView text);
    // The same, taking a long `text` (Replace All, a large paste) instead of copying it.
    void replaceTaking(qsizetype position, qsizetype removed, QString text);
    // The replaces between these are one step of the history and one notification. Groups nest.
    void beginEditGroup();
    void endEditGroup();
    // The next edit starts a step of its own: the user moved the caret.
    void breakTypingCoalescing() { m_history.breakCoalescing(); }

    bool canUndo() const { return m_history.canUndo(); }
    bool canRedo() const { return m_history.canRedo(); }
    // Undo and redo give where the caret goes: after the edit of the step that lies first in the
    // text. Nothing when there was nothing to do or a group is open.
    std::optional<qsizetype> undo();
    std::optional<qsizetype> redo();

    bool isModified() const { return m_history.isModified(); }
    // false: the text as it is now is the saved one. true: no state is, until the next save.
    void setModified(bool modified);
    // Names the current state, for a save that writes a snapshot of it while edits go on;
    // markSaved() then makes that state the clean one, whatever was typed since.
    quint64 markSaveState() { return m_history.markState(); }
    void markSaved(quint64 state);

    // A new text: no history, unmodified.
    void setText(QString text);
    // The next block of a file being loaded, added at the end without copying it: not an edit,
    // so neither recorded nor marking the document modified.
    void appendLoadedText(QString block);

signals:
    void contentsChange(qsizetype position, qsizetype removed, qsizetype added);
    void modificationChanged(bool modified);
    void undoAvailable(bool available);
    void redoAvailable(bool available);

private:
    // A change in the making: [start, start + oldLength) of the text before the first change
    // became [start, start + newLength) after the last.
    struct PendingChange
    {
        qsizetype start = 0;
        qsizetype oldLength = 0;
        qsizetype newLength = 0;
    };

    // Clamps an edit to the text; false when it changes nothing.
    bool clampEdit(qsizetype &position, qsizetype &removed, qsizetype added) const;
    void editDone(qsizetype position, qsizetype removed, qsizetype added);
    void addChange(qsizetype position, qsizetype removed, qsizetype added);
    void reportChange();
    void reportStates();

    PieceTree m_tree;
    EditHistory m_history;
    std::optional<PendingChange> m_pending;
    int m_groupDepth = 0;
    bool m_wasModified = false;
    bool m_couldUndo = false;
    bool m_couldRedo = false;
};
