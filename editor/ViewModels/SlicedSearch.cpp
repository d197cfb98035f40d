#include "SlicedSearch.h"

#include "TextAccess.h"

#include <QElapsedTimer>

SlicedSearch::SlicedSearch(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &SlicedSearch::runSlice);
}

void SlicedSearch::start(std::shared_ptr<const TextMatcher> matcher, const TextAccess &text)
{
    m_matcher = std::move(matcher);
    m_text = &text;
    m_found.clear();
    m_position = 0;
    m_readEnd = 0;
    m_timer.start();
}

void SlicedSearch::cancel()
{
    m_timer.stop();
    m_text = nullptr;
    m_found.clear();
}

void SlicedSearch::textEdited(const TextAccess &text, qsizetype position)
{
    if (&text != m_text || position >= m_readEnd)
        return;
    m_found.clear();
    m_position = 0;
    m_readEnd = 0;
    m_timer.start();
}

void SlicedSearch::runSlice()
{
    if (!m_text)
        return;
    QElapsedTimer clock;
    clock.start();
    // The length is read again on every turn: the text may have grown or shrunk past the part
    // searched so far.
    const qsizetype length = m_text->length();
    while (m_position < length && clock.elapsed() < sliceMilliseconds) {
        const TextMatcher::Step step = m_matcher->findStep(*m_text, m_position, stepUnits, m_found);
        m_position = step.next;
        m_readEnd = std::max(m_readEnd, step.readEnd);
    }
    if (m_position < length) {
        m_timer.start();
        return;
    }
    m_text = nullptr;
    emit finished();
}
