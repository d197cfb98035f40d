#include "HelpTextLabel.h"

#include "HelpTextSearch.h"

#include <QAccessibleWidget>
#include <QEvent>

using namespace Qt::StringLiterals;

namespace {

class HelpTextLabelAccessible : public QAccessibleWidget
{
public:
    explicit HelpTextLabelAccessible(HelpTextLabel *label)
        : QAccessibleWidget(label, label->accessibleRole())
    { }

    QString text(QAccessible::Text type) const override
    {
        const auto *label = static_cast<const HelpTextLabel *>(widget());
        if (type == QAccessible::Name && label->accessibleName().isEmpty())
            return label->plainText();
        return QAccessibleWidget::text(type);
    }
};

QAccessibleInterface *createAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("HelpTextLabel"))
        return new HelpTextLabelAccessible(static_cast<HelpTextLabel *>(object));
    return nullptr;
}

QString colorName(QColor color)
{
    return color.name(QColor::HexRgb);
}

} // namespace

HelpTextLabel::HelpTextLabel(const QString &plainText, HelpStyle::Tone tone,
    QAccessible::Role accessibleRole, QWidget *parent)
    : QLabel(parent)
    , m_plainText(plainText)
    , m_tone(tone)
    , m_accessibleRole(accessibleRole)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(createAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    setTextFormat(Qt::RichText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Help is for reading and copying: the mouse can select, but the Tab key skips the texts.
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    render();
}

void HelpTextLabel::setPlainText(const QString &text)
{
    if (text == m_plainText)
        return;
    m_plainText = text;
    render();
}

void HelpTextLabel::setHighlightTerm(const QString &term)
{
    if (term == m_highlightTerm)
        return;
    m_highlightTerm = term;
    render();
}

QString HelpTextLabel::highlightedHtml(const QString &plainText, const QString &term, QColor color)
{
    // pre-wrap keeps every space as typed, so a highlighted space shows as one.
    QString html = u"<div style=\"white-space:pre-wrap; color:%1\">"_s.arg(colorName(color));
    const QString markOpen = u"<span style=\"background-color:%1; color:%2\">"_s.arg(
        colorName(QColor(HelpStyle::highlightBackground)),
        colorName(QColor(HelpStyle::highlightForeground)));
    qsizetype done = 0;
    for (const MatchRange &span : HelpTextSearch::highlightSpans(plainText, term)) {
        html += plainText.sliced(done, span.location - done).toHtmlEscaped();
        html += markOpen + plainText.sliced(span.location, span.length).toHtmlEscaped()
            + u"</span>"_s;
        done = span.end();
    }
    html += plainText.sliced(done).toHtmlEscaped();
    return html + u"</div>"_s;
}

void HelpTextLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        render();
}

void HelpTextLabel::render()
{
    setText(highlightedHtml(
        m_plainText, m_highlightTerm, HelpStyle::color(palette(), m_tone, backgroundRole())));
}
