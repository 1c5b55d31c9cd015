// A thousand random user actions on the launched application while it plays the generated
// library through the real engine into a real-time output: no crash, no action that hangs
// (a watchdog ends the run, naming the action), and no resident memory growth beyond 10 MB
// after the first hundred actions.
// The seed is printed with every failure; TAVORO_SOAK_SEED replays another one.

#include "AppTestSupport.h"
#include "../Watchdog.h"

#include "library/SettingKeys.h"
#include "player/AudioSessionSetup.h"
#include "platform/session/AudioSession.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSlider>

#include <random>

namespace {

double residentMegabytes()
{
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

void post(const QString& name, const QVariantMap& values)
{
    NotificationCenter::defaultCenter().postNotification(name, nullptr, values);
}

} // namespace

TEST(Soak, ThousandRandomActionsWhilePlaying)
{
    const unsigned seed = qEnvironmentVariableIsSet("TAVORO_SOAK_SEED")
                              ? qEnvironmentVariable("TAVORO_SOAK_SEED").toUInt()
                              : 20261207u;
    SCOPED_TRACE("seed " + std::to_string(seed) + " (replay with TAVORO_SOAK_SEED=" + std::to_string(seed) + ")");
    LaunchedApp app;
    AudioOutputSetCapture(nullptr);
    AudioOutputForceNull(true);  // plays in real time, as a sound card would pull
    TavoroViewController& player = app.player();
    const int songs = int(generatedSongs().size());
    const char* const routes[] = {"Speaker", "Headphone", "HeadphoneBT", "LineOut"};
    std::string route = "Speaker";

    std::mt19937 random(seed);
    const auto pick = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    double residentAfter100 = 0;
    for (int action = 0; action < 1000; ++action) {
        const int kind = pick(0, 11);
        const std::string what = "seed " + std::to_string(seed) + ", action " + std::to_string(action) + " of kind " + std::to_string(kind);
        Watchdog hang(30, what.c_str());
        switch (kind) {
        case 0: app.chooseSong(pick(0, songs - 1)); break;
        case 1: player.buttonPressedAction(1); break;  // play / pause
        case 2: player.buttonPressedAction(3); break;  // next
        case 3: player.buttonPressedAction(2); break;  // previous
        case 4: {
            QSlider* slider = player.playbackSlider;
            slider->setSliderDown(true);
            slider->setValue(pick(0, std::max(0, slider->maximum())));
            slider->setSliderDown(false);
            player.SeekSliderEditEnd();
            break;
        }
        case 5: post(EqualizerSettingNotification, {{EqualizerOnOff, pick(1, 2)}, {EqModeChangeKey, pick(1, 9)}}); break;
        case 6: post(EqualizerSettingNotification, {{EqUserSetting800Key, pick(1, 25)}}); break;
        case 7: post(StereoChangeSettingNotification, {{StereoModeChangeKey, pick(1, 2)}, {StereoSurroundKey, pick(1, 11)}}); break;
        case 8: post(SpeedPitchSettingNotification, {{SpeedPitchOnOffKey, pick(1, 2)}, {SpeedPitchSpeedKey, pick(50, 200)}, {SpeedPitchPTKey, pick(-6, 6)}}); break;
        case 9: {
            QVariantMap change{{kAudioSession_AudioRouteChangeKey_Reason, 2},
                               {kAudioSession_AudioRouteChangeKey_OldRoute, QString::fromStdString(route)}};
            route = routes[pick(0, 3)];
            AudioSessionSetAudioRouteForTesting(route);
            propertyListener(static_cast<AudioSessionContext*>(app.delegate.get()), kAudioSessionProperty_AudioRouteChange, sizeof(change), &change);
            break;
        }
        case 10: post(StageChangeSettingNotification, {{StageModeChangeKey, pick(1, 2)}, {StagePresetKey, pick(1, 3)}}); break;
        case 11: player.flipInfoAction(); break;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (action == 99)
            residentAfter100 = residentMegabytes();
    }
    waitFor([] { return false; }, 1.0);  // let the last imports and reports land
    const double residentAfter1000 = residentMegabytes();
    std::printf("soak: resident %.1f MB after 100 actions, %.1f MB after 1000\n", residentAfter100, residentAfter1000);
    EXPECT_LT(residentAfter1000 - residentAfter100, 10.0);
    AudioOutputForceNull(false);
    AudioSessionResetForTesting();
}
