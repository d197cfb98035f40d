#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

// The strip a window shows while a large file is still arriving: what is opening, how far it
// got, and a way to stop.
class LoadingBar : public QWidget
{
    Q_OBJECT

public:
    explicit LoadingBar(QWidget *parent = nullptr);

    void setFileName(const QString &name);
    void setProgress(qint64 done, qint64 total);

signals:
    void cancelRequested();

private:
    QLabel *m_label = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_cancel = nullptr;
};
