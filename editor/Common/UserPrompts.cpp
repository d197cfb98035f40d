#include "UserPrompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

UserPrompts *installedPrompts = nullptr;

// Window-modal, as a sheet on the document window it concerns.
QMessageBox *createAlert(
    QWidget *window, QMessageBox::Icon icon, const QString &message, const QString &informativeText)
{
    auto *box = new QMessageBox(icon, u"Scrivlet"_s, message, QMessageBox::NoButton, window);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    box->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    box->setInformativeText(informativeText);
    return box;
}

// A warning whose safe answer, Cancel, is the default; true when the user goes ahead.
bool confirmRisk(QWidget *window, const QString &message, const QString &informativeText,
    const QString &proceedTitle)
{
    std::unique_ptr<QMessageBox> box(
        createAlert(window, QMessageBox::Warning, message, informativeText));
    QPushButton *proceed = box->addButton(proceedTitle, QMessageBox::DestructiveRole);
    QPushButton *cancel = box->addButton(u"Cancel"_s, QMessageBox::RejectRole);
    box->setDefaultButton(cancel);
    box->exec();
    return box->clickedButton() == proceed;
}

} // namespace

UserPrompts &UserPrompts::current()
{
    static UserPrompts dialogs;
    return installedPrompts ? *installedPrompts : dialogs;
}

void UserPrompts::setCurrent(UserPrompts *prompts)
{
    installedPrompts = prompts;
}

void UserPrompts::showError(QWidget *window, const QString &message, const QString &detail)
{
    std::unique_ptr<QMessageBox> box(createAlert(window, QMessageBox::Warning, message, detail));
    box->setStandardButtons(QMessageBox::Ok);
    box->exec();
}

UserPrompts::SaveChangesAnswer UserPrompts::askSaveChanges(QWidget *window)
{
    std::unique_ptr<QMessageBox> box(createAlert(window, QMessageBox::Warning,
        u"Do you want to save the changes made to this document?"_s,
        u"Your changes will be lost if you don’t save them."_s));
    QPushButton *save = box->addButton(u"Save"_s, QMessageBox::AcceptRole);
    QPushButton *cancel = box->addButton(u"Cancel"_s, QMessageBox::RejectRole);
    QPushButton *dontSave = box->addButton(u"Don’t Save"_s, QMessageBox::DestructiveRole);
    dontSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    box->setDefaultButton(save);
    box->setEscapeButton(cancel);
    box->exec();
    if (box->clickedButton() == save)
        return SaveChangesAnswer::Save;
    if (box->clickedButton() == dontSave)
        return SaveChangesAnswer::DontSave;
    return SaveChangesAnswer::Cancel;
}

QString UserPrompts::openBinaryDetail(bool savingChangesBytes)
{
    return savingChangesBytes
        ? u"It contains NUL characters. Saving it writes it as UTF-8 text with LF line endings, "
          u"which changes its bytes even if you edit nothing."_s
        : u"It contains NUL characters. They are kept: saving it without edits writes the same "
          u"bytes back."_s;
}

bool UserPrompts::confirmOpenBinary(
    QWidget *window, const QString &fileName, bool savingChangesBytes)
{
    return confirmRisk(window, u"The file “%1” appears to be binary."_s.arg(fileName),
        openBinaryDetail(savingChangesBytes), u"Open Anyway"_s);
}

bool UserPrompts::confirmOverwriteNewer(QWidget *window, const QString &fileName)
{
    return confirmRisk(window,
        u"The file “%1” has been changed by another program."_s.arg(fileName),
        u"Saving replaces those changes with this document."_s, u"Save Anyway"_s);
}

bool UserPrompts::confirmResetSettings(QWidget *window)
{
    return confirmRisk(window, u"Reset all settings to their defaults?"_s,
        u"The font, colours, file types and every other setting go back to how they were at "
        u"the first launch."_s,
        u"Reset"_s);
}

bool UserPrompts::askToBecomeDefaultTextEditor()
{
    // Placed over the first document window, but modal for the whole application.
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    const auto front = std::find_if(windows.cbegin(), windows.cend(), [](const QWidget *window) {
        return window->isVisible() && window->inherits("QMainWindow");
    });
    std::unique_ptr<QMessageBox> box(createAlert(front == windows.cend() ? nullptr : *front,
        QMessageBox::Information, u"Default Text Editor"_s,
        u"Would you like to set Scrivlet as your default text editor for .txt files?"_s));
    box->setWindowModality(Qt::ApplicationModal);
    QPushButton *yes = box->addButton(u"Yes"_s, QMessageBox::YesRole);
    box->addButton(u"No"_s, QMessageBox::NoRole);
    box->setDefaultButton(yes);
    box->exec();
    return box->clickedButton() == yes;
}

QStringList UserPrompts::chooseFilesToOpen(QWidget *window, const QStringList &extensions)
{
    QStringList patterns;
    for (const QString &extension : extensions)
        patterns.append(u"*."_s + extension);
    const QStringList filters {
        u"Text documents (%1)"_s.arg(patterns.join(u' ')),
        u"All files (*)"_s,
    };
    return QFileDialog::getOpenFileNames(window, u"Open"_s, QString(), filters.join(u";;"_s));
}

std::optional<QString> UserPrompts::chooseSaveLocation(QWidget *window, const QString &suggested)
{
    const QString path = QFileDialog::getSaveFileName(window, u"Save As"_s, suggested);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}
