#include "platform/audiofile/FFmpegStreamInfo.h"

#include "platform/audiofile/ExtAudioFile.h"

#include <cerrno>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
}

namespace {

struct PcmLayout {
    UInt32 bits;
    bool bigEndian;
    bool isFloat;
    bool isSigned;
};

bool pcmLayoutOf(AVCodecID id, PcmLayout& layout)
{
    switch (id) {
    case AV_CODEC_ID_PCM_U8: layout = {8, false, false, false}; return true;
    case AV_CODEC_ID_PCM_S8: layout = {8, false, false, true}; return true;
    case AV_CODEC_ID_PCM_S16LE: layout = {16, false, false, true}; return true;
    case AV_CODEC_ID_PCM_S16BE: layout = {16, true, false, true}; return true;
    case AV_CODEC_ID_PCM_S24LE: layout = {24, false, false, true}; return true;
    case AV_CODEC_ID_PCM_S24BE: layout = {24, true, false, true}; return true;
    case AV_CODEC_ID_PCM_S32LE: layout = {32, false, false, true}; return true;
    case AV_CODEC_ID_PCM_S32BE: layout = {32, true, false, true}; return true;
    case AV_CODEC_ID_PCM_F32LE: layout = {32, false, true, true}; return true;
    case AV_CODEC_ID_PCM_F32BE: layout = {32, true, true, true}; return true;
    case AV_CODEC_ID_PCM_F64LE: layout = {64, false, true, true}; return true;
    case AV_CODEC_ID_PCM_F64BE: layout = {64, true, true, true}; return true;
    default: return false;
    }
}

UInt32 compressedFormatId(const AVCodecParameters& stream)
{
    switch (stream.codec_id) {
    case AV_CODEC_ID_AAC: return kAudioFormatMPEG4AAC;
    case AV_CODEC_ID_ALAC: return kAudioFormatAppleLossless;
    case AV_CODEC_ID_MP3: return kAudioFormatMPEGLayer3;
    case AV_CODEC_ID_FLAC: return kAudioFormatFLAC;
    case AV_CODEC_ID_VORBIS: return kAudioFormatVorbis;
    case AV_CODEC_ID_OPUS: return kAudioFormatOpus;
    default: return stream.codec_tag; // the container's own code, or 0
    }
}

} // namespace

AudioStreamBasicDescription fileDataFormatOf(const AVCodecParameters& stream)
{
    AudioStreamBasicDescription format{};
    format.mSampleRate = stream.sample_rate;
    format.mChannelsPerFrame = UInt32(stream.ch_layout.nb_channels);
    PcmLayout pcm{};
    if (pcmLayoutOf(stream.codec_id, pcm)) {
        format.mFormatID = kAudioFormatLinearPCM;
        format.mFormatFlags = kAudioFormatFlagIsPacked
                            | (pcm.isFloat ? kAudioFormatFlagIsFloat : 0)
                            | (pcm.isSigned && !pcm.isFloat ? kAudioFormatFlagIsSignedInteger : 0)
                            | (pcm.bigEndian && pcm.bits > 8 ? kAudioFormatFlagIsBigEndian : 0);
        format.mBitsPerChannel = pcm.bits;
        format.mBytesPerFrame = pcm.bits / 8 * format.mChannelsPerFrame;
        format.mBytesPerPacket = format.mBytesPerFrame;
        format.mFramesPerPacket = 1;
        return format;
    }
    format.mFormatID = compressedFormatId(stream);
    format.mFramesPerPacket = stream.frame_size > 0 ? UInt32(stream.frame_size) : 0;
    if (stream.codec_id == AV_CODEC_ID_ALAC || stream.codec_id == AV_CODEC_ID_FLAC) {
        // Lossless formats name their source depth in the flags: 1 = 16, 2 = 20, 3 = 24,
        // 4 = 32 bits.
        switch (stream.bits_per_raw_sample) {
        case 16: format.mFormatFlags = 1; break;
        case 20: format.mFormatFlags = 2; break;
        case 24: format.mFormatFlags = 3; break;
        case 32: format.mFormatFlags = 4; break;
        default: break;
        }
    }
    return format;
}

OSStatus statusFromAVError(int averror)
{
    if (averror == AVERROR(ENOENT))
        return fnfErr;
    if (averror == AVERROR(EACCES) || averror == AVERROR(EPERM))
        return kAudioFilePermissionsError;
    if (averror == AVERROR(EISDIR) || averror == AVERROR_STREAM_NOT_FOUND
        || averror == AVERROR_PROTOCOL_NOT_FOUND || averror == AVERROR_DEMUXER_NOT_FOUND)
        return kAudioFileUnsupportedFileTypeError;
    if (averror == AVERROR_DECODER_NOT_FOUND || averror == AVERROR_PATCHWELCOME)
        return kAudioFileUnsupportedDataFormatError;
    if (averror == AVERROR_EOF || averror == AVERROR_INVALIDDATA)
        return kAudioFileInvalidFileError;
    return kAudioFileUnspecifiedError;
}

bool decodesWithoutPreroll(const AVCodecParameters& stream)
{
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(stream.codec_id);
    if (!descriptor)
        return false;
    return (descriptor->props & AV_CODEC_PROP_LOSSLESS) && !(descriptor->props & AV_CODEC_PROP_LOSSY);
}
