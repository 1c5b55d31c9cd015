#include "screens/DStereoViewController.h"

#include "screens/OnOffSwitch.h"
#include "screens/SettingTable.h"
#include "screens/ValueSlider.h"

#include "library/SettingKeys.h"
#include "player/TavoroViewController.h"

#include <algorithm>

namespace {

constexpr int kMinLevel = 1, kMaxLevel = 11;
constexpr int kDefaultSurround = 11, kDefaultBass = 3;
constexpr int kSectionHeader = 10;

ValueSlider* makeLevelSlider(int tag)
{
    auto* slider = new ValueSlider;
    slider->setFixedWidth(190);
    slider->setLevelRange(kMinLevel, kMaxLevel);
    slider->setProperty("tag", tag);
    return slider;
}

}  // namespace

DStereoViewController::DStereoViewController(QWidget* parent) : EffectScreen(parent)
{
    setObjectName(QStringLiteral("DStereoViewController"));

    switchCtl = addSwitchRow(kSectionHeader, 44, QStringLiteral("3D.STEREO"), [this] { switchAction(); });

    mTable->addSection(kSectionHeader);
    const struct {
        const char* label;
        int tag;
        ValueSlider** slider;
    } levels[] = {{"Surround", kSurroundTag, &surroundSlider}, {"Bass", kBassTag, &bassSlider}};
    for (const auto& level : levels) {
        TableRow* row = mTable->addRow(44);
        row->setText(QString::fromLatin1(level.label));
        *level.slider = makeLevelSlider(level.tag);
        (*level.slider)->setAccessibleName(row->text());
        row->setAccessoryView(*level.slider);
        const int tag = level.tag;
        connect(*level.slider, &ValueSlider::valueChangedByUser, this, [this, tag] { settingSlider(tag); });
    }

    resetRow = addResetRow(kSectionHeader, 44, [this] { defaultbuttonChange(); });

    mTable->addSection(kSectionHeader);
    mTable->addRow(66)->setNote(QStringLiteral("Deliver a natural, realistic 3D.STEREO effect for the listener!"), 18);

    chainFocus();
}

void DStereoViewController::viewDidLoad()
{
    setTitleLabels(StereoName);
    StereoEnable = settingValue(StereoModeChangeKey) == kSwitchOn;
    // A damaged store may hold levels outside 1..11: the nearest ones are shown.
    SurroundSliderValue = std::clamp(settingValue(StereoSurroundKey), kMinLevel, kMaxLevel);
    BassSliderValue = std::clamp(settingValue(StereoBassKey), kMinLevel, kMaxLevel);
    reloadData();
}

void DStereoViewController::reloadData()
{
    switchCtl->setOn(StereoEnable);
    surroundSlider->setLevelValue(SurroundSliderValue);
    bassSlider->setLevelValue(BassSliderValue);
}

void DStereoViewController::switchAction()
{
    StereoEnable = false;
    if (routeState.getRouteState()) {
        reloadData();
        return;
    }
    const bool on = switchCtl->isOn();
    if (on) {
        tellDelegate(StageModeChangeKey, 0);
        tellDelegate(EqualizerOnOff, 0);
        StereoEnable = true;
    }
    const int value = on ? kSwitchOn : kSwitchOff;
    post(StereoChangeSettingNotification, changeInfo({{StereoModeChangeKey, value}}));
    tellDelegate(StereoModeChangeKey, value);
}

void DStereoViewController::settingSlider(int tag)
{
    ValueSlider* slider = tag == kSurroundTag ? surroundSlider : bassSlider;
    const int value = int(slider->levelValue());  // the fraction dropped
    const QString& key = tag == kSurroundTag ? StereoSurroundKey : StereoBassKey;
    // The shown level follows the slider, so that a later reload of the table (the switch
    // refused on line-out) does not move the slider back to the level it had on opening.
    (tag == kSurroundTag ? SurroundSliderValue : BassSliderValue) = value;
    tellDelegate(key, value);
    post(StereoChangeSettingNotification, changeInfo({{key, value}}));
}

void DStereoViewController::defaultbuttonChange()
{
    tellDelegate(StereoSurroundKey, kDefaultSurround);
    SurroundSliderValue = kDefaultSurround;
    tellDelegate(StereoBassKey, kDefaultBass);
    BassSliderValue = kDefaultBass;
    post(StereoChangeSettingNotification,
         changeInfo({{StereoSurroundKey, kDefaultSurround}, {StereoBassKey, kDefaultBass}}));
    reloadData();
}
