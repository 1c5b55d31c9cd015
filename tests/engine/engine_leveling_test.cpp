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

#include <cctype>
#include <cmath>
#include <filesystem>

using namespace audiofile_test;

namespace {

enum class Scheme { Properties, Ape, Freeform, R128 };

// Writes the gains ("-6.50 dB"; empty: none) and the track peak as `scheme` keeps them.
// R128 gains are Q7.8 dB relative to -23 LUFS, 5 dB below the ReplayGain reference.
void writeTags(const std::string& path, Scheme scheme, const std::string& track, const std::string& album,
               const std::string& peak = "")
{
    const std::pair<std::string, std::string> tags[] = {
        {"REPLAYGAIN_TRACK_GAIN", track}, {"REPLAYGAIN_ALBUM_GAIN", album}, {"REPLAYGAIN_TRACK_PEAK", peak}};
    if (scheme == Scheme::Ape) {
        TagLib::MPEG::File file(path.c_str());
        for (const auto& [key, value] : tags)
            if (!value.empty())
                file.APETag(true)->addValue(key, value);
        ASSERT_TRUE(file.save(TagLib::MPEG::File::APE, TagLib::File::StripNone));
    } else if (scheme == Scheme::Freeform) {
        TagLib::MP4::File file(path.c_str());
        for (auto [key, value] : tags) {
            for (char& ch : key)
                ch = char(std::tolower(ch));  // as one tagger writes them; the reader takes any case
            if (!value.empty())
                file.tag()->setItem("----:com.apple.iTunes:" + key, TagLib::StringList(value));
        }
        ASSERT_TRUE(file.save());
    } else {
        TagLib::FileRef ref(path.c_str());
        TagLib::PropertyMap map = ref.file()->properties();
        for (auto [key, value] : tags) {
            if (value.empty() || (scheme == Scheme::R128 && key.find("PEAK") != std::string::npos))
                continue;
            if (scheme == Scheme::R128) {
                key.replace(0, 10, "R128");
                value = std::to_string(std::lround((std::stod(value) - 5.0) * 256.0));
            }
            map.replace(key, TagLib::String(value));
        }
        ref.file()->setProperties(map);
        ASSERT_TRUE(ref.save());
    }
}

ReplayGainValues scanned(const std::string& path)
{
    return readMediaFile(QByteArray::fromStdString(path)).song.replayGain;
}

std::string copyOf(const std::string& path)
{
    const std::string copy = fixtureDir() + "/tagged" + std::filesystem::path(path).extension().string();
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
    return copy;
}

class Leveling : public EngineTest {
protected:
    // The RMS level of `path` played with the gain its tags give, in dB.
    double levelDb(const std::string& path, int mode, bool preventClipping = true)
    {
        ResetEffectHistory();
        capture->clear();
        bool ok = false;
        const int32_t gain = levelingGain(scanned(path), mode, preventClipping);
        Stdout([&] { ok = engine->loadFiles(QUrl::fromLocalFile(QString::fromStdString(path)), gain); });
        EXPECT_TRUE(ok) << path;
        start();
        double sum = 0;
        const std::vector<int16_t> samples = playToEnd();
        for (int16_t s : samples)
            sum += double(s) * s;
        return 10.0 * std::log10(sum / double(std::max<size_t>(samples.size(), 1)));
    }
};

} // namespace

TEST_F(Leveling, TaggedSongsReachTheOutputAtTheirGain)
{
    const struct {
        const char* name;
        const char* encodeArgs;
        Scheme scheme;
    } formats[] = {
        {"id3v2.mp3", "-c:a libmp3lame -b:a 192k", Scheme::Properties},
        {"ape.mp3", "-c:a libmp3lame -b:a 192k", Scheme::Ape},
        {"vorbis-comment.flac", "-c:a flac -sample_fmt s16", Scheme::Properties},
        {"vorbis-comment.ogg", "-c:a libvorbis -q:a 6", Scheme::Properties},
        {"freeform.m4a", "-c:a aac -b:a 192k", Scheme::Freeform},
        {"r128.opus", "-c:a libopus -b:a 192k", Scheme::R128},
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
    for (const auto& format : formats) {
        SCOPED_TRACE(format.name);
        const std::string plain = makeTrack(std::string("level-") + format.name, 44100, 2, 22050, format.encodeArgs);
        const double untagged = levelDb(plain, kLevelingAlbum);  // plays unchanged
        EXPECT_EQ(levelingGain(scanned(plain), kLevelingAlbum, true), kExtAudioFilePlaybackGainUnity);
        for (const auto& c : cases) {
            const std::string tagged = copyOf(plain);
            writeTags(tagged, format.scheme, c.track, c.album);
            EXPECT_NEAR(levelDb(tagged, c.mode) - untagged, c.expectedDb, 0.1) << c.track << " " << c.album << " " << c.mode;
        }
    }
}

TEST_F(Leveling, TheTaggedPeakKeepsTheGainFromClipping)
{
    const std::string plain = makeTrack("level-peak.flac", 44100, 2, 22050, "-c:a flac -sample_fmt s16");
    const double untagged = levelDb(plain, kLevelingTrack);
    const std::string tagged = copyOf(plain);
    writeTags(tagged, Scheme::Properties, "+9.00 dB", "", "0.5");
    // A peak at half of full scale leaves room for twice the level (6.02 dB), not 9 dB.
    EXPECT_NEAR(levelDb(tagged, kLevelingTrack, true) - untagged, 6.02, 0.1);
    EXPECT_NEAR(levelDb(tagged, kLevelingTrack, false) - untagged, 9.0, 0.1);
}
