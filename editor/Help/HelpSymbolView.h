#pragma once

#include "HelpIcons.h"
#include "HelpStyle.h"

#include <QWidget>

// A decorative symbol of the page, drawn on every paint so it follows the palette and the screen.
class HelpSymbolView : public QWidget
{
    Q_OBJECT

public:
    HelpSymbolView(
        HelpIcons::Symbol symbol, int size, HelpStyle::Tone tone, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    HelpIcons::Symbol m_symbol;
    HelpStyle::Tone m_tone;
};
