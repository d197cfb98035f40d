#include "PreferencesView.h"

#include "AppearanceMode.h"
#include "AppearancePalette.h"
#include "CodePointOrder.h"
#include "ColorHex.h"
#include "ColorWell.h"
#include "DefaultFileTypesSection.h"
#include "DesktopColorScheme.h"
#include "FontPicker.h"
#include "FontSizeEditor.h"
#include "Settings.h"
#include "UserPrompts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFontDatabase>
#include <QFormLayout>
#include <QFrame>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QFrame *makeDivider(QWidget *parent)
{
    auto *divider = new QFrame(parent);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    return divider;
}

QLabel *makeHeading(const QString &text, QWidget *parent)
{
    auto *heading = new QLabel(text, parent);
    QFont font = heading->font();
    font.setBold(true);
    heading->setFont(font);
    return heading;
}

QCheckBox *makeToggle(
    const QString &text, const QString &identifier, const QString &hint, QWidget *parent)
{
    auto *toggle = new QCheckBox(text, parent);
    toggle->setObjectName(identifier);
    toggle->setAccessibleDescription(hint);
    return toggle;
}

} // namespace

PreferencesView::PreferencesView(
    Settings &settings, FileAssociationsManager::RegisterHandler registerHandler, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_fileAssociations(new FileAssociationsManager(settings, std::move(registerHandler), this))
    , m_colorPanel(new EditorColorPanel(this))
{
    setObjectName(QStringLiteral("scrivlet.preferences"));
    DesktopColorScheme::follow();
    setMinimumSize(minimumViewSize);
    setMaximumWidth(maximumViewWidth);

    auto *form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    addFontRows(form);
    addAppearanceRow(form);
    addColorRows(form);
    addToggleRows(form);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->addLayout(form);
    addFileTypesSection(layout);
    addFinderExtensionSection(layout);
    addResetRow(layout);
    layout->addStretch(1);

    connect(&settings, &Settings::changed, this, &PreferencesView::showSettings);
    connect(m_colorPanel, &EditorColorPanel::colorPicked, this, &PreferencesView::storePickedColor);
    settings.setFileExtensionsResetHandler([manager = QPointer(m_fileAssociations), &settings] {
        if (manager)
            manager->resetToDefaults();
        else
            settings.setFileExtensions(Settings::defaultFileExtensions());
    });
    showSettings();
}

PreferencesView::~PreferencesView()
{
    m_settings.setFileExtensionsResetHandler({});
}

QStringList PreferencesView::availableFontFamilies()
{
    QStringList families = QFontDatabase::families();
    sortByCodePoint(families);
    return families;
}

QPalette PreferencesView::editorPalette() const
{
    return AppearancePalette::forScheme(colorSchemeForAppearance(m_settings.appearanceMode()));
}

QColor PreferencesView::resolveInEditorAppearance(QPalette::ColorRole role) const
{
    return editorPalette().color(QPalette::Active, role);
}

void PreferencesView::addFontRows(QFormLayout *form)
{
    m_fontPicker = new FontPicker(this);
    m_fontPicker->setObjectName(QStringLiteral("scrivlet.preferences.fontPicker"));
    m_fontPicker->setAccessibleDescription(tr("Choose the font family for the editor"));
    m_fontPicker->addItems(availableFontFamilies());
    m_fontPicker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_fontPicker->setMinimumContentsLength(22);
    connect(m_fontPicker, &QComboBox::activated, this,
        [this](int index) { m_settings.setFontFamily(m_fontPicker->itemText(index)); });
    form->addRow(tr("Font:"), m_fontPicker);

    form->addRow(tr("Size:"), new FontSizeEditor(m_settings, this));

    m_bold = makeToggle(tr("Bold"), QStringLiteral("scrivlet.preferences.fontBold"),
        tr("Toggle bold styling for the editor font"), this);
    connect(m_bold, &QCheckBox::clicked, this, [this](bool on) { m_settings.setFontBold(on); });
    form->addRow(QString(), m_bold);
}

void PreferencesView::addAppearanceRow(QFormLayout *form)
{
    auto *picker = new QWidget(this);
    picker->setObjectName(QStringLiteral("scrivlet.preferences.appearancePicker"));
    picker->setAccessibleName(tr("Appearance"));
    picker->setAccessibleDescription(tr("Choose light, dark, or system appearance"));
    auto *row = new QHBoxLayout(picker);
    row->setContentsMargins(0, 0, 0, 0);
    m_appearance = new QButtonGroup(picker);
    for (const AppearanceMode mode : allAppearanceModes) {
        auto *button = new QRadioButton(appearanceModeTitle(mode), picker);
        // The group takes no focus: the hint reaches a screen reader on the button that has it.
        button->setAccessibleDescription(picker->accessibleDescription());
        button->setObjectName(QStringLiteral("scrivlet.preferences.appearancePicker.")
            + appearanceModeRawValue(mode));
        m_appearance->addButton(button, int(mode));
        row->addWidget(button);
    }
    row->addStretch(1);
    connect(m_appearance, &QButtonGroup::idClicked, this, [this](int id) {
        m_settings.setAppearanceMode(appearanceModeRawValue(AppearanceMode(id)));
    });
    form->addRow(tr("Appearance:"), picker);
}

void PreferencesView::addColorRows(QFormLayout *form)
{
    const auto addWell = [&](const QString &label, const QString &identifier, const QString &hint,
                             EditorColorPanel::Target target) {
        auto *well = new ColorWell(this);
        well->setObjectName(identifier);
        well->setAccessibleDescription(hint);
        connect(well, &ColorWell::clicked, this,
            [this, well, target] { m_colorPanel->open(target, well->color()); });
        form->addRow(label, well);
        return well;
    };
    m_textColorWell
        = addWell(tr("Text Color:"), QStringLiteral("scrivlet.preferences.editorTextColor"),
            tr("Choose the text color for the editor"), EditorColorPanel::Target::Text);
    m_backgroundColorWell
        = addWell(tr("Background:"), QStringLiteral("scrivlet.preferences.editorBackgroundColor"),
            tr("Choose the background color for the editor"), EditorColorPanel::Target::Background);
}

void PreferencesView::addToggleRows(QFormLayout *form)
{
    m_showLineNumbers = makeToggle(tr("Show Line Numbers"),
        QStringLiteral("scrivlet.preferences.showLineNumbers"),
        tr("Show or hide line numbers in the gutter"), this);
    connect(m_showLineNumbers, &QCheckBox::clicked, this,
        [this](bool on) { m_settings.setShowLineNumbers(on); });
    form->addRow(QString(), m_showLineNumbers);

    m_reopenDocuments = makeToggle(tr("Reopen documents from last session"),
        QStringLiteral("scrivlet.preferences.reopenDocuments"),
        tr("Restore previously open documents when Scrivlet launches"), this);
    connect(m_reopenDocuments, &QCheckBox::clicked, this,
        [this](bool on) { m_settings.setReopenDocumentsOnLaunch(on); });
    form->addRow(QString(), m_reopenDocuments);
}

void PreferencesView::addFileTypesSection(QVBoxLayout *layout)
{
    layout->addWidget(makeDivider(this));
    layout->addWidget(makeHeading(tr("Default File Types"), this));
    m_fileTypes = new DefaultFileTypesSection(m_fileAssociations, this);
    layout->addWidget(m_fileTypes);
}

void PreferencesView::addFinderExtensionSection(QVBoxLayout *layout)
{
    m_finderExtensionSection = new QWidget(this);
    m_finderExtensionLayout = new QVBoxLayout(m_finderExtensionSection);
    m_finderExtensionLayout->setContentsMargins(0, 0, 0, 0);
    m_finderExtensionLayout->addWidget(makeDivider(m_finderExtensionSection));
    m_finderExtensionLayout->addWidget(
        makeHeading(tr("File Manager Extension"), m_finderExtensionSection));
    m_finderExtensionSection->hide();
    layout->addWidget(m_finderExtensionSection);
}

void PreferencesView::setFinderExtensionPane(QWidget *pane)
{
    if (pane == m_finderExtensionPane)
        return;
    delete m_finderExtensionPane;
    m_finderExtensionPane = pane;
    if (pane) {
        m_finderExtensionLayout->addWidget(pane);
        placeResetLastInTabOrder(pane);
    }
    m_finderExtensionSection->setVisible(pane != nullptr);
}

// A pane set after the form was built joins the Tab chain at its end, after Reset to Defaults;
// Tab follows the screen, so the button moves behind the pane's last control (setTabOrder()
// ignores a widget that takes no focus).
void PreferencesView::placeResetLastInTabOrder(QWidget *pane)
{
    QWidget *last = nullptr;
    for (QWidget *next = pane->nextInFocusChain(); next != pane; next = next->nextInFocusChain()) {
        if (pane->isAncestorOf(next) && (next->focusPolicy() & Qt::TabFocus))
            last = next;
    }
    if (last)
        QWidget::setTabOrder(last, m_reset);
}

void PreferencesView::focusFirstControl()
{
    m_fontPicker->setFocus(Qt::OtherFocusReason);
}

void PreferencesView::addResetRow(QVBoxLayout *layout)
{
    layout->addWidget(makeDivider(this));
    auto *reset = new QPushButton(tr("Reset to Defaults"), this);
    m_reset = reset;
    reset->setObjectName(QStringLiteral("scrivlet.preferences.resetToDefaults"));
    // One key press on a focused button must not wipe every setting: it asks first.
    connect(reset, &QPushButton::clicked, this, [this] {
        if (UserPrompts::current().confirmResetSettings(window()))
            m_settings.resetToDefaults();
    });
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(reset);
    layout->addLayout(row);
}

// Runs after every settings write; each control is only touched when it shows something else.
void PreferencesView::showSettings()
{
    const int fontIndex = m_fontPicker->findText(
        m_settings.fontFamily(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (m_fontPicker->currentIndex() != fontIndex)
        m_fontPicker->setCurrentIndex(fontIndex);
    // Nothing is selected for a family that is not installed; saying which one it is explains
    // why the editor shows a fallback font.
    if (fontIndex < 0)
        m_fontPicker->setPlaceholderText(tr("%1 (not installed)").arg(m_settings.fontFamily()));
    if (m_bold->isChecked() != m_settings.fontBold())
        m_bold->setChecked(m_settings.fontBold());
    if (m_showLineNumbers->isChecked() != m_settings.showLineNumbers())
        m_showLineNumbers->setChecked(m_settings.showLineNumbers());
    if (m_reopenDocuments->isChecked() != m_settings.reopenDocumentsOnLaunch())
        m_reopenDocuments->setChecked(m_settings.reopenDocumentsOnLaunch());
    showAppearance();
    showColors();
}

// A stored value that is none of the three modes leaves every button unchecked.
void PreferencesView::showAppearance()
{
    const std::optional<AppearanceMode> mode = appearanceModeFromRaw(m_settings.appearanceMode());
    const int id = mode ? int(*mode) : -1;
    if (m_appearance->checkedId() == id)
        return;
    if (mode) {
        m_appearance->button(id)->setChecked(true);
        return;
    }
    m_appearance->setExclusive(false);
    for (QAbstractButton *button : m_appearance->buttons())
        button->setChecked(false);
    m_appearance->setExclusive(true);
}

void PreferencesView::showColors()
{
    const auto wellColor = [this](const QString &stored, QPalette::ColorRole systemRole) {
        const std::optional<QColor> decoded = ColorHex::colorFromHex(stored);
        return decoded ? *decoded : resolveInEditorAppearance(systemRole);
    };
    m_textColorWell->setColor(wellColor(m_settings.editorTextColor(), QPalette::Text));
    m_backgroundColorWell->setColor(wellColor(m_settings.editorBackgroundColor(), QPalette::Base));
    m_colorPanel->followWell(EditorColorPanel::Target::Text, m_textColorWell->color());
    m_colorPanel->followWell(EditorColorPanel::Target::Background, m_backgroundColorWell->color());
}

// Opacity can be chosen in the dialog but is not stored: the setting holds red, green and blue.
void PreferencesView::storePickedColor(EditorColorPanel::Target target, const QColor &color)
{
    const QString hex = ColorHex::hexString(color);
    if (target == EditorColorPanel::Target::Text) {
        if (hex != m_settings.editorTextColor())
            m_settings.setEditorTextColor(hex);
    } else if (hex != m_settings.editorBackgroundColor()) {
        m_settings.setEditorBackgroundColor(hex);
    }
}

void PreferencesView::changeEvent(QEvent *event)
{
    // The desktop's colours changed: wells that show a system colour follow.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        showColors();
    QWidget::changeEvent(event);
}

void PreferencesView::hideEvent(QHideEvent *event)
{
    // A window that is minimised hides spontaneously and keeps its colour dialog.
    if (!event->spontaneous())
        m_colorPanel->close();
    QWidget::hideEvent(event);
}
