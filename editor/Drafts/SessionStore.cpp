#include "SessionStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

using namespace Qt::StringLiterals;

SessionStore::SessionStore(QString path)
    : m_path(std::move(path))
{
    if (!m_path.isEmpty())
        return;
    // Qt 6.4 has no state location, so the XDG rule is applied here.
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + u"/.local/state"_s;
    m_path = state + u"/scrivlet/session.json"_s;
}

QList<SessionStore::Entry> SessionStore::read() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<Entry> entries;
    const QJsonArray windows
        = QJsonDocument::fromJson(file.readAll()).object().value(u"windows").toArray();
    for (const QJsonValue &window : windows) {
        const Entry entry {window[u"filePath"].toString(), window[u"draftId"].toString()};
        if (!entry.filePath.isEmpty() || !entry.draftId.isEmpty())
            entries.append(entry);
    }
    return entries;
}

bool SessionStore::write(const QList<Entry> &entries) const
{
    QJsonArray windows;
    for (const Entry &entry : entries)
        windows.append(
            QJsonObject {{u"filePath"_s, entry.filePath}, {u"draftId"_s, entry.draftId}});
    const QByteArray bytes = QJsonDocument(QJsonObject {{u"windows"_s, windows}}).toJson();
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void SessionStore::clear() const
{
    QFile::remove(m_path);
}
