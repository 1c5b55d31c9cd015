#include "screens/EffectScreens.h"

#include "screens/DStereoViewController.h"
#include "screens/DockingModeViewController.h"
#include "screens/EqualizerViewController.h"
#include "screens/SpeedPitchController.h"
#include "screens/StageModeViewController.h"
#include "screens/VolumeLevelingViewController.h"

namespace {

template <typename Screen>
EffectScreen* make(void (Screen::*give)(const LiveTableRef&), const LiveTableRef& settings)
{
    auto* screen = new Screen;
    (screen->*give)(settings);
    return screen;
}

}  // namespace

EffectScreen* newEffectScreen(const QString& title, const LiveTableRef& settings)
{
    if (title == StereoName)
        return make(&DStereoViewController::getStereoSettingValue, settings);
    if (title == EqualizerName)
        return make(&EqualizerViewController::getEqSettingValue, settings);
    if (title == StageName)
        return make(&StageModeViewController::getStageSettingValue, settings);
    if (title == SpeedPitchName)
        return make(&SpeedPitchController::getSpeedPitchSettingValue, settings);
    if (title == DockingName)
        return make(&DockingModeViewController::getDockingSettingValue, settings);
    if (title == VolumeLevelingName)
        return make(&VolumeLevelingViewController::getLevelingSettingValue, settings);
    return nullptr;
}
