#include "screens/ButtonImages.h"

#include "player/PlayerImages.h"

#include <QPushButton>

QPushButton* newBackButton(QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QStringLiteral("backButton"));
    button->resize(50, 30);
    setButtonImages(button, QStringLiteral("back.png"), QStringLiteral("back_select.png"));
    return button;
}
