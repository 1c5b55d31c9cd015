// Songs of a queue into a real audio server (a private PulseAudio daemon, null sink with
// norewinds=1, recorded from its monitor): the silence between consecutive songs when the
// engine goes straight on to a prepared next song, beside the stop, close, open and start
// between songs that the engine did before, in the same run; the server's underflows in
// each; and the CPU time and memory that preparing one next song costs.
// Run: gapless_server_bench [--songs 6] [--seconds 5]

#include "engine/AUGraphController.h"
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
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QUrl UrlOf(const std::string& path) { return QUrl::fromLocalFile(QString::fromStdString(path)); }

// One continuous stereo signal that is never silent (a tone over an offset), cut into
// songs of `seconds` plus a few frames (never a block multiple), encoded with `codec`.
std::vector<std::string> MakeSongs(const QString& dir, int songs, int seconds, const std::string& codec,
                                   const std::string& extension, long* totalFrames)
{
    const long songFrames = long(seconds) * 44100 + 1237;
    *totalFrames = songFrames * songs;
    std::vector<int16_t> signal(size_t(*totalFrames) * 2);
    for (long f = 0; f < *totalFrames; ++f) {
        signal[size_t(2 * f)] = int16_t(3000 + 6000 * std::sin(2 * M_PI * 440 * double(f) / 44100));
        signal[size_t(2 * f + 1)] = int16_t(-3000 + 6000 * std::sin(2 * M_PI * 660 * double(f) / 44100));
    }
    std::vector<std::string> paths;
    for (int i = 0; i < songs; ++i) {
        const std::string raw = QDir(dir).filePath(QString("song%1.raw").arg(i)).toStdString();
        std::ofstream(raw, std::ios::binary)
            .write(reinterpret_cast<const char*>(signal.data() + 2 * i * songFrames), std::streamsize(songFrames * 4));
        const std::string path = QDir(dir).filePath(QString("song%1.").arg(i)).toStdString() + extension;
        const std::string make = "ffmpeg -nostdin -y -v error -f s16le -ar 44100 -ac 2 -i '" + raw + "' " + codec + " '" + path + "'";
        if (std::system(make.c_str()) != 0)
            return {};
        paths.push_back(path);
    }
    return paths;
}

struct Run {
    long silentFrames = 0;  // silent frames between the first and the last sounding one
    long missingFrames = 0; // frames of the songs that never reached the sink
    long longestSilence = 0;
    long soundingSpan = 0;
    long underflows = 0;
    bool finished = false;
};

// Plays the songs one after the other; with `gapless` each next one is prepared as the
// one before starts, otherwise the end report stops the graph and the next song is opened
// and started, as before.
Run PlayQueue(pulse_test::PulseDaemon& server, const std::vector<std::string>& songs, bool gapless,
              const std::filesystem::path& recording)
{
    Run run;
    server.record(recording);
    {
        AUGraphController engine(3600.0);
        engine.initializeAUGraph(2);
        engine.setOutputVolume(0.0f);
        size_t current = 0;
        const long before = AudioOutputUnderflowCount();
        int observer = 0;
        NotificationCenter::defaultCenter().addObserver(&observer, MusicPlayTimerNotification, nullptr,
                                                        [&](const Notification& n) {
            if (n.userInfo.value(MusciPlayfinishKey).toInt() == 0)
                return;
            ++current;
            if (current >= songs.size()) {
                run.finished = true;
            } else if (gapless) {
                if (current + 1 < songs.size())
                    engine.prepareNextFile(UrlOf(songs[current + 1]));
            } else {
                engine.stopAUGraph();
                engine.CloseFile();
                engine.loadFiles(UrlOf(songs[current]));
                engine.startAUGraph(2);
            }
        });
        engine.loadFiles(UrlOf(songs[0]));
        if (gapless)
            engine.prepareNextFile(UrlOf(songs[1]));
        engine.startAUGraph(2);
        QElapsedTimer timer;
        timer.start();
        while (!run.finished && timer.elapsed() < 120000) {
            QCoreApplication::processEvents();
            QThread::msleep(10);
        }
        QThread::msleep(300); // the last frames reach the monitor
        run.underflows = AudioOutputUnderflowCount() - before;
        engine.stopAUGraph();
        NotificationCenter::defaultCenter().removeObserver(&observer);
    }
    server.stopRecording();

    const std::vector<int16_t> s = pulse_test::PulseDaemon::Recorded(recording);
    auto sounding = [&](size_t f) { return s[2 * f] != 0 || s[2 * f + 1] != 0; };
    size_t first = 0, last = s.size() / 2;
    while (first < last && !sounding(first))
        ++first;
    while (last > first && !sounding(last - 1))
        --last;
    long runLength = 0;
    for (size_t f = first; f < last; ++f) {
        runLength = sounding(f) ? 0 : runLength + 1;
        run.silentFrames += sounding(f) ? 0 : 1;
        run.longestSilence = std::max(run.longestSilence, runLength);
    }
    run.soundingSpan = long(last - first);
    return run;
}

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + 1e-6 * double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Heap in use (a discarded reader's memory is reused, so the resident size would not move).
long HeapKiB()
{
    return long(mallinfo2().uordblks / 1024);
}

// CPU time and resident memory of preparing a next song (open, client format, the decoding
// thread filling its ring) with the graph stopped, median of `times` preparations.
void MeasurePreparing(const char* name, const std::vector<std::string>& songs, int times)
{
    AUGraphController engine(3600.0);
    engine.initializeAUGraph(2);
    engine.loadFiles(UrlOf(songs[0]));
    std::vector<double> cpu, wall;
    std::vector<long> memory;
    for (int i = 0; i < times; ++i) {
        engine.discardNextFile();
        QThread::msleep(200);
        const long rss = HeapKiB();
        const double start = CpuSeconds();
        QElapsedTimer timer;
        timer.start();
        engine.prepareNextFile(UrlOf(songs[1 + size_t(i) % (songs.size() - 1)]));
        wall.push_back(double(timer.nsecsElapsed()) / 1e6);
        QThread::msleep(1500); // the decoding thread fills its ring (2 s of audio)
        cpu.push_back((CpuSeconds() - start) * 1000);
        memory.push_back(HeapKiB() - rss);
    }
    std::sort(cpu.begin(), cpu.end());
    std::sort(wall.begin(), wall.end());
    std::sort(memory.begin(), memory.end());
    std::fprintf(stderr, "preparing a %s song: call %.1f ms wall, %.1f ms CPU until its ring is full, %ld KiB of heap\n", name,
                wall[wall.size() / 2], cpu[cpu.size() / 2], memory[memory.size() / 2]);
}

} // namespace

int main(int argc, char** argv)
{
    int songs = 6, seconds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--songs") == 0)
            songs = std::max(2, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(1, std::atoi(argv[i + 1]));
    }
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    long total = 0, aacTotal = 0;
    const std::vector<std::string> flac = MakeSongs(dir.path(), songs, seconds, "-c:a flac -sample_fmt s16", "flac", &total);
    QTemporaryDir aacDir;
    const std::vector<std::string> aac = MakeSongs(aacDir.path(), 3, 3, "-c:a aac -b:a 192k", "m4a", &aacTotal);
    if (flac.empty() || aac.empty()) {
        std::fprintf(stderr, "could not make the songs\n");
        return 1;
    }

    pulse_test::PulseDaemon server;
    if (const std::string why = server.start("gapless-server-bench"); !why.empty()) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
    }
    // The engine's log goes nowhere; the figures go to standard error.
    std::fflush(stdout);
    FILE* null = std::fopen("/dev/null", "w");
    dup2(fileno(null), 1);
    Run gapless = PlayQueue(server, flac, true, server.dir / "gapless.raw");
    Run restart = PlayQueue(server, flac, false, server.dir / "restart.raw");
    for (Run* run : {&gapless, &restart})
        run->missingFrames = total - (run->soundingSpan - run->silentFrames);
    server.stop();

    std::fprintf(stderr, "%d FLAC songs of %d s (%ld frames in all), %ld cores:\n", songs, seconds, total, sysconf(_SC_NPROCESSORS_ONLN));
    for (const auto& [name, run] : {std::pair{"next song prepared", gapless}, std::pair{"stop, open, start", restart}})
        std::fprintf(stderr, "  %-20s %s, silent frames between songs %ld (longest %ld, per join %.0f), sounding span %ld, "
                    "frames lost %ld, underflows %ld\n",
                    name, run.finished ? "played to the end" : "DID NOT FINISH", run.silentFrames, run.longestSilence,
                    double(run.silentFrames) / (songs - 1), run.soundingSpan, run.missingFrames, run.underflows);
    MeasurePreparing("FLAC", flac, 5);
    MeasurePreparing("AAC", aac, 5);
    return gapless.finished && restart.finished ? 0 : 1;
}
