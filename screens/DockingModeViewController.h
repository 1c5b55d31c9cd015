#pragma once
// The Docking Mode screen: whether the effects run while the device plays through a
// dock's line output ("DockingoModeChangeKey" 2 on, 1 off). While Docking Mode is on the
// rows "3D Sound" and "EQ" lead to the 3D stereo and equalizer screens (pushed, without
// a delegate); the buttons below the table open the effect screens modally. Changes go
// to the delegate and, as "DockingChangeSettingNotification", to the player.

#include "screens/EffectScreen.h"

class OnOffSwitch;
class QLabel;
class QPushButton;
class TableRow;

inline const QString DockingName = QStringLiteral("Docking Mode");

class DockingModeViewController : public EffectScreen {
    Q_OBJECT

public:
    explicit DockingModeViewController(QWidget* parent = nullptr);

    void getDockingSettingValue(const LiveTableRef& settings) { DockingValueArray = settings; }

    void DockingModeOnOffButton();
    void didSelectRow(int section);
    void gotoStereoView();
    void gotoEQView();
    void gotoStageView();
    void gotoSPPTView();
    void defaultChange() {}

    OnOffSwitch* switchCtl = nullptr;
    QLabel* MenuTitleLabel = nullptr;
    TableRow* row(int section) const;
    bool dockingEnable() const { return DockingEnable; }

    QPushButton* StereoButton = nullptr;
    QPushButton* StageButton = nullptr;
    QPushButton* EqButton = nullptr;
    QPushButton* SPPTButton = nullptr;
    QPushButton* DefaultButton = nullptr;

protected:
    void viewDidLoad() override;

private:
    void reloadData();
    void present(const QString& title);

    LiveTableRef& DockingValueArray = mSettings;
    bool DockingEnable = false;
};
