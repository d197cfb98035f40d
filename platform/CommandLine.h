#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the program was asked to do by its arguments. There are no options besides --help and
// --version: every other argument is a file to open (a path or a file: URL) or a scrivlet: URL.
// Paths are made absolute against the caller's working directory here, because they may be
// handed to an editor that is already running somewhere else.
class CommandLine
{
public:
    enum class Action { Run, ShowHelp, ShowVersion, Fail };

    static CommandLine parse(const QStringList &arguments, const QString &workingDirectory);
    static QStringList argumentsOf(int argc, char **argv);

    // The arguments as the program got them, before QApplication has taken its own options
    // (-platform NAME, -style NAME, …) out: those are passed over here.
    static CommandLine parseBeforeApplication(const QStringList &arguments);
    // Answers --help, --version and usage errors before an application object exists, so that
    // they work on a terminal without a display. The files are taken by parse() once
    // QApplication has removed its own options.
    static std::optional<int> answerBeforeApplication(int argc, char **argv);

    Action action() const { return m_action; }
    // Absolute file paths and scrivlet: URLs, in the order given.
    const QStringList &openArguments() const { return m_openArguments; }
    // The help or version text, or the error, ready to print.
    const QString &message() const { return m_message; }

    // Prints the message (help and version to stdout, errors to stderr) and returns the exit
    // code, or returns nothing when the program should run.
    std::optional<int> report() const;

    // The form a file path or URL travels in to a running editor (a URI), and back.
    static QString toUri(const QString &openArgument);
    static std::optional<QString> fromUri(const QString &uri);

    static QString helpText();
    static QString versionText();

private:
    void takeOption(const QString &option, QString &error);
    void takeOpenArgument(const QString &argument, const QString &workingDirectory, QString &error);

    Action m_action = Action::Run;
    QStringList m_openArguments;
    QString m_message;
};
