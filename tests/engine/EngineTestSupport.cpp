#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "StereoWav.h"

#include "engine/EngineGlobals.h"
#include "platform/audio/AudioTestFaults.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/session/AudioSession.h"
#include "qbs/QBS.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QUrl>

#include <cstdio>
#include <cstdlib>
#include <cstring>

std::string Stdout(const std::function<void()>& work)
{
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    work();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::string StatusLine(const std::string& prefix, OSStatus status, bool asUnsigned)
{
    char bytes[5] = {};
    std::memcpy(bytes, &status, 4);
    char line[256];
    if (asUnsigned)
        std::snprintf(line, sizeof line, "%s %lu %4.4s\n", prefix.c_str(), (unsigned long)(uint32_t)status, bytes);
    else
        std::snprintf(line, sizeof line, "%s %ld %08X %4.4s\n", prefix.c_str(), long(status), unsigned(status), bytes);
    return line;
}

std::string MakeTrack(const std::string& name, double seconds, int rate, int channels, const std::string& codec)
{
    return audiofile_test::makeTrack(name, rate, channels, int(seconds * rate), codec);
}

std::string StereoWav(const std::string& name, int64_t frames, const std::function<int16_t(int64_t, int)>& sample)
{
    return audiofile_test::writeFile(name, StereoWavBytes(frames, sample));
}

void ResetEffectHistory()
{
    Prev_Sample_Index = Window_Index = 0;
    L_Prev_Sample = R_Prev_Sample = 0;
}

std::vector<int16_t> ApplyEffectOffline(int mode, const std::vector<int16_t>& input, size_t blockFrames)
{
    ResetEffectHistory();
    QBS_MEQ_Init(2, 44100);
    QBS_M3D_Init(2, 44100);
    QBS_MOS_Init(2, 44100);
    QBS_PTC_Init(2, 44100);
    const size_t n = blockFrames * 2;
    std::vector<int16_t> in(input), out;
    in.resize((in.size() + n - 1) / n * n, 0);
    out.resize(in.size(), 0);
    for (size_t at = 0; at < in.size(); at += n) {
        auto effect = mode == 0 ? QBSt_MEQ : mode == 1 ? QBSt_M3D : mode == 2 ? QBSt_MOS : mode == 3 ? QBS_PTC : QBS_BYPASS;
        effect(out.data() + at, in.data() + at, int32_t(n));
    }
    return out;
}

void RunEventsFor(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(2);
    }
}

void ResetEngineState()
{
    AudioTestClearFaults();
    ExtAudioFileClearFailures();
    ExtAudioFileWaitForDecoding(true);
    ExtAudioFileStallDecoding(0, 0);
    AudioOutputSetCapture(nullptr);
    AudioOutputForceNull(true);
    AudioSessionResetForTesting();
    DockingModeOnOffFlag = StereoModeOnOffFlag = EqModeOnOffFlag = StageModeOnOffFlag = PTCEnable = false;
    speedvalue = 100;
    ptValue = 6;
    SeekLock = mSeekFlag = false;
    std::lock_guard lock(PlayTimerUpdateMutex);
    PlayTimerUpdateDictionary.reset();
    ResetEffectHistory();
}

void EngineTest::SetUp()
{
    ResetEngineState();
    capture = std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::Manual, kBlock);
    AudioOutputSetCapture(capture);
    NotificationCenter::defaultCenter().addObserver(this, MusicPlayTimerNotification, nullptr, [this](const Notification& n) {
        reports.push_back(n.userInfo);
        onMainThread = onMainThread && RunLoop::isMainThread();
    });
    engine = std::make_unique<AUGraphController>(reportInterval);
    Stdout([&] {
        engine->initializeAUGraph(2);
        engine->setOutputVolume(0.0f);
    });
}

void EngineTest::TearDown()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    Stdout([&] { engine.reset(); });
    ResetEngineState();
}

bool EngineTest::load(const std::string& path, std::string* log)
{
    bool ok = false;
    const std::string out = Stdout([&] { ok = engine->loadFiles(QUrl::fromLocalFile(QString::fromStdString(path))); });
    if (log)
        *log = out;
    return ok;
}

void EngineTest::mode(int effect)
{
    Stdout([&] {
        engine->setModeChange(4, 1);
        if (effect >= 0)
            engine->setModeChange(effect, 1);
    });
}

std::vector<int16_t> EngineTest::playToEnd()
{
    Stdout([&] {
        for (int guard = 0; guard < 100000 && capture->pull(kBlock) == kBlock; ++guard) {
        }
    });
    // The end report is posted from the main run loop.
    QCoreApplication::processEvents();
    return capture->samples();
}
