#include "FindPanelController.h"

#include "FindState.h"

FindPanelController &FindPanelController::shared()
{
    static FindPanelController controller;
    return controller;
}

void FindPanelController::registerActiveDocument(FindState *findState, EditableText *documentText)
{
    m_findState = findState;
    m_documentText = documentText;
    emit activeDocumentChanged();
}
