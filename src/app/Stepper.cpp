#include "app/Stepper.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace trimlark {

namespace {

constexpr float kMinimum = 0.0f;
constexpr float kMaximum = 100.0f;
constexpr float kIncrement = 1.0f;

QToolButton* MakeArrowButton(Qt::ArrowType arrow, const char* name, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(18, 12);
    return button;
}

} // namespace

Stepper::Stepper(QWidget* parent) : QWidget(parent)
{
    buttonUp = MakeArrowButton(Qt::UpArrow, "buttonUp", this);
    buttonDown = MakeArrowButton(Qt::DownArrow, "buttonDown", this);
    buttonUp->setToolTip(tr("Increase"));
    buttonDown->setToolTip(tr("Decrease"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buttonUp);
    layout->addWidget(buttonDown);
    connect(buttonUp, &QToolButton::clicked, this, [this] { Step(kIncrement); });
    connect(buttonDown, &QToolButton::clicked, this, [this] { Step(-kIncrement); });
}

void Stepper::SetValue(float value)
{
    value_ = value;
}

void Stepper::Step(float delta)
{
    // A value set from outside the range (a loaded profile) comes back into it on the first click.
    value_ = std::clamp(value_ + delta, kMinimum, kMaximum);
    Q_EMIT valueStepped(value_);
}

} // namespace trimlark
