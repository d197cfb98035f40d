#include "TextEditorView.h"

#include "ColorHex.h"
#include "FindState.h"
#include "FontCache.h"
#include "LineNumberGutter.h"
#include "ScrivletTextView.h"
#include "Settings.h"

TextEditorView::TextEditorView(
    ScrivletTextView *view, FindState *findState, Settings &settings, QObject *parent)
    : QObject(parent)
    , m_view(view)
    , m_findState(findState)
    , m_settings(settings)
    , m_documentText(view->document())
{
    connect(&settings, &Settings::changed, this, &TextEditorView::applySettings);
    connect(findState, &FindState::matchRangesChanged, this, &TextEditorView::updateHighlights);
    connect(findState, &FindState::currentMatchIndexChanged, this, [this] {
        updateHighlights();
        if (!m_followingEdit)
            revealCurrentMatch();
    });
    connect(view->document(), &TextDocument::contentsChange, this, &TextEditorView::followEdit);
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

void TextEditorView::updateHighlights()
{
    if (m_view && m_findState)
        m_view->setMatchHighlights(&m_findState->matchRanges(), m_findState->currentMatchIndex());
}

void TextEditorView::revealCurrentMatch()
{
    if (!m_view || !m_findState)
        return;
    const auto index = m_findState->currentMatchIndex();
    if (index && *index >= 0 && *index < m_findState->matchCount())
        m_view->revealMatch(m_findState->matchRanges().at(*index));
}

// The document reports each change exactly, so the matches are re-searched around it alone.
void TextEditorView::followEdit(qsizetype position, qsizetype removed, qsizetype added)
{
    if (!m_findState || !m_findState->isVisible() || m_findState->searchText().isEmpty())
        return;
    m_followingEdit = true;
    m_findState->updateMatchesAfterEdit(m_documentText, position, removed, added);
    m_followingEdit = false;
}
