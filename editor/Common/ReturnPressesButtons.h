#pragma once

#include <QObject>

class QWidget;

// Return presses the focused push or tool button of a window that is no dialog (Settings, Help,
// the file-manager hooks page), as it does in a dialog: there Qt's buttons take only Space, and a
// keyboard user expects Return to work on whatever button has the focus.
class ReturnPressesButtons : public QObject
{
    Q_OBJECT

public:
    static void install(QWidget *window);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit ReturnPressesButtons(QWidget *window);

    QWidget *m_window;
};
