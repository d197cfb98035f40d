#pragma once

#include <QList>
#include <QString>
#include <QTextLayout>

class QInputMethodEvent;

// The input method's text not yet committed, shown at `position` inside the layout of the block
// holding it, with the formats the input method gave it and its own caret.
struct TextPreedit
{
    qsizetype position = -1;
    QString text;
    QList<QTextLayout::FormatRange> formats;
    int cursor = 0;
    bool cursorVisible = true;

    // The preedit an input method event shows at `position`; none when its preedit is empty.
    static TextPreedit fromEvent(const QInputMethodEvent &event, qsizetype position);
    bool isActive() const { return position >= 0; }
};
