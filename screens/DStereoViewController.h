#pragma once
// The 3D stereo screen: the on/off switch, the surround and bass sliders (levels 1 to
// 11) and "Reset" (surround 11, bass 3). Changes go to the delegate and, as
// "StereoChangeSettingNotification", to the player. While the device plays through a
// dock's line output the switch cannot turn 3D stereo on or off here.

#include "screens/EffectScreen.h"

#include "engine/RouteChange.h"

class OnOffSwitch;
class TableRow;
class ValueSlider;

inline const QString StereoName = QStringLiteral("3D.STEREO Control");

class DStereoViewController : public EffectScreen {
    Q_OBJECT

public:
    enum { kSurroundTag = 0, kBassTag = 1 };

    explicit DStereoViewController(QWidget* parent = nullptr);

    void getStereoSettingValue(const LiveTableRef& settings) { mSettings = settings; }

    void switchAction();
    void settingSlider(int tag);
    void defaultbuttonChange();

    OnOffSwitch* switchCtl = nullptr;
    ValueSlider* surroundSlider = nullptr;
    ValueSlider* bassSlider = nullptr;
    TableRow* resetRow = nullptr;
    bool stereoEnable() const { return StereoEnable; }

protected:
    void viewDidLoad() override;

private:
    void reloadData();

    RouteChange routeState;
    bool StereoEnable = false;
    int SurroundSliderValue = 11;
    int BassSliderValue = 3;
};
