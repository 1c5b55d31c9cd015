// The bridge from the effect screens' notifications to the engine and the live settings
// table, the docking rules, and the settings' way into and out of the store.

#include "PlayerTestSupport.h"

#include "library/DTMusicModelController.h"
#include "platform/session/AudioSession.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

namespace {

class SettingsBridge : public ::testing::Test {
protected:
    void SetUp() override
    {
        AudioSessionResetForTesting();
        h = std::make_unique<PlayerHarness>();
        h->engine->clearCalls();
    }
    void TearDown() override
    {
        h.reset();
        AudioSessionResetForTesting();
    }
    void post(const QString& name, const QVariantMap& info)
    {
        NotificationCenter::defaultCenter().postNotification(name, nullptr, info);
    }
    int value(const QString& key) { return h->player->settingValueArray()->integerValue(key); }
    QStringList calls() { return h->engine->calls(); }

    std::unique_ptr<PlayerHarness> h;
};

} // namespace

TEST_F(SettingsBridge, EqualizerOnSwitchesTheOthersOffInTheTable)
{
    post(EqualizerSettingNotification, {{EqModeChangeKey, 5}, {EqUserSetting800Key, 20}, {EqualizerOnOff, 2},
                                        {EqUserSetting200Key, 0}});
    EXPECT_EQ(calls(), QStringList({"setEQMode(4)", "setUserEQBand(2,19)", "setModeChange(0,1)"}));
    EXPECT_EQ(value(EqModeChangeKey), 5);
    EXPECT_EQ(value(EqUserSetting800Key), 20);
    EXPECT_EQ(value(EqUserSetting200Key), 13);  // 0 means no change
    EXPECT_EQ(value(StereoModeChangeKey), 1);
    EXPECT_EQ(value(StageModeChangeKey), 1);
    EXPECT_EQ(value(SpeedPitchOnOffKey), 1);
    EXPECT_EQ(imageOf(h->player->QuickStereoButton), "3dstereo_select.png");
}

TEST_F(SettingsBridge, StereoLevelsAreOneBelowTheStoredValues)
{
    post(StereoChangeSettingNotification, {{StereoModeChangeKey, 2}, {StereoSurroundKey, 9}, {StereoBassKey, 1}});
    EXPECT_EQ(calls(), QStringList({"setModeChange(1,1)", "set3DStereoValue(0,8)", "set3DStereoValue(1,0)"}));
    EXPECT_EQ(value(EqualizerOnOff), 1);
    EXPECT_EQ(imageOf(h->player->QuickStereoButton), "3dstereo.png");
}

TEST_F(SettingsBridge, StageOnIgnoresAPresetInTheSameNotification)
{
    post(StageChangeSettingNotification, {{StageModeChangeKey, 2}, {StagePresetKey, 3}});
    EXPECT_EQ(calls(), QStringList({"setModeChange(2,1)"}));
    EXPECT_EQ(value(StagePresetKey), 0);
    post(StageChangeSettingNotification, {{StagePresetKey, 3}});
    EXPECT_EQ(h->engine->callsStartingWith("setStageMode"), QStringList({"setStageMode(2)"}));
}

TEST_F(SettingsBridge, DockedStoresStageAndSpeedPitchWithoutTheEngine)
{
    AudioSessionSetAudioRouteForTesting(std::string("LineOut"));
    h->player->DockingCheck(2);
    EXPECT_EQ(calls(), QStringList({"setModeChange(4,1)", "setModeChange(0,0)", "setModeChange(2,0)",
                                    "setModeChange(3,0)"}));
    EXPECT_TRUE(h->player->volumeView->isHidden());
    EXPECT_EQ(value(DockingoModeChangeKey), 2);
    h->engine->clearCalls();

    post(StageChangeSettingNotification, {{StageModeChangeKey, 2}});
    post(StageChangeSettingNotification, {{StagePresetKey, 3}});
    post(SpeedPitchSettingNotification, {{SpeedPitchOnOffKey, 2}, {SpeedPitchSpeedKey, 12}, {SpeedPitchPTKey, 9}});
    EXPECT_TRUE(calls().isEmpty()) << calls().join(", ").toStdString();
    EXPECT_EQ(value(StageModeChangeKey), 2);
    EXPECT_EQ(value(StagePresetKey), 3);
    EXPECT_EQ(value(SpeedPitchOnOffKey), 2);
    EXPECT_EQ(value(SpeedPitchSpeedKey), 12);
    EXPECT_EQ(value(EqualizerOnOff), 1);  // stage on still stores the others off

    h->player->DockingCheck(0);
    EXPECT_FALSE(h->player->volumeView->isHidden());
    EXPECT_EQ(value(DockingoModeChangeKey), 1);
}

TEST_F(SettingsBridge, SpeedPitchOnWhileUndockedReachesTheEngine)
{
    post(SpeedPitchSettingNotification, {{SpeedPitchOnOffKey, 2}, {SpeedPitchSpeedKey, 12}, {SpeedPitchPTKey, 9},
                                         {SpeedPitchSPKey, 80}});
    EXPECT_EQ(calls(), QStringList({"setModeChange(3,1)", "setSpeedPitch(1,12)", "setSpeedPitch(2,9)",
                                    "setSpeedPitch(3,80)"}));
    EXPECT_EQ(value(StereoModeChangeKey), 1);
    EXPECT_EQ(value(EqualizerOnOff), 1);
}

TEST_F(SettingsBridge, DockingModeOffSwitchesEffectsButNotSpeedPitch)
{
    post(DockingChangeSettingNotification, {{DockingoModeChangeKey, 1}});
    EXPECT_EQ(calls(), QStringList({"setModeChange(4,0)", "setModeChange(1,0)", "setModeChange(0,0)",
                                    "setModeChange(2,0)"}));
    post(DockingChangeSettingNotification, {});
    EXPECT_EQ(calls().size(), 4);
}

TEST_F(SettingsBridge, QuickButtonFollowsRouteAndDockingMode)
{
    h->player->QuickStereoMenu();  // speaker, 3D off: switch it on, the others off
    EXPECT_EQ(calls(), QStringList({"setModeChange(4,1)", "setModeChange(0,0)", "setModeChange(2,0)",
                                    "setModeChange(1,1)"}));
    EXPECT_EQ(value(StereoModeChangeKey), 2);
    EXPECT_EQ(imageOf(h->player->QuickStereoButton), "3dstereo.png");
    h->player->QuickStereoMenu();  // and off again
    EXPECT_EQ(value(StereoModeChangeKey), 1);
    EXPECT_EQ(imageOf(h->player->QuickStereoButton), "3dstereo_select.png");

    // A line-out dock with docking mode off: 3D, equalizer and stage off, shown as off.
    AudioSessionSetAudioRouteForTesting(std::string("LineOut"));
    h->player->setSettingValueList(StereoModeChangeKey, 2);
    h->engine->clearCalls();
    h->player->QuickStereoMenu();
    EXPECT_EQ(calls(), QStringList({"setModeChange(1,0)", "setModeChange(0,0)", "setModeChange(2,0)"}));
    EXPECT_EQ(value(StereoModeChangeKey), 1);
    EXPECT_EQ(imageOf(h->player->QuickStereoButton), "3dstereo_select.png");

    // A route that cannot be read leaves the image alone.
    AudioSessionSetRouteQueryStatusForTesting(kAudioSessionUnspecifiedError);
    h->player->QuickStereoButtonImage(true);
    EXPECT_EQ(imageOf(h->player->QuickStereoButton), "3dstereo_select.png");
}

TEST_F(SettingsBridge, StartUpDockCheckRunsHalfASecondAfterLoading)
{
    AudioSessionSetAudioRouteForTesting(std::string("LineOut"));
    PlayerHarness docked;
    EXPECT_FALSE(docked.player->hwDockingState());
    EXPECT_FALSE(docked.player->volumeView->isHidden());
    ASSERT_TRUE(waitFor([&] { return docked.player->hwDockingState(); }, 2.0));
    EXPECT_TRUE(docked.player->volumeView->isHidden());
    EXPECT_EQ(docked.player->settingValueArray()->integerValue(DockingoModeChangeKey), 2);
}

TEST(SettingsStore, SavedOnLeavingTheForegroundAndRestoredAtStart)
{
    AudioSessionResetForTesting();
    {
        PlayerHarness first;
        auto& p = *first.player;
        NotificationCenter& center = NotificationCenter::defaultCenter();
        center.postNotification(EqualizerSettingNotification, nullptr,
                                {{EqModeChangeKey, 1}, {EqUserSetting6400Key, 17}, {EqualizerOnOff, 2}});
        center.postNotification(StereoChangeSettingNotification, nullptr, {{StereoSurroundKey, 4}});
        center.postNotification(SpeedPitchSettingNotification, nullptr, {{SpeedPitchSpeedKey, 14}, {SpeedPitchPTKey, 3}});
        center.postNotification(StageChangeSettingNotification, nullptr, {{StagePresetKey, 2}});
        p.PlayModeButtonchange(0);
        p.PlayModeButtonchange(3);
        center.postNotification(UIApplicationDidEnterBackgroundNotification, qApp, {});
    }
    PlayerHarness second;
    const QStringList calls = second.engine->calls();
    // Restored into the engine: equalizer on with its user curve, levels one below.
    EXPECT_TRUE(calls.contains("setModeChange(0,1)"));
    EXPECT_TRUE(calls.contains("setEQMode(0)"));
    EXPECT_TRUE(calls.contains("setUserEQBand(5,16)"));
    EXPECT_TRUE(calls.contains("set3DStereoValue(0,3)"));
    EXPECT_TRUE(calls.contains("setModeChange(4,1)"));
    // Speed/pitch was off: its values are neither applied nor restored; the stage
    // preset is live only.
    EXPECT_TRUE(second.engine->callsStartingWith("setSpeedPitch").isEmpty());
    const LiveTableRef& table = second.player->settingValueArray();
    EXPECT_EQ(table->integerValue(SpeedPitchSpeedKey), 10);
    EXPECT_EQ(table->integerValue(SpeedPitchPTKey), 7);
    EXPECT_EQ(table->integerValue(StagePresetKey), 0);
    EXPECT_EQ(table->integerValue(EqUserSetting6400Key), 17);
    EXPECT_EQ(second.player->playModeFlag(), 1);
    EXPECT_TRUE(second.player->shuffleEnabled());
    EXPECT_EQ(imageOf(second.player->allOncerepeatButton), "repeat_select.png");
    EXPECT_EQ(imageOf(second.player->shuffleModeButton), "random_select.png");

    // Leave the store as a first start finds it.
    second.player->InitSettingValue();
    second.player->SettingValueSave();
}
