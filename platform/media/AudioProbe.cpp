// FFmpeg's part of reading a file: is it decodable audio, and how long is it.
//
// Letting FFmpeg guess the format costs more than TagLib's whole tag read, because every
// demuxer's probe runs over the file's head. So the demuxer that claims the file's
// extension opens it first; only when that gives no decodable audio stream with a known
// duration (wrong extension, broken file, a container without a duration in its headers)
// does the full guess run, with a look at the first packets where the headers tell too
// little.

#include "platform/media/MediaFileReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <QFile>
#include <QHash>

#include <memory>
#include <mutex>

namespace {

struct FormatContextCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using FormatContext = std::unique_ptr<AVFormatContext, FormatContextCloser>;

// The demuxer for a file extension: the one demuxer that lists it, else one named like it
// ("wav" lists no extensions); none when several claim it. Looked up once per extension.
const AVInputFormat* demuxerForExtension(const QString& extension)
{
    static std::mutex mutex;
    static QHash<QString, const AVInputFormat*> known;
    std::lock_guard lock(mutex);
    if (known.isEmpty()) {
        QHash<QString, int> claims;
        void* iterator = nullptr;
        while (const AVInputFormat* format = av_demuxer_iterate(&iterator)) {
            if (!format->extensions)
                continue;
            for (const QString& listed : QString::fromLatin1(format->extensions).split(QLatin1Char(','))) {
                known.insert(listed.trimmed().toLower(), format);
                ++claims[listed.trimmed().toLower()];
            }
        }
        for (auto it = claims.constBegin(); it != claims.constEnd(); ++it) {
            if (it.value() > 1)
                known.insert(it.key(), nullptr);
        }
    }
    const auto found = known.constFind(extension);
    if (found != known.constEnd())
        return *found;
    const AVInputFormat* named = av_find_input_format(extension.toLatin1().constData());
    known.insert(extension, named);
    return named;
}

const AVInputFormat* demuxerFor(const QString& path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < path.lastIndexOf(QLatin1Char('/')) || dot + 1 == path.size())
        return nullptr;
    return demuxerForExtension(path.mid(dot + 1).toLower());
}

// Whether FFmpeg has a decoder for the codec; remembered, since the lookup walks the
// whole codec list.
bool hasDecoder(AVCodecID codec)
{
    static std::mutex mutex;
    static QHash<int, bool> known;
    std::lock_guard lock(mutex);
    const auto found = known.constFind(int(codec));
    if (found != known.constEnd())
        return *found;
    const bool decodable = avcodec_find_decoder(codec) != nullptr;
    known.insert(int(codec), decodable);
    return decodable;
}

// The first audio stream (not a cover picture) whose codec FFmpeg can decode, or -1.
// Chosen from the container's headers alone: av_find_best_stream would also want the
// channel count and sample rate, which MP3 and FLAC only give after reading packets.
int decodableAudioStream(const AVFormatContext* context)
{
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream* stream = context->streams[i];
        const AVCodecParameters* parameters = stream->codecpar;
        if (parameters->codec_type != AVMEDIA_TYPE_AUDIO
            || (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)
            || parameters->codec_id == AV_CODEC_ID_NONE || !hasDecoder(parameters->codec_id))
            continue;
        return int(i);
    }
    return -1;
}

// Seconds, or a negative value when neither the container nor the stream knows.
double containerDuration(const AVFormatContext* context, int streamIndex)
{
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
        return double(context->duration) / AV_TIME_BASE;
    const AVStream* stream = context->streams[streamIndex];
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        return double(stream->duration) * av_q2d(stream->time_base);
    return -1.0;
}

FormatContext open(const QByteArray& path, const AVInputFormat* format)
{
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.constData(), format, nullptr) < 0)
        return nullptr;
    return FormatContext(raw);
}

} // namespace

std::optional<AudioProbeResult> probeAudioFile(const QString& path)
{
    // A music directory holds covers, notes and files with odd tags; FFmpeg's warnings
    // about them (once per file) would drown every other line. Errors still show.
    static std::once_flag quieter;
    std::call_once(quieter, [] {
        if (av_log_get_level() == AV_LOG_INFO)
            av_log_set_level(AV_LOG_ERROR);
    });

    const QByteArray encodedPath = QFile::encodeName(path);
    if (const AVInputFormat* format = demuxerFor(path)) {
        if (FormatContext context = open(encodedPath, format)) {
            const int stream = decodableAudioStream(context.get());
            const double duration = stream >= 0 ? containerDuration(context.get(), stream) : -1.0;
            if (duration > 0.0)
                return AudioProbeResult{duration};
        }
    }

    FormatContext context = open(encodedPath, nullptr);
    if (!context)
        return std::nullopt;
    int stream = decodableAudioStream(context.get());
    double duration = stream >= 0 ? containerDuration(context.get(), stream) : -1.0;
    if (stream < 0 || duration < 0.0) {
        // Raw streams and some containers create streams or learn their length only
        // from the packets: let FFmpeg read a few and estimate.
        if (avformat_find_stream_info(context.get(), nullptr) < 0)
            return std::nullopt;
        stream = decodableAudioStream(context.get());
        if (stream < 0)
            return std::nullopt;
        duration = containerDuration(context.get(), stream);
    }
    return AudioProbeResult{duration > 0.0 ? duration : 0.0};
}
