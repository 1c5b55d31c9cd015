#include "screens/EqualizerViewController.h"

#include "screens/ActionSheet.h"
#include "screens/OnOffSwitch.h"
#include "screens/PickerView.h"
#include "screens/SettingTable.h"
#include "screens/ValueSlider.h"

#include "library/SettingKeys.h"
#include "player/TavoroViewController.h"
#include "qbs/QBS_MEQ_Tables.h"

#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>

namespace {

constexpr int kMinBand = 1;
constexpr int kMaxBand = 25;
constexpr int kFlatBand = 13;
constexpr int kSectionHeader = 22;
// Row heights that fit the four sections on the phone's screen without scrolling.
constexpr int kRowHeight = 40;
constexpr int kBandRowHeight = 32;

const QString* const kBandKeys[EqualizerViewController::kBands] = {
    &EqUserSetting200Key, &EqUserSetting400Key, &EqUserSetting800Key, &EqUserSetting1600Key,
    &EqUserSetting3200Key, &EqUserSetting6400Key, &EqUserSetting12800Key,
};

const char* const kBandLabels[EqualizerViewController::kBands] = {"100", "160", "400", "1K", "2.5K", "6.4K", "10K"};

// The scale over the band sliders: 225 points wide, 14 from the right edge like the
// sliders under it, however wide the screen (on a 320-point screen it starts at 62).
class HeadView final : public QWidget {
protected:
    void resizeEvent(QResizeEvent*) override
    {
        layout()->setContentsMargins(std::max(62, width() - 14 - 225), 0, 14, 0);
    }
};

QWidget* makeHeadView()
{
    auto* head = new HeadView;
    auto* layout = new QHBoxLayout(head);
    layout->setContentsMargins(62, 0, 14, 0);
    for (const char* text : {"-12dB", "0dB", "+12dB"}) {
        auto* label = new QLabel(QString::fromLatin1(text), head);
        QFont f = label->font();
        f.setPixelSize(11);
        label->setFont(f);
        layout->addWidget(label, 1, text[0] == '0' ? Qt::AlignCenter : text[0] == '+' ? Qt::AlignRight : Qt::AlignLeft);
    }
    return head;
}

}  // namespace

EqualizerViewController::EqualizerViewController(QWidget* parent)
    : EffectScreen(parent),
      pickerViewArray{QStringLiteral("My Setting"), QStringLiteral("Rock"),      QStringLiteral("Jazz"),
                      QStringLiteral("Classical"),  QStringLiteral("Pop"),       QStringLiteral("R&B"),
                      QStringLiteral("Live"),       QStringLiteral("Full Bass"), QStringLiteral("Full Treble")}
{
    setObjectName(QStringLiteral("EqualizerViewController"));

    switchCtl = addSwitchRow(kSectionHeader, kRowHeight, EqualizerName, [this] { switchAction(); });

    mTable->addSection(kSectionHeader);
    presetRow = mTable->addRow(kRowHeight);
    presetRow->setText(QStringLiteral("Equalizer"));
    presetRow->setDisclosureIndicator(true);
    presetRow->setSelectable(true);
    connect(presetRow, &TableRow::selected, this, [this] { openPresetPicker(); });

    headView = makeHeadView();
    mTable->addSection(kSectionHeader, headView);
    for (int band = 0; band < kBands; ++band) {
        TableRow* row = mTable->addRow(kBandRowHeight);
        row->setText(QString::fromLatin1(kBandLabels[band]));
        auto* slider = new ValueSlider;
        slider->setFixedWidth(230);
        slider->setLevelRange(kMinBand, kMaxBand);
        slider->setProperty("tag", band);
        slider->setAccessibleName(row->text());
        row->setAccessoryView(slider);
        sliders[band] = slider;
        connect(slider, &ValueSlider::valueChangedByUser, this, [this, band] { sliderAction(band); });
    }

    resetRow = addResetRow(kSectionHeader, kRowHeight, [this] { defaultbuttonChange(); });

    chainFocus();
}

void EqualizerViewController::viewDidLoad()
{
    setTitleLabels(EqualizerName);
    mShowMySetting = false;
    mOn = settingValue(EqualizerOnOff) == kSwitchOn;
    // A damaged store may hold a preset outside 1..9: the nearest preset is shown.
    m = std::clamp(settingValue(EqModeChangeKey), 1, kPresets);
    showSlidersForPreset(m - 1);
}

int EqualizerViewController::storedBandValue(int band) const
{
    return std::clamp(settingValue(*kBandKeys[band]), kMinBand, kMaxBand);
}

void EqualizerViewController::showSlidersForPreset(int p)
{
    for (int band = 0; band < kBands; ++band)
        mSliderValues[band] = p != 0 ? QBS_MEQ_PRESET[p][band] : storedBandValue(band);
    reloadData();
}

void EqualizerViewController::reloadData()
{
    switchCtl->setOn(mOn);
    for (int band = 0; band < kBands; ++band)
        sliders[band]->setLevelValue(mSliderValues[band]);
    if (mShowMySetting) {
        presetRow->setDetailText(pickerViewArray[0]);
        mShowMySetting = false;
    } else {
        presetRow->setDetailText(pickerViewArray[m - 1]);
    }
}

void EqualizerViewController::switchAction()
{
    const bool on = switchCtl->isOn();
    mOn = false;
    if (on) {
        tellDelegate(StageModeChangeKey, 0);
        tellDelegate(StereoModeChangeKey, 0);
        mOn = true;
    }
    const int value = on ? kSwitchOn : kSwitchOff;
    post(EqualizerSettingNotification, changeInfo({{EqualizerOnOff, value}}));
    tellDelegate(EqualizerOnOff, value);
}

void EqualizerViewController::openPresetPicker()
{
    if (mSheet)
        return;
    mPicker = new PickerView;
    mPicker->setObjectName(QStringLiteral("presetPicker"));
    mPicker->setTitles(pickerViewArray);
    mPicker->selectRow(m - 1, false);
    connect(mPicker, &PickerView::didSelectRow, this, [this](int row) { pickerView(row); });
    mSheet = new ActionSheet(QStringLiteral("Equalizer"), mPicker);
    connect(mSheet, &ActionSheet::done, this, [this] { doneButton(); });
    // Leaving the sheet without "Done" forgets the row picked on it.
    connect(mSheet, &ActionSheet::cancelled, this, [this, before = m] { m = before; });
    connect(mSheet, &QObject::destroyed, this, [this] {
        if (isVisible())
            presetRow->setFocus();
    });
    mSheet->showInView(this);
}

void EqualizerViewController::pickerView(int row)
{
    m = row + 1;
}

void EqualizerViewController::doneButton()
{
    QVariantMap info = changeInfo({{EqModeChangeKey, m}});
    if (m == 1) {
        for (int band = 0; band < kBands; ++band) {
            const int value = storedBandValue(band);
            info.insert(*kBandKeys[band], value);
            tellDelegate(*kBandKeys[band], value);
        }
    }
    post(EqualizerSettingNotification, info);
    showSlidersForPreset(m - 1);
}

void EqualizerViewController::sliderAction(int band)
{
    const int v = int(sliders[band]->levelValue());  // the fraction dropped
    tellDelegate(EqModeChangeKey, 1);
    mSliderValues[band] = v;
    tellDelegate(*kBandKeys[band], v);
    post(EqualizerSettingNotification, changeInfo({{*kBandKeys[band], v}}));
    mShowMySetting = true;
}

void EqualizerViewController::defaultbuttonChange()
{
    mShowMySetting = true;
    m = 1;
    mSliderValues.fill(kFlatBand);
    reloadData();
    QVariantMap info = changeInfo({{EqModeChangeKey, 1}});
    tellDelegate(EqModeChangeKey, 1);
    for (const QString* key : kBandKeys) {
        tellDelegate(*key, kFlatBand);
        info.insert(*key, kFlatBand);
    }
    post(EqualizerSettingNotification, info);
}
