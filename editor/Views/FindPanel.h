#pragma once

#include <QPointer>
#include <QWidget>

// The floating find panel: a titled, closable tool window above the document windows. Closing it
// only hides it; Escape asks for the search to end (cancelled()), which the controller does.
class FindPanel : public QWidget
{
    Q_OBJECT

public:
    explicit FindPanel(QWidget *parent = nullptr);

    // The panel's content, replacing (and later deleting) the previous one; nullptr leaves it
    // empty.
    void setContent(QWidget *content);
    QWidget *content() const { return m_content; }

    // The height of the window frame above and below the content (0 before the window system
    // has decorated the panel).
    int titleBarHeight() const;

signals:
    void cancelled();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QPointer<QWidget> m_content;
};
