#pragma once
// An on/off switch: a click, a tap or the space bar flips it and emits clicked(bool);
// setOn() changes what it shows without reporting anything.

#include <QAbstractButton>

class OnOffSwitch : public QAbstractButton {
    Q_OBJECT

public:
    explicit OnOffSwitch(QWidget* parent = nullptr);

    bool isOn() const { return isChecked(); }
    void setOn(bool on, bool animated = false);

    QSize sizeHint() const override { return {79, 27}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
