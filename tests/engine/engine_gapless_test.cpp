// Songs that follow one another without a gap: a continuous signal cut into three songs at
// frames that are not block multiples plays back as one signal, through the effects too.

#include "EngineTestSupport.h"

#include "engine/EngineGlobals.h"

#include <QCoreApplication>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>

namespace {

struct Codec {
    const char* name;
    const char* extension;
    const char* args;
    bool lossless;
    // The encoder records each song's length exactly (ffmpeg's own AAC encoder writes edit
    // lists some tens of frames off, so its joins can only be as good as its files).
    bool exactLengths;
};

// Cuts of the signal (frames): off every block size and codec frame size, at lengths for
// which ffmpeg's MP3 and Vorbis encoders record the length exactly (for some others they
// are off by a few frames).
constexpr int kCuts[] = {0, 44987, 92110, 142131};

// The three songs made from one continuous signal, encoded alike.
std::vector<std::string> CutSongs(const Codec& codec, const std::vector<int16_t>& signal)
{
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i) {
        const std::string name = std::string("join-") + codec.name + std::to_string(i);
        const std::string raw = audiofile_test::writeFile(
            name + ".raw", std::string(reinterpret_cast<const char*>(signal.data() + 2 * kCuts[i]),
                                       size_t(kCuts[i + 1] - kCuts[i]) * 4));
        const std::string path = audiofile_test::fixtureDir() + "/" + name + "." + codec.extension;
        const std::string command = "ffmpeg -nostdin -loglevel error -y -f s16le -ar 44100 -ac 2 -i '" + raw + "' "
                                  + codec.args + " '" + path + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        paths.push_back(path);
    }
    return paths;
}

class GaplessTest : public EngineTest {
protected:
    // Plays the songs in order, preparing each next one once the one before has started,
    // as the player does; answers what reached the output.
    std::vector<int16_t> playInOrder(const std::vector<std::string>& songs)
    {
        EXPECT_TRUE(load(songs[0]));
        size_t prepared = 1, moves = 0;
        auto prepareNext = [&] {
            if (prepared < songs.size()) {
                EXPECT_TRUE(engine->prepareNextFile(QUrl::fromLocalFile(QString::fromStdString(songs[prepared++]))));
            }
        };
        start();
        Stdout([&] {
            prepareNext();
            for (int guard = 0; guard < 100000 && capture->pull(kBlock) == kBlock; ++guard) {
                QCoreApplication::processEvents();
                for (; moves < movesReported(); ++moves)
                    prepareNext();
            }
        });
        QCoreApplication::processEvents();
        return capture->samples();
    }
    size_t movesReported() const
    {
        return size_t(std::count_if(reports.begin(), reports.end(),
                                    [](const QVariantMap& r) { return r.value(MusicPlayMovedOnKey).toInt() == 1; }));
    }
    // Index of the first frame at which `played` differs from `expected` (its length when
    // none does, over expected's frames).
    static size_t FirstDifference(const std::vector<int16_t>& expected, const std::vector<int16_t>& played)
    {
        if (played.size() < expected.size())
            return played.size() / 2;
        return size_t(std::mismatch(expected.begin(), expected.end(), played.begin()).first - expected.begin()) / 2;
    }
};

class GaplessJoin : public GaplessTest, public ::testing::WithParamInterface<Codec> {};

TEST_P(GaplessJoin, ThreeSongsPlayBackAsTheSignalTheyWereCutFrom)
{
    const Codec codec = GetParam();
    const std::vector<int16_t> signal = audiofile_test::testSignal(44100, 2, kCuts[3]);
    const std::vector<std::string> songs = CutSongs(codec, signal);
    std::vector<int16_t> decoded;
    std::vector<SInt64> lengths;
    for (const std::string& song : songs) {
        const std::vector<int16_t> one = audiofile_test::decodeAll(song);
        decoded.insert(decoded.end(), one.begin(), one.end());
        lengths.push_back(SInt64(one.size() / 2));
    }
    mode(-1);
    const std::vector<int16_t> played = playInOrder(songs);

    // Each song ended once with its own length, the first two by moving on, and the graph
    // stopped only after the last; the output is the songs' frames back to back.
    ASSERT_EQ(reports.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(reports[i].value(MusicPlayTimerKey).toLongLong(), lengths[size_t(i)]) << "song " << i;
        EXPECT_EQ(reports[i].value(MusicPlayMovedOnKey).toInt(), i < 2 ? 1 : 0) << "song " << i;
        if (codec.exactLengths) {
            EXPECT_EQ(lengths[size_t(i)], kCuts[i + 1] - kCuts[i]) << "song " << i << " is not trimmed to its length";
        }
    }
    const std::vector<int16_t> joined = ApplyEffectOffline(-1, decoded, kBlock);
    EXPECT_EQ(FirstDifference({joined.begin(), joined.begin() + std::ptrdiff_t(decoded.size())}, played), decoded.size() / 2);

    if (codec.lossless) {
        EXPECT_EQ(FirstDifference(signal, decoded), signal.size() / 2);
        return;
    }
    // Lossy: the songs line up with the signal inside (a trim that is off by a few frames
    // makes the whole song differ), and around each join there is no silence and no more
    // error than the encoders' own edge effects (each song was encoded with a hard cut at
    // its ends, which they code with some pre-echo).
    // Each song is compared with its own part of the signal (when an encoder recorded a
    // length a little off, the songs after it shift by that much).
    std::vector<int16_t> aligned(signal.size(), 0);
    for (size_t i = 0, at = 0; i < 3; at += size_t(lengths[i]) * 2, ++i)
        std::copy_n(decoded.begin() + std::ptrdiff_t(at), std::min<SInt64>(lengths[i], kCuts[i + 1] - kCuts[i]) * 2,
                    aligned.begin() + 2 * kCuts[i]);
    auto rms = [&](int from, int to, bool error) {
        double sum = 0;
        for (int i = 2 * from; i < 2 * to; ++i)
            sum += std::pow(double(signal[size_t(i)]) - (error ? double(aligned[size_t(i)]) : 0.0), 2);
        return std::sqrt(sum / (2.0 * (to - from)));
    };
    for (int i = 0; i < 3; ++i)
        EXPECT_LT(rms(kCuts[i] + 4096, kCuts[i + 1] - 4096, true), 0.2 * rms(kCuts[i] + 4096, kCuts[i + 1] - 4096, false))
            << "song " << i << " does not line up with the signal";
    for (int i : {1, 2}) {
        const int join = kCuts[i];
        if (codec.exactLengths) {
            EXPECT_LT(rms(join - 1024, join + 1024, true), 0.5 * rms(join - 1024, join + 1024, false)) << "join at " << join;
        }
        const int playedJoin = int(std::accumulate(lengths.begin(), lengths.begin() + i, SInt64(0)));
        int silent = 0, longest = 0;
        for (int f = playedJoin - 512; f < playedJoin + 512; ++f) {
            silent = played[2 * size_t(f)] == 0 && played[2 * size_t(f) + 1] == 0 ? silent + 1 : 0;
            longest = std::max(longest, silent);
        }
        EXPECT_LT(longest, 4) << "silence at the join at " << join;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, GaplessJoin,
                         ::testing::Values(Codec{"wav", "wav", "-c:a pcm_s16le", true, true},
                                           Codec{"flac", "flac", "-c:a flac -sample_fmt s16", true, true},
                                           Codec{"alac", "m4a", "-c:a alac -sample_fmt s16p", true, true},
                                           Codec{"vorbis", "ogg", "-c:a libvorbis -q:a 6", false, true},
                                           Codec{"opus", "opus", "-c:a libopus -b:a 160k", false, false},
                                           Codec{"mp3", "mp3", "-c:a libmp3lame -b:a 256k", false, true},
                                           Codec{"aac", "m4a", "-c:a aac -b:a 256k", false, false}),
                         [](const ::testing::TestParamInfo<Codec>& info) { return std::string(info.param.name); });

TEST_F(GaplessTest, EqualizerAndSpeedPitchRunThroughTheJoinsAsThroughOneSong)
{
    const std::vector<int16_t> signal = audiofile_test::testSignal(44100, 2, kCuts[3]);
    const std::vector<std::string> songs = CutSongs(Codec{"effects", "wav", "-c:a pcm_s16le", true, true}, signal);
    Stdout([&] {
        engine->setEQMode(5);
        engine->setSpeedPitch(2, 10);
    });
    for (int effect : {0, 3}) {
        SCOPED_TRACE(effect);
        capture->clear();
        reports.clear();
        EqModeOnOffFlag = PTCEnable = false;
        ResetEffectHistory();
        mode(effect);
        const std::vector<int16_t> played = playInOrder(songs);
        const std::vector<int16_t> expected = ApplyEffectOffline(effect, signal, kBlock);
        EXPECT_EQ(movesReported(), 2u);
        EXPECT_EQ(FirstDifference({expected.begin(), expected.begin() + 2 * kCuts[3]}, played), size_t(kCuts[3]));
    }
}

TEST_F(GaplessTest, DiscardedOrClosedNextSongIsNeverPlayed)
{
    const std::string first = MakeTrack("discard-a.wav", 0.3, 44100, 2, "-c:a pcm_s16le");
    const QUrl second = QUrl::fromLocalFile(QString::fromStdString(MakeTrack("discard-b.wav", 0.3, 44100, 2, "-c:a pcm_s16le")));
    mode(-1);
    ASSERT_TRUE(load(first));
    Stdout([&] {
        ASSERT_TRUE(engine->prepareNextFile(second));
        engine->discardNextFile();
    });
    EXPECT_FALSE(engine->hasNextFile());
    start();
    playToEnd();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].value(MusicPlayMovedOnKey).toInt(), 0);

    // Closing the open song takes the prepared one with it.
    ASSERT_TRUE(load(first));
    Stdout([&] {
        ASSERT_TRUE(engine->prepareNextFile(second));
        engine->CloseFile();
    });
    EXPECT_FALSE(engine->hasNextFile());
}

} // namespace
