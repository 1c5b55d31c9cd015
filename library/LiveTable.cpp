#include "library/LiveTable.h"

#include "library/SettingKeys.h"

#include <limits>

int LiveTable::integerValue(const QString& key) const
{
    return integerValueOf(m_dictionary.value(key));
}

int integerValueOf(const QVariant& value)
{
    if (!value.isValid())
        return 0;
    switch (value.metaType().id()) {
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString();
        qsizetype i = 0;
        while (i < text.size() && text[i].isSpace())
            ++i;
        bool negative = false;
        if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
            negative = text[i++] == QLatin1Char('-');
        long long magnitude = 0;
        for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
            magnitude = magnitude * 10 + (text[i].unicode() - '0');
            if (magnitude > std::numeric_limits<int>::max())
                return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
        }
        return int(negative ? -magnitude : magnitude);
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return int(value.toDouble());
    default: {
        bool ok = false;
        const qlonglong n = value.toLongLong(&ok);
        return ok ? int(n) : 0;
    }
    }
}

std::shared_ptr<LiveTable> LiveTable::defaultSettingTable()
{
    auto text = [](int n) { return QVariant(QString::number(n)); };
    return std::make_shared<LiveTable>(QVariantMap{
        {StereoModeChangeKey, text(1)},
        {StereoSurroundKey, text(11)},
        {StereoBassKey, text(3)},
        {EqualizerOnOff, text(1)},
        {EqModeChangeKey, text(1)},
        {EqUserSetting200Key, text(13)},
        {EqUserSetting400Key, text(13)},
        {EqUserSetting800Key, text(13)},
        {EqUserSetting1600Key, text(13)},
        {EqUserSetting3200Key, text(13)},
        {EqUserSetting6400Key, text(13)},
        {EqUserSetting12800Key, text(13)},
        {StageModeChangeKey, text(1)},
        {StagePresetKey, text(0)},
        {DockingoModeChangeKey, text(1)},
        {SpeedPitchOnOffKey, text(1)},
        {SpeedPitchSpeedKey, text(10)},
        {SpeedPitchPTKey, text(7)},
        {SpeedPitchSPKey, text(100)},
        {VolumeLevelingKey, text(1)},
        {PreventClippingKey, text(2)},
        {WindowWidthKey, text(320)},
        {WindowHeightKey, text(460)},
    });
}

std::shared_ptr<LiveTable> LiveTable::defaultPlayControlTable()
{
    return std::make_shared<LiveTable>(QVariantMap{
        {ShuffleModeKey, QStringLiteral("0")},
        {PlayModeKey, QStringLiteral("0")},
        {LastPlayTitleKey, QStringLiteral("None")},
        {LastPosionKey, QStringLiteral("0")},
    });
}
