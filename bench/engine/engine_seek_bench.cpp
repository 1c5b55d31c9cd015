// A timed run of FileSeek: the time the call takes on the main thread while the engine
// plays (into the null output), for each file given, to pseudo-random targets over the
// whole track; median and worst. The peer, measured in the same run on the same targets:
// FFmpeg's own seek as a player built on it does one (avformat_seek_file, then decoding
// up to the frame that holds the target).
// Run: engine_seek_bench [--seeks N] FILE...

#include "engine/AUGraphController.h"
#include "platform/audio/AudioCapture.h"

#include <QCoreApplication>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

using Clock = std::chrono::steady_clock;

double Millis(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Spread {
    double median = 0;
    double worst = 0;
};

Spread SpreadOf(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    if (times.empty())
        return {};
    return {times[times.size() / 2], times.back()};
}

// FFmpeg's seek to `seconds`, then decoding until a frame reaches the target.
std::vector<double> PeerSeeks(const std::string& path, const std::vector<double>& targets)
{
    std::vector<double> times;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return times;
    avformat_find_stream_info(format, nullptr);
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    AVCodecContext* decoder = avcodec_alloc_context3(codec);
    avcodec_parameters_to_context(decoder, format->streams[stream]->codecpar);
    avcodec_open2(decoder, codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const AVRational base = format->streams[stream]->time_base;
    for (double seconds : targets) {
        const auto start = Clock::now();
        const int64_t ts = int64_t(seconds * base.den / base.num);
        avformat_seek_file(format, stream, INT64_MIN, ts, ts, 0);
        avcodec_flush_buffers(decoder);
        bool reached = false;
        while (!reached && av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == stream && avcodec_send_packet(decoder, packet) >= 0) {
                while (avcodec_receive_frame(decoder, frame) >= 0)
                    reached = reached || frame->pts == AV_NOPTS_VALUE || frame->pts + frame->nb_samples >= ts;
            }
            av_packet_unref(packet);
        }
        times.push_back(Millis(Clock::now() - start));
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    avformat_close_input(&format);
    return times;
}

} // namespace

int main(int argc, char** argv)
{
    int seeks = 20;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seeks") == 0 && i + 1 < argc)
            seeks = std::atoi(argv[++i]);
        else
            files.push_back(argv[i]);
    }
    QCoreApplication app(argc, argv);
    AudioOutputForceNull(true);

    std::fflush(stdout);
    const int saved = dup(1);
    FILE* null = std::fopen("/dev/null", "w");
    auto quiet = [&] { std::fflush(stdout); dup2(fileno(null), 1); };
    auto loud = [&] { std::fflush(stdout); dup2(saved, 1); };

    int status = 0;
    for (const std::string& path : files) {
        quiet();
        AUGraphController engine(3600.0);
        engine.initializeAUGraph(2);
        const bool loaded = engine.loadFiles(QUrl::fromLocalFile(QString::fromStdString(path)));
        if (loaded)
            engine.startAUGraph(2);
        loud();
        if (!loaded) {
            std::fprintf(stderr, "could not open %s\n", path.c_str());
            status = 1;
            continue;
        }
        QThread::msleep(300); // the first blocks are read: seeks are taken from now on
        std::mt19937 random(20);
        const SInt64 length = engine.frameCount();
        std::vector<double> targets;
        std::vector<double> ours;
        for (int i = 0; i < seeks; ++i) {
            const SInt64 frame = SInt64(std::uniform_real_distribution<double>(0.02, 0.98)(random) * double(length));
            targets.push_back(double(frame) / 44100.0);
            const auto start = Clock::now();
            engine.FileSeek(frame);
            ours.push_back(Millis(Clock::now() - start));
            engine.LockSeekChange(false);
            QCoreApplication::processEvents();
            QThread::msleep(100);
        }
        quiet();
        engine.stopAUGraph();
        loud();
        const Spread mine = SpreadOf(ours);
        const Spread peer = SpreadOf(PeerSeeks(path, targets));
        std::printf("%-28s %5.1f min  FileSeek median %7.2f ms worst %7.2f ms | FFmpeg seek+decode median %6.2f ms "
                    "worst %6.2f ms | median ratio %.2f\n",
                    path.substr(path.find_last_of('/') + 1).c_str(), double(length) / 44100.0 / 60.0, mine.median,
                    mine.worst, peer.median, peer.worst, peer.median > 0 ? mine.median / peer.median : 0.0);
    }
    close(saved);
    std::fclose(null);
    return status;
}
