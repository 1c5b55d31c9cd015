// Songs that follow one another without a gap: a continuous signal cut into three songs at
// frames that are not block multiples plays back as one signal, through the effects too.

#include "EngineTestSupport.h"

#include <QCoreApplication>
#include <QUrl>
#include <QVariantMap>

#include <algorithm>

namespace {

struct Codec {
    const char *name, *extension, *args;
    bool lossless;
    bool exactLengths; // ffmpeg's AAC and Opus encoders record lengths a few frames off
    int effect;        // -1 bypass, 0 equalizer, 3 speed/pitch
};

// Cuts of the signal (frames): off every block and codec frame size, at lengths that
// ffmpeg's MP3 and Vorbis encoders record exactly (for some others they are off).
constexpr int kCuts[] = {0, 44987, 92110, 142131};

class GaplessJoin : public EngineTest, public ::testing::WithParamInterface<Codec> {
protected:
    // Encodes each part of `signal` as a song of its own.
    std::vector<std::string> cutSongs(const Codec& codec, const std::vector<int16_t>& signal)
    {
        std::vector<std::string> paths;
        for (int i = 0; i < 3; ++i) {
            const std::string name = std::string("join-") + codec.name + std::to_string(i) + "." + codec.extension;
            paths.push_back(audiofile_test::encodeSamples(name, &signal[2 * size_t(kCuts[i])],
                                                          2 * size_t(kCuts[i + 1] - kCuts[i]), 44100, 2, codec.args));
        }
        return paths;
    }
    // Plays the songs in order, preparing each next one once the one before has started,
    // as the player does, with its leveling gain from `gains` (unity where none is given);
    // answers what reached the output.
    std::vector<int16_t> playInOrder(const std::vector<std::string>& songs, const std::vector<SInt32>& gains = {})
    {
        EXPECT_TRUE(load(songs[0]));
        start();
        Stdout([&] {
            for (size_t prepared = 1; capture->pull(kBlock) == kBlock; QCoreApplication::processEvents()) {
                if (prepared < songs.size() && prepared == movesReported() + 1) {
                    const SInt32 gain = prepared < gains.size() ? gains[prepared] : kExtAudioFilePlaybackGainUnity;
                    EXPECT_TRUE(engine->prepareNextFile(QUrl::fromLocalFile(QString::fromStdString(songs[prepared++])), gain));
                }
            }
        });
        QCoreApplication::processEvents();
        return capture->samples();
    }
    size_t movesReported() const
    {
        return size_t(std::count_if(reports.begin(), reports.end(), [](auto& r) { return r.value(MusicPlayMovedOnKey).toInt(); }));
    }
};

TEST_P(GaplessJoin, ThreeSongsPlayBackAsTheSignalTheyWereCutFrom)
{
    const Codec codec = GetParam();
    const std::vector<int16_t> signal = audiofile_test::testSignal(44100, 2, kCuts[3]);
    const std::vector<std::string> songs = cutSongs(codec, signal);
    std::vector<int16_t> decoded;
    std::vector<int> starts = {0};
    for (const std::string& song : songs) {
        const std::vector<int16_t> one = audiofile_test::decodeAll(song);
        decoded.insert(decoded.end(), one.begin(), one.end());
        starts.push_back(int(decoded.size() / 2));
    }
    Stdout([&] {
        engine->setEQMode(5);
        engine->setSpeedPitch(2, 10);
    });
    mode(codec.effect);
    const std::vector<int16_t> played = playInOrder(songs);

    // Each song ended once with its own length, the first two by moving on; the output is
    // the songs' frames back to back, the effects running on as through one song.
    ASSERT_EQ(reports.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reports[i].value(MusicPlayTimerKey).toLongLong(), starts[i + 1] - starts[i]) << "song " << i;
        EXPECT_EQ(reports[i].value(MusicPlayMovedOnKey).toInt(), i < 2 ? 1 : 0) << "song " << i;
        if (codec.exactLengths) {
            EXPECT_EQ(starts[i + 1] - starts[i], kCuts[i + 1] - kCuts[i]) << "song " << i << " is not trimmed";
        }
    }
    std::vector<int16_t> joined = ApplyEffectOffline(codec.effect, decoded, kBlock);
    joined.resize(decoded.size());
    ASSERT_GE(played.size(), joined.size());
    EXPECT_TRUE(std::equal(joined.begin(), joined.end(), played.begin())) << "the joins lose or add frames";
    if (codec.lossless) {
        EXPECT_EQ(decoded, signal);
    }
    // No silence around the joins, where priming or end padding left in would show (that
    // each lossy song lines up with the signal inside is the reader's own format test).
    for (int i : {1, 2}) {
        const auto around = played.begin() + 2 * (starts[i] - 512);
        EXPECT_EQ(std::search_n(around, around + 2048, 8, int16_t(0)), around + 2048) << "silence at join " << i;
    }
}

// The leveling gain travels with each song's reader: across a join inside a block, the
// finished song's frames keep its gain and the next song's frames get their own.
TEST_F(GaplessJoin, EachSongKeepsItsOwnLevelingGainAcrossTheJoins)
{
    const Codec wav{"gain", "wav", "-c:a pcm_s16le", true, true, -1};
    const std::vector<int16_t> signal = audiofile_test::testSignal(44100, 2, kCuts[3]);
    const SInt32 half = kExtAudioFilePlaybackGainUnity / 2;
    std::vector<int16_t> leveled = signal;
    for (size_t i = 2 * size_t(kCuts[1]); i < 2 * size_t(kCuts[2]); ++i)
        leveled[i] = int16_t((int32_t(signal[i]) * half + 0x8000) >> 16);
    std::vector<int16_t> expected = ApplyEffectOffline(wav.effect, leveled, kBlock);
    mode(wav.effect);
    const std::vector<int16_t> played =
        playInOrder(cutSongs(wav, signal), {kExtAudioFilePlaybackGainUnity, half, kExtAudioFilePlaybackGainUnity});
    ASSERT_GE(played.size(), expected.size());
    const auto differ = std::mismatch(expected.begin(), expected.end(), played.begin());
    EXPECT_EQ(differ.first, expected.end()) << "first difference at frame " << (differ.first - expected.begin()) / 2;
}

INSTANTIATE_TEST_SUITE_P(Formats, GaplessJoin,
                         ::testing::Values(Codec{"wav", "wav", "-c:a pcm_s16le", true, true, -1},
                                           Codec{"flac", "flac", "-c:a flac -sample_fmt s16", true, true, 0},
                                           Codec{"alac", "m4a", "-c:a alac -sample_fmt s16p", true, true, 3},
                                           Codec{"vorbis", "ogg", "-c:a libvorbis -q:a 6", false, true, -1},
                                           Codec{"opus", "opus", "-c:a libopus -b:a 160k", false, false, -1},
                                           Codec{"mp3", "mp3", "-c:a libmp3lame -b:a 256k", false, true, -1},
                                           Codec{"aac", "m4a", "-c:a aac -b:a 256k", false, false, -1}),
                         [](const ::testing::TestParamInfo<Codec>& info) { return std::string(info.param.name); });

} // namespace
