// FFmpeg's part of reading a file: is it decodable audio, and how long is it.
//
// Letting FFmpeg guess the format costs more than TagLib's whole tag read, because every
// demuxer's probe runs over the file's head. So the demuxer that claims the file's
// extension opens it first; only when that gives no decodable audio stream with a known
// duration (wrong extension, broken file, a container without a duration in its headers)
// does the full guess run, with a look at the first packets where the headers tell too
// little.

#include "platform/audiofile/FFmpegInput.h"
#include "platform/media/MediaFile.h"
#include "platform/media/MediaFileReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include <QHash>

#include <memory>
#include <mutex>

namespace {

int64_t readThroughMediaFile(const void* source, int64_t offset, uint8_t* buffer, int length)
{
    return static_cast<const MediaFile*>(source)->readAt(offset, buffer, length);
}

struct OpenFormat {
    FFmpegInput input;
    AVFormatContext* context = nullptr;

    explicit OpenFormat(const MediaFile& file)
        : input(&readThroughMediaFile, &file, file.size()) {}
    OpenFormat(const OpenFormat&) = delete;
    OpenFormat& operator=(const OpenFormat&) = delete;
    ~OpenFormat() { avformat_close_input(&context); }
};

// Small reads suit the headers the probe looks at; FFmpeg's own default is 32 KiB.
constexpr int kIoBufferSize = 16 * 1024;

// Durations beyond this are taken as unknown: no song lasts a week, and a crafted
// header's length must not overflow what is computed from it.
constexpr double kLongestSeconds = 7.0 * 24 * 3600;

// Opens `file` with `format`, or with FFmpeg's guess (among the audio demuxers) when it
// is null.
std::unique_ptr<OpenFormat> open(const MediaFile& file, const AVInputFormat* format)
{
    auto opened = std::make_unique<OpenFormat>(file);
    // The name lets the format guess weigh the extension, as it does for a path.
    if (opened->input.open(&opened->context, file.path().constData(), format, kIoBufferSize) < 0)
        return nullptr;
    return opened;
}

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
            if (!isAllowedAudioDemuxer(format->name))
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
    if (named && !isAllowedAudioDemuxer(named->name))
        named = nullptr;
    known.insert(extension, named);
    return named;
}

const AVInputFormat* demuxerFor(const QByteArray& path)
{
    const qsizetype dot = path.lastIndexOf('.');
    if (dot < 0 || dot < path.lastIndexOf('/') || dot + 1 == path.size())
        return nullptr;
    return demuxerForExtension(QString::fromLatin1(path.mid(dot + 1)).toLower());
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

double bounded(double seconds)
{
    return seconds > 0.0 && seconds <= kLongestSeconds ? seconds : -1.0;
}

// Seconds, or a negative value when neither the container nor the stream knows (or
// states a length beyond any song's).
double containerDuration(const AVFormatContext* context, int streamIndex)
{
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
        return bounded(double(context->duration) / AV_TIME_BASE);
    const AVStream* stream = context->streams[streamIndex];
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        return bounded(double(stream->duration) * av_q2d(stream->time_base));
    return -1.0;
}

} // namespace

std::optional<AudioProbeResult> probeAudioFile(const MediaFile& file)
{
    // A music directory holds covers, notes and files with odd tags; FFmpeg's warnings
    // about them (once per file) would drown every other line. Errors still show.
    static std::once_flag quieter;
    std::call_once(quieter, [] {
        if (av_log_get_level() == AV_LOG_INFO)
            av_log_set_level(AV_LOG_ERROR);
    });
    if (!file.isOpen())
        return std::nullopt;

    if (const AVInputFormat* format = demuxerFor(file.path())) {
        if (const auto opened = open(file, format)) {
            const int stream = decodableAudioStream(opened->context);
            const double duration = stream >= 0 ? containerDuration(opened->context, stream) : -1.0;
            if (duration > 0.0)
                return AudioProbeResult{duration};
        }
    }

    const auto opened = open(file, nullptr);
    if (!opened)
        return std::nullopt;
    AVFormatContext* context = opened->context;
    int stream = decodableAudioStream(context);
    double duration = stream >= 0 ? containerDuration(context, stream) : -1.0;
    if (stream < 0 || duration < 0.0) {
        // Raw streams and some containers create streams or learn their length only
        // from the packets: let FFmpeg read a few and estimate.
        if (avformat_find_stream_info(context, nullptr) < 0)
            return std::nullopt;
        stream = decodableAudioStream(context);
        if (stream < 0)
            return std::nullopt;
        duration = containerDuration(context, stream);
    }
    return AudioProbeResult{duration > 0.0 ? duration : 0.0};
}

std::optional<AudioProbeResult> probeAudioFile(const QByteArray& path)
{
    return probeAudioFile(MediaFile(path));
}
