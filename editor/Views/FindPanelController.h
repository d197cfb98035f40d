#pragma once

#include "FindMode.h"

#include <QObject>
#include <QPointer>
#include <QRect>

#include <memory>
#include <optional>

class EditableText;
class FindDialogView;
class FindPanel;
class FindState;

// The one find panel of the process. It works on the search and text of the document window
// that became active last, and keeps them until another document window becomes active, also
// after that window has closed. The panel is created on first use and then only hidden.
class FindPanelController : public QObject
{
    Q_OBJECT

public:
    static constexpr int panelWidth = 460;
    static constexpr int initialContentHeight = 40;

    static FindPanelController &shared();

    // Where a new panel with a frame of `panelFrame` goes: its right part over the top right of
    // the active window's frame (480 in from the window's right edge, but never left of its left
    // edge), its bottom edge 80 below the window's top; centred on `screen` without an active
    // window. The top-left corner of the panel's frame, in screen coordinates.
    static QPoint initialPosition(
        const std::optional<QRect> &activeWindowFrame, QSize panelFrame, const QRect &screen);

    // Called by a document window each time it becomes active, and at once when it already is.
    // The text must live as long as the find state, or until releaseDocument(). The panel stays
    // above `documentWindow` (a transient of it) until another window registers.
    void registerActiveDocument(
        FindState *findState, EditableText *documentText, QWidget *documentWindow = nullptr);
    // Called by a document window that closes. If its search is the one served, the controller
    // keeps it (without a document to search or change) until another window registers.
    void releaseDocument(FindState *findState);

    // Shows the panel in `mode` for the active document and makes it the active window.
    void showPanel(FindMode mode);
    // Fits the panel to its content, keeping its top edge, and sets the title from the mode.
    void resizePanelToFit();
    // Escape: hides the panel and ends the search of the active document (its highlights go).
    void dismissPanel();

    FindState *activeFindState() const { return m_findState; }
    EditableText *activeDocumentText() const { return m_findState ? m_documentText : nullptr; }
    FindPanel *panel() const;
    FindDialogView *dialog() const;

signals:
    void activeDocumentChanged();

private:
    FindPanelController() = default;
    void createPanel(FindMode mode);
    void keepAboveDocumentWindow();
    void updatePanelContent();
    void dropPanelContent();
    void fitPanel();
    void updateTitle();

    QPointer<FindState> m_findState;
    EditableText *m_documentText = nullptr;
    QPointer<FindPanel> m_panel;
    QPointer<QWidget> m_documentWindow;
    // A closed window's search, kept while it is the one served, and the empty text it works on.
    QPointer<FindState> m_closedState;
    std::unique_ptr<EditableText> m_closedText;
};
