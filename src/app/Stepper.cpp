#include "app/Stepper.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace trimlark {

namespace {

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
    connect(buttonUp, &QToolButton::clicked, this, [this] { Step(increment_); });
    connect(buttonDown, &QToolButton::clicked, this, [this] { Step(-increment_); });
}

void Stepper::SetValue(float value)
{
    value_ = value;
}

void Stepper::SetRange(float minimum, float maximum)
{
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
}

void Stepper::Step(float delta)
{
    // A value set from outside the range (a loaded profile) comes back into it on the first click.
    value_ = std::clamp(value_ + delta, minimum_, maximum_);
    Q_EMIT valueStepped(value_);
}

} // namespace trimlark
