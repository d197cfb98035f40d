#include "FileAssociationsManager.h"

#include "CodePointOrder.h"
#include "DefaultApplicationRegistrar.h"
#include "Settings.h"
#include "UnicodeSets.h"

#include <utility>

FileAssociationsManager::FileAssociationsManager(
    Settings &settings, RegisterHandler registerHandler, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_registerHandler(registerHandler ? std::move(registerHandler)
                                        : DefaultApplicationRegistrar::queueingHandler())
{
    if (const std::optional<QStringList> stored = settings.fileExtensions()) {
        // A stored list is taken as it is, only sorted; it is not written back until it changes.
        m_extensions = *stored;
        sortByCodePoint(m_extensions);
    } else {
        m_extensions = Settings::defaultFileExtensions();
        sortByCodePoint(m_extensions);
        save();
    }
    connect(&settings, &Settings::fileExtensionsChanged, this,
        &FileAssociationsManager::followStoredList);
}

void FileAssociationsManager::registerConfiguredExtensions(Settings &settings)
{
    FileAssociationsManager(settings, DefaultApplicationRegistrar::launchHandler())
        .registerAllExtensions();
}

QString FileAssociationsManager::applicationId()
{
    return QStringLiteral(SCRIVLET_APP_ID ".desktop");
}

bool FileAssociationsManager::addExtension(const QString &text)
{
    const QString extension = cleanExtension(text);
    if (!FileContentTypes::isValidExtension(extension) || m_extensions.contains(extension))
        return false;
    QStringList extensions = m_extensions;
    extensions.append(extension);
    sortByCodePoint(extensions);
    setExtensions(extensions);
    save();
    registerExtension(applicationId(), extension);
    return true;
}

bool FileAssociationsManager::removeExtension(const QString &extension)
{
    if (m_extensions.size() < 2)
        return false;
    const qsizetype index = m_extensions.indexOf(extension);
    if (index < 0)
        return false;
    QStringList extensions = m_extensions;
    extensions.removeAt(index);
    setExtensions(extensions);
    save();
    return true;
}

void FileAssociationsManager::registerAllExtensions()
{
    const QString id = applicationId();
    for (const QString &extension : std::as_const(m_extensions))
        registerExtension(id, extension);
}

void FileAssociationsManager::resetToDefaults()
{
    QStringList extensions = Settings::defaultFileExtensions();
    sortByCodePoint(extensions);
    setExtensions(extensions);
    save();
}

QString FileAssociationsManager::cleanExtension(const QString &text)
{
    QStringView view(text);
    while (!view.isEmpty() && isWhitespaceOrNewline(view.front().unicode()))
        view = view.sliced(1);
    while (!view.isEmpty() && isWhitespaceOrNewline(view.back().unicode()))
        view.chop(1);
    QString cleaned = view.toString().toLower();
    qsizetype dots = 0;
    while (dots < cleaned.size() && cleaned.at(dots) == u'.')
        ++dots;
    return cleaned.mid(dots);
}

void FileAssociationsManager::setExtensions(QStringList extensions)
{
    if (extensions == m_extensions)
        return;
    m_extensions = std::move(extensions);
    emit extensionsChanged(m_extensions);
}

// Another manager, or Reset to Defaults, rewrote the stored list.
void FileAssociationsManager::followStoredList(const QStringList &stored)
{
    QStringList extensions = stored;
    sortByCodePoint(extensions);
    setExtensions(extensions);
}

void FileAssociationsManager::save()
{
    m_settings.setFileExtensions(m_extensions);
}

// A list read from the settings file is not checked when it is loaded, so an entry such as
// "../x" or "tar.gz" typed into the file by hand is listed but never registered.
void FileAssociationsManager::registerExtension(
    const QString &applicationId, const QString &extension)
{
    if (const std::optional<FileContentType> type = FileContentTypes::forExtension(extension))
        m_registerHandler(applicationId, *type);
}
