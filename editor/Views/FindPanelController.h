#pragma once

#include <QObject>
#include <QPointer>

class EditableText;
class FindState;

// The one find panel of the process. It works on the search and text of the document window
// that became active last, and keeps them until another document window becomes active.
class FindPanelController : public QObject
{
    Q_OBJECT

public:
    static FindPanelController &shared();

    // Called by a document window each time it becomes active, and at once when it already is.
    // The text must live as long as the find state.
    void registerActiveDocument(FindState *findState, EditableText *documentText);

    FindState *activeFindState() const { return m_findState; }
    EditableText *activeDocumentText() const { return m_findState ? m_documentText : nullptr; }

signals:
    void activeDocumentChanged();

private:
    QPointer<FindState> m_findState;
    EditableText *m_documentText = nullptr;
};
