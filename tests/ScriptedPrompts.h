#pragma once

#include "UserPrompts.h"

#include <QStringList>

// Answers every prompt from fields a test sets, and records what was asked, so no test waits on
// a modal dialog. Installed for its lifetime.
class ScriptedPrompts : public UserPrompts
{
public:
    ScriptedPrompts() { UserPrompts::setCurrent(this); }
    ~ScriptedPrompts() override { UserPrompts::setCurrent(nullptr); }
    Q_DISABLE_COPY_MOVE(ScriptedPrompts)

    void showError(QWidget *, const QString &message, const QString &detail) override
    {
        errors.append(message + u'\n' + detail);
    }
    SaveChangesAnswer askSaveChanges(QWidget *) override
    {
        ++saveChangesQuestions;
        return saveChangesAnswer;
    }
    bool confirmOpenBinary(QWidget *, const QString &, bool savingChangesBytes) override
    {
        ++binaryQuestions;
        binarySaveChangesBytes = savingChangesBytes;
        return openBinary;
    }
    bool confirmOverwriteNewer(QWidget *, const QString &) override
    {
        ++overwriteQuestions;
        return overwriteNewer;
    }
    bool confirmResetSettings(QWidget *) override
    {
        ++resetQuestions;
        return resetSettings;
    }
    bool askToBecomeDefaultTextEditor() override
    {
        ++defaultEditorQuestions;
        return becomeDefaultEditor;
    }
    QStringList chooseFilesToOpen(QWidget *, const QStringList &) override { return filesToOpen; }
    std::optional<QString> chooseSaveLocation(QWidget *, const QString &) override
    {
        return saveLocation;
    }

    QStringList errors;
    SaveChangesAnswer saveChangesAnswer = SaveChangesAnswer::Cancel;
    int saveChangesQuestions = 0;
    bool openBinary = false;
    int binaryQuestions = 0;
    bool binarySaveChangesBytes = false;
    bool overwriteNewer = false;
    int overwriteQuestions = 0;
    bool resetSettings = false;
    int resetQuestions = 0;
    int defaultEditorQuestions = 0;
    bool becomeDefaultEditor = false;
    QStringList filesToOpen;
    std::optional<QString> saveLocation;
};
