#include "FindPanel.h"

#include "AccessibleRole.h"
#include "ReturnPressesButtons.h"

#include <QKeyEvent>
#include <QVBoxLayout>

FindPanel::FindPanel(QWidget *parent)
    : QWidget(parent,
        Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("scrivlet.findPanel"));
    // A plain QWidget window reads as a "filler"; readers announce a dialog with its title.
    AccessibleRole::set(this, QAccessible::Dialog);
    ReturnPressesButtons::install(this);
    // Hidden, not destroyed, when closed; and an open panel never keeps the application running
    // once the last document window is gone.
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_QuitOnClose, false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

void FindPanel::setContent(QWidget *content)
{
    if (m_content == content)
        return;
    // The old content may be what is handling the current event (a shortcut pressed in its
    // search field): it leaves the panel now and is deleted once that is over.
    if (m_content) {
        m_content->hide();
        m_content->setParent(nullptr);
        m_content->deleteLater();
    }
    m_content = content;
    if (content) {
        layout()->addWidget(content);
        // A child added to a panel already on screen is shown at once, not a turn later.
        if (isVisible())
            content->show();
    }
}

int FindPanel::titleBarHeight() const
{
    return frameGeometry().height() - geometry().height();
}

// Escape reaches the panel from any of its controls: none of them uses the key itself.
void FindPanel::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        emit cancelled();
        return;
    }
    QWidget::keyPressEvent(event);
}
