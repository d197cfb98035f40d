#include "FileManagerHooks.h"

#include "FinderSyncCommand.h"
#include "FinderSyncMenuIcon.h"
#include "ThunarCustomActions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

// GLib names a struct member "signals", which Qt defines as a keyword.
#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#pragma pop_macro("signals")

using namespace Qt::StringLiterals;
using FileManager = FileManagerHooks::FileManager;

namespace {

constexpr QFile::Permissions readable
    = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther;
constexpr QFile::Permissions executable
    = readable | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;

// Nemo and Thunar split their command lines like a shell.
QString shellQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\'', u"'\\''"_s);
    return u'\'' + quoted + u'\'';
}

// A desktop entry's Exec argument, escaped once for the argument and once for the file.
QString desktopExecQuoted(const QString &text)
{
    QString quoted;
    for (const QChar c : text) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    QString argument = u'"' + quoted + u'"';
    return argument.replace(u'\\', u"\\\\"_s);
}

// A key-file value (and list item): Dependencies= and TryExec= name the program unquoted.
QString keyFileEscaped(const QString &text)
{
    QString escaped = text;
    escaped.replace(u'\\', u"\\\\"_s).replace(u';', u"\\;"_s).replace(u'\n', u"\\n"_s);
    if (escaped.startsWith(u' '))
        escaped.replace(0, 1, u"\\s"_s);
    return escaped;
}

QString xmlEscaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString userDataPath(const QString &relative)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/' + relative;
}

QString nemoRelativePath()
{
    return u"nemo/actions/scrivlet-new-text-document.nemo_action"_s;
}

QString dolphinRelativePath()
{
    return u"kio/servicemenus/scrivlet-new-text-document.desktop"_s;
}

QString iconPath(int pixels)
{
    return userDataPath(
        u"icons/hicolor/%1x%1/apps/"_s.arg(pixels) + FinderSyncCommand::iconName() + u".png"_s);
}

QString nautilusModulePath()
{
#ifdef SCRIVLET_NAUTILUS_MODULE_PATH
    return QStringLiteral(SCRIVLET_NAUTILUS_MODULE_PATH);
#else
    return u"/usr/lib/x86_64-linux-gnu/nautilus/extensions-4/libscrivlet-nautilus.so"_s;
#endif
}

QString programName(FileManager manager)
{
    static const char *const programs[] = {"nautilus", "nemo", "dolphin", "thunar"};
    return QString::fromLatin1(programs[int(manager)]);
}

QString readTemplate(const QString &name)
{
    QFile file(u":/hooks/"_s + name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool writeFile(
    const QString &path, const QString &text, QFile::Permissions permissions, QString &error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()
        || !file.setPermissions(permissions) || !file.commit()) {
        error = u"Could not write %1: %2"_s.arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

bool removeFile(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.exists() || file.remove())
        return true;
    error = u"Could not remove %1: %2"_s.arg(path, file.errorString());
    return false;
}

// The Thunar file to start from: the user's own, else the default that Thunar would copy.
QString thunarDocument()
{
    const QString path = FileManagerHooks::hookPath(FileManager::Thunar);
    if (QFileInfo::exists(path))
        return readFile(path);
    const QString systemDefault
        = QStandardPaths::locate(QStandardPaths::GenericConfigLocation, u"Thunar/uca.xml"_s);
    return systemDefault.isEmpty() ? QString() : readFile(systemDefault);
}

} // namespace

FileManagerHooks::FileManagerHooks(const QString &program)
    : m_program(program)
{ }

QString FileManagerHooks::defaultProgramPath()
{
    const QString name = FinderSyncCommand::programName();
    const QString besideUs = QCoreApplication::applicationDirPath() + u'/' + name;
    if (QFileInfo(besideUs).isExecutable())
        return besideUs;
    const QString inPath = QStandardPaths::findExecutable(name);
    return inPath.isEmpty() ? name : inPath;
}

QString FileManagerHooks::displayName(FileManager manager)
{
    switch (manager) {
    case FileManager::Nautilus:
        return u"Files (Nautilus)"_s;
    case FileManager::Nemo:
        return u"Nemo"_s;
    case FileManager::Dolphin:
        return u"Dolphin"_s;
    case FileManager::Thunar:
        return u"Thunar"_s;
    }
    return {};
}

bool FileManagerHooks::installsPerUser(FileManager manager)
{
    return manager != FileManager::Nautilus;
}

bool FileManagerHooks::isPresent(FileManager manager)
{
    return !QStandardPaths::findExecutable(programName(manager)).isEmpty();
}

std::optional<FileManager> FileManagerHooks::usersFileManager()
{
    GAppInfo *application = g_app_info_get_default_for_type("inode/directory", FALSE);
    if (!application)
        return std::nullopt;
    const QString id = QString::fromUtf8(g_app_info_get_id(application)).toLower();
    g_object_unref(application);
    // "org.gnome.Nautilus.desktop", "nemo.desktop", "org.kde.dolphin.desktop", "thunar.desktop"
    for (const FileManager manager : allFileManagers) {
        if (id.contains(programName(manager)))
            return manager;
    }
    return std::nullopt;
}

QString FileManagerHooks::hookPath(FileManager manager)
{
    switch (manager) {
    case FileManager::Nautilus:
        return nautilusModulePath();
    case FileManager::Nemo:
        return userDataPath(nemoRelativePath());
    case FileManager::Dolphin:
        return userDataPath(dolphinRelativePath());
    case FileManager::Thunar:
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            + u"/Thunar/uca.xml"_s;
    }
    return {};
}

FileManagerHooks::HookState FileManagerHooks::classify(
    bool forUser, bool systemWide, bool userProgramExists)
{
    // Removing the per-user copy mends a duplicate whether or not its program still exists.
    if (forUser && systemWide)
        return HookState::InstalledForUserAndSystemWide;
    if (forUser)
        return userProgramExists ? HookState::InstalledForUser : HookState::Broken;
    return systemWide ? HookState::InstalledSystemWide : HookState::NotInstalled;
}

QString FileManagerHooks::hookProgram(FileManager manager, const QString &hookText)
{
    QString command;
    switch (manager) {
    case FileManager::Nautilus:
        return {};
    case FileManager::Thunar: {
        const QString ours = ThunarCustomActions::actionText(hookText);
        const qsizetype start = ours.indexOf(u"<command>"_s);
        const qsizetype end = ours.indexOf(u"</command>"_s, start);
        if (start < 0 || end < 0)
            return {};
        command = ours.mid(start + 9, end - start - 9);
        command.replace(u"&lt;"_s, u"<"_s).replace(u"&gt;"_s, u">"_s);
        command.replace(u"&quot;"_s, u"\""_s).replace(u"&#39;"_s, u"'"_s);
        command.replace(u"&amp;"_s, u"&"_s);
        break;
    }
    case FileManager::Nemo:
    case FileManager::Dolphin: {
        // GLib reads both files as key files, undoing the file-level escapes of Exec.
        GKeyFile *file = g_key_file_new();
        const QByteArray bytes = hookText.toUtf8();
        const char *group
            = manager == FileManager::Nemo ? "Nemo Action" : "Desktop Action newTextDocument";
        if (g_key_file_load_from_data(
                file, bytes.constData(), bytes.size(), G_KEY_FILE_NONE, nullptr)) {
            gchar *exec = g_key_file_get_string(file, group, "Exec", nullptr);
            command = QString::fromUtf8(exec);
            g_free(exec);
        }
        g_key_file_free(file);
        break;
    }
    }
    // All three quote the program as a shell would read it.
    gchar **argv = nullptr;
    QString program;
    if (g_shell_parse_argv(command.toUtf8().constData(), nullptr, &argv, nullptr)) {
        program = QString::fromUtf8(argv[0]);
        g_strfreev(argv);
    }
    return program;
}

FileManagerHooks::HookState FileManagerHooks::state(FileManager manager) const
{
    const QString path = hookPath(manager);
    if (manager == FileManager::Nautilus)
        return QFileInfo::exists(path) ? HookState::InstalledSystemWide : HookState::NotInstalled;
    const QString text = readFile(path);
    bool forUser = QFileInfo::exists(path);
    // Thunar has no packaged hook: our action in the user's file is the only one.
    bool systemWide = false;
    if (manager == FileManager::Thunar) {
        forUser = ThunarCustomActions::containsAction(text);
    } else {
        const QString relative
            = manager == FileManager::Nemo ? nemoRelativePath() : dolphinRelativePath();
        const QStringList all
            = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, relative);
        systemWide = std::any_of(all.cbegin(), all.cend(),
            [&path](const QString &found) { return QFileInfo(found) != QFileInfo(path); });
    }
    const QString program = forUser ? hookProgram(manager, text) : QString();
    return classify(forUser, systemWide, !program.isEmpty() && QFileInfo(program).isExecutable());
}

bool FileManagerHooks::isExtensionEnabled() const
{
    // A broken hook offers an item that does nothing: it does not count.
    const auto works = [this](FileManager manager) {
        const HookState current = state(manager);
        return current != HookState::NotInstalled && current != HookState::Broken;
    };
    if (const std::optional<FileManager> manager = usersFileManager())
        return works(*manager);
    for (const FileManager manager : allFileManagers) {
        if (isPresent(manager) && works(manager))
            return true;
    }
    return false;
}

QString FileManagerHooks::hookText(FileManager manager) const
{
    switch (manager) {
    case FileManager::Nemo:
        return readTemplate(u"nemo/scrivlet-new-text-document.nemo_action"_s)
            .replace(u"@EXEC@"_s, shellQuoted(m_program))
            .replace(u"@PROGRAM@"_s, keyFileEscaped(m_program));
    case FileManager::Dolphin:
        return readTemplate(u"dolphin/scrivlet-new-text-document.desktop"_s)
            .replace(u"@EXEC@"_s, desktopExecQuoted(m_program))
            .replace(u"@PROGRAM@"_s, keyFileEscaped(m_program));
    case FileManager::Thunar:
        return readTemplate(u"thunar/uca-action.xml"_s)
            .replace(u"@EXEC@"_s, xmlEscaped(shellQuoted(m_program)));
    case FileManager::Nautilus:
        break;
    }
    return {};
}

bool FileManagerHooks::install(FileManager manager, QString &error) const
{
    if (!installsPerUser(manager)) {
        error = u"The Nautilus extension comes with Scrivlet’s package and is installed for all "
                "users."_s;
        return false;
    }
    if (!writeIcons(error))
        return false;
    const QString path = hookPath(manager);
    if (manager != FileManager::Thunar) {
        const auto permissions = manager == FileManager::Dolphin ? executable : readable;
        return writeFile(path, hookText(manager), permissions, error);
    }
    const std::optional<QString> document
        = ThunarCustomActions::withAction(thunarDocument(), hookText(manager));
    if (!document) {
        error = u"%1 is not a Thunar custom-actions file; it was left unchanged."_s.arg(path);
        return false;
    }
    return writeFile(path, *document, readable, error);
}

bool FileManagerHooks::remove(FileManager manager, QString &error) const
{
    const HookState current = state(manager);
    if (current == HookState::NotInstalled || current == HookState::InstalledSystemWide)
        return true;
    const QString path = hookPath(manager);
    const bool removed = manager == FileManager::Thunar
        ? writeFile(path, ThunarCustomActions::withoutAction(readFile(path)), readable, error)
        : removeFile(path, error);
    if (removed)
        removeIconsWhenUnused();
    return removed;
}

bool FileManagerHooks::writeIcons(QString &error) const
{
    for (const int scale : {1, 2}) {
        const QString path = iconPath(FinderSyncMenuIcon::size * scale);
        if (!FinderSyncMenuIcon::writePng(path, scale)) {
            error = u"Could not write the icon %1."_s.arg(path);
            return false;
        }
    }
    return true;
}

void FileManagerHooks::removeIconsWhenUnused() const
{
    for (const FileManager manager : allFileManagers) {
        const HookState current
            = installsPerUser(manager) ? state(manager) : HookState::NotInstalled;
        if (current != HookState::NotInstalled && current != HookState::InstalledSystemWide)
            return;
    }
    for (const int scale : {1, 2})
        QFile::remove(iconPath(FinderSyncMenuIcon::size * scale));
}
