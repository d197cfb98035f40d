#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// Every question and alert the document layer puts to the user. The application uses the real
// dialogs; tests install answers of their own, so no test ever waits on a modal loop.
class UserPrompts
{
public:
    enum class SaveChangesAnswer { Save, Cancel, DontSave };

    virtual ~UserPrompts() = default;

    // The prompts in use: the real dialogs unless a test has installed others.
    static UserPrompts &current();
    // Installs `prompts` (not owned) until it is replaced; nullptr goes back to the dialogs.
    static void setCurrent(UserPrompts *prompts);

    virtual void showError(QWidget *window, const QString &message, const QString &detail);
    // Asked before closing a document with unsaved changes.
    virtual SaveChangesAnswer askSaveChanges(QWidget *window);
    // Asked before opening a file with NUL characters. `savingChangesBytes`: a save of the
    // unedited text would not write the file's own bytes; the question says which is the case.
    virtual bool confirmOpenBinary(
        QWidget *window, const QString &fileName, bool savingChangesBytes);
    static QString openBinaryDetail(bool savingChangesBytes);
    // Asked before a save would replace a file that another program changed since.
    virtual bool confirmOverwriteNewer(QWidget *window, const QString &fileName);
    // Asked before Reset to Defaults puts back every setting; true for "Reset".
    virtual bool confirmResetSettings(QWidget *window);
    // The one-time question at launch; true for "Yes".
    virtual bool askToBecomeDefaultTextEditor();
    // The files to open; empty when the user cancels.
    virtual QStringList chooseFilesToOpen(QWidget *window, const QStringList &extensions);
    // Where to save; nothing when the user cancels.
    virtual std::optional<QString> chooseSaveLocation(QWidget *window, const QString &suggested);
};
