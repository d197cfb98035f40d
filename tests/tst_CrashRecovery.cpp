#include "DraftStore.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>

using namespace Qt::StringLiterals;

// Kills a typing session (scrivlet_typing_probe: two files and one untitled document) at random
// moments, restarts it through the program's own restore path each time, and checks that every
// document comes back holding exactly what was typed into it, up to some point no more than two
// seconds before the kill: nothing lost before that, nothing invented. The number of kills is
// SCRIVLET_CRASH_RUNS (default 6; reliability/crash-recovery runs many more).
class TestCrashRecovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killedSessionsLoseAtMostTwoSeconds();

private:
    struct Document
    {
        QByteArray name;
        QString stream;
        QString base;
        // Stream keys the document held when the current session started, and when each key
        // typed since was reported (monotonic milliseconds).
        int startCount = 0;
        QHash<int, qint64> typedAt;
        int lastTyped = 0;
    };
    struct Loss
    {
        qint64 milliseconds = 0;
        int characters = 0;
    };

    QProcess *startProbe(int seed, bool restoreOnly);
    void readUntilReady(QProcess &probe, QHash<QByteArray, QStringList> &recovered);
    void checkRecovered(const QHash<QByteArray, QStringList> &recovered, qint64 killedAt);
    void collectTyping(const QByteArray &output);
    void reportLosses(int runs) const;

    QTemporaryDir m_home;
    QList<Document> m_documents;
    QList<Loss> m_losses;
};

namespace {

qint64 monotonicMilliseconds()
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}

qint64 median(QList<qint64> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

void TestCrashRecovery::initTestCase()
{
    QVERIFY(m_home.isValid());
    const QList<std::pair<QByteArray, QByteArray>> files {
        {"one.txt", "first file\n"},
        {"two.txt", "second file\r\nwith CR LF\r\n"},
    };
    for (const auto &[name, bytes] : files) {
        QFile file(m_home.filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    m_documents = {
        {"file1", u"abcdefghij\n"_s, u"first file\n"_s, 0, {}, 0},
        {"file2", u"0123456789\n"_s, u"second file\nwith CR LF\n"_s, 0, {}, 0},
        {"untitled", u"klmnopqrst\n"_s, QString(), 0, {}, 0},
    };
}

QProcess *TestCrashRecovery::startProbe(int seed, bool restoreOnly)
{
    auto *probe = new QProcess;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, m_home.path());
    environment.insert(u"XDG_DATA_HOME"_s, m_home.filePath(u"data"_s));
    environment.insert(u"XDG_CONFIG_HOME"_s, m_home.filePath(u"config"_s));
    environment.insert(u"XDG_STATE_HOME"_s, m_home.filePath(u"state"_s));
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    probe->setProcessEnvironment(environment);
    probe->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList arguments {m_home.filePath(u"one.txt"_s), m_home.filePath(u"two.txt"_s),
        u"--seed"_s, QString::number(seed)};
    if (restoreOnly)
        arguments.append(u"--restore-only"_s);
    probe->start(QCoreApplication::applicationDirPath() + u"/scrivlet_typing_probe"_s, arguments);
    return probe;
}

void TestCrashRecovery::readUntilReady(QProcess &probe, QHash<QByteArray, QStringList> &recovered)
{
    QElapsedTimer clock;
    clock.start();
    int drafts = 0;
    while (clock.elapsed() < 30000) {
        // A recovered text is one long line, which may arrive in several pieces.
        if (!probe.canReadLine()) {
            if (!probe.waitForReadyRead(100))
                QVERIFY2(probe.state() == QProcess::Running, "the probe ended before it was ready");
            continue;
        }
        const QList<QByteArray> words = probe.readLine().trimmed().split(' ');
        if (words.first() == "ready") {
            QVERIFY2(drafts <= 3, qPrintable(u"%1 drafts for three documents"_s.arg(drafts)));
            return;
        }
        if (words.first() == "drafts")
            drafts = words.value(1).toInt();
        if (words.first() == "recovered") {
            recovered[words.value(1)].append(
                QString::fromUtf8(QByteArray::fromBase64(words.value(2))));
        }
    }
    QFAIL("the probe did not report its recovered documents within 30 s");
}

// Each document holds its base and then its stream up to some key: at least every key reported
// two seconds before the kill (and all it held when its session started), at most one key more
// than was reported (typed, not yet printed).
void TestCrashRecovery::checkRecovered(
    const QHash<QByteArray, QStringList> &recovered, qint64 killedAt)
{
    for (Document &document : m_documents) {
        const QString name = QString::fromLatin1(document.name);
        const QStringList texts = recovered.value(document.name);
        QVERIFY2(texts.size() == 1, qPrintable(u"%1 windows for %2"_s.arg(texts.size()).arg(name)));
        const QString &text = texts.first();
        QVERIFY2(text.startsWith(document.base), qPrintable(name + u": "_s + text));
        const int count = int(text.size() - document.base.size());
        const QString expected = document.stream.repeated(count / document.stream.size() + 1);
        QVERIFY2(text.mid(document.base.size()) == expected.left(count),
            qPrintable(name + u" holds text that was never typed: "_s + text));
        int needed = document.startCount;
        for (auto typed = document.typedAt.cbegin(); typed != document.typedAt.cend(); ++typed) {
            if (typed.value() <= killedAt - 2000)
                needed = std::max(needed, typed.key());
        }
        const int typedAtKill = std::max(document.startCount, document.lastTyped);
        QVERIFY2(count >= needed && count <= typedAtKill + 1,
            qPrintable(u"%1: %2 keys recovered, %3 typed two seconds before the kill, %4 at it "
                       "(%5 when the session started)"_s.arg(name)
                           .arg(count)
                           .arg(needed)
                           .arg(typedAtKill)
                           .arg(document.startCount)));
        Loss loss;
        if (count < typedAtKill) {
            loss.characters = typedAtKill - count;
            loss.milliseconds = killedAt - document.typedAt.value(count + 1, killedAt);
        }
        if (killedAt > 0)
            m_losses.append(loss);
        document.startCount = count;
        document.typedAt.clear();
        document.lastTyped = count;
    }
}

void TestCrashRecovery::collectTyping(const QByteArray &output)
{
    QList<QByteArray> lines = output.split('\n');
    lines.removeLast(); // empty, or a line the kill cut short
    for (const QByteArray &line : std::as_const(lines)) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        if (words.size() != 4 || words.first() != "typed")
            continue;
        for (Document &document : m_documents) {
            if (document.name == words.at(1)) {
                document.typedAt.insert(words.at(2).toInt(), words.at(3).toLongLong());
                document.lastTyped = std::max(document.lastTyped, words.at(2).toInt());
            }
        }
    }
}

void TestCrashRecovery::killedSessionsLoseAtMostTwoSeconds()
{
    const int runs = qEnvironmentVariableIsSet("SCRIVLET_CRASH_RUNS")
        ? qEnvironmentVariableIntValue("SCRIVLET_CRASH_RUNS")
        : 6;
    QRandomGenerator random(42);
    qint64 killedAt = 0;
    for (int run = 0; run <= runs; ++run) {
        std::unique_ptr<QProcess> probe(startProbe(run, run == runs));
        QVERIFY(probe->waitForStarted());
        QHash<QByteArray, QStringList> recovered;
        readUntilReady(*probe, recovered);
        if (QTest::currentTestFailed())
            return;
        checkRecovered(recovered, killedAt);
        if (run == runs)
            QVERIFY(probe->waitForFinished());
        if (QTest::currentTestFailed() || run == runs)
            break;
        // Kill at a random moment while all three documents are being typed into.
        const qint64 killDelay = 300 + random.bounded(4200);
        QElapsedTimer typing;
        typing.start();
        QByteArray output;
        while (typing.elapsed() < killDelay) {
            probe->waitForReadyRead(int(std::max<qint64>(1, killDelay - typing.elapsed())));
            output += probe->readAllStandardOutput();
        }
        killedAt = monotonicMilliseconds();
        ::kill(pid_t(probe->processId()), SIGKILL);
        QVERIFY(probe->waitForFinished());
        output += probe->readAllStandardOutput();
        collectTyping(output);
        qInfo("run %d: killed after %lld ms of typing", run + 1, killDelay);
    }
    reportLosses(runs);
}

void TestCrashRecovery::reportLosses(int runs) const
{
    QList<qint64> milliseconds {0};
    QList<qint64> characters {0};
    for (const Loss &loss : std::as_const(m_losses)) {
        milliseconds.append(loss.milliseconds);
        characters.append(loss.characters);
    }
    if (!m_losses.isEmpty()) {
        milliseconds.removeFirst();
        characters.removeFirst();
    }
    qInfo("crash recovery: %d kills, %lld document recoveries; loss max %lld ms, median %lld ms; "
          "max %lld characters, median %lld",
        runs, qint64(m_losses.size()),
        *std::max_element(milliseconds.cbegin(), milliseconds.cend()), median(milliseconds),
        *std::max_element(characters.cbegin(), characters.cend()), median(characters));
}

SCRIVLET_TEST_MAIN(TestCrashRecovery)
#include "tst_CrashRecovery.moc"
