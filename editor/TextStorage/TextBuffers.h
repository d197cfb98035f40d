#pragma once

#include <QString>
#include <QStringView>

#include <memory>
#include <vector>

// The memory every piece points into: the decoded text of the file, never changed, and the text
// inserted since, appended to fixed-size blocks that are never moved or freed while any snapshot
// lives. Only the owning PieceTree appends, on its own thread; readers on other threads only
// follow the pointers held by the pieces of their snapshot, which lie in text already written.
class TextBuffers
{
public:
    // Units per append block; longer insertions get a block of their own.
    static constexpr qsizetype BlockUnits = 64 * 1024;

    TextBuffers() = default;
    Q_DISABLE_COPY_MOVE(TextBuffers)

    // Keeps decoded text of the file, without copying it, for as long as the buffers live.
    QStringView keep(QString text);
    // Copies `text` into the append blocks and returns the stored runs, in order; a run never
    // spans two blocks.
    std::vector<QStringView> append(QStringView text);
    // Where the next appended unit will be stored, so that text typed at the end of the previous
    // insertion can extend its piece instead of adding one.
    const char16_t *appendPosition() const;

private:
    char16_t *newBlock(qsizetype units);

    // Moving a QString leaves its units where they are, so pieces stay valid as this grows.
    std::vector<QString> m_kept;
    std::vector<std::unique_ptr<char16_t[]>> m_blocks;
    char16_t *m_free = nullptr;
    qsizetype m_freeUnits = 0;
};
