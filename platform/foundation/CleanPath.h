#pragma once

#include <QByteArray>

// `path` made absolute against `base` (an absolute directory) and cleaned of ".", ".."
// and repeated slashes, byte for byte (file names need not be UTF-8).
QByteArray absoluteCleanPath(const QByteArray& path, const QByteArray& base);
