#include "EditHistory.h"

#include "PieceTree.h"

#include <QChar>

#include <algorithm>

namespace {

// One user-perceived keystroke's worth of text: a unit, or a surrogate pair.
bool isOneCharacter(const TextSnapshot &text)
{
    if (text.length() == 1)
        return true;
    return text.length() == 2 && QChar::isHighSurrogate(text.unitAt(0))
        && QChar::isLowSurrogate(text.unitAt(1));
}

bool endsWord(const TextSnapshot &inserted)
{
    return QChar::isSpace(inserted.unitAt(inserted.length() - 1));
}

// The caret goes after the edit of a step that lies first in the text (a step of Replace All
// is undone with the caret at its first match, wherever the edits were made from). `caret` is
// where it was after the step's edits so far, -1 before the first; an edit before it moves it.
qsizetype caretAfter(qsizetype caret, qsizetype offset, qsizetype inserted)
{
    if (caret >= 0 && offset >= caret)
        return caret;
    return offset + inserted;
}

} // namespace

void EditHistory::replace(PieceTree &tree, qsizetype offset, qsizetype length, QStringView text)
{
    offset = std::clamp<qsizetype>(offset, 0, tree.length());
    TextEdit edit;
    edit.offset = offset;
    edit.removed = tree.remove(offset, length);
    edit.inserted = tree.insert(offset, text);
    record(std::move(edit));
}

void EditHistory::replaceTaking(PieceTree &tree, qsizetype offset, qsizetype length, QString text)
{
    offset = std::clamp<qsizetype>(offset, 0, tree.length());
    TextEdit edit;
    edit.offset = offset;
    edit.removed = tree.remove(offset, length);
    edit.inserted = tree.insertTaking(offset, std::move(text));
    record(std::move(edit));
}

void EditHistory::record(TextEdit edit)
{
    if (edit.removed.isEmpty() && edit.inserted.isEmpty())
        return;
    if (m_groupOpen) {
        m_steps.back().edits.push_back(std::move(edit));
        return;
    }
    if (m_groupDepth == 0 && coalesce(edit))
        return;
    m_steps.resize(std::size_t(m_position));
    if (m_cleanPosition > m_position)
        m_cleanPosition = -1;
    m_coalescing = m_groupDepth > 0 ? Coalescing::None : kindOf(edit);
    if (m_coalescing == Coalescing::Typing && endsWord(edit.inserted))
        m_coalescing = Coalescing::None;
    m_steps.push_back({{std::move(edit)}, m_nextSerial++});
    ++m_position;
    m_groupOpen = m_groupDepth > 0;
}

void EditHistory::beginGroup()
{
    ++m_groupDepth;
}

void EditHistory::endGroup()
{
    if (m_groupDepth == 0 || --m_groupDepth > 0)
        return;
    m_groupOpen = false;
    m_coalescing = Coalescing::None;
}

std::optional<qsizetype> EditHistory::undo(PieceTree &tree, const ChangeObserver &changed)
{
    if (!canUndo() || m_groupDepth > 0)
        return std::nullopt;
    const std::vector<TextEdit> &edits = m_steps[std::size_t(--m_position)].edits;
    qsizetype caret = -1;
    for (auto edit = edits.crbegin(); edit != edits.crend(); ++edit) {
        tree.remove(edit->offset, edit->inserted.length());
        tree.insert(edit->offset, edit->removed);
        if (changed)
            changed(edit->offset, edit->inserted.length(), edit->removed.length());
        caret = caretAfter(caret, edit->offset, edit->removed.length());
    }
    m_coalescing = Coalescing::None;
    return caret;
}

std::optional<qsizetype> EditHistory::redo(PieceTree &tree, const ChangeObserver &changed)
{
    if (!canRedo() || m_groupDepth > 0)
        return std::nullopt;
    const std::vector<TextEdit> &edits = m_steps[std::size_t(m_position++)].edits;
    qsizetype caret = -1;
    for (const TextEdit &edit : edits) {
        tree.remove(edit.offset, edit.removed.length());
        tree.insert(edit.offset, edit.inserted);
        if (changed)
            changed(edit.offset, edit.removed.length(), edit.inserted.length());
        caret = caretAfter(caret, edit.offset, edit.inserted.length());
    }
    m_coalescing = Coalescing::None;
    return caret;
}

void EditHistory::setClean()
{
    m_cleanPosition = m_position;
    m_coalescing = Coalescing::None;
}

quint64 EditHistory::markState()
{
    m_coalescing = Coalescing::None;
    return serialAt(m_position);
}

void EditHistory::setCleanState(quint64 state)
{
    m_cleanPosition = -1;
    for (qsizetype position = 0; position <= qsizetype(m_steps.size()); ++position) {
        if (serialAt(position) == state)
            m_cleanPosition = position;
    }
}

quint64 EditHistory::serialAt(qsizetype position) const
{
    return position == 0 ? m_baseSerial : m_steps[std::size_t(position - 1)].serial;
}

void EditHistory::clear()
{
    m_cleanPosition = isModified() ? -1 : 0;
    m_baseSerial = m_nextSerial++;
    m_steps.clear();
    m_position = 0;
    m_groupDepth = 0;
    m_groupOpen = false;
    m_coalescing = Coalescing::None;
}

// Joins `edit` to the last step when it continues the same word or the same run of deletions.
bool EditHistory::coalesce(const TextEdit &edit)
{
    const Coalescing kind = kindOf(edit);
    if (kind == Coalescing::None || kind != m_coalescing || m_position == 0
        || m_position != qsizetype(m_steps.size()) || m_cleanPosition == m_position)
        return false;
    TextEdit &last = m_steps.back().edits.back();
    if (kind == Coalescing::Typing) {
        // Return is a step of its own, so that undo takes back the new line and not the word
        // before it.
        const char16_t first = edit.inserted.unitAt(0);
        if (edit.offset != last.offset + last.inserted.length() || first == u'\n' || first == u'\r')
            return false;
        last.inserted = TextSnapshot::joined(last.inserted, edit.inserted);
        if (endsWord(edit.inserted))
            m_coalescing = Coalescing::None;
        return true;
    }
    if (edit.offset + edit.removed.length() == last.offset) { // Backspace
        last.removed = TextSnapshot::joined(edit.removed, last.removed);
        last.offset = edit.offset;
        return true;
    }
    if (edit.offset == last.offset) { // Delete
        last.removed = TextSnapshot::joined(last.removed, edit.removed);
        return true;
    }
    return false;
}

EditHistory::Coalescing EditHistory::kindOf(const TextEdit &edit)
{
    if (edit.removed.isEmpty() && isOneCharacter(edit.inserted))
        return Coalescing::Typing;
    if (edit.inserted.isEmpty() && isOneCharacter(edit.removed))
        return Coalescing::Removal;
    return Coalescing::None;
}
