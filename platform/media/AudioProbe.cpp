// FFmpeg's part of reading a file: is it decodable audio, and how long is it.

#include "platform/media/MediaFileReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <QFile>

#include <memory>

namespace {

struct FormatContextCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using FormatContext = std::unique_ptr<AVFormatContext, FormatContextCloser>;

// The best audio stream whose codec FFmpeg can decode, or -1.
int decodableAudioStream(AVFormatContext* context)
{
    const int index = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0)
        return -1;
    const AVCodecParameters* parameters = context->streams[index]->codecpar;
    if (parameters->codec_id == AV_CODEC_ID_NONE || !avcodec_find_decoder(parameters->codec_id))
        return -1;
    return index;
}

double containerDuration(const AVFormatContext* context, int streamIndex)
{
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
        return double(context->duration) / AV_TIME_BASE;
    const AVStream* stream = context->streams[streamIndex];
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        return double(stream->duration) * av_q2d(stream->time_base);
    return -1.0;
}

} // namespace

std::optional<AudioProbeResult> probeAudioFile(const QString& path)
{
    AVFormatContext* raw = nullptr;
    const QByteArray encodedPath = QFile::encodeName(path);
    if (avformat_open_input(&raw, encodedPath.constData(), nullptr, nullptr) < 0)
        return std::nullopt;
    FormatContext context(raw);

    int stream = decodableAudioStream(context.get());
    double duration = stream >= 0 ? containerDuration(context.get(), stream) : -1.0;
    if (stream < 0 || duration < 0.0) {
        // The headers did not tell (raw streams, formats that create their streams while
        // reading): let FFmpeg read a few packets and estimate.
        if (avformat_find_stream_info(context.get(), nullptr) < 0)
            return std::nullopt;
        stream = decodableAudioStream(context.get());
        if (stream < 0)
            return std::nullopt;
        duration = containerDuration(context.get(), stream);
    }
    return AudioProbeResult{duration > 0.0 ? duration : 0.0};
}
