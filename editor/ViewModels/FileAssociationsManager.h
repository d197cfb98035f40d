#pragma once

#include "FileContentType.h"

#include <QObject>
#include <QStringList>

#include <functional>

class Settings;

// The file extensions whose files Scrivlet opens by default. The list is kept sorted, stored
// under "fileExtensions", and each extension that is added makes Scrivlet the default
// application for its MIME type (an explicit request, made whatever the desktop's default is
// now). Removing an extension only shortens the list: the desktop's
// association stays until the user picks another application.
//
// Several managers may exist (one registers at launch, one backs the Preferences list); the
// stored list is what they share, and each one follows changes to it.
class FileAssociationsManager : public QObject
{
    Q_OBJECT

public:
    // Performs one default-application registration: the application's desktop file id and the
    // type. Registration is fire-and-forget; nothing waits for or reports its outcome.
    using RegisterHandler
        = std::function<void(const QString &applicationId, const FileContentType &type)>;

    // Without a handler, registrations go to the desktop (DefaultApplicationRegistrar), off the
    // GUI thread. Reads the stored list; when there is none, stores "text", "txt".
    explicit FileAssociationsManager(
        Settings &settings, RegisterHandler registerHandler = {}, QObject *parent = nullptr);

    // What launch does: registers every listed extension with the desktop where no one chose
    // otherwise since (DefaultApplicationPolicy), without blocking the GUI thread.
    static void registerConfiguredExtensions(Settings &settings);

    // "org.scrivlet.Scrivlet.desktop": how the desktop knows this application.
    static QString applicationId();

    QStringList extensions() const { return m_extensions; }

    // Cleans the text (whitespace, case, leading dots), then adds it if it is ASCII letters and
    // digits and not listed yet; saves and registers it. False when nothing was added.
    bool addExtension(const QString &text);
    // Removes exactly this entry (not cleaned) and saves. The last entry is never removed.
    bool removeExtension(const QString &extension);
    void registerAllExtensions();
    // Back to "text", "txt", saved; nothing is registered.
    void resetToDefaults();

signals:
    void extensionsChanged(const QStringList &extensions);

private:
    static QString cleanExtension(const QString &text);
    void setExtensions(QStringList extensions);
    void followStoredList(const QStringList &stored);
    void save();
    void registerExtension(const QString &applicationId, const QString &extension);

    Settings &m_settings;
    RegisterHandler m_registerHandler;
    QStringList m_extensions;
};
