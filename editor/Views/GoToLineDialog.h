#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class ScrivletTextView;

// Edit > Go to Line...: asks for a line (or line:column) of the text view's document, then moves
// the cursor there and shows it in the middle of the view. Input that is no line number keeps
// the dialog open with the field marked and says what to type.
class GoToLineDialog : public QDialog
{
    Q_OBJECT

public:
    explicit GoToLineDialog(ScrivletTextView *view, QWidget *parent = nullptr);

    QLineEdit *field() const { return m_field; }
    QLabel *message() const { return m_message; }

    // Opens one for `view` in its window, without blocking; it deletes itself when closed.
    static GoToLineDialog *open(ScrivletTextView *view);

    void accept() override;

private:
    void markInvalid(bool invalid);

    ScrivletTextView *m_view;
    QLineEdit *m_field;
    QLabel *m_message;
};
