#pragma once

#include "EditorColorPanel.h"
#include "FileAssociationsManager.h"

#include <QPalette>
#include <QPointer>
#include <QStringList>
#include <QWidget>

class ColorWell;
class DefaultFileTypesSection;
class FontPicker;
class QButtonGroup;
class QCheckBox;
class QFormLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;
class Settings;

// The content of the Settings window. Every control edits its setting in place (there is no
// Save or Cancel): a change reaches every open document window at once, and a change made
// elsewhere (the View menu, Reset to Defaults) moves the control.
class PreferencesView : public QWidget
{
    Q_OBJECT

public:
    static constexpr QSize minimumViewSize {420, 600};
    static constexpr QSize idealViewSize {480, 850};
    static constexpr int maximumViewWidth = 600;

    // The view owns its own file-associations manager (with `registerHandler`, or the desktop
    // registration when empty) and installs it as the settings' extension reset handler.
    explicit PreferencesView(Settings &settings,
        FileAssociationsManager::RegisterHandler registerHandler = {}, QWidget *parent = nullptr);
    ~PreferencesView() override;

    // The installed font families in code-point order, upper case before lower case.
    static QStringList availableFontFamilies();

    // The palette document windows draw with under the stored appearance ("light", "dark",
    // anything else the desktop's). A colour well whose setting is empty or unreadable shows
    // this palette's text or base colour: what the editor shows, not what this window shows.
    QPalette editorPalette() const;
    QColor resolveInEditorAppearance(QPalette::ColorRole role) const;

    FileAssociationsManager *fileAssociations() const { return m_fileAssociations; }
    DefaultFileTypesSection *fileTypes() const { return m_fileTypes; }
    EditorColorPanel *colorPanel() const { return m_colorPanel; }

    // Row 16, the file-manager extension pane, arrives with its own feature: the view takes the
    // pane, shows it under the "File Manager Extension" heading, and keeps that section hidden
    // until a pane is set. nullptr removes the pane.
    void setFinderExtensionPane(QWidget *pane);
    QWidget *finderExtensionPane() const { return m_finderExtensionPane; }

    // The window opens with the keyboard on the first row, the font picker.
    void focusFirstControl();

    QSize sizeHint() const override { return idealViewSize; }

protected:
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void addFontRows(QFormLayout *form);
    void addAppearanceRow(QFormLayout *form);
    void addColorRows(QFormLayout *form);
    void addToggleRows(QFormLayout *form);
    void addFileTypesSection(QVBoxLayout *layout);
    void addFinderExtensionSection(QVBoxLayout *layout);
    void addResetRow(QVBoxLayout *layout);
    void placeResetLastInTabOrder(QWidget *pane);
    void showSettings();
    void showAppearance();
    void showColors();
    void storePickedColor(EditorColorPanel::Target target, const QColor &color);

    Settings &m_settings;
    FileAssociationsManager *m_fileAssociations = nullptr;
    EditorColorPanel *m_colorPanel = nullptr;
    FontPicker *m_fontPicker = nullptr;
    QCheckBox *m_bold = nullptr;
    QButtonGroup *m_appearance = nullptr;
    ColorWell *m_textColorWell = nullptr;
    ColorWell *m_backgroundColorWell = nullptr;
    QCheckBox *m_showLineNumbers = nullptr;
    QCheckBox *m_reopenDocuments = nullptr;
    DefaultFileTypesSection *m_fileTypes = nullptr;
    QWidget *m_finderExtensionSection = nullptr;
    QVBoxLayout *m_finderExtensionLayout = nullptr;
    QPointer<QWidget> m_finderExtensionPane;
    QPushButton *m_reset = nullptr;
};
