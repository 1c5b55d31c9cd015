// Tracks played to their end through the engine into a capturing output, compared sample
// for sample with the effects applied offline to the same decoded input; seeking, the end
// report, and files and reads that fail.

#include "EngineTestSupport.h"

#include "engine/AUGraphController.h"
#include "engine/EngineGlobals.h"
#include "platform/audio/AudioCapture.h"
#include "platform/audiofile/ExtAudioFile.h"
#include "platform/foundation/NotificationCenter.h"
#include "qbs/QBS.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QUrl>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr size_t kBlock = 1024;

class EnginePlayback : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEngineState();
        capture = std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::Manual, kBlock);
        AudioOutputSetCapture(capture);
        engine = std::make_unique<AUGraphController>(3600.0);
        CaptureStdout([&] {
            engine->initializeAUGraph(2);
            engine->setOutputVolume(0.0f);
        });
        NotificationCenter::defaultCenter().addObserver(this, MusicPlayTimerNotification, nullptr,
                                                        [this](const Notification& n) { reports.push_back(n.userInfo); });
    }
    void TearDown() override
    {
        NotificationCenter::defaultCenter().removeObserver(this);
        CaptureStdout([&] { engine.reset(); });
        ResetEngineState();
    }

    bool load(const std::string& name)
    {
        bool ok = false;
        CaptureStdout([&] { ok = engine->loadFiles(QUrl(fixtures.url(name))); });
        return ok;
    }
    void start()
    {
        CaptureStdout([&] { engine->startAUGraph(2); });
    }
    // Pulls blocks until the graph stops; answers what reached the output.
    std::vector<int16_t> playToEnd()
    {
        CaptureStdout([&] {
            for (int guard = 0; guard < 100000 && capture->pull(kBlock) == kBlock;)
                ++guard;
        });
        return capture->samples();
    }
    void selectEffect(int effect)
    {
        CaptureStdout([&] {
            engine->setModeChange(4, 1);
            if (effect >= 0)
                engine->setModeChange(effect, 1);
        });
    }

    Fixtures fixtures;
    std::shared_ptr<AudioCaptureOutput> capture;
    std::unique_ptr<AUGraphController> engine;
    std::vector<QVariantMap> reports;
};

// The first `frames` frames of two interleaved stereo signals are equal, and where not,
// the first difference.
::testing::AssertionResult SameFrames(const std::vector<int16_t>& got, const std::vector<int16_t>& want, size_t frames)
{
    if (got.size() < frames * 2 || want.size() < frames * 2)
        return ::testing::AssertionFailure() << "too short: " << got.size() / 2 << " / " << want.size() / 2
                                             << " frames, need " << frames;
    auto diff = std::mismatch(got.begin(), got.begin() + frames * 2, want.begin());
    if (diff.first == got.begin() + frames * 2)
        return ::testing::AssertionSuccess();
    const size_t at = size_t(diff.first - got.begin());
    return ::testing::AssertionFailure() << "frame " << at / 2 << " channel " << at % 2 << ": " << *diff.first
                                         << " != " << *diff.second;
}

bool AllZero(const int16_t* begin, const int16_t* end)
{
    return std::all_of(begin, end, [](int16_t s) { return s == 0; });
}

struct Track {
    const char* name;
    int rate;
    int channels;
    const char* codec;
};

TEST_F(EnginePlayback, EveryFormatPlaysToItsEndExactlyAsDecoded)
{
    const Track tracks[] = {
        {"pcm.wav", 44100, 2, "-c:a pcm_s16le"},
        {"aac.m4a", 44100, 2, "-c:a aac -b:a 128k"},
        {"alac.m4a", 44100, 2, "-c:a alac -sample_fmt s16p"},
        {"mp3.mp3", 44100, 2, "-c:a libmp3lame -b:a 128k"},
        {"big.aif", 44100, 2, "-c:a pcm_s16be"},
        {"flac48.flac", 48000, 2, "-c:a flac -sample_fmt s16"},
        {"mono.wav", 44100, 1, "-c:a pcm_s16le"},
        {"vorbis.ogg", 44100, 2, "-c:a libvorbis"},
    };
    for (const Track& t : tracks) {
        SCOPED_TRACE(t.name);
        fixtures.make(t.name, 0.4, t.rate, t.channels, t.codec);
        const std::vector<int16_t> decoded = DecodeStereo(fixtures.path(t.name));
        ASSERT_FALSE(decoded.empty());
        capture->clear();
        reports.clear();
        ASSERT_TRUE(load(t.name));
        EXPECT_EQ(size_t(engine->frameCount()), decoded.size() / 2);
        selectEffect(-1);
        start();
        const std::vector<int16_t> played = playToEnd();
        const std::vector<int16_t> expected = ApplyEffectOffline(-1, decoded, kBlock);
        const size_t frames = decoded.size() / 2;
        EXPECT_TRUE(SameFrames(played, expected, frames));
        // The padded rest of the last block, then one silent block at the end.
        const size_t blocks = (frames + kBlock - 1) / kBlock;
        EXPECT_EQ(played.size(), (blocks + 1) * kBlock * 2);
        EXPECT_TRUE(AllZero(played.data() + frames * 2, played.data() + played.size()));
        EXPECT_FALSE(engine->isPlaying());
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_EQ(reports[0].value(MusicPlayTimerKey).toLongLong(), engine->frameCount());
        EXPECT_EQ(reports[0].value(MusciPlayfinishKey).toInt(), 1);
        // The position counts requested frames, so it ends at most one block past the end.
        EXPECT_GE(engine->currentFrame(), engine->frameCount());
        EXPECT_LT(engine->currentFrame(), engine->frameCount() + SInt64(2 * kBlock));
    }
}

TEST_F(EnginePlayback, EachEffectMatchesTheLibraryAppliedOffline)
{
    fixtures.make("song.m4a", 0.8, 44100, 2, "-c:a aac -b:a 160k");
    const std::vector<int16_t> decoded = DecodeStereo(fixtures.path("song.m4a"));
    const size_t frames = decoded.size() / 2;
    CaptureStdout([&] {
        engine->setEQMode(5);
        engine->set3DStereoValue(0, 7);
        engine->set3DStereoValue(1, 4);
        engine->setStageMode(1);
        engine->setSpeedPitch(2, 10);
    });
    for (int effect : {0, 1, 2, 3}) {
        SCOPED_TRACE("effect " + std::to_string(effect));
        ResetEngineState();
        AudioOutputSetCapture(capture);
        capture->clear();
        CaptureStdout([&] {
            engine->setEQMode(5);
            engine->setSpeedPitch(2, 10);
        });
        QBS_M3D_SURR = 7;
        QBS_M3D_BASS = 4;
        QBS_MOS_PRESET = 1;
        selectEffect(effect);
        ASSERT_TRUE(load("song.m4a"));
        start();
        const std::vector<int16_t> played = playToEnd();
        const std::vector<int16_t> expected = ApplyEffectOffline(effect, decoded, kBlock);
        EXPECT_TRUE(SameFrames(played, expected, frames));
        EXPECT_FALSE(AllZero(played.data(), played.data() + frames * 2));
    }
}

#ifdef QBS_RENDER_PATH
TEST_F(EnginePlayback, MatchesTheOfflineTool)
{
    fixtures.make("tool.flac", 0.6, 44100, 2, "-c:a flac -sample_fmt s16");
    const size_t frames = DecodeStereo(fixtures.path("tool.flac")).size() / 2;
    struct Case {
        int effect;
        const char* options;
    } cases[] = {{0, "--effect eq --preset 3"}, {2, "--effect stage --stage-preset 2"}, {-1, "--effect bypass"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        ResetEngineState();
        AudioOutputSetCapture(capture);
        capture->clear();
        CaptureStdout([&] { engine->setEQMode(3); });
        QBS_MOS_PRESET = 2;
        selectEffect(c.effect);
        ASSERT_TRUE(load("tool.flac"));
        start();
        const std::vector<int16_t> played = playToEnd();
        const std::string out = fixtures.path("tool-out.wav");
        ASSERT_TRUE(RunCommand(std::string(QBS_RENDER_PATH) + " " + c.options + " --block 1024 '" +
                               fixtures.path("tool.flac") + "' '" + out + "'"));
        EXPECT_TRUE(SameFrames(played, DecodeStereo(out), frames));
    }
}
#endif

TEST_F(EnginePlayback, AMonoClientFormatKeepsTheEffectsOnStereoFrames)
{
    // After a switch to one client channel the file is decoded to one channel; the effect
    // still sees proper stereo frames (the one channel on both sides), and the mixer gets
    // the mix of both sides.
    fixtures.make("stereo.wav", 0.3, 44100, 2, "-c:a pcm_s16le");
    CaptureStdout([&] { engine->InputStremFormatChange(1); });
    selectEffect(0);
    ASSERT_TRUE(load("stereo.wav"));
    start();
    const std::vector<int16_t> played = playToEnd();

    const std::vector<int16_t> stereo = DecodeStereo(fixtures.path("stereo.wav"));
    std::vector<int16_t> spread(stereo.size());
    for (size_t i = 0; i < stereo.size(); i += 2)
        spread[i] = spread[i + 1] = int16_t((stereo[i] + stereo[i + 1]) / 2);
    std::vector<int16_t> expected = ApplyEffectOffline(0, spread, kBlock);
    for (size_t i = 0; i < expected.size(); i += 2)
        expected[i] = expected[i + 1] = int16_t((expected[i] + expected[i + 1]) >> 1);
    // The reader's own downmix may round differently by one step; compare loosely there
    // and exactly in shape: every frame plays the same on both sides.
    const size_t frames = stereo.size() / 2;
    ASSERT_GE(played.size(), frames * 2);
    int worst = 0;
    for (size_t i = 0; i < frames * 2; i += 2) {
        ASSERT_EQ(played[i], played[i + 1]) << "frame " << i / 2;
        worst = std::max(worst, std::abs(played[i] - expected[i]));
    }
    EXPECT_LE(worst, 2);
    CaptureStdout([&] { engine->InputStremFormatChange(2); });
}

TEST_F(EnginePlayback, SeekWhilePlayingResumesExactlyAtTheTarget)
{
    for (const char* name : {"seek.wav", "seek.m4a"}) {
        SCOPED_TRACE(name);
        fixtures.make(name, 1.0, 44100, 2, std::string(name).ends_with(".wav") ? "-c:a pcm_s16le" : "-c:a aac");
        const std::vector<int16_t> decoded = DecodeStereo(fixtures.path(name));
        capture->clear();
        selectEffect(-1);
        ASSERT_TRUE(load(name));
        start();
        CaptureStdout([&] { capture->pull(8 * kBlock); });
        const size_t before = capture->frames();

        const SInt64 target = 20000;
        engine->FileSeek(target);
        EXPECT_TRUE(engine->LockSeek());
        EXPECT_EQ(engine->currentFrame(), target);
        capture->pull(3 * kBlock);
        std::vector<int16_t> got = capture->samples();
        EXPECT_TRUE(AllZero(got.data() + before * 2, got.data() + got.size())) << "silent while the lock is set";
        EXPECT_EQ(engine->currentFrame(), target);
        EXPECT_FALSE(mSeekFlag.load()) << "reports pause while the lock is set";

        engine->LockSeekChange(false);
        const size_t resumed = capture->frames();
        playToEnd();
        got = capture->samples();
        const std::vector<int16_t> tail(decoded.begin() + target * 2, decoded.end());
        const std::vector<int16_t> expected = ApplyEffectOffline(-1, tail, kBlock);
        const std::vector<int16_t> after(got.begin() + resumed * 2, got.end());
        if (std::string(name).ends_with(".wav")) {
            EXPECT_TRUE(SameFrames(after, expected, tail.size() / 2));
        } else {
            // A lossy decoder restarted at a seek may round a step differently from a
            // straight run; one frame off would differ by hundreds.
            ASSERT_GE(after.size(), tail.size());
            int worst = 0;
            for (size_t i = 0; i < tail.size(); ++i)
                worst = std::max(worst, std::abs(after[i] - expected[i]));
            EXPECT_LE(worst, 2);
        }
    }
}

TEST_F(EnginePlayback, SwitchingSpeedPitchOnPlaysSilenceNeverStaleAudio)
{
    fixtures.make("ptc.wav", 1.5, 44100, 2, "-c:a pcm_s16le");
    selectEffect(0);
    ASSERT_TRUE(load("ptc.wav"));
    start();
    CaptureStdout([&] { capture->pull(10 * kBlock); });
    const size_t switchedAt = capture->frames();
    CaptureStdout([&] { engine->setModeChange(3, 1); });

    // While the lock holds (about 0.2 s on the main run loop), blocks are silent.
    QElapsedTimer timer;
    timer.start();
    while (engine->LockSeek() && timer.elapsed() < 2000) {
        capture->pull(kBlock);
        QThread::msleep(10);
        QCoreApplication::processEvents();
    }
    ASSERT_FALSE(engine->LockSeek());
    EXPECT_GE(timer.elapsed(), 150);
    CaptureStdout([&] { capture->pull(20 * kBlock); });
    const std::vector<int16_t> got = capture->samples();
    // From the switch on: silence until the speed/pitch block delivers, then sound, with
    // no frame of the earlier equalizer output in between.
    size_t firstSound = switchedAt * 2;
    while (firstSound < got.size() && got[firstSound] == 0)
        ++firstSound;
    ASSERT_LT(firstSound, got.size()) << "speed/pitch never delivered";
    EXPECT_GE(firstSound / 2 - switchedAt, size_t(0.15 * 44100));
    EXPECT_LE(firstSound / 2 - switchedAt, size_t(1.0 * 44100));
}

TEST_F(EnginePlayback, RenderCallbackSilencesLockedEndedAndFailedBlocks)
{
    fixtures.make("short.wav", 0.1, 44100, 2, "-c:a pcm_s16le");
    ASSERT_TRUE(load("short.wav"));
    start();
    std::vector<int16_t> out(kBlock * 2, 123);
    AudioBufferList list;
    list.mNumberBuffers = 1;
    list.mBuffers[0] = {2, UInt32(out.size() * 2), out.data()};
    auto render = [&] {
        std::fill(out.begin(), out.end(), int16_t(123));
        OSStatus status = noErr;
        CaptureStdout([&] { status = AUGraphController::renderInput(engine.get(), nullptr, nullptr, 0, kBlock, &list); });
        return status;
    };

    // Locked: silence, no read, no position.
    engine->LockSeekChange(true);
    EXPECT_EQ(render(), noErr);
    EXPECT_TRUE(AllZero(out.data(), out.data() + out.size()));
    EXPECT_EQ(engine->currentFrame(), 0);
    engine->LockSeekChange(false);

    // A read error: silence, the graph stops, and the status is the callback's result.
    ExtAudioFileFailNext(ExtAudioFileCall::Read, kAudioFileInvalidFileError);
    EXPECT_EQ(render(), kAudioFileInvalidFileError);
    EXPECT_TRUE(AllZero(out.data(), out.data() + out.size()));
    EXPECT_FALSE(engine->isPlaying());
    EXPECT_TRUE(reports.empty());

    // Nothing open counts as a failed read.
    start();
    engine->CloseFile();
    EXPECT_NE(render(), noErr);
    EXPECT_FALSE(engine->isPlaying());
}

TEST_F(EnginePlayback, FilesThatCannotPlayAreRefusedCleanly)
{
    fixtures.make("good.mp3", 0.5, 44100, 2, "-c:a libmp3lame");
    fixtures.make("good.flac", 0.5, 44100, 2, "-c:a flac -sample_fmt s16");
    fixtures.make("good.m4a", 0.5, 44100, 2, "-c:a aac");
    auto write = [&](const std::string& name, const QByteArray& bytes) {
        QFile f(QString::fromStdString(fixtures.path(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    auto head = [&](const std::string& name, int bytes) {
        QFile f(QString::fromStdString(fixtures.path(name)));
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.read(bytes);
    };
    write("empty.m4a", {});
    write("text.mp3", QByteArray("this is not audio at all\n").repeated(200));
    write("cut.mp3", head("good.mp3", 2000));
    write("cut.flac", head("good.flac", 3000));
    write("cut.m4a", head("good.m4a", 1500));
    QByteArray noise(20000, 0);
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    write("noise.m4a", noise);

    // Empty: refused without an error line.
    bool ok = true;
    std::string out = CaptureStdout([&] { ok = engine->loadFiles(QUrl(fixtures.url("empty.m4a"))); });
    EXPECT_FALSE(ok);
    EXPECT_THAT(out, Not(HasSubstr("result")));

    out = CaptureStdout([&] { ok = engine->loadFiles(QUrl(fixtures.url("missing.m4a"))); });
    EXPECT_FALSE(ok);
    EXPECT_THAT(out, HasSubstr(StatusLine("ExtAudioFileOpenURL result", fnfErr)));

    // Not audio, truncated or corrupt: either refused with a line, or playable to an end
    // (a truncated file plays what it holds); never a crash.
    for (const char* name : {"text.mp3", "cut.mp3", "cut.flac", "cut.m4a", "noise.m4a"}) {
        SCOPED_TRACE(name);
        out = CaptureStdout([&] { ok = engine->loadFiles(QUrl(fixtures.url(name))); });
        if (!ok) {
            EXPECT_THAT(out, HasSubstr("result"));
            continue;
        }
        capture->clear();
        start();
        playToEnd();
        EXPECT_FALSE(engine->isPlaying());
    }
}

TEST_F(EnginePlayback, EachFailingOpenStepPrintsItsLine)
{
    fixtures.make("ok.wav", 0.2, 44100, 2, "-c:a pcm_s16le");
    const struct {
        ExtAudioFileCall call;
        std::string line;
    } steps[] = {
        {ExtAudioFileCall::Open, StatusLine("ExtAudioFileOpenURL result", kAudioFilePermissionsError)},
        {ExtAudioFileCall::GetFileDataFormat,
         StatusLine("ExtAudioFileGetProperty kExtAudioFileProperty_FileDataFormat result", kAudioFilePermissionsError)},
        {ExtAudioFileCall::SetClientDataFormat,
         StatusLine("ExtAudioFileSetProperty kExtAudioFileProperty_ClientDataFormat", kAudioFilePermissionsError)},
        {ExtAudioFileCall::GetFileLengthFrames,
         StatusLine("ExtAudioFileGetProperty kExtAudioFileProperty_FileLengthFrames result", kAudioFilePermissionsError)},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.line);
        ExtAudioFileFailNext(step.call, kAudioFilePermissionsError);
        bool ok = true;
        const std::string out = CaptureStdout([&] { ok = engine->loadFiles(QUrl(fixtures.url("ok.wav"))); });
        ExtAudioFileClearFailures();
        EXPECT_FALSE(ok);
        EXPECT_THAT(out, HasSubstr(step.line));
        EXPECT_EQ(engine->frameCount(), 0);
    }
    // A good open after all that, and a second open that replaces the first reader.
    EXPECT_TRUE(load("ok.wav"));
    EXPECT_TRUE(load("ok.wav"));
    EXPECT_TRUE(engine->mfileLoadStateFlag());
}

} // namespace
