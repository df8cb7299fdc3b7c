#pragma once

#include <QSlider>

namespace trimlark {

// The quality slider, 1 to 100. Holds its value as a single-precision number, so that a value set from a
// profile (79.9) reads back exactly; the handle moves in hundredths. SetValue never emits.
class QualitySlider : public QSlider
{
    Q_OBJECT

public:
    explicit QualitySlider(QWidget* parent = nullptr);

    float Value() const { return value_; }
    void SetValue(float value);

Q_SIGNALS:
    // The user moved the slider; Value() holds the new value.
    void qualityChanged();

private:
    float value_ = 80.0f;
};

} // namespace trimlark
