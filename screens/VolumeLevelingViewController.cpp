#include "screens/VolumeLevelingViewController.h"

#include "screens/OnOffSwitch.h"
#include "screens/SettingTable.h"

#include "library/SettingKeys.h"
#include "player/TavoroViewController.h"

#include <QLabel>

namespace {

constexpr int kSectionHeader = 8;
constexpr int kRowHeight = 44;
constexpr int kNotePixels = 15;

}  // namespace

VolumeLevelingViewController::VolumeLevelingViewController(QWidget* parent) : EffectScreen(parent)
{
    setObjectName(QStringLiteral("VolumeLevelingViewController"));

    mTable->addSection(kSectionHeader);
    const char* const names[] = {"Off", "Track", "Album"};
    for (int mode = 1; mode <= 3; ++mode) {
        TableRow* row = mTable->addRow(kRowHeight);
        row->setText(QString::fromLatin1(names[mode - 1]));
        row->setSelectable(true);
        auto* check = new QLabel(QStringLiteral("\u2713"));
        check->setObjectName(QStringLiteral("checkMark"));
        row->setAccessoryView(check);
        connect(row, &TableRow::selected, this, [this, mode] { chooseMode(mode); });
        mModeRows[size_t(mode - 1)] = row;
    }
    clippingSwitch = addSwitchRow(kSectionHeader, kRowHeight, QStringLiteral("Prevent clipping"),
                                  [this] { preventClippingChanged(); });
    mTable->addSection(kSectionHeader);
    mTable->addRow(88)->setNote(QStringLiteral("Plays songs at even loudness from the ReplayGain tags of their "
                                               "files. Songs without them play unchanged."),
                                kNotePixels);
    chainFocus();
}

void VolumeLevelingViewController::viewDidLoad()
{
    setTitleLabels(VolumeLevelingName);
    const int stored = settingValue(VolumeLevelingKey);
    mMode = stored >= 1 && stored <= 3 ? stored : 1;
    clippingSwitch->setOn(settingValue(PreventClippingKey) != kSwitchOff);
    showMode();
}

void VolumeLevelingViewController::showMode()
{
    for (int mode = 1; mode <= 3; ++mode)
        modeRow(mode)->accessoryView()->setVisible(mode == mMode);
}

void VolumeLevelingViewController::chooseMode(int mode)
{
    if (mode < 1 || mode > 3)
        return;
    mMode = mode;
    showMode();
    post(VolumeLevelingSettingNotification, changeInfo({{VolumeLevelingKey, mode}}));
    tellDelegate(VolumeLevelingKey, mode);
}

void VolumeLevelingViewController::preventClippingChanged()
{
    const int value = clippingSwitch->isOn() ? kSwitchOn : kSwitchOff;
    post(VolumeLevelingSettingNotification, changeInfo({{PreventClippingKey, value}}));
    tellDelegate(PreventClippingKey, value);
}
