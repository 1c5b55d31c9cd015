// The speed and pitch screen: the steps and their limits, the texts, "Reset" and the
// switch, through the notification only (the screen never tells its delegate).

#include "ScreenTestSupport.h"

#include "screens/OnOffSwitch.h"
#include "screens/SettingTable.h"
#include "screens/SpeedPitchController.h"

namespace {

class SpeedPitch : public ScreenTest {
protected:
    SpeedPitchController* openSp()
    {
        return open<SpeedPitchController>(&SpeedPitchController::getSpeedPitchSettingValue);
    }
    void press(SpeedPitchController* sp, int tag) { tap(sp->button(tag)); }
};

}  // namespace

TEST_F(SpeedPitch, StepsMoveOnFromTheTableAndStopAtTheLimits)
{
    SpeedPitchController* sp = openSp();
    press(sp, SpeedPitchController::kSpeedPlus);
    EXPECT_EQ(log, QStringList{"post SpeedPitchSettingNotification SpeedPitchSPKey=110 SpeedPitchSpeedKey=11"});
    EXPECT_EQ(sp->speedLabel->text(), "1.1");
    // The player stored 11, so the next press goes on from there.
    press(sp, SpeedPitchController::kSpeedPlus);
    EXPECT_EQ(sp->speedLabel->text(), "1.2");
    EXPECT_EQ(setting(SpeedPitchSpeedKey), 12);

    setSetting(SpeedPitchSpeedKey, 20);
    log.clear();
    press(sp, SpeedPitchController::kSpeedPlus);
    EXPECT_EQ(log, QStringList{"post SpeedPitchSettingNotification SpeedPitchSPKey=200 SpeedPitchSpeedKey=20"});
    EXPECT_EQ(sp->speedLabel->text(), "2.0");
    setSetting(SpeedPitchSpeedKey, 5);
    press(sp, SpeedPitchController::kSpeedMinus);
    EXPECT_EQ(sp->speedLabel->text(), "0.5");
    EXPECT_EQ(setting(SpeedPitchSpeedKey), 5);

    setSetting(SpeedPitchPTKey, 13);
    press(sp, SpeedPitchController::kPitchPlus);
    EXPECT_EQ(sp->pitchLabel->text(), "6");
    setSetting(SpeedPitchPTKey, 1);
    log.clear();
    press(sp, SpeedPitchController::kPitchMinus);
    EXPECT_EQ(sp->pitchLabel->text(), "-6");
    EXPECT_EQ(log, QStringList{"post SpeedPitchSettingNotification SpeedPitchPTKey=1"});
    screenshot("speed_pitch");
}

TEST_F(SpeedPitch, ResetAndTheSwitchPostOnlyTheirKeys)
{
    setSetting(SpeedPitchSpeedKey, 14);
    setSetting(SpeedPitchPTKey, 3);
    SpeedPitchController* sp = openSp();
    EXPECT_EQ(sp->speedLabel->text(), "1.4");
    EXPECT_EQ(sp->pitchLabel->text(), "-4");

    tap(sp->resetRow);
    EXPECT_EQ(log, QStringList{"post SpeedPitchSettingNotification SpeedPitchPTKey=7 SpeedPitchSpeedKey=10"});
    EXPECT_EQ(sp->speedLabel->text(), "1.0");
    EXPECT_EQ(sp->pitchLabel->text(), "0");

    log.clear();
    tap(sp->switchCtl);
    tap(sp->switchCtl);
    EXPECT_EQ(log, QStringList({"post SpeedPitchSettingNotification SpeedPitchOnOffKey=2 SpeedPitchSpeedKey=10",
                                "post SpeedPitchSettingNotification SpeedPitchOnOffKey=1"}));
}

TEST_F(SpeedPitch, ADamagedStoreShowsAndStepsFromTheNearestValidValue)
{
    setSetting(SpeedPitchSpeedKey, 90);
    setSetting(SpeedPitchPTKey, 0);
    SpeedPitchController* sp = openSp();
    EXPECT_EQ(sp->speedLabel->text(), "2.0");
    EXPECT_EQ(sp->pitchLabel->text(), "-6");
    // One press of the other button brings the value back into range.
    press(sp, SpeedPitchController::kSpeedMinus);
    EXPECT_EQ(setting(SpeedPitchSpeedKey), 19);
    press(sp, SpeedPitchController::kPitchPlus);
    EXPECT_EQ(setting(SpeedPitchPTKey), 2);
}
