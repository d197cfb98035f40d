// Saving when the disk, the folder or the process fails under the editor: each time the file on
// disk stays as it was, the document keeps its edits, and the user is told why. The saves run in
// scrivlet_document_probe, a process of its own, so that one can run as an unprivileged user,
// inside a read-only mount, or be killed with SIGKILL between writing and replacing the file.
#include "StaleSaveFiles.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/xattr.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int probeTimeoutMilliseconds = 60000;
const QByteArray original = "original bytes\n";

enum class Fault { ShortWrite, PermissionDenied, ReadOnlyFileSystem, FolderDeleted, FileIsFolder };

struct ProbeRun
{
    bool finished = false;
    int exitCode = -1;
    QStringList alerts;
    QMap<QString, QString> state; // "saved", "modified", "text", …
    QString errors;
};

// How the probe is started: directly, as another user, or inside a mount namespace.
struct Launch
{
    QString program;
    QStringList arguments;
    QProcessEnvironment environment;
};

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestSaveFaults : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void faultKeepsFileAndEdits_data();
    void faultKeepsFileAndEdits();
    void killedBetweenWritingAndReplacing_data();
    void killedBetweenWritingAndReplacing();

private:
    QString probe() const;
    ProbeRun run(const QString &program, const QStringList &arguments,
        const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment()) const;
    static ProbeRun parse(QProcess &process);
    QStringList folderEntries() const;
    QString runAsNobodyInReadOnlyFolder(Launch &launch) const;
    QString runInReadOnlyMount(Launch &launch) const;

    std::unique_ptr<QTemporaryDir> m_root;
    QString m_folder;
    QString m_file;
};

void TestSaveFaults::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    m_folder = m_root->filePath(u"documents"_s);
    m_file = m_folder + u"/note.txt"_s;
    QVERIFY(QDir().mkpath(m_folder));
    QFile file(m_file);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(original), original.size());
}

QString TestSaveFaults::probe() const
{
    return QCoreApplication::applicationDirPath() + u"/scrivlet_document_probe"_s;
}

ProbeRun TestSaveFaults::parse(QProcess &process)
{
    ProbeRun result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.errors = QString::fromUtf8(process.readAllStandardError());
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n');
    for (const QString &line : lines) {
        const qsizetype colon = line.indexOf(u": "_s);
        if (colon < 0)
            continue;
        const QString name = line.left(colon);
        const QString value = line.mid(colon + 2);
        if (name == u"alert")
            result.alerts.append(value);
        else
            result.state.insert(name, value);
    }
    return result;
}

ProbeRun TestSaveFaults::run(const QString &program, const QStringList &arguments,
    const QProcessEnvironment &environment) const
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(probeTimeoutMilliseconds);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    ProbeRun result = parse(process);
    result.finished = finished;
    return result;
}

QStringList TestSaveFaults::folderEntries() const
{
    return QDir(m_folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Root is never refused, so the save runs as "nobody", who may read the file but not write in
// its folder. Returns why that cannot be done here, or nothing.
QString TestSaveFaults::runAsNobodyInReadOnlyFolder(Launch &launch) const
{
    const auto readOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
        | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    if (!QFile::setPermissions(m_root->path(), readOnly)
        || !QFile::setPermissions(m_folder, readOnly))
        return u"cannot change the folder's permissions"_s;
    if (::geteuid() != 0) {
        QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup);
        return {};
    }
    const QString setpriv = QStandardPaths::findExecutable(u"setpriv"_s);
    if (setpriv.isEmpty())
        return u"running as root, and setpriv (util-linux) is missing to run as nobody"_s;
    launch.arguments = QStringList {u"--reuid=65534"_s, u"--regid=65534"_s, u"--clear-groups"_s,
                           u"--"_s, launch.program}
        + launch.arguments;
    launch.program = setpriv;
    // Its own settings and drafts need a home that nobody may write.
    const QString home = m_root->filePath(u"home"_s);
    QDir().mkpath(home);
    QFile::setPermissions(home, QFile::Permissions(0x7777));
    for (const char *variable : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME",
             "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        launch.environment.insert(QString::fromLatin1(variable), home);
    return {};
}

// A mount namespace of the probe's own, in which the folder is a read-only bind mount.
QString TestSaveFaults::runInReadOnlyMount(Launch &launch) const
{
    const QString unshare = QStandardPaths::findExecutable(u"unshare"_s);
    if (unshare.isEmpty())
        return u"unshare (util-linux) is missing to make a read-only mount"_s;
    QStringList namespaceArguments {u"--mount"_s};
    if (::geteuid() != 0)
        namespaceArguments.append(u"--map-root-user"_s);
    launch.arguments = namespaceArguments
        + QStringList {u"--"_s, u"sh"_s, u"-c"_s,
            u"mount --bind -o ro \"$0\" \"$0\" && exec \"$@\""_s, m_folder, launch.program}
        + launch.arguments;
    launch.program = unshare;
    return {};
}

void TestSaveFaults::faultKeepsFileAndEdits_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("expectedAlert");

    QTest::addRow("disk full: a write comes up short")
        << Fault::ShortWrite << u"there isn’t enough space on the disk"_s;
    QTest::addRow("permission denied")
        << Fault::PermissionDenied << u"because you don’t have permission"_s;
    QTest::addRow("read-only file system")
        << Fault::ReadOnlyFileSystem << u"because the volume is read only"_s;
    QTest::addRow("the folder was deleted") << Fault::FolderDeleted << u"does not exist"_s;
    QTest::addRow("a folder took the file's place") << Fault::FileIsFolder << u"is a folder"_s;
}

void TestSaveFaults::faultKeepsFileAndEdits()
{
    QFETCH(Fault, fault);
    QFETCH(QString, expectedAlert);

    Launch launch {
        probe(), {u"save"_s, m_file, u" edited"_s}, QProcessEnvironment::systemEnvironment()};
    QString impossible;
    switch (fault) {
    case Fault::ShortWrite:
        launch.arguments.append(u"short-write"_s);
        break;
    case Fault::FolderDeleted:
        launch.arguments.append(u"remove-folder"_s);
        break;
    case Fault::FileIsFolder:
        launch.arguments.append(u"replace-with-folder"_s);
        break;
    case Fault::PermissionDenied:
        impossible = runAsNobodyInReadOnlyFolder(launch);
        break;
    case Fault::ReadOnlyFileSystem:
        impossible = runInReadOnlyMount(launch);
        break;
    }
    if (!impossible.isEmpty())
        QSKIP(qPrintable(impossible));

    const ProbeRun result = run(launch.program, launch.arguments, launch.environment);
    if (fault == Fault::ReadOnlyFileSystem && result.state.value(u"opened"_s).isEmpty()
        && result.errors.contains(u"mount"_s))
        QSKIP(qPrintable(u"no read-only mount can be made here: "_s + result.errors.trimmed()));
    QVERIFY2(result.finished && result.exitCode == 0, qPrintable(result.errors));
    QCOMPARE(result.state.value(u"opened"_s), u"1"_s);
    QCOMPARE(result.state.value(u"saved"_s), u"0"_s);
    QCOMPARE(result.state.value(u"modified"_s), u"1"_s);
    QCOMPARE(result.state.value(u"text"_s), u"original bytes\\n edited"_s);
    QCOMPARE(result.alerts.size(), 1);
    QVERIFY2(result.alerts.first().contains(expectedAlert), qPrintable(result.alerts.first()));

    switch (fault) {
    case Fault::FolderDeleted:
        QVERIFY(!QFileInfo::exists(m_folder)); // not brought back behind the user's back
        break;
    case Fault::FileIsFolder:
        // Taken for a change on disk first: the user was asked, and chose to save anyway.
        QCOMPARE(result.state.value(u"overwrite-questions"_s), u"1"_s);
        QVERIFY(QFileInfo(m_file).isDir());
        QCOMPARE(
            QDir(m_file).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList {u"inside"_s});
        break;
    default: {
        QFile file(m_file);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), original);
        QCOMPARE(folderEntries(), QStringList {u"note.txt"_s}); // no temporary file left
    }
    }
}

void TestSaveFaults::killedBetweenWritingAndReplacing_data()
{
    QTest::addColumn<bool>("atRename");
    QTest::addRow("every byte written, before the commit") << false;
    QTest::addRow("the temporary file linked, before the rename") << true;
}

// SIGKILL in the middle of a save: the original stays whole, and the next save, by a new
// process, leaves nothing behind but the user's own files, even ones named like a leftover.
void TestSaveFaults::killedBetweenWritingAndReplacing()
{
    QFETCH(bool, atRename);
    const QStringList userFiles {u"note.txt.backup"_s, u"note.txt.kept01"_s};
    for (const QString &name : userFiles) {
        QFile file(m_folder + u'/' + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("the user's own file");
    }
    // QSaveFile links its unnamed file under "note.txt.XXXXXX", then renames that over the
    // file; the probe is killed either while it waits to do so, or as it enters the rename.
    QProcess process;
    process.start(probe(),
        {u"save"_s, m_file, u" lost"_s, atRename ? u"kill-at-rename"_s : u"hang-before-commit"_s});
    QVERIFY(process.waitForStarted());
    if (!atRename) {
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += process.readAllStandardOutput()).contains("written: "),
            probeTimeoutMilliseconds);
        process.kill();
    }
    QVERIFY(process.waitForFinished(probeTimeoutMilliseconds));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);

    QFile file(m_file);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), original);
    file.close();
    const QStringList leftovers
        = folderEntries().filter(QRegularExpression(u"^note\\.txt\\.[A-Za-z0-9]{6}$"_s));
    QStringList afterKill = userFiles + QStringList {u"note.txt"_s};
    if (atRename) {
        QCOMPARE(leftovers.size() - userFiles.size(), 1);
        // A copy of the leftover, mark and all, is a file of the user's: it has another inode.
        const QString leftover = (QSet<QString>(leftovers.cbegin(), leftovers.cend())
            - QSet<QString>(userFiles.cbegin(), userFiles.cend()))
                                     .values()
                                     .first();
        char mark[64] = {};
        const QByteArray from = QFile::encodeName(m_folder + u'/' + leftover);
        const ssize_t length
            = ::getxattr(from.constData(), StaleSaveFiles::attributeName(), mark, sizeof mark);
        QVERIFY2(length > 0, "the leftover carries no mark");
        QVERIFY(QFile::copy(m_folder + u'/' + leftover, m_folder + u"/note.txt.copy01"_s));
        QCOMPARE(::setxattr(QFile::encodeName(m_folder + u"/note.txt.copy01"_s).constData(),
                     StaleSaveFiles::attributeName(), mark, size_t(length), 0),
            0);
        afterKill.append(u"note.txt.copy01"_s);
    }

    const ProbeRun next = run(probe(), {u"save"_s, m_file, u" saved"_s});
    QVERIFY2(next.finished && next.exitCode == 0, qPrintable(next.errors));
    QCOMPARE(next.state.value(u"saved"_s), u"1"_s);
    QVERIFY(next.alerts.isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "original bytes\n saved");
    afterKill.sort();
    QCOMPARE(folderEntries(), afterKill);
    char mark[64] = {};
    QCOMPARE(::getxattr(QFile::encodeName(m_file).constData(), StaleSaveFiles::attributeName(),
                 mark, sizeof mark),
        -1);
}

SCRIVLET_TEST_MAIN(TestSaveFaults)
#include "tst_SaveFaults.moc"
