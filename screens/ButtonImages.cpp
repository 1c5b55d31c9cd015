#include "screens/ButtonImages.h"

#include "player/PlayerImages.h"

#include <QPushButton>

void setButtonImages(QAbstractButton* button, const QString& normal, const QString& pressed)
{
    setButtonImage(button, normal);
    QObject::connect(button, &QAbstractButton::pressed, button, [button, pressed] { setButtonImage(button, pressed); });
    QObject::connect(button, &QAbstractButton::released, button, [button, normal] { setButtonImage(button, normal); });
}

QPushButton* newBackButton(QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QStringLiteral("backButton"));
    button->resize(50, 30);
    setButtonImages(button, QStringLiteral("back.png"), QStringLiteral("back_select.png"));
    return button;
}
