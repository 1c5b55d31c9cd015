#include "screens/DockingModeViewController.h"

#include "screens/DStereoViewController.h"
#include "screens/EffectScreens.h"
#include "screens/EqualizerViewController.h"
#include "screens/OnOffSwitch.h"
#include "screens/SettingTable.h"
#include "screens/SpeedPitchController.h"
#include "screens/StageModeViewController.h"

#include "library/SettingKeys.h"
#include "player/TavoroViewController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr int kSectionHeader = 8;
// The design's 17-point notes, in the pixel size at which this font's wider glyphs fit
// the notes' rows.
constexpr int kNotePixels = 15;
enum { kSwitchSection, kStereoSection, kEqSection, kAboutSection, kNoticeSection };

}  // namespace

DockingModeViewController::DockingModeViewController(QWidget* parent) : EffectScreen(parent)
{
    setObjectName(QStringLiteral("DockingModeViewController"));

    switchCtl = addSwitchRow(kSectionHeader, 44, QString(), [this] { DockingModeOnOffButton(); });
    MenuTitleLabel = mTable->rows().first()->textLabel();
    for (int section : {kStereoSection, kEqSection}) {
        mTable->addSection(kSectionHeader);
        TableRow* choice = mTable->addRow(44);
        choice->setCentered(true);
        connect(choice, &TableRow::selected, this, [this, section] { didSelectRow(section); });
    }
    mTable->addSection(kSectionHeader);
    mTable->addRow(66)->setNote(QStringLiteral("Provide a wide sound image field with any dual stereo system in "
                                               "our standard docking system!"),
                                kNotePixels);
    mTable->addSection(kSectionHeader);
    mTable->addRow(88)->setNote(QStringLiteral("Notice!\nSome docking system may not support Docking Mode. "
                                               "Please check it with your docking system manufacturer."),
                                kNotePixels);

    // The effect buttons under the table, each opening its screen over everything.
    auto* buttons = new QWidget(this);
    buttons->setObjectName(QStringLiteral("effectButtons"));
    auto* strip = new QHBoxLayout(buttons);
    strip->setContentsMargins(6, 6, 6, 6);
    const auto addButton = [&](const char* text, void (DockingModeViewController::*action)()) {
        auto* b = new QPushButton(QString::fromLatin1(text), buttons);
        b->setMinimumHeight(36);
        connect(b, &QPushButton::clicked, this, action);
        strip->addWidget(b);
        return b;
    };
    StereoButton = addButton("3D", &DockingModeViewController::gotoStereoView);
    EqButton = addButton("EQ", &DockingModeViewController::gotoEQView);
    StageButton = addButton("Stage", &DockingModeViewController::gotoStageView);
    SPPTButton = addButton("Speed", &DockingModeViewController::gotoSPPTView);
    DefaultButton = addButton("Default", &DockingModeViewController::defaultChange);
    layout()->addWidget(buttons);

    chainFocus({StereoButton, EqButton, StageButton, SPPTButton, DefaultButton});
}

TableRow* DockingModeViewController::row(int section) const
{
    const QList<TableRow*> rows = mTable->rowsOfSection(section);
    return rows.isEmpty() ? nullptr : rows.first();
}

void DockingModeViewController::viewDidLoad()
{
    setTitleLabels(DockingName);
    MenuTitleLabel->setText(DockingName);
    DockingEnable = settingValue(DockingoModeChangeKey) == kSwitchOn;
    switchCtl->setOn(DockingEnable, true);
    StereoButton->setVisible(DockingEnable);
    StageButton->setVisible(DockingEnable);
    reloadData();
}

// Rows 1 and 2 offer the two effects for docks while Docking Mode is on, and are empty
// otherwise.
void DockingModeViewController::reloadData()
{
    const struct {
        int section;
        const char* text;
    } choices[] = {{kStereoSection, "3D Sound"}, {kEqSection, "EQ"}};
    for (const auto& choice : choices) {
        TableRow* r = row(choice.section);
        if (DockingEnable) {
            r->setText(QString::fromLatin1(choice.text));
            r->setSelectable(true);
        } else {
            r->setBlank();
        }
    }
}

void DockingModeViewController::DockingModeOnOffButton()
{
    const bool on = switchCtl->isOn();
    StereoButton->setVisible(on);
    DockingEnable = on;
    const int value = on ? kSwitchOn : kSwitchOff;
    post(DockingChangeSettingNotification, changeInfo({{DockingoModeChangeKey, value}}));
    tellDelegate(DockingoModeChangeKey, value);
    reloadData();
}

void DockingModeViewController::didSelectRow(int section)
{
    if (!DockingEnable)
        return;
    NavigationController* stack = navigationController();
    if (!stack)
        return;
    const QString title = section == kStereoSection ? StereoName : section == kEqSection ? EqualizerName : QString();
    if (EffectScreen* screen = newEffectScreen(title, DockingValueArray)) {
        screen->setTitle(title);
        stack->pushViewController(screen, true);
    }
}

void DockingModeViewController::present(const QString& title)
{
    NavigationController* stack = navigationController();
    if (!stack)
        return;
    EffectScreen* screen = newEffectScreen(title, DockingValueArray);
    screen->setTitle(title);
    stack->presentModalViewController(screen, true);
}

void DockingModeViewController::gotoStereoView() { present(StereoName); }
void DockingModeViewController::gotoEQView() { present(EqualizerName); }
void DockingModeViewController::gotoStageView() { present(StageName); }
void DockingModeViewController::gotoSPPTView() { present(SpeedPitchName); }
