#pragma once

#include "DocumentTextAccess.h"

#include <QObject>
#include <QPointer>

class FindState;
class LongLineLayout;
class ScrivletTextView;
class Settings;

// Keeps an editor in step with what it shows: the font, colours and line-number switch from the
// settings, and the window's find matches. Every update compares before it writes, so nothing a
// user is doing (selection, scroll position, typing) is disturbed by a refresh. Edits flow back
// into the find matches, re-searched only around each edit while a search is active.
class TextEditorView : public QObject
{
    Q_OBJECT

public:
    TextEditorView(ScrivletTextView *view, FindState *findState, Settings &settings,
        QObject *parent = nullptr);

    ScrivletTextView *view() const { return m_view; }
    DocumentTextAccess &documentText() { return m_documentText; }

    // Re-reads every setting; called on any settings change and when the palette changes.
    void applySettings();

    // While the view shows a long-line display, find works on the original text and its ranges
    // are mapped onto the display; none maps positions one to one.
    void setLongLineLayout(const LongLineLayout *layout);

private:
    void applyFont();
    void applyColors();
    void updateHighlights();
    void revealCurrentMatch();
    void followEdit(int position, int removed, int added);
    MatchRange toDisplay(const MatchRange &range) const;

    QPointer<ScrivletTextView> m_view;
    QPointer<FindState> m_findState;
    Settings &m_settings;
    DocumentTextAccess m_documentText;
    const LongLineLayout *m_longLines = nullptr;
    MatchList m_displayRanges; // the matches mapped onto a long-line display
    qsizetype m_knownLength = 0;
    bool m_followingEdit = false;
};
