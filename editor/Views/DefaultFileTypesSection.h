#pragma once

#include <QWidget>

#include <functional>
#include <optional>

class FileAssociationsManager;
class QLabel;
class QListWidget;
class QToolButton;

// The "Default File Types" list of the Settings window: one row per extension (".txt"), a "+"
// that asks for a new extension and a "−" that removes the selected one, and the note that
// removing does not give the file type back to another application.
class DefaultFileTypesSection : public QWidget
{
    Q_OBJECT

public:
    // Asks the user for an extension; none when they cancelled.
    using ExtensionPrompt = std::function<std::optional<QString>(QWidget *parent)>;

    static inline const QString noteText = QStringLiteral(
        "Note: removing an extension here only removes it from this list. Scrivlet stays the "
        "default application for those files until you choose another one in your file "
        "manager’s “Open With” dialog.");

    // Shown above the list when the desktop cannot find Scrivlet's desktop file, in place of
    // registrations that would silently do nothing.
    static inline const QString notInstalledText
        = QStringLiteral("Scrivlet is not installed, so it cannot be made the default "
                         "application for these file types. The list still chooses what "
                         "Open offers.");

    explicit DefaultFileTypesSection(FileAssociationsManager *manager, QWidget *parent = nullptr);

    // AddExtensionDialog::ask unless replaced (tests answer without a modal loop).
    void setExtensionPrompt(ExtensionPrompt prompt);

    QListWidget *list() const { return m_list; }
    QToolButton *addButton() const { return m_addButton; }
    QToolButton *removeButton() const { return m_removeButton; }
    // Null while Scrivlet is installed.
    QLabel *notInstalledLabel() const { return m_notInstalledLabel; }
    std::optional<QString> selectedExtension() const;

    // Invalid and duplicate text adds nothing, silently.
    void showAddExtensionDialog();
    void removeSelectedExtension();

private:
    void showExtensions();
    void updateRemoveButton();

    FileAssociationsManager *m_manager = nullptr;
    QListWidget *m_list = nullptr;
    QToolButton *m_addButton = nullptr;
    QToolButton *m_removeButton = nullptr;
    QLabel *m_notInstalledLabel = nullptr;
    ExtensionPrompt m_prompt;
};
