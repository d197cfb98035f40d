#include "CommandLine.h"

#include <QDir>
#include <QUrl>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QString scrivletScheme = u"scrivlet:"_s;
const QString fileScheme = u"file:"_s;

bool isScrivletUrl(const QString &argument)
{
    return argument.startsWith(scrivletScheme, Qt::CaseInsensitive);
}

// Drops "." segments and repeated slashes, which never change which file a path names; ".."
// stays, since it does once a symlinked folder is involved.
QString withoutDotSegments(const QString &absolutePath)
{
    QStringList kept;
    for (const QString &part : absolutePath.split(u'/', Qt::SkipEmptyParts)) {
        if (part != u".")
            kept.append(part);
    }
    return u'/' + kept.join(u'/');
}

// The local path of a file: URL; only URLs for this machine name a file we can open.
std::optional<QString> localPathOf(const QString &fileUrl)
{
    QUrl url(fileUrl);
    const QString host = url.host();
    if (!url.isValid() || !(host.isEmpty() || host == u"localhost"))
        return std::nullopt;
    // With a host, toLocalFile() gives "//localhost/…", which names another file.
    url.setHost(QString());
    const QString path = url.toLocalFile();
    // "%00" would cut the path short at the system call, naming another file.
    if (path.contains(QChar(0)))
        return std::nullopt;
    return path;
}

// What QApplication takes out of the arguments itself (Qt's options and the X11 platform's), with
// "-" or "--": those in the first list take the next argument as their value.
const QStringList toolkitOptionsWithValue {u"platform"_s, u"platformpluginpath"_s,
    u"platformtheme"_s, u"plugin"_s, u"qwindowgeometry"_s, u"geometry"_s, u"qwindowtitle"_s,
    u"title"_s, u"qwindowicon"_s, u"icon"_s, u"session"_s, u"style"_s, u"stylesheet"_s,
    u"display"_s, u"name"_s};
const QStringList toolkitFlags {
    u"reverse"_s, u"testability"_s, u"widgetcount"_s, u"nograb"_s, u"dograb"_s, u"sync"_s};
const QStringList toolkitValuePrefixes {
    u"style="_s, u"stylesheet="_s, u"session="_s, u"qmljsdebugger="_s};

// The arguments without the toolkit's options, as QApplication would leave them.
QStringList withoutToolkitOptions(const QStringList &arguments)
{
    QStringList kept = arguments.mid(0, 1);
    for (qsizetype index = 1; index < arguments.size(); ++index) {
        const QString &argument = arguments[index];
        if (argument == u"--") {
            kept.append(arguments.mid(index));
            break;
        }
        const QString name = argument.startsWith(u"--") ? argument.mid(2)
            : argument.startsWith(u'-')                 ? argument.mid(1)
                                                        : QString();
        if (toolkitOptionsWithValue.contains(name))
            ++index;
        else if (!toolkitFlags.contains(name)
            && std::none_of(toolkitValuePrefixes.cbegin(), toolkitValuePrefixes.cend(),
                [&name](const QString &prefix) { return name.startsWith(prefix); }))
            kept.append(argument);
    }
    return kept;
}

QString usageError(const QString &problem)
{
    return u"scrivlet: "_s + problem + u"\nTry 'scrivlet --help' for more information.\n"_s;
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments, const QString &workingDirectory)
{
    CommandLine result;
    QString error;
    bool optionsEnded = false;
    for (const QString &argument : arguments.mid(1)) {
        if (!optionsEnded && argument.startsWith(u'-') && argument != u"-") {
            if (argument == u"--")
                optionsEnded = true;
            else
                result.takeOption(argument, error);
        } else {
            result.takeOpenArgument(argument, workingDirectory, error);
        }
    }
    // --help and --version answer even next to arguments that would be an error.
    if (result.m_action == Action::ShowHelp)
        result.m_message = helpText();
    else if (result.m_action == Action::ShowVersion)
        result.m_message = versionText();
    else if (!error.isEmpty()) {
        result.m_action = Action::Fail;
        result.m_message = error;
    }
    return result;
}

void CommandLine::takeOption(const QString &option, QString &error)
{
    const bool answered = m_action != Action::Run;
    if (option == u"-h" || option == u"--help") {
        if (!answered)
            m_action = Action::ShowHelp;
    } else if (option == u"--version") {
        if (!answered)
            m_action = Action::ShowVersion;
    } else if (error.isEmpty()) {
        error = usageError(u"unknown option '"_s + option + u"'"_s);
    }
}

void CommandLine::takeOpenArgument(
    const QString &argument, const QString &workingDirectory, QString &error)
{
    if (isScrivletUrl(argument)) {
        m_openArguments.append(argument);
        return;
    }
    std::optional<QString> path = argument;
    if (argument.startsWith(fileScheme, Qt::CaseInsensitive))
        path = localPathOf(argument);
    if (!path) {
        if (error.isEmpty())
            error = usageError(u"cannot open '"_s + argument + u"': not a file on this computer"_s);
        return;
    }
    const QString absolute = QDir::isAbsolutePath(*path) ? *path : workingDirectory + u'/' + *path;
    m_openArguments.append(withoutDotSegments(absolute));
}

QStringList CommandLine::argumentsOf(int argc, char **argv)
{
    QStringList arguments;
    for (int index = 0; index < argc; ++index)
        arguments.append(QString::fromLocal8Bit(argv[index]));
    return arguments;
}

CommandLine CommandLine::parseBeforeApplication(const QStringList &arguments)
{
    return parse(withoutToolkitOptions(arguments), QString());
}

std::optional<int> CommandLine::answerBeforeApplication(int argc, char **argv)
{
    return parseBeforeApplication(argumentsOf(argc, argv)).report();
}

std::optional<int> CommandLine::report() const
{
    if (m_action == Action::Run)
        return std::nullopt;
    std::FILE *stream = m_action == Action::Fail ? stderr : stdout;
    std::fputs(m_message.toLocal8Bit().constData(), stream);
    std::fflush(stream);
    return m_action == Action::Fail ? 2 : 0;
}

QString CommandLine::toUri(const QString &openArgument)
{
    if (isScrivletUrl(openArgument))
        return openArgument;
    return QUrl::fromLocalFile(openArgument).toString(QUrl::FullyEncoded);
}

std::optional<QString> CommandLine::fromUri(const QString &uri)
{
    if (isScrivletUrl(uri))
        return uri;
    // Plain absolute paths are accepted too, for callers that do not bother with URIs.
    std::optional<QString> path = uri;
    if (uri.startsWith(fileScheme, Qt::CaseInsensitive))
        path = localPathOf(uri);
    if (!path || !QDir::isAbsolutePath(*path))
        return std::nullopt;
    return path;
}

QString CommandLine::helpText()
{
    return u"Usage: scrivlet [FILE | URL]...\n"
           "\n"
           "Scrivlet is a small, fast plain-text editor. It opens each FILE (a path or a file:\n"
           "URL) in a window of its own and handles scrivlet: URLs; without arguments it shows\n"
           "an empty document. When Scrivlet is already running in this session, the files\n"
           "open there.\n"
           "\n"
           "Options:\n"
           "  -h, --help     Show this help and exit.\n"
           "      --version  Show the version and exit.\n"
           "  --             Treat every following argument as a file, even if it starts with -.\n"_s;
}

QString CommandLine::versionText()
{
    return u"Scrivlet "_s + QStringLiteral(SCRIVLET_VERSION) + u'\n';
}
