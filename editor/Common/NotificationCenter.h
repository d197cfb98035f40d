#pragma once

#include <QObject>
#include <QString>

// Process-local named notifications, an entry point for components that want to act on every
// document window without knowing them (for example stepping every window's search).
class NotificationCenter : public QObject
{
    Q_OBJECT

public:
    static inline const QString findNext = QStringLiteral("scrivlet.findNext");
    static inline const QString findPrevious = QStringLiteral("scrivlet.findPrevious");

    static NotificationCenter &shared();
    void post(const QString &name) { emit posted(name); }

signals:
    void posted(const QString &name);
};
