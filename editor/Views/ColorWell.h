#pragma once

#include <QColor>
#include <QPushButton>

// A button that shows a colour as a swatch; clicking it asks for the colour panel.
class ColorWell : public QPushButton
{
    Q_OBJECT

public:
    explicit ColorWell(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    // The colour as a screen reader speaks it: "#RRGGBB".
    QString colorText() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
};
