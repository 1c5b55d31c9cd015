#pragma once
// The stage screen: the on/off switch and the preset picker ("Studio", "Concert Hall",
// "Stadium"). Changes go to the delegate and, as "StageChangeSettingNotification", to
// the player. Picking a preset does not switch the stage effect on.

#include "screens/EffectScreen.h"

#include <QStringList>

class OnOffSwitch;
class PickerView;
class QLabel;

inline const QString StageName = QStringLiteral("ON.STAGE Control");

class StageModeViewController : public EffectScreen {
    Q_OBJECT

public:
    explicit StageModeViewController(QWidget* parent = nullptr);

    void getStageSettingValue(const LiveTableRef& settings) { mSettings = settings; }

    void StageModeOnOffButton();
    void pickerView(int row);  // didSelectRow

    OnOffSwitch* switchCtl = nullptr;
    PickerView* pickerViewControl = nullptr;
    QLabel* MenuTitleLabel = nullptr;
    bool stageEnable() const { return StageEnable; }
    int selectStageMode() const { return SelectStageMode; }

    const QStringList pickerViewArray;

protected:
    void viewDidLoad() override;

private:
    bool StageEnable = false;
    int SelectStageMode = 0;
};
