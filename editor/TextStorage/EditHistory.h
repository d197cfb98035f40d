#pragma once

#include "TextSnapshot.h"

#include <QStringView>

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
// another at the advancing caret join one step until a space, tab or line break has been typed,
// the caret jumps or another kind of edit comes; Backspace and Delete runs coalesce the same way.
// An edit group (Replace All, a paste over a selection) is one step. Undo and redo give back
// where the caret goes: at the edit they undo or redo, never at the start of the text.
class EditHistory
{
public:
    // Applies the replacement of [offset, offset + length) by `text` to `tree` and records it.
    void replace(PieceTree &tree, qsizetype offset, qsizetype length, QStringView text);
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
    // Reverts the last step in `tree` and returns where the caret goes, nothing when there was
    // nothing to undo.
    std::optional<qsizetype> undo(PieceTree &tree);
    std::optional<qsizetype> redo(PieceTree &tree);

    // The current state is the one saved. isModified() holds whenever the text is in another
    // state, also one reached by undoing past the save and redoing forward to it again.
    void setClean();
    bool isModified() const { return m_position != m_cleanPosition; }
    void clear();

private:
    enum class Coalescing { None, Typing, Removal };
    using Step = std::vector<TextEdit>;

    bool coalesce(const TextEdit &edit);
    static Coalescing kindOf(const TextEdit &edit);

    std::vector<Step> m_steps;
    // Steps [0, m_position) are done; the rest can be redone.
    qsizetype m_position = 0;
    // -1 when the saved state can no longer be reached.
    qsizetype m_cleanPosition = 0;
    int m_groupDepth = 0;
    bool m_groupOpen = false;
    Coalescing m_coalescing = Coalescing::None;
};
