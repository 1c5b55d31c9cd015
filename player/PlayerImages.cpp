#include "player/PlayerImages.h"

#include <QAbstractButton>
#include <QLabel>
#include <QtDebug>

namespace {

constexpr char kFillsWidthProperty[] = "fillsWidth";

}  // namespace

QPixmap playerImageNamed(const QString& name, int width, int height, ImageFit fit)
{
    QPixmap pixmap = pixmapNamed(name, QSize(width, height), fit);
    if (pixmap.isNull()) {
        qWarning("image \"%s\" has no artwork", qPrintable(name));
        pixmap = QPixmap(width, height);
        pixmap.fill(Qt::transparent);
    }
    return pixmap;
}

void setButtonImage(QAbstractButton* button, const QString& name)
{
    const QSize size = button->size().isValid() && !button->size().isEmpty() ? button->size() : QSize(40, 31);
    button->setIcon(QIcon(playerImageNamed(name, size.width(), size.height())));
    button->setIconSize(size);
    button->setProperty(kImageNameProperty, name);
}

void setViewImage(QLabel* view, const QString& name)
{
    const QSize size = view->size().isEmpty() ? QSize(320, 320) : view->size();
    const ImageFit fit = view->property(kFillsWidthProperty).toBool() ? ImageFit::FillWidth : ImageFit::KeepAspect;
    view->setPixmap(playerImageNamed(name, size.width(), size.height(), fit));
    view->setProperty(kImageNameProperty, name);
}

void makeBarImageView(QLabel* view)
{
    view->setProperty(kFillsWidthProperty, true);
}

QString imageNameOf(const QObject* widget)
{
    return widget->property(kImageNameProperty).toString();
}
