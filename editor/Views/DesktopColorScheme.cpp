#include "DesktopColorScheme.h"

#include "AppearancePalette.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>
#include <QPointer>
#include <QStyle>

namespace {

// The style's palette, its secondary text made readable as in the app's own palettes.
QPalette readableStandardPalette()
{
    return AppearancePalette::withReadableSecondaryText(QApplication::style()->standardPalette());
}

class Follower : public QObject
{
public:
    explicit Follower(QObject *parent)
        : QObject(parent)
        , m_paletteFromStyle(!QCoreApplication::testAttribute(Qt::AA_SetPalette)
              && QApplication::palette() == QApplication::style()->standardPalette())
    { }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Every window hears of the change; the first one updates the palette, and after that
        // the palettes are equal and the others change nothing.
        if (event->type() == QEvent::ThemeChange && m_paletteFromStyle && watched->isWidgetType()) {
            const QPalette standard = readableStandardPalette();
            if (standard != QApplication::palette())
                QApplication::setPalette(standard);
        }
        return false;
    }

    bool followsStyle() const { return m_paletteFromStyle; }

private:
    const bool m_paletteFromStyle;
};

} // namespace

namespace DesktopColorScheme {

void follow()
{
    static QPointer<Follower> follower;
    if (follower || !qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    follower = new Follower(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(follower);
    if (follower->followsStyle()) {
        const QPalette readable = readableStandardPalette();
        if (readable != QApplication::palette())
            QApplication::setPalette(readable);
    }
}

} // namespace DesktopColorScheme
