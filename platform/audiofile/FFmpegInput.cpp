#include "platform/audiofile/FFmpegInput.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/avstring.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
}

#include <atomic>
#include <cerrno>

#include <unistd.h>

namespace {

// WAV (RF64 too), Wave64, AIFF, FLAC, MP3, ADTS AAC, MP4/M4A, Ogg (Vorbis, Opus, FLAC),
// WavPack, Monkey's Audio, TTA, CAF and Matroska audio.
constexpr char kAudioDemuxers[] = "wav,w64,aiff,flac,mp3,aac,mov,ogg,wv,ape,tta,caf,matroska";

std::atomic<void (*)(const char*)> g_refusedOpenObserver{nullptr};

int refuseOpen(AVFormatContext*, AVIOContext** pb, const char* url, int, AVDictionary**)
{
    *pb = nullptr;
    if (auto* observer = g_refusedOpenObserver.load())
        observer(url ? url : "");
    return AVERROR(EPERM);
}

int64_t readDescriptor(const void* source, int64_t offset, uint8_t* buffer, int length)
{
    const int fd = int(reinterpret_cast<intptr_t>(source));
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, size_t(length), off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        return got;
    }
}

} // namespace

bool isAllowedAudioDemuxer(const char* demuxerName)
{
    return demuxerName && av_match_list(demuxerName, kAudioDemuxers, ',') > 0;
}

void FFmpegInput::setRefusedOpenObserver(void (*observer)(const char*))
{
    g_refusedOpenObserver.store(observer);
}

FFmpegInput::FFmpegInput(int fd, int64_t size)
    : FFmpegInput(&readDescriptor, reinterpret_cast<const void*>(intptr_t(fd)), size)
{
}

FFmpegInput::FFmpegInput(InputReadAt readAt, const void* source, int64_t size)
    : m_readAt(readAt), m_source(source), m_size(size)
{
}

FFmpegInput::~FFmpegInput()
{
    releaseIo();
}

void FFmpegInput::releaseIo()
{
    if (m_io) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
}

int FFmpegInput::read(void* opaque, uint8_t* buffer, int size)
{
    auto* input = static_cast<FFmpegInput*>(opaque);
    const int64_t got = input->m_readAt(input->m_source, input->m_position, buffer, size);
    if (got <= 0)
        return got == 0 ? AVERROR_EOF : AVERROR(EIO);
    input->m_position += got;
    return int(got);
}

int64_t FFmpegInput::seek(void* opaque, int64_t offset, int whence)
{
    auto* input = static_cast<FFmpegInput*>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return input->m_size;
    case SEEK_SET: break;
    case SEEK_CUR: offset = offset > INT64_MAX - input->m_position ? -1 : offset + input->m_position; break;
    case SEEK_END: offset = offset > INT64_MAX - input->m_size ? -1 : offset + input->m_size; break;
    default: return AVERROR(EINVAL);
    }
    if (offset < 0)
        return AVERROR(EINVAL);
    input->m_position = offset;
    return offset;
}

int FFmpegInput::open(AVFormatContext** context, const char* name, const AVInputFormat* format, int bufferSize,
                      const AVIOInterruptCB* interrupt)
{
    releaseIo();
    m_position = 0;
    auto* buffer = static_cast<unsigned char*>(av_malloc(size_t(bufferSize)));
    if (!buffer)
        return AVERROR(ENOMEM);
    m_io = avio_alloc_context(buffer, bufferSize, 0, this, &FFmpegInput::read, nullptr, &FFmpegInput::seek);
    if (!m_io) {
        av_free(buffer);
        return AVERROR(ENOMEM);
    }
    AVFormatContext* opened = avformat_alloc_context();
    if (!opened)
        return AVERROR(ENOMEM);
    opened->pb = m_io;
    opened->flags |= AVFMT_FLAG_CUSTOM_IO;
    opened->io_open = &refuseOpen;
    if (interrupt)
        opened->interrupt_callback = *interrupt;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kAudioDemuxers, 0);
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int result = avformat_open_input(&opened, name, format, &options);  // frees on failure
    av_dict_free(&options);
    if (result < 0)
        return result;
    *context = opened;
    return 0;
}
