#pragma once

#include <QComboBox>

// The font family picker of the Settings window. On Linux Qt names a combo box after the entry
// it shows, so a screen reader heard "Noto Mono" where it should hear "Font:"; this one keeps the
// name of its label and offers the chosen family as its text (and value) instead.
class FontPicker : public QComboBox
{
    Q_OBJECT

public:
    explicit FontPicker(QWidget *parent = nullptr);

    // The family shown: the chosen one, else the note shown when none is chosen.
    QString shownText() const;

private:
    void announceShownText();

    QString m_announcedText;
};
