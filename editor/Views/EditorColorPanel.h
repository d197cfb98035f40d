#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include <optional>

class QColor;
class QColorDialog;
class QWidget;

// The one colour dialog the two colour wells of the Settings window share. It is not modal and
// has no OK button: every colour the user points at is picked at once, as the well shows it.
// It opens beside the Settings window and closes with it.
class EditorColorPanel : public QObject
{
    Q_OBJECT

public:
    enum class Target {
        Text,
        Background,
    };

    static inline const QString editorColorTitle = QStringLiteral("Editor Color");
    static inline const QString textColorTitle = QStringLiteral("Text Color");
    static inline const QString backgroundColorTitle = QStringLiteral("Background Color");
    static constexpr int gap = 12;

    // `anchor` is a widget in the Settings window; the dialog belongs to it.
    explicit EditorColorPanel(QWidget *anchor);

    // Shows the dialog for a well, with the well's colour, beside the Settings window.
    void open(Target target, const QColor &color);
    // The well's colour changed elsewhere (Reset, another appearance): the dialog follows while
    // it works for that well, without picking anything.
    void followWell(Target target, const QColor &color);
    void close();

    // None until the panel was first opened.
    QColorDialog *dialog() const;
    std::optional<Target> target() const { return m_target; }

    // Moves the dialog beside the Settings window unless it already sits there.
    void positionIfNeeded();
    // `gap` pixels right of `window`, vertically centred on it, then pulled back inside
    // `available` at the right, top and bottom (the bottom wins). None when the dialog's left
    // edge is less than 50 pixels from the window's right edge and their vertical centres are
    // less than 100 pixels apart.
    static std::optional<QPoint> placementBeside(
        const QRect &window, const QRect &panel, const std::optional<QRect> &available);

signals:
    void colorPicked(EditorColorPanel::Target target, const QColor &color);

private:
    QColorDialog *ensureDialog();
    void pick(const QColor &color);

    QPointer<QWidget> m_anchor;
    QPointer<QColorDialog> m_dialog;
    QString m_toolkitTitle;
    std::optional<Target> m_target;
    bool m_settingColor = false;
};
