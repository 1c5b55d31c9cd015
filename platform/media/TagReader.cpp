// TagLib's part of reading a file: the song's texts and numbers, its loudness values for volume
// leveling, and its embedded cover.

#include "platform/media/MediaFile.h"
#include "platform/media/MediaFileReader.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/aifffile.h>
#include <taglib/apetag.h>
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

// A ReplayGain text as taggers write it ("-6.50 dB", "+3 dB", "0.988547"): the number,
// or nothing when the text does not start with one in `limit`.
std::optional<double> leadingNumber(const std::optional<QString>& text, double limit)
{
    if (!text)
        return std::nullopt;
    QString number = text->trimmed();
    if (number.endsWith(QLatin1String("db"), Qt::CaseInsensitive))
        number.chop(2);
    bool ok = false;
    const double value = number.trimmed().toDouble(&ok);
    if (!ok || !(value >= -limit && value <= limit))
        return std::nullopt;
    return value;
}

int16_t gainValue(std::optional<double> dB)
{
    return dB ? int16_t(std::lround(*dB * 100.0)) : ReplayGainValues::kNoGain;
}

uint16_t peakValue(std::optional<double> peak)
{
    return peak && *peak > 0.0 ? uint16_t(std::min(65535L, std::max(1L, std::lround(*peak * 10000.0)))) : 0;
}

// The texts of ReplayGain-style keys that the property map leaves out: an MP3's APE tag
// (beside its ID3v2 tag) and an MP4's freeform atoms ("----:com.apple.iTunes:replaygain_track_gain",
// the name in any case), added under the upper-case name.
void addLoudnessKeys(TagLib::File* file, TagLib::PropertyMap& map)
{
    if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) {
        if (TagLib::APE::Tag* ape = mpeg->APETag(false)) {
            const TagLib::PropertyMap apeMap = ape->properties();
            for (const auto& [key, values] : apeMap)
                if (key.startsWith("REPLAYGAIN_") && !map.contains(key))
                    map.insert(key, values);
        }
    } else if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
        TagLib::MP4::Tag* tag = mp4->tag();
        if (!tag)
            return;
        for (const auto& [name, item] : tag->itemMap()) {
            if (!name.startsWith("----:"))
                continue;
            const int colon = name.rfind(":");
            const TagLib::String key = name.substr(colon + 1).upper();
            if (key.startsWith("REPLAYGAIN_") && !map.contains(key))
                map.insert(key, item.toStringList());
        }
    }
}

// Track and album gain and peak. Opus R128 gains (Q7.8 dB relative to -23 LUFS) are taken
// before ReplayGain ones, converted to the ReplayGain reference (-18 LUFS, 5 dB louder).
ReplayGainValues loudnessOf(TagLib::File* file, TagLib::PropertyMap map)
{
    addLoudnessKeys(file, map);
    const auto r128 = [&](const char* key) -> std::optional<double> {
        const std::optional<QString> text = textOf(map, key);
        bool ok = false;
        const int q78 = text ? text->trimmed().toInt(&ok) : 0;
        if (!ok || q78 < -32768 || q78 > 32767)
            return std::nullopt;
        return q78 / 256.0 + 5.0;
    };
    constexpr double kGainLimit = 60.0;  // dB; beyond this a tag is garbage
    constexpr double kPeakLimit = 6.0;   // full scale
    ReplayGainValues values;
    std::optional<double> track = r128("R128_TRACK_GAIN");
    std::optional<double> album = r128("R128_ALBUM_GAIN");
    if (!track)
        track = leadingNumber(textOf(map, "REPLAYGAIN_TRACK_GAIN"), kGainLimit);
    if (!album)
        album = leadingNumber(textOf(map, "REPLAYGAIN_ALBUM_GAIN"), kGainLimit);
    values.trackGain = gainValue(track);
    values.albumGain = gainValue(album);
    values.trackPeak = peakValue(leadingNumber(textOf(map, "REPLAYGAIN_TRACK_PEAK"), kPeakLimit));
    values.albumPeak = peakValue(leadingNumber(textOf(map, "REPLAYGAIN_ALBUM_PEAK"), kPeakLimit));
    return values;
}

} // namespace

bool readTags(const MediaFile& file, MediaItemProperties& properties, QByteArray* cover)
{
    properties.title.clear();
    properties.replayGain = {};
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
        properties.replayGain = loudnessOf(ref.file(), map);
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
