#pragma once
// Buttons of the settings screens that show one image and another while pressed
// (setButtonImages).

#include "player/PlayerImages.h"

class QPushButton;
class QWidget;

// A 50 x 30 back button: "back.png", "back_select.png" while pressed.
QPushButton* newBackButton(QWidget* parent);
