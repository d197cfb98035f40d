#include "DefaultFileTypesSection.h"

#include "AddExtensionDialog.h"
#include "DefaultApplicationRegistrar.h"
#include "FileAssociationsManager.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QToolButton *makeIconButton(const QString &iconName, const QString &fallbackText, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    const QIcon icon = QIcon::fromTheme(iconName);
    if (icon.isNull())
        button->setText(fallbackText);
    else
        button->setIcon(icon);
    return button;
}

} // namespace

DefaultFileTypesSection::DefaultFileTypesSection(FileAssociationsManager *manager, QWidget *parent)
    : QWidget(parent)
    , m_manager(manager)
    , m_list(new QListWidget(this))
    , m_addButton(makeIconButton(QStringLiteral("list-add"), QStringLiteral("+"), this))
    , m_removeButton(makeIconButton(QStringLiteral("list-remove"), QStringLiteral("\u2212"), this))
    , m_prompt(&AddExtensionDialog::ask)
{
    m_list->setObjectName(QStringLiteral("scrivlet.preferences.fileAssociationsList"));
    m_list->setAccessibleName(tr("Default file types"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setFixedHeight(100);
    m_addButton->setObjectName(QStringLiteral("scrivlet.preferences.fileAssociationsAdd"));
    m_addButton->setAccessibleName(tr("Add file extension"));
    m_removeButton->setObjectName(QStringLiteral("scrivlet.preferences.fileAssociationsRemove"));
    m_removeButton->setAccessibleName(tr("Remove file extension"));

    auto *note = new QLabel(noteText, this);
    note->setWordWrap(true);
    note->setForegroundRole(QPalette::PlaceholderText);
    QFont caption = note->font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    note->setFont(caption);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(4);
    buttons->addWidget(m_addButton);
    buttons->addWidget(m_removeButton);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (!DefaultApplicationRegistrar::isInstalled(FileAssociationsManager::applicationId())) {
        m_notInstalledLabel = new QLabel(notInstalledText, this);
        m_notInstalledLabel->setObjectName(
            QStringLiteral("scrivlet.preferences.fileAssociationsNotInstalled"));
        m_notInstalledLabel->setWordWrap(true);
        layout->addWidget(m_notInstalledLabel);
    }
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    layout->addWidget(note);

    connect(
        m_addButton, &QToolButton::clicked, this, &DefaultFileTypesSection::showAddExtensionDialog);
    connect(m_removeButton, &QToolButton::clicked, this,
        &DefaultFileTypesSection::removeSelectedExtension);
    connect(m_list, &QListWidget::itemSelectionChanged, this,
        &DefaultFileTypesSection::updateRemoveButton);
    connect(manager, &FileAssociationsManager::extensionsChanged, this,
        &DefaultFileTypesSection::showExtensions);
    showExtensions();
}

void DefaultFileTypesSection::setExtensionPrompt(ExtensionPrompt prompt)
{
    m_prompt = std::move(prompt);
}

std::optional<QString> DefaultFileTypesSection::selectedExtension() const
{
    const QList<QListWidgetItem *> selected = m_list->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return selected.constFirst()->data(Qt::UserRole).toString();
}

void DefaultFileTypesSection::showAddExtensionDialog()
{
    if (const std::optional<QString> text = m_prompt(window()))
        m_manager->addExtension(*text);
}

// The next row (or the new last one) is selected and the focus stays in the list: a "−" button
// disabled while it had the focus would hand it on to the next control, Reset to Defaults.
void DefaultFileTypesSection::removeSelectedExtension()
{
    const std::optional<QString> selected = selectedExtension();
    if (!selected)
        return;
    const int row = m_list->row(m_list->selectedItems().constFirst());
    m_list->setFocus(Qt::OtherFocusReason);
    if (m_manager->removeExtension(*selected) && m_list->count() > 0) {
        const int next = std::min(row, m_list->count() - 1);
        m_list->setCurrentRow(next, QItemSelectionModel::ClearAndSelect);
    }
    updateRemoveButton();
}

// Rows in the manager's order; the selection survives when its extension is still listed.
void DefaultFileTypesSection::showExtensions()
{
    const std::optional<QString> selected = selectedExtension();
    const QStringList extensions = m_manager->extensions();
    m_list->clear();
    for (const QString &extension : extensions) {
        auto *item = new QListWidgetItem(u'.' + extension, m_list);
        item->setData(Qt::UserRole, extension);
        if (selected == extension)
            item->setSelected(true);
    }
    updateRemoveButton();
}

void DefaultFileTypesSection::updateRemoveButton()
{
    m_removeButton->setEnabled(
        selectedExtension().has_value() && m_manager->extensions().size() >= 2);
}
