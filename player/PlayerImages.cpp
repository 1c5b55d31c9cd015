#include "player/PlayerImages.h"

#include <QAbstractButton>
#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPainter>

QPixmap playerImageNamed(const QString& name, int width, int height)
{
    QPixmap pixmap(width, height);
    // A stable tint per name, so that two images are told apart at a glance.
    const QColor tint = QColor::fromHsv(int(qHash(name) % 360), 90, 200);
    pixmap.fill(tint);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    QFont font = painter.font();
    font.setPixelSize(qMax(6, height / 4));
    painter.setFont(font);
    QString label = name;
    label.chop(label.endsWith(QStringLiteral(".png")) ? 4 : 0);
    painter.drawText(pixmap.rect(), Qt::AlignCenter | Qt::TextWrapAnywhere, label);
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
    view->setPixmap(playerImageNamed(name, size.width(), size.height()));
    view->setProperty(kImageNameProperty, name);
}

QString imageNameOf(const QObject* widget)
{
    return widget->property(kImageNameProperty).toString();
}
