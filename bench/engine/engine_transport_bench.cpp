// A timed run of pause/resume and seek at a real audio server: a private PulseAudio daemon
// with a null sink, started and stopped by this tool, whose monitor is recorded.
//  - Pauses: a track whose every frame is told apart plays with `--pauses` pauses of 200 ms;
//    with the silence cut out, the frames missing or played twice, per pause. At the end of
//    each pause, the position shown (heardFrame, and before it currentFrame, what was read)
//    against the frames the sink played up to the pause, and how long heardFrame takes.
//  - Seeks: a track at 1 kHz up to its middle and 300 Hz after it plays, and FileSeek jumps
//    from the 1 kHz part into the 300 Hz part `--seeks` times, with speed/pitch off and on
//    (speed 150 %). The time from the call until 300 Hz reaches the sink, median and worst.
//    The recording's length when the call is made stands for the moment of the call; the
//    recorder's own buffering (20 ms) makes this up to that much late or early.
// Run: engine_transport_bench [--pauses N] [--seeks N]

#include "Quietly.h"
#include "engine/AUGraphController.h"
#include "engine/EngineGlobals.h"
#include "platform/audio/AudioCapture.h"
#include "platform/audiofile/ExtAudioFile.h"
#include "platform/foundation/NotificationCenter.h"
#include "qbs/QBS.h"
#include "tests/audio/PulseDaemon.h"
#include "tests/engine/StereoWav.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

int16_t Counting(int64_t frame)
{
    return int16_t(1 + frame % 30000);
}

// Writes a 16-bit stereo WAV of `frames` frames, both channels `sample(frame)`.
template <typename Sample>
void WriteWav(const std::string& path, int64_t frames, Sample sample)
{
    const std::string bytes = StereoWavBytes(frames, [&](int64_t frame, int) { return int16_t(sample(frame)); });
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

size_t RecordedFrames(const std::filesystem::path& file)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    return error ? 0 : size_t(size / 4);
}

void Pauses(AUGraphController& engine, pulse_test::PulseDaemon& server, const std::string& dir, int pauses)
{
    const int64_t frames = 44100 * int64_t(pauses + 2) / 2;
    const std::string track = dir + "/counting.wav";
    WriteWav(track, frames, Counting);
    QBS_BYPASS_Prescale = 0;
    bool ended = false;
    int observer = 0;
    NotificationCenter::defaultCenter().addObserver(&observer, MusicPlayTimerNotification, nullptr,
                                                    [&](const Notification& n) {
                                                        ended = ended || n.userInfo.value(MusciPlayfinishKey).toInt();
                                                    });
    const auto recording = server.dir / "pauses.raw";
    server.record(recording);
    Quietly([&] {
        engine.loadFiles(QUrl::fromLocalFile(QString::fromStdString(track)));
        engine.startAUGraph(2);
    });
    std::vector<double> readAhead, shownAhead, askMs;
    for (int i = 0; i < pauses; ++i) {
        QThread::msleep(400);
        Quietly([&] { engine.stopAUGraph(); });
        const int64_t read = engine.currentFrame();
        QElapsedTimer asked;
        asked.start();
        const int64_t shown = engine.heardFrame();
        askMs.push_back(double(asked.nsecsElapsed()) / 1e6);
        QThread::msleep(200);
        const std::vector<int16_t> sofar = pulse_test::PulseDaemon::Recorded(recording);
        int64_t heard = 0;
        for (size_t j = 0; j < sofar.size(); j += 2)
            heard += sofar[j] != 0;
        readAhead.push_back(double(std::llabs(read - heard)));
        shownAhead.push_back(double(std::llabs(shown - heard)));
        Quietly([&] { engine.startAUGraph(2); });
    }
    QElapsedTimer timer;
    timer.start();
    while (!ended && timer.elapsed() < 20000) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
    QThread::msleep(300);
    server.stopRecording();
    NotificationCenter::defaultCenter().removeObserver(&observer);
    QBS_BYPASS_Prescale = 2;

    // Walk the sound: each frame should be the one after the last; count what is skipped
    // or played again.
    const std::vector<int16_t> samples = pulse_test::PulseDaemon::Recorded(recording);
    int64_t expected = 0;
    int64_t lost = 0;
    int64_t repeated = 0;
    for (size_t i = 0; i + 1 < samples.size(); i += 2) {
        if (samples[i] == 0)
            continue;
        const int64_t value = samples[i] - 1;
        const int64_t want = expected % 30000;
        if (value != want) {
            const int64_t ahead = (value - want + 30000) % 30000;
            if (ahead < 15000)
                lost += ahead;
            else
                repeated += 30000 - ahead;
            expected += ahead < 15000 ? ahead : -(30000 - ahead);
        }
        ++expected;
    }
    lost += std::max<int64_t>(0, frames - expected);
    std::printf("pause/resume at the audio server: %d pauses, frames lost %lld, repeated %lld: %.1f per pause\n", pauses,
                (long long)lost, (long long)repeated, double(lost + repeated) / pauses);
    if (pauses <= 0)
        return;
    for (auto* v : {&readAhead, &shownAhead, &askMs})
        std::sort(v->begin(), v->end());
    std::printf("position at a pause against the frames heard: read (currentFrame) median %.0f, worst %.0f frames; "
                "shown (heardFrame) median %.0f, worst %.0f frames; heardFrame call median %.2f ms, worst %.2f ms\n",
                readAhead[readAhead.size() / 2], readAhead.back(), shownAhead[shownAhead.size() / 2], shownAhead.back(),
                askMs[askMs.size() / 2], askMs.back());
}

void Seeks(AUGraphController& engine, pulse_test::PulseDaemon& server, const std::string& dir, int seeks,
           bool speedPitch)
{
    const int64_t half = 44100 * 60;
    const std::string track = dir + "/tones.wav";
    WriteWav(track, half * 2, [&](int64_t frame) {
        const double hz = frame < half ? 1000.0 : 300.0;
        return int16_t(12000 * std::sin(2 * M_PI * hz * double(frame) / 44100.0));
    });
    const auto recording = server.dir / "seeks.raw";
    server.record(recording);
    std::vector<size_t> calledAt;
    Quietly([&] {
        engine.loadFiles(QUrl::fromLocalFile(QString::fromStdString(track)));
        engine.setModeChange(EffectModeDocking, 1);
        if (speedPitch) {
            engine.setModeChange(EffectModeSpeedPitch, 1);
            engine.setSpeedPitch(1, 15);
        } else {
            engine.setModeChange(EffectModeSpeedPitch, 0);
            engine.setSpeedPitch(1, 10);
        }
        engine.DelayLockEnabl();
        engine.startAUGraph(2);
    });
    for (int i = 0; i < seeks; ++i) {
        QThread::msleep(700);
        Quietly([&] { engine.FileSeek(44100 * (2 + i)); }); // back into the 1 kHz part
        engine.LockSeekChange(false);
        QThread::msleep(700);
        calledAt.push_back(RecordedFrames(recording));
        Quietly([&] { engine.FileSeek(half + 44100 * i); });
        engine.LockSeekChange(false);
    }
    QThread::msleep(700);
    Quietly([&] { engine.stopAUGraph(); });
    server.stopRecording();

    // 5 ms windows: about 10 sign changes at 1 kHz, 3 at 300 Hz.
    const std::vector<int16_t> samples = pulse_test::PulseDaemon::Recorded(recording);
    constexpr size_t kWindow = 220;
    std::vector<double> delays;
    for (size_t at : calledAt) {
        for (size_t w = at; (w + kWindow) * 2 <= samples.size(); w += kWindow) {
            int changes = 0;
            int loud = 0;
            for (size_t i = w + 1; i < w + kWindow; ++i) {
                changes += (samples[2 * i - 2] < 0) != (samples[2 * i] < 0);
                loud += std::abs(samples[2 * i]) > 2000;
            }
            if (loud > int(kWindow) / 4 && changes <= 5) {
                delays.push_back(double(w - at) / 44.1);
                break;
            }
        }
    }
    std::sort(delays.begin(), delays.end());
    if (delays.empty()) {
        std::printf("seek (speed/pitch %s): the new position was never heard\n", speedPitch ? "on" : "off");
        return;
    }
    std::printf("seek to the new position heard at the audio server (speed/pitch %s%s): %zu seeks, median %.0f ms, "
                "worst %.0f ms\n",
                speedPitch ? "on" : "off", speedPitch ? ", speed 150 %" : "", delays.size(), delays[delays.size() / 2],
                delays.back());
}

} // namespace

int main(int argc, char** argv)
{
    int pauses = 10;
    int seeks = 8;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--pauses") == 0)
            pauses = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--seeks") == 0)
            seeks = std::atoi(argv[i + 1]);
    }
    QCoreApplication app(argc, argv);
    pulse_test::PulseDaemon server;
    if (const std::string why = server.start("engine-transport-bench"); !why.empty()) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    const std::string dir = server.dir.string();
    {
        AUGraphController engine(3600.0);
        Quietly([&] {
            engine.initializeAUGraph(2);
            engine.setModeChange(EffectModeDocking, 0);
        });
        Pauses(engine, server, dir, pauses);
        Seeks(engine, server, dir, seeks, false);
        Seeks(engine, server, dir, seeks, true);
        Quietly([&] { engine.stopAUGraph(); });
    }
    server.stop();
    return 0;
}
