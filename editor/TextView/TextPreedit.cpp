#include "TextPreedit.h"

#include <QInputMethodEvent>
#include <QTextCharFormat>

TextPreedit TextPreedit::fromEvent(const QInputMethodEvent &event, qsizetype position)
{
    TextPreedit preedit;
    if (event.preeditString().isEmpty())
        return preedit;
    preedit.position = position;
    preedit.text = event.preeditString();
    preedit.cursor = int(preedit.text.size());
    for (const QInputMethodEvent::Attribute &attribute : event.attributes()) {
        if (attribute.type == QInputMethodEvent::Cursor) {
            preedit.cursor = attribute.start;
            preedit.cursorVisible = attribute.length > 0;
        } else if (attribute.type == QInputMethodEvent::TextFormat) {
            const QTextCharFormat format
                = qvariant_cast<QTextFormat>(attribute.value).toCharFormat();
            if (format.isValid())
                preedit.formats.append({attribute.start, attribute.length, format});
        }
    }
    return preedit;
}
