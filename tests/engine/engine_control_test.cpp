// Graph set-up, transport, gain and rate, the client format switch and the effect modes:
// what the engine does and prints, also when the platform refuses a step.

#include "EngineTestSupport.h"
#include "../EventLoopWait.h"

#include "engine/EngineGlobals.h"
#include "platform/audio/AudioTestFaults.h"
#include "platform/session/AudioSession.h"

#include <QCoreApplication>

#include <gmock/gmock.h>

namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr OSStatus kFault = OSStatus(FourCC("abcd"));

using EngineControl = EngineTest;

TEST_F(EngineControl, EachFailingSetUpStepPrintsItsLineAndEndsTheSetUp)
{
    // Bytes in memory order: the code reads reversed.
    EXPECT_EQ(StatusLine("AUGraphOpen result", kFault), "AUGraphOpen result 1633837924 61626364 dcba\n");
    const struct {
        AudioCall call;
        unsigned nth;
        std::string line;
    } faults[] = {
        {AudioCall::NewAUGraph, 1, StatusLine("NewAUGraph result", kFault)},
        {AudioCall::AUGraphAddNode, 1, StatusLine("AUGraphNewNode 1 result", kFault, true)},
        {AudioCall::AUGraphAddNode, 2, StatusLine("AUGraphNewNode 3 result", kFault, true)},
        {AudioCall::AUGraphConnectNodeInput, 1, StatusLine("AUGraphConnectNodeInput result", kFault, true)},
        {AudioCall::AUGraphOpen, 1, StatusLine("AUGraphOpen result", kFault)},
        {AudioCall::AUGraphNodeInfo, 1, StatusLine("AUGraphNodeInfo result", kFault)},
        {AudioCall::AudioUnitSetProperty, 1, StatusLine("AudioUnitSetProperty result", kFault)},
        {AudioCall::AUGraphSetNodeInputCallback, 1, StatusLine("AUGraphSetNodeInputCallback result", kFault)},
        {AudioCall::AudioUnitSetProperty, 2, StatusLine("AudioUnitSetProperty result", kFault)},
        {AudioCall::AudioUnitSetProperty, 3, StatusLine("AudioUnitSetProperty result", kFault)},
        {AudioCall::AUGraphInitialize, 1, StatusLine("AUGraphInitialize result", kFault)},
    };
    for (const auto& fault : faults) {
        SCOPED_TRACE(fault.line);
        Stdout([&] { engine.reset(); });
        mMixer = nullptr;
        engine = std::make_unique<AUGraphController>(3600.0);
        AudioTestFailCall(fault.call, kFault, fault.nth);
        const std::string out = Stdout([&] { engine->initializeAUGraph(2); });
        EXPECT_THAT(out, EndsWith(fault.line)) << "the set-up went on:\n" << out;
        if (fault.call == AudioCall::AUGraphAddNode) {
            EXPECT_EQ(mMixer, nullptr) << "a failing node add leaves the graph unopened";
        }
        start();
        EXPECT_FALSE(engine->isPlaying()) << "a graph left unready does not play";
    }
    AudioTestClearFaults();
    const std::string out = Stdout([&] { engine->initializeAUGraph(2); });
    EXPECT_EQ(out.rfind("initializeAUGraph\ncreate client ASBD\nAudioStreamBasicDescription: ", 0), 0u) << out;
    EXPECT_THAT(out, HasSubstr("add nodes\nset input bus count 1\nset AUGraphSetNodeInputCallback\n"
                               "set input bus 0, client kAudioUnitProperty_StreamFormat\n"
                               "set output kAudioUnitProperty_StreamFormat\n"));
    EXPECT_EQ(mClientFormat.mFormatFlags, 12u);
    EXPECT_EQ(mClientFormat.mBytesPerFrame, 4u);
    EXPECT_EQ(mOutputFormat.mFormatFlags, 3116u);
    EXPECT_EQ(mOutputFormat.mBitsPerChannel, 32u);
}

TEST_F(EngineControl, StartFollowsTheRouteOnlyWithDockingModeOff)
{
    const struct {
        std::optional<std::string> route;
        int setting;
        bool before, after;
    } cases[] = {{"LineOut", 1, true, false},     {"Headphone", 1, false, true}, {"HeadphoneBT", 1, false, true},
                 {"Speaker", 1, false, true},     {"LineOut", 2, true, true},    {"Speaker", 2, false, false},
                 {std::nullopt, 1, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.route.value_or("none") + " " + std::to_string(c.setting));
        AudioSessionSetAudioRouteForTesting(c.route);
        DockingModeOnOffFlag = c.before;
        SeekLock = true;
        EXPECT_THAT(Stdout([&] { engine->startAUGraph(c.setting); }), EndsWith("AUGraphStart~~~~\n"));
        EXPECT_EQ(DockingModeOnOffFlag.load(), c.after);
        EXPECT_TRUE(engine->isPlaying());
        EXPECT_FALSE(SeekLock.load());
        EXPECT_EQ(Stdout([&] { engine->stopAUGraph(); }), "STOP\nStopAuGraph~~~~\n");
    }
    AudioSessionSetRouteQueryStatusForTesting(kAudioSessionNotInitialized);
    EXPECT_EQ(Stdout([&] { engine->startAUGraph(1); }),
              "PLAY\n" + StatusLine("kAudioSessionProperty_AudioRoute result", kAudioSessionNotInitialized) +
                  "AUGraphStart~~~~\n");
    EXPECT_TRUE(engine->isPlaying());
}

TEST_F(EngineControl, FailedStartsAndStopsChangeNothing)
{
    AudioTestFailCall(AudioCall::AUGraphStart, kFault);
    SeekLock = true;
    EXPECT_THAT(Stdout([&] { engine->startAUGraph(2); }), EndsWith(StatusLine("AUGraphStart result", kFault)));
    EXPECT_FALSE(engine->isPlaying());
    EXPECT_EQ(Stdout([&] { engine->stopAUGraph(); }), "STOP\n") << "a graph that is not running is left alone";
    EXPECT_TRUE(SeekLock.load());

    start();
    AudioTestFailCall(AudioCall::AUGraphStop, kFault);
    EXPECT_EQ(Stdout([&] { engine->stopAUGraph(); }), "STOP\nStopAuGraph~~~~\n" + StatusLine("AUGraphStop result", kFault));
    EXPECT_TRUE(engine->isPlaying());
    SeekLock = mSeekFlag = true;
    Stdout([&] { engine->stopAUGraph(); });
    EXPECT_FALSE(engine->isPlaying() || SeekLock || mSeekFlag);
}

TEST_F(EngineControl, GainRateAndFormatFailuresAreLogged)
{
    AudioTestFailCall(AudioCall::AudioUnitSetParameter, kFault, 1, 2);
    EXPECT_EQ(Stdout([&] { engine->setOutputVolume(0.0f); engine->setSpeedNormal(100); }),
              StatusLine("AudioUnitSetParameter k3DMixerParam_MaxGain Output result", kFault) +
                  StatusLine("AudioUnitSetParameter k3DMixerParam_PlaybackRate Input result", kFault));
    bool switched = false;
    for (AudioCall call : {AudioCall::AudioUnitSetProperty, AudioCall::AUGraphInitialize}) {
        AudioTestFailCall(call, kFault);
        EXPECT_THAT(Stdout([&] { switched = engine->InputStremFormatChange(1); }), EndsWith(" result 1633837924 61626364 dcba\n"));
        EXPECT_FALSE(switched);
    }
    Stdout([&] { switched = engine->InputStremFormatChange(1); });
    EXPECT_TRUE(switched);
    EXPECT_EQ(mClientFormat.mBytesPerFrame, 2u);
    EXPECT_EQ(Stdout([&] { engine.reset(); }), "AUGraphController dealloc\n");
}

// The effect selection as "EQ 3D Stage Speed/Pitch", one digit each.
std::string Selected()
{
    return {char('0' + EqModeOnOffFlag), char('0' + StereoModeOnOffFlag), char('0' + StageModeOnOffFlag), char('0' + PTCEnable)};
}

TEST_F(EngineControl, AtMostOneEffectIsSelectedAndOffTouchesOnlyItsOwnFlag)
{
    auto set = [&](int m, int8_t on) { return Stdout([&] { engine->setModeChange(m, on); }); };
    const std::string head = "setMode Mode 0: EQ , 1: 3D, 2:Stage, 3:Speed/Picth, 4:Docking\nsetModeChange Mode ";
    // Each effect switched on clears every other one.
    const char* const onLine[] = {"EQ On\n", "3D Stereo On\n", "Stage On\n", "SpeedPitch On\n"};
    for (int m : {1, 2, 3, 0}) {
        SCOPED_TRACE(m);
        EqModeOnOffFlag = StereoModeOnOffFlag = StageModeOnOffFlag = PTCEnable = true;
        const std::string out = set(m, 1);
        EXPECT_THAT(out, EndsWith(onLine[m]));
        if (m != 3) {
            EXPECT_EQ(out, head + std::to_string(m) + ", On/Off 1 \n" + onLine[m]);
        }
        std::string selected = "0000";
        selected[size_t(m)] = '1';
        EXPECT_EQ(Selected(), selected);
        EXPECT_EQ(SeekLock.load(), m == 3);
    }

    StereoModeOnOffFlag = StageModeOnOffFlag = PTCEnable = true;
    EXPECT_EQ(set(0, 0), head + "0, On/Off 0 \nEQ  Off");
    set(1, 0);
    set(3, 0);
    EXPECT_EQ(Selected(), "0010");
    EXPECT_EQ(set(9, 1), head + "9, On/Off 1 \n");

    // The master switch: the selection stays for when it comes back on.
    set(0, 1);
    SeekLock = true;
    EXPECT_THAT(set(4, 0), EndsWith("Docking 0\n"));
    EXPECT_FALSE(DockingModeOnOffFlag || SeekLock);
    EXPECT_TRUE(EqModeOnOffFlag.load());
    set(4, 1);
    EXPECT_TRUE(DockingModeOnOffFlag && EqModeOnOffFlag);
}

TEST_F(EngineControl, SpeedMovesTheMixerAndTheEffectPitchOnlyTheEffect)
{
    auto rate = [] {
        AudioUnitParameterValue v = 0;
        AudioUnitGetParameter(mMixer, k3DMixerParam_PlaybackRate, kAudioUnitScope_Input, 0, &v);
        return v;
    };
    EXPECT_EQ(Stdout([&] { engine->setSpeedPitch(1, 12); }), "");
    EXPECT_EQ(speedvalue.load(), 120);
    EXPECT_FLOAT_EQ(rate(), 1.2f);
    EXPECT_EQ(Stdout([&] { engine->setSpeedPitch(2, 7); }), "setSpeedPitch PT value:0 , speedvalue:120\nQBS_Speed:120 QBS_Pitch:0");
    EXPECT_EQ(Stdout([&] { engine->setSpeedPitch(2, 1); }), "setSpeedPitch PT value:-6 , speedvalue:120\nQBS_Speed:120 QBS_Pitch:-6");
    EXPECT_EQ(Stdout([&] { engine->setSpeedPitch(2, 13); engine->setSpeedPitch(2, 14); engine->setSpeedPitch(3, 2); }),
              "setSpeedPitch PT value:6 , speedvalue:120\nQBS_Speed:120 QBS_Pitch:6");
    EXPECT_EQ(ptValue.load(), 12);

    EXPECT_THAT(Stdout([&] { engine->setModeChange(3, 1); }), HasSubstr("QBS_Speed:120 QBS_Pitch:6"));
    EXPECT_EQ(Stdout([&] { engine->setSpeedPitch(1, 8); }), "setSpeedPitch speed value:80\nQBS_Speed:80 QBS_Pitch:6");
    Stdout([&] { engine->setModeChange(3, 0); });
    EXPECT_FLOAT_EQ(rate(), 0.8f) << "switching speed/pitch off keeps the rate";
    Stdout([&] { engine->setModeChange(3, 1); engine->setModeChange(2, 1); });
    EXPECT_FLOAT_EQ(rate(), 1.0f) << "another effect taking over restores normal speed";
    EXPECT_EQ(speedvalue.load(), 80);

    // The lock set by switching speed/pitch on holds until the event loop releases it later.
    Stdout([&] { engine->setModeChange(3, 1); });
    EXPECT_TRUE(SeekLock.load());
    EXPECT_TRUE(waitFor([] { return !SeekLock; }, 2));
}

} // namespace
