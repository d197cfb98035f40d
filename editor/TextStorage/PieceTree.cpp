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

// Typing goes on where the previous insertion ended in the buffer, so it grows that piece (one
// path copied) instead of adding a piece per key. The inserted text comes back as a tree of its
// own over the same units, without cutting it out of the text again.
TextSnapshot PieceTree::insert(qsizetype offset, QStringView text)
{
    offset = std::clamp<qsizetype>(offset, 0, length());
    if (text.isEmpty())
        return TextSnapshot({}, m_buffers);
    const QStringView last = pieceEndingAt(m_text.m_root, offset);
    const char16_t *lastEnd = last.isEmpty() ? nullptr : last.utf16() + last.size();
    const bool fits = last.size() + text.size() <= MaxPieceUnits;
    const bool extends = lastEnd && lastEnd == m_buffers->appendPosition() && fits;
    const std::vector<QStringView> runs = m_buffers->append(text);
    NodePtr inserted = build(runs);
    if (extends && runs.size() == 1 && runs.front().utf16() == lastEnd) {
        m_text.m_root = extendPieceEndingAt(m_text.m_root, offset, text.size());
    } else {
        auto [before, after] = split(m_text.m_root, offset);
        m_text.m_root = merge(merge(before, inserted), after);
    }
    return TextSnapshot(std::move(inserted), m_buffers);
}

// Short texts go where typing goes, so that they extend pieces instead of adding them. A string
// over raw data (capacity 0) does not own its units and is copied.
TextSnapshot PieceTree::insertTaking(qsizetype offset, QString text)
{
    if (text.size() <= TextBuffers::BlockUnits || text.capacity() < text.size())
        return insert(offset, QStringView(text));
    offset = std::clamp<qsizetype>(offset, 0, length());
    NodePtr inserted = build({m_buffers->keep(std::move(text))});
    auto [before, after] = split(m_text.m_root, offset);
    m_text.m_root = merge(merge(before, inserted), after);
    return TextSnapshot(std::move(inserted), m_buffers);
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
