// FFmpeg's part of reading a file: is it decodable audio, and how long is it.
//
// Letting FFmpeg guess the format costs more than TagLib's whole tag read, because every
// demuxer's probe runs over the file's head. So the demuxer that claims the file's
// extension opens it first; only when that gives no decodable audio stream with a known
// duration (wrong extension, broken file, a container without a duration in its headers)
// does the full guess run, with a look at the first packets where the headers tell too
// little.

#include "platform/media/MediaFile.h"
#include "platform/media/MediaFileReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/log.h>
}

#include <QHash>

#include <memory>
#include <mutex>

namespace {

// FFmpeg reads the file through the shared MediaFile: a context owns its I/O state.
struct FileInput {
    const MediaFile* file = nullptr;
    int64_t position = 0;
    AVIOContext* io = nullptr;

    static int read(void* opaque, uint8_t* buffer, int size)
    {
        auto* input = static_cast<FileInput*>(opaque);
        const int64_t got = input->file->readAt(input->position, buffer, size);
        if (got <= 0)
            return got == 0 ? AVERROR_EOF : AVERROR(EIO);
        input->position += got;
        return int(got);
    }
    static int64_t seek(void* opaque, int64_t offset, int whence)
    {
        auto* input = static_cast<FileInput*>(opaque);
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return input->file->size();
        case SEEK_SET: break;
        case SEEK_CUR: offset += input->position; break;
        case SEEK_END: offset += input->file->size(); break;
        default: return AVERROR(EINVAL);
        }
        if (offset < 0)
            return AVERROR(EINVAL);
        input->position = offset;
        return offset;
    }
};

struct OpenFormat {
    AVFormatContext* context = nullptr;
    FileInput input;

    OpenFormat() = default;
    OpenFormat(const OpenFormat&) = delete;
    OpenFormat& operator=(const OpenFormat&) = delete;
    ~OpenFormat()
    {
        avformat_close_input(&context);  // leaves a custom I/O context alone
        if (input.io) {
            av_freep(&input.io->buffer);
            avio_context_free(&input.io);
        }
    }
    explicit operator bool() const { return context != nullptr; }
};

// Small reads suit the headers the probe looks at; FFmpeg's own default is 32 KiB.
constexpr int kIoBufferSize = 16 * 1024;

// Opens `file` with `format`, or with FFmpeg's guess when it is null.
std::unique_ptr<OpenFormat> open(const MediaFile& file, const AVInputFormat* format)
{
    auto opened = std::make_unique<OpenFormat>();
    opened->input.file = &file;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
    if (!buffer)
        return nullptr;
    opened->input.io = avio_alloc_context(buffer, kIoBufferSize, 0, &opened->input, &FileInput::read,
                                          nullptr, &FileInput::seek);
    if (!opened->input.io) {
        av_free(buffer);
        return nullptr;
    }
    AVFormatContext* context = avformat_alloc_context();
    if (!context)
        return nullptr;
    context->pb = opened->input.io;
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    // The name lets the format guess weigh the extension, as it does for a path.
    if (avformat_open_input(&context, file.path().constData(), format, nullptr) < 0)
        return nullptr;  // the context is freed on failure
    opened->context = context;
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
