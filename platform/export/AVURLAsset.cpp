#include "platform/export/AVURLAsset.h"

#include "platform/audiofile/FFmpegInput.h"
#include "platform/foundation/LocalFileURL.h"
#include "platform/foundation/SafeFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// FFmpeg's codec tags are four bytes in file order, first byte lowest; a format identifier
// holds its first character in the highest byte.
UInt32 formatIDFromCodecTag(uint32_t tag)
{
    return ((tag & 0xFFu) << 24) | ((tag & 0xFF00u) << 8) | ((tag >> 8) & 0xFF00u) | (tag >> 24);
}

// Codecs without a tag (WavPack, Monkey's Audio, TTA in their own containers) are named
// by their decoder, padded with spaces; 0 when FFmpeg has no decoder for the codec.
UInt32 formatIDFromDecoderName(AVCodecID id)
{
    const AVCodec* decoder = avcodec_find_decoder(id);
    if (!decoder || !decoder->name)
        return 0;
    char name[4] = {' ', ' ', ' ', ' '};
    for (int i = 0; i < 4 && decoder->name[i] != '\0'; ++i)
        name[i] = decoder->name[i];
    return (UInt32(uint8_t(name[0])) << 24) | (UInt32(uint8_t(name[1])) << 16) | (UInt32(uint8_t(name[2])) << 8)
         | UInt32(uint8_t(name[3]));
}

struct PcmLayout {
    bool isFloat;
    bool isSigned;
    bool bigEndian;
};

std::optional<PcmLayout> pcmLayout(AVCodecID id, bool aiffContainer)
{
    switch (id) {
    case AV_CODEC_ID_PCM_S16LE: case AV_CODEC_ID_PCM_S24LE: case AV_CODEC_ID_PCM_S32LE:
        return PcmLayout{false, true, false};
    case AV_CODEC_ID_PCM_S16BE: case AV_CODEC_ID_PCM_S24BE: case AV_CODEC_ID_PCM_S32BE:
        return PcmLayout{false, true, true};
    case AV_CODEC_ID_PCM_F32LE: case AV_CODEC_ID_PCM_F64LE:
        return PcmLayout{true, false, false};
    case AV_CODEC_ID_PCM_F32BE: case AV_CODEC_ID_PCM_F64BE:
        return PcmLayout{true, false, true};
    case AV_CODEC_ID_PCM_U8:
        return PcmLayout{false, false, false};
    case AV_CODEC_ID_PCM_S8:
        // Single bytes have no byte order; an AIFF file is a big-endian container.
        return PcmLayout{false, true, aiffContainer};
    default:
        return std::nullopt;
    }
}

AudioStreamBasicDescription describeAudioStream(const AVStream* stream, bool aiffContainer)
{
    const AVCodecParameters* par = stream->codecpar;
    AudioStreamBasicDescription d;
    std::memset(&d, 0, sizeof d);
    d.mSampleRate = par->sample_rate;
    d.mChannelsPerFrame = UInt32(par->ch_layout.nb_channels > 0 ? par->ch_layout.nb_channels : 0);

    if (auto pcm = pcmLayout(par->codec_id, aiffContainer)) {
        const int bits = av_get_bits_per_sample(par->codec_id);
        d.mFormatID = kAudioFormatLinearPCM;
        d.mFormatFlags = kAudioFormatFlagIsPacked
            | (pcm->isFloat ? kAudioFormatFlagIsFloat : 0)
            | (pcm->isSigned ? kAudioFormatFlagIsSignedInteger : 0)
            | (pcm->bigEndian ? kAudioFormatFlagIsBigEndian : 0);
        d.mBitsPerChannel = UInt32(bits);
        d.mBytesPerFrame = UInt32(bits / 8) * d.mChannelsPerFrame;
        d.mBytesPerPacket = d.mBytesPerFrame;
        d.mFramesPerPacket = 1;
        return d;
    }

    switch (par->codec_id) {
    case AV_CODEC_ID_AAC:
        d.mFormatID = kAudioFormatMPEG4AAC;
        d.mFramesPerPacket = 1024;
        break;
    case AV_CODEC_ID_ALAC:
        d.mFormatID = kAudioFormatAppleLossless;
        d.mFramesPerPacket = 4096;
        break;
    case AV_CODEC_ID_MP3:
        d.mFormatID = kAudioFormatMPEGLayer3;
        d.mFramesPerPacket = 1152;
        break;
    case AV_CODEC_ID_FLAC:
        d.mFormatID = kAudioFormatFLAC;
        break;
    case AV_CODEC_ID_VORBIS:
        d.mFormatID = kAudioFormatVorbis;
        break;
    case AV_CODEC_ID_OPUS:
        d.mFormatID = kAudioFormatOpus;
        break;
    default:
        // Only what FFmpeg can decode gets an identifier: the rest cannot be played.
        d.mFormatID = avcodec_find_decoder(par->codec_id) ? formatIDFromCodecTag(par->codec_tag) : 0;
        if (d.mFormatID == 0)
            d.mFormatID = formatIDFromDecoderName(par->codec_id);
        break;
    }
    if (d.mFramesPerPacket == 0 && par->frame_size > 0)
        d.mFramesPerPacket = UInt32(par->frame_size);
    return d;
}

} // namespace

std::shared_ptr<AVURLAsset> AVURLAsset::URLAssetWithURL(const QUrl& url)
{
    return std::make_shared<AVURLAsset>(url);
}

AVURLAsset::AVURLAsset(QUrl url) : m_url(std::move(url)) {}

QList<AVAssetTrack> AVURLAsset::tracksWithMediaType(const QString& mediaType) const
{
    std::call_once(m_loaded, [this] { loadTracks(); });
    QList<AVAssetTrack> result;
    for (const AVAssetTrack& track : m_tracks) {
        if (track.mediaType() == mediaType)
            result.append(track);
    }
    return result;
}

void AVURLAsset::loadTracks() const
{
    if (m_url.isEmpty() || !m_url.isLocalFile())
        return;
    const QByteArray path = pathBytesOfFileURL(m_url);

    const int fd = openRegularFile(path.constData());
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    FFmpegInput input(fd, int64_t(status.st_size));
    AVFormatContext* fmt = nullptr;
    if (input.open(&fmt, path.constData()) < 0 || avformat_find_stream_info(fmt, nullptr) < 0) {
        avformat_close_input(&fmt);
        ::close(fd);
        return;
    }
    const bool aiff = fmt->iformat && std::strcmp(fmt->iformat->name, "aiff") == 0;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVStream* stream = fmt->streams[i];
        switch (stream->codecpar->codec_type) {
        case AVMEDIA_TYPE_AUDIO:
            m_tracks.append(AVAssetTrack(AVMediaTypeAudio, {describeAudioStream(stream, aiff)}));
            break;
        case AVMEDIA_TYPE_VIDEO:
            m_tracks.append(AVAssetTrack(AVMediaTypeVideo, {}));
            break;
        default:
            break;
        }
    }
    avformat_close_input(&fmt);
    ::close(fd);
}
