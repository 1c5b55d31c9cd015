// The effect settings bridge: change notifications from the effect screens reach the
// engine and the live settings table; the stored settings are restored at start and saved
// when the application leaves the foreground; a line-out dock switches effects off.

#include "player/TavoroViewController.h"

#include "player/PlayerImages.h"
#include "library/VolumeLeveling.h"

#include "library/DTMusicModelController.h"
#include "platform/session/AudioSession.h"

#include <QPushButton>

#include <optional>
#include <string>

namespace {

// The integer of a change entry; missing or 0 both mean "no change".
std::optional<int> changed(const Notification& n, const QString& key)
{
    const QVariant v = n.userInfo.value(key);
    if (!v.isValid())
        return std::nullopt;
    const int value = v.toInt();
    return value != 0 ? std::optional<int>(value) : std::nullopt;
}

// The current route name, or nothing when it cannot be read.
std::optional<std::string> currentRoute()
{
    std::optional<std::string> route;
    if (AudioSessionCopyAudioRoute(&route) != noErr)
        return std::nullopt;
    if (route && route->empty())
        return std::nullopt;
    return route;
}

constexpr int kOn = 2;
constexpr int kOff = 1;

const QString* const kBandKeys[7] = {
    &EqUserSetting200Key, &EqUserSetting400Key, &EqUserSetting800Key, &EqUserSetting1600Key,
    &EqUserSetting3200Key, &EqUserSetting6400Key, &EqUserSetting12800Key,
};

} // namespace

void TavoroViewController::setSettingValueList(const QString& key, int value)
{
    mSettingValueArray->setIntegerValue(key, value);
    emit settingValueChanged(key, value);
}

int TavoroViewController::settingValue(const QString& key) const
{
    return mSettingValueArray->integerValue(key);
}

void TavoroViewController::switchEffectOff(int mode, const QString& key)
{
    mGraphController->setModeChange(mode, 0);
    setSettingValueList(key, kOff);
}

void TavoroViewController::InitSettingValue()
{
    mSettingValueArray = LiveTable::defaultSettingTable();
    mPlayControlArray = LiveTable::defaultPlayControlTable();
}

void TavoroViewController::EqEffectChangeSetting(const Notification& n)
{
    PlayerEngine& engine = *mGraphController;
    if (auto v = changed(n, EqModeChangeKey)) {
        engine.setEQMode(*v - 1);
        setSettingValueList(EqModeChangeKey, *v);
    }
    for (int band = 0; band < 7; ++band) {
        if (auto v = changed(n, *kBandKeys[band])) {
            engine.setUserEQBand(band, *v - 1);
            setSettingValueList(*kBandKeys[band], *v);
        }
    }
    if (auto v = changed(n, EqualizerOnOff)) {
        if (*v == kOn) {
            engine.setModeChange(EffectModeEqualizer, 1);
            setSettingValueList(StereoModeChangeKey, kOff);
            setSettingValueList(StageModeChangeKey, kOff);
            setSettingValueList(SpeedPitchOnOffKey, kOff);
            QuickStereoButtonImage(false);
        } else {
            engine.setModeChange(EffectModeEqualizer, 0);
        }
        setSettingValueList(EqualizerOnOff, *v);
    }
}

void TavoroViewController::StereoChangeSetting(const Notification& n)
{
    PlayerEngine& engine = *mGraphController;
    if (auto v = changed(n, StereoModeChangeKey)) {
        if (*v == kOn) {
            engine.setModeChange(EffectModeStereo3D, 1);
            setSettingValueList(EqualizerOnOff, kOff);
            setSettingValueList(StageModeChangeKey, kOff);
            setSettingValueList(SpeedPitchOnOffKey, kOff);
        } else {
            engine.setModeChange(EffectModeStereo3D, 0);
        }
        QuickStereoButtonImage(*v == kOn);
        setSettingValueList(StereoModeChangeKey, *v);
    }
    if (auto v = changed(n, StereoSurroundKey)) {
        engine.set3DStereoValue(0, *v - 1);
        setSettingValueList(StereoSurroundKey, *v);
    }
    if (auto v = changed(n, StereoBassKey)) {
        engine.set3DStereoValue(1, *v - 1);
        setSettingValueList(StereoBassKey, *v);
    }
}

void TavoroViewController::stageChangeSetting(const Notification& n)
{
    PlayerEngine& engine = *mGraphController;
    if (auto v = changed(n, StageModeChangeKey)) {
        if (*v != kOn) {
            engine.setModeChange(EffectModeStage, 0);
        } else {
            if (!HwDockingState)
                engine.setModeChange(EffectModeStage, 1);
            setSettingValueList(EqualizerOnOff, kOff);
            setSettingValueList(StereoModeChangeKey, kOff);
            setSettingValueList(SpeedPitchOnOffKey, kOff);
            QuickStereoButtonImage(false);
        }
        setSettingValueList(StageModeChangeKey, *v);
        return;  // a preset in the same notification is not read
    }
    if (auto p = changed(n, StagePresetKey)) {
        if (!HwDockingState)
            engine.setStageMode(*p - 1);
        setSettingValueList(StagePresetKey, *p);
    }
}

void TavoroViewController::speedPitchSetting(const Notification& n)
{
    PlayerEngine& engine = *mGraphController;
    const bool docked = HwDockingState != 0;
    if (auto v = changed(n, SpeedPitchOnOffKey)) {
        if (!docked) {
            if (*v != kOn) {
                switchEffectOff(EffectModeSpeedPitch, SpeedPitchOnOffKey);
            } else {
                engine.setModeChange(EffectModeSpeedPitch, 1);
                setSettingValueList(SpeedPitchOnOffKey, kOn);
                setSettingValueList(StereoModeChangeKey, kOff);
                setSettingValueList(StageModeChangeKey, kOff);
                setSettingValueList(EqualizerOnOff, kOff);
            }
        }
        setSettingValueList(SpeedPitchOnOffKey, *v);
    }
    const struct {
        const QString& key;
        int selector;
    } values[] = {{SpeedPitchSpeedKey, 1}, {SpeedPitchPTKey, 2}, {SpeedPitchSPKey, 3}};
    for (const auto& entry : values) {
        if (auto v = changed(n, entry.key)) {
            if (!docked)
                engine.setSpeedPitch(entry.selector, *v);
            setSettingValueList(entry.key, *v);
        }
    }
}

void TavoroViewController::DockingModeSetting(const Notification& n)
{
    PlayerEngine& engine = *mGraphController;
    auto v = changed(n, DockingoModeChangeKey);
    if (!v)
        return;
    if (*v == kOn) {
        engine.setModeChange(EffectModeDocking, 1);
    } else {
        engine.setModeChange(EffectModeDocking, 0);
        switchEffectOff(EffectModeStereo3D, StereoModeChangeKey);
        QuickStereoButtonImage(false);
        switchEffectOff(EffectModeEqualizer, EqualizerOnOff);
        switchEffectOff(EffectModeStage, StageModeChangeKey);
    }
    setSettingValueList(DockingoModeChangeKey, *v);
}

int32_t TavoroViewController::levelingGainOf(const MPMediaItem& item) const
{
    return levelingGain(item.properties().replayGain, settingValue(VolumeLevelingKey),
                        settingValue(PreventClippingKey) == kOn);
}

void TavoroViewController::volumeLevelingSetting(const Notification& n)
{
    const auto mode = changed(n, VolumeLevelingKey);
    const auto preventClipping = changed(n, PreventClippingKey);
    if (mode)
        setSettingValueList(VolumeLevelingKey, *mode);
    if (preventClipping)
        setSettingValueList(PreventClippingKey, *preventClipping);
    // The song playing changes at once; the one prepared to follow it is prepared again
    // with its new gain, and later ones take the gain when they load.
    if ((mode || preventClipping) && !song.isNull()) {
        mGraphController->setPlaybackGain(levelingGainOf(song));
        if (mPreparedRow >= 0)
            prepareNextSong();
    }
}

void TavoroViewController::QuickStereoMenu()
{
    PlayerEngine& engine = *mGraphController;
    const bool docked = CheckDockingState();
    if (docked && settingValue(DockingoModeChangeKey) != kOn) {
        switchEffectOff(EffectModeStereo3D, StereoModeChangeKey);
        switchEffectOff(EffectModeEqualizer, EqualizerOnOff);
        switchEffectOff(EffectModeStage, StageModeChangeKey);
        QuickStereoButtonImage(false);
        return;
    }
    if (settingValue(StereoModeChangeKey) != kOn) {
        if (docked) {
            engine.setModeChange(EffectModeStereo3D, 1);
            setSettingValueList(StereoModeChangeKey, kOn);
            switchEffectOff(EffectModeEqualizer, EqualizerOnOff);
            switchEffectOff(EffectModeStage, StageModeChangeKey);
        } else {
            setSettingValueList(StereoModeChangeKey, kOn);
            switchEffectOff(EffectModeEqualizer, EqualizerOnOff);
            switchEffectOff(EffectModeStage, StageModeChangeKey);
            engine.setModeChange(EffectModeStereo3D, 1);
        }
        QuickStereoButtonImage(true);
        return;
    }
    engine.setModeChange(EffectModeStereo3D, 0);
    QuickStereoButtonImage(false);
    setSettingValueList(StereoModeChangeKey, kOff);
}

void TavoroViewController::QuickStereoButtonImage(bool on)
{
    const auto route = currentRoute();
    if (!route)
        return;
    const bool speakerOrHeadphone = *route == "Speaker" || *route == "Headphone";
    if (!speakerOrHeadphone && settingValue(DockingoModeChangeKey) != kOn)
        setButtonImage(QuickStereoButton, QStringLiteral("3dstereo_select.png"));
    else
        setButtonImage(QuickStereoButton, on ? QStringLiteral("3dstereo.png") : QStringLiteral("3dstereo_select.png"));
}

bool TavoroViewController::CheckDockingState()
{
    const auto route = currentRoute();
    if (!route)
        return false;
    if (*route == "LineOut") {
        volumeView->setHidden(true);
        return true;
    }
    mGraphController->setModeChange(EffectModeDocking, 1);
    volumeView->setHidden(false);
    return false;
}

void TavoroViewController::DockingCheck(int state)
{
    PlayerEngine& engine = *mGraphController;
    if (state == 2) {
        engine.setModeChange(EffectModeDocking, 1);
        volumeView->setHidden(true);
        HwDockingState = 1;
        setSettingValueList(DockingoModeChangeKey, kOn);
        switchEffectOff(EffectModeEqualizer, EqualizerOnOff);
        switchEffectOff(EffectModeStage, StageModeChangeKey);
        switchEffectOff(EffectModeSpeedPitch, SpeedPitchOnOffKey);
    } else {
        HwDockingState = 0;
        volumeView->setHidden(false);
        setSettingValueList(DockingoModeChangeKey, kOff);
    }
}

void TavoroViewController::loaddokingCheck()
{
    HwDockingState = CheckDockingState() ? 1 : 0;
    if (HwDockingState) {
        mGraphController->setModeChange(EffectModeDocking, 1);
        setSettingValueList(DockingoModeChangeKey, kOn);
    }
    volumeView->setHidden(HwDockingState != 0);
}

void TavoroViewController::loadSettingValueAndSetting()
{
    PlayerEngine& engine = *mGraphController;
    setButtonImage(QuickStereoButton, QStringLiteral("3dstereo_select.png"));
    const DTEntityList<Setting> rows = musicModelController ? musicModelController->allSetting() : std::nullopt;
    if (rows && !rows->empty() && rows->front()) {
        const Setting& row = *rows->front();
        const auto value = [&](const QString& attribute) { return row.integerForAttribute(attribute).value_or(0); };

        const int eq = value(QStringLiteral("EqEnable"));
        setSettingValueList(EqualizerOnOff, eq);
        if (eq == kOn)
            engine.setModeChange(EffectModeEqualizer, 1);

        const int preset = value(QStringLiteral("EqModeChange"));
        setSettingValueList(EqModeChangeKey, preset);
        engine.setEQMode(preset - 1);
        if (preset == 1) {
            static const char* const attributes[7] = {"Eq200db", "Eq400db", "Eq800db", "Eq1600db",
                                                      "Eq3200db", "Eq6400db", "Eq12800db"};
            for (int band = 0; band < 7; ++band) {
                const int level = value(QLatin1String(attributes[band]));
                setSettingValueList(*kBandKeys[band], level);
                engine.setUserEQBand(band, level - 1);
            }
        }

        const int stereo = value(QStringLiteral("StereoEnable"));
        setSettingValueList(StereoModeChangeKey, stereo);
        if (stereo == kOn) {
            engine.setModeChange(EffectModeStereo3D, 1);
            setButtonImage(QuickStereoButton, QStringLiteral("3dstereo.png"));
        } else {
            engine.setModeChange(EffectModeStereo3D, 0);
        }
        const int surround = value(QStringLiteral("StereoSurround"));
        setSettingValueList(StereoSurroundKey, surround);
        engine.set3DStereoValue(0, surround - 1);
        const int bass = value(QStringLiteral("StereoBass"));
        setSettingValueList(StereoBassKey, bass);
        engine.set3DStereoValue(1, bass - 1);

        const int stage = value(QStringLiteral("StageEnable"));
        setSettingValueList(StageModeChangeKey, stage);
        if (stage == kOn)
            engine.setModeChange(EffectModeStage, 1);

        setSettingValueList(DockingoModeChangeKey, value(QStringLiteral("DockingEnable")));
        engine.setModeChange(EffectModeDocking, 1);

        const int speed = value(QStringLiteral("SpeedEnable"));
        setSettingValueList(SpeedPitchOnOffKey, speed);
        if (speed == kOn) {
            engine.setModeChange(EffectModeSpeedPitch, 1);
            const int speedValue = value(QStringLiteral("SpeedValue"));
            setSettingValueList(SpeedPitchSpeedKey, speedValue);
            engine.setSpeedPitch(1, speedValue);
            const int pitchValue = value(QStringLiteral("PTValue"));
            setSettingValueList(SpeedPitchPTKey, pitchValue);
            engine.setSpeedPitch(2, pitchValue);
        }

        // Volume leveling takes effect at the next song load; an unknown value keeps the
        // default.
        const int leveling = value(QStringLiteral("LevelingMode"));
        if (leveling >= kLevelingOff && leveling <= kLevelingAlbum)
            setSettingValueList(VolumeLevelingKey, leveling);
        const int preventClipping = value(QStringLiteral("PreventClipping"));
        if (preventClipping == kOn || preventClipping == kOff)
            setSettingValueList(PreventClippingKey, preventClipping);
        // The window's size; the application keeps it within the screen.
        setSettingValueList(WindowWidthKey, value(QStringLiteral("WindowWidth")));
        setSettingValueList(WindowHeightKey, value(QStringLiteral("WindowHeight")));
    }
    loadPlayControlAndSetting();
}

void TavoroViewController::SettingValueSave()
{
    if (musicModelController)
        musicModelController->saveSetting(mSettingValueArray, mPlayControlArray);
}
