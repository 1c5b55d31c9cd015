#pragma once
// What an effect screen tells its opener: one key of the live settings table and its new
// integer value. The settings menu is the delegate of every screen it opens; a screen
// opened from the docking screen has none and reaches the player through its
// notification only.

#include <QString>

class SettingChangeDelegate {
public:
    virtual void setSettingChangeValue(const QString& key, int value) = 0;

protected:
    ~SettingChangeDelegate() = default;
};

using EqualizerViewControllerDelegate = SettingChangeDelegate;
using SpeedPitchControllerDelegate = SettingChangeDelegate;
using DStereoViewControllerDelegate = SettingChangeDelegate;
using StageModeViewControllerDelegate = SettingChangeDelegate;
using DockingModeViewControllerDelegate = SettingChangeDelegate;
