#include "TextEditorView.h"

#include "ColorHex.h"
#include "FindState.h"
#include "FontCache.h"
#include "LineNumberGutter.h"
#include "LongLineLayout.h"
#include "ScrivletTextView.h"
#include "Settings.h"

TextEditorView::TextEditorView(
    ScrivletTextView *view, FindState *findState, Settings &settings, QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_findState(findState)
    , m_settings(settings)
    , m_documentText(view->document())
    , m_knownLength(m_documentText.length())
{
    connect(&settings, &Settings::changed, this, &TextEditorView::applySettings);
    connect(findState, &FindState::matchRangesChanged, this, &TextEditorView::updateHighlights);
    connect(findState, &FindState::currentMatchIndexChanged, this, [this] {
        updateHighlights();
        if (!m_followingEdit)
            revealCurrentMatch();
    });
    connect(view->document(), &QTextDocument::contentsChange, this, &TextEditorView::followEdit);
    applySettings();
}

void TextEditorView::applySettings()
{
    if (!m_view)
        return;
    applyFont();
    applyColors();
    m_view->gutter()->setShowLineNumbers(m_settings.showLineNumbers());
}

void TextEditorView::applyFont()
{
    const QFont font
        = FontCache::font(m_settings.fontFamily(), m_settings.fontSize(), m_settings.fontBold());
    if (m_view->font() != font)
        m_view->setFont(font);
    m_view->gutter()->updateFont(m_settings.fontFamily(), m_settings.fontSize());
}

// Only the roles with a colour of their own are set, so the rest keep following the window's
// palette (light, dark or the desktop's) and "" means the palette's own text or base colour.
void TextEditorView::applyColors()
{
    QPalette palette;
    if (const auto text = ColorHex::colorFromHex(m_settings.editorTextColor()))
        palette.setColor(QPalette::Text, *text);
    if (const auto background = ColorHex::colorFromHex(m_settings.editorBackgroundColor()))
        palette.setColor(QPalette::Base, *background);
    const QPalette resolved = palette.resolve(
        m_view->parentWidget() ? m_view->parentWidget()->palette() : m_view->palette());
    if (m_view->palette().color(QPalette::Text) != resolved.color(QPalette::Text)
        || m_view->palette().color(QPalette::Base) != resolved.color(QPalette::Base)
        || m_view->palette().resolveMask() != palette.resolveMask())
        m_view->setPalette(palette);
}

void TextEditorView::setLongLineLayout(const LongLineLayout *layout)
{
    m_longLines = layout;
    updateHighlights();
}

MatchRange TextEditorView::toDisplay(const MatchRange &range) const
{
    if (!m_longLines || range.length == 0)
        return range;
    const qsizetype start = m_longLines->toDisplay(range.location);
    const qsizetype end = m_longLines->toDisplay(range.end() - 1) + 1;
    return {start, end - start};
}

void TextEditorView::updateHighlights()
{
    if (!m_view || !m_findState)
        return;
    if (!m_longLines) {
        m_view->setMatchHighlights(&m_findState->matchRanges(), m_findState->currentMatchIndex());
        return;
    }
    m_displayRanges.clear();
    m_displayRanges.reserve(m_findState->matchCount());
    for (const MatchRange &range : m_findState->matchRanges())
        m_displayRanges.append(toDisplay(range));
    m_view->setMatchHighlights(&m_displayRanges, m_findState->currentMatchIndex());
}

void TextEditorView::revealCurrentMatch()
{
    if (!m_view || !m_findState)
        return;
    const auto index = m_findState->currentMatchIndex();
    if (index && *index >= 0 && *index < m_findState->matchCount())
        m_view->revealMatch(toDisplay(m_findState->matchRanges().at(*index)));
}

// QTextDocument reports some changes with one character too many (the final paragraph
// separator), so the edit is checked against the lengths before and after; anything that does
// not add up is searched in full.
void TextEditorView::followEdit(int position, [[maybe_unused]] int removed, int added)
{
    const qsizetype length = m_documentText.length();
    const qsizetype delta = length - m_knownLength;
    m_knownLength = length;
    if (!m_findState || !m_findState->isVisible() || m_findState->searchText().isEmpty())
        return;
    qsizetype addedUnits = std::clamp<qsizetype>(added, 0, length - position);
    qsizetype removedUnits = addedUnits - delta;
    m_followingEdit = true;
    if (position < 0 || removedUnits < 0 || removedUnits > length - delta - position)
        m_findState->updateMatches(m_documentText.wholeText());
    else
        m_findState->updateMatchesAfterEdit(m_documentText, position, removedUnits, addedUnits);
    m_followingEdit = false;
}
