#include "ColorWell.h"

#include "ColorHex.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

namespace {

// A swatch says nothing to a screen reader: the colour is its value, and it leads the description
// before the hint ("#1E1E1E. Choose the text color for the editor").
class ColorWellAccessible : public QAccessibleWidget
{
public:
    explicit ColorWellAccessible(ColorWell *well)
        : QAccessibleWidget(well, QAccessible::Button)
    { }

    ColorWell *well() const { return static_cast<ColorWell *>(widget()); }

    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Value)
            return well()->colorText();
        if (type == QAccessible::Description) {
            const QString hint = QAccessibleWidget::text(type);
            return hint.isEmpty() ? well()->colorText()
                                  : well()->colorText() + QStringLiteral(". ") + hint;
        }
        return QAccessibleWidget::text(type);
    }

    QStringList actionNames() const override
    {
        return QStringList {pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &name) override
    {
        if (name == pressAction())
            well()->click();
        else
            QAccessibleWidget::doAction(name);
    }
};

QAccessibleInterface *createAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("ColorWell"))
        return new ColorWellAccessible(static_cast<ColorWell *>(object));
    return nullptr;
}

} // namespace

ColorWell::ColorWell(QWidget *parent)
    : QPushButton(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(createAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QString ColorWell::colorText() const
{
    return m_color.isValid() ? ColorHex::hexString(m_color) : tr("No color");
}

void ColorWell::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
    }
}

QSize ColorWell::sizeHint() const
{
    return {56, QPushButton::sizeHint().height()};
}

void ColorWell::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    const QRect swatch = contents.adjusted(3, 3, -3, -3);
    QPainter painter(this);
    // A dark and a light line around the swatch keep white on white and black on black visible.
    painter.setPen(QColor(0, 0, 0, 0x80));
    painter.setBrush(m_color.isValid() ? QColor(m_color.rgb()) : QColor(Qt::transparent));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    painter.setPen(QColor(255, 255, 255, 0x80));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(swatch.adjusted(1, 1, -2, -2));
}
