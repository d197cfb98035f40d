#include "BookmarkManager.h"
#include "NewFileNaming.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;

// Two programs at once: the real scrivlet-finder-sync is launched again and again, several at a
// time, to make new files in one folder while an editor-side process (scrivlet_settings_probe)
// keeps writing the store both programs share. No file may be replaced, every new file must get
// the name the naming rule gives, and no setting may be lost: each key ends with the value its
// last writer wrote, and no version of the store ever takes a value back. The amount is
// SCRIVLET_LOAD_LAUNCHES (default 200) and SCRIVLET_LOAD_PARALLEL (default 8) at once.
class TestSharedStoreConcurrency : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void extensionAndEditorAtOnce();

private:
    void prepareFolder();
    void launchExtensions(int launches, int parallel);
    void sampleStore();
    void checkNewFiles(int launches);
    void checkStore(const QStringList &added, int writes);

    QTemporaryDir m_home;
    QString m_target;
    QString m_suite;
    QHash<QString, QByteArray> m_existing;
    int m_lastCounter = 0;
    int m_samples = 0;
    int m_counterWentBack = 0;
};

namespace {

int environmentOr(const char *name, int fallback)
{
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

void TestSharedStoreConcurrency::initTestCase()
{
    QVERIFY(m_home.isValid());
    m_target = m_home.filePath(u"target"_s);
    // Where the extension, which is not in Qt's test mode, finds the store.
    m_suite = qEnvironmentVariable("XDG_CONFIG_HOME") + u"/scrivlet/group."_s
        + QStringLiteral(SCRIVLET_APP_ID) + u".conf"_s;
    QFile::remove(m_suite);
}

// The target was authorised and then replaced by another folder of the same name, so its
// bookmark is stale and the first launches write the store too (they refresh it). Two of the
// names the rule would give are taken already, and a file of another kind sits beside them.
void TestSharedStoreConcurrency::prepareFolder()
{
    QVERIFY(QDir().mkpath(m_target));
    BookmarkManager manager(m_suite);
    QVERIFY(manager.addBookmark(QUrl::fromLocalFile(m_target)));
    QVERIFY(QDir().rename(m_target, m_target + u".before"_s));
    QVERIFY(QDir().mkpath(m_target));
    manager.setFilename(u"Note.txt"_s);
    manager.setOpenAfterCreate(false);
    m_existing = {
        {u"Note.txt"_s, "written by hand\n"},
        {u"Note 3.txt"_s, QByteArray("\x00\xff binary \r\n", 12)},
        {u"Note.md"_s, "# another kind\n"},
    };
    for (auto entry = m_existing.cbegin(); entry != m_existing.cend(); ++entry) {
        QFile file(m_target + u'/' + entry.key());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(entry.value());
    }
}

// Every version of the store seen: the editor's counter never goes back.
void TestSharedStoreConcurrency::sampleStore()
{
    static const QRegularExpression counter(u"editorWrites=(\\d+)"_s);
    const QRegularExpressionMatch match = counter.match(QString::fromUtf8(contents(m_suite)));
    if (!match.hasMatch())
        return;
    ++m_samples;
    const int value = match.captured(1).toInt();
    if (value < m_lastCounter)
        ++m_counterWentBack;
    m_lastCounter = std::max(m_lastCounter, value);
}

void TestSharedStoreConcurrency::launchExtensions(int launches, int parallel)
{
    std::vector<std::unique_ptr<QProcess>> running;
    int started = 0;
    int failed = 0;
    while (started < launches || !running.empty()) {
        while (started < launches && int(running.size()) < parallel) {
            auto extension = std::make_unique<QProcess>();
            extension->setProcessChannelMode(QProcess::ForwardedChannels);
            extension->start(QStringLiteral(SCRIVLET_FINDER_SYNC_PROGRAM), {m_target});
            running.push_back(std::move(extension));
            ++started;
        }
        running.front()->waitForFinished(20);
        std::erase_if(running, [&failed](const std::unique_ptr<QProcess> &extension) {
            if (extension->state() != QProcess::NotRunning)
                return false;
            if (extension->exitStatus() != QProcess::NormalExit || extension->exitCode() != 0)
                ++failed;
            return true;
        });
        sampleStore();
    }
    QCOMPARE(failed, 0);
}

// Exactly the first names the rule gives that were free, each a new empty file; what was there
// before is byte for byte what it was.
void TestSharedStoreConcurrency::checkNewFiles(int launches)
{
    QSet<QString> expected;
    for (int number = 1; expected.size() < launches; ++number) {
        const QString name = number == 1 ? u"Note.txt"_s : u"Note %1.txt"_s.arg(number);
        if (!m_existing.contains(name))
            expected.insert(name);
    }
    const QStringList names = QDir(m_target).entryList(QDir::Files | QDir::Hidden);
    QSet<QString> created;
    for (const QString &name : names) {
        if (m_existing.contains(name)) {
            QCOMPARE(contents(m_target + u'/' + name), m_existing.value(name));
            continue;
        }
        QCOMPARE(QFileInfo(m_target + u'/' + name).size(), 0);
        created.insert(name);
    }
    QCOMPARE(names.size(), launches + m_existing.size());
    QCOMPARE(created, expected);
    QVERIFY(QDir(m_target + u".before"_s).isEmpty());
}

void TestSharedStoreConcurrency::checkStore(const QStringList &added, int writes)
{
    sampleStore();
    QCOMPARE(m_counterWentBack, 0);
    QCOMPARE(m_lastCounter, writes);
    BookmarkManager manager(m_suite);
    QCOMPARE(manager.filename(), u"Note.txt"_s);
    QVERIFY(!manager.openAfterCreate());
    QStringList authorised;
    for (const QUrl &folder : manager.allBookmarkedUrls())
        authorised.append(folder.toLocalFile());
    QStringList wanted = added;
    wanted.append(m_target);
    QStringList lost;
    for (const QString &folder : std::as_const(wanted)) {
        if (!authorised.contains(folder))
            lost.append(folder);
    }
    QVERIFY2(lost.isEmpty(), qPrintable(u"authorised folders lost: "_s + lost.join(u", "_s)));
    QCOMPARE(authorised.size(), wanted.size());
}

void TestSharedStoreConcurrency::extensionAndEditorAtOnce()
{
    const int launches = environmentOr("SCRIVLET_LOAD_LAUNCHES", 200);
    const int parallel = environmentOr("SCRIVLET_LOAD_PARALLEL", 8);
    prepareFolder();
    if (QTest::currentTestFailed())
        return;
    const QString stop = m_home.filePath(u"stop"_s);
    QProcess editor;
    editor.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    editor.start(QCoreApplication::applicationDirPath() + u"/scrivlet_settings_probe"_s,
        {m_suite, m_home.filePath(u"folders"_s), stop});
    QVERIFY(editor.waitForStarted());
    QElapsedTimer clock;
    clock.start();
    launchExtensions(launches, parallel);
    const qint64 elapsed = clock.elapsed();
    QFile(stop).open(QIODevice::WriteOnly);
    QVERIFY(editor.waitForFinished(30000));
    if (QTest::currentTestFailed())
        return;
    QStringList added;
    int writes = 0;
    for (const QByteArray &line : editor.readAllStandardOutput().split('\n')) {
        if (line.startsWith("added "))
            added.append(QString::fromUtf8(line.mid(6)));
        if (line.startsWith("writes "))
            writes = line.mid(7).toInt();
    }
    checkNewFiles(launches);
    checkStore(added, writes);
    qInfo("two programs: %d extension launches (%d at once) in %lld ms, %d editor turns "
          "(%lld folders authorised), %d store versions sampled, none went back",
        launches, parallel, elapsed, writes, qint64(added.size()), m_samples);
}

SCRIVLET_TEST_MAIN(TestSharedStoreConcurrency)
#include "tst_SharedStoreConcurrency.moc"
