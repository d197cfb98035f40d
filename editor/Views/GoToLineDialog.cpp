#include "GoToLineDialog.h"

#include "ScrivletTextView.h"
#include "TextLines.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

GoToLineDialog::GoToLineDialog(ScrivletTextView *view, QWidget *parent)
    : QDialog(parent)
    , m_view(view)
    , m_field(new QLineEdit(this))
    , m_message(new QLabel(this))
{
    setWindowTitle(tr("Go to Line"));
    setObjectName(u"scrivlet.goToLine"_s);
    const qsizetype lines = TextLines::lineCount(*view->document());
    const qsizetype current = view->cursorLine() + 1;

    auto *prompt = new QLabel(tr("Line number (1–%1), or line:column:").arg(lines), this);
    m_field->setObjectName(u"scrivlet.goToLine.field"_s);
    m_field->setAccessibleName(tr("Line number"));
    m_field->setAccessibleDescription(tr("A line number, or line:column"));
    m_field->setPlaceholderText(QString::number(current));
    m_field->setMinimumWidth(m_field->fontMetrics().horizontalAdvance(u'0') * 24);
    prompt->setBuddy(m_field);
    m_message->setObjectName(u"scrivlet.goToLine.message"_s);
    m_message->setAccessibleName(tr("Input error"));
    m_message->hide();

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *go = buttons->addButton(tr("Go"), QDialogButtonBox::AcceptRole);
    go->setObjectName(u"scrivlet.goToLine.go"_s);
    go->setAccessibleDescription(tr("Move the cursor to that line"));
    go->setDefault(true);
    QPushButton *cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(u"scrivlet.goToLine.cancel"_s);
    connect(buttons, &QDialogButtonBox::accepted, this, &GoToLineDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_field, &QLineEdit::textEdited, this, [this] { markInvalid(false); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_field);
    layout->addWidget(m_message);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_field->setFocus(Qt::OtherFocusReason);
}

GoToLineDialog *GoToLineDialog::open(ScrivletTextView *view)
{
    auto *dialog = new GoToLineDialog(view, view->window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->show();
    return dialog;
}

void GoToLineDialog::accept()
{
    // An empty field means the line the placeholder shows: where the cursor already is.
    const QString input
        = m_field->text().trimmed().isEmpty() ? m_field->placeholderText() : m_field->text();
    const std::optional<LineTarget> target = TextLines::parse(input);
    if (!target) {
        markInvalid(true);
        return;
    }
    const qsizetype position = TextLines::position(*m_view->document(), *target);
    m_view->setCursorPosition(position);
    m_view->centerOn(position);
    QDialog::accept();
    m_view->setFocus(Qt::OtherFocusReason);
}

void GoToLineDialog::markInvalid(bool invalid)
{
    m_message->setText(
        invalid ? tr("Type a line number such as 120, or 120:5 for a column.") : QString());
    m_message->setVisible(invalid);
    // A red frame reads on light and dark backgrounds alike; the text keeps the palette's colours.
    m_field->setProperty("invalid", invalid);
    m_field->setStyleSheet(invalid ? u"QLineEdit { border: 2px solid #d32f2f; }"_s : QString());
    if (invalid) {
        m_field->selectAll();
        m_field->setFocus(Qt::OtherFocusReason);
    }
}
