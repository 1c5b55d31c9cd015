// Volume leveling end to end: songs tagged by each tagging scheme are read as the scan
// reads them, their gain worked out from the tags, and what reaches the capturing output
// is compared with the same song played without a gain.

#include <QVariantMap>

#include "EngineTestSupport.h"

#include "library/VolumeLeveling.h"
#include "platform/media/MediaFileReader.h"

#include <taglib/apetag.h>
#include <taglib/fileref.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

#include <cmath>
#include <filesystem>
#include <functional>

using namespace audiofile_test;

namespace {

// Writes the gains ("-6.50 dB" style, or nothing for an empty text) and a track peak.
using TagWriter = std::function<void(const std::string& path, const std::string& track, const std::string& album,
                                     const std::string& peak)>;

void writeProperties(const std::string& path, const std::string& track, const std::string& album,
                     const std::string& peak)
{
    TagLib::FileRef ref(path.c_str());
    TagLib::PropertyMap map = ref.file()->properties();
    if (!track.empty())
        map.replace("REPLAYGAIN_TRACK_GAIN", TagLib::String(track));
    if (!album.empty())
        map.replace("REPLAYGAIN_ALBUM_GAIN", TagLib::String(album));
    if (!peak.empty())
        map.replace("REPLAYGAIN_TRACK_PEAK", TagLib::String(peak));
    ref.file()->setProperties(map);
    ASSERT_TRUE(ref.save());
}

void writeApe(const std::string& path, const std::string& track, const std::string& album, const std::string& peak)
{
    TagLib::MPEG::File file(path.c_str());
    TagLib::APE::Tag* tag = file.APETag(true);
    const std::pair<const char*, const std::string*> items[] = {
        {"REPLAYGAIN_TRACK_GAIN", &track}, {"REPLAYGAIN_ALBUM_GAIN", &album}, {"REPLAYGAIN_TRACK_PEAK", &peak}};
    for (const auto& [key, value] : items)
        if (!value->empty())
            tag->addValue(key, TagLib::String(*value));
    ASSERT_TRUE(file.save(TagLib::MPEG::File::APE, TagLib::File::StripNone));
}

void writeFreeform(const std::string& path, const std::string& track, const std::string& album,
                   const std::string& peak)
{
    TagLib::MP4::File file(path.c_str());
    const std::pair<const char*, const std::string*> items[] = {{"replaygain_track_gain", &track},
                                                                {"replaygain_album_gain", &album},
                                                                {"replaygain_track_peak", &peak}};
    for (const auto& [key, value] : items)
        if (!value->empty())
            file.tag()->setItem(std::string("----:com.apple.iTunes:") + key,
                                TagLib::StringList(TagLib::String(*value)));
    ASSERT_TRUE(file.save());
}

// Opus keeps its gains as R128 integers (Q7.8 dB relative to -23 LUFS, 5 dB below the
// ReplayGain reference); the peak has no R128 key.
void writeR128(const std::string& path, const std::string& track, const std::string& album, const std::string& peak)
{
    const auto q78 = [](const std::string& dB) { return std::to_string(std::lround((std::stod(dB) - 5.0) * 256.0)); };
    TagLib::FileRef ref(path.c_str());
    TagLib::PropertyMap map = ref.file()->properties();
    if (!track.empty())
        map.replace("R128_TRACK_GAIN", TagLib::String(q78(track)));
    if (!album.empty())
        map.replace("R128_ALBUM_GAIN", TagLib::String(q78(album)));
    ref.file()->setProperties(map);
    ASSERT_TRUE(ref.save());
    (void)peak;
}

struct Format {
    const char* name;
    const char* extension;
    const char* encodeArgs;
    TagWriter write;
};

double rms(const std::vector<int16_t>& samples)
{
    double sum = 0;
    for (int16_t s : samples)
        sum += double(s) * s;
    return std::sqrt(sum / double(std::max<size_t>(samples.size(), 1)));
}

class Leveling : public EngineTest {
protected:
    std::vector<int16_t> play(const std::string& path, int32_t gain)
    {
        ResetEffectHistory();
        capture->clear();
        bool ok = false;
        Stdout([&] { ok = engine->loadFiles(QUrl::fromLocalFile(QString::fromStdString(path)), gain); });
        EXPECT_TRUE(ok) << path;
        start();
        return playToEnd();
    }
    ReplayGainValues scanned(const std::string& path)
    {
        return readMediaFile(QByteArray::fromStdString(path)).song.replayGain;
    }
};

} // namespace

TEST_F(Leveling, TaggedSongsReachTheOutputAtTheirGain)
{
    const Format formats[] = {
        {"id3v2", "mp3", "-c:a libmp3lame -b:a 192k", writeProperties},
        {"ape", "mp3", "-c:a libmp3lame -b:a 192k", writeApe},
        {"flac", "flac", "-c:a flac -sample_fmt s16", writeProperties},
        {"vorbis", "ogg", "-c:a libvorbis -q:a 6", writeProperties},
        {"mp4", "m4a", "-c:a aac -b:a 192k", writeFreeform},
        {"opus", "opus", "-c:a libopus -b:a 192k", writeR128},
    };
    const struct {
        const char* track;
        const char* album;
        int mode;
        double expectedDb;
    } cases[] = {
        {"-6.50 dB", "+3.00 dB", kLevelingTrack, -6.5},
        {"-6.50 dB", "+3.00 dB", kLevelingAlbum, 3.0},
        {"+3.00 dB", "", kLevelingAlbum, 3.0},  // no album gain: the track's
        {"-6.50 dB", "+3.00 dB", kLevelingOff, 0.0},
    };
    for (const Format& format : formats) {
        SCOPED_TRACE(format.name);
        const std::string plain =
            makeTrack(std::string("level-") + format.name + "." + format.extension, 44100, 2, 22050, format.encodeArgs);
        EXPECT_EQ(levelingGain(scanned(plain), kLevelingAlbum, true), kExtAudioFilePlaybackGainUnity);
        const double reference = rms(play(plain, kExtAudioFilePlaybackGainUnity));
        ASSERT_GT(reference, 1000.0);
        int n = 0;
        for (const auto& c : cases) {
            const std::string tagged = fixtureDir() + "/tagged-" + format.name + std::to_string(n++) + "." + format.extension;
            std::filesystem::copy_file(plain, tagged, std::filesystem::copy_options::overwrite_existing);
            format.write(tagged, c.track, c.album, "");
            const int32_t gain = levelingGain(scanned(tagged), c.mode, true);
            const double levelDb = 20.0 * std::log10(rms(play(tagged, gain)) / reference);
            EXPECT_NEAR(levelDb, c.expectedDb, 0.1) << c.track << " " << c.album << " mode " << c.mode;
        }
    }
}

TEST_F(Leveling, TheTaggedPeakKeepsTheGainFromClipping)
{
    const std::string plain = makeTrack("level-peak.flac", 44100, 2, 22050, "-c:a flac -sample_fmt s16");
    const double reference = rms(play(plain, kExtAudioFilePlaybackGainUnity));
    const std::string tagged = fixtureDir() + "/tagged-peak.flac";
    std::filesystem::copy_file(plain, tagged, std::filesystem::copy_options::overwrite_existing);
    writeProperties(tagged, "+9.00 dB", "", "0.5");
    // A peak at half of full scale leaves room for twice the level (6.02 dB), not 9 dB.
    for (const auto& [prevent, expectedDb] : {std::pair{true, 6.02}, std::pair{false, 9.0}}) {
        const double levelDb =
            20.0 * std::log10(rms(play(tagged, levelingGain(scanned(tagged), kLevelingTrack, prevent))) / reference);
        EXPECT_NEAR(levelDb, expectedDb, 0.1) << "prevent clipping " << prevent;
    }
}
