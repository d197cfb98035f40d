#pragma once

#include "TextSnapshot.h"

#include <QStringView>

#include <functional>
#include <optional>
#include <vector>

class PieceTree;

// One change of the text: at `offset`, `removed` was replaced by `inserted`. Both are fragments
// of the tree, so recording a deletion of the whole text copies nothing.
struct TextEdit
{
    qsizetype offset = 0;
    TextSnapshot removed;
    TextSnapshot inserted;
};

// Undo and redo as recorded edits. Typing is coalesced into words: characters typed one after
// another at the advancing caret join one step until a space or tab has been typed, the caret
// jumps or another kind of edit comes; a line break is a step of its own. Backspace and Delete
// runs coalesce the same way.
// An edit group (Replace All, a paste over a selection) is one step. Undo and redo give back
// where the caret goes: at the edit they undo or redo, never at the start of the text.
class EditHistory
{
public:
    // Applies the replacement of [offset, offset + length) by `text` to `tree` and records it.
    void replace(PieceTree &tree, qsizetype offset, qsizetype length, QStringView text);
    // The same, taking a long `text` instead of copying it.
    void replaceTaking(PieceTree &tree, qsizetype offset, qsizetype length, QString text);
    // Records an edit already applied to the tree.
    void record(TextEdit edit);

    // Edits recorded between these are one step; groups nest.
    void beginGroup();
    void endGroup();
    // The next edit starts a step of its own (the caret moved, the window lost focus).
    void breakCoalescing() { m_coalescing = Coalescing::None; }

    bool canUndo() const { return m_position > 0; }
    // How many steps undo can take back.
    qsizetype undoCount() const { return m_position; }
    bool canRedo() const { return m_position < qsizetype(m_steps.size()); }
    // Told of each change undo or redo makes to the tree, in the order made: at `offset`,
    // `removed` units were replaced by `added` units.
    using ChangeObserver
        = std::function<void(qsizetype offset, qsizetype removed, qsizetype added)>;
    // Reverts the last step in `tree` and returns where the caret goes, nothing when there was
    // nothing to undo.
    std::optional<qsizetype> undo(PieceTree &tree, const ChangeObserver &changed = {});
    std::optional<qsizetype> redo(PieceTree &tree, const ChangeObserver &changed = {});

    // The current state is the one saved. isModified() holds whenever the text is in another
    // state, also one reached by undoing past the save and redoing forward to it again.
    void setClean();
    // No state reached from here on is the saved one (the file changed under the document).
    void forgetCleanState() { m_cleanPosition = -1; }
    bool isModified() const { return m_position != m_cleanPosition; }
    void clear();

    // Names the current state for as long as the history can reach it, so that a save taken from
    // a snapshot can mark it clean once written, after more edits were made. Taking the id ends
    // the word being typed, so that later typing cannot join the named state.
    quint64 markState();
    // Makes the state `markState()` named the saved one; when it can no longer be reached
    // (undone and overwritten), no state is.
    void setCleanState(quint64 state);

private:
    enum class Coalescing { None, Typing, Removal };
    struct Step
    {
        std::vector<TextEdit> edits;
        // Unique for the history's life: names the state this step leads to.
        quint64 serial = 0;
    };

    bool coalesce(const TextEdit &edit);
    static Coalescing kindOf(const TextEdit &edit);

    quint64 serialAt(qsizetype position) const;

    std::vector<Step> m_steps;
    quint64 m_nextSerial = 1;
    // The serial of the state before the first step.
    quint64 m_baseSerial = 0;
    // Steps [0, m_position) are done; the rest can be redone.
    qsizetype m_position = 0;
    // -1 when the saved state can no longer be reached.
    qsizetype m_cleanPosition = 0;
    int m_groupDepth = 0;
    bool m_groupOpen = false;
    Coalescing m_coalescing = Coalescing::None;
};
