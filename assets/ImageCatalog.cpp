#include "assets/ImageCatalog.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

QString imageSourcePath(const QString& name)
{
    QString base = name;
    if (base.endsWith(QStringLiteral(".png")))
        base.chop(4);
    const QString path = QStringLiteral(":/images/%1.svg").arg(base);
    return QFile::exists(path) ? path : QString();
}

QStringList availableImageNames()
{
    QStringList names;
    for (const QString& file : QDir(QStringLiteral(":/images")).entryList({QStringLiteral("*.svg")}, QDir::Files)) {
        names.append(file.chopped(4) + QStringLiteral(".png"));
    }
    names.sort();
    return names;
}

QImage renderImageNamed(const QString& name, QSize size, qreal devicePixelRatio, ImageFit fit)
{
    const QString path = imageSourcePath(name);
    if (path.isEmpty() || size.isEmpty())
        return {};
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    const QSize pixels = (QSizeF(size) * devicePixelRatio).toSize();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    // Fit the drawing's own proportions into the box, centred.
    QSizeF fitted = QSizeF(renderer.defaultSize()).scaled(QSizeF(pixels), Qt::KeepAspectRatio);
    if (fit == ImageFit::FillWidth)
        fitted.setWidth(pixels.width());
    const QRectF target(QPointF((pixels.width() - fitted.width()) / 2, (pixels.height() - fitted.height()) / 2),
                        fitted);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, target);
    painter.end();
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

QPixmap pixmapNamed(const QString& name, QSize size, ImageFit fit)
{
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    return QPixmap::fromImage(renderImageNamed(name, size, ratio, fit));
}

QString applicationIconPath()
{
    return QStringLiteral(":/tavoro.svg");
}
