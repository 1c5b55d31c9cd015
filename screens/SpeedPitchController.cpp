#include "screens/SpeedPitchController.h"

#include "screens/ButtonImages.h"
#include "screens/OnOffSwitch.h"
#include "screens/SettingTable.h"

#include "library/SettingKeys.h"
#include "player/TavoroViewController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace {

constexpr int kMinSpeed = 5, kMaxSpeed = 20, kNormalSpeed = 10;
constexpr int kMinPitch = 1, kMaxPitch = 13, kNormalPitch = 7;
constexpr int kSectionHeader = 10;

}  // namespace

SpeedPitchController::SpeedPitchController(QWidget* parent) : EffectScreen(parent)
{
    setObjectName(QStringLiteral("SpeedPitchController"));

    switchCtl = addSwitchRow(kSectionHeader, 44, QStringLiteral("Speed/Pitch"), [this] { switchAction(); });

    mTable->addSection(kSectionHeader);
    TableRow* speedRow = mTable->addRow(44);
    speedRow->setText(QStringLiteral("Speed"));
    speedRow->setAccessoryView(makeControlCell(speedRow, kSpeedMinus, kSpeedPlus, &speedLabel));
    TableRow* pitchRow = mTable->addRow(44);
    pitchRow->setText(QStringLiteral("Pitch"));
    pitchRow->setAccessoryView(makeControlCell(pitchRow, kPitchMinus, kPitchPlus, &pitchLabel));

    resetRow = addResetRow(kSectionHeader, 44, [this] { defaultbuttonChange(); });

    mTable->addSection(kSectionHeader);
    mTable->addRow(66)->setNote(QStringLiteral("Speed Control\n Control playing speed w/o changing the tone"), 18);
    mTable->addSection(kSectionHeader);
    mTable->addRow(66)->setNote(QStringLiteral("Pitch Control\n Control pitch w/o changing the play speed"), 18);

    // The cell's buttons follow the switch in Tab order, row by row.
    chainFocus({mButtons[0], mButtons[1], mButtons[2], mButtons[3], resetRow});
}

// The "SPControlCell" layout: minus, the value, plus.
QWidget* SpeedPitchController::makeControlCell(TableRow* row, int minusTag, int plusTag, QLabel** valueLabel)
{
    auto* cell = new QWidget(row);
    auto* layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    const auto addButton = [&](int tag, const QString& normal, const QString& pressed, const QString& name) {
        auto* b = new QPushButton(cell);
        b->setFixedSize(40, 31);
        b->setProperty("tag", tag);
        b->setAccessibleName(row->text() + name);
        setButtonImages(b, normal, pressed);
        // clicked: released inside the button.
        connect(b, &QPushButton::clicked, this, [this, tag] { controlButton(tag); });
        mButtons[tag - 1] = b;
        layout->addWidget(b);
    };
    addButton(minusTag, QStringLiteral("setting_minus.png"), QStringLiteral("setting_minus_select.png"),
              QStringLiteral(" minus"));
    auto* value = new QLabel(cell);
    value->setFixedWidth(44);
    value->setAlignment(Qt::AlignCenter);
    QFont f = value->font();
    f.setPixelSize(18);
    f.setBold(true);
    value->setFont(f);
    layout->addWidget(value);
    *valueLabel = value;
    addButton(plusTag, QStringLiteral("setting_plus.png"), QStringLiteral("setting_plus_select.png"),
              QStringLiteral(" plus"));
    return cell;
}

QString SpeedPitchController::speedText(int speed)
{
    return QString::asprintf("%d.%d", speed / 10, speed % 10);
}

QString SpeedPitchController::pitchText(int pitch)
{
    return QString::asprintf("%d", pitch - 7);
}

void SpeedPitchController::viewDidLoad()
{
    setTitleLabels(SpeedPitchName);
    SpeedEnable = settingValue(SpeedPitchOnOffKey) == kSwitchOn;
    // A damaged store may hold values outside the ranges: the nearest valid ones are shown.
    SPValue = storedSpeed();
    PTValue = storedPitch();
    reloadData();
}

// The stored values brought into range, so that a damaged store shows and posts the
// nearest valid value and any press mends it.
int SpeedPitchController::storedSpeed() const
{
    return std::clamp(settingValue(SpeedPitchSpeedKey), kMinSpeed, kMaxSpeed);
}

int SpeedPitchController::storedPitch() const
{
    return std::clamp(settingValue(SpeedPitchPTKey), kMinPitch, kMaxPitch);
}

void SpeedPitchController::reloadData()
{
    switchCtl->setOn(SpeedEnable);
    speedLabel->setText(speedText(SPValue));
    pitchLabel->setText(pitchText(PTValue));
}

void SpeedPitchController::switchAction()
{
    QVariantMap info;
    const bool on = switchCtl->isOn();
    SpeedEnable = on;
    if (on)
        info.insert(SpeedPitchSpeedKey, storedSpeed());
    info.insert(SpeedPitchOnOffKey, on ? kSwitchOn : kSwitchOff);
    post(SpeedPitchSettingNotification, info);
}

void SpeedPitchController::controlButton(int tag)
{
    QVariantMap info;
    if (tag == kSpeedMinus || tag == kSpeedPlus) {
        const int v = std::clamp(storedSpeed() + (tag == kSpeedPlus ? 1 : -1), kMinSpeed, kMaxSpeed);
        info.insert(SpeedPitchSpeedKey, v);
        info.insert(SpeedPitchSPKey, 10 * v);
        SPValue = v;
    } else if (tag == kPitchMinus || tag == kPitchPlus) {
        const int p = std::clamp(storedPitch() + (tag == kPitchPlus ? 1 : -1), kMinPitch, kMaxPitch);
        info.insert(SpeedPitchPTKey, p);
        PTValue = p;
    } else {
        return;
    }
    post(SpeedPitchSettingNotification, info);
    reloadData();
}

void SpeedPitchController::defaultbuttonChange()
{
    post(SpeedPitchSettingNotification, changeInfo({{SpeedPitchSpeedKey, kNormalSpeed}, {SpeedPitchPTKey, kNormalPitch}}));
    SPValue = kNormalSpeed;
    PTValue = kNormalPitch;
    reloadData();
}
