#include "FindPanelController.h"

#include "FindDialogView.h"
#include "FindMenuCommands.h"
#include "FindPanel.h"
#include "FindState.h"
#include "HelpContentView.h"
#include "HelpWindowController.h"
#include "TextAccess.h"

#include <QApplication>
#include <QLayout>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace {

// What the search of a closed window works on: no text, and nothing that could be replaced.
class ClosedDocumentText : public EditableText
{
public:
    qsizetype length() const override { return 0; }
    QString read(qsizetype, qsizetype) const override { return {}; }
    void replaceRanges(const MatchList &, const QString &) override { }
    QString wholeText() const override { return {}; }
};

QString titleFor(FindMode mode)
{
    return mode == FindMode::FindAndReplace ? QStringLiteral("Find and Replace")
                                            : QStringLiteral("Find");
}

} // namespace

FindPanelController &FindPanelController::shared()
{
    static FindPanelController controller;
    return controller;
}

QPoint FindPanelController::initialPosition(
    const std::optional<QRect> &activeWindowFrame, QSize panelFrame, const QRect &screen)
{
    if (!activeWindowFrame) {
        return {screen.x() + (screen.width() - panelFrame.width()) / 2,
            screen.y() + (screen.height() - panelFrame.height()) / 2};
    }
    const QRect &frame = *activeWindowFrame;
    const int x = std::max(frame.x() + frame.width() - 480, frame.x());
    return {x, frame.y() + 80 - panelFrame.height()};
}

FindPanel *FindPanelController::panel() const
{
    return m_panel;
}

FindDialogView *FindPanelController::dialog() const
{
    return m_panel ? qobject_cast<FindDialogView *>(m_panel->content()) : nullptr;
}

void FindPanelController::registerActiveDocument(
    FindState *findState, EditableText *documentText, QWidget *documentWindow)
{
    const bool changed = findState != m_findState || documentText != m_documentText;
    m_findState = findState;
    m_documentText = documentText;
    if (documentWindow)
        m_documentWindow = documentWindow->window();
    keepAboveDocumentWindow();
    // Clicking back and forth between a window and the panel registers the same document again;
    // only another document rebuilds the dialog.
    if (changed && m_panel) {
        if (m_panel->isVisible()) {
            // The panel now serves this search: the editor keeps its matches current on edits.
            if (findState && !findState->isVisible())
                findState->show(findState->mode());
            updatePanelContent();
        } else {
            dropPanelContent();
        }
    }
    if (m_closedState && m_closedState != findState) {
        m_closedState->deleteLater();
        m_closedState = nullptr;
        m_closedText.reset();
    }
    emit activeDocumentChanged();
}

void FindPanelController::releaseDocument(FindState *findState)
{
    if (!findState || findState != m_findState)
        return;
    findState->cancelSearch();
    findState->setParent(this);
    m_closedState = findState;
    m_closedText = std::make_unique<ClosedDocumentText>();
    m_documentText = m_closedText.get();
    if (m_panel && m_panel->isVisible())
        updatePanelContent();
    else
        dropPanelContent();
}

void FindPanelController::showPanel(FindMode mode)
{
    if (m_findState)
        m_findState->show(mode);
    if (!m_panel)
        createPanel(mode);
    keepAboveDocumentWindow();
    updatePanelContent();
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
    if (FindDialogView *view = dialog())
        view->focusSearchField();
}

void FindPanelController::createPanel(FindMode mode)
{
    m_panel = new FindPanel;
    connect(m_panel, &FindPanel::cancelled, this, &FindPanelController::dismissPanel);
    // The Find commands' shortcuts also work while the panel is the active window, for example
    // Find Next with the focus in the search field.
    (new FindMenuCommands(m_panel))->addShortcutsTo(m_panel);
    m_panel->addAction(HelpWindowController::createShowHelpAction(m_panel));
    // The panel lives until the application quits; deleting it after the application object is
    // gone would be too late.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { delete m_panel; });
    m_panel->setWindowTitle(titleFor(mode));
    m_panel->resize(panelWidth, initialContentHeight);
    QWidget *active = QApplication::activeWindow();
    std::optional<QRect> frame;
    if (active && active != m_panel)
        frame = active->frameGeometry();
    const QScreen *screen = active ? active->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    m_panel->move(initialPosition(frame, m_panel->frameGeometry().size(), available));
}

// A window manager keeps a transient above its owner, also when the owner is clicked; a panel
// owned by no window (or by the whole application) may go behind a document under some of them,
// openbox for one. The owner is read when the panel is mapped, so a panel on screen is mapped
// again, where it was and without taking the focus from the window just activated.
void FindPanelController::keepAboveDocumentWindow()
{
    if (!m_panel)
        return;
    QWindow *owner = m_documentWindow ? m_documentWindow->windowHandle() : nullptr;
    if (!owner)
        return;
    m_panel->winId();
    QWindow *panelWindow = m_panel->windowHandle();
    if (!panelWindow || panelWindow->transientParent() == owner)
        return;
    panelWindow->setTransientParent(owner);
    if (!m_panel->isVisible())
        return;
    const QPoint position = m_panel->pos();
    const bool activating = !m_panel->testAttribute(Qt::WA_ShowWithoutActivating);
    m_panel->setAttribute(Qt::WA_ShowWithoutActivating, true);
    m_panel->hide();
    m_panel->move(position);
    m_panel->show();
    m_panel->setAttribute(Qt::WA_ShowWithoutActivating, !activating);
}

void FindPanelController::updatePanelContent()
{
    if (!m_findState || !m_documentText || !m_panel)
        return;
    auto *view = new FindDialogView(m_findState, m_documentText);
    connect(view, &FindDialogView::fitRequested, this, &FindPanelController::resizePanelToFit);
    if (FindDialogView *old = dialog())
        old->detach();
    m_panel->setContent(view);
    updateTitle();
    fitPanel();
}

// A hidden panel keeps no dialog bound to a document it no longer serves; showing it builds one.
void FindPanelController::dropPanelContent()
{
    if (FindDialogView *old = dialog()) {
        old->detach();
        m_panel->setContent(nullptr);
    }
}

void FindPanelController::resizePanelToFit()
{
    if (!m_panel || !dialog() || !m_findState)
        return;
    fitPanel();
    updateTitle();
}

// The frame grows or shrinks downwards: resizing a window keeps its top-left corner.
void FindPanelController::fitPanel()
{
    // The panel's minimum comes from its layout, which still measures the content it had before
    // (a hidden panel's layout waits for the next show): the taller replace rows would keep it
    // tall.
    m_panel->layout()->activate();
    const QSize fitting = m_panel->content()->sizeHint();
    m_panel->resize(std::max(fitting.width(), panelWidth), fitting.height());
}

void FindPanelController::updateTitle()
{
    if (m_findState)
        m_panel->setWindowTitle(titleFor(m_findState->mode()));
}

void FindPanelController::dismissPanel()
{
    if (m_panel)
        m_panel->hide();
    if (m_findState)
        m_findState->dismiss();
}
