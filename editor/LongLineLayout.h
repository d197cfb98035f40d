#pragma once

#include <QList>
#include <QString>

#include <optional>

// How a text with very long lines is shown without freezing the editor. The text layout of a
// single line costs time in proportion to its length on every keystroke, so a line of millions
// of characters makes a window unusable. Such a text is shown read-only, with every long line
// cut into pieces of a few thousand characters, each a line of the display; the gutter numbers
// the pieces as one line. The text itself is never changed: `breaks` says where the display
// inserted a line break, so positions map both ways and the original is saved as it was.
class LongLineLayout
{
public:
    // Lines longer than this switch a document to the long-line display.
    static constexpr qsizetype longLineLimit = 20000;
    // Length of the pieces a long line is shown in.
    static constexpr qsizetype pieceLength = 10000;

    // The display of `text`, or none when no line is longer than the limit.
    static std::optional<LongLineLayout> forText(const QString &text);

    const QString &displayText() const { return m_displayText; }
    // Positions in the original text before which the display inserted a line break, ascending.
    const QList<qsizetype> &breaks() const { return m_breaks; }

    qsizetype toDisplay(qsizetype originalPosition) const;
    qsizetype toOriginal(qsizetype displayPosition) const;

private:
    QString m_displayText;
    QList<qsizetype> m_breaks;
};
