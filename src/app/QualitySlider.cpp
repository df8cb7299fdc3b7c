#include "app/QualitySlider.h"

#include <QSignalBlocker>
#include <algorithm>
#include <cmath>

namespace trimlark {

namespace {

constexpr int kScale = 100;

} // namespace

QualitySlider::QualitySlider(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setRange(1 * kScale, 100 * kScale);
    setSingleStep(kScale);
    setPageStep(10 * kScale);
    setTickInterval(10 * kScale);
    setTickPosition(QSlider::TicksBelow);
    SetValue(value_);
    connect(this, &QSlider::valueChanged, this, [this](int position) {
        value_ = static_cast<float>(position) / static_cast<float>(kScale);
        Q_EMIT qualityChanged();
    });
}

void QualitySlider::SetValue(float value)
{
    value_ = value;
    const QSignalBlocker blocker(this);
    if (std::isfinite(value))
        setValue(static_cast<int>(std::lround(std::clamp(static_cast<double>(value), 1.0, 100.0) * kScale)));
}

} // namespace trimlark
