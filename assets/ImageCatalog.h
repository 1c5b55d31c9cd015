#pragma once
// The application's images by the names the screens use ("play.png"). Each is drawn from
// its SVG source in the program's resources at the size asked for, times the pixel density
// of the screen, so it stays sharp on high-density screens.
//
// Threads: QPixmap belongs to the main thread; renderImageNamed() gives a QImage and may be
// called from any thread.

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

// The resource path of a name's source (":/images/play.svg"), or empty for an unknown name.
QString imageSourcePath(const QString& name);

// Every image name that has a source, sorted ("3dstereo.png", ...).
QStringList availableImageNames();

// How a picture fills its box: keeping its aspect ratio, centred; or a bar, as high as that
// and stretched to the box's whole width.
enum class ImageFit { KeepAspect, FillWidth };

// The image drawn into `size` device-independent pixels at `devicePixelRatio`, fitted as
// `fit` says; an unknown name gives a null image.
QImage renderImageNamed(const QString& name, QSize size, qreal devicePixelRatio, ImageFit fit = ImageFit::KeepAspect);

// The same as a pixmap at the application's pixel density (main thread).
QPixmap pixmapNamed(const QString& name, QSize size, ImageFit fit = ImageFit::KeepAspect);

// The application's icon (":/tavoro.svg").
QString applicationIconPath();
