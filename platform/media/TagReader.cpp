// TagLib's part of reading a file: the song's texts and numbers, and its embedded cover.

#include "platform/media/MediaFile.h"
#include "platform/media/MediaFileReader.h"

#include <QFileInfo>

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/aifffile.h>
#include <taglib/speexfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

namespace {

QString toQString(const TagLib::String& text)
{
    // TagLib keeps its text as a wide string; this converts without a further copy.
    return QString::fromWCharArray(text.toCWString(), qsizetype(text.size()));
}

// The text of a tag key: absent when the key is missing, the values joined with " / "
// when there are several; present-but-empty stays empty.
std::optional<QString> textOf(const TagLib::PropertyMap& map, const char* key)
{
    const auto found = map.find(key);
    if (found == map.end())
        return std::nullopt;
    return toQString(found->second.toString(" / "));
}

// "3", "3/12" -> (3, 12); zero and garbage count as absent.
void parseNumberPair(const std::optional<QString>& text, std::optional<int>& number,
                     std::optional<int>& count)
{
    if (!text)
        return;
    const QStringList parts = text->split(QLatin1Char('/'));
    bool ok = false;
    const int first = parts.value(0).trimmed().toInt(&ok);
    if (ok && first > 0)
        number = first;
    if (parts.size() > 1) {
        const int second = parts.value(1).trimmed().toInt(&ok);
        if (ok && second > 0)
            count = second;
    }
}

void parseCount(const std::optional<QString>& text, std::optional<int>& count)
{
    if (!text || count)
        return;
    bool ok = false;
    const int value = text->trimmed().toInt(&ok);
    if (ok && value > 0)
        count = value;
}

template <typename PictureList>
TagLib::ByteVector firstXiphPicture(const PictureList& pictures)
{
    const TagLib::FLAC::Picture* chosen = nullptr;
    for (const TagLib::FLAC::Picture* picture : pictures) {
        if (!chosen || picture->type() == TagLib::FLAC::Picture::FrontCover) {
            if (!chosen || chosen->type() != TagLib::FLAC::Picture::FrontCover)
                chosen = picture;
        }
    }
    return chosen ? chosen->data() : TagLib::ByteVector();
}

TagLib::ByteVector id3v2Picture(TagLib::ID3v2::Tag* tag)
{
    if (!tag)
        return {};
    const TagLib::ID3v2::FrameList& frames = tag->frameListMap()["APIC"];
    const TagLib::ID3v2::AttachedPictureFrame* chosen = nullptr;
    for (const TagLib::ID3v2::Frame* frame : frames) {
        const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (!picture)
            continue;
        if (!chosen || (picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover
                        && chosen->type() != TagLib::ID3v2::AttachedPictureFrame::FrontCover))
            chosen = picture;
    }
    return chosen ? chosen->picture() : TagLib::ByteVector();
}

// The embedded cover's bytes (TagLib's byte vectors share their data, so this copies
// nothing); empty when there is none.
TagLib::ByteVector coverOf(TagLib::File* file)
{
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file))
        return id3v2Picture(mpeg->ID3v2Tag(false));
    if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
        TagLib::MP4::Tag* tag = mp4->tag();
        if (!tag || !tag->contains("covr"))
            return {};
        const TagLib::MP4::CoverArtList covers = tag->item("covr").toCoverArtList();
        if (covers.isEmpty())
            return {};
        return covers.front().data();
    }
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
        TagLib::ByteVector picture = firstXiphPicture(flac->pictureList());
        if (picture.isEmpty() && flac->hasXiphComment())
            picture = firstXiphPicture(flac->xiphComment()->pictureList());
        if (picture.isEmpty())
            picture = id3v2Picture(flac->ID3v2Tag(false));
        return picture;
    }
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file))
        return wav->hasID3v2Tag() ? id3v2Picture(wav->ID3v2Tag()) : TagLib::ByteVector();
    if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file))
        return aiff->hasID3v2Tag() ? id3v2Picture(aiff->tag()) : TagLib::ByteVector();
    TagLib::Ogg::XiphComment* xiph = nullptr;
    if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file))
        xiph = vorbis->tag();
    else if (auto* opus = dynamic_cast<TagLib::Ogg::Opus::File*>(file))
        xiph = opus->tag();
    else if (auto* oggFlac = dynamic_cast<TagLib::Ogg::FLAC::File*>(file))
        xiph = oggFlac->tag();
    else if (auto* speex = dynamic_cast<TagLib::Ogg::Speex::File*>(file))
        xiph = speex->tag();
    return xiph ? firstXiphPicture(xiph->pictureList()) : TagLib::ByteVector();
}

} // namespace

bool readTags(const MediaFile& file, MediaItemProperties& properties, QByteArray* cover)
{
    properties.title.clear();
    MediaFileTagStream stream(file);
    const TagLib::FileRef ref(&stream, true, TagLib::AudioProperties::Fast);
    bool audio = false;
    if (!ref.isNull() && ref.file()->isValid()) {
        const TagLib::AudioProperties* audioProperties = ref.audioProperties();
        audio = audioProperties && audioProperties->sampleRate() > 0 && audioProperties->channels() > 0;
        const TagLib::PropertyMap map = ref.file()->properties();
        properties.title = textOf(map, "TITLE").value_or(QString());
        properties.artist = textOf(map, "ARTIST");
        properties.albumArtist = textOf(map, "ALBUMARTIST");
        properties.albumTitle = textOf(map, "ALBUM");
        properties.genre = textOf(map, "GENRE");
        properties.composer = textOf(map, "COMPOSER");
        properties.lyrics = textOf(map, "LYRICS");
        parseNumberPair(textOf(map, "TRACKNUMBER"), properties.albumTrackNumber,
                        properties.albumTrackCount);
        parseNumberPair(textOf(map, "DISCNUMBER"), properties.discNumber, properties.discCount);
        // Xiph comments keep the totals in keys of their own.
        parseCount(textOf(map, "TRACKTOTAL"), properties.albumTrackCount);
        parseCount(textOf(map, "TOTALTRACKS"), properties.albumTrackCount);
        parseCount(textOf(map, "DISCTOTAL"), properties.discCount);
        parseCount(textOf(map, "TOTALDISCS"), properties.discCount);
        const TagLib::ByteVector picture = coverOf(ref.file());
        properties.hasArtwork = !picture.isEmpty();
        if (cover && properties.hasArtwork)
            *cover = QByteArray(picture.data(), qsizetype(picture.size()));
    }
    if (properties.title.isEmpty())
        properties.title = displayBaseName(file.path());
    return audio;
}

QByteArray readEmbeddedCover(const QByteArray& path)
{
    const MediaFile file(path);
    MediaFileTagStream stream(file);
    const TagLib::FileRef ref(&stream, false);
    if (ref.isNull() || !ref.file()->isValid())
        return {};
    const TagLib::ByteVector cover = coverOf(ref.file());
    return QByteArray(cover.data(), int(cover.size()));
}
