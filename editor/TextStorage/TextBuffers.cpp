#include "TextBuffers.h"

#include <algorithm>
#include <cstring>

QStringView TextBuffers::keep(QString text)
{
    // A decoder sizes its output for the worst case (one unit per byte); what it did not use
    // would stay allocated as long as the text.
    if (text.capacity() > text.size() + text.size() / 8)
        text.squeeze();
    m_kept.push_back(std::move(text));
    return m_kept.back();
}

std::vector<QStringView> TextBuffers::append(QStringView text)
{
    std::vector<QStringView> runs;
    // Text larger than a block gets a block of its own, sized to it.
    if (text.size() > BlockUnits) {
        char16_t *block = newBlock(text.size());
        std::memcpy(block, text.utf16(), std::size_t(text.size()) * sizeof(char16_t));
        runs.emplace_back(block, text.size());
        return runs;
    }
    while (!text.isEmpty()) {
        if (m_freeUnits == 0) {
            m_free = newBlock(BlockUnits);
            m_freeUnits = BlockUnits;
        }
        const qsizetype units = std::min(m_freeUnits, text.size());
        std::memcpy(m_free, text.utf16(), std::size_t(units) * sizeof(char16_t));
        runs.emplace_back(m_free, units);
        m_free += units;
        m_freeUnits -= units;
        text = text.sliced(units);
    }
    return runs;
}

const char16_t *TextBuffers::appendPosition() const
{
    return m_freeUnits > 0 ? m_free : nullptr;
}

char16_t *TextBuffers::newBlock(qsizetype units)
{
    m_blocks.push_back(std::make_unique_for_overwrite<char16_t[]>(std::size_t(units)));
    return m_blocks.back().get();
}
