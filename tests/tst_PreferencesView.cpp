#include "AddExtensionDialog.h"
#include "AppearancePalette.h"
#include "CodePointOrder.h"
#include "ColorWell.h"
#include "ContentView.h"
#include "DefaultFileTypesSection.h"
#include "DocumentWindow.h"
#include "EditorColorPanel.h"
#include "LineNumberGutter.h"
#include "PreferencesView.h"
#include "PreferencesWindowController.h"
#include "ScriptedPrompts.h"
#include "ScrivletTextView.h"
#include "Settings.h"
#include "TestEnvironment.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>

#include <memory>

class TestPreferencesView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rowsCarryLabelsIdentifiersAndHints_data();
    void rowsCarryLabelsIdentifiersAndHints();
    void controlsAndEveryWindowFollowEachOther();
    void sizeFieldClampsOnReturn_data();
    void sizeFieldClampsOnReturn();
    void stepperStaysWithinTheRange();
    void storedValuesWithoutAMatchingChoiceSelectNothing();
    void colorWellsShowWhatTheEditorDraws_data();
    void colorWellsShowWhatTheEditorDraws();
    void pickingStoresTheColorAndNamesThePanel();
    void colorPanelPlacement_data();
    void colorPanelPlacement();
    void addDialogCleansWhatWasTyped_data();
    void addDialogCleansWhatWasTyped();
    void addDialogAnswersOnlyWithAdd();
    void removeButtonFollowsTheRules();
    void removingKeepsTheFocusInTheList_data();
    void removingKeepsTheFocusInTheList();
    void resetToDefaultsAsksFirst_data();
    void resetToDefaultsAsksFirst();
    void systemAppearanceFollowsTheDesktopScheme();
    void windowIsReusedWhileOpenAndRebuiltAfterClosing();
    void windowFitsTheScreen_data();
    void windowFitsTheScreen();
    void escapeClosesTheWindowAfterAnOpenList();

private:
    std::unique_ptr<PreferencesView> makeView();
    template<typename T> static T *find(QWidget *view, const char *identifier)
    {
        T *widget = view->findChild<T *>(
            QStringLiteral("scrivlet.preferences.") + QLatin1String(identifier));
        if (!widget)
            qFatal("no control %s", identifier);
        return widget;
    }
    std::unique_ptr<DocumentWindow> makeWindow();

    QTemporaryDir m_folder;
    std::unique_ptr<Settings> m_settings;
    QList<FileContentType> m_registered;
};

void TestPreferencesView::init()
{
    QFile::remove(m_folder.filePath(u"settings.conf"_qs));
    m_settings = std::make_unique<Settings>(m_folder.filePath(u"settings.conf"_qs));
    m_registered.clear();
}

void TestPreferencesView::cleanup()
{
    m_settings.reset();
}

std::unique_ptr<PreferencesView> TestPreferencesView::makeView()
{
    auto view = std::make_unique<PreferencesView>(*m_settings,
        [this](const QString &, const FileContentType &type) { m_registered.append(type); });
    view->fileTypes()->setExtensionPrompt([](QWidget *) { return std::optional<QString>(); });
    return view;
}

std::unique_ptr<DocumentWindow> TestPreferencesView::makeWindow()
{
    auto window = std::make_unique<DocumentWindow>(*m_settings);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->show();
    return window;
}

void TestPreferencesView::rowsCarryLabelsIdentifiersAndHints_data()
{
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("hint");
    QTest::addRow("font") << u"fontPicker"_qs << u"Font:"_qs << QString()
                          << u"Choose the font family for the editor"_qs;
    QTest::addRow("size") << u"fontSizeField"_qs << QString() << u"Font size"_qs
                          << u"Enter a font size between 8 and 72"_qs;
    QTest::addRow("stepper") << u"fontSizeStepper"_qs << QString() << u"Adjust font size"_qs
                             << u"Increment or decrement the font size"_qs;
    QTest::addRow("bold") << u"fontBold"_qs << QString() << QString()
                          << u"Toggle bold styling for the editor font"_qs;
    QTest::addRow("appearance") << u"appearancePicker"_qs << u"Appearance:"_qs << QString()
                                << u"Choose light, dark, or system appearance"_qs;
    QTest::addRow("text colour") << u"editorTextColor"_qs << u"Text Color:"_qs << QString()
                                 << u"Choose the text color for the editor"_qs;
    QTest::addRow("background") << u"editorBackgroundColor"_qs << u"Background:"_qs << QString()
                                << u"Choose the background color for the editor"_qs;
    QTest::addRow("line numbers") << u"showLineNumbers"_qs << QString() << QString()
                                  << u"Show or hide line numbers in the gutter"_qs;
    QTest::addRow("reopen") << u"reopenDocuments"_qs << QString() << QString()
                            << u"Restore previously open documents when Scrivlet launches"_qs;
    QTest::addRow("add") << u"fileAssociationsAdd"_qs << QString() << u"Add file extension"_qs
                         << QString();
    QTest::addRow("remove") << u"fileAssociationsRemove"_qs << QString()
                            << u"Remove file extension"_qs << QString();
}

void TestPreferencesView::rowsCarryLabelsIdentifiersAndHints()
{
    QFETCH(QString, identifier);
    QFETCH(QString, label);
    QFETCH(QString, name);
    QFETCH(QString, hint);
    const auto view = makeView();
    QWidget *control = find<QWidget>(view.get(), identifier.toLatin1().constData());
    if (!label.isEmpty()) {
        auto *form = view->findChild<QFormLayout *>();
        auto *labelWidget = qobject_cast<QLabel *>(form->labelForField(control));
        QVERIFY(labelWidget);
        QCOMPARE(labelWidget->text(), label);
    }
    if (!name.isEmpty())
        QCOMPARE(control->accessibleName(), name);
    QCOMPARE(control->accessibleDescription(), hint);
}

void TestPreferencesView::controlsAndEveryWindowFollowEachOther()
{
    const auto first = makeWindow();
    const auto second = makeWindow();
    const auto view = makeView();
    const auto views = {first->contentView()->textView(), second->contentView()->textView()};

    auto *picker = find<QComboBox>(view.get(), "fontPicker");
    QTest::keyClick(picker, Qt::Key_Down);
    QVERIFY(picker->currentIndex() >= 0);
    for (ScrivletTextView *text : views)
        QCOMPARE(text->font().family(), picker->currentText());
    m_settings->setFontFamily(picker->itemText(picker->count() - 1));
    QCOMPARE(picker->currentIndex(), picker->count() - 1);

    QTest::keyClick(find<QWidget>(view.get(), "fontSizeStepper"), Qt::Key_Up);
    for (ScrivletTextView *text : views)
        QCOMPARE(text->font().pointSize(), 14);
    m_settings->setFontSize(20); // the View menu
    QCOMPARE(find<QLineEdit>(view.get(), "fontSizeField")->text(), u"20"_qs);

    find<QCheckBox>(view.get(), "fontBold")->click();
    for (ScrivletTextView *text : views)
        QVERIFY(text->font().bold());
    m_settings->setFontBold(false);
    QVERIFY(!find<QCheckBox>(view.get(), "fontBold")->isChecked());

    find<QRadioButton>(view.get(), "appearancePicker.dark")->click();
    for (const auto &window : {first.get(), second.get()})
        QVERIFY(window->palette().color(QPalette::Window).lightness() < 128);
    m_settings->setAppearanceMode(u"light"_qs);
    QVERIFY(find<QRadioButton>(view.get(), "appearancePicker.light")->isChecked());

    find<QCheckBox>(view.get(), "showLineNumbers")->click();
    for (ScrivletTextView *text : views)
        QVERIFY(!text->gutter()->showLineNumbers());
    m_settings->setShowLineNumbers(true);
    QVERIFY(find<QCheckBox>(view.get(), "showLineNumbers")->isChecked());

    find<QCheckBox>(view.get(), "reopenDocuments")->click();
    QVERIFY(!m_settings->reopenDocumentsOnLaunch());
    m_settings->setReopenDocumentsOnLaunch(true);
    QVERIFY(find<QCheckBox>(view.get(), "reopenDocuments")->isChecked());

    m_settings->setEditorTextColor(u"#112233"_qs);
    QCOMPARE(find<ColorWell>(view.get(), "editorTextColor")->color(), QColor(0x11, 0x22, 0x33));
    for (ScrivletTextView *text : views)
        QCOMPARE(text->palette().color(QPalette::Text), QColor(0x11, 0x22, 0x33));
}

void TestPreferencesView::sizeFieldClampsOnReturn_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<qint64>("stored");
    QTest::addRow("above the range") << u"100"_qs << qint64(72);
    QTest::addRow("below the range") << u"5"_qs << qint64(8);
    QTest::addRow("inside") << u"30"_qs << qint64(30);
    QTest::addRow("not a number") << u"big"_qs << qint64(13);
    QTest::addRow("not an integer") << u"12.5"_qs << qint64(13);
}

void TestPreferencesView::sizeFieldClampsOnReturn()
{
    QFETCH(QString, typed);
    QFETCH(qint64, stored);
    const auto view = makeView();
    auto *field = find<QLineEdit>(view.get(), "fontSizeField");
    field->selectAll();
    QTest::keyClicks(field, typed);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(m_settings->fontSize(), stored);
    QCOMPARE(field->text(), QString::number(stored));
}

void TestPreferencesView::stepperStaysWithinTheRange()
{
    const auto view = makeView();
    auto *stepper = find<QAbstractSpinBox>(view.get(), "fontSizeStepper");
    m_settings->setFontSize(72);
    stepper->stepUp();
    QCOMPARE(m_settings->fontSize(), 72);
    m_settings->setFontSize(8);
    stepper->stepDown();
    QCOMPARE(m_settings->fontSize(), 8);
    m_settings->setFontSize(100);
    stepper->stepDown();
    QCOMPARE(m_settings->fontSize(), 71);
}

void TestPreferencesView::storedValuesWithoutAMatchingChoiceSelectNothing()
{
    m_settings->setFontFamily(u"No Such Family 1234"_qs);
    m_settings->setAppearanceMode(u"dark"_qs);
    const auto view = makeView();
    QCOMPARE(find<QComboBox>(view.get(), "fontPicker")->currentIndex(), -1);
    QVERIFY(find<QRadioButton>(view.get(), "appearancePicker.dark")->isChecked());
    m_settings->setAppearanceMode(u"Dark"_qs);
    for (QRadioButton *button :
        find<QWidget>(view.get(), "appearancePicker")->findChildren<QRadioButton *>())
        QVERIFY(!button->isChecked());
    const QStringList families = PreferencesView::availableFontFamilies();
    for (qsizetype i = 1; i < families.size(); ++i)
        QVERIFY(codePointLess(families.at(i - 1), families.at(i)));
}

void TestPreferencesView::colorWellsShowWhatTheEditorDraws_data()
{
    QTest::addColumn<QString>("appearance");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected"); // -1 dark shade, -2 light shade, else an RGB value
    QTest::addRow("empty under dark") << u"dark"_qs << QString() << -2;
    QTest::addRow("empty under light") << u"light"_qs << QString() << -1;
    QTest::addRow("lower-case hex") << u"dark"_qs << u"#ff8800"_qs << 0xFF8800;
    QTest::addRow("not a colour under dark") << u"dark"_qs << u"orange"_qs << -2;
}

// The text well: under "dark" with no colour stored it shows the dark editor's near-white text,
// whatever this window's own palette.
void TestPreferencesView::colorWellsShowWhatTheEditorDraws()
{
    QFETCH(QString, appearance);
    QFETCH(QString, stored);
    QFETCH(int, expected);
    m_settings->setAppearanceMode(appearance);
    m_settings->setEditorTextColor(stored);
    const auto view = makeView();
    const QColor shown = find<ColorWell>(view.get(), "editorTextColor")->color();
    if (expected == -1)
        QVERIFY(shown.lightness() < 64);
    else if (expected == -2)
        QVERIFY(shown.lightness() > 192);
    else
        QCOMPARE(shown.rgb() & 0xFFFFFF, QRgb(expected));
}

void TestPreferencesView::pickingStoresTheColorAndNamesThePanel()
{
    PreferencesWindowController controller(*m_settings);
    controller.showPreferences();
    QWidget *window = controller.window();
    find<ColorWell>(window, "editorBackgroundColor")->click();
    QColorDialog *dialog = controller.view()->colorPanel()->dialog();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), EditorColorPanel::editorColorTitle);
    dialog->setCurrentColor(QColor(0, 0, 0, 100)); // opacity is dropped
    QCOMPARE(m_settings->editorBackgroundColor(), u"#000000"_qs);
    QCOMPARE(dialog->windowTitle(), EditorColorPanel::backgroundColorTitle);
    QCOMPARE(m_settings->editorTextColor(), QString());
    const QPointer<QColorDialog> guard(dialog);
    window->close();
    QVERIFY(!guard || !guard->isVisible());
}

void TestPreferencesView::colorPanelPlacement_data()
{
    QTest::addColumn<QRect>("panel");
    QTest::addColumn<QPoint>("expected"); // (-1, -1): left where it is
    // The window spans x 100..580, y 100..800; the screen's free area is 0,30 1280x870.
    QTest::addRow("beside the window") << QRect(0, 0, 300, 400) << QPoint(592, 250);
    QTest::addRow("already beside") << QRect(600, 300, 300, 400) << QPoint(-1, -1);
    QTest::addRow("too high to be beside") << QRect(600, 50, 300, 400) << QPoint(592, 250);
    QTest::addRow("pulled back at the right") << QRect(0, 0, 900, 400) << QPoint(380, 250);
    QTest::addRow("taller than the screen") << QRect(0, 0, 300, 1000) << QPoint(592, -100);
}

void TestPreferencesView::colorPanelPlacement()
{
    QFETCH(QRect, panel);
    QFETCH(QPoint, expected);
    const auto origin = EditorColorPanel::placementBeside(
        QRect(100, 100, 480, 700), panel, QRect(0, 30, 1280, 870));
    QCOMPARE(origin.value_or(QPoint(-1, -1)), expected);
}

void TestPreferencesView::addDialogCleansWhatWasTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("rows");
    const QStringList unchanged {u".text"_qs, u".txt"_qs};
    QTest::addRow("dot, spaces, upper case")
        << u" .MD "_qs << QStringList {u".md"_qs, u".text"_qs, u".txt"_qs};
    QTest::addRow("inner space") << u"m d"_qs << unchanged;
    QTest::addRow("inner dot") << u"tar.gz"_qs << unchanged;
    QTest::addRow("non-ASCII") << u"é"_qs << unchanged;
    QTest::addRow("listed in another case") << u"TXT"_qs << unchanged;
}

void TestPreferencesView::addDialogCleansWhatWasTyped()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, rows);
    const auto view = makeView();
    view->fileTypes()->setExtensionPrompt([typed](QWidget *) { return std::optional(typed); });
    find<QToolButton>(view.get(), "fileAssociationsAdd")->click();
    QStringList shown;
    auto *list = find<QListWidget>(view.get(), "fileAssociationsList");
    for (int i = 0; i < list->count(); ++i)
        shown.append(list->item(i)->text());
    QCOMPARE(shown, rows);
    QCOMPARE(m_registered.size(), rows.size() == 3 ? 1 : 0);
}

void TestPreferencesView::addDialogAnswersOnlyWithAdd()
{
    for (const bool add : {true, false}) {
        AddExtensionDialog dialog;
        QCOMPARE(dialog.field()->placeholderText(), u"txt"_qs);
        dialog.open();
        QTest::keyClicks(dialog.field(), u"md"_qs);
        const QString button = add ? u"Add"_qs : u"Cancel"_qs;
        for (QPushButton *candidate : dialog.findChildren<QPushButton *>()) {
            if (candidate->text() == button)
                candidate->click();
        }
        QCOMPARE(dialog.result(), add ? QDialog::Accepted : QDialog::Rejected);
    }
}

void TestPreferencesView::removeButtonFollowsTheRules()
{
    const auto view = makeView();
    auto *list = find<QListWidget>(view.get(), "fileAssociationsList");
    auto *remove = find<QToolButton>(view.get(), "fileAssociationsRemove");
    QVERIFY(!remove->isEnabled()); // nothing selected
    list->item(1)->setSelected(true); // ".txt"
    QVERIFY(remove->isEnabled());
    remove->click();
    QCOMPARE(list->count(), 1);
    QCOMPARE(list->item(0)->text(), u".text"_qs);
    QCOMPARE(view->fileTypes()->selectedExtension().value_or(QString()), u"text"_qs);
    QVERIFY(!remove->isEnabled()); // the last one stays
    QVERIFY(m_registered.isEmpty());
}

void TestPreferencesView::removingKeepsTheFocusInTheList_data()
{
    QTest::addColumn<int>("removedRow");
    QTest::addColumn<QString>("selectedAfter");
    QTest::addRow("first row: the next one") << 0 << u"md"_qs;
    QTest::addRow("middle row: the next one") << 1 << u"txt"_qs;
    QTest::addRow("last row: the new last one") << 2 << u"md"_qs;
}

// Space on the focused "−" removes the extension; the focus must not move on to Reset to
// Defaults, where a second Space would reset every setting.
void TestPreferencesView::removingKeepsTheFocusInTheList()
{
    QFETCH(int, removedRow);
    QFETCH(QString, selectedAfter);
    m_settings->setFileExtensions({u"c"_qs, u"md"_qs, u"txt"_qs});
    const auto view = makeView();
    view->show();
    QVERIFY(QTest::qWaitForWindowActive(view.get()));
    auto *list = find<QListWidget>(view.get(), "fileAssociationsList");
    auto *remove = find<QToolButton>(view.get(), "fileAssociationsRemove");
    list->setCurrentRow(removedRow);
    remove->setFocus(Qt::TabFocusReason);
    QTest::keyClick(remove, Qt::Key_Space);
    QCOMPARE(list->count(), 2);
    QCOMPARE(QApplication::focusWidget(), list);
    QCOMPARE(view->fileTypes()->selectedExtension().value_or(QString()), selectedAfter);
    QCOMPARE(list->currentItem()->data(Qt::UserRole).toString(), selectedAfter);
}

void TestPreferencesView::resetToDefaultsAsksFirst_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addRow("Reset") << true;
    QTest::addRow("Cancel") << false;
}

void TestPreferencesView::resetToDefaultsAsksFirst()
{
    QFETCH(bool, answer);
    ScriptedPrompts prompts;
    prompts.resetSettings = answer;
    m_settings->setFileExtensions({u"c"_qs, u"md"_qs});
    m_settings->setShowStatusBar(false);
    m_settings->setFontSize(30);
    m_settings->setAppearanceMode(u"dark"_qs);
    m_settings->setEditorTextColor(u"#FF0000"_qs);
    const auto view = makeView();
    find<QPushButton>(view.get(), "resetToDefaults")->click();
    QCOMPARE(prompts.resetQuestions, 1);
    const QStringList extensions
        = answer ? QStringList {u"text"_qs, u"txt"_qs} : QStringList {u"c"_qs, u"md"_qs};
    QCOMPARE(m_settings->fileExtensions(), extensions);
    QCOMPARE(find<QListWidget>(view.get(), "fileAssociationsList")->count(), 2);
    QCOMPARE(find<QLineEdit>(view.get(), "fontSizeField")->text(), answer ? u"13"_qs : u"30"_qs);
    QCOMPARE(find<QRadioButton>(view.get(), "appearancePicker.system")->isChecked(), answer);
    QCOMPARE(find<ColorWell>(view.get(), "editorTextColor")->color(),
        answer ? QApplication::palette().color(QPalette::Text) : QColor(0xFF, 0, 0));
    QVERIFY(!m_settings->showStatusBar());
    QVERIFY(m_registered.isEmpty());
}

namespace {

// Stands in for a platform theme whose light or dark scheme the user switches while we run.
class SwitchableStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    QPalette standardPalette() const override
    {
        return AppearancePalette::forScheme(dark ? ColorScheme::Dark : ColorScheme::Light);
    }
    bool dark = false;
};

} // namespace

// A desktop switch between light and dark arrives as a theme change; windows and colour wells
// that follow the system take the new colours at once.
void TestPreferencesView::systemAppearanceFollowsTheDesktopScheme()
{
    auto *style = new SwitchableStyle(u"Fusion"_qs);
    QApplication::setStyle(style);
    const auto window = makeWindow();
    const auto view = makeView();
    ScrivletTextView *text = window->contentView()->textView();
    QCOMPARE(text->palette().color(QPalette::Base), QColor(Qt::white));
    style->dark = true;
    QEvent change(QEvent::ThemeChange);
    QApplication::sendEvent(window.get(), &change);
    QTRY_VERIFY(text->palette().color(QPalette::Base).lightness() < 64);
    QVERIFY(find<ColorWell>(view.get(), "editorTextColor")->color().lightness() > 192);
    QApplication::setPalette(QPalette());
    QApplication::setStyle(u"Fusion"_qs);
}

void TestPreferencesView::windowIsReusedWhileOpenAndRebuiltAfterClosing()
{
    PreferencesWindowController controller(*m_settings);
    controller.showPreferences();
    const QPointer<QWidget> first = controller.window();
    QCOMPARE(first->windowTitle(), u"Scrivlet Settings"_qs);
    const QSize available = first->screen()->availableGeometry().size();
    QCOMPARE(first->size(), PreferencesWindowController::fittedSize(available));
    QCOMPARE(first->minimumSize(), QSize(420, 500).boundedTo(first->size()));
    controller.showPreferences();
    QCOMPARE(controller.window(), first.data());
    first->close();
    controller.showPreferences();
    QVERIFY(controller.window() != first.data());
    QVERIFY(controller.window()->isVisible());
    QTRY_VERIFY(!first);

    // The file-manager extension pane, when there is one, is built into each new window.
    QVERIFY(!controller.view()->finderExtensionPane());
    controller.setFinderExtensionPaneFactory([] { return new QLabel(u"pane"_qs); });
    QVERIFY(controller.view()->finderExtensionPane());
    QVERIFY(controller.view()->finderExtensionPane()->isVisible());
}

void TestPreferencesView::windowFitsTheScreen_data()
{
    QTest::addColumn<QSize>("available");
    QTest::addColumn<QSize>("expected");
    QTest::addRow("1280 × 1024") << QSize(1280, 1024) << QSize(480, 700);
    // What a 1280 × 1024 screen offers at 1.5 × scale, less a 30 px panel.
    QTest::addRow("1.5 × scale") << QSize(853, 663) << QSize(480, 623);
    QTest::addRow("exactly room") << QSize(480, 740) << QSize(480, 700);
    QTest::addRow("narrow and low") << QSize(400, 300) << QSize(400, 260);
}

void TestPreferencesView::windowFitsTheScreen()
{
    QFETCH(QSize, available);
    QFETCH(QSize, expected);
    QCOMPARE(PreferencesWindowController::fittedSize(available), expected);
}

// An open list takes Escape first; the next one closes the window, as in a dialog.
void TestPreferencesView::escapeClosesTheWindowAfterAnOpenList()
{
    PreferencesWindowController controller(*m_settings);
    controller.showPreferences();
    const QPointer<QWidget> window = controller.window();
    QVERIFY(QTest::qWaitForWindowActive(window));
    auto *fonts = window->findChild<QComboBox *>(u"scrivlet.preferences.fontPicker"_qs);
    QVERIFY(fonts);
    fonts->setFocus();
    fonts->showPopup();
    QTRY_VERIFY(fonts->view()->isVisible());
    QTest::keyClick(fonts->view(), Qt::Key_Escape);
    QTRY_VERIFY(!fonts->view()->isVisible());
    QVERIFY(window->isVisible());
    QTest::keyClick(fonts, Qt::Key_Escape);
    QTRY_VERIFY(!window);
}

SCRIVLET_TEST_MAIN(TestPreferencesView)
#include "tst_PreferencesView.moc"
