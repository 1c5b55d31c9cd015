#pragma once
// Buttons of the settings screens that show one image and another while pressed.

#include <QString>

class QAbstractButton;
class QPushButton;
class QWidget;

// Shows `normal`, and `pressed` while the button is held down.
void setButtonImages(QAbstractButton* button, const QString& normal, const QString& pressed);
// A 50 x 30 back button: "back.png", "back_select.png" while pressed.
QPushButton* newBackButton(QWidget* parent);
