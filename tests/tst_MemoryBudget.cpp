#include "MemoryBudget.h"

#include "TestEnvironment.h"

#include <QScopeGuard>

#include <limits>

class TestMemoryBudget : public QObject
{
    Q_OBJECT

private slots:
    void largestFileIsTheLastThatFits_data();
    void largestFileIsTheLastThatFits();
    void testSwitchReplacesTheSystemFigure_data();
    void testSwitchReplacesTheSystemFigure();
};

void TestMemoryBudget::largestFileIsTheLastThatFits_data()
{
    QTest::addColumn<qint64>("available");
    QTest::addRow("nothing") << qint64(0);
    QTest::addRow("1 MB, a machine short of memory") << qint64(1'000'000);
    QTest::addRow("less than a large load's blocks") << qint64(100'000'000);
    QTest::addRow("1 GB") << qint64(1'000'000'000);
    QTest::addRow("23 GB, this kind of machine") << qint64(23) * 1024 * 1024 * 1024;
    QTest::addRow("an odd figure") << qint64(7'777'777'777);
    QTest::addRow("no limit known") << std::numeric_limits<qint64>::max();
}

// The size at which files start to be refused: every file up to it fits, the next byte does
// not, and no figure overflows. What a load has in flight grows with the file, so that a small
// file still opens when memory is short.
void TestMemoryBudget::largestFileIsTheLastThatFits()
{
    QFETCH(qint64, available);
    const qint64 largest = MemoryBudget::largestFileFor(available);
    QVERIFY(largest >= 0);
    if (largest > 0)
        QVERIFY(MemoryBudget::bytesToOpen(largest) <= available);
    QVERIFY(MemoryBudget::bytesToOpen(largest + 1) > available
        || available == std::numeric_limits<qint64>::max());
    // Never less than the text's UTF-16: two bytes for every byte of ASCII.
    QVERIFY(MemoryBudget::bytesToOpen(largest) >= 2 * largest);
    QVERIFY(largest >= available / 9);
}

void TestMemoryBudget::testSwitchReplacesTheSystemFigure_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("replaces");
    QTest::addRow("bytes") << QByteArray("170000000") << true;
    QTest::addRow("none") << QByteArray("0") << true;
    QTest::addRow("not a number: the system's figure") << QByteArray("lots") << false;
    QTest::addRow("negative: the system's figure") << QByteArray("-5") << false;
}

void TestMemoryBudget::testSwitchReplacesTheSystemFigure()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, replaces);
    // Linux has /proc/meminfo: a figure read from it, not "no limit known".
    const qint64 system = MemoryBudget::availableBytes();
    QVERIFY(system > 0 && system < std::numeric_limits<qint64>::max());
    qputenv("SCRIVLET_TEST_AVAILABLE_MEMORY", value);
    const auto unset = qScopeGuard([] { qunsetenv("SCRIVLET_TEST_AVAILABLE_MEMORY"); });
    if (replaces)
        QCOMPARE(MemoryBudget::availableBytes(), value.toLongLong());
    else
        QVERIFY(MemoryBudget::availableBytes() > 0);
}

SCRIVLET_TEST_MAIN(TestMemoryBudget)
#include "tst_MemoryBudget.moc"
