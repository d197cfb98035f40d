#include "HelpSearchBar.h"

#include "HelpIcons.h"
#include "HelpStyle.h"
#include "HelpSymbolView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// The symbols match the height of the field's text.
int symbolSize()
{
    return QFontMetrics(HelpStyle::font(HelpStyle::TextStyle::Body)).height();
}

} // namespace

HelpSearchBar::HelpSearchBar(QWidget *parent)
    : QWidget(parent)
    , m_field(new QLineEdit(this))
    , m_clearButton(new QToolButton(this))
{
    setObjectName(u"scrivlet.help.searchBar"_s);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    m_field->setObjectName(u"scrivlet.help.searchField"_s);
    m_field->setPlaceholderText(tr("Search Help"));
    m_field->setAccessibleName(tr("Search help"));
    m_field->setAccessibleDescription(tr("Type to filter the help sections and mark matches"));
    m_field->setFrame(false);
    m_field->setFont(HelpStyle::font(HelpStyle::TextStyle::Body));

    m_clearButton->setObjectName(u"scrivlet.help.clearButton"_s);
    m_clearButton->setAccessibleName(tr("Clear search"));
    m_clearButton->setToolTip(tr("Clear Search"));
    // Qt would offer the tooltip, the name again.
    m_clearButton->setAccessibleDescription(tr("Show every help section again"));
    m_clearButton->setAutoRaise(true);
    m_clearButton->setCursor(Qt::ArrowCursor);
    m_clearButton->setHidden(true);
    updateClearIcon();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(6);
    layout->addWidget(new HelpSymbolView(
        HelpIcons::Symbol::Magnifier, symbolSize(), HelpStyle::Tone::Secondary, this));
    layout->addWidget(m_field, 1);
    layout->addWidget(m_clearButton);

    connect(m_field, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_clearButton->setHidden(text.isEmpty());
        emit textChanged(text);
    });
    connect(m_clearButton, &QToolButton::clicked, this, [this] {
        // The button disappears with the text, so the focus goes back to the field.
        m_field->setFocus(Qt::OtherFocusReason);
        m_field->clear();
    });
}

QString HelpSearchBar::text() const
{
    return m_field->text();
}

void HelpSearchBar::setText(const QString &text)
{
    if (text != m_field->text())
        m_field->setText(text);
}

void HelpSearchBar::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        updateClearIcon();
}

void HelpSearchBar::updateClearIcon()
{
    const int size = symbolSize();
    const QColor color = HelpStyle::color(palette(), HelpStyle::Tone::Secondary, QPalette::Base);
    m_clearButton->setIcon(
        QIcon(HelpIcons::pixmap(HelpIcons::Symbol::ClearCircle, size, color, devicePixelRatioF())));
    m_clearButton->setIconSize(QSize(size, size));
}
