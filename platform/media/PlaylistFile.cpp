#include "platform/media/PlaylistFile.h"

#include "platform/foundation/LocalFileURL.h"
#include "platform/foundation/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUrl>

#include <unistd.h>

bool isPlaylistFile(const QString& path)
{
    return path.endsWith(QLatin1String(".m3u"), Qt::CaseInsensitive)
        || path.endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive);
}

QString playlistName(const QString& path)
{
    return QFileInfo(path).completeBaseName();
}

namespace {

QString decodePlaylist(const QByteArray& bytes, bool forceUtf8)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!forceUtf8 && utf8.hasError())
        text = QString::fromLatin1(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

} // namespace

QStringList readPlaylistEntries(const QByteArray& path)
{
    constexpr qint64 kLargestPlaylist = 16 << 20;
    const int fd = openRegularFile(path.constData());
    if (fd < 0)
        return {};
    QFile file;
    QByteArray content;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) && file.size() <= kLargestPlaylist)
        content = file.read(kLargestPlaylist);
    else if (!file.isOpen())
        ::close(fd);
    const QString display = displayNameOfPathBytes(path);
    return parsePlaylistEntries(content, QFileInfo(display).absolutePath(),
                                display.endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive));
}

QStringList parsePlaylistEntries(const QByteArray& content, const QString& folderPath, bool utf8)
{
    const QString text = decodePlaylist(content, utf8);
    QStringList entries;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        line = line.trimmed();  // also drops the '\r' of CRLF files
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QString entry = line.toString();
        if (entry.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
            const QUrl url(entry);
            if (!url.isLocalFile())
                continue;
            entry = url.toLocalFile();
        } else if (entry.contains(QLatin1String("://"))) {
            continue;  // streams and other remote entries are not library songs
        }
        // Joined by hand: QDir takes a name starting with ':' for one of Qt's resources.
        entries.append(QDir::cleanPath(entry.startsWith(QLatin1Char('/')) ? entry : folderPath + QLatin1Char('/') + entry));
    }
    return entries;
}
