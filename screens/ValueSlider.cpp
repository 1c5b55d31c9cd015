#include "screens/ValueSlider.h"

#include <QSignalBlocker>

#include <cmath>

ValueSlider::ValueSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setSingleStep(kSteps);
    setPageStep(3 * kSteps);
    setTracking(true);
    connect(this, &QSlider::valueChanged, this, [this](int) { emit valueChangedByUser(levelValue()); });
}

void ValueSlider::setLevelRange(int minimum, int maximum)
{
    const QSignalBlocker quiet(this);
    setRange(minimum * kSteps, maximum * kSteps);
}

void ValueSlider::setLevelValue(double level)
{
    const QSignalBlocker quiet(this);
    setValue(int(std::lround(level * kSteps)));
}
