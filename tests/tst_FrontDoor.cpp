// Bad input at the front door. Random command lines go to the real `scrivlet` and
// `scrivlet-finder-sync`; the editor hands them over a private bus to the running editor, which
// is this test process: main()'s SingleInstance, DocumentController and NewFileRequestHandler
// with prompts that answer at once, so no alert waits for a click. Random
// arguments and URLs to the parsers in this process, and odd files to the editor's Open: nothing
// crashes or hangs, every exit code is a documented one, files are created only inside the
// target folder, and every file either opens or is refused with a message.
//
// SCRIVLET_FRONT_DOOR_RUNS sets how many command lines each program gets (reliability/front-door
// runs 10,000); SCRIVLET_FRONT_DOOR_SEED picks another sequence.
#include "BookmarkManager.h"
#include "CommandLine.h"
#include "ContentView.h"
#include "DocumentController.h"
#include "DocumentWindow.h"
#include "FrontDoorInput.h"
#include "MemoryBudget.h"
#include "NewFileRequestHandler.h"
#include "PrivateSessionBus.h"
#include "ScriptedPrompts.h"
#include "ScrivletDocument.h"
#include "ScrivletTextView.h"
#include "Settings.h"
#include "SingleInstance.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString busName = u"scrivlet-front-door-bus"_s;

int runsPerProgram()
{
    bool ok = false;
    const int runs = qEnvironmentVariableIntValue("SCRIVLET_FRONT_DOOR_RUNS", &ok);
    return ok && runs > 0 ? runs : 100;
}

quint32 seed()
{
    bool ok = false;
    const int chosen = qEnvironmentVariableIntValue("SCRIVLET_FRONT_DOOR_SEED", &ok);
    return ok ? quint32(chosen) : 20261207u;
}

// Qt warns of every path with a NUL byte in it ("%00" decoded), which the random URLs hold by
// the hundred; the warning says nothing here.
class BrokenFilenameWarningsMuted
{
public:
    BrokenFilenameWarningsMuted() { s_previous = qInstallMessageHandler(&filter); }
    ~BrokenFilenameWarningsMuted() { qInstallMessageHandler(s_previous); }
    Q_DISABLE_COPY_MOVE(BrokenFilenameWarningsMuted)

private:
    static void filter(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (message != u"Broken filename passed to function")
            s_previous(type, context, message);
    }
    static inline QtMessageHandler s_previous = nullptr;
};

// The resident memory of a running process, as the kernel words it ("123456 kB").
QString residentMemory(qint64 pid)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return u"?"_s;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return QString::fromLatin1(line.mid(6).trimmed());
    }
    return u"?"_s;
}

} // namespace

class TestFrontDoor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void commandLineParserTakesAnything();
    void newFileRequestsCreateOnlyWhereTheyPoint();
    void oddFilesOpenOrAreRefused_data();
    void oddFilesOpenOrAreRefused();
    void unreadableFileIsRefused();
    void requestsWaitWhileAnAlertIsOpen();
    void randomCommandLines_data();
    void randomCommandLines();

private:
    QStringList createdOutsideTarget(const QSet<QString> &before) const;
    QStringList strangeFilesInTarget() const;
    QSet<QString> snapshot() const;
    void startPrimary();

    QString m_root;
    QString m_target;
    QString m_busFolder; // the bus's socket
    QString m_busAddress;
    PrivateSessionBus m_bus;
    // The running editor that every `scrivlet` hands its arguments to.
    struct Primary
    {
        ScriptedPrompts prompts;
        Settings settings;
        DocumentController documents {settings};
        NewFileRequestHandler newFiles {[this](const QString &path) {
            documents.openFile(path);
        }};
        SingleInstance instance {QDBusConnection(busName)};
        int requests = 0;
        explicit Primary(const QString &settingsPath)
            : settings(settingsPath)
        { }
        ~Primary()
        {
            for (DocumentWindow *window : documents.windows()) {
                window->contentView()->textView()->document()->setModified(false);
                delete window;
            }
        }
    };
    std::unique_ptr<Primary> m_primary;
};

void TestFrontDoor::initTestCase()
{
    // TestEnvironment has pointed HOME and the XDG folders into a temporary root; the target
    // sits two levels down so that a path climbing out of it still lands in the snapshot.
    m_root = QFileInfo(QDir::homePath()).canonicalFilePath();
    m_target = m_root + u"/outer/target"_s;
    QVERIFY(QDir().mkpath(m_target + u"/sub"_s));
    QFile existing(m_target + u"/a.txt"_s);
    QVERIFY(existing.open(QIODevice::WriteOnly));
    existing.write("text\n");
    existing.close();
    // No desktop files at all: a URL or file handed to "the default application" goes nowhere,
    // and no window per new file piles up in the editor.
    QVERIFY(QDir().mkpath(m_root + u"/share"_s));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_root + u"/share"_s));
    BookmarkManager::shared().setOpenAfterCreate(false);

    m_busFolder = QDir::tempPath() + u"/scrivlet-front-door-bus-%1"_s.arg(getpid());
    QVERIFY(QDir().mkpath(m_busFolder));
    QString error;
    m_busAddress = m_bus.start(m_busFolder, error);
    QVERIFY2(!m_busAddress.isEmpty(), qPrintable(error));
    QVERIFY(QDBusConnection::connectToBus(m_busAddress, busName).isConnected());
}

void TestFrontDoor::cleanupTestCase()
{
    m_primary.reset();
    QDBusConnection::disconnectFromBus(busName);
    m_bus.stop();
    QDir(m_busFolder).removeRecursively();
}

void TestFrontDoor::startPrimary()
{
    if (m_primary)
        return;
    m_primary = std::make_unique<Primary>(m_root + u"/primary-settings.conf"_s);
    QCOMPARE(m_primary->instance.start({}), SingleInstance::Role::Primary);
    // As main() wires it: scrivlet: URLs are new-file requests, everything else a file to open.
    connect(&m_primary->instance, &SingleInstance::openRequested, this,
        [this](const QStringList &arguments) {
            ++m_primary->requests;
            for (const QString &argument : arguments) {
                if (NewFileRequestHandler::isScrivletUrl(argument))
                    m_primary->newFiles.handle(argument);
                else
                    m_primary->documents.openFile(argument);
            }
        });
    connect(&m_primary->instance, &SingleInstance::activateRequested, this,
        [this] { ++m_primary->requests; });
}

QSet<QString> TestFrontDoor::snapshot() const
{
    QSet<QString> paths;
    QDirIterator entries(m_root,
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (entries.hasNext())
        paths.insert(entries.next());
    return paths;
}

// What appeared outside the target, leaving out the programs' own settings, drafts, session,
// caches and runtime files.
QStringList TestFrontDoor::createdOutsideTarget(const QSet<QString> &before) const
{
    const QStringList own {m_target + u'/', m_root + u"/config/scrivlet"_s,
        m_root + u"/data/scrivlet"_s, m_root + u"/state/scrivlet"_s, m_root + u"/cache"_s,
        m_root + u"/runtime"_s, m_root + u"/config/QtProject.conf"_s, m_root + u"/.cache"_s,
        m_root + u"/.local/share/recently-used.xbel"_s, m_root + u"/data/recently-used.xbel"_s};
    QStringList outside;
    for (const QString &path : snapshot() - before) {
        if (std::none_of(own.cbegin(), own.cend(),
                [&path](const QString &allowed) { return path.startsWith(allowed); }))
            outside.append(path);
    }
    outside.sort();
    return outside;
}

void TestFrontDoor::commandLineParserTakesAnything()
{
    // "%00" in a file: URL would name another file once the system cuts the path there.
    QCOMPARE(CommandLine::parse({u"scrivlet"_s, u"file:///tmp/a%00b.txt"_s}, m_target).action(),
        CommandLine::Action::Fail);
    QCOMPARE(CommandLine::fromUri(u"file:///tmp/a%00b.txt"_s), std::nullopt);
    FrontDoorInput input(m_target, seed());
    for (int round = 0; round < 5000; ++round) {
        const QStringList arguments = QStringList {u"scrivlet"_s} + input.editorArguments();
        const CommandLine line = CommandLine::parse(arguments, m_target);
        if (line.action() == CommandLine::Action::Fail) {
            QVERIFY(line.message().startsWith(u"scrivlet: "_s));
            continue;
        }
        for (const QString &argument : line.openArguments()) {
            if (NewFileRequestHandler::isScrivletUrl(argument))
                continue;
            // What travels to a running editor comes back as the same absolute path.
            QVERIFY2(QDir::isAbsolutePath(argument), qPrintable(argument));
            QVERIFY2(
                !argument.contains(u"/./"_s) && !argument.contains(u"//"_s), qPrintable(argument));
            QCOMPARE(CommandLine::fromUri(CommandLine::toUri(argument)), argument);
        }
    }
}

// New files are "Untitled.txt", "Untitled 2.txt", …; anything else in the target was made by
// misreading a path.
QStringList TestFrontDoor::strangeFilesInTarget() const
{
    static const QRegularExpression untitled(u"^Untitled( [0-9]+)?\\.txt$"_s);
    QStringList strange;
    QDirIterator entries(
        m_target, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (entries.hasNext()) {
        const QString path = entries.next();
        if (path != m_target + u"/a.txt"_s && !untitled.match(entries.fileName()).hasMatch())
            strange.append(path);
    }
    return strange;
}

void TestFrontDoor::newFileRequestsCreateOnlyWhereTheyPoint()
{
    const QSet<QString> before = snapshot();
    const BrokenFilenameWarningsMuted muted;
    ScriptedPrompts prompts;
    QStringList opened;
    NewFileRequestHandler handler([&opened](const QString &path) { opened.append(path); });
    FrontDoorInput input(m_target, seed() + 1);
    int created = 0;
    for (int round = 0; round < 2000; ++round) {
        const QString url = round % 2 ? input.newFileUrl() : input.editorArgument();
        if (handler.handle(url) == NewFileRequestHandler::Outcome::Created)
            ++created;
    }
    qInfo("%d of 2000 requests created a file; %lld were refused with an alert", created,
        static_cast<long long>(prompts.errors.size()));
    QVERIFY(created > 0);
    QVERIFY(opened.isEmpty()); // the store says not to open them
    QCOMPARE(createdOutsideTarget(before), QStringList());
    QCOMPARE(strangeFilesInTarget(), QStringList());
    // A NUL would cut the path short at the system call: "target/x%00" must not make "target/x".
    QCOMPARE(handler.handle(u"scrivlet://new-file?path="_s + m_target + u"/x%00"_s),
        NewFileRequestHandler::Outcome::Failed);
    QVERIFY(!QFileInfo::exists(m_target + u"/x"_s));
}

void TestFrontDoor::oddFilesOpenOrAreRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("refusal"); // "": opens
    const QString folder = m_root + u"/odd"_s;
    QTest::addRow("0 bytes") << folder + u"/empty.txt"_s << QString();
    // As if 1 GB of memory were available (the test switch below).
    QTest::addRow("2 GB (sparse)") << folder + u"/huge.txt"_s << u"too large to open"_s;
    QTest::addRow("just over what memory allows")
        << folder + u"/over.txt"_s << u"but only 1.0 GB is available now"_s;
    QTest::addRow("FIFO") << folder + u"/fifo"_s << u"does not contain readable content"_s;
    QTest::addRow("/dev/zero") << u"/dev/zero"_s << u"does not contain readable content"_s;
    QTest::addRow("directory") << folder << u"does not contain readable content"_s;
}

void TestFrontDoor::oddFilesOpenOrAreRefused()
{
    QFETCH(QString, path);
    QFETCH(QString, refusal);
    constexpr qint64 available = 1'000'000'000;
    qputenv("SCRIVLET_TEST_AVAILABLE_MEMORY", QByteArray::number(available));
    const auto unsetAvailable = qScopeGuard([] { qunsetenv("SCRIVLET_TEST_AVAILABLE_MEMORY"); });
    const QString folder = m_root + u"/odd"_s;
    if (!QFileInfo::exists(folder)) {
        QVERIFY(QDir().mkpath(folder));
        QFile(folder + u"/empty.txt"_s).open(QIODevice::WriteOnly);
        // Sparse, so they use no disk space; all NUL bytes, like a disk image.
        for (const auto &[name, size] : {std::pair {"/huge.txt", qint64(2) << 30},
                 std::pair {"/over.txt", MemoryBudget::largestFileFor(available) + 1}}) {
            QFile file(folder + QString::fromLatin1(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.resize(size));
        }
        QCOMPARE(::mkfifo(QFile::encodeName(folder + u"/fifo"_s).constData(), 0600), 0);
    }
    ScriptedPrompts prompts;
    Settings settings(m_root + u"/odd-settings.conf"_s);
    DocumentController documents(settings);
    QElapsedTimer clock;
    clock.start();
    DocumentWindow *window = documents.openFile(path);
    if (window)
        QTRY_VERIFY(!window->isLoading());
    QVERIFY2(clock.elapsed() < 10000, "opening took more than 10 s");
    if (refusal.isEmpty()) {
        QVERIFY(window);
        QVERIFY(prompts.errors.isEmpty());
        QCOMPARE(window->contentView()->documentText().wholeText(), QString());
        delete window;
    } else {
        QVERIFY(!window);
        QCOMPARE(prompts.errors.size(), 1);
        QVERIFY2(prompts.errors.first().contains(refusal), qPrintable(prompts.errors.first()));
        QVERIFY(documents.windows().isEmpty());
    }
}

// Root reads every file, so the probe opens it as "nobody".
void TestFrontDoor::unreadableFileIsRefused()
{
    const QString folder = m_root + u"/locked"_s;
    QVERIFY(QDir().mkpath(folder));
    QFile file(folder + u"/secret.txt"_s);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("secret");
    file.close();
    QVERIFY(file.setPermissions(QFile::Permissions()));
    for (const QString &path : {m_root, folder})
        QVERIFY(QFile::setPermissions(path, QFile::Permissions(0x7755)));
    QString program = QCoreApplication::applicationDirPath() + u"/scrivlet_document_probe"_s;
    QStringList arguments {u"open"_s, file.fileName()};
    if (::geteuid() == 0) {
        const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
        if (setpriv.isEmpty())
            QSKIP("running as root, and setpriv (util-linux) is missing to run as nobody");
        arguments = QStringList {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                        u"--"_s, program}
            + arguments;
        program = setpriv;
    }
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, folder);
    probe.setProcessEnvironment(environment);
    probe.start(program, arguments);
    QVERIFY(probe.waitForFinished(60000));
    const QString output = QString::fromUtf8(probe.readAllStandardOutput());
    QVERIFY2(probe.exitCode() == 0, probe.readAllStandardError().constData());
    QVERIFY2(output.contains(u"opened: 0"_s), qPrintable(output));
    QVERIFY2(output.contains(u"don’t have permission to view it"_s), qPrintable(output));
    QVERIFY(QFile::setPermissions(m_root, QFile::Permissions(0x7700)));
}

// Requests that arrive while an alert is open are handled after it closes, one at a time: a burst
// of them never stacks alerts inside alerts.
void TestFrontDoor::requestsWaitWhileAnAlertIsOpen()
{
    SingleInstance instance {QDBusConnection(busName)};
    QCOMPARE(instance.start({}), SingleInstance::Role::Primary);
    QDBusConnection client = QDBusConnection::connectToBus(m_busAddress, u"front-door-client"_s);
    const auto send = [&client](const QString &path) {
        QDBusMessage call = QDBusMessage::createMethodCall(SingleInstance::serviceName(),
            SingleInstance::objectPath(), u"org.freedesktop.Application"_s, u"Open"_s);
        call << QStringList {QUrl::fromLocalFile(path).toString()} << QVariantMap();
        client.asyncCall(call);
    };
    QStringList handled;
    int depth = 0;
    int deepest = 0;
    qsizetype handledWhileOpen = -1;
    connect(&instance, &SingleInstance::openRequested, this, [&](const QStringList &arguments) {
        handled += arguments;
        deepest = std::max(deepest, ++depth);
        if (handled.size() == 1) {
            send(u"/second.txt"_s);
            send(u"/third.txt"_s);
            QMessageBox alert(QMessageBox::Warning, u"Scrivlet"_s, u"An alert"_s);
            QTimer::singleShot(500, &alert, [&] {
                handledWhileOpen = handled.size();
                alert.accept();
            });
            alert.exec();
        }
        --depth;
    });
    send(u"/first.txt"_s);
    QTRY_COMPARE_WITH_TIMEOUT(handled.size(), 3, 10000);
    QCOMPARE(handledWhileOpen, 1);
    QCOMPARE(deepest, 1);
    QCOMPARE(handled, (QStringList {u"/first.txt"_s, u"/second.txt"_s, u"/third.txt"_s}));
    QDBusConnection::disconnectFromBus(u"front-door-client"_s);
}

void TestFrontDoor::randomCommandLines_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QList<int>>("exitCodes"); // the documented ones
    QTest::addRow("scrivlet") << QStringLiteral(SCRIVLET_PROGRAM) << QList<int> {0, 2};
    // 1: no folder given, or --write-icon could not write its file.
    QTest::addRow("scrivlet-finder-sync")
        << QStringLiteral(SCRIVLET_FINDER_SYNC_PROGRAM) << QList<int> {0, 1};
}

void TestFrontDoor::randomCommandLines()
{
    QFETCH(QString, program);
    QFETCH(QList<int>, exitCodes);
    startPrimary();
    if (QTest::currentTestFailed())
        return;
    const BrokenFilenameWarningsMuted muted;
    const int requestsBefore = m_primary->requests;
    const bool editor = QFileInfo(program).fileName() == u"scrivlet";
    FrontDoorInput input(m_target, seed() + (editor ? 2 : 3));
    const int runs = runsPerProgram();
    const QSet<QString> before = snapshot();
    QMap<int, int> byExitCode;
    QStringList failures;
    QElapsedTimer clock;
    clock.start();
    for (int run = 0; run < runs; ++run) {
        const QStringList arguments
            = editor ? input.editorArguments() : input.finderSyncArguments();
        QProcess process;
        process.setWorkingDirectory(m_target);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        QSignalSpy finished(&process, &QProcess::finished);
        process.start(program, arguments);
        // With an event loop: this process is the running editor the child calls.
        if (!process.waitForStarted() || (finished.isEmpty() && !finished.wait(30000))) {
            process.kill();
            process.waitForFinished();
            failures.append(u"hung: "_s + arguments.join(u" | "_s).left(300));
            continue;
        }
        const int code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        ++byExitCode[code];
        if ((run + 1) % 1000 == 0)
            qInfo("%d command lines, %lld failed, %.0f s", run + 1,
                static_cast<long long>(failures.size()), double(clock.elapsed()) / 1000);
        if (!exitCodes.contains(code))
            failures.append(u"exit %1: "_s.arg(code) + arguments.join(u" | "_s).left(300));
    }
    QString figures;
    for (auto it = byExitCode.cbegin(); it != byExitCode.cend(); ++it)
        figures += u" exit %1 × %2;"_s.arg(it.key()).arg(it.value());
    qInfo("%s: %d command lines in %.1f s (seed %u):%s the running editor handled %d requests, "
          "has %lld windows and %lld alerts in all, and holds %s",
        qPrintable(QFileInfo(program).fileName()), runs, double(clock.elapsed()) / 1000, seed(),
        qPrintable(figures), m_primary->requests - requestsBefore,
        static_cast<long long>(m_primary->documents.windows().size()),
        static_cast<long long>(m_primary->prompts.errors.size()),
        qPrintable(residentMemory(QCoreApplication::applicationPid())));
    QVERIFY2(failures.isEmpty(), qPrintable(failures.mid(0, 10).join(u'\n')));
    // --write-icon writes its picture wherever it is told, so only the editor's phase is held to
    // new files named "Untitled…".
    if (editor)
        QCOMPARE(strangeFilesInTarget(), QStringList());
    const QStringList outside = createdOutsideTarget(before);
    QVERIFY2(outside.isEmpty(), qPrintable(outside.join(u'\n')));
}

SCRIVLET_TEST_MAIN(TestFrontDoor)
#include "tst_FrontDoor.moc"
