#include "HelpSymbolView.h"

#include <QPainter>

HelpSymbolView::HelpSymbolView(
    HelpIcons::Symbol symbol, int size, HelpStyle::Tone tone, QWidget *parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_tone(tone)
{
    setFixedSize(size, size);
}

void HelpSymbolView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    HelpIcons::paint(
        painter, m_symbol, width(), HelpStyle::color(palette(), m_tone, backgroundRole()));
}
