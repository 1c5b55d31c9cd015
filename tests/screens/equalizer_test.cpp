// The equalizer screen driven by hand: switch, band sliders, the preset sheet, "Reset",
// and what reaches the delegate, the player's live table and the engine.

#include "ScreenTestSupport.h"

#include "screens/EqualizerViewController.h"
#include "screens/OnOffSwitch.h"
#include "screens/SettingTable.h"
#include "screens/ValueSlider.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTest>

namespace {

class Equalizer : public ScreenTest {
protected:
    EqualizerViewController* openEq() { return open<EqualizerViewController>(&EqualizerViewController::getEqSettingValue); }

    std::vector<int> shownBands(EqualizerViewController* eq)
    {
        std::vector<int> bands;
        for (ValueSlider* s : eq->sliders)
            bands.push_back(int(s->levelValue()));
        return bands;
    }

    // Opens the preset sheet with a tap on the "Equalizer" row, picks `row` with the
    // arrow keys from the row shown, and taps "Done".
    void pickPreset(EqualizerViewController* eq, int row)
    {
        tap(eq->presetRow);
        ASSERT_TRUE(eq->presetSheet() && eq->presetSheet()->isVisible());
        PickerView* picker = eq->presetPicker();
        ASSERT_TRUE(picker->hasFocus());
        while (picker->selectedRow() < row)
            QTest::keyClick(picker, Qt::Key_Down);
        while (picker->selectedRow() > row)
            QTest::keyClick(picker, Qt::Key_Up);
        tap(eq->presetSheet()->doneButton());
    }
};

}  // namespace

TEST_F(Equalizer, SwitchOnTellsTheOtherEffectsOffThenPostsAndStores)
{
    EqualizerViewController* eq = openEq();
    EXPECT_FALSE(eq->switchCtl->isOn());
    tap(eq->switchCtl);
    EXPECT_EQ(log, QStringList({"tell StageModeChangeKey=0", "tell StereoModeChangeKey=0",
                                "post EqualizerSettingNotification EqualizerOnOff=2", "tell EqualizerOnOff=2"}));
    // The player stores the others off (1) over the 0 the delegate was told.
    EXPECT_EQ(setting(StereoModeChangeKey), 1);
    EXPECT_EQ(setting(StageModeChangeKey), 1);

    log.clear();
    QTest::keyClick(eq->switchCtl, Qt::Key_Space);  // off, from the keyboard
    EXPECT_EQ(log, QStringList({"post EqualizerSettingNotification EqualizerOnOff=1", "tell EqualizerOnOff=1"}));
}

TEST_F(Equalizer, ADraggedSliderReportsItsTruncatedLevelAtEveryStep)
{
    EqualizerViewController* eq = openEq();
    dragSlider(eq->sliders[1], 20.7);
    const double level = eq->sliders[1]->levelValue();
    ASSERT_GT(level, 20.5);
    ASSERT_LT(level, 20.9);
    EXPECT_EQ(log.last(), "post EqualizerSettingNotification EqUserSetting400Key=20");
    EXPECT_GT(log.size(), 3) << "a drag reports while it moves, not only where it ends";
    EXPECT_TRUE(log.contains("tell EqModeChangeKey=1"));
    EXPECT_TRUE(log.contains("tell EqUserSetting400Key=20"));
    // The detail text shows "My Setting" once after a slider moved.
    EXPECT_EQ(eq->presetRow->detailText(), "My Setting");

    // Arrow keys move a focused slider one level; each slider stores and sends its own band.
    const char* const keys[] = {"200", "400", "800", "1600", "3200", "6400", "12800"};
    const int levels[] = {14, 21, 14, 14, 14, 14, 14};
    for (int band = 0; band < 7; ++band) {
        eq->sliders[band]->setFocus();
        QTest::keyClick(eq->sliders[band], Qt::Key_Right);
        EXPECT_EQ(log.last(), QString("post EqualizerSettingNotification EqUserSetting%1Key=%2").arg(keys[band]).arg(levels[band]));
        EXPECT_EQ(engine->callsStartingWith("setUserEQBand").last(), QString("setUserEQBand(%1,%2)").arg(band).arg(levels[band] - 1));
    }
}

TEST_F(Equalizer, PresetSheetDoneAndReset)
{
    setSetting(EqUserSetting1600Key, 21);
    EqualizerViewController* eq = openEq();
    EXPECT_EQ(eq->presetRow->detailText(), "My Setting");

    pickPreset(eq, 1);  // "Rock"
    EXPECT_EQ(log, QStringList{"post EqualizerSettingNotification EqModeChangeKey=2"});
    EXPECT_EQ(shownBands(eq), (std::vector<int>{16, 14, 12, 10, 9, 12, 16}));
    EXPECT_EQ(eq->presetRow->detailText(), "Rock");
    settle();
    EXPECT_EQ(eq->presetSheet(), nullptr) << "Done closes the sheet";
    screenshot("equalizer");

    // "My Setting" posts preset 1 with the seven stored values, read again.
    log.clear();
    pickPreset(eq, 0);
    EXPECT_EQ(log.last(), "post EqualizerSettingNotification EqModeChangeKey=1 EqUserSetting12800Key=13 "
                          "EqUserSetting1600Key=21 EqUserSetting200Key=13 EqUserSetting3200Key=13 "
                          "EqUserSetting400Key=13 EqUserSetting6400Key=13 EqUserSetting800Key=13");
    EXPECT_EQ(log.filter(QRegularExpression("^tell EqUserSetting")).size(), 7);
    EXPECT_EQ(shownBands(eq), (std::vector<int>{13, 13, 13, 21, 13, 13, 13}));
    settle();

    // Escape closes the sheet without choosing: the sheet opens again on the preset in use.
    log.clear();
    tap(eq->presetRow);
    QTest::keyClick(eq->presetPicker(), Qt::Key_Down);
    screenshot("equalizer_preset_sheet");
    QTest::keyClick(eq->presetPicker(), Qt::Key_Escape);
    settle();
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(stack->topViewController(), eq) << "Escape in the sheet does not leave the screen";
    tap(eq->presetRow);
    EXPECT_EQ(eq->presetPicker()->selectedRow(), 0);
    QTest::keyClick(eq->presetPicker(), Qt::Key_Escape);
    settle();

    log.clear();
    QTest::keyClick(eq->resetRow, Qt::Key_Return);
    EXPECT_EQ(shownBands(eq), std::vector<int>(7, 13));
    EXPECT_EQ(log.last(), "post EqualizerSettingNotification EqModeChangeKey=1 EqUserSetting12800Key=13 "
                          "EqUserSetting1600Key=13 EqUserSetting200Key=13 EqUserSetting3200Key=13 "
                          "EqUserSetting400Key=13 EqUserSetting6400Key=13 EqUserSetting800Key=13");
    EXPECT_EQ(eq->presetRow->detailText(), "My Setting");
}

TEST_F(Equalizer, ADamagedStoreOpensOnTheNearestValidValues)
{
    setSetting(EqModeChangeKey, 42);
    EqualizerViewController* eq = openEq();
    EXPECT_EQ(eq->presetRow->detailText(), "Full Treble");
    EXPECT_EQ(shownBands(eq), (std::vector<int>{12, 12, 12, 13, 14, 15, 16}));

    setSetting(EqModeChangeKey, -3);
    setSetting(EqUserSetting200Key, 99);
    setSetting(EqUserSetting400Key, -5);
    EqualizerViewController* mine = openEq();
    EXPECT_EQ(mine->presetRow->detailText(), "My Setting");
    EXPECT_EQ(shownBands(mine), (std::vector<int>{25, 1, 13, 13, 13, 13, 13}));
}

TEST_F(Equalizer, TabGoesThroughTheControlsInOrder)
{
    EqualizerViewController* eq = openEq();
    eq->backButton->setFocus();
    QList<QWidget*> expected{eq->switchCtl, eq->presetRow};
    for (ValueSlider* s : eq->sliders)
        expected << s;
    expected << eq->resetRow;
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
}
