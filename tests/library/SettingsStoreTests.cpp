// The live settings and play-control tables and their single stored rows.

#include "LibraryTestSupport.h"
#include "library/SettingKeys.h"

#include <csignal>
#include <sqlite3.h>

TEST(LiveTable, TextAndNumberEntriesReadAsTheSameInteger)
{
    EXPECT_EQ(integerValueOf(QStringLiteral("13")), 13);
    EXPECT_EQ(integerValueOf(13), 13);
    EXPECT_EQ(integerValueOf(QVariant::fromValue<qint64>(13)), 13);
    EXPECT_EQ(integerValueOf(QStringLiteral("  -7 dB")), -7);
    EXPECT_EQ(integerValueOf(QStringLiteral("None")), 0);
    EXPECT_EQ(integerValueOf(12.9), 12);
    EXPECT_EQ(integerValueOf(QVariant()), 0);
    EXPECT_EQ(integerValueOf(QStringLiteral("99999999999")), 2147483647);

    EXPECT_EQ(LiveTable::defaultSettingTable()->integerValue(QStringLiteral("NotAKey")), 0);
    EXPECT_EQ(LiveTable::defaultPlayControlTable()->value(LastPlayTitleKey).toString(), "None");
}

TEST_F(LibraryTest, SavingTheDefaultsWritesTheirValuesAndNothingForLiveOnlyKeys)
{
    DTMusicModelController controller;
    auto settings = LiveTable::defaultSettingTable();
    auto play = LiveTable::defaultPlayControlTable();
    settings->setIntegerValue(StagePresetKey, 3);
    settings->setIntegerValue(EqUserSetting400Key, 13);  // a number stores as the default text "13" does
    settings->dictionary().remove(EqUserSetting800Key);  // a missing entry stores 0
    play->dictionary().insert(LastPlayTitleKey, QStringLiteral("Song"));
    play->setIntegerValue(LastPosionKey, 44100);
    controller.saveSetting(settings, play);
    EXPECT_EQ(sql("SELECT StereoEnable, StereoSurround, StereoBass, EqEnable, EqModeChange, Eq200db, Eq400db, Eq800db,"
                  " Eq1600db, Eq3200db, Eq6400db, Eq12800db, StageEnable, DockingEnable, SpeedEnable, SpeedValue,"
                  " PTValue, SPValue, typeof(Eq200db), typeof(Eq400db) FROM Setting"),
              "1|11|3|1|1|13|13|0|13|13|13|13|1|1|1|10|7|100|integer|integer");
    EXPECT_EQ(sql("SELECT shuffleEnable, PlayMode, quote(LastPlayMusicTitle), quote(LastPosion) FROM PlayControl"),
              "0|0|NULL|NULL");
}

TEST_F(LibraryTest, ASaveCutShortByACrashLeavesThePreviousSettings)
{
    auto settings = LiveTable::defaultSettingTable();
    auto play = LiveTable::defaultPlayControlTable();
    settings->setIntegerValue(EqModeChangeKey, 4);
    {
        DTMusicModelController controller;
        controller.saveSetting(settings, play);
    }
    EXPECT_EXIT(
        {
            DTMusicModelController controller;
            auto changed = LiveTable::defaultSettingTable();
            changed->setIntegerValue(EqModeChangeKey, 8);
            // Die once the new Setting row is written but before the commit.
            NSPersistentStore::setSaveStatementHook([](const QString& sql) {
                if (sql.contains("\"PlayControl\"") && sql.startsWith("INSERT"))
                    std::raise(SIGKILL);
                return SQLITE_OK;
            });
            controller.saveSetting(changed, LiveTable::defaultPlayControlTable());
            std::_Exit(0);
        },
        testing::KilledBySignal(SIGKILL), "");
    EXPECT_EQ(sql("PRAGMA integrity_check"), "ok");
    EXPECT_EQ(sql("SELECT count(*), EqModeChange FROM Setting"), "1|4");
    DTMusicModelController restarted;
    ASSERT_TRUE(restarted.allSetting().has_value());
    EXPECT_EQ(restarted.allSetting()->front()->integerForAttribute("EqModeChange"), 4);
}
