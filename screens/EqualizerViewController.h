#pragma once
// The equalizer screen: the on/off switch, the preset ("Equalizer" row, chosen in an
// action sheet with a picker and "Done"), the seven band sliders and "Reset".
//
// Stored values: "EqualizerOnOff" 2 on / 1 off; "EqModeChangeKey" the preset number + 1
// (1 "My Setting" .. 9 "Full Treble"); the seven "EqUserSetting...Key" band values 1 to
// 25, 13 being 0 dB. Changes go to the delegate (the settings menu) and, as
// "EqualizerSettingNotification", to the player.

#include "screens/ActionSheet.h"
#include "screens/EffectScreen.h"
#include "screens/PickerView.h"

#include <QPointer>
#include <QStringList>

#include <array>

class OnOffSwitch;
class TableRow;
class ValueSlider;

inline const QString EqualizerName = QStringLiteral("G.EQ Control");

class EqualizerViewController : public EffectScreen {
    Q_OBJECT

public:
    static constexpr int kBands = 7;
    static constexpr int kPresets = 9;

    explicit EqualizerViewController(QWidget* parent = nullptr);
    // An open preset sheet lives on the window: it goes with the screen.
    ~EqualizerViewController() override { delete mSheet.data(); }

    void getEqSettingValue(const LiveTableRef& settings) { mSettings = settings; }

    // Actions.
    void switchAction();
    void openPresetPicker();
    void pickerView(int row);  // a row chosen in the picker: only recorded
    void doneButton();
    void sliderAction(int band);
    void defaultbuttonChange();

    // What the screen shows, for tests and the other screens.
    OnOffSwitch* switchCtl = nullptr;
    TableRow* presetRow = nullptr;
    TableRow* resetRow = nullptr;
    std::array<ValueSlider*, kBands> sliders{};
    QWidget* headView = nullptr;
    ActionSheet* presetSheet() const { return mSheet; }
    PickerView* presetPicker() const { return mPicker; }
    int presetValue() const { return m; }

    const QStringList pickerViewArray;

protected:
    void viewDidLoad() override;

private:
    // Shows the slider values of preset p (0 = the user's own stored values).
    void showSlidersForPreset(int p);
    void reloadData();
    int storedBandValue(int band) const;

    int m = 1;  // current preset value, 1 to 9
    std::array<int, kBands> mSliderValues{};
    bool mOn = false;
    bool mShowMySetting = false;
    QPointer<ActionSheet> mSheet;
    QPointer<PickerView> mPicker;
};
