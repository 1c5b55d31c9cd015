// Effect mode control: at most one effect selected, the master switch, the speed and pitch
// pair with the mixer rate, parameter calls and their lines.

#include "EngineTestSupport.h"

#include "engine/AUGraphController.h"
#include "engine/EngineGlobals.h"
#include "platform/audio/AudioCapture.h"
#include "qbs/QBS.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>
#include <gmock/gmock.h>

namespace {

using ::testing::HasSubstr;

struct Flags {
    bool eq, stereo, stage, ptc;
    bool operator==(const Flags&) const = default;
};

Flags CurrentFlags()
{
    return {EqModeOnOffFlag.load(), StereoModeOnOffFlag.load(), StageModeOnOffFlag.load(), PTCEnable.load()};
}

void PrintTo(const Flags& f, std::ostream* os)
{
    *os << "eq " << f.eq << " 3d " << f.stereo << " stage " << f.stage << " ptc " << f.ptc;
}

class EngineModes : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEngineState();
        AudioOutputSetCapture(std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::Manual, 1024));
        engine = std::make_unique<AUGraphController>(3600.0);
        CaptureStdout([&] { engine->initializeAUGraph(2); });
    }
    void TearDown() override
    {
        CaptureStdout([&] { engine.reset(); });
        ResetEngineState();
    }
    std::string mode(int m, int8_t on)
    {
        return CaptureStdout([&] { engine->setModeChange(m, on); });
    }
    float mixerRate()
    {
        AudioUnitParameterValue v = 0;
        AudioUnitGetParameter(mMixer, k3DMixerParam_PlaybackRate, kAudioUnitScope_Input, 0, &v);
        return v;
    }

    std::unique_ptr<AUGraphController> engine;
};

TEST_F(EngineModes, SwitchingAnEffectOnSelectsItAloneAndOffTouchesOnlyItsOwnFlag)
{
    const std::string header = "setMode Mode 0: EQ , 1: 3D, 2:Stage, 3:Speed/Picth, 4:Docking\n";
    EXPECT_EQ(mode(0, 1), header + "setModeChange Mode 0, On/Off 1 \nEQ On\n");
    EXPECT_EQ(CurrentFlags(), (Flags{true, false, false, false}));
    EXPECT_EQ(mode(1, 1), header + "setModeChange Mode 1, On/Off 1 \n3D Stereo On\n");
    EXPECT_EQ(CurrentFlags(), (Flags{false, true, false, false}));
    EXPECT_EQ(mode(2, 1), header + "setModeChange Mode 2, On/Off 1 \nStage On\n");
    EXPECT_EQ(CurrentFlags(), (Flags{false, false, true, false}));
    EXPECT_THAT(mode(3, 1), HasSubstr("SpeedPitch On\n"));
    EXPECT_EQ(CurrentFlags(), (Flags{false, false, false, true}));
    EXPECT_TRUE(SeekLock.load()) << "speed/pitch starts silent";
    EXPECT_EQ(mode(0, 1), header + "setModeChange Mode 0, On/Off 1 \nEQ On\n");
    EXPECT_EQ(CurrentFlags(), (Flags{true, false, false, false}));
    EXPECT_FALSE(SeekLock.load()) << "the equalizer call clears the lock";

    // Off: only the effect's own flag; nothing else comes on.
    StereoModeOnOffFlag = true;
    EXPECT_EQ(mode(0, 0), header + "setModeChange Mode 0, On/Off 0 \nEQ  Off");
    EXPECT_EQ(CurrentFlags(), (Flags{false, true, false, false}));
    StageModeOnOffFlag = true;
    EXPECT_EQ(mode(1, 0), header + "setModeChange Mode 1, On/Off 0 \n3D Stereo Off\n");
    EXPECT_EQ(CurrentFlags(), (Flags{false, false, true, false}));
    EXPECT_EQ(mode(2, 0), header + "setModeChange Mode 2, On/Off 0 \nStage Off\n");
    PTCEnable = true;
    EqModeOnOffFlag = true;
    EXPECT_EQ(mode(3, 0), header + "setModeChange Mode 3, On/Off 0 \nSpeedPitch Off\n");
    EXPECT_EQ(CurrentFlags(), (Flags{true, false, false, false}));

    // 3D stereo and stage leave the lock as it was.
    SeekLock = true;
    mode(1, 1);
    mode(2, 1);
    EXPECT_TRUE(SeekLock.load());

    // Unknown modes print the two lines only.
    EXPECT_EQ(mode(7, 1), header + "setModeChange Mode 7, On/Off 1 \n");
    EXPECT_EQ(CurrentFlags(), (Flags{false, false, true, false}));
}

TEST_F(EngineModes, TheMasterSwitchKeepsTheSelectionForLater)
{
    mode(0, 1);
    SeekLock = true;
    EXPECT_THAT(mode(4, 0), HasSubstr("Docking 0\n"));
    EXPECT_FALSE(DockingModeOnOffFlag.load());
    EXPECT_TRUE(EqModeOnOffFlag.load());
    EXPECT_FALSE(SeekLock.load());
    EXPECT_THAT(mode(4, 1), HasSubstr("Docking 1\n"));
    EXPECT_TRUE(DockingModeOnOffFlag.load());
    EXPECT_TRUE(EqModeOnOffFlag.load());
}

TEST_F(EngineModes, SpeedActsOnTheMixerAndTheEffectPitchOnlyOnTheEffect)
{
    std::string out = CaptureStdout([&] { engine->setSpeedPitch(1, 12); });
    EXPECT_EQ(speedvalue.load(), 120);
    EXPECT_FLOAT_EQ(mixerRate(), 1.2f);
    EXPECT_EQ(out, "") << "the effect hears of the speed only while it is on";

    out = CaptureStdout([&] { engine->setSpeedPitch(2, 7); });
    EXPECT_EQ(out, "setSpeedPitch PT value:0 , speedvalue:120\nQBS_Speed:120 QBS_Pitch:0");
    EXPECT_EQ(CaptureStdout([&] { engine->setSpeedPitch(2, 1); }), "setSpeedPitch PT value:-6 , speedvalue:120\nQBS_Speed:120 QBS_Pitch:-6");
    EXPECT_EQ(CaptureStdout([&] { engine->setSpeedPitch(2, 13); }), "setSpeedPitch PT value:6 , speedvalue:120\nQBS_Speed:120 QBS_Pitch:6");
    EXPECT_EQ(ptValue.load(), 12);

    // Pitches outside the table and unknown selectors change nothing.
    EXPECT_EQ(CaptureStdout([&] { engine->setSpeedPitch(2, 14); engine->setSpeedPitch(2, 0); engine->setSpeedPitch(3, 5); }), "");
    EXPECT_EQ(ptValue.load(), 12);
    EXPECT_EQ(speedvalue.load(), 120);
    EXPECT_FLOAT_EQ(mixerRate(), 1.2f);

    // Switching speed/pitch on loads the stored pair; further speed calls reach it.
    EXPECT_THAT(mode(3, 1), HasSubstr("QBS_Speed:120 QBS_Pitch:6"));
    out = CaptureStdout([&] { engine->setSpeedPitch(1, 8); });
    EXPECT_EQ(out, "setSpeedPitch speed value:80\nQBS_Speed:80 QBS_Pitch:6");
    EXPECT_FLOAT_EQ(mixerRate(), 0.8f);

    // Off keeps the mixer rate; another effect taking over restores normal speed.
    mode(3, 0);
    EXPECT_FLOAT_EQ(mixerRate(), 0.8f);
    for (int other : {0, 1, 2}) {
        mode(3, 1);
        mode(other, 1);
        EXPECT_FLOAT_EQ(mixerRate(), 1.0f) << "mode " << other;
        EXPECT_FALSE(PTCEnable.load());
        EXPECT_EQ(speedvalue.load(), 80) << "the stored speed stays for next time";
        engine->setSpeedNormal(80);
    }
}

TEST_F(EngineModes, TheSpeedPitchLockIsReleasedAfterAFifthOfASecond)
{
    mode(3, 1);
    ASSERT_TRUE(SeekLock.load());
    QElapsedTimer timer;
    timer.start();
    while (SeekLock.load() && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_FALSE(SeekLock.load());
    EXPECT_GE(timer.elapsed(), 150);
    EXPECT_LE(timer.elapsed(), 1000);
}

TEST_F(EngineModes, ParameterCallsReachTheEffectGlobals)
{
    EXPECT_EQ(CaptureStdout([&] { engine->setUserEQBand(3, 17); }), "Band:3, value:17\n");
    EXPECT_EQ(QBS_MEQ_BAND[3].load(), 17);
    EXPECT_EQ(CaptureStdout([&] { engine->setUserEQBand(7, 1); engine->setUserEQBand(-1, 1); }), "");
    EXPECT_EQ(CaptureStdout([&] { engine->set3DStereoValue(0, 4); }), "QBS_M3D_SURR  value:4\n");
    EXPECT_EQ(CaptureStdout([&] { engine->set3DStereoValue(1, 9); }), "QBS_M3D_BASS  value:9\n");
    EXPECT_EQ(QBS_M3D_SURR.load(), 4);
    EXPECT_EQ(QBS_M3D_BASS.load(), 9);
    EXPECT_EQ(CaptureStdout([&] { engine->setStageMode(2); }), "QBS_MOS_PRESET  value:2\n");
    EXPECT_EQ(QBS_MOS_PRESET.load(), 2);
    EXPECT_EQ(CaptureStdout([&] { engine->setEQMode(4); }), "QBS_MEQ_Set_Mode:4\n");
}

} // namespace
