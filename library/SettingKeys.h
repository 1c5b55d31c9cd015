#pragma once
// Keys of the live settings table and the live play-control table, each constant's text
// equal to its identifier (misspellings included, as stored tables and screens use them),
// and the stored attribute of each key that is kept in the store.

#include <QString>

#include <array>

inline const QString StereoModeChangeKey = QStringLiteral("StereoModeChangeKey");
inline const QString StereoSurroundKey = QStringLiteral("StereoSurroundKey");
inline const QString StereoBassKey = QStringLiteral("StereoBassKey");
inline const QString EqualizerOnOff = QStringLiteral("EqualizerOnOff");
inline const QString EqModeChangeKey = QStringLiteral("EqModeChangeKey");
inline const QString EqUserSetting200Key = QStringLiteral("EqUserSetting200Key");
inline const QString EqUserSetting400Key = QStringLiteral("EqUserSetting400Key");
inline const QString EqUserSetting800Key = QStringLiteral("EqUserSetting800Key");
inline const QString EqUserSetting1600Key = QStringLiteral("EqUserSetting1600Key");
inline const QString EqUserSetting3200Key = QStringLiteral("EqUserSetting3200Key");
inline const QString EqUserSetting6400Key = QStringLiteral("EqUserSetting6400Key");
inline const QString EqUserSetting12800Key = QStringLiteral("EqUserSetting12800Key");
inline const QString StageModeChangeKey = QStringLiteral("StageModeChangeKey");
inline const QString StagePresetKey = QStringLiteral("StagePresetKey");
inline const QString DockingoModeChangeKey = QStringLiteral("DockingoModeChangeKey");
inline const QString SpeedPitchOnOffKey = QStringLiteral("SpeedPitchOnOffKey");
inline const QString SpeedPitchSpeedKey = QStringLiteral("SpeedPitchSpeedKey");
inline const QString SpeedPitchPTKey = QStringLiteral("SpeedPitchPTKey");
inline const QString SpeedPitchSPKey = QStringLiteral("SpeedPitchSPKey");
// Volume leveling: 1 off, 2 by track, 3 by album; preventing clipping: 2 on, 1 off.
inline const QString VolumeLevelingKey = QStringLiteral("VolumeLevelingKey");
inline const QString PreventClippingKey = QStringLiteral("PreventClippingKey");

// The size of the window in points, restored at the next start.
inline const QString WindowWidthKey = QStringLiteral("WindowWidthKey");
inline const QString WindowHeightKey = QStringLiteral("WindowHeightKey");

inline const QString ShuffleModeKey = QStringLiteral("ShuffleModeKey");
inline const QString PlayModeKey = QStringLiteral("PlayModeKey");
inline const QString LastPlayTitleKey = QStringLiteral("LastPlayTitleKey");
inline const QString LastPosionKey = QStringLiteral("LastPosionKey");

struct StoredSettingKey {
    const QString& key;
    const char* attribute;  // attribute of the Setting or PlayControl row
};

// Every settings key that is stored, with its `Setting` attribute. "StagePresetKey" is
// live only.
inline const std::array<StoredSettingKey, 22> kStoredSettingKeys{{
    {StereoModeChangeKey, "StereoEnable"},
    {StereoSurroundKey, "StereoSurround"},
    {StereoBassKey, "StereoBass"},
    {EqualizerOnOff, "EqEnable"},
    {EqModeChangeKey, "EqModeChange"},
    {EqUserSetting200Key, "Eq200db"},
    {EqUserSetting400Key, "Eq400db"},
    {EqUserSetting800Key, "Eq800db"},
    {EqUserSetting1600Key, "Eq1600db"},
    {EqUserSetting3200Key, "Eq3200db"},
    {EqUserSetting6400Key, "Eq6400db"},
    {EqUserSetting12800Key, "Eq12800db"},
    {StageModeChangeKey, "StageEnable"},
    {DockingoModeChangeKey, "DockingEnable"},
    {SpeedPitchOnOffKey, "SpeedEnable"},
    {SpeedPitchSpeedKey, "SpeedValue"},
    {SpeedPitchPTKey, "PTValue"},
    {SpeedPitchSPKey, "SPValue"},
    {VolumeLevelingKey, "LevelingMode"},
    {PreventClippingKey, "PreventClipping"},
    {WindowWidthKey, "WindowWidth"},
    {WindowHeightKey, "WindowHeight"},
}};

// The play-control keys that are stored, with their `PlayControl` attribute. The last
// title and position are live only.
inline const std::array<StoredSettingKey, 2> kStoredPlayControlKeys{{
    {ShuffleModeKey, "shuffleEnable"},
    {PlayModeKey, "PlayMode"},
}};
