#include "DraftStore.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <csignal>

using namespace Qt::StringLiterals;

// Kills a typing session at random moments and checks that every document's text is recovered
// to within the last two seconds of typing: nothing is lost before that, nothing is invented.
class TestCrashRecovery : public QObject
{
    Q_OBJECT

private slots:
    void killedSessionsLoseAtMostTwoSeconds();
};

void TestCrashRecovery::killedSessionsLoseAtMostTwoSeconds()
{
    const QString probe = QCoreApplication::applicationDirPath() + u"/scrivlet_typing_probe"_s;
    const QString stream = u"abcdefghij\n"_s;
    QRandomGenerator random(42);
    for (int run = 0; run < 3; ++run) {
        QTemporaryDir home;
        const QString file = home.filePath(u"notes.txt"_s);
        QFile base(file);
        QVERIFY(base.open(QIODevice::WriteOnly));
        base.write("base\n");
        base.close();

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_DATA_HOME"_s, home.filePath(u"data"_s));
        environment.insert(u"XDG_CONFIG_HOME"_s, home.filePath(u"config"_s));
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        process.setProcessEnvironment(environment);
        process.start(probe, {file});
        QVERIFY(process.waitForStarted());

        // Rounds typed, with when they were reported.
        QList<std::pair<qint64, int>> progress;
        QElapsedTimer clock;
        clock.start();
        const qint64 killAt = 2500 + random.bounded(2000);
        while (clock.elapsed() < killAt) {
            process.waitForReadyRead(50);
            while (process.canReadLine()) {
                const QByteArray line = process.readLine().trimmed();
                if (line.startsWith("typed "))
                    progress.append({clock.elapsed(), line.mid(6).toInt()});
            }
        }
        ::kill(pid_t(process.processId()), SIGKILL);
        QVERIFY(process.waitForFinished());
        const qint64 killedAt = clock.elapsed();
        int typedBySafePoint = 0;
        for (const auto &[when, rounds] : progress) {
            if (when <= killedAt - 2000)
                typedBySafePoint = rounds;
        }
        const int typedAtKill = progress.isEmpty() ? 0 : progress.last().second;

        const DraftStore store(home.filePath(u"data/scrivlet/drafts"_s));
        const QList<DraftStore::Draft> drafts = store.drafts();
        QCOMPARE(drafts.size(), typedBySafePoint > 0 ? 3 : int(drafts.size()));
        int leastRecovered = typedAtKill;
        for (const DraftStore::Draft &draft : drafts) {
            std::optional<QString> text = store.recoverText(draft.id);
            QVERIFY(text);
            if (!draft.filePath.isEmpty()) {
                QVERIFY2(text->startsWith(u"base\n"_s), qPrintable(*text));
                text = text->mid(5);
            }
            // What was recovered is exactly what was typed, up to some point.
            QCOMPARE(*text, stream.repeated(text->size() / stream.size() + 1).left(text->size()));
            leastRecovered = std::min(leastRecovered, int(text->size()));
        }
        QVERIFY2(leastRecovered >= typedBySafePoint,
            qPrintable(u"run %1: %2 typed 2 s before the kill, %3 recovered"_s.arg(run)
                           .arg(typedBySafePoint)
                           .arg(leastRecovered)));
        qInfo("run %d: killed after %lld ms; %d keys typed per document, %d recovered (at least %d "
              "needed)",
            run, killedAt, typedAtKill, leastRecovered, typedBySafePoint);
    }
}

SCRIVLET_TEST_MAIN(TestCrashRecovery)
#include "tst_CrashRecovery.moc"
