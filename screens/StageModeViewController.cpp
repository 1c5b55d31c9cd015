#include "screens/StageModeViewController.h"

#include "screens/OnOffSwitch.h"
#include "screens/PickerView.h"
#include "screens/SettingTable.h"

#include "library/SettingKeys.h"
#include "player/TavoroViewController.h"

#include <QLabel>
#include <QLayout>

#include <algorithm>

namespace {

constexpr int kSectionHeader = 10;

}  // namespace

StageModeViewController::StageModeViewController(QWidget* parent)
    : EffectScreen(parent),
      pickerViewArray{QStringLiteral("Studio"), QStringLiteral("Concert Hall"), QStringLiteral("Stadium")}
{
    setObjectName(QStringLiteral("StageModeViewController"));

    switchCtl = addSwitchRow(kSectionHeader, 44, QString(), [this] { StageModeOnOffButton(); });
    MenuTitleLabel = mTable->rows().first()->textLabel();

    mTable->addSection(kSectionHeader);
    mTable->addRow(66)->setNote(
        QStringLiteral("Deliver a natural and acoustic environment with sound effect! Simulate live music!"), 18);

    // The picker lies below the table.
    mTable->setFixedHeight(2 * kSectionHeader + 44 + 66 + 10);
    pickerViewControl = new PickerView(this);
    pickerViewControl->setObjectName(QStringLiteral("stagePicker"));
    pickerViewControl->setAccessibleName(QStringLiteral("Stage"));
    pickerViewControl->setTitles(pickerViewArray);
    pickerViewControl->setFixedHeight(3 * 36 + 6);
    layout()->addWidget(pickerViewControl);
    static_cast<QBoxLayout*>(layout())->addStretch(1);
    connect(pickerViewControl, &PickerView::didSelectRow, this, [this](int row) { pickerView(row); });

    chainFocus({pickerViewControl});
}

void StageModeViewController::viewDidLoad()
{
    setTitleLabels(StageName);
    MenuTitleLabel->setText(StageName);
    StageEnable = settingValue(StageModeChangeKey) == kSwitchOn;
    switchCtl->setOn(StageEnable);
    SelectStageMode = settingValue(StagePresetKey);
    // 0 is the preset never picked: no row is selected. A damaged store's value outside
    // 1..3 selects the nearest preset.
    const int row = SelectStageMode == 0 ? -1 : std::clamp(SelectStageMode, 1, int(pickerViewArray.size())) - 1;
    pickerViewControl->selectRow(row, true);
}

void StageModeViewController::StageModeOnOffButton()
{
    const bool on = switchCtl->isOn();
    if (on) {
        tellDelegate(EqualizerOnOff, 0);
        tellDelegate(StereoModeChangeKey, 0);
    }
    const int value = on ? kSwitchOn : kSwitchOff;
    post(StageChangeSettingNotification, changeInfo({{StageModeChangeKey, value}}));
    tellDelegate(StageModeChangeKey, value);
}

void StageModeViewController::pickerView(int row)
{
    const int preset = row + 1;
    post(StageChangeSettingNotification, changeInfo({{StagePresetKey, preset}}));
    tellDelegate(StagePresetKey, preset);
}
