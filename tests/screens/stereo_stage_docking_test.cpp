// The 3D stereo, stage and Docking Mode screens: switches, sliders, the stage picker,
// the line-out rule of the 3D switch, and the docking screen's rows and modal screens.

#include "ScreenTestSupport.h"

#include "screens/DStereoViewController.h"
#include "screens/DockingModeViewController.h"
#include "screens/EqualizerViewController.h"
#include "screens/OnOffSwitch.h"
#include "screens/PickerView.h"
#include "screens/SettingTable.h"
#include "screens/SpeedPitchController.h"
#include "screens/StageModeViewController.h"
#include "screens/ValueSlider.h"

#include "platform/session/AudioSession.h"

#include <QTest>

namespace {

class Stereo : public ScreenTest {
protected:
    DStereoViewController* openStereo()
    {
        return open<DStereoViewController>(&DStereoViewController::getStereoSettingValue);
    }
};

using Stage = ScreenTest;
using Docking = ScreenTest;

}  // namespace

TEST_F(Stereo, SwitchSlidersAndReset)
{
    DStereoViewController* stereo = openStereo();
    EXPECT_EQ(int(stereo->surroundSlider->levelValue()), 11);
    EXPECT_EQ(int(stereo->bassSlider->levelValue()), 3);

    tap(stereo->switchCtl);
    EXPECT_EQ(log, QStringList({"tell StageModeChangeKey=0", "tell EqualizerOnOff=0",
                                "post StereoChangeSettingNotification StereoModeChangeKey=2",
                                "tell StereoModeChangeKey=2"}));
    EXPECT_EQ(setting(EqualizerOnOff), 1) << "stored off over the 0 the delegate was told";

    log.clear();
    dragSlider(stereo->surroundSlider, 7.6);
    EXPECT_EQ(log.last(), "post StereoChangeSettingNotification StereoSurroundKey=7");
    EXPECT_EQ(log.at(log.size() - 2), "tell StereoSurroundKey=7") << "the delegate hears first";
    stereo->bassSlider->setFocus();
    QTest::keyClick(stereo->bassSlider, Qt::Key_Left);
    EXPECT_EQ(setting(StereoBassKey), 2);
    screenshot("stereo");

    log.clear();
    tap(stereo->resetRow);
    EXPECT_EQ(log, QStringList({"tell StereoSurroundKey=11", "tell StereoBassKey=3",
                                "post StereoChangeSettingNotification StereoBassKey=3 StereoSurroundKey=11"}));
    EXPECT_EQ(int(stereo->surroundSlider->levelValue()), 11);
}

TEST_F(Stereo, OnLineOutTheSwitchChangesNothingAndShowsOff)
{
    AudioSessionSetAudioRouteForTesting(std::string("LineOut"));
    setSetting(StereoSurroundKey, 40);  // a damaged store: shown at the top of the range
    DStereoViewController* stereo = openStereo();
    EXPECT_EQ(int(stereo->surroundSlider->levelValue()), 11);
    dragSlider(stereo->bassSlider, 8.2);
    log.clear();
    tap(stereo->switchCtl);
    EXPECT_TRUE(log.isEmpty()) << "nothing told or posted, so nothing reaches the player";
    EXPECT_FALSE(stereo->switchCtl->isOn());
    EXPECT_EQ(setting(StereoModeChangeKey), 1);
    EXPECT_EQ(int(stereo->bassSlider->levelValue()), 8) << "the reload keeps the level the user set";
}

TEST_F(Stage, PresetPickerAndSwitch)
{
    setSetting(StagePresetKey, 3);
    auto* stage = open<StageModeViewController>(&StageModeViewController::getStageSettingValue);
    EXPECT_EQ(stage->MenuTitleLabel->text(), "ON.STAGE Control");
    EXPECT_EQ(stage->pickerViewControl->selectedRow(), 2) << "a stored 3 selects \"Stadium\"";
    EXPECT_TRUE(log.isEmpty()) << "showing the stored preset reports nothing";

    PickerView* picker = stage->pickerViewControl;
    QTest::mouseClick(picker->viewport(), Qt::LeftButton, {}, picker->visualItemRect(picker->item(1)).center());
    EXPECT_EQ(log, QStringList({"post StageChangeSettingNotification StagePresetKey=2", "tell StagePresetKey=2"}));
    log.clear();
    QTest::keyClick(picker, Qt::Key_Up);
    EXPECT_EQ(log.first(), "post StageChangeSettingNotification StagePresetKey=1");
    EXPECT_EQ(setting(StageModeChangeKey), 1) << "a preset does not switch the stage on";
    screenshot("stage");

    log.clear();
    tap(stage->switchCtl);
    EXPECT_EQ(log, QStringList({"tell EqualizerOnOff=0", "tell StereoModeChangeKey=0",
                                "post StageChangeSettingNotification StageModeChangeKey=2",
                                "tell StageModeChangeKey=2"}));
    log.clear();
    tap(stage->switchCtl);
    EXPECT_EQ(log, QStringList({"post StageChangeSettingNotification StageModeChangeKey=1",
                                "tell StageModeChangeKey=1"}));

    setSetting(StagePresetKey, 0);
    auto* fresh = open<StageModeViewController>(&StageModeViewController::getStageSettingValue);
    EXPECT_EQ(fresh->pickerViewControl->selectedRow(), -1) << "a preset never picked selects nothing";
}

TEST_F(Docking, SwitchRowsAndTheScreensItOpens)
{
    auto* docking = open<DockingModeViewController>(&DockingModeViewController::getDockingSettingValue);
    EXPECT_EQ(docking->row(1)->text(), "");
    EXPECT_FALSE(docking->StereoButton->isVisible());
    tap(docking->row(1));  // an empty row: nothing
    settle();
    EXPECT_EQ(stack->topViewController(), docking);

    tap(docking->switchCtl);
    EXPECT_EQ(log, QStringList({"post DockingChangeSettingNotification DockingoModeChangeKey=2",
                                "tell DockingoModeChangeKey=2"}));
    EXPECT_EQ(engine->calls(), QStringList{"setModeChange(4,1)"}) << "no effect is switched on";
    EXPECT_EQ(docking->row(1)->text(), "3D Sound");
    EXPECT_EQ(docking->row(2)->text(), "EQ");
    EXPECT_TRUE(docking->StereoButton->isVisible());
    EXPECT_FALSE(docking->StageButton->isVisible()) << "the stage button follows the state at loading only";
    screenshot("docking");

    // "EQ" pushes the equalizer without a delegate: its changes reach the player only
    // through the notification.
    tap(docking->row(2));
    settle();
    auto* eq = qobject_cast<EqualizerViewController*>(stack->topViewController());
    ASSERT_NE(eq, nullptr);
    EXPECT_EQ(eq->delegate(), nullptr);
    log.clear();
    tap(eq->switchCtl);
    EXPECT_EQ(log, QStringList{"post EqualizerSettingNotification EqualizerOnOff=2"});
    EXPECT_EQ(setting(EqualizerOnOff), 2);
    tap(eq->backButton);
    settle();
    EXPECT_EQ(stack->topViewController(), docking);

    // The buttons present the effect screens over everything; their back button dismisses.
    tap(docking->SPPTButton);
    settle();
    auto* sp = qobject_cast<SpeedPitchController*>(stack->modalViewController());
    ASSERT_NE(sp, nullptr);
    EXPECT_EQ(sp->TitleLabel->text(), "SPEED/PITCH Control");
    screenshot("docking_speed_pitch_modal");
    tap(sp->backButton);
    settle();
    EXPECT_EQ(stack->modalViewController(), nullptr);
    EXPECT_EQ(stack->topViewController(), docking);

    log.clear();
    tap(docking->switchCtl);
    EXPECT_EQ(log.first(), "post DockingChangeSettingNotification DockingoModeChangeKey=1");
    EXPECT_EQ(setting(EqualizerOnOff), 1);
    EXPECT_EQ(docking->row(1)->text(), "");
    EXPECT_FALSE(docking->row(1)->isSelectable());
    EXPECT_FALSE(docking->StereoButton->isVisible());
}
