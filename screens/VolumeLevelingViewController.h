#pragma once
// The Volume Leveling screen: whether songs play at the loudness their ReplayGain (or Opus
// R128) tags ask for, by track or by album ("VolumeLevelingKey" 1 off, 2 track, 3 album),
// and whether a song's tagged peak keeps its gain from clipping ("PreventClippingKey" 2 on,
// 1 off). Changes go to the delegate and, as "VolumeLevelingSettingNotification", to the
// player, which applies them to the song playing.

#include "screens/EffectScreen.h"

#include <array>

class OnOffSwitch;
class TableRow;

inline const QString VolumeLevelingName = QStringLiteral("Volume Leveling");

class VolumeLevelingViewController : public EffectScreen {
    Q_OBJECT

public:
    explicit VolumeLevelingViewController(QWidget* parent = nullptr);

    void getLevelingSettingValue(const LiveTableRef& settings) { mSettings = settings; }

    // Chooses a mode (1 off, 2 track, 3 album), as a tap on its row does.
    void chooseMode(int mode);
    void preventClippingChanged();

    TableRow* modeRow(int mode) const { return mModeRows[size_t(mode - 1)]; }
    int mode() const { return mMode; }
    OnOffSwitch* clippingSwitch = nullptr;

protected:
    void viewDidLoad() override;

private:
    void showMode();

    std::array<TableRow*, 3> mModeRows{};
    int mMode = 1;
};
