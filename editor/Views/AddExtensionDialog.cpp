#include "AddExtensionDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

AddExtensionDialog::AddExtensionDialog(QWidget *parent)
    : QDialog(parent)
    , m_field(new QLineEdit(this))
{
    const QString message = tr("Add File Extension");
    setWindowTitle(message);
    setObjectName(QStringLiteral("scrivlet.preferences.addExtensionDialog"));

    auto *heading = new QLabel(message, this);
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    heading->setFont(headingFont);
    auto *informative = new QLabel(tr("Enter a file extension (e.g. md, json, csv):"), this);

    m_field->setObjectName(QStringLiteral("scrivlet.preferences.addExtensionField"));
    m_field->setPlaceholderText(QStringLiteral("txt"));
    m_field->setFixedSize(200, std::max(24, m_field->sizeHint().height()));
    m_field->setAccessibleName(tr("File extension"));
    informative->setBuddy(m_field);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *add = buttons->addButton(tr("Add"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    add->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(informative);
    layout->addWidget(m_field);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::optional<QString> AddExtensionDialog::ask(QWidget *parent)
{
    AddExtensionDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.field()->text();
}
