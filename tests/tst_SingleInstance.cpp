#include "CommandLine.h"
#include "PrivateSessionBus.h"
#include "SingleInstance.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

namespace {

const QString busName = u"scrivlet-test-bus"_qs;

struct ProcessResult
{
    bool finished = false;
    int exitCode = -1;
    QString output;
    QString errors;
};

QDBusConnection testBus()
{
    return QDBusConnection(busName);
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void forwardsFilesAndUrls_data();
    void forwardsFilesAndUrls();
    void answersBeforeHandlingTheRequest();
    void glibCallersReachEveryMethod_data();
    void glibCallersReachEveryMethod();
    void decidesItsRole_data();
    void decidesItsRole();
    void answersAsAProgram_data();
    void answersAsAProgram();

private:
    ProcessResult run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment) const;
    ProcessResult runProbe(const QStringList &arguments,
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment()) const;
    QString probeFolder() const { return QDir(m_folder.path()).canonicalPath(); }

    QTemporaryDir m_folder;
    PrivateSessionBus m_bus;
};

void TestSingleInstance::initTestCase()
{
    QVERIFY(m_folder.isValid());
    QString error;
    const QString address = m_bus.start(m_folder.path(), error);
    QVERIFY2(!address.isEmpty(), qPrintable(error));
    QVERIFY(QDBusConnection::connectToBus(address, busName).isConnected());
}

void TestSingleInstance::cleanupTestCase()
{
    QDBusConnection::disconnectFromBus(busName);
    m_bus.stop();
}

ProcessResult TestSingleInstance::run(const QString &program, const QStringList &arguments,
    const QProcessEnvironment &environment) const
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(m_folder.path());
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(program, arguments);
    ProcessResult result;
    // Waiting with an event loop, so the instance in this process can answer the child's call.
    result.finished = process.waitForStarted() && (!finished.isEmpty() || finished.wait(20000));
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    result.errors = QString::fromUtf8(process.readAllStandardError());
    return result;
}

ProcessResult TestSingleInstance::runProbe(
    const QStringList &arguments, QProcessEnvironment environment) const
{
    if (!environment.contains(u"SCRIVLET_PROBE_TIMEOUT_MS"_qs))
        environment.insert(u"SCRIVLET_PROBE_TIMEOUT_MS"_qs, u"5000"_qs);
    return run(QCoreApplication::applicationDirPath() + u"/scrivlet_instance_probe"_qs, arguments,
        environment);
}

void TestSingleInstance::forwardsFilesAndUrls_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("expected"); // {cwd}: the second process's folder

    const QString newFileUrl = u"scrivlet://new-file?path=/tmp/My%20Notes"_qs;
    QTest::addRow("a relative file and a new-file URL") << QStringList {
        u"notes.txt"_qs, newFileUrl} << QStringList {u"{cwd}/notes.txt"_qs, newFileUrl};
    QTest::addRow("names a URI has to escape")
        << QStringList {u"My Notes #1 100%?.txt"_qs, u"/tmp/été/日本.txt"_qs}
        << QStringList {u"{cwd}/My Notes #1 100%?.txt"_qs, u"/tmp/été/日本.txt"_qs};
    QTest::addRow("a file URL") << QStringList {u"file:///tmp/a%20b.txt"_qs}
                                << QStringList {u"/tmp/a b.txt"_qs};
    QTest::addRow("nothing: the editor is activated") << QStringList() << QStringList();
}

void TestSingleInstance::forwardsFilesAndUrls()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, expected);
    SingleInstance instance(testBus());
    QCOMPARE(instance.start({}), SingleInstance::Role::Primary);
    QSignalSpy opened(&instance, &SingleInstance::openRequested);
    QSignalSpy activated(&instance, &SingleInstance::activateRequested);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_ACTIVATION_TOKEN"_qs, u"token-42"_qs);

    const ProcessResult result = runProbe(arguments, environment);
    QVERIFY2(result.finished, qPrintable(result.errors));
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.output, QString()); // handed over: neither "primary" nor "alone"
    QTRY_COMPARE(opened.size() + activated.size(), 1);
    for (QString &path : expected)
        path.replace(u"{cwd}"_qs, probeFolder());
    QCOMPARE(opened.isEmpty() ? QStringList() : opened.first().first().toStringList(), expected);
    QCOMPARE(activated.size(), expected.isEmpty() ? 1 : 0);
    // The launcher's token travels along, for the window the editor raises.
    QCOMPARE(qEnvironmentVariable("XDG_ACTIVATION_TOKEN"), u"token-42"_qs);
    qunsetenv("XDG_ACTIVATION_TOKEN");
}

void TestSingleInstance::answersBeforeHandlingTheRequest()
{
    // Opening a file may ask a question first; the second process must not wait for the
    // answer, or it would give up and open the file a second time in a window of its own.
    SingleInstance instance(testBus());
    QCOMPARE(instance.start({}), SingleInstance::Role::Primary);
    QSignalSpy opened(&instance, &SingleInstance::openRequested);
    connect(&instance, &SingleInstance::openRequested, this, [] { QThread::msleep(1500); });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"SCRIVLET_PROBE_TIMEOUT_MS"_qs, u"500"_qs);

    const ProcessResult result = runProbe({u"/tmp/a.txt"_qs}, environment);
    QVERIFY2(result.finished, qPrintable(result.errors));
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.output, QString());
    QTRY_COMPARE(opened.size(), 1);
}

void TestSingleInstance::glibCallersReachEveryMethod_data()
{
    QTest::addColumn<QStringList>("call"); // method and its arguments in GVariant text
    QTest::addColumn<QString>("signal");
    QTest::addColumn<QString>("argument");

    QTest::addRow("desktop action New Document") << QStringList {
        u"org.freedesktop.Application.ActivateAction"_qs, u"new-document"_qs, u"[]"_qs,
        u"{}"_qs} << u"action"_qs << u"new-document"_qs;
    QTest::addRow("Open with a file URI") << QStringList {u"org.freedesktop.Application.Open"_qs,
        u"['file:///tmp/a%20b.txt']"_qs, u"{'activation-token': <'t'>}"_qs}
                                          << u"open"_qs << u"/tmp/a b.txt"_qs;
    QTest::addRow("Activate") << QStringList {u"org.freedesktop.Application.Activate"_qs, u"{}"_qs}
                              << u"activate"_qs << QString();
}

void TestSingleInstance::glibCallersReachEveryMethod()
{
    QFETCH(QStringList, call);
    QFETCH(QString, signal);
    QFETCH(QString, argument);
    const QString gdbus = QStandardPaths::findExecutable(u"gdbus"_qs);
    if (gdbus.isEmpty())
        QSKIP("gdbus is not installed (libglib2.0-bin)");
    SingleInstance instance(testBus());
    QCOMPARE(instance.start({}), SingleInstance::Role::Primary);
    QSignalSpy actions(&instance, &SingleInstance::actionRequested);
    QSignalSpy opened(&instance, &SingleInstance::openRequested);
    QSignalSpy activated(&instance, &SingleInstance::activateRequested);

    // gdbus reads the method's signature from our introspection data, so this also checks it.
    const QStringList arguments
        = QStringList {u"call"_qs, u"--session"_qs, u"--dest"_qs, SingleInstance::serviceName(),
              u"--object-path"_qs, SingleInstance::objectPath(), u"--method"_qs}
        + call;
    const ProcessResult result = run(gdbus, arguments, QProcessEnvironment::systemEnvironment());
    QVERIFY2(result.finished && result.exitCode == 0, qPrintable(result.errors));
    QCOMPARE(result.output, u"()\n"_qs);

    QSignalSpy &expected = signal == u"action" ? actions : signal == u"open" ? opened : activated;
    QTRY_COMPARE(expected.size(), 1);
    if (!argument.isEmpty())
        QCOMPARE(expected.first().first().toStringList().value(0), argument);
    QCOMPARE(actions.size() + opened.size() + activated.size(), 1);
    qunsetenv("XDG_ACTIVATION_TOKEN");
}

void TestSingleInstance::decidesItsRole_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("role");
    QTest::addColumn<QString>("logLine");
    QTest::addRow("the first process becomes the editor")
        << u"free"_qs << u"primary"_qs << QString();
    QTest::addRow("no session bus")
        << u"no bus"_qs << u"alone"_qs << u"Scrivlet: no session bus"_qs;
    QTest::addRow("the name's owner does not serve the interface")
        << u"impostor"_qs << u"alone"_qs << u"Scrivlet: the running Scrivlet did not answer"_qs;
}

void TestSingleInstance::decidesItsRole()
{
    QFETCH(QString, situation);
    QFETCH(QString, role);
    QFETCH(QString, logLine);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString impostorName = u"impostor"_qs;
    if (situation == u"impostor") {
        // A connection that owns the editor's name but exports nothing.
        QDBusConnection impostor = QDBusConnection::connectToBus(
            environment.value(u"DBUS_SESSION_BUS_ADDRESS"_qs), impostorName);
        QVERIFY(impostor.registerService(SingleInstance::serviceName()));
    } else if (situation == u"no bus") {
        environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_qs,
            u"unix:path="_qs + m_folder.filePath(u"no-such-socket"_qs));
    }

    const ProcessResult result = runProbe({u"a.txt"_qs}, environment);
    QDBusConnection::disconnectFromBus(impostorName);
    QVERIFY2(result.finished, qPrintable(result.errors));
    QCOMPARE(result.output, role + u'\n');
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.errors.contains(logLine), qPrintable(result.errors));
    // Whoever held the name, it goes with its process.
    QTRY_VERIFY(!testBus().interface()->isServiceRegistered(SingleInstance::serviceName()));
}

void TestSingleInstance::answersAsAProgram_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("errors");
    QTest::addRow("--version") << QStringList {u"--version"_qs} << 0
                               << u"Scrivlet " SCRIVLET_VERSION "\n"_qs << QString();
    QTest::addRow("--help") << QStringList {u"--help"_qs} << 0 << CommandLine::helpText()
                            << QString();
    QTest::addRow("unknown option")
        << QStringList {u"--bogus"_qs} << 2 << QString()
        << u"scrivlet: unknown option '--bogus'\nTry 'scrivlet --help' for more information.\n"_qs;
}

void TestSingleInstance::answersAsAProgram()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(QString, errors);
    // Without any display: --help and --version must answer before the application needs one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &variable : {u"DISPLAY"_qs, u"WAYLAND_DISPLAY"_qs, u"QT_QPA_PLATFORM"_qs})
        environment.remove(variable);
    if (exitCode != 0)
        environment.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);

    const ProcessResult result = runProbe(arguments, environment);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, exitCode);
    QCOMPARE(result.output, output);
    QCOMPARE(result.errors, errors);
}

SCRIVLET_TEST_MAIN(TestSingleInstance)
#include "tst_SingleInstance.moc"
