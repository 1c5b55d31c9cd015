#include "AudioFixtures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>

#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/tpropertymap.h>

#include <stdexcept>

namespace {

TagLib::String tagText(const QString& text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

} // namespace

PrivateHome::PrivateHome()
{
    const QString root = m_dir.path();
    QDir(root).mkpath(QStringLiteral("Music"));
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/.config")).toUtf8());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/.local/share")).toUtf8());
    qputenv("XDG_CACHE_HOME", (root + QStringLiteral("/.cache")).toUtf8());
    qputenv("XDG_MUSIC_DIR", music().toUtf8());
}

void makeAudioFile(const QString& path, const QString& extension)
{
    static QTemporaryDir sources;
    static QMap<QString, QString> made;
    if (!made.contains(extension)) {
        const QString source = sources.path() + QStringLiteral("/tone.") + extension;
        QStringList arguments{"-nostdin", "-v", "error", "-y", "-f", "lavfi",
                              "-i", "sine=frequency=440:duration=0.2:sample_rate=44100"};
        if (extension == QLatin1String("m4a"))
            arguments << "-c:a" << "aac";
        else if (extension == QLatin1String("ogg"))
            arguments << "-c:a" << "libvorbis";
        else if (extension == QLatin1String("flac"))
            arguments << "-sample_fmt" << "s16";
        arguments << source;
        if (QProcess::execute(QStringLiteral("ffmpeg"), arguments) != 0 || !QFile::exists(source))
            throw std::runtime_error("ffmpeg could not make a ." + extension.toStdString() + " file");
        made.insert(extension, source);
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    if (!QFile::copy(made.value(extension), path))
        throw std::runtime_error("cannot copy to " + path.toStdString());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

bool writeTags(const QString& path, const Tags& tags)
{
    TagLib::FileRef ref(QFile::encodeName(path).constData(), false);
    if (ref.isNull())
        return false;
    TagLib::PropertyMap map;
    auto put = [&map](const char* key, const std::optional<QString>& value) {
        if (value)
            map.insert(key, TagLib::StringList(tagText(*value)));
    };
    put("TITLE", tags.title);
    put("ARTIST", tags.artist);
    put("ALBUM", tags.album);
    put("GENRE", tags.genre);
    put("COMPOSER", tags.composer);
    put("LYRICS", tags.lyrics);
    if (!tags.track.isEmpty())
        map.insert("TRACKNUMBER", TagLib::StringList(tagText(tags.track)));
    ref.file()->setProperties(map);
    return ref.save();
}

bool embedFlacCover(const QString& path, QColor colour)
{
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    TagLib::FLAC::File file(QFile::encodeName(path).constData(), false);
    auto* picture = new TagLib::FLAC::Picture;
    picture->setType(TagLib::FLAC::Picture::FrontCover);
    picture->setMimeType("image/png");
    picture->setWidth(64);
    picture->setHeight(64);
    picture->setData(TagLib::ByteVector(png.constData(), unsigned(png.size())));
    file.addPicture(picture);
    return file.save();
}

bool writeTextFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}
