#include "player/PlayerImages.h"

#include <QAbstractButton>
#include <QHash>
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

namespace {

// What a screen reader says for a button that shows one of these pictures: the pictures
// that tell a state name it, so the name changes with the picture. A picture shared by
// buttons that mean different things ("back.png") is named by each button's owner.
QString spokenNameOfImage(const QString& name)
{
    static const QHash<QString, QString> names = {
        {QStringLiteral("play.png"), QStringLiteral("Play")},
        {QStringLiteral("stop.png"), QStringLiteral("Pause")},
        {QStringLiteral("ff.png"), QStringLiteral("Next")},
        {QStringLiteral("rw.png"), QStringLiteral("Previous")},
        {QStringLiteral("repeat.png"), QStringLiteral("Repeat: off")},
        {QStringLiteral("repeat_select.png"), QStringLiteral("Repeat: all")},
        {QStringLiteral("track_repeat.png"), QStringLiteral("Repeat: one")},
        {QStringLiteral("repeat_selection.png"), QStringLiteral("Repeat")},
        {QStringLiteral("random.png"), QStringLiteral("Shuffle: off")},
        {QStringLiteral("random_select.png"), QStringLiteral("Shuffle: on")},
        {QStringLiteral("3dstereo.png"), QStringLiteral("3D Sound: on")},
        {QStringLiteral("3dstereo_select.png"), QStringLiteral("3D Sound: off")},
        {QStringLiteral("setting.png"), QStringLiteral("Settings")},
        {QStringLiteral("setting_select.png"), QStringLiteral("Settings")},
        {QStringLiteral("player_button.png"), QStringLiteral("Now Playing")},
        {QStringLiteral("sync_button.png"), QStringLiteral("Sync")},
    };
    return names.value(name);
}

} // namespace

void setButtonImage(QAbstractButton* button, const QString& name)
{
    if (const QString spoken = spokenNameOfImage(name); !spoken.isEmpty())
        button->setAccessibleName(spoken);
    const QSize size = button->size().isValid() && !button->size().isEmpty() ? button->size() : QSize(40, 31);
    button->setIcon(QIcon(playerImageNamed(name, size.width(), size.height())));
    button->setIconSize(size);
    button->setProperty(kImageNameProperty, name);
}

void setButtonImages(QAbstractButton* button, const QString& normal, const QString& highlighted)
{
    setButtonImage(button, normal);
    QObject::connect(button, &QAbstractButton::pressed, button,
                     [button, highlighted] { setButtonImage(button, highlighted); });
    QObject::connect(button, &QAbstractButton::released, button, [button, normal] { setButtonImage(button, normal); });
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
