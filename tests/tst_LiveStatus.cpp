#include "LiveStatus.h"
#include "TestEnvironment.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

class TestLiveStatus : public QObject
{
    Q_OBJECT

private slots:
    void readersAreToldOnceTheTextHolds_data();
    void readersAreToldOnceTheTextHolds();
};

void TestLiveStatus::readersAreToldOnceTheTextHolds_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QStringList>("told");
    QTest::addColumn<bool>("shown");
    QTest::addRow("the first text at once")
        << QStringList {u"3 of 5"_s} << QStringList {u"3 of 5"_s} << true;
    QTest::addRow("a search typed letter by letter, once with its last count")
        << QStringList {u"No search results"_s, u"1 of 9"_s, u"1 of 4"_s, u"1 of 2"_s}
        << QStringList {u"No search results"_s, u"1 of 2"_s} << true;
    QTest::addRow("a change undone before it holds, nothing")
        << QStringList {u"1 of 2"_s, u"Searching"_s, u"1 of 2"_s} << QStringList {u"1 of 2"_s}
        << true;
    QTest::addRow("the same text again, nothing")
        << QStringList {u"1 of 2"_s, u"1 of 2"_s} << QStringList {u"1 of 2"_s} << true;
    QTest::addRow("while hidden, every change at once")
        << QStringList {u"0 characters"_s, u"9 characters"_s}
        << QStringList {u"0 characters"_s, u"9 characters"_s} << false;
}

// What a screen reader is told: the owner's name and text (a status bar), and a signal for each
// announcement; a burst of changes is one announcement, of the value that held.
void TestLiveStatus::readersAreToldOnceTheTextHolds()
{
    QFETCH(QStringList, texts);
    QFETCH(QStringList, told);
    QFETCH(bool, shown);
    QLabel owner;
    auto *status = new LiveStatus(&owner, 20);
    owner.setVisible(shown);
    QSignalSpy published(status, &LiveStatus::published);
    for (const QString &text : texts)
        status->setText(text);
    QCOMPARE(published.size(), shown ? 1 : told.size());
    QTRY_COMPARE(published.size(), told.size());
    // Long enough for a late announcement to arrive, were there one.
    QTest::qWait(100);
    QStringList heard;
    for (const QList<QVariant> &arguments : published)
        heard << arguments.constFirst().toString();
    QCOMPARE(heard, told);
    QCOMPARE(owner.accessibleName(), told.constLast());
    QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(&owner);
    QVERIFY(reader);
    QCOMPARE(reader->role(), QAccessible::StatusBar);
    QVERIFY(reader->textInterface());
    QCOMPARE(reader->textInterface()->text(0, reader->textInterface()->characterCount()),
        told.constLast());
}

SCRIVLET_TEST_MAIN(TestLiveStatus)
#include "tst_LiveStatus.moc"
