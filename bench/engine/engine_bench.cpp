// Engine benchmarks on a generated AAC track (ffmpeg):
//  - RenderBlock/<effect>: the render callback's cost for 10 000 blocks of 1024 frames
//    (the reader decodes ahead on its own thread, so the callback copies decoded frames
//    and runs the effect); counters give the median and the worst block as a share (%) of
//    the block's playing time, 1024 / 44100 s = 23.2 ms, in CPU time of the rendering
//    thread (median_pct, worst_pct) and, for reference, in wall time (wall_worst_pct),
//    which also counts the time the thread was not scheduled on a busy machine. An untimed
//    0.3 ms pause between blocks lets the decoding thread keep ahead, as in real time.
//    The "_leveled" runs play the track with a volume-leveling gain of -6.5 dB on its
//    reader (the others at unity, which skips the gain stage).
//  - PlayTrack: CPU time of the process (decoding thread included) playing 60 s with the
//    equalizer through the graph into an output that pulls as fast as it can, against
//    `ffmpeg -i same.m4a -f null -` timed in the same run; the counter `ratio` is
//    engine / ffmpeg.
// Both pull faster than real time, so reads wait for the decoder here instead of coming
// back short (engine_server_bench measures real-time playing).
// Run: engine_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "Quietly.h"
#include "engine/AUGraphController.h"
#include "engine/EngineGlobals.h"
#include "platform/audio/AudioCapture.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <thread>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr UInt32 kBlock = 1024;
constexpr double kBlockSeconds = double(kBlock) / 44100.0;

// A 60 s stereo AAC track, made once per run.
const std::string& TrackPath()
{
    static QTemporaryDir dir;
    static const std::string path = [] {
        const std::string p = QDir(dir.path()).filePath("bench.m4a").toStdString();
        const std::string cmd = "ffmpeg -nostdin -y -v error -f lavfi -i \"aevalsrc=0.3*sin(2*PI*440*t)*sin(2*PI*0.5*t)+"
                                "0.1*sin(2*PI*3000*t)|0.3*sin(2*PI*660*t)+0.05*random(0):s=44100:d=60\" -c:a aac -b:a 192k '" +
                                p + "'";
        if (std::system(cmd.c_str()) != 0)
            std::fprintf(stderr, "could not make %s\n", p.c_str());
        return p;
    }();
    return path;
}

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double CpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RenderBlock(benchmark::State& state, int effect, SInt32 gain = kExtAudioFilePlaybackGainUnity)
{
    AudioOutputSetCapture(std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::Manual, kBlock));
    auto owner = std::make_unique<AUGraphController>(3600.0);
    AUGraphController& engine = *owner;
    bool loaded = false;
    Quietly([&] {
        engine.initializeAUGraph(2);
        loaded = engine.loadFiles(QUrl::fromLocalFile(QString::fromStdString(TrackPath())), gain);
        engine.setEQMode(3);
        engine.setModeChange(4, 1);
        if (effect >= 0)
            engine.setModeChange(effect, 1);
        engine.setSpeedPitch(2, 10);
        engine.startAUGraph(2);
        engine.LockSeekChange(false);
    });
    if (!loaded) {
        state.SkipWithError("no track");
        return;
    }
    std::vector<int16_t> out(kBlock * 2);
    AudioBufferList list{1, {{2, UInt32(out.size() * 2), out.data()}}};
    std::vector<double> seconds, wall;
    seconds.reserve(10000);
    wall.reserve(10000);
    for (auto _ : state) {
        seconds.clear();
        wall.clear();
        while (seconds.size() < 10000) {
            if (engine.currentFrame() + kBlock >= engine.frameCount()) {
                // Back to the start before the end; not timed.
                engine.FileSeek(0);
                engine.LockSeekChange(false);
            }
            // Untimed: the decoding thread keeps the ring filled, as it does in real time, so
            // that no timed block waits for it.
            std::this_thread::sleep_for(std::chrono::microseconds(300));
            const auto t0 = std::chrono::steady_clock::now();
            const double c0 = ThreadCpuSeconds();
            AUGraphController::renderInput(&engine, nullptr, nullptr, 0, kBlock, &list);
            seconds.push_back(ThreadCpuSeconds() - c0);
            wall.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        }
    }
    std::sort(seconds.begin(), seconds.end());
    state.counters["median_pct"] = 100.0 * seconds[seconds.size() / 2] / kBlockSeconds;
    state.counters["worst_pct"] = 100.0 * seconds.back() / kBlockSeconds;
    const auto wallWorst = std::max_element(wall.begin(), wall.end());
    state.counters["wall_worst_pct"] = 100.0 * *wallWorst / kBlockSeconds;
    state.counters["wall_worst_block"] = double(wallWorst - wall.begin());
    Quietly([&] {
        engine.stopAUGraph();
        owner.reset();
    });
    AudioOutputSetCapture(nullptr);
}

void PlayTrack(benchmark::State& state)
{
    const std::string& track = TrackPath();
    double engineCpu = 0, ffmpegCpu = 0, played = 0;
    for (auto _ : state) {
        auto capture = std::make_shared<AudioCaptureOutput>(AudioCaptureOutput::Pacing::FreeRunning, kBlock);
        capture->setKeepSamples(false);
        AudioOutputSetCapture(capture);
        {
            auto owner = std::make_unique<AUGraphController>(3600.0);
            AUGraphController& engine = *owner;
            Quietly([&] {
                engine.initializeAUGraph(2);
                engine.setOutputVolume(12.0f);
                engine.setEQMode(3);
                engine.setModeChange(4, 1);
                engine.setModeChange(0, 1);
                const double before = CpuSeconds(RUSAGE_SELF);
                engine.loadFiles(QUrl::fromLocalFile(QString::fromStdString(track)));
                engine.startAUGraph(2);
                capture->waitUntilStopped(120.0);
                engineCpu = CpuSeconds(RUSAGE_SELF) - before;
                owner.reset();
            });
        }
        played = double(capture->frames()) / 44100.0;
        AudioOutputSetCapture(nullptr);

        const double before = CpuSeconds(RUSAGE_CHILDREN);
        const std::string cmd = "ffmpeg -nostdin -v error -i '" + track + "' -f null - >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("ffmpeg failed");
        ffmpegCpu = CpuSeconds(RUSAGE_CHILDREN) - before;
        state.SetIterationTime(engineCpu);
    }
    state.counters["engine_cpu_s"] = engineCpu;
    state.counters["ffmpeg_cpu_s"] = ffmpegCpu;
    state.counters["played_s"] = played;
    state.counters["ratio"] = ffmpegCpu > 0 ? engineCpu / ffmpegCpu : 0;
}

} // namespace

BENCHMARK_CAPTURE(RenderBlock, bypass, -1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderBlock, bypass_leveled, -1, 31008)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderBlock, equalizer, 0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderBlock, equalizer_leveled, 0, 31008)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderBlock, stereo3d, 1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderBlock, stage, 2)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(RenderBlock, speedpitch, 3)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PlayTrack)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    // The engine's delayed calls and reports live on a main run loop.
    QCoreApplication app(argc, argv);
    ExtAudioFileWaitForDecoding(true);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
