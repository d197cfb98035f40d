#pragma once

#include "LineSegments.h"
#include "TextPreedit.h"
#include "TextSnapshot.h"

#include <QFont>
#include <QList>
#include <QTextLayout>

#include <array>
#include <map>
#include <memory>

// One laid-out piece of the text: a line, or a segment of a long line.
struct TextBlock
{
    qsizetype line = 0;
    int segment = 0;

    friend auto operator<=>(const TextBlock &, const TextBlock &) = default;
};

// Lays the text out block by block at the wrap width, keeping the blocks the view showed last. A
// block never laid out has an estimated height (one row per wrap width of average characters),
// replaced by the real one once it is laid out. Follows edits through textChanged(), dropping only
// the layouts of the lines the edit touched.
class TextLayoutCache
{
public:
    TextLayoutCache();
    ~TextLayoutCache();
    TextLayoutCache(const TextLayoutCache &) = delete;
    TextLayoutCache &operator=(const TextLayoutCache &) = delete;

    void setText(const TextSnapshot &text);
    const TextSnapshot &text() const { return m_text; }
    void textChanged(
        const TextSnapshot &text, qsizetype position, qsizetype removed, qsizetype added);

    void setFont(const QFont &font);
    const QFont &font() const { return m_font; }
    void setTabStopDistance(qreal distance);
    void setWrapWidth(qreal width);
    qreal wrapWidth() const { return m_wrapWidth; }
    void setTextDirection(Qt::LayoutDirection direction);
    void setPreedit(TextPreedit preedit);
    const TextPreedit &preedit() const { return m_preedit; }

    // The blocks in text order.
    qsizetype blockStart(TextBlock block);
    qsizetype blockLength(TextBlock block);
    TextBlock blockAt(qsizetype offset);
    bool isLastBlock(TextBlock block);
    std::optional<TextBlock> nextBlock(TextBlock block);
    std::optional<TextBlock> previousBlock(TextBlock block);
    // The block's index among all blocks, as the vertical scroll bar counts them, and back.
    qsizetype blockIndex(TextBlock block);
    TextBlock blockAtIndex(qsizetype index);
    qsizetype blockCount() const;

    // The block laid out, valid until the next call that lays out or changes anything.
    QTextLayout *layout(TextBlock block);
    bool isLaidOut(TextBlock block) const { return m_layouts.contains(block); }
    qreal height(TextBlock block);
    qreal rowHeight() const;
    // Laid-out blocks kept; a diagnostic for tests.
    qsizetype cachedCount() const { return qsizetype(m_layouts.size()); }

private:
    // A laid-out block remembers where it starts, which a lookup in the tree would find only
    // after scanning a piece; edits before it move it.
    struct Entry
    {
        std::unique_ptr<QTextLayout> layout;
        qsizetype start = 0;
        quint64 used = 0;
    };

    std::unique_ptr<QTextLayout> createLayout(TextBlock block, qsizetype start);
    void dropLayouts(TextBlock from, TextBlock to);
    void shiftLayouts(qsizetype afterLine, qsizetype lineDelta, qsizetype delta);
    int segmentCount(qsizetype line);
    const Entry *entry(TextBlock block) const;
    void evict();
    void clearLayouts();

    TextSnapshot m_text;
    LineSegments m_segments;
    QFont m_font;
    QTextOption m_option;
    qreal m_wrapWidth = 0;
    TextPreedit m_preedit;
    std::map<TextBlock, Entry> m_layouts;
    qsizetype m_cachedUnits = 0;
    quint64 m_clock = 0;
    // The last blockAt() answers: the view asks for the blocks of the caret, the anchor and the
    // first row shown many times a keystroke.
    std::array<std::pair<qsizetype, TextBlock>, 4> m_blocksAt {};
    std::size_t m_nextBlockAt = 0;
};
