#include "MediaFixtures.h"

#include "../SoundFiles.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

#include <stdexcept>

namespace {

TagLib::String toTag(const QString& text)
{
    return TagLib::String(text.toStdString(), TagLib::String::UTF8);
}

} // namespace

TemporaryHome::TemporaryHome()
{
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary directory for the test home");
    const QString root = m_dir.path();
    QDir(root).mkpath(QStringLiteral("Music"));
    QDir(root).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(root + "/runtime", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + "/.config").toUtf8());
    qputenv("XDG_DATA_HOME", (root + "/.local/share").toUtf8());
    qputenv("XDG_CACHE_HOME", (root + "/.cache").toUtf8());
    qputenv("XDG_MUSIC_DIR", music().toUtf8());
    qputenv("XDG_RUNTIME_DIR", (root + "/runtime").toUtf8());
}

void makeAudioFile(const QString& path, const QString& extension)
{
    static QTemporaryDir sources;
    static QMap<QString, QString> made;
    if (!made.contains(extension)) {
        const QString source = sources.path() + QStringLiteral("/tone.") + extension;
        const QMap<QString, std::string> options = {
            {"m4a", "-c:a aac"}, {"ogg", "-c:a libvorbis"}, {"flac", "-sample_fmt s16"}};
        if (!test_files::makeTone(source.toStdString(), 0.2, options.value(extension)) || !QFile::exists(source))
            throw std::runtime_error("ffmpeg could not make a ." + extension.toStdString() + " file");
        made.insert(extension, source);
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    if (!QFile::copy(made.value(extension), path))
        throw std::runtime_error("could not copy a fixture to " + path.toStdString());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

bool writeTags(const QString& path, const TagValues& tags)
{
    TagLib::FileRef ref(QFile::encodeName(path).constData(), false);
    if (ref.isNull())
        return false;
    TagLib::PropertyMap map;
    auto put = [&map](const char* key, const std::optional<QString>& value) {
        if (value)
            map.insert(key, TagLib::StringList(toTag(*value)));
    };
    put("TITLE", tags.title);
    put("ARTIST", tags.artist);
    put("ALBUM", tags.album);
    put("GENRE", tags.genre);
    put("COMPOSER", tags.composer);
    put("LYRICS", tags.lyrics);
    for (const auto& [key, value] : {std::pair{"TRACKNUMBER", tags.track}, {"DISCNUMBER", tags.disc},
                                     {"TRACKTOTAL", tags.trackTotal}, {"DISCTOTAL", tags.discTotal}})
        put(key, value.isEmpty() ? std::nullopt : std::optional(value));
    ref.file()->setProperties(map);
    return ref.save();
}

bool embedCover(const QString& path, QColor colour, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const TagLib::ByteVector data(png.constData(), unsigned(png.size()));
    const QByteArray encodedPath = QFile::encodeName(path);

    if (path.endsWith(QLatin1String(".mp3"))) {
        TagLib::MPEG::File file(encodedPath.constData(), false);
        auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setMimeType("image/png");
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        frame->setPicture(data);
        file.ID3v2Tag(true)->addFrame(frame);
        return file.save();
    }
    if (path.endsWith(QLatin1String(".m4a"))) {
        TagLib::MP4::File file(encodedPath.constData(), false);
        TagLib::MP4::CoverArtList covers;
        covers.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::PNG, data));
        file.tag()->setItem("covr", TagLib::MP4::Item(covers));
        return file.save();
    }
    if (path.endsWith(QLatin1String(".flac"))) {
        TagLib::FLAC::File file(encodedPath.constData(), false);
        auto* picture = new TagLib::FLAC::Picture;
        picture->setType(TagLib::FLAC::Picture::FrontCover);
        picture->setMimeType("image/png");
        picture->setWidth(width);
        picture->setHeight(height);
        picture->setData(data);
        file.addPicture(picture);
        return file.save();
    }
    return false;
}

void writeTextFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        throw std::runtime_error("could not write " + path.toStdString());
}

void touchLater(const QString& path, int seconds)
{
    QFile file(path);
    const QDateTime modified = QFileInfo(path).lastModified();
    if (!file.open(QIODevice::ReadWrite) || !file.setFileTime(modified.addSecs(seconds), QFileDevice::FileModificationTime))
        throw std::runtime_error("could not touch " + path.toStdString());
}
