// Speed changes with speed/pitch on, measured on what the mixer delivers (a manually pulled
// capture, so the machine's load cannot disturb it): a 440 Hz sine plays through a series of
// speed steps, 750 ms each, and every 20 ms window is measured from its rising zero
// crossings. Per step: the window furthest from 440 Hz and how many windows are more than
// 3 % off; any window off by more than half is a gap or a click rather than a pitch.
// Run: speed_step_bench [SPEED...]   (tenths of normal, default 15 8 20 10 20 5 20 10)

#include "Quietly.h"
#include "engine/AUGraphController.h"
#include "engine/EngineGlobals.h"
#include "platform/audio/AudioCapture.h"
#include "tests/engine/StereoWav.h"

#include <QCoreApplication>
#include <QDir>
#include <QUrl>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr size_t kWindow = 882; // 20 ms
constexpr size_t kStepFrames = 33075;

// The frequency of one window from its rising zero crossings; 0 when it is (mostly) silent.
double WindowHz(const std::vector<int16_t>& played, size_t first)
{
    std::vector<double> rises;
    bool sounding = false;
    for (size_t f = first + 1; f < first + kWindow; ++f) {
        const int16_t a = played[2 * (f - 1)], b = played[2 * f];
        sounding = sounding || std::abs(b) > 1500;
        if (a < 0 && b >= 0)
            rises.push_back(double(f) - double(b) / double(b - a));
    }
    if (!sounding || rises.size() < 4)
        return 0.0;
    return 44100.0 * double(rises.size() - 1) / (rises.back() - rises.front());
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> speeds;
    for (int i = 1; i < argc; ++i)
        speeds.push_back(std::atoi(argv[i]));
    if (speeds.empty())
        speeds = {15, 8, 20, 10, 20, 5, 20, 10};
    QCoreApplication app(argc, argv);
    const std::string track = QDir::tempPath().toStdString() + "/speed_step_bench.wav";
    const int64_t frames = 44100 + int64_t(kStepFrames) * 2 * int64_t(speeds.size()) + 44100;
    {
        const std::string bytes = StereoWavBytes(frames, [](int64_t frame, int) {
            return int16_t(12000 * std::sin(2 * M_PI * 440.0 * double(frame) / 44100.0));
        });
        FILE* file = std::fopen(track.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
    auto capture = std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::Manual, 1024);
    AudioOutputSetCapture(capture);
    ExtAudioFileWaitForDecoding(true);
    {
        AUGraphController engine(3600.0);
        Quietly([&] {
            engine.initializeAUGraph(2);
            engine.setOutputVolume(0.0f);
            engine.loadFiles(QUrl::fromLocalFile(QString::fromStdString(track)));
            engine.setModeChange(EffectModeDocking, 1);
            engine.setModeChange(EffectModeSpeedPitch, 1);
            engine.DelayLockEnabl();
            engine.startAUGraph(2);
        });
        capture->pull(44100);
        std::printf("%-12s %-22s %s\n", "step", "worst window", "windows > 3 % off");
        int previous = 10;
        for (int speed : speeds) {
            const size_t from = capture->frames();
            Quietly([&] { engine.setSpeedPitch(1, speed); });
            capture->pull(kStepFrames);
            const std::vector<int16_t> played = capture->samples();
            double worst = 0.0;
            double worstHz = 440.0;
            int off = 0;
            for (size_t at = from; at + kWindow <= played.size() / 2; at += kWindow) {
                const double hz = WindowHz(played, at);
                if (hz == 0.0)
                    continue;
                const double deviation = std::abs(hz - 440.0) / 440.0;
                off += deviation > 0.03;
                if (deviation > worst) {
                    worst = deviation;
                    worstHz = hz;
                }
            }
            char step[32];
            std::snprintf(step, sizeof step, "%d->%d %%", previous * 10, speed * 10);
            char window[48];
            std::snprintf(window, sizeof window, "%.1f Hz (%.1f %%)", worstHz, 100.0 * worst);
            std::printf("%-12s %-22s %d\n", step, window, off);
            previous = speed;
        }
        Quietly([&] { engine.stopAUGraph(); });
    }
    AudioOutputSetCapture(nullptr);
    std::remove(track.c_str());
    return 0;
}
