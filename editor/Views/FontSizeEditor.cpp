#include "FontSizeEditor.h"

#include "Settings.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QLocale>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QWheelEvent>

#include <algorithm>

FontSizeStepper::FontSizeStepper(QWidget *parent)
    : QAbstractSpinBox(parent)
{
    // The number is the field's; the line edit stays only so screen readers can read the value.
    lineEdit()->setReadOnly(true);
    lineEdit()->hide();
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void FontSizeStepper::setValue(qint64 value)
{
    if (value == m_value)
        return;
    m_value = value;
    lineEdit()->setText(QString::number(value));
    update();
}

qint64 FontSizeStepper::minimum()
{
    return FontSizeEditor::minimumPoints;
}

qint64 FontSizeStepper::maximum()
{
    return FontSizeEditor::maximumPoints;
}

void FontSizeStepper::requestValue(qint64 value)
{
    if (value != m_value)
        emit valueRequested(value);
}

void FontSizeStepper::stepBy(int steps)
{
    emit stepRequested(steps);
}

QSize FontSizeStepper::sizeHint() const
{
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    const int height = QAbstractSpinBox::sizeHint().height();
    option.rect = QRect(0, 0, 100, height);
    const QRect up
        = style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, this);
    const int frame = style()->pixelMetric(QStyle::PM_SpinBoxFrameWidth, &option, this);
    return {up.width() + 2 * frame + 2, height};
}

QAbstractSpinBox::StepEnabled FontSizeStepper::stepEnabled() const
{
    StepEnabled enabled = StepNone;
    if (m_value < FontSizeEditor::maximumPoints)
        enabled |= StepUpEnabled;
    if (m_value > FontSizeEditor::minimumPoints)
        enabled |= StepDownEnabled;
    return enabled;
}

// Scrolling the settings past the stepper must not change the font size.
void FontSizeStepper::wheelEvent(QWheelEvent *event)
{
    if (hasFocus())
        QAbstractSpinBox::wheelEvent(event);
    else
        event->ignore();
}

FontSizeEditor::FontSizeEditor(Settings &settings, QWidget *parent)
    : QWidget(parent)
    , m_settings(settings)
    , m_field(new QLineEdit(this))
    , m_stepper(new FontSizeStepper(this))
{
    m_field->setObjectName(QStringLiteral("scrivlet.preferences.fontSizeField"));
    m_field->setAccessibleName(tr("Font size"));
    m_field->setAccessibleDescription(tr("Enter a font size between 8 and 72"));
    m_field->setFixedWidth(60);
    m_field->setAlignment(Qt::AlignRight);
    m_stepper->setObjectName(QStringLiteral("scrivlet.preferences.fontSizeStepper"));
    m_stepper->setAccessibleName(tr("Adjust font size"));
    m_stepper->setAccessibleDescription(tr("Increment or decrement the font size"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_field);
    layout->addWidget(m_stepper);
    layout->addStretch(1);
    setFocusProxy(m_field);

    connect(m_field, &QLineEdit::returnPressed, this, &FontSizeEditor::commitField);
    connect(m_field, &QLineEdit::editingFinished, this, [this] {
        // Tabbing through without typing leaves a stored size alone, even an unusual one.
        if (m_field->isModified())
            commitField();
    });
    connect(m_stepper, &FontSizeStepper::stepRequested, this, &FontSizeEditor::step);
    connect(m_stepper, &FontSizeStepper::valueRequested, this, [this](qint64 points) {
        if (clamped(points) != m_settings.fontSize())
            m_settings.setFontSize(clamped(points));
    });
    connect(&settings, &Settings::fontSizeChanged, this, &FontSizeEditor::showStoredSize);
    showStoredSize();
}

qint64 FontSizeEditor::clamped(qint64 points)
{
    return std::clamp(points, minimumPoints, maximumPoints);
}

void FontSizeEditor::commitField()
{
    const QString text = m_field->text().trimmed();
    bool ok = false;
    qint64 points = QLocale().toLongLong(text, &ok);
    if (!ok)
        points = QLocale::c().toLongLong(text, &ok);
    if (ok && clamped(points) != m_settings.fontSize())
        m_settings.setFontSize(clamped(points));
    // Also puts back the stored size after text that was not a number.
    showStoredSize();
}

// Steps from the size brought into range first, so a hand-stored 100 steps down to 71 (and a
// stored huge number cannot overflow).
void FontSizeEditor::step(int steps)
{
    const qint64 points = clamped(clamped(m_settings.fontSize()) + steps);
    if (points != m_settings.fontSize())
        m_settings.setFontSize(points);
}

void FontSizeEditor::showStoredSize()
{
    const qint64 points = m_settings.fontSize();
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const QString text = locale.toString(points);
    if (m_field->text() != text)
        m_field->setText(text);
    m_field->setModified(false);
    // The stepper never leaves 8 to 72, so it reports a hand-stored 100 as 72.
    m_stepper->setValue(clamped(points));
}
