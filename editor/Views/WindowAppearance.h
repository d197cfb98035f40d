#pragma once

#include <QObject>
#include <QString>

class QWidget;
class Settings;

// Carries the appearance setting from the document windows to every other window of the
// program: the find panel, Help, Settings, the colour panel, alerts and menus. "light" and "dark"
// give them the palette the document windows take; anything else leaves them the application
// palette, which follows the desktop. A window takes it as it is shown (before it is mapped), and
// a change of the setting reaches every window at once, hidden ones too.
class WindowAppearance : public QObject
{
    Q_OBJECT

public:
    // Starts following `settings` for as long as it lives; later calls for it do nothing.
    static void follow(Settings &settings);

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit WindowAppearance(Settings &settings);
    void applyToAllWindows();
    void apply(QWidget *window) const;

    Settings &m_settings;
    QString m_appearance;
};
