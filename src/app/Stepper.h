#pragma once

#include <QWidget>

class QToolButton;

namespace trimlark {

// A small up/down control holding its own single-precision percent. A click moves the value by 1, kept within
// 0-100 (no wrapping), and emits valueStepped; SetValue never emits. It never reads the text
// field beside it: typing there does not move it.
class Stepper : public QWidget
{
    Q_OBJECT

public:
    explicit Stepper(QWidget* parent = nullptr);

    float Value() const { return value_; }
    void SetValue(float value);

Q_SIGNALS:
    void valueStepped(float value);

private:
    void Step(float delta);

    QToolButton* buttonUp = nullptr;
    QToolButton* buttonDown = nullptr;
    float value_ = 0.0f;
};

} // namespace trimlark
