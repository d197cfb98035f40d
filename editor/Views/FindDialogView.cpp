#include "FindDialogView.h"

#include "FindBarAccessibilityStrings.h"
#include "FindState.h"
#include "LiveStatus.h"
#include "TextAccess.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The size of the panel's small controls and of its caption text, in pixels.
constexpr int smallFontPixels = 11;
constexpr int captionFontPixels = 10;

QFont withPixelSize(QFont font, int pixels, QFont::Weight weight = QFont::Normal)
{
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

void describe(QWidget *widget, const QString &objectName, const QString &name,
    const QString &hint = QString())
{
    widget->setObjectName(objectName);
    widget->setAccessibleName(name);
    if (!hint.isEmpty())
        widget->setAccessibleDescription(hint);
}

} // namespace

FindDialogView::FindDialogView(FindState *findState, EditableText *documentText, QWidget *parent)
    : QWidget(parent)
    , m_state(findState)
    , m_text(documentText)
{
    setObjectName(QStringLiteral("scrivlet.findBar"));
    setFixedWidth(width);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);
    layout->addWidget(createFindRow());
    layout->addWidget(createReplaceRow());
    m_fitTimer.setSingleShot(true);
    m_fitTimer.setInterval(fitDelayMilliseconds);
    connect(&m_fitTimer, &QTimer::timeout, this, &FindDialogView::fitRequested);
    connectControls();
    connectState();
    refresh();
}

QWidget *FindDialogView::createFindRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    m_disclosure = new QToolButton(row);
    m_disclosure->setAutoRaise(true);
    m_disclosure->setFixedSize(16, 16);
    m_disclosure->setFont(withPixelSize(font(), smallFontPixels, QFont::DemiBold));

    m_searchField = new QLineEdit(row);
    m_searchField->setPlaceholderText(QStringLiteral("Find..."));
    m_searchField->setMinimumWidth(180);
    describe(m_searchField, QStringLiteral("scrivlet.findBar.searchField"),
        QStringLiteral("Search text"), QStringLiteral("Type text to search in the document"));

    m_caseToggle = new QToolButton(row);
    m_caseToggle->setCheckable(true);
    m_caseToggle->setText(QStringLiteral("Aa"));
    m_caseToggle->setFont(withPixelSize(
        QFontDatabase::systemFont(QFontDatabase::FixedFont), smallFontPixels, QFont::Medium));
    m_caseToggle->setToolTip(QStringLiteral("Case Sensitive"));
    describe(m_caseToggle, QStringLiteral("scrivlet.findBar.caseSensitiveToggle"),
        QStringLiteral("Case sensitive"), QStringLiteral("Toggle case-sensitive matching"));

    m_matchCount = new QLabel(row);
    m_matchCount->setObjectName(QStringLiteral("scrivlet.findBar.matchCount"));
    m_matchCount->setMinimumWidth(60);
    m_matchCount->setFont(withPixelSize(font(), captionFontPixels));
    m_matchCount->setForegroundRole(QPalette::PlaceholderText);
    m_countStatus = new LiveStatus(m_matchCount, countSettleMilliseconds);

    m_previous = createStepButton(Qt::UpArrow, QStringLiteral("Previous Match"),
        QStringLiteral("scrivlet.findBar.previousButton"), QStringLiteral("Previous match"),
        QStringLiteral("Select the match before the current one"));
    m_next = createStepButton(Qt::DownArrow, QStringLiteral("Next Match"),
        QStringLiteral("scrivlet.findBar.nextButton"), QStringLiteral("Next match"),
        QStringLiteral("Select the match after the current one"));

    layout->addWidget(m_disclosure, 0, Qt::AlignVCenter);
    layout->addWidget(m_searchField, 1);
    layout->addWidget(m_caseToggle);
    layout->addWidget(m_matchCount);
    layout->addWidget(m_previous);
    layout->addWidget(m_next);
    return row;
}

// Without a hint of their own, readers would take the tooltip, which only repeats the name.
QToolButton *FindDialogView::createStepButton(Qt::ArrowType arrow, const QString &toolTip,
    const QString &objectName, const QString &accessibleName, const QString &hint)
{
    auto *button = new QToolButton(this);
    button->setArrowType(arrow);
    button->setToolTip(toolTip);
    describe(button, objectName, accessibleName, hint);
    return button;
}

QWidget *FindDialogView::createReplaceRow()
{
    m_replaceRow = new QWidget(this);
    auto *layout = new QHBoxLayout(m_replaceRow);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);

    m_replaceField = new QLineEdit(m_replaceRow);
    m_replaceField->setPlaceholderText(QStringLiteral("Replace..."));
    m_replaceField->setMinimumWidth(180);
    describe(m_replaceField, QStringLiteral("scrivlet.findBar.replaceField"),
        QStringLiteral("Replacement text"), QStringLiteral("Type replacement text"));

    const QFont small = withPixelSize(font(), smallFontPixels);
    m_replace = new QPushButton(QStringLiteral("Replace"), m_replaceRow);
    m_replace->setFont(small);
    describe(m_replace, QStringLiteral("scrivlet.findBar.replaceButton"), QStringLiteral("Replace"),
        QStringLiteral("Replace the current match"));
    m_replaceAll = new QPushButton(QStringLiteral("Replace All"), m_replaceRow);
    m_replaceAll->setFont(small);
    describe(m_replaceAll, QStringLiteral("scrivlet.findBar.replaceAllButton"),
        QStringLiteral("Replace All"), QStringLiteral("Replace all matches in the document"));
    // Buttons in a panel must not act on Return pressed in a field.
    for (QPushButton *button : {m_replace, m_replaceAll})
        button->setAutoDefault(false);

    layout->addWidget(m_replaceField);
    layout->addWidget(m_replace);
    layout->addWidget(m_replaceAll);
    layout->addStretch(1);
    return m_replaceRow;
}

void FindDialogView::connectControls()
{
    connect(m_disclosure, &QToolButton::clicked, this, [this] {
        if (m_state)
            m_state->setMode(m_state->mode() == FindMode::FindAndReplace
                    ? FindMode::Find
                    : FindMode::FindAndReplace);
    });
    connect(m_searchField, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (m_state)
            m_state->setSearchText(text);
    });
    connect(m_searchField, &QLineEdit::returnPressed, this, [this] {
        if (m_state)
            m_state->findNext();
    });
    connect(m_caseToggle, &QToolButton::clicked, this, [this](bool checked) {
        if (m_state)
            m_state->setCaseSensitive(checked);
    });
    connect(m_previous, &QToolButton::clicked, this, [this] {
        if (m_state)
            m_state->findPrevious();
    });
    connect(m_next, &QToolButton::clicked, this, [this] {
        if (m_state)
            m_state->findNext();
    });
    connect(m_replaceField, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (m_state)
            m_state->setReplaceText(text);
    });
    connect(m_replace, &QPushButton::clicked, this, &FindDialogView::replaceCurrent);
    connect(m_replaceAll, &QPushButton::clicked, this, &FindDialogView::replaceAll);
}

// Every change of the state is shown; the search text and the case option also search again, and
// a new mode has the panel fit itself once the rows have been laid out again.
void FindDialogView::connectState()
{
    if (!m_state)
        return;
    for (auto signal :
        {&FindState::visibleChanged, &FindState::replaceTextChanged, &FindState::matchRangesChanged,
            &FindState::currentMatchIndexChanged, &FindState::searchingChanged})
        connect(m_state, signal, this, &FindDialogView::refresh);
    for (auto signal : {&FindState::searchTextChanged, &FindState::caseSensitiveChanged}) {
        connect(m_state, signal, this, [this] {
            refresh();
            searchAgain();
        });
    }
    connect(m_state, &FindState::modeChanged, this, [this] {
        refresh();
        m_fitTimer.start();
    });
}

void FindDialogView::detach()
{
    if (m_state)
        disconnect(m_state, nullptr, this, nullptr);
    m_state = nullptr;
    m_text = nullptr;
    m_fitTimer.stop();
}

void FindDialogView::focusSearchField()
{
    m_searchField->setFocus(Qt::OtherFocusReason);
    m_searchField->selectAll();
}

void FindDialogView::refresh()
{
    if (!m_state)
        return;
    const bool replacing = m_state->mode() == FindMode::FindAndReplace;
    const QString disclosure
        = replacing ? QStringLiteral("Hide Replace") : QStringLiteral("Show Replace");
    m_disclosure->setArrowType(replacing ? Qt::DownArrow : Qt::RightArrow);
    if (m_disclosure->toolTip() != disclosure) {
        m_disclosure->setToolTip(disclosure);
        m_disclosure->setAccessibleName(disclosure);
        m_disclosure->setAccessibleDescription(replacing
                ? QStringLiteral("Hide the replacement field and its buttons")
                : QStringLiteral("Show a field and buttons to replace matches"));
    }
    if (m_replaceRow->isHidden() == replacing)
        m_replaceRow->setVisible(replacing);
    // Fields are only written when they differ, so typing keeps its cursor and undo history.
    if (m_searchField->text() != m_state->searchText())
        m_searchField->setText(m_state->searchText());
    if (m_replaceField->text() != m_state->replaceText())
        m_replaceField->setText(m_state->replaceText());
    if (m_caseToggle->isChecked() != m_state->isCaseSensitive())
        m_caseToggle->setChecked(m_state->isCaseSensitive());
    const bool searching = m_state->isSearching();
    const QString count = m_state->matchCountText();
    if (m_matchCount->text() != count)
        m_matchCount->setText(count);
    // A long search is announced as it starts, however soon its matches then arrive.
    m_countStatus->setText(FindBarAccessibilityStrings::matchCountLabel(count, searching),
        searching ? LiveStatus::Timing::AtOnce : LiveStatus::Timing::WhenSettled);
    const QString countHint = FindBarAccessibilityStrings::matchCountDescription(searching);
    if (m_matchCount->accessibleDescription() != countHint)
        m_matchCount->setAccessibleDescription(countHint);
    // A step asked for while searching is taken when the matches arrive.
    const bool hasMatches = m_state->matchCount() > 0;
    m_previous->setEnabled(hasMatches || searching);
    m_next->setEnabled(hasMatches || searching);
    // While a long text is still being searched the matches may be those of an older search
    // text: nothing is replaced until they are current.
    const bool current = !searching;
    m_replace->setEnabled(current && m_state->currentMatchIndex().has_value());
    m_replaceAll->setEnabled(current && hasMatches);
}

void FindDialogView::searchAgain()
{
    if (m_state && m_text)
        m_state->searchAgain(*m_text);
}

void FindDialogView::replaceCurrent()
{
    if (m_state && m_text)
        m_state->replaceCurrent(*m_text);
}

void FindDialogView::replaceAll()
{
    if (m_state && m_text)
        m_state->replaceAll(*m_text);
}
