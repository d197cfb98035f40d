#pragma once

#include <QObject>
#include <QStringList>

// The files opened or saved most recently, newest first, kept across launches in
// $XDG_STATE_HOME/scrivlet/recent-files.conf.
class RecentFiles : public QObject
{
    Q_OBJECT

public:
    static constexpr int maximumCount = 10;

    explicit RecentFiles(QObject *parent = nullptr);

    QStringList paths() const { return m_paths; }
    void add(const QString &path);
    void clear();

signals:
    void changed();

private:
    void store() const;
    static QString storePath();

    QStringList m_paths;
};
