#include "AppearanceMode.h"
#include "AppearancePalette.h"
#include "Settings.h"
#include "TestEnvironment.h"
#include "WindowAppearance.h"

#include <QApplication>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

class TestWindowAppearance : public QObject
{
    Q_OBJECT

private slots:
    void everyWindowFollowsTheSetting_data();
    void everyWindowFollowsTheSetting();

private:
    QTemporaryDir m_folder;
};

void TestWindowAppearance::everyWindowFollowsTheSetting_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addRow("dark, then light") << u"dark"_s << u"light"_s;
    QTest::addRow("light, then dark") << u"light"_s << u"dark"_s;
    QTest::addRow("dark, then the desktop's") << u"dark"_s << u"system"_s;
    QTest::addRow("the desktop's, then dark") << u"system"_s << u"dark"_s;
}

// A window made before the change (hidden, like the kept Help window), one shown after it, and
// an alert all carry the palette the document windows take.
void TestWindowAppearance::everyWindowFollowsTheSetting()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFile::remove(m_folder.filePath(u"settings.conf"_s));
    Settings settings(m_folder.filePath(u"settings.conf"_s));
    settings.setAppearanceMode(first);
    WindowAppearance::follow(settings);
    WindowAppearance::follow(settings); // a second call adds nothing
    QCOMPARE(settings.findChildren<WindowAppearance *>().size(), 1);
    const auto expected = [](const QString &mode) {
        return AppearancePalette::forScheme(colorSchemeForAppearance(mode)).color(QPalette::Window);
    };

    QWidget kept;
    kept.show();
    QCOMPARE(kept.palette().color(QPalette::Window), expected(first));
    kept.hide();

    settings.setAppearanceMode(second);
    QCOMPARE(kept.palette().color(QPalette::Window), expected(second));
    QCOMPARE(kept.testAttribute(Qt::WA_SetPalette), second != u"system"_s);

    QWidget later;
    later.show();
    QCOMPARE(later.palette().color(QPalette::Window), expected(second));

    QColor alertColor;
    QMessageBox alert(QMessageBox::Warning, u"Scrivlet"_s, u"Question"_s, QMessageBox::Ok);
    QTimer::singleShot(0, &alert, [&] {
        alertColor = alert.palette().color(QPalette::Window);
        alert.accept();
    });
    alert.exec();
    QCOMPARE(alertColor, expected(second));
}

SCRIVLET_TEST_MAIN(TestWindowAppearance)
#include "tst_WindowAppearance.moc"
