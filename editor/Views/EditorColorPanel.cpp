#include "EditorColorPanel.h"

#include <QColorDialog>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

EditorColorPanel::EditorColorPanel(QWidget *anchor)
    : QObject(anchor)
    , m_anchor(anchor)
{ }

void EditorColorPanel::open(Target target, const QColor &color)
{
    QColorDialog *dialog = ensureDialog();
    m_target = target;
    followWell(target, color);
    const QString title = dialog->windowTitle();
    if (title == m_toolkitTitle || title == u"Colors" || title == u"Color")
        dialog->setWindowTitle(editorColorTitle);
    dialog->show();
    positionIfNeeded();
    dialog->raise();
    dialog->activateWindow();
}

void EditorColorPanel::followWell(Target target, const QColor &color)
{
    if (!m_dialog || m_target != target || m_dialog->currentColor().rgb() == color.rgb())
        return;
    m_settingColor = true;
    m_dialog->setCurrentColor(color);
    m_settingColor = false;
}

QColorDialog *EditorColorPanel::dialog() const
{
    return m_dialog;
}

void EditorColorPanel::close()
{
    if (m_dialog)
        m_dialog->close();
}

QColorDialog *EditorColorPanel::ensureDialog()
{
    if (m_dialog)
        return m_dialog;
    m_dialog = new QColorDialog(m_anchor);
    m_dialog->setObjectName(QStringLiteral("scrivlet.preferences.colorPanel"));
    // The desktop's own colour chooser would be modal and have its own OK button.
    m_dialog->setOptions(QColorDialog::ShowAlphaChannel | QColorDialog::NoButtons
        | QColorDialog::DontUseNativeDialog);
    m_dialog->setModal(false);
    m_toolkitTitle = m_dialog->windowTitle();
    connect(m_dialog, &QColorDialog::currentColorChanged, this, &EditorColorPanel::pick);
    return m_dialog;
}

void EditorColorPanel::pick(const QColor &color)
{
    if (m_settingColor || !m_target)
        return;
    emit colorPicked(*m_target, color);
    if (m_dialog)
        m_dialog->setWindowTitle(*m_target == Target::Text ? textColorTitle : backgroundColorTitle);
}

void EditorColorPanel::positionIfNeeded()
{
    if (!m_dialog || !m_dialog->isVisible() || !m_anchor)
        return;
    const QWidget *window = m_anchor->window();
    std::optional<QRect> available;
    if (const QScreen *screen = window->screen())
        available = screen->availableGeometry();
    if (const auto origin
        = placementBeside(window->frameGeometry(), m_dialog->frameGeometry(), available))
        m_dialog->move(*origin); // a window's position is that of its frame
}

std::optional<QPoint> EditorColorPanel::placementBeside(
    const QRect &window, const QRect &panel, const std::optional<QRect> &available)
{
    const int windowRight = window.x() + window.width();
    const double windowMiddle = window.y() + window.height() / 2.0;
    const double panelMiddle = panel.y() + panel.height() / 2.0;
    if (std::abs(panel.x() - windowRight) < 50 && std::abs(panelMiddle - windowMiddle) < 100)
        return std::nullopt;
    int x = windowRight + gap;
    int y = int(std::lround(windowMiddle - panel.height() / 2.0));
    if (available) {
        // Horizontally only the right edge counts: beside a window at the right of the screen
        // the panel is pulled back over the window instead of leaving the screen.
        x = std::min(available->x() + available->width() - panel.width(), x);
        y = std::max(available->y(), y);
        y = std::min(available->y() + available->height() - panel.height(), y);
    }
    return QPoint(x, y);
}
