#pragma once

#include <QFont>
#include <QList>
#include <QWidget>

#include <optional>

class QPaintEvent;
class QPainter;
class QTextLayout;
class TextView;

// The strip left of the text that numbers its lines: a shaded background, a separator along its
// right edge and, when switched on, each line's number beside the first visual line of it.
// Lines are the document's lines, so the numbers agree with what the editor shows: a lone CR
// ends a line just as LF and CR LF do, and a text ending in a line break has an empty last line
// that gets the extra number. The width fits the largest number, so it steps by whole digits.
class LineNumberGutter : public QWidget
{
    Q_OBJECT

public:
    // Where one number goes: its top edge in the gutter's coordinates. The number box is one
    // line of the gutter font high and is centred on the visual line it labels.
    struct NumberPlacement
    {
        qsizetype number = 0;
        qreal y = 0.0;

        friend bool operator==(const NumberPlacement &, const NumberPlacement &) = default;
    };

    static constexpr int minimumThickness = 40;

    explicit LineNumberGutter(TextView *textView);

    int thickness() const { return m_thickness; }
    bool showLineNumbers() const { return m_showLineNumbers; }
    void setShowLineNumbers(bool show);
    QFont lineNumberFont() const { return m_lineNumberFont; }

    // The editor's family and size; the gutter is never bold, whatever the editor uses.
    void updateFont(const QString &family, qint64 size);
    void updateThicknessIfNeeded();

    // The numbers of the lines in view, top to bottom. Only the rows shown are visited.
    QList<NumberPlacement> visiblePlacements() const;

signals:
    void thicknessChanged(int thickness);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    enum class Shade { Light, Dark };

    qreal wantedThickness() const;
    qreal viewportTop() const;
    qreal numberHeight() const;
    std::optional<NumberPlacement> placementInBlock(
        const QTextLayout &layout, qsizetype number, qreal blockTop, qreal viewportHeight) const;
    void drawBackground(QPainter &painter, const QRect &dirty, Shade shade) const;
    void drawNumbers(QPainter &painter, const QRect &dirty, Shade shade) const;

    TextView *m_textView;
    QFont m_lineNumberFont;
    int m_thickness = minimumThickness;
    bool m_showLineNumbers = true;
};
