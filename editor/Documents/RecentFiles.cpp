#include "RecentFiles.h"

#include "SettingsFileFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace {

const QString pathsKey = u"paths"_s;

} // namespace

RecentFiles::RecentFiles(QObject *parent)
    : QObject(parent)
{
    const QSettings settings(storePath(), SettingsFileFormat::ini());
    const QVariant stored = settings.value(pathsKey);
    if (stored.canConvert<QStringList>())
        m_paths = stored.toStringList().mid(0, maximumCount);
}

void RecentFiles::add(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!m_paths.isEmpty() && m_paths.first() == absolute)
        return;
    m_paths.removeAll(absolute);
    m_paths.prepend(absolute);
    while (m_paths.size() > maximumCount)
        m_paths.removeLast();
    store();
    emit changed();
}

void RecentFiles::clear()
{
    if (m_paths.isEmpty())
        return;
    m_paths.clear();
    store();
    emit changed();
}

void RecentFiles::store() const
{
    QSettings settings(storePath(), SettingsFileFormat::ini());
    settings.setValue(pathsKey, m_paths);
}

// Qt 6.4 has no state location, so the XDG rule is applied here.
QString RecentFiles::storePath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + u"/.local/state"_s;
    return state + u"/scrivlet/recent-files.conf"_s;
}
