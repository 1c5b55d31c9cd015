// A timed run of the engine playing AAC into a real audio server: a private PulseAudio
// daemon with a null sink (norewinds=1), started and stopped by this tool. Reports the
// underflows the server counted while the track played, and the render callback's time
// per call (median and worst, wall clock) as the server's client thread calls it. With
// --load N, N busy processes at the same priority compete for the cores meanwhile.
// Run: engine_server_bench [--seconds 60] [--load N]

#include "engine/AUGraphController.h"
#include "engine/EngineGlobals.h"
#include "platform/audio/AudioCapture.h"
#include "platform/audio/AudioOutputEvents.h"
#include "platform/foundation/NotificationCenter.h"
#include "tests/audio/PulseDaemon.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// Call times in microseconds, kept by the render thread; read after the graph stopped.
std::vector<uint32_t> gCallMicros;
size_t gCalls = 0;

OSStatus TimedRender(void* context, AudioUnitRenderActionFlags* flags, const AudioTimeStamp* stamp, UInt32 bus,
                     UInt32 frames, AudioBufferList* data)
{
    const auto start = std::chrono::steady_clock::now();
    const OSStatus status = AUGraphController::renderInput(context, flags, stamp, bus, frames, data);
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
    if (gCalls < gCallMicros.size())
        gCallMicros[gCalls++] = uint32_t(micros.count());
    return status;
}

std::vector<pid_t> StartLoad(int processes)
{
    std::vector<pid_t> children;
    for (int i = 0; i < processes; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            volatile unsigned long spin = 0;
            for (;;)
                spin = spin + 1;
        }
        children.push_back(pid);
    }
    return children;
}

} // namespace

int main(int argc, char** argv)
{
    int seconds = 60;
    int load = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--load") == 0)
            load = std::atoi(argv[i + 1]);
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const std::string track = QDir(dir.path()).filePath("server.m4a").toStdString();
    const std::string make = "ffmpeg -nostdin -y -v error -f lavfi -i \"aevalsrc=0.3*sin(2*PI*440*t)*sin(2*PI*0.5*t)+"
                             "0.1*sin(2*PI*3000*t)|0.3*sin(2*PI*660*t)+0.05*random(0):s=44100:d=" +
                             std::to_string(seconds) + "\" -c:a aac -b:a 192k '" + track + "'";
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "could not make the track\n");
        return 1;
    }

    pulse_test::PulseDaemon server;
    if (const std::string why = server.start("engine-server-bench"); !why.empty()) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    gCallMicros.assign(size_t(seconds) * 200, 0);

    bool finished = false;
    long underflows = 0;
    {
        AUGraphController engine(3600.0);
        const long before = AudioOutputUnderflowCount();
        int observer = 0;
        NotificationCenter::defaultCenter().addObserver(&observer, MusicPlayTimerNotification, nullptr,
                                                        [&](const Notification& n) {
                                                            if (n.userInfo.value(MusciPlayfinishKey).toInt()) {
                                                                underflows = AudioOutputUnderflowCount() - before;
                                                                finished = true;
                                                            }
                                                        });
        std::fflush(stdout);
        const int saved = dup(1);
        FILE* null = std::fopen("/dev/null", "w");
        dup2(fileno(null), 1);
        engine.initializeAUGraph(2);
        engine.setOutputVolume(12.0f);
        engine.setEQMode(3);
        engine.setModeChange(4, 1);
        engine.setModeChange(0, 1);
        AURenderCallbackStruct callback{&TimedRender, &engine};
        AUGraphSetNodeInputCallback(mGraph, mMixerNode, 0, &callback);
        const bool loaded = engine.loadFiles(QUrl::fromLocalFile(QString::fromStdString(track)));
        const std::vector<pid_t> busy = StartLoad(load);
        if (loaded)
            engine.startAUGraph(2);
        QElapsedTimer timer;
        timer.start();
        while (loaded && !finished && timer.elapsed() < (seconds + 20) * 1000LL) {
            QCoreApplication::processEvents();
            QThread::msleep(20);
        }
        for (pid_t pid : busy)
            pulse_test::End(pid, SIGKILL);
        engine.stopAUGraph();
        NotificationCenter::defaultCenter().removeObserver(&observer);
        std::fflush(stdout);
        dup2(saved, 1);
        close(saved);
        std::fclose(null);
        if (!loaded) {
            std::fprintf(stderr, "could not open the track\n");
            return 1;
        }
    }
    server.stop();

    std::vector<uint32_t> calls(gCallMicros.begin(), gCallMicros.begin() + long(gCalls));
    std::sort(calls.begin(), calls.end());
    const double median = calls.empty() ? 0 : calls[calls.size() / 2] / 1000.0;
    const double worst = calls.empty() ? 0 : calls.back() / 1000.0;
    std::printf("%d s of AAC, %d busy processes on %ld cores: %s, underflows %ld, render callback calls %zu, "
                "median %.3f ms, worst %.3f ms\n",
                seconds, load, sysconf(_SC_NPROCESSORS_ONLN), finished ? "played to the end" : "DID NOT FINISH",
                underflows, calls.size(), median, worst);
    return finished ? 0 : 1;
}
