#include "platform/foundation/CleanPath.h"

#include <QList>

QByteArray absoluteCleanPath(const QByteArray& path, const QByteArray& base)
{
    const QByteArray whole = path.startsWith('/') ? path : base + '/' + path;
    QList<QByteArray> parts;
    for (const QByteArray& part : whole.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.isEmpty())
                parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    return '/' + parts.join('/');
}
