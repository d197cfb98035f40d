#pragma once

#include <QString>

#include <array>
#include <optional>

// The hooks that put "New Text Document" into file managers: where each one lives, whether it
// is there, and installing or removing the ones a user can have for themselves. Nautilus loads
// extensions only from its system folder, so its module comes with Scrivlet's package; Nemo,
// Dolphin and Thunar read per-user files, which this writes with the path of
// scrivlet-finder-sync.
class FileManagerHooks
{
public:
    enum class FileManager { Nautilus, Nemo, Dolphin, Thunar };
    enum class HookState {
        NotInstalled,
        InstalledForUser,
        InstalledSystemWide,
        // A per-user copy beside the packaged hook: the file manager shows the item twice.
        InstalledForUserAndSystemWide,
        // A per-user hook whose program is gone (Scrivlet was removed or moved): a dead item.
        Broken,
    };

    static constexpr std::array<FileManager, 4> allFileManagers {
        FileManager::Nautilus, FileManager::Nemo, FileManager::Dolphin, FileManager::Thunar};

    // `program` is the scrivlet-finder-sync the per-user hooks run.
    explicit FileManagerHooks(const QString &program = defaultProgramPath());

    // scrivlet-finder-sync next to this program (as installed, and in the build tree), else the
    // one in PATH, else the bare name.
    static QString defaultProgramPath();
    QString program() const { return m_program; }

    static QString displayName(FileManager manager);
    static bool installsPerUser(FileManager manager);
    // Its program is in PATH.
    static bool isPresent(FileManager manager);
    // The desktop's default application for folders, when it is one of the four.
    static std::optional<FileManager> usersFileManager();

    // The per-user file (for Thunar, the file that holds all its custom actions); for Nautilus
    // the system-wide module.
    static QString hookPath(FileManager manager);
    HookState state(FileManager manager) const;
    // The state from what is on disk: a per-user hook, a packaged one, and whether the per-user
    // hook's program still exists.
    static HookState classify(bool forUser, bool systemWide, bool userProgramExists);
    // The program a per-user hook of ours runs, read back from its text; empty when the text
    // holds no hook of ours.
    static QString hookProgram(FileManager manager, const QString &hookText);
    // The text install() writes for `manager` (empty for Nautilus).
    QString hookText(FileManager manager) const;
    // A hook is installed where the user's file manager loads it; when the default file manager
    // is unknown, for any file manager that is present.
    bool isExtensionEnabled() const;

    // Both return false with a message in `error` when a file cannot be written; nothing of the
    // user's is lost then. Nautilus cannot be installed per user. remove() takes away the
    // per-user hook in every state that has one (duplicate, broken).
    bool install(FileManager manager, QString &error) const;
    bool remove(FileManager manager, QString &error) const;

private:
    bool writeIcons(QString &error) const;
    void removeIconsWhenUnused() const;

    QString m_program;
};
