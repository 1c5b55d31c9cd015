#pragma once
// A horizontal slider over a range of whole levels (1 to 25, 1 to 11) that moves in
// hundredths between them while dragged, as a finger does. It reports every value change
// made by the user (drag, click, arrow keys) as valueChangedByUser with the exact value;
// the screens cut it to a whole level. Arrow keys move one level, Page Up/Down three.

#include <QSlider>

class ValueSlider : public QSlider {
    Q_OBJECT

public:
    static constexpr int kSteps = 100;  // positions per level

    explicit ValueSlider(QWidget* parent = nullptr);

    void setLevelRange(int minimum, int maximum);
    double levelValue() const { return double(value()) / kSteps; }
    // Shows a level without reporting it.
    void setLevelValue(double level);

signals:
    void valueChangedByUser(double level);
};
