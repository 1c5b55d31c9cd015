// Rebuild and list timings over a device library of 10 000 songs held in memory (the
// scan of real files is measured by the media benchmark): about 800 artists, 1 000
// albums, 40 genres and 300 composers, titles in mixed case, some songs without album
// or artist. The store lives in a temporary home directory.
//
//   library_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// Before the timings, one rebuild runs in the fresh process and its memory is printed:
// the growth of the peak resident size over the resident size just before it (the
// device library's items already in memory), and the process's peak.

#include "library/DTMusicModelController.h"
#include "library/LiveTable.h"
#include "platform/media/MPMediaLibrary.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>

namespace {

constexpr int kSongs = 10000;

QList<MPMediaItem> makeItems()
{
    std::mt19937_64 random(7);
    QList<MPMediaItem> items;
    items.reserve(kSongs);
    const char* words[] = {"love", "Night", "river", "Blue", "fire", "Stone", "dream", "Road", "light", "Rain"};
    for (int i = 0; i < kSongs; ++i) {
        MediaItemProperties p;
        p.persistentID = random() | 1;  // half of them above 2^63
        p.filePath = QStringLiteral("/music/%1.mp3").arg(i).toUtf8();
        p.title = QStringLiteral("%1 %2 %3").arg(words[random() % 10], words[random() % 10]).arg(i);
        const int album = i / 10;
        const int artist = album * 4 / 5;
        if (i % 50 != 0)
            p.artist = QStringLiteral("Artist %1").arg(artist);
        if (i % 70 != 0)
            p.albumTitle = QStringLiteral("Album %1").arg(album);
        p.genre = QStringLiteral("Genre %1").arg(artist % 40);
        if (i % 3 == 0)
            p.composer = QStringLiteral("Composer %1").arg(album % 300);
        p.albumTrackNumber = i % 10 + 1;
        p.albumTrackCount = 10;
        p.discNumber = 1;
        p.discCount = 1;
        if (i % 20 == 0)
            p.lyrics = QStringLiteral("la la la ").repeated(40);
        p.playbackDuration = 180.0;
        items << MPMediaItem(p);
    }
    return items;
}

// A "Vm...:" line of /proc/self/status in KiB; 0 when it cannot be read.
long statusKiB(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toLong();
    return 0;
}

long peakResidentKiB() { return statusKiB("VmHWM:"); }
long residentKiB() { return statusKiB("VmRSS:"); }

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

void installLibrary()
{
    static bool done = false;
    if (!done) {
        MPMediaLibrary::setDefaultMediaLibrary(std::make_shared<MPMediaLibrary>(makeItems(), QList<MPMediaPlaylist>{}));
        done = true;
    }
}

void BM_setupMusicData(benchmark::State& state)
{
    installLibrary();
    DTMusicModelController controller;
    auto settings = LiveTable::defaultSettingTable();
    auto play = LiveTable::defaultPlayControlTable();
    for (auto _ : state) {
        controller.setSettingValue(settings, play);
        controller.setupMusicData(false);
    }
    state.counters["songs"] = double(controller.allSongs()->size());
}
BENCHMARK(BM_setupMusicData)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_allSongs(benchmark::State& state)
{
    installLibrary();
    {
        DTMusicModelController builder;
        builder.setupMusicData(false);
    }
    size_t n = 0;
    for (auto _ : state) {
        // A fresh start: nothing of the store is in memory yet.
        state.PauseTiming();
        auto controller = std::make_unique<DTMusicModelController>();
        controller->allSetting();  // opens the store outside the timing
        state.ResumeTiming();
        auto songs = controller->allSongs();
        n = songs->size();
        benchmark::DoNotOptimize(songs);
        state.PauseTiming();
        songs.reset();
        controller.reset();
        state.ResumeTiming();
    }
    state.counters["songs"] = double(n);
}
BENCHMARK(BM_allSongs)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_allSongsAgain(benchmark::State& state)
{
    // The same list asked for again by a controller whose rows are already in memory.
    installLibrary();
    DTMusicModelController controller;
    controller.setupMusicData(false);
    controller.allSongs();
    for (auto _ : state)
        benchmark::DoNotOptimize(controller.allSongs());
}
BENCHMARK(BM_allSongsAgain)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/.local/share")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toUtf8());
    QCoreApplication::setApplicationName(QStringLiteral("Tavoro"));
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);

    installLibrary();
    {
        const long before = residentKiB();
        resetPeak();
        DTMusicModelController controller;
        controller.setSettingValue(LiveTable::defaultSettingTable(), LiveTable::defaultPlayControlTable());
        controller.setupMusicData(false);
        std::printf("rebuild of %d songs: peak resident growth %.1f MB (from %.1f MB), process peak %.1f MB\n",
                    kSongs, double(peakResidentKiB() - before) / 1024.0, double(before) / 1024.0,
                    double(peakResidentKiB()) / 1024.0);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
