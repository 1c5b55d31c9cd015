// Tracks played to their end through the engine into a capturing output, compared sample
// for sample with the effects applied offline to the same decoded input (so a fault inside
// an effect shows in tests/qbs, not here); seeking, the reports, and files and reads that fail.

#include "EngineTestSupport.h"

#include "engine/EngineGlobals.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using EnginePlayback = EngineTest;

// The first `frames` frames are equal; otherwise where they first differ.
::testing::AssertionResult SameFrames(const std::vector<int16_t>& got, const std::vector<int16_t>& want, size_t frames)
{
    if (got.size() < frames * 2 || want.size() < frames * 2)
        return ::testing::AssertionFailure() << "too short: " << got.size() / 2 << ", " << want.size() / 2;
    for (size_t i = 0; i < frames * 2; ++i)
        if (got[i] != want[i])
            return ::testing::AssertionFailure() << "frame " << i / 2 << ": " << got[i] << " != " << want[i];
    return ::testing::AssertionSuccess();
}

bool Silent(std::vector<int16_t>::const_iterator begin, std::vector<int16_t>::const_iterator end)
{
    return std::all_of(begin, end, [](int16_t s) { return s == 0; });
}

TEST_F(EnginePlayback, EveryFormatAndEffectPlaysToItsEndExactlyAsAppliedOffline)
{
    const struct {
        const char* name;
        int rate, channels;
        const char* codec;
        int effect;
    } tracks[] = {
        {"pcm.wav", 44100, 2, "-c:a pcm_s16le", -1},     {"aac.m4a", 44100, 2, "-c:a aac -b:a 128k", 0},
        {"alac.m4a", 44100, 2, "-c:a alac -sample_fmt s16p", 1}, {"mp3.mp3", 44100, 2, "-c:a libmp3lame", 2},
        {"big.aif", 44100, 2, "-c:a pcm_s16be", 3},      {"flac48.flac", 48000, 2, "-c:a flac -sample_fmt s16", 0},
        {"mono.wav", 44100, 1, "-c:a pcm_s16le", 1},     {"vorbis.ogg", 44100, 2, "-c:a libvorbis", -1},
    };
    Stdout([&] {
        engine->setEQMode(5);
        engine->set3DStereoValue(0, 7);
        engine->setStageMode(1);
        engine->setSpeedPitch(2, 10);
    });
    for (const auto& t : tracks) {
        SCOPED_TRACE(t.name);
        const std::string path = MakeTrack(t.name, 0.6, t.rate, t.channels, t.codec);
        const std::vector<int16_t> decoded = audiofile_test::decodeAll(path);
        const size_t frames = decoded.size() / 2;
        capture->clear();
        reports.clear();
        EqModeOnOffFlag = StereoModeOnOffFlag = StageModeOnOffFlag = PTCEnable = false;
        ResetEffectHistory();
        mode(t.effect);
        ASSERT_TRUE(load(path));
        EXPECT_EQ(engine->frameCount(), SInt64(frames));
        start();
        const std::vector<int16_t> played = playToEnd();
        EXPECT_TRUE(SameFrames(played, ApplyEffectOffline(t.effect, decoded, kBlock), frames));
        EXPECT_FALSE(Silent(played.begin(), played.end()));
        // The padded rest of the last block, then one silent block for the end.
        EXPECT_EQ(played.size(), ((frames + kBlock - 1) / kBlock + 1) * kBlock * 2);
        EXPECT_TRUE(Silent(played.end() - kBlock * 2, played.end()));
        EXPECT_FALSE(engine->isPlaying());
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].value(MusicPlayTimerKey).toLongLong(), SInt64(frames));
        EXPECT_EQ(reports[0].value(MusciPlayfinishKey).toInt(), 1);
        EXPECT_LT(engine->currentFrame(), SInt64(frames + 2 * kBlock));
    }
}

TEST_F(EnginePlayback, OneClientChannelStillGivesTheEffectsStereoFrames)
{
    const std::string path = MakeTrack("two.wav", 0.3, 44100, 2, "-c:a pcm_s16le");
    Stdout([&] { engine->InputStremFormatChange(1); });
    mode(0);
    ASSERT_TRUE(load(path));
    start();
    const std::vector<int16_t> played = playToEnd();
    // Reference: the one channel on both sides through the equalizer, then both sides mixed.
    const std::vector<int16_t> one = audiofile_test::decodeAll(path, 1);
    std::vector<int16_t> spread(one.size() * 2);
    for (size_t i = 0; i < one.size(); ++i)
        spread[2 * i] = spread[2 * i + 1] = one[i];
    std::vector<int16_t> expected = ApplyEffectOffline(0, spread, kBlock);
    for (size_t i = 0; i < expected.size(); i += 2)
        expected[i] = expected[i + 1] = int16_t((expected[i] + expected[i + 1]) >> 1);
    EXPECT_TRUE(SameFrames(played, expected, one.size()));
    Stdout([&] { engine->InputStremFormatChange(2); });
}

TEST_F(EnginePlayback, SeekWhilePlayingResumesExactlyAtTheTarget)
{
    // The reader's own tests prove seeks exact in every format; this is the engine's part.
    const std::string path = MakeTrack("seek.wav", 1.0, 44100, 2, "-c:a pcm_s16le");
    mode(-1);
    ASSERT_TRUE(load(path));
    start();
    capture->pull(8 * kBlock);
    const SInt64 target = 20000;
    engine->FileSeek(target);
    EXPECT_TRUE(engine->LockSeek());
    const size_t locked = capture->frames();
    capture->pull(3 * kBlock);
    const std::vector<int16_t> during = capture->samples();
    EXPECT_TRUE(Silent(during.begin() + locked * 2, during.end()));
    EXPECT_EQ(engine->currentFrame(), target);
    EXPECT_FALSE(mSeekFlag.load()) << "reports pause while the lock is set";

    engine->LockSeekChange(false);
    const size_t resumed = capture->frames();
    const std::vector<int16_t> played = playToEnd();
    const std::vector<int16_t> decoded = audiofile_test::decodeAll(path);
    const std::vector<int16_t> tail(decoded.begin() + target * 2, decoded.end());
    EXPECT_TRUE(SameFrames(std::vector<int16_t>(played.begin() + resumed * 2, played.end()),
                           ApplyEffectOffline(-1, tail, kBlock), tail.size() / 2));
}

TEST_F(EnginePlayback, LockedUnfilledFailedAndFileLessBlocksAreSilent)
{
    ASSERT_TRUE(load(MakeTrack("short.wav", 0.1, 44100, 2, "-c:a pcm_s16le")));
    start();
    std::vector<int16_t> out(kBlock * 2);
    AudioBufferList list{1, {{2, UInt32(out.size() * 2), out.data()}}};
    auto render = [&] {
        std::fill(out.begin(), out.end(), int16_t(123));
        OSStatus status = noErr;
        Stdout([&] { status = AUGraphController::renderInput(engine.get(), nullptr, nullptr, 0, kBlock, &list); });
        EXPECT_TRUE(Silent(out.begin(), out.end()));
        return status;
    };
    engine->LockSeekChange(true);
    EXPECT_EQ(render(), noErr);
    EXPECT_EQ(engine->currentFrame(), 0);
    // Speed/pitch writes nothing until its queue fills: those frames are silence too.
    mode(3);
    engine->LockSeekChange(false);
    EXPECT_EQ(render(), noErr);
    mode(0);

    ExtAudioFileFailNext(ExtAudioFileCall::Read, kAudioFileInvalidFileError);
    EXPECT_EQ(render(), kAudioFileInvalidFileError) << "a read error is the callback's result";
    EXPECT_FALSE(engine->isPlaying());
    EXPECT_TRUE(reports.empty());

    start();
    engine->CloseFile();
    EXPECT_EQ(render(), kAudioFileNotOpenError);
    EXPECT_FALSE(engine->isPlaying());
}

TEST_F(EnginePlayback, FilesThatCannotPlayAreRefusedCleanly)
{
    using namespace audiofile_test;
    std::string log;
    // A 0-byte file and a WAV header without frames: a length of 0, refused without a message.
    const std::string headerOnly = StereoWav("header-only.wav", 0, [](int64_t, int) { return int16_t(0); });
    for (const std::string& path : {writeFile("empty.m4a", ""), headerOnly}) {
        EXPECT_FALSE(load(path, &log)) << path;
        EXPECT_THAT(log, Not(HasSubstr("result"))) << path;
    }
    // Truncated and garbled files are the reader's tests; here each step's failure.
    const std::string flac = MakeTrack("a.flac", 0.5, 44100, 2, "-c:a flac");
    const std::pair<ExtAudioFileCall, std::string> steps[] = {
        {ExtAudioFileCall::Open, "ExtAudioFileOpenURL result"},
        {ExtAudioFileCall::GetFileDataFormat, "ExtAudioFileGetProperty kExtAudioFileProperty_FileDataFormat result"},
        {ExtAudioFileCall::SetClientDataFormat, "ExtAudioFileSetProperty kExtAudioFileProperty_ClientDataFormat"},
        {ExtAudioFileCall::GetFileLengthFrames, "ExtAudioFileGetProperty kExtAudioFileProperty_FileLengthFrames result"},
    };
    for (const auto& [call, line] : steps) {
        ExtAudioFileFailNext(call, kAudioFilePermissionsError);
        EXPECT_FALSE(load(flac, &log));
        EXPECT_THAT(log, HasSubstr(StatusLine(line, kAudioFilePermissionsError)));
    }
    EXPECT_TRUE(load(flac)) << "each injected failure fires once";
}

class EngineReport : public EngineTest {
protected:
    void SetUp() override
    {
        reportInterval = 0.05;
        EngineTest::SetUp();
    }
};

TEST_F(EngineReport, ReportsFollowTheOpenStartAndStop)
{
    const std::string path = MakeTrack("r.wav", 1.0, 44100, 2, "-c:a pcm_s16le");
    RunEventsFor(200);
    EXPECT_TRUE(reports.empty()) << "armed at creation, silent while reports are off";

    ASSERT_TRUE(load(path));
    RunEventsFor(200);
    EXPECT_EQ(reports.size(), 1u) << "a position that does not move is reported once";
    EXPECT_TRUE(std::all_of(reports.begin(), reports.end(), [](const QVariantMap& m) { return m.isEmpty(); }))
        << "no payload before the first start";

    start();
    capture->pull(5 * kBlock);
    reports.clear();
    RunEventsFor(150);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports.back().value(MusicPlayTimerKey).toLongLong(), SInt64(5 * kBlock));

    Stdout([&] { engine->stopAUGraph(); });
    reports.clear();
    RunEventsFor(150);
    EXPECT_TRUE(reports.empty()) << "stopped";
    EXPECT_TRUE(onMainThread);

    // An engine destroyed with its report armed leaves nothing behind.
    mSeekFlag = true;
    Stdout([&] { engine.reset(); });
    RunEventsFor(150);
    EXPECT_TRUE(reports.empty());
}

// The effect's pitch compensation and the mixer's rate change on the same frame, the
// resampler steps where the frame it reached is, and a faster speed never runs the effect's
// output dry: through speed changes up and down, a 440 Hz sine never plays at another
// pitch, not even for one 20 ms window.
TEST_F(EnginePlayback, SpeedChangesWithSpeedPitchOnNeverPlayAtTheWrongPitch)
{
    ASSERT_TRUE(load(StereoWav("sine440.wav", 44100 * 8, [](int64_t frame, int) {
        return int16_t(12000 * std::sin(2 * M_PI * 440.0 * double(frame) / 44100.0));
    })));
    mode(3);
    RunEventsFor(300); // the lock set when the effect is switched on is released
    start();
    capture->pull(44100);
    for (int speed : {15, 8, 20, 10}) {
        Stdout([&] { engine->setSpeedPitch(1, speed); });
        capture->pull(33075);
    }
    // The frequency in every 20 ms window that is not fading in, from its rising zero
    // crossings.
    const std::vector<int16_t> played = capture->samples();
    for (size_t at = 0; at + 2 * 882 <= played.size(); at += 2 * 882) {
        std::vector<double> rises;
        for (size_t i = at + 2; i < at + 2 * 882; i += 2) {
            if (played[i - 2] < 0 && played[i] >= 0)
                rises.push_back(double(i / 2) - double(played[i]) / double(played[i] - played[i - 2]));
        }
        const bool sounding = std::any_of(played.begin() + long(at), played.begin() + long(at + 2 * 882),
                                          [](int16_t s) { return std::abs(s) > 1500; });
        if (!sounding || rises.size() < 4)
            continue;
        const double hz = 44100.0 * double(rises.size() - 1) / (rises.back() - rises.front());
        ASSERT_NEAR(hz, 440.0, 440.0 * 0.03) << "at " << at / 2 * 1000 / 44100 << " ms";
    }
}

} // namespace
