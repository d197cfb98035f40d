#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

// A status that changes while the keyboard focus stays elsewhere (the find panel's match count, a
// window's statistics), made a status bar for screen readers. Its owner widget is exposed with the
// status-bar role, and the status's text becomes the owner's accessible name and text once it has
// held still for the settle interval: a search typed letter by letter or a burst of edits is
// announced once, with its last value, through the name-changed and text-changed events readers
// follow for a status bar. The first text, and any while the owner is hidden, is published at once.
class LiveStatus : public QObject
{
    Q_OBJECT

public:
    // Before the owner is first shown: a reader's first look at it decides its interface.
    LiveStatus(QWidget *owner, int settleMilliseconds);

    enum class Timing { WhenSettled, AtOnce };

    // AtOnce is for a status the user waits on (a search under way): it is told without waiting
    // for the value to hold still.
    void setText(const QString &text, Timing timing = Timing::WhenSettled);
    // What screen readers have been told.
    QString publishedText() const { return m_published; }
    // The status a widget carries, if it is one.
    static LiveStatus *of(const QObject *widget);

signals:
    void published(const QString &text);

private:
    void publish();

    QWidget *m_owner;
    QString m_pending;
    QString m_published;
    bool m_publishedOnce = false;
    QTimer m_settle;
};
