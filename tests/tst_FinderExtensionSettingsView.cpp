#include "AuthorizedFolderList.h"
#include "BookmarkManager.h"
#include "ElidedLabel.h"
#include "FileManagerHooksPage.h"
#include "FinderExtensionSettingsView.h"
#include "TestEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

namespace {

const QString prefix = u"scrivlet.preferences.finderExtension."_qs;

} // namespace

class TestFinderExtensionSettingsView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void showsDefaultsAndTheExtensionState_data();
    void showsDefaultsAndTheExtensionState();
    void storesEditsAtOnce();
    void authorisesChosenFolders();
    void removesExactlyTheFolderOfItsRow();
    void unavailableStoreShowsDefaultsAndKeepsNothing();
    void hooksPageClosesFromTheKeyboard_data();
    void hooksPageClosesFromTheKeyboard();

private:
    template<typename T> T *child(const QString &name) const
    {
        return m_view->findChild<T *>(prefix + name);
    }
    QStringList rows() const;
    QString folder(const QString &name) const;
    void makeView(const QString &suitePath);

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<BookmarkManager> m_store;
    std::unique_ptr<FinderExtensionSettingsView> m_view;
    bool m_enabled = false;
    int m_managementPagesShown = 0;
    QStringList m_chosen;
};

void TestFinderExtensionSettingsView::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    m_enabled = false;
    m_managementPagesShown = 0;
    m_chosen.clear();
    makeView(m_root->path() + u"/config/group.conf"_qs);
}

void TestFinderExtensionSettingsView::makeView(const QString &suitePath)
{
    m_view.reset();
    m_store = std::make_unique<BookmarkManager>(suitePath);
    FinderExtensionSettingsView::Platform platform {
        [this] { return m_enabled; },
        [this] { ++m_managementPagesShown; },
        [this](QWidget *) { return m_chosen; },
    };
    m_view = std::make_unique<FinderExtensionSettingsView>(*m_store, platform);
    m_view->show();
}

QString TestFinderExtensionSettingsView::folder(const QString &name) const
{
    const QString path = m_root->path() + u'/' + name;
    QDir().mkpath(path);
    return path;
}

QStringList TestFinderExtensionSettingsView::rows() const
{
    QStringList paths;
    for (const ElidedLabel *label :
        child<AuthorizedFolderList>(u"folderList"_qs)->findChildren<ElidedLabel *>())
        paths.append(label->fullText());
    return paths;
}

void TestFinderExtensionSettingsView::showsDefaultsAndTheExtensionState_data()
{
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("status");
    QTest::addRow("disabled") << false << u"File-manager extension is not enabled"_qs;
    QTest::addRow("enabled") << true << u"File-manager extension is enabled"_qs;
}

void TestFinderExtensionSettingsView::showsDefaultsAndTheExtensionState()
{
    QFETCH(bool, enabled);
    m_enabled = enabled;
    m_view->hide();
    m_view->show(); // the state is asked again whenever the pane is shown
    QTEST(child<QLabel>(u"status"_qs)->text(), "status");
    QCOMPARE(child<QWidget>(u"statusDot"_qs)->accessibleName(),
        enabled ? u"Enabled"_qs : u"Not enabled"_qs);
    QCOMPARE(child<QLineEdit>(u"filename"_qs)->text(), u"Untitled.txt"_qs);
    QVERIFY(child<QCheckBox>(u"openAfterCreate"_qs)->isChecked());
    QCOMPARE(child<QLabel>(u"folderCount"_qs)->text(), u"0 folder(s) authorized"_qs);
    auto *settings = child<QPushButton>(u"openExtensionSettings"_qs);
    QCOMPARE(settings->text(), u"Open Extension Settings"_qs);
    settings->click();
    QCOMPARE(m_managementPagesShown, 1);
}

void TestFinderExtensionSettingsView::storesEditsAtOnce()
{
    auto *field = child<QLineEdit>(u"filename"_qs);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QCOMPARE(m_store->filename(), QString());
    QTest::keyClicks(field, u"Notes.md"_qs);
    QCOMPARE(m_store->filename(), u"Notes.md"_qs);
    child<QCheckBox>(u"openAfterCreate"_qs)->click();
    QVERIFY(!m_store->openAfterCreate());
}

void TestFinderExtensionSettingsView::authorisesChosenFolders()
{
    const QString a = folder(u"A"_qs), b = folder(u"B"_qs), c = folder(u"C"_qs);
    m_chosen = {a, b, c};
    child<QPushButton>(u"addFolder"_qs)->click();
    QCOMPARE(rows(), (QStringList {a, b, c}));
    QCOMPARE(child<QLabel>(u"folderCount"_qs)->text(), u"3 folder(s) authorized"_qs);

    // Again, with one that cannot be authorised: one row per folder, the missing one absent.
    m_chosen = {a, m_root->path() + u"/missing"_qs};
    m_view->addFolder();
    QCOMPARE(rows(), (QStringList {b, c, a}));

    m_chosen.clear(); // cancelled
    m_view->addFolder();
    QCOMPARE(rows(), (QStringList {b, c, a}));
}

void TestFinderExtensionSettingsView::removesExactlyTheFolderOfItsRow()
{
    const QString a = folder(u"A"_qs), b = folder(u"B"_qs), c = folder(u"C"_qs);
    m_chosen = {a, b, c};
    m_view->addFolder();
    child<AuthorizedFolderList>(u"folderList"_qs)->findChildren<QToolButton *>().at(1)->click();
    QTRY_COMPARE(rows(), (QStringList {a, c}));
    QCOMPARE(child<QLabel>(u"folderCount"_qs)->text(), u"2 folder(s) authorized"_qs);
    QCOMPARE(m_store->allBookmarkedUrls().size(), 2);
}

void TestFinderExtensionSettingsView::unavailableStoreShowsDefaultsAndKeepsNothing()
{
    QFile blocker(m_root->path() + u"/blocked"_qs);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    makeView(blocker.fileName() + u"/group.conf"_qs);
    auto *field = child<QLineEdit>(u"filename"_qs);
    QCOMPARE(field->text(), u"Untitled.txt"_qs);
    QTest::keyClicks(field, u"x"_qs);
    child<QCheckBox>(u"openAfterCreate"_qs)->click();
    m_view->hide();
    m_view->show();
    QCOMPARE(field->text(), u"Untitled.txt"_qs);
    QVERIFY(child<QCheckBox>(u"openAfterCreate"_qs)->isChecked());
}

SCRIVLET_TEST_MAIN(TestFinderExtensionSettingsView)
void TestFinderExtensionSettingsView::hooksPageClosesFromTheKeyboard_data()
{
    QTest::addColumn<QKeySequence>("keys");
    QTest::addRow("Escape") << QKeySequence(Qt::Key_Escape);
    QTest::addRow("Ctrl+W") << QKeySequence(QKeySequence::Close);
}

void TestFinderExtensionSettingsView::hooksPageClosesFromTheKeyboard()
{
    QFETCH(QKeySequence, keys);
    FileManagerHooksPage page;
    page.show();
    QVERIFY(QTest::qWaitForWindowActive(&page));
    QWidget *target = page.focusWidget() ? page.focusWidget() : &page;
    QTest::keySequence(target, keys);
    QVERIFY(!page.isVisible());
}

#include "tst_FinderExtensionSettingsView.moc"
