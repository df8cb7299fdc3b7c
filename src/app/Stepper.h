#pragma once

#include <QWidget>

class QToolButton;

namespace trimlark {

// A small up/down control holding its own single-precision value. A click moves the value by one increment,
// kept within the range (no wrapping), and emits valueStepped; SetValue never emits. It never reads the text
// field beside it: typing there does not move it.
class Stepper : public QWidget
{
    Q_OBJECT

public:
    explicit Stepper(QWidget* parent = nullptr);

    float Value() const { return value_; }
    void SetValue(float value);
    void SetRange(float minimum, float maximum);
    void SetIncrement(float increment) { increment_ = increment; }

Q_SIGNALS:
    void valueStepped(float value);

private:
    void Step(float delta);

    QToolButton* buttonUp = nullptr;
    QToolButton* buttonDown = nullptr;
    float value_ = 0.0f;
    float minimum_ = 0.0f;
    float maximum_ = 100.0f;
    float increment_ = 1.0f;
};

} // namespace trimlark
