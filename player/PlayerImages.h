#pragma once
// Images of the player screen, referred to by their names ("play.png") and drawn from the
// application's artwork (assets/ImageCatalog.h) at the size they are shown at. The name
// shown is kept on the widget (property "imageName") so that it can be read back.

#include "assets/ImageCatalog.h"

#include <QPixmap>
#include <QString>

class QAbstractButton;
class QLabel;

inline constexpr char kImageNameProperty[] = "imageName";

// The named image at width x height; an unknown name gives a transparent picture and one
// warning line naming it.
QPixmap playerImageNamed(const QString& name, int width = 40, int height = 31, ImageFit fit = ImageFit::KeepAspect);

// Shows the named image on a button (normal state) or an image view. A button showing a
// picture that tells a state ("random_select.png") is named after it for screen readers
// ("Shuffle: on").
void setButtonImage(QAbstractButton* button, const QString& name);
// Shows `normal` on a button, and `highlighted` while it is held down.
void setButtonImages(QAbstractButton* button, const QString& normal, const QString& highlighted);
void setViewImage(QLabel* view, const QString& name);
// Makes an image view a bar: its images stretch to its whole width (setViewImage).
void makeBarImageView(QLabel* view);
// The name last given to a button or image view (empty when it shows a picture of its own).
QString imageNameOf(const QObject* widget);
