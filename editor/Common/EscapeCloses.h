#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Escape closes a window that is no dialog (Settings, Help, the file-manager hooks page), as it
// closes a dialog: only when no control in it used the key first, so an open list or popup
// closes itself and stays in the window.
class EscapeCloses : public QObject
{
    Q_OBJECT

public:
    // `firstUse` may take the key before the window closes (Help clears its search text);
    // it returns whether it did.
    static void install(QWidget *window, std::function<bool()> firstUse = {});

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    EscapeCloses(QWidget *window, std::function<bool()> firstUse);

    QWidget *m_window;
    std::function<bool()> m_firstUse;
};
