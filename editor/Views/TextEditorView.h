#pragma once

#include "TextDocumentAccess.h"

#include <QObject>
#include <QPointer>

class FindState;
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
    TextDocumentAccess &documentText() { return m_documentText; }

    // Re-reads every setting; called on any settings change and when the palette changes.
    void applySettings();

private:
    void applyFont();
    void applyColors();
    void updateHighlights();
    void revealCurrentMatch();
    void followEdit(qsizetype position, qsizetype removed, qsizetype added);

    QPointer<ScrivletTextView> m_view;
    QPointer<FindState> m_findState;
    Settings &m_settings;
    TextDocumentAccess m_documentText;
    bool m_followingEdit = false;
};
