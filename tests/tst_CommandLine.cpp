#include "CommandLine.h"
#include "TestEnvironment.h"

#include <QApplication>

Q_DECLARE_METATYPE(CommandLine::Action)

namespace {

const QString workingDirectory = u"/home/ada/work"_qs;

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parses_data();
    void parses();
    void answersBeforeTheToolkitStarts_data();
    void answersBeforeTheToolkitStarts();
    void uriRoundTripKeepsThePath_data();
    void uriRoundTripKeepsThePath();
    void refusesUrisThatNameNoLocalFile_data();
    void refusesUrisThatNameNoLocalFile();
};

void TestCommandLine::parses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<CommandLine::Action>("action");
    QTest::addColumn<QStringList>("openArguments");
    QTest::addColumn<QString>("messagePart");
    using Action = CommandLine::Action;
    const QString newFileUrl = u"scrivlet://new-file?path=/Users/a/My%20Notes"_qs;

    QTest::addRow("relative paths resolved against the caller's folder")
        << QStringList {u"notes.txt"_qs, u"sub/dir/a.txt"_qs} << Action::Run
        << QStringList {workingDirectory + u"/notes.txt"_qs,
               workingDirectory + u"/sub/dir/a.txt"_qs}
        << QString();
    QTest::addRow("dot segments dropped, parent segments kept")
        << QStringList {u"./a//../b.txt"_qs} << Action::Run
        << QStringList {workingDirectory + u"/a/../b.txt"_qs} << QString();
    QTest::addRow("absolute path unchanged") << QStringList {u"/tmp/x.txt"_qs} << Action::Run
                                             << QStringList {u"/tmp/x.txt"_qs} << QString();
    QTest::addRow("file URL becomes its decoded path")
        << QStringList {u"file:///tmp/My%20Notes/%C3%A9t%C3%A9.txt"_qs,
               u"file://localhost/tmp/b.txt"_qs}
        << Action::Run << QStringList {u"/tmp/My Notes/été.txt"_qs, u"/tmp/b.txt"_qs} << QString();
    QTest::addRow("scrivlet URL passed unchanged, in order")
        << QStringList {u"a.txt"_qs, newFileUrl, u"/b.txt"_qs} << Action::Run
        << QStringList {workingDirectory + u"/a.txt"_qs, newFileUrl, u"/b.txt"_qs} << QString();
    QTest::addRow("after --, a name starting with - is a file")
        << QStringList {u"--"_qs, u"-notes.txt"_qs, u"--help"_qs} << Action::Run
        << QStringList {workingDirectory + u"/-notes.txt"_qs, workingDirectory + u"/--help"_qs}
        << QString();
    QTest::addRow("no test marker among the options") << QStringList {u"-XCTest"_qs,
        u"a.txt"_qs} << Action::Fail << QStringList() << u"unknown option '-XCTest'"_qs;
    QTest::addRow("--version") << QStringList {u"--version"_qs} << Action::ShowVersion
                               << QStringList() << u"Scrivlet " SCRIVLET_VERSION "\n"_qs;
    QTest::addRow("--help wins over an unknown option")
        << QStringList {u"--bogus"_qs, u"--help"_qs} << Action::ShowHelp << QStringList()
        << u"Usage: scrivlet [FILE | URL]..."_qs;
    QTest::addRow("-h") << QStringList {u"-h"_qs} << Action::ShowHelp << QStringList()
                        << u"--version"_qs;
    QTest::addRow("unknown option")
        << QStringList {u"a.txt"_qs, u"--new-window"_qs} << Action::Fail << QStringList()
        << u"scrivlet: unknown option '--new-window'\nTry 'scrivlet --help'"_qs;
    QTest::addRow("single-dash option")
        << QStringList {u"-n"_qs} << Action::Fail << QStringList() << u"'-n'"_qs;
    QTest::addRow("file URL of another computer")
        << QStringList {u"file://server/share/a.txt"_qs} << Action::Fail << QStringList()
        << u"cannot open 'file://server/share/a.txt': not a file on this computer"_qs;
}

void TestCommandLine::parses()
{
    QFETCH(QStringList, arguments);
    QFETCH(CommandLine::Action, action);
    QFETCH(QStringList, openArguments);
    QFETCH(QString, messagePart);

    arguments.prepend(u"scrivlet"_qs);
    const CommandLine commandLine = CommandLine::parse(arguments, workingDirectory);
    QCOMPARE(commandLine.action(), action);
    if (action == CommandLine::Action::Run) {
        QCOMPARE(commandLine.openArguments(), openArguments);
        QVERIFY(commandLine.message().isEmpty());
    } else {
        QVERIFY2(commandLine.message().contains(messagePart), qPrintable(commandLine.message()));
    }
}

void TestCommandLine::answersBeforeTheToolkitStarts_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<CommandLine::Action>("action");
    using Action = CommandLine::Action;
    QTest::addRow("unknown option") << QStringList {u"--bogus"_qs} << Action::Fail;
    QTest::addRow("unknown option after a file")
        << QStringList {u"a.txt"_qs, u"-n"_qs} << Action::Fail;
    QTest::addRow("file URL of another computer")
        << QStringList {u"file://server/a.txt"_qs} << Action::Fail;
    QTest::addRow("toolkit options with their values") << QStringList {u"-platform"_qs,
        u"offscreen"_qs, u"--style"_qs, u"Fusion"_qs, u"-display"_qs, u":1"_qs, u"a.txt"_qs}
                                                       << Action::Run;
    QTest::addRow("toolkit flags and name=value options") << QStringList {u"-reverse"_qs,
        u"--style=Fusion"_qs, u"-qmljsdebugger=port:1"_qs} << Action::Run;
    QTest::addRow("toolkit option next to an unknown one")
        << QStringList {u"-style"_qs, u"Fusion"_qs, u"--bogus"_qs} << Action::Fail;
    QTest::addRow("after --, an option name is a file")
        << QStringList {u"--"_qs, u"--bogus"_qs} << Action::Run;
    QTest::addRow("help") << QStringList {u"-platform"_qs, u"xcb"_qs, u"--help"_qs}
                          << Action::ShowHelp;
}

// Without a display QApplication aborts, so whatever ends the program must be told before it.
void TestCommandLine::answersBeforeTheToolkitStarts()
{
    QFETCH(QStringList, arguments);
    QFETCH(CommandLine::Action, action);
    arguments.prepend(u"scrivlet"_qs);
    QCOMPARE(CommandLine::parseBeforeApplication(arguments).action(), action);
}

void TestCommandLine::uriRoundTripKeepsThePath_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addRow("plain") << u"/tmp/notes.txt"_qs;
    QTest::addRow("characters URIs escape") << u"/tmp/My Notes/a b#1 %41?.txt"_qs;
    QTest::addRow("non-ASCII") << u"/tmp/été/日本語.txt"_qs;
    QTest::addRow("scrivlet URL") << u"scrivlet://new-file?path=/tmp/My%20Notes"_qs;
}

void TestCommandLine::uriRoundTripKeepsThePath()
{
    QFETCH(QString, argument);
    const QString uri = CommandLine::toUri(argument);
    QVERIFY(uri.startsWith(u"file:///"_qs) || uri == argument);
    QCOMPARE(CommandLine::fromUri(uri), std::optional(argument));
}

void TestCommandLine::refusesUrisThatNameNoLocalFile_data()
{
    QTest::addColumn<QString>("uri");
    QTest::addRow("relative path") << u"notes.txt"_qs;
    QTest::addRow("web URL") << u"https://example.org/a.txt"_qs;
    QTest::addRow("file URL of another computer") << u"file://server/a.txt"_qs;
}

void TestCommandLine::refusesUrisThatNameNoLocalFile()
{
    QFETCH(QString, uri);
    QCOMPARE(CommandLine::fromUri(uri), std::nullopt);
}

SCRIVLET_TEST_MAIN(TestCommandLine)
#include "tst_CommandLine.moc"
