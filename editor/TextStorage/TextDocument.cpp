#include "TextDocument.h"

#include <algorithm>

TextDocument::TextDocument(QObject *parent)
    : QObject(parent)
{ }

TextDocument::TextDocument(QString text, QObject *parent)
    : QObject(parent)
    , m_tree(std::move(text))
{ }

TextDocument::~TextDocument() = default;

void TextDocument::replace(qsizetype position, qsizetype removed, QStringView text)
{
    if (!clampEdit(position, removed, text.size()))
        return;
    m_history.replace(m_tree, position, removed, text);
    editDone(position, removed, text.size());
}

void TextDocument::replaceTaking(qsizetype position, qsizetype removed, QString text)
{
    const qsizetype added = text.size();
    if (!clampEdit(position, removed, added))
        return;
    m_history.replaceTaking(m_tree, position, removed, std::move(text));
    editDone(position, removed, added);
}

bool TextDocument::clampEdit(qsizetype &position, qsizetype &removed, qsizetype added) const
{
    position = std::clamp<qsizetype>(position, 0, length());
    removed = std::clamp<qsizetype>(removed, 0, length() - position);
    return removed > 0 || added > 0;
}

void TextDocument::editDone(qsizetype position, qsizetype removed, qsizetype added)
{
    addChange(position, removed, added);
    if (m_groupDepth > 0)
        return;
    reportChange();
    reportStates();
}

void TextDocument::beginEditGroup()
{
    ++m_groupDepth;
    m_history.beginGroup();
}

void TextDocument::endEditGroup()
{
    if (m_groupDepth == 0)
        return;
    m_history.endGroup();
    if (--m_groupDepth > 0)
        return;
    reportChange();
    reportStates();
}

std::optional<qsizetype> TextDocument::undo()
{
    const std::optional<qsizetype> caret
        = m_history.undo(m_tree, [this](qsizetype at, qsizetype removed, qsizetype added) {
              addChange(at, removed, added);
          });
    reportChange();
    reportStates();
    return caret;
}

std::optional<qsizetype> TextDocument::redo()
{
    const std::optional<qsizetype> caret
        = m_history.redo(m_tree, [this](qsizetype at, qsizetype removed, qsizetype added) {
              addChange(at, removed, added);
          });
    reportChange();
    reportStates();
    return caret;
}

void TextDocument::setModified(bool modified)
{
    if (modified)
        m_history.forgetCleanState();
    else
        m_history.setClean();
    reportStates();
}

void TextDocument::markSaved(quint64 state)
{
    m_history.setCleanState(state);
    reportStates();
}

void TextDocument::setText(QString text)
{
    const qsizetype oldLength = length();
    m_history.clear();
    m_history.setClean();
    m_groupDepth = 0;
    m_tree = PieceTree(std::move(text));
    addChange(0, oldLength, length());
    reportChange();
    reportStates();
}

void TextDocument::appendLoadedText(QString block)
{
    if (block.isEmpty())
        return;
    const qsizetype oldLength = length();
    const qsizetype added = block.size();
    m_tree.appendLoadedText(std::move(block));
    addChange(oldLength, 0, added);
    if (m_groupDepth == 0)
        reportChange();
}

// Joins a change, given in the text as it is after the changes so far, to the pending one. Past
// the pending span's end the text before and after differs only by a shift, which carries the
// end of a change reaching beyond it back into the text before.
void TextDocument::addChange(qsizetype position, qsizetype removed, qsizetype added)
{
    if (!m_pending) {
        m_pending = PendingChange {position, removed, added};
        return;
    }
    PendingChange &pending = *m_pending;
    const qsizetype start = std::min(pending.start, position);
    const qsizetype currentEnd = std::max(pending.start + pending.newLength, position + removed);
    const qsizetype oldEnd
        = pending.start + pending.oldLength + (currentEnd - (pending.start + pending.newLength));
    pending.start = start;
    pending.oldLength = oldEnd - start;
    pending.newLength = currentEnd - removed + added - start;
}

void TextDocument::reportChange()
{
    if (!m_pending)
        return;
    const PendingChange change = *m_pending;
    m_pending.reset();
    if (change.oldLength == 0 && change.newLength == 0)
        return;
    emit contentsChange(change.start, change.oldLength, change.newLength);
}

void TextDocument::reportStates()
{
    if (m_history.isModified() != m_wasModified) {
        m_wasModified = m_history.isModified();
        emit modificationChanged(m_wasModified);
    }
    if (m_history.canUndo() != m_couldUndo) {
        m_couldUndo = m_history.canUndo();
        emit undoAvailable(m_couldUndo);
    }
    if (m_history.canRedo() != m_couldRedo) {
        m_couldRedo = m_history.canRedo();
        emit redoAvailable(m_couldRedo);
    }
}
