#pragma once

#include <QList>
#include <QString>

// The windows that were open when Scrivlet last quit, in order, at
// $XDG_STATE_HOME/scrivlet/session.json (mode 0600): each a file, a draft, or both.
class SessionStore
{
public:
    struct Entry
    {
        QString filePath;
        QString draftId;
        friend bool operator==(const Entry &, const Entry &) = default;
    };

    // The store under $XDG_STATE_HOME, or at `path` (for tests).
    explicit SessionStore(QString path = {});

    QString path() const { return m_path; }
    QList<Entry> read() const;
    bool write(const QList<Entry> &entries) const;
    void clear() const;

private:
    QString m_path;
};
