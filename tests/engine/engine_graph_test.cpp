// Graph set-up, start and stop, the client format switch, gain and rate: what the engine
// does and prints, also when the platform refuses a step.

#include "EngineTestSupport.h"

#include "engine/AUGraphController.h"
#include "engine/EngineGlobals.h"
#include "platform/audio/AudioCapture.h"
#include "platform/audio/AudioTestFaults.h"
#include "platform/session/AudioSession.h"

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <memory>

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr OSStatus kFault = OSStatus(FourCC("abcd"));

class EngineGraph : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEngineState();
        capture = std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::Manual, 1024);
        AudioOutputSetCapture(capture);
        engine = std::make_unique<AUGraphController>(3600.0);
    }
    void TearDown() override
    {
        CaptureStdout([&] { engine.reset(); });
        ResetEngineState();
    }
    void build()
    {
        CaptureStdout([&] { engine->initializeAUGraph(2); });
    }

    std::shared_ptr<AudioCaptureOutput> capture;
    std::unique_ptr<AUGraphController> engine;
};

TEST_F(EngineGraph, BuildsTheGraphWithTheEngineFormats)
{
    const std::string out = CaptureStdout([&] { engine->initializeAUGraph(2); });
    EXPECT_EQ(out.rfind("initializeAUGraph\ncreate client ASBD\nAudioStreamBasicDescription: ", 0), 0u) << out;
    for (const char* line : {"create output ASBD\n", "new AUGraph\n", "add nodes\n", "set input bus count 1\n",
                             "set AUGraphSetNodeInputCallback\n", "set input bus 0, client kAudioUnitProperty_StreamFormat\n",
                             "set output kAudioUnitProperty_StreamFormat\n"})
        EXPECT_THAT(out, HasSubstr(line));
    EXPECT_THAT(out, Not(HasSubstr("result")));

    EXPECT_EQ(mClientFormat.mSampleRate, 44100.0);
    EXPECT_EQ(mClientFormat.mFormatID, kAudioFormatLinearPCM);
    EXPECT_EQ(mClientFormat.mFormatFlags, 12u);
    EXPECT_EQ(mClientFormat.mBytesPerFrame, 4u);
    EXPECT_EQ(mClientFormat.mChannelsPerFrame, 2u);
    EXPECT_EQ(mClientFormat.mBitsPerChannel, 16u);
    EXPECT_EQ(mOutputFormat.mFormatFlags, 3116u);
    EXPECT_EQ(mOutputFormat.mBitsPerChannel, 32u);
    EXPECT_EQ(mOutputFormat.mBytesPerFrame, 4u);
    ASSERT_NE(mMixer, nullptr);
}

struct SetUpFault {
    AudioCall call;
    unsigned nth;
    std::string line;     // the line printed
    const char* nextStep; // a progress line that must not follow
};

TEST_F(EngineGraph, EachFailingSetUpStepPrintsItsLineAndEndsTheSetUp)
{
    const SetUpFault faults[] = {
        {AudioCall::NewAUGraph, 1, StatusLine("NewAUGraph result", kFault), "add nodes"},
        {AudioCall::AUGraphAddNode, 1, StatusLineUnsigned("AUGraphNewNode 1 result", kFault), "set input bus count"},
        {AudioCall::AUGraphAddNode, 2, StatusLineUnsigned("AUGraphNewNode 3 result", kFault), "set input bus count"},
        {AudioCall::AUGraphConnectNodeInput, 1, StatusLineUnsigned("AUGraphConnectNodeInput result", kFault), "set input bus count"},
        {AudioCall::AUGraphOpen, 1, StatusLine("AUGraphOpen result", kFault), "set input bus count"},
        {AudioCall::AUGraphNodeInfo, 1, StatusLine("AUGraphNodeInfo result", kFault), "set input bus count"},
        {AudioCall::AudioUnitSetProperty, 1, StatusLine("AudioUnitSetProperty result", kFault), "set AUGraphSetNodeInputCallback"},
        {AudioCall::AUGraphSetNodeInputCallback, 1, StatusLine("AUGraphSetNodeInputCallback result", kFault), "set input bus 0"},
        {AudioCall::AudioUnitSetProperty, 2, StatusLine("AudioUnitSetProperty result", kFault), "set output kAudio"},
        {AudioCall::AudioUnitSetProperty, 3, StatusLine("AudioUnitSetProperty result", kFault), "zzz"},
        {AudioCall::AUGraphInitialize, 1, StatusLine("AUGraphInitialize result", kFault), "zzz"},
    };
    // The status shows as signed decimal, hex and its bytes in memory order.
    EXPECT_EQ(StatusLine("AUGraphOpen result", kFault), "AUGraphOpen result 1633837924 61626364 dcba\n");
    EXPECT_EQ(StatusLineUnsigned("AUGraphNewNode 1 result", -10878), "AUGraphNewNode 1 result 4294956418 \x82\xD5\xFF\xFF\n");

    for (const SetUpFault& fault : faults) {
        SCOPED_TRACE(fault.line);
        CaptureStdout([&] { engine.reset(); });
        mGraph = nullptr;
        mMixer = nullptr;
        engine = std::make_unique<AUGraphController>(3600.0);
        AudioTestFailCall(fault.call, kFault, fault.nth);
        const std::string out = CaptureStdout([&] { engine->initializeAUGraph(2); });
        AudioTestClearFaults();
        EXPECT_THAT(out, HasSubstr(fault.line));
        EXPECT_EQ(out.find(fault.line), out.size() - fault.line.size()) << "the set-up went on:\n" << out;
        EXPECT_THAT(out, Not(HasSubstr(fault.nextStep)));
        if (fault.call == AudioCall::AUGraphAddNode) {
            EXPECT_EQ(mMixer, nullptr) << "a failing node add must leave the graph unopened";
        }
    }
}

TEST_F(EngineGraph, StartFollowsTheRouteOnlyWithDockingModeOff)
{
    build();
    struct Case {
        std::optional<std::string> route;
        int setting;
        bool before;
        bool after;
    } cases[] = {
        {"LineOut", 1, true, false},  {"Headphone", 1, false, true}, {"Speaker", 1, false, true},
        {"HeadphoneBT", 1, false, true}, {"LineOut", 2, true, true},  {"Speaker", 2, false, false},
        {std::nullopt, 1, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.route.value_or("(none)") + " setting " + std::to_string(c.setting));
        AudioSessionSetAudioRouteForTesting(c.route);
        DockingModeOnOffFlag = c.before;
        SeekLock = true;
        const std::string out = CaptureStdout([&] { engine->startAUGraph(c.setting); });
        EXPECT_EQ(out.rfind("PLAY\n", 0), 0u);
        EXPECT_THAT(out, HasSubstr("AUGraphStart~~~~\n"));
        EXPECT_EQ(DockingModeOnOffFlag.load(), c.after);
        EXPECT_TRUE(engine->isPlaying());
        EXPECT_FALSE(SeekLock.load());
        CaptureStdout([&] { engine->stopAUGraph(); });
    }
}

TEST_F(EngineGraph, StartGoesOnWhenTheRouteCannotBeRead)
{
    build();
    AudioSessionSetRouteQueryStatusForTesting(kAudioSessionNotInitialized);
    DockingModeOnOffFlag = true;
    const std::string out = CaptureStdout([&] { engine->startAUGraph(1); });
    EXPECT_THAT(out, HasSubstr(StatusLine("kAudioSessionProperty_AudioRoute result", kAudioSessionNotInitialized)));
    EXPECT_TRUE(engine->isPlaying());
    EXPECT_TRUE(DockingModeOnOffFlag.load());
    std::lock_guard lock(PlayTimerUpdateMutex);
    EXPECT_TRUE(PlayTimerUpdateDictionary.has_value() && PlayTimerUpdateDictionary->isEmpty());
}

TEST_F(EngineGraph, StartAndStopFailuresChangeNothing)
{
    build();
    AudioTestFailCall(AudioCall::AUGraphStart, kFault);
    SeekLock = true;
    std::string out = CaptureStdout([&] { engine->startAUGraph(2); });
    EXPECT_THAT(out, HasSubstr(StatusLine("AUGraphStart result", kFault)));
    EXPECT_FALSE(engine->isPlaying());
    EXPECT_TRUE(SeekLock.load());

    // Stopping a graph that is not running prints "STOP" only and changes nothing.
    out = CaptureStdout([&] { engine->stopAUGraph(); });
    EXPECT_EQ(out, "STOP\n");
    EXPECT_TRUE(SeekLock.load());

    CaptureStdout([&] { engine->startAUGraph(2); });
    ASSERT_TRUE(engine->isPlaying());
    AudioTestFailCall(AudioCall::AUGraphIsRunning, kFault);
    out = CaptureStdout([&] { engine->stopAUGraph(); });
    EXPECT_EQ(out, "STOP\n" + StatusLine("AUGraphIsRunning result", kFault));
    EXPECT_TRUE(engine->isPlaying());

    AudioTestFailCall(AudioCall::AUGraphStop, kFault);
    out = CaptureStdout([&] { engine->stopAUGraph(); });
    EXPECT_EQ(out, "STOP\nStopAuGraph~~~~\n" + StatusLine("AUGraphStop result", kFault));
    EXPECT_TRUE(engine->isPlaying());

    SeekLock = true;
    mSeekFlag = true;
    out = CaptureStdout([&] { engine->stopAUGraph(); });
    EXPECT_EQ(out, "STOP\nStopAuGraph~~~~\n");
    EXPECT_FALSE(engine->isPlaying());
    EXPECT_FALSE(SeekLock.load());
    EXPECT_FALSE(mSeekFlag.load());
}

TEST_F(EngineGraph, GainRateAndFormatSwitchReachTheMixerOrSayWhyNot)
{
    build();
    AudioUnitParameterValue value = 0;
    engine->setOutputVolume(12.0f);
    ASSERT_EQ(AudioUnitGetParameter(mMixer, k3DMixerParam_Gain, kAudioUnitScope_Output, 0, &value), noErr);
    EXPECT_FLOAT_EQ(value, 12.0f);
    engine->setSpeedNormal(150);
    ASSERT_EQ(AudioUnitGetParameter(mMixer, k3DMixerParam_PlaybackRate, kAudioUnitScope_Input, 0, &value), noErr);
    EXPECT_FLOAT_EQ(value, 1.5f);

    AudioTestFailCall(AudioCall::AudioUnitSetParameter, kFault);
    EXPECT_EQ(CaptureStdout([&] { engine->setOutputVolume(0.0f); }),
              StatusLine("AudioUnitSetParameter k3DMixerParam_MaxGain Output result", kFault));
    AudioTestFailCall(AudioCall::AudioUnitSetParameter, kFault);
    EXPECT_EQ(CaptureStdout([&] { engine->setSpeedNormal(100); }),
              StatusLine("AudioUnitSetParameter k3DMixerParam_PlaybackRate Input result", kFault));
    EXPECT_EQ(CaptureStdout([&] { engine->setInputVolume(0, 1.0f); engine->enableInput(0, true); }), "");

    bool switched = false;
    std::string out = CaptureStdout([&] { switched = engine->InputStremFormatChange(1); });
    EXPECT_TRUE(switched);
    EXPECT_EQ(out.rfind("AudioStreamBasicDescription: ", 0), 0u);
    EXPECT_EQ(mClientFormat.mChannelsPerFrame, 1u);
    EXPECT_EQ(mClientFormat.mBytesPerFrame, 2u);
    EXPECT_EQ(mClientFormat.mSampleRate, 44100.0);

    AudioTestFailCall(AudioCall::AudioUnitSetProperty, kFault);
    out = CaptureStdout([&] { switched = engine->InputStremFormatChange(2); });
    EXPECT_FALSE(switched);
    EXPECT_THAT(out, HasSubstr(StatusLine("AudioUnitSetProperty result", kFault)));
    AudioTestFailCall(AudioCall::AUGraphInitialize, kFault);
    out = CaptureStdout([&] { switched = engine->InputStremFormatChange(2); });
    EXPECT_FALSE(switched);
    EXPECT_THAT(out, HasSubstr(StatusLine("AUGraphInitialize result", kFault)));
}

TEST_F(EngineGraph, TeardownSaysSo)
{
    build();
    EXPECT_EQ(CaptureStdout([&] { engine.reset(); }), "AUGraphController dealloc\n");
    EXPECT_EQ(mGraph, nullptr);
}

} // namespace
