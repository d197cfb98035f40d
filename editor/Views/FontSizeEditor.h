#pragma once

#include <QAbstractSpinBox>
#include <QWidget>

class QLineEdit;
class Settings;

// Arrow buttons that step a value by one within a range, without a text of their own (the size
// field beside them shows the number). Stepping is only requested; the owner decides.
class FontSizeStepper : public QAbstractSpinBox
{
    Q_OBJECT
    // What Qt's accessibility reads from a spin box: a screen reader hears the size and its range.
    Q_PROPERTY(qint64 value READ value WRITE requestValue)
    Q_PROPERTY(qint64 minimum READ minimum CONSTANT)
    Q_PROPERTY(qint64 maximum READ maximum CONSTANT)
    Q_PROPERTY(int stepSize READ stepSize CONSTANT)

public:
    explicit FontSizeStepper(QWidget *parent = nullptr);

    void setValue(qint64 value);
    qint64 value() const { return m_value; }
    static qint64 minimum();
    static qint64 maximum();
    static int stepSize() { return 1; }
    // A value set from outside (a screen reader) is only requested; the owner decides.
    void requestValue(qint64 value);
    void stepBy(int steps) override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    void stepRequested(int steps);
    void valueRequested(qint64 value);

protected:
    StepEnabled stepEnabled() const override;
    void wheelEvent(QWheelEvent *event) override;

private:
    qint64 m_value = 0;
};

// The "Size:" row: an integer field and a stepper, both bound to "fontSize". The stepper stays
// within 8 to 72. The field writes what was typed when the user presses Return or leaves it
// after typing, brought into 8 to 72; text that is not an integer is never stored and the field
// shows the stored size again.
class FontSizeEditor : public QWidget
{
    Q_OBJECT

public:
    static constexpr qint64 minimumPoints = 8;
    static constexpr qint64 maximumPoints = 72;

    explicit FontSizeEditor(Settings &settings, QWidget *parent = nullptr);

    QLineEdit *field() const { return m_field; }
    FontSizeStepper *stepper() const { return m_stepper; }

    static qint64 clamped(qint64 points);

private:
    void commitField();
    void step(int steps);
    void showStoredSize();

    Settings &m_settings;
    QLineEdit *m_field = nullptr;
    FontSizeStepper *m_stepper = nullptr;
};
