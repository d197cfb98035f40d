#include "ContentView.h"

#include "AccessibleRole.h"
#include "AppearanceMode.h"
#include "AppearancePalette.h"
#include "DesktopColorScheme.h"
#include "FindPanelController.h"
#include "FindState.h"
#include "NotificationCenter.h"
#include "ScrivletTextView.h"
#include "Settings.h"
#include "StatusBarView.h"
#include "TextDocumentStatistics.h"
#include "TextEditorView.h"

#include <QEvent>
#include <QFrame>
#include <QTimer>
#include <QVBoxLayout>

ContentView::ContentView(Settings &settings, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_findState(new FindState(this))
    , m_textView(new ScrivletTextView(this))
    , m_divider(new QFrame(this))
    , m_statusBar(new StatusBarView(this))
    , m_statusUpdate(new QTimer(this))
{
    m_editor = new TextEditorView(m_textView, m_findState, settings, this);
    m_statistics = new TextDocumentStatistics(m_textView->document(), this);

    m_divider->setFrameShape(QFrame::HLine);
    m_divider->setFrameShadow(QFrame::Plain);
    m_divider->setFixedHeight(1);
    m_divider->setForegroundRole(QPalette::Mid);
    AccessibleRole::set(m_divider, QAccessible::Separator);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_textView, 1);
    layout->addWidget(m_divider);
    layout->addWidget(m_statusBar);
    setFocusProxy(m_textView);

    // A file loading in blocks or a worker's count may change the counts several times in one
    // turn of the event loop; the bar is redrawn once.
    m_statusUpdate->setSingleShot(true);
    m_statusUpdate->setInterval(0);
    connect(m_statusUpdate, &QTimer::timeout, this,
        [this] { m_statusBar->setCounts(m_statistics->counts()); });
    connect(m_statistics, &TextDocumentStatistics::countsChanged, this,
        &ContentView::scheduleStatusUpdate);
    m_statusBar->setCounts(m_statistics->counts());
    m_statusBar->setFilePath(QString());

    connect(&settings, &Settings::changed, this, &ContentView::applySettings);
    DesktopColorScheme::follow();
    connect(&NotificationCenter::shared(), &NotificationCenter::posted, this,
        [this](const QString &name) {
            if (name == NotificationCenter::findNext)
                m_findState->findNext();
            else if (name == NotificationCenter::findPrevious)
                m_findState->findPrevious();
        });
    applySettings();
}

ContentView::~ContentView()
{
    // The view reads the matches in place; they go with the find state.
    m_textView->setMatchHighlights(nullptr, std::nullopt);
    // The find panel may go on serving this window's search after the window has closed.
    FindPanelController::shared().releaseDocument(m_findState);
}

void ContentView::setFilePath(const QString &path)
{
    m_filePath = path;
    m_statusBar->setFilePath(path);
}

void ContentView::applySettings()
{
    const bool showStatusBar = m_settings.showStatusBar();
    if (m_statusBar->isVisibleTo(this) != showStatusBar || m_divider->isHidden() == showStatusBar) {
        m_divider->setVisible(showStatusBar);
        m_statusBar->setVisible(showStatusBar);
    }
    applyAppearance();
}

// "light" and "dark" pick a palette for this window; anything else, including values with other
// capitalisation, follows the desktop.
void ContentView::applyAppearance()
{
    QWidget *target = window();
    const QString appearance = m_settings.appearanceMode();
    if (appearance == m_appliedAppearance && target == m_watchedWindow)
        return;
    m_appliedAppearance = appearance;
    const ColorScheme scheme = colorSchemeForAppearance(appearance);
    if (scheme == ColorScheme::None)
        target->setPalette(QPalette());
    else
        target->setPalette(AppearancePalette::forScheme(scheme));
    m_editor->applySettings();
}

void ContentView::scheduleStatusUpdate()
{
    if (!m_statusUpdate->isActive())
        m_statusUpdate->start();
}

void ContentView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    watchWindow();
}

// Registration follows the window: at once if it is already active, then on every activation.
void ContentView::watchWindow()
{
    QWidget *current = window();
    if (current == m_watchedWindow)
        return;
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = current;
    current->installEventFilter(this);
    m_appliedAppearance.clear();
    applyAppearance();
    if (current->isActiveWindow())
        registerWithFindPanel();
}

bool ContentView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_watchedWindow) {
        if (event->type() == QEvent::WindowActivate)
            registerWithFindPanel();
        else if (event->type() == QEvent::PaletteChange)
            m_editor->applySettings();
    }
    return QWidget::eventFilter(watched, event);
}

EditableText &ContentView::documentText()
{
    return m_editor->documentText();
}

void ContentView::registerWithFindPanel()
{
    FindPanelController::shared().registerActiveDocument(m_findState, &documentText(), window());
}
