#pragma once

#include "MatchRange.h"
#include "TextMatcher.h"

#include <QObject>
#include <QTimer>

#include <memory>

class TextAccess;

// Searches a long text without freezing the window: a few milliseconds of reading and matching
// per turn of the event loop, so that typing, painting and scrolling go on in between. The text
// is read where it lives, piece by piece, so nothing copies a large document and no other thread
// touches it. An edit in a part the search has already read makes it start over.
class SlicedSearch : public QObject
{
    Q_OBJECT

public:
    // How long one turn may search, and how much text one step reads.
    static constexpr int sliceMilliseconds = 8;
    static constexpr qsizetype stepUnits = 1 << 16;

    explicit SlicedSearch(QObject *parent = nullptr);

    // Starts searching `text`, abandoning any search under way. `text` must stay alive until
    // finished() or cancel().
    void start(std::shared_ptr<const TextMatcher> matcher, const TextAccess &text);
    void cancel();
    bool isRunning() const { return m_text != nullptr; }
    // The matcher of the search under way or just finished.
    const TextMatcher *matcher() const { return m_matcher.get(); }

    // `text` changed from `position` on. What the search has found still holds as long as it
    // has not read that far; otherwise it starts over. Edits of another text do not matter.
    void textEdited(const TextAccess &text, qsizetype position);

    // The matches of the search that finished; empties the list held here.
    MatchList takeMatches() { return std::exchange(m_found, {}); }

signals:
    void finished();

private:
    void runSlice();

    QTimer m_timer;
    const TextAccess *m_text = nullptr;
    std::shared_ptr<const TextMatcher> m_matcher;
    MatchList m_found;
    qsizetype m_position = 0;
    qsizetype m_readEnd = 0;
};
