#include "PieceTree.h"

#include "TextBuffers.h"

#include <algorithm>

using namespace PieceTreeDetail;

PieceTree::PieceTree()
    : PieceTree(QString())
{ }

PieceTree::PieceTree(QString original)
    : m_buffers(std::make_shared<TextBuffers>())
{
    m_text = TextSnapshot(build({m_buffers->keep(std::move(original))}), m_buffers);
}

void PieceTree::appendLoadedText(QString block)
{
    m_text.m_root = merge(m_text.m_root, build({m_buffers->keep(std::move(block))}));
}

PieceTree::~PieceTree() = default;
PieceTree::PieceTree(PieceTree &&other) noexcept = default;
PieceTree &PieceTree::operator=(PieceTree &&other) noexcept = default;

TextSnapshot PieceTree::insert(qsizetype offset, QStringView text)
{
    offset = std::clamp<qsizetype>(offset, 0, length());
    if (text.isEmpty())
        return TextSnapshot({}, m_buffers);
    auto [before, after] = split(m_text.m_root, offset);
    before = storeText(text, before);
    m_text.m_root = merge(before, after);
    return m_text.slice(offset, text.size());
}

TextSnapshot PieceTree::remove(qsizetype offset, qsizetype length)
{
    offset = std::clamp<qsizetype>(offset, 0, this->length());
    length = std::clamp<qsizetype>(length, 0, this->length() - offset);
    auto [before, rest] = split(m_text.m_root, offset);
    auto [removed, after] = split(rest, length);
    m_text.m_root = merge(before, after);
    return TextSnapshot(removed, m_buffers);
}

void PieceTree::insert(qsizetype offset, const TextSnapshot &fragment)
{
    if (!fragment.sharesBuffersWith(m_text)) {
        insert(offset, fragment.toString());
        return;
    }
    offset = std::clamp<qsizetype>(offset, 0, length());
    auto [before, after] = split(m_text.m_root, offset);
    m_text.m_root = merge(merge(before, fragment.m_root), after);
}

// Appends `text` to the buffers and returns `before` followed by it. Typing goes on where the
// previous insertion ended in the buffer, so it grows that piece instead of adding one per key.
NodePtr PieceTree::storeText(QStringView text, const NodePtr &before)
{
    const QStringView last = lastPiece(before);
    const bool extends = !last.isEmpty()
        && last.utf16() + last.size() == m_buffers->appendPosition()
        && last.size() + text.size() <= MaxPieceUnits;
    const std::vector<QStringView> runs = m_buffers->append(text);
    if (extends && runs.size() == 1 && runs.front().utf16() == last.utf16() + last.size())
        return extendLastPiece(before, text.size());
    return merge(before, build(runs));
}
