#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// The bar above the help page: a magnifier, the search field and, while there is text, a button
// that clears it.
class HelpSearchBar : public QWidget
{
    Q_OBJECT

public:
    explicit HelpSearchBar(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);

    QLineEdit *field() const { return m_field; }
    QToolButton *clearButton() const { return m_clearButton; }

signals:
    void textChanged(const QString &text);

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateClearIcon();

    QLineEdit *m_field = nullptr;
    QToolButton *m_clearButton = nullptr;
};
