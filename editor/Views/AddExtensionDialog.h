#pragma once

#include <QDialog>

#include <optional>

class QLineEdit;

// Asks for one file extension: "Add File Extension", a field with the placeholder "txt", and
// the buttons Add (the default) and Cancel. The text is handed on as typed; cleaning and
// checking it is the file-associations manager's job.
class AddExtensionDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AddExtensionDialog(QWidget *parent = nullptr);

    QLineEdit *field() const { return m_field; }

    // Runs the dialog modally: the text after Add, none after Cancel.
    static std::optional<QString> ask(QWidget *parent);

private:
    QLineEdit *m_field = nullptr;
};
