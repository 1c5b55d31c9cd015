// The bridge from the effect screens' notifications to the engine and the live settings
// table, the docking rules, and the settings' way into and out of the store.

#include "PlayerTestSupport.h"

#include "platform/session/AudioSession.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {

class SettingsBridge : public ::testing::Test {
protected:
    void SetUp() override { AudioSessionResetForTesting(); h.engine->clearCalls(); }
    void TearDown() override { AudioSessionResetForTesting(); }
    void post(const QString& name, const QVariantMap& info)
    {
        NotificationCenter::defaultCenter().postNotification(name, nullptr, info);
    }
    int value(const QString& key) { return h.player->settingValueArray()->integerValue(key); }
    QString quickImage() { return imageNameOf(h.player->QuickStereoButton); }

    PlayerHarness h;
};

} // namespace

TEST_F(SettingsBridge, EachHandlerCallsTheEngineAndStoresTheValues)
{
    const struct {
        QString notification;
        QVariantMap info;
        QStringList calls;
        QVariantMap stored;  // key -> value in the table afterwards
        const char* quickImage;
    } cases[] = {
        // Equalizer on: values one below; the others stored off; 0 means no change.
        {EqualizerSettingNotification,
         {{EqModeChangeKey, 5}, {EqUserSetting800Key, 20}, {EqualizerOnOff, 2}, {EqUserSetting200Key, 0}},
         {"setEQMode(4)", "setUserEQBand(2,19)", "setModeChange(0,1)"},
         {{EqModeChangeKey, 5}, {EqUserSetting800Key, 20}, {EqUserSetting200Key, 13}, {StereoModeChangeKey, 1},
          {StageModeChangeKey, 1}, {SpeedPitchOnOffKey, 1}},
         "3dstereo_select.png"},
        {StereoChangeSettingNotification,
         {{StereoModeChangeKey, 2}, {StereoSurroundKey, 9}, {StereoBassKey, 1}},
         {"setModeChange(1,1)", "set3DStereoValue(0,8)", "set3DStereoValue(1,0)"},
         {{EqualizerOnOff, 1}, {StereoModeChangeKey, 2}},
         "3dstereo.png"},
        // Stage on leaves a preset in the same notification unread.
        {StageChangeSettingNotification, {{StageModeChangeKey, 2}, {StagePresetKey, 3}}, {"setModeChange(2,1)"},
         {{StagePresetKey, 0}, {StereoModeChangeKey, 1}}, "3dstereo_select.png"},
        {StageChangeSettingNotification, {{StagePresetKey, 3}}, {"setStageMode(2)"}, {{StagePresetKey, 3}}, nullptr},
        {SpeedPitchSettingNotification,
         {{SpeedPitchOnOffKey, 2}, {SpeedPitchSpeedKey, 12}, {SpeedPitchPTKey, 9}, {SpeedPitchSPKey, 80}},
         {"setModeChange(3,1)", "setSpeedPitch(1,12)", "setSpeedPitch(2,9)", "setSpeedPitch(3,80)"},
         {{StereoModeChangeKey, 1}, {EqualizerOnOff, 1}, {SpeedPitchSpeedKey, 12}},
         nullptr},
        // Docking mode off switches every effect but speed/pitch off.
        {DockingChangeSettingNotification, {{DockingoModeChangeKey, 1}},
         {"setModeChange(4,0)", "setModeChange(1,0)", "setModeChange(0,0)", "setModeChange(2,0)"},
         {{DockingoModeChangeKey, 1}, {StageModeChangeKey, 1}}, "3dstereo_select.png"},
        {DockingChangeSettingNotification, {}, {}, {}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.notification.toStdString() + " " + QStringList(c.info.keys()).join(",").toStdString());
        h.engine->clearCalls();
        post(c.notification, c.info);
        EXPECT_EQ(h.engine->calls(), c.calls);
        for (auto it = c.stored.begin(); it != c.stored.end(); ++it)
            EXPECT_EQ(value(it.key()), it.value().toInt()) << it.key().toStdString();
        if (c.quickImage) {
            EXPECT_EQ(quickImage(), c.quickImage);
        }
    }
}

TEST_F(SettingsBridge, DockedStoresStageAndSpeedPitchWithoutTheEngine)
{
    AudioSessionSetAudioRouteForTesting(std::string("LineOut"));
    h.player->DockingCheck(2);
    EXPECT_EQ(h.engine->calls(), QStringList({"setModeChange(4,1)", "setModeChange(0,0)", "setModeChange(2,0)",
                                              "setModeChange(3,0)"}));
    EXPECT_TRUE(h.player->volumeView->isHidden());
    EXPECT_EQ(value(DockingoModeChangeKey), 2);
    h.engine->clearCalls();

    post(StageChangeSettingNotification, {{StageModeChangeKey, 2}});
    post(StageChangeSettingNotification, {{StagePresetKey, 3}});
    post(SpeedPitchSettingNotification, {{SpeedPitchOnOffKey, 2}, {SpeedPitchSpeedKey, 12}});
    EXPECT_EQ(h.engine->calls(), QStringList());
    EXPECT_EQ(value(StagePresetKey), 3);
    EXPECT_EQ(value(SpeedPitchOnOffKey), 2);
    EXPECT_EQ(value(SpeedPitchSpeedKey), 12);
    EXPECT_EQ(value(EqualizerOnOff), 1);  // stage on still stores the others off

    h.player->DockingCheck(0);
    EXPECT_FALSE(h.player->volumeView->isHidden());
    EXPECT_EQ(value(DockingoModeChangeKey), 1);
}

TEST_F(SettingsBridge, QuickButtonFollowsRouteAndDockingMode)
{
    h.player->QuickStereoMenu();  // speaker, 3D off: on, and equalizer and stage off
    EXPECT_EQ(h.engine->calls(), QStringList({"setModeChange(4,1)", "setModeChange(0,0)", "setModeChange(2,0)",
                                              "setModeChange(1,1)"}));
    EXPECT_EQ(value(StereoModeChangeKey), 2);
    EXPECT_EQ(quickImage(), "3dstereo.png");
    h.player->QuickStereoMenu();
    EXPECT_EQ(value(StereoModeChangeKey), 1);
    EXPECT_EQ(quickImage(), "3dstereo_select.png");

    // A line-out dock with docking mode off: 3D, equalizer and stage off, shown as off.
    AudioSessionSetAudioRouteForTesting(std::string("LineOut"));
    h.player->setSettingValueList(StereoModeChangeKey, 2);
    h.engine->clearCalls();
    h.player->QuickStereoMenu();
    EXPECT_EQ(h.engine->calls(), QStringList({"setModeChange(1,0)", "setModeChange(0,0)", "setModeChange(2,0)"}));
    EXPECT_EQ(value(StereoModeChangeKey), 1);

    // A route that cannot be read leaves the image alone.
    AudioSessionSetRouteQueryStatusForTesting(kAudioSessionUnspecifiedError);
    h.player->QuickStereoButtonImage(true);
    EXPECT_EQ(quickImage(), "3dstereo_select.png");
}

TEST_F(SettingsBridge, StartUpDockCheckRunsHalfASecondAfterLoading)
{
    AudioSessionSetAudioRouteForTesting(std::string("LineOut"));
    PlayerHarness docked;
    EXPECT_FALSE(docked.player->hwDockingState());
    ASSERT_TRUE(waitFor([&] { return docked.player->hwDockingState(); }, 2.0));
    EXPECT_TRUE(docked.player->volumeView->isHidden());
    EXPECT_EQ(docked.player->settingValueArray()->integerValue(DockingoModeChangeKey), 2);
}

TEST(SettingsStore, SettingsAndModesSavedOnLeavingTheForegroundAndRestoredAtStart)
{
    AudioSessionResetForTesting();
    {
        PlayerHarness first;
        QTest::mouseClick(first.player->allOncerepeatButton, Qt::LeftButton);
        QTest::mouseClick(first.player->allOncerepeatButton, Qt::LeftButton);  // repeat one
        QTest::mouseClick(first.player->shuffleModeButton, Qt::LeftButton);
        NotificationCenter& center = NotificationCenter::defaultCenter();
        center.postNotification(EqualizerSettingNotification, nullptr,
                                {{EqModeChangeKey, 1}, {EqUserSetting6400Key, 17}, {EqualizerOnOff, 2}});
        center.postNotification(StereoChangeSettingNotification, nullptr, {{StereoSurroundKey, 4}});
        center.postNotification(SpeedPitchSettingNotification, nullptr, {{SpeedPitchSpeedKey, 14}, {SpeedPitchPTKey, 3}});
        center.postNotification(StageChangeSettingNotification, nullptr, {{StagePresetKey, 2}});
        center.postNotification(VolumeLevelingSettingNotification, nullptr, {{VolumeLevelingKey, 2}, {PreventClippingKey, 1}});
        center.postNotification(UIApplicationDidEnterBackgroundNotification, nullptr, {});
    }
    PlayerHarness second;
    const QStringList calls = second.engine->calls();
    for (const char* restored : {"setModeChange(0,1)", "setEQMode(0)", "setUserEQBand(5,16)",
                                 "set3DStereoValue(0,3)", "setModeChange(4,1)"})
        EXPECT_TRUE(calls.contains(restored)) << restored;
    // Speed/pitch was off: its values are neither applied nor restored; the stage preset
    // is live only.
    EXPECT_TRUE(second.engine->callsStartingWith("setSpeedPitch").isEmpty());
    const LiveTableRef& table = second.player->settingValueArray();
    EXPECT_EQ(table->integerValue(SpeedPitchSpeedKey), 10);
    EXPECT_EQ(table->integerValue(SpeedPitchPTKey), 7);
    EXPECT_EQ(table->integerValue(StagePresetKey), 0);
    EXPECT_EQ(table->integerValue(EqUserSetting6400Key), 17);
    EXPECT_EQ(table->integerValue(VolumeLevelingKey), 2);
    EXPECT_EQ(table->integerValue(PreventClippingKey), 1);
    EXPECT_EQ(second.player->playModeFlag(), 2);
    EXPECT_TRUE(second.player->shuffleEnabled());
    EXPECT_EQ(imageNameOf(second.player->allOncerepeatButton), "track_repeat.png");
    EXPECT_EQ(imageNameOf(second.player->shuffleModeButton), "random_select.png");

    second.player->InitSettingValue();  // leave the store as a first start finds it
    second.player->SettingValueSave();
}
