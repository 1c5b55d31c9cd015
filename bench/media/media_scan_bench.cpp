// Scan timings of the device library over a generated library of short songs.
//
//   media_scan_bench [--dir DIR] [--songs N] [--runs R]
//
// Makes DIR/Music once (N songs, default 10 000: a few files made with ffmpeg, copied, each
// given distinct tags with TagLib, one in four with a small cover), then, R times each
// (default 5), alternating:
//   first scan   a library scan with no scan cache (FFmpeg probe + TagLib tags)
//   taglib       the same files walked and read with TagLib alone (tags and length)
//   taglib-tags  the same, tags only (no audio properties)
//   rescan       a scan of the unchanged library with the cache of a first scan
//   start        a restart through to the songs list: a new library over the unchanged
//                folder and its cache, scanned, then the songs query with every song's
//                duration; afterwards (not timed) every song's list-size cover is drawn,
//                and the files opened by all of it are counted (none is the goal)
// and the songs, artists and albums queries over the scanned library; it prints the medians, the ratios of first scan to the TagLib-only reads, and the peak
// resident memory of a first scan and of a rescan (VmHWM, reset before each).

#include "platform/media/MPMediaLibrary.h"
#include "platform/media/MediaFile.h"
#include "platform/media/MPMediaQuery.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>

#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/tpropertymap.h>

extern "C" {
#include <libavutil/log.h>
}

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const char* const kFormats[] = {"mp3", "m4a", "flac", "ogg", "wav"};

TagLib::String tagText(const QString& text) { return TagLib::String(text.toStdString(), TagLib::String::UTF8); }

void makeSource(const QString& path, const QString& format)
{
    QStringList arguments = {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                             "sine=frequency=330:duration=0.2:sample_rate=44100"};
    if (format == "m4a")
        arguments << "-c:a" << "aac";
    if (format == "ogg")
        arguments << "-c:a" << "libvorbis";
    if (format == "flac")
        arguments << "-sample_fmt" << "s16";
    if (QProcess::execute("ffmpeg", arguments << path) != 0)
        qFatal("ffmpeg failed for %s", qPrintable(path));
}

void addCover(const QString& path, const TagLib::ByteVector& png)
{
    if (path.endsWith(".m4a")) {
        TagLib::MP4::File file(QFile::encodeName(path).constData(), false);
        TagLib::MP4::CoverArtList covers;
        covers.append(TagLib::MP4::CoverArt(TagLib::MP4::CoverArt::PNG, png));
        file.tag()->setItem("covr", TagLib::MP4::Item(covers));
        file.save();
    } else if (path.endsWith(".flac")) {
        TagLib::FLAC::File file(QFile::encodeName(path).constData(), false);
        auto* picture = new TagLib::FLAC::Picture;
        picture->setType(TagLib::FLAC::Picture::FrontCover);
        picture->setMimeType("image/png");
        picture->setData(png);
        file.addPicture(picture);
        file.save();
    }
}

void generateLibrary(const QString& music, int songs)
{
    const QString marker = music + "/.generated-" + QString::number(songs);
    if (QFile::exists(marker))
        return;
    std::printf("generating %d songs in %s ...\n", songs, qPrintable(music));
    QDir(music).removeRecursively();
    QDir().mkpath(music + "/.sources");
    for (const char* format : kFormats)
        makeSource(music + "/.sources/tone." + format, format);
    QImage image(300, 300, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const TagLib::ByteVector png(encoded.constData(), unsigned(encoded.size()));

    for (int i = 0; i < songs; ++i) {
        const QString format = kFormats[i % 5];
        const int artist = i / 40, album = i / 12;
        const QString folder = QString("%1/Artist %2/Album %3").arg(music).arg(artist).arg(album);
        QDir().mkpath(folder);
        const QString path = QString("%1/%2 Song %3.%4").arg(folder).arg(i % 12 + 1, 2, 10, QChar('0')).arg(i).arg(format);
        QFile::copy(music + "/.sources/tone." + format, path);
        TagLib::FileRef ref(QFile::encodeName(path).constData(), false);
        TagLib::PropertyMap map;
        map.insert("TITLE", TagLib::StringList(tagText(QString("Song %1 über alles").arg(i))));
        map.insert("ARTIST", TagLib::StringList(tagText(QString("Artist %1").arg(artist))));
        map.insert("ALBUM", TagLib::StringList(tagText(QString("Album %1").arg(album))));
        map.insert("GENRE", TagLib::StringList(tagText(QString("Genre %1").arg(i % 17))));
        map.insert("COMPOSER", TagLib::StringList(tagText(QString("Composer %1").arg(i % 101))));
        map.insert("TRACKNUMBER", TagLib::StringList(tagText(QString("%1/12").arg(i % 12 + 1))));
        map.insert("DISCNUMBER", TagLib::StringList(tagText("1/1")));
        ref.file()->setProperties(map);
        ref.save();
        if (i % 4 == 0)
            addCover(path, png);
    }
    QFile(marker).open(QIODevice::WriteOnly);
}

// What a TagLib-only scanner does: walk the folder, read each file's tags (and length).
int tagLibScan(const QString& music, bool audioProperties)
{
    int songs = 0;
    namespace fs = std::filesystem;
    for (const auto& entry : fs::recursive_directory_iterator(QFile::encodeName(music).toStdString())) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || name[0] == '.' || entry.path().string().find("/.") != std::string::npos)
            continue;
        TagLib::FileRef ref(entry.path().c_str(), audioProperties);
        if (ref.isNull())
            continue;
        const TagLib::PropertyMap map = ref.file()->properties();
        songs += map.contains("TITLE") ? 1 : 0;
    }
    return songs;
}

long statusKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size()));
    }
    return -1;
}

void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double processCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Wall-clock seconds of `work`, adding its CPU seconds (all threads) to `cpu`.
template <typename F>
double seconds(std::vector<double>& cpu, F&& work)
{
    QElapsedTimer timer;
    const double cpuBefore = processCpuSeconds();
    timer.start();
    work();
    const double wall = double(timer.nsecsElapsed()) / 1e9;
    cpu.push_back(processCpuSeconds() - cpuBefore);
    return wall;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QString dir = QDir::tempPath() + "/tavoro-media-bench";
    int songs = 10000, runs = 5;
    const QStringList args = application.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--dir") dir = args[i + 1];
        else if (args[i] == "--songs") songs = args[i + 1].toInt();
        else if (args[i] == "--runs") runs = args[i + 1].toInt();
    }
    av_log_set_level(AV_LOG_ERROR);  // covers in MP4 make FFmpeg warn once per file
    const QString music = dir + "/Music", cache = dir + "/scan-cache.bin";
    generateLibrary(music, songs);

    std::vector<double> first, taglib, taglibTags, rescan;
    std::vector<double> firstCpu, taglibCpu, taglibTagsCpu, rescanCpu;
    long firstPeak = 0, rescanPeak = 0, baseRss = statusKb("VmRSS:");
    int found = 0, foundTagLib = 0;
    for (int run = 0; run < runs; ++run) {
        QFile::remove(cache);
        resetPeak();
        const long before = statusKb("VmRSS:");
        first.push_back(seconds(firstCpu, [&] {
            MPMediaLibrary library(music, cache);
            found = int(library.scan().itemsRead);
        }));
        firstPeak = std::max(firstPeak, statusKb("VmHWM:") - before);
        taglib.push_back(seconds(taglibCpu, [&] { foundTagLib = tagLibScan(music, true); }));
        taglibTags.push_back(seconds(taglibTagsCpu, [&] { tagLibScan(music, false); }));
        resetPeak();
        const long beforeRescan = statusKb("VmRSS:");
        rescan.push_back(seconds(rescanCpu, [&] {
            MPMediaLibrary library(music, cache);
            library.scan();
        }));
        rescanPeak = std::max(rescanPeak, statusKb("VmHWM:") - beforeRescan);
    }
    std::printf("songs: %d found by the scan, %d by TagLib alone; %d runs; medians, wall clock and CPU (all threads):\n",
                found, foundTagLib, runs);
    auto row = [&](const char* name, const std::vector<double>& wall, const std::vector<double>& cpu) {
        std::printf("  %-22s %8.3f s wall  %8.3f s cpu", name, median(wall), median(cpu));
        if (&wall != &first)
            std::printf("   first scan / this: %.2f wall, %.2f cpu", median(first) / median(wall),
                        median(firstCpu) / median(cpu));
        std::printf("\n");
    };
    row("first scan", first, firstCpu);
    row("taglib tags+length", taglib, taglibCpu);
    row("taglib tags only", taglibTags, taglibTagsCpu);
    row("rescan (unchanged)", rescan, rescanCpu);

    std::vector<double> start, startCpu;
    uint64_t opened = 0;
    qsizetype listed = 0;
    for (int run = 0; run < runs; ++run) {
        const uint64_t opensBefore = MediaFile::openCount();
        QList<MPMediaItem> items;
        start.push_back(seconds(startCpu, [&] {
            auto library = std::make_shared<MPMediaLibrary>(music, cache);
            library->scan();
            MPMediaQuery query;
            query.setLibrary(library);
            items = query.items();
            double total = 0.0;
            for (const MPMediaItem& item : items)
                total += item.playbackDuration();
            if (total <= 0.0)
                qFatal("no durations");
        }));
        int covers = 0;
        for (const MPMediaItem& item : items)
            covers += !item.artwork().imageWithSize(QSize(44, 44)).isNull();
        if (covers == 0)
            qFatal("no covers");
        listed = items.size();
        opened = std::max<uint64_t>(opened, MediaFile::openCount() - opensBefore);
    }
    row("start to songs list", start, startCpu);
    std::printf("  start: %lld songs listed with durations and covers, %llu files opened\n",
                static_cast<long long>(listed), static_cast<unsigned long long>(opened));

    auto library = std::make_shared<MPMediaLibrary>(music, cache);
    library->scan();
    for (const auto& [name, grouping] : {std::pair{"songs query", MPMediaGroupingTitle},
                                         {"artists query", MPMediaGroupingArtist},
                                         {"albums query", MPMediaGroupingAlbum}}) {
        std::vector<double> wall, cpu;
        qsizetype groups = 0;
        for (int run = 0; run < runs; ++run) {
            wall.push_back(seconds(cpu, [&] {
                MPMediaQuery query;
                query.setGroupingType(grouping);
                query.setLibrary(library);
                groups = query.collections().size();
            }));
        }
        std::printf("  %-22s %8.3f s wall  %8.3f s cpu   (%lld collections)\n", name, median(wall), median(cpu),
                    static_cast<long long>(groups));
    }
    std::printf("  peak memory above the %ld kB baseline: first scan %ld kB, rescan %ld kB\n", baseRss,
                firstPeak, rescanPeak);
    return 0;
}
