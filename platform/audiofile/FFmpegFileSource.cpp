#include "platform/audiofile/FFmpegFileSource.h"

#include "platform/audiofile/ExtAudioFile.h"
#include "platform/audiofile/FFmpegInput.h"
#include "platform/audiofile/FFmpegStreamInfo.h"
#include "platform/foundation/SafeFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <numeric>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A length beyond this is not a song's: a crafted header's frame count is taken as
// unknown (counted from the packets instead), and nothing computed from a length can
// overflow.
constexpr SInt64 kLongestSeconds = 7 * 24 * 3600;

bool plausibleLength(SInt64 frames, int rate)
{
    return frames >= 0 && frames <= kLongestSeconds * rate;
}

// The resampler's filter grows with the ratio of the rates: a stated rate of hundreds of
// megahertz costs seconds of computing at every open and seek. No music is made above this.
constexpr int kHighestFileRate = 768000;

// Lossy decoders need the packets before a seek target to rebuild their state (overlapped
// transforms, the MP3 bit reservoir, Opus' pre-roll): decode this many frames before it.
constexpr int kLossyPrerollFrames = 8192;
// Corrupt packets are skipped, as players do; this many in a row make the file unreadable.
constexpr int kMaxDecodeErrorsInARow = 32;
// When decoding ends a little before the length the container gives, the rest is
// delivered as silence so that the length holds; a bigger gap means a truncated file,
// whose reads end where its data ends.
constexpr SInt64 kMaxPaddingFrames = 8192;
// Input frames before a resampled seek target whose output is discarded, so the filter's
// history is the same as when the track is read straight through.
constexpr SInt64 kResamplerMarginFrames = 256;
// Output frames per step while discarding up to a resampled seek target.
constexpr UInt32 kScratchFrames = 4096;
// The longest one open, read or seek may wait for the file to deliver anything more
// before FFmpeg gives up on it.
constexpr auto kIoTimeout = std::chrono::seconds(2);

void quietenFFmpegWarnings()
{
    // Warnings about ordinary files ("Estimating duration from bitrate") are noise on the
    // console; errors still show. Left alone when someone has chosen a level already.
    static std::once_flag once;
    std::call_once(once, [] {
        if (av_log_get_level() == AV_LOG_INFO)
            av_log_set_level(AV_LOG_ERROR);
    });
}

uint32_t littleEndian32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

// Samples that the decoder drops from a packet (priming at the start, padding at the end),
// as the demuxer marks them.
SInt64 samplesSkippedIn(const AVPacket& packet)
{
    size_t size = 0;
    const uint8_t* data = av_packet_get_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
    if (!data || size < 8)
        return 0;
    return SInt64(littleEndian32(data)) + SInt64(littleEndian32(data + 4));
}

// Containers whose packets carry, after a seek, the same timestamps as when read from the
// start: an index (MP4, and MP3 once scanned), fixed-size frames (WAV, AIFF), sample
// numbers in every frame (FLAC) or granule positions on every page (Ogg, whose demuxer
// finds the page by bisection; see firstPacketPtsUnreliable_ for its one exception).
bool hasExactSeekTimestamps(const char* demuxer)
{
    for (const char* name : {"wav", "aiff", "flac", "mp3", "ogg", "mov,mp4,m4a,3gp,3g2,mj2"}) {
        if (std::strcmp(demuxer, name) == 0)
            return true;
    }
    return false;
}

} // namespace

OSStatus FFmpegFileSource::open(const std::string& path, std::unique_ptr<AudioFileSource>& out)
{
    std::unique_ptr<FFmpegFileSource> source(new FFmpegFileSource);
    const OSStatus status = source->openFile(path);
    if (status != noErr)
        return status;
    out = std::move(source);
    return noErr;
}

FFmpegFileSource::~FFmpegFileSource()
{
    swr_free(&resampler_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&decoder_);
    avformat_close_input(&format_);
    if (fd_ >= 0)
        ::close(fd_);
}

OSStatus FFmpegFileSource::openFile(const std::string& path)
{
    quietenFFmpegWarnings();
    path_ = path;
    // Only a regular file, opened without waiting (a FIFO in a song's place would block).
    fd_ = openRegularFile(path.c_str());
    struct stat file {};
    if (fd_ < 0 || ::fstat(fd_, &file) != 0)
        return fd_ < 0 && errno == EINVAL ? kAudioFileUnsupportedFileTypeError : statusFromAVError(AVERROR(errno));
    input_ = std::make_unique<FFmpegInput>(fd_, int64_t(file.st_size));
    int result = openDemuxer();
    if (result < 0) {
        // No demuxer recognised it, or the one that thought it did gave up: not audio.
        const OSStatus status = statusFromAVError(result);
        return status == kAudioFileInvalidFileError || status == kAudioFileUnspecifiedError
             ? kAudioFileUnsupportedFileTypeError : status;
    }
    if (avformat_find_stream_info(format_, nullptr) < 0)
        return kAudioFileInvalidFileError;

    // Cover art comes as an extra video stream; take the main audio stream.
    const AVCodec* codec = nullptr;
    result = av_find_best_stream(format_, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (result < 0)
        return statusFromAVError(result);
    codec_ = codec;
    stream_ = result;
    discardOtherStreams();
    AVStream* stream = format_->streams[stream_];
    const AVCodecParameters& params = *stream->codecpar;
    if (params.sample_rate <= 0 || params.ch_layout.nb_channels <= 0)
        return kAudioFileInvalidFileError;
    fileFormat_ = fileDataFormatOf(params);
    fileRate_ = params.sample_rate;
    seekPrerollFrames_ = decodesWithoutPreroll(params) ? 0 : std::max(kLossyPrerollFrames, params.seek_preroll);
    firstPacketPts_ = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    seekByTimestamp_ = hasExactSeekTimestamps(format_->iformat->name);
    firstPacketPtsUnreliable_ = std::strcmp(format_->iformat->name, "ogg") == 0;

    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    if (!packet_ || !frame_)
        return kAudioFileUnspecifiedError;
    if (const OSStatus status = openDecoder(); status != noErr)
        return status;

    // The track's length in file frames. MP4, FLAC, WAV, AIFF and Ogg state it exactly
    // (MP4's edit list already leaves out the AAC priming and end padding). MP3 headers
    // only estimate it, so the packets are counted and the gapless priming and padding
    // taken off; the scan also lets FFmpeg index the packets, so MP3 seeks land exactly.
    SInt64 fileFrames = -1;
    const bool statedLength = stream->duration != AV_NOPTS_VALUE
                           && plausibleLength(av_rescale_q(stream->duration, stream->time_base, AVRational{1, fileRate_}), fileRate_);
    if (params.codec_id == AV_CODEC_ID_MP3 || !statedLength) {
        const OSStatus status = measureByScanning(fileFrames);
        if (status != noErr)
            return status;
    }
    if (fileFrames < 0 && statedLength) {
        fileFrames = av_rescale_q(stream->duration, stream->time_base, AVRational{1, fileRate_});
        // An Ogg Opus length counts the pre-skip that the decoder drops.
        if (std::strcmp(format_->iformat->name, "ogg") == 0)
            fileFrames -= params.initial_padding;
    }
    if (fileFrames < 0 && format_->duration != AV_NOPTS_VALUE)
        fileFrames = av_rescale(format_->duration, fileRate_, AV_TIME_BASE);
    if (!plausibleLength(fileFrames, fileRate_))
        return kAudioFileInvalidFileError;
    fileLength_ = fileFrames;

    // Decode the first frame: it fixes the timestamp of the track's first sample, against
    // which frames decoded after a seek are placed, and proves the stream decodes at all.
    syncOnPts_ = true;
    dropBefore_ = 0;
    OSStatus status = nextFrame();
    if (status != noErr)
        return status;
    if (!haveOrigin_ && fileLength_ > 0)
        return kAudioFileInvalidFileError; // the container promises audio that is not there
    return setClientFormat(44100, std::min<UInt32>(2, UInt32(params.ch_layout.nb_channels)));
}

OSStatus FFmpegFileSource::openDecoder()
{
    avcodec_free_context(&decoder_);
    const AVStream* stream = format_->streams[stream_];
    decoder_ = avcodec_alloc_context3(codec_);
    if (!decoder_)
        return kAudioFileUnspecifiedError;
    if (avcodec_parameters_to_context(decoder_, stream->codecpar) < 0)
        return kAudioFileUnsupportedDataFormatError;
    decoder_->pkt_timebase = stream->time_base;
    if (avcodec_open2(decoder_, codec_, nullptr) < 0)
        return kAudioFileUnsupportedDataFormatError;
    return noErr;
}

int FFmpegFileSource::InterruptIfLate(void* self)
{
    // Reading that moves on (a long file scanned on a busy machine) is never cut short.
    auto* source = static_cast<FFmpegFileSource*>(self);
    const int64_t at = source->input_->position();
    if (at != source->ioProgress_) {
        source->ioProgress_ = at;
        source->armIoDeadline();
        return 0;
    }
    return std::chrono::steady_clock::now() > source->ioDeadline_ ? 1 : 0;
}

void FFmpegFileSource::armIoDeadline()
{
    ioDeadline_ = std::chrono::steady_clock::now() + kIoTimeout;
}

int FFmpegFileSource::openDemuxer()
{
    // Only the file itself, through its descriptor, and only an audio demuxer: a crafted
    // playlist or reference file must not make FFmpeg open anything else. A read that
    // makes no progress (a stalled network mount, a disk that stopped answering) gives up
    // at its deadline instead of holding its thread, and with it the main thread that
    // seeks, for ever. FFmpeg asks between its attempts; a read the kernel itself blocks
    // in returns first.
    armIoDeadline();
    const AVIOInterruptCB interrupt{&InterruptIfLate, this};
    return input_->open(&format_, path_.c_str(), nullptr, FFmpegInput::kDefaultBufferSize, &interrupt);
}

void FFmpegFileSource::discardOtherStreams()
{
    for (unsigned i = 0; i < format_->nb_streams; ++i) {
        if (int(i) != stream_)
            format_->streams[i]->discard = AVDISCARD_ALL;
    }
}

OSStatus FFmpegFileSource::measureByScanning(SInt64& fileFrames)
{
    armIoDeadline(); // the whole file is read: a deadline of its own
    AVStream* stream = format_->streams[stream_];
    int64_t duration = 0;
    SInt64 skipped = 0;
    bool first = true;
    bool durationsKnown = true;
    while (av_read_frame(format_, packet_) >= 0) {
        if (packet_->stream_index == stream_) {
            if (first && packet_->pts != AV_NOPTS_VALUE)
                firstPacketPts_ = packet_->pts;
            first = false;
            if (packet_->duration > 0 && packet_->duration <= INT64_MAX - duration)
                duration += packet_->duration;
            else if (packet_->duration > 0)
                duration = INT64_MAX;
            else
                durationsKnown = false;
            skipped += samplesSkippedIn(*packet_);
        }
        av_packet_unref(packet_);
    }
    const SInt64 counted = durationsKnown ? av_rescale_q(duration, stream->time_base, AVRational{1, fileRate_}) : -1;
    if (plausibleLength(counted, fileRate_))
        fileFrames = std::max<SInt64>(0, counted - skipped);
    if (av_seek_frame(format_, stream_, firstPacketPts_, AVSEEK_FLAG_BACKWARD) < 0)
        return kAudioFileInvalidFileError;
    return noErr;
}

OSStatus FFmpegFileSource::setClientFormat(UInt32 rate, UInt32 channels)
{
    armIoDeadline();
    if (channels < 1 || channels > 2 || rate == 0)
        return kAudioFileUnsupportedDataFormatError;
    clientRate_ = rate;
    clientChannels_ = channels;
    const int decodedRate = decoder_->sample_rate > 0 ? decoder_->sample_rate : fileRate_;
    const OSStatus status = configureResampler(decoder_->sample_fmt, decodedRate, &decoder_->ch_layout);
    if (status != noErr)
        return status;
    scratch_.assign(size_t(kScratchFrames) * channels, 0);
    clientLength_ = av_rescale(fileLength_, SInt64(rate), fileRate_);  // the length is bounded
    return seek(0);
}

OSStatus FFmpegFileSource::configureResampler(int format, int rate, const void* layout)
{
    swr_free(&resampler_);
    if (rate <= 0 || rate > kHighestFileRate)
        return kAudioFileUnsupportedDataFormatError;
    AVChannelLayout in{};
    if (av_channel_layout_copy(&in, static_cast<const AVChannelLayout*>(layout)) < 0)
        return kAudioFileUnspecifiedError;
    if (in.order == AV_CHANNEL_ORDER_UNSPEC) {
        const int count = in.nb_channels;
        av_channel_layout_uninit(&in);
        av_channel_layout_default(&in, count);
    }
    AVChannelLayout out{};
    av_channel_layout_default(&out, int(clientChannels_));
    int result = swr_alloc_set_opts2(&resampler_, &out, AV_SAMPLE_FMT_S16, int(clientRate_), &in,
                                     AVSampleFormat(format), rate, 0, nullptr);
    const int inChannels = in.nb_channels;
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    if (result < 0)
        return kAudioFileUnsupportedDataFormatError;
    // A mono track plays at full level on both sides, and a stereo track folds to mono as
    // the mean of its two channels (FFmpeg's default mixes mono down by 3 dB).
    if (inChannels == 1 && clientChannels_ == 2) {
        const double matrix[2] = {1.0, 1.0};
        swr_set_matrix(resampler_, matrix, 1);
    } else if (inChannels == 2 && clientChannels_ == 1) {
        const double matrix[2] = {0.5, 0.5};
        swr_set_matrix(resampler_, matrix, 2);
    }
    if (swr_init(resampler_) < 0)
        return kAudioFileUnsupportedDataFormatError;
    resamplerInFormat_ = format;
    resamplerInRate_ = rate;
    resamplerInChannels_ = inChannels;
    inputPlanes_.assign(size_t(inChannels), nullptr);
    resamplerDrained_ = false;
    return noErr;
}

SInt64 FFmpegFileSource::fileIndexOfPts(int64_t pts) const
{
    return av_rescale_q(pts, format_->streams[stream_]->time_base, AVRational{1, fileRate_});
}

OSStatus FFmpegFileSource::nextFrame()
{
    for (;;) {
        int result = avcodec_receive_frame(decoder_, frame_);
        if (result == 0) {
            decodeErrors_ = 0;
            takeFrame();
            return noErr;
        }
        if (result == AVERROR_EOF) {
            decoderDone_ = true;
            haveFrame_ = false;
            return noErr;
        }
        if (result != AVERROR(EAGAIN)) {
            if (++decodeErrors_ > kMaxDecodeErrorsInARow)
                return kAudioFileInvalidFileError;
            continue;
        }
        if (demuxDone_) { // the decoder wants input after it was told there is none
            decoderDone_ = true;
            haveFrame_ = false;
            return noErr;
        }
        if (heldPacket_) {
            heldPacket_ = false;
            result = 0;
        } else {
            result = av_read_frame(format_, packet_);
        }
        if (result < 0) {
            if (result != AVERROR_EOF && !avio_feof(format_->pb)) {
                if (++decodeErrors_ > kMaxDecodeErrorsInARow)
                    return statusFromAVError(result);
                continue;
            }
            demuxDone_ = true;
            avcodec_send_packet(decoder_, nullptr);
            continue;
        }
        if (packet_->stream_index != stream_) {
            av_packet_unref(packet_);
            continue;
        }
        if (!haveOrigin_ && packet_->pts != AV_NOPTS_VALUE)
            firstPacketPts_ = std::min<int64_t>(firstPacketPts_, packet_->pts);
        result = avcodec_send_packet(decoder_, packet_);
        av_packet_unref(packet_);
        if (result < 0 && result != AVERROR(EAGAIN) && ++decodeErrors_ > kMaxDecodeErrorsInARow)
            return kAudioFileInvalidFileError;
    }
}

void FFmpegFileSource::takeFrame()
{
    const int64_t pts = frame_->pts != AV_NOPTS_VALUE ? frame_->pts : frame_->best_effort_timestamp;
    if (syncOnPts_) {
        // The first frame after opening or a seek: place it by its timestamp. Without one,
        // only a restart from the beginning can count frames (index 0).
        if (!haveOrigin_) {
            originPtsIndex_ = pts != AV_NOPTS_VALUE ? fileIndexOfPts(pts) : 0;
            haveOrigin_ = true;
            frameIndex_ = 0;
        } else if (pts != AV_NOPTS_VALUE) {
            frameIndex_ = fileIndexOfPts(pts) - originPtsIndex_;
        } else {
            frameIndex_ = nextFrameIndex_;
            frameIndexKnown_ = false;
        }
        syncOnPts_ = false;
    } else {
        frameIndex_ = nextFrameIndex_;
    }
    const int samples = frame_->nb_samples;
    nextFrameIndex_ = frameIndex_ + samples;
    frameOffset_ = int(std::clamp<SInt64>(dropBefore_ - frameIndex_, 0, samples));
    frameEnd_ = int(std::clamp<SInt64>(fileLength_ - frameIndex_, 0, samples));
    haveFrame_ = frameOffset_ < frameEnd_;
    if (frameIndex_ >= fileLength_) {
        // Past the track's end: what follows is encoder padding.
        decoderDone_ = true;
        haveFrame_ = false;
    }
    if (resampler_ && (frame_->format != resamplerInFormat_ || frame_->sample_rate != resamplerInRate_
        || frame_->ch_layout.nb_channels != resamplerInChannels_)) {
        // A stream that changes its layout midway; rare enough to set up anew here.
        if (configureResampler(frame_->format, frame_->sample_rate, &frame_->ch_layout) != noErr)
            haveFrame_ = false;
    }
}

OSStatus FFmpegFileSource::restartAtBeginning()
{
    if (heldPacket_) {
        av_packet_unref(packet_);
        heldPacket_ = false;
    }
    if (seekByTimestamp_ && !firstPacketPtsUnreliable_) {
        if (av_seek_frame(format_, stream_, firstPacketPts_, AVSEEK_FLAG_BACKWARD) < 0
            && avformat_seek_file(format_, stream_, INT64_MIN, firstPacketPts_, INT64_MAX, 0) < 0)
            return kAudioFileInvalidFileError;
    } else {
        // Open the file afresh, so the packets come with the same timestamps as the first
        // time it was read.
        avformat_close_input(&format_);
        if (openDemuxer() < 0 || avformat_find_stream_info(format_, nullptr) < 0
            || int(format_->nb_streams) <= stream_)
            return kAudioFileInvalidFileError;
        discardOtherStreams();
    }
    if (const OSStatus status = openDecoder(); status != noErr)
        return status;
    haveFrame_ = demuxDone_ = decoderDone_ = false;
    decodeErrors_ = 0;
    syncOnPts_ = true;
    nextFrameIndex_ = 0;
    return noErr;
}

OSStatus FFmpegFileSource::positionDecoderAt(SInt64 fileFrame)
{
    dropBefore_ = fileFrame;
    // In Ogg the first page after a seek is dropped (dropFirstPageAfterSeek): land a
    // page's length earlier, so the packets kept still begin before the pre-roll.
    const SInt64 start = fileFrame - seekPrerollFrames_ - (firstPacketPtsUnreliable_ ? SInt64(fileRate_) : 0);
    if (start > 0 && seekByTimestamp_) {
        AVStream* stream = format_->streams[stream_];
        const int64_t ts = av_rescale_q(originPtsIndex_ + start, AVRational{1, fileRate_}, stream->time_base);
        if (avformat_seek_file(format_, stream_, INT64_MIN, ts, ts, 0) >= 0 && dropFirstPageAfterSeek()) {
            if (const OSStatus status = openDecoder(); status != noErr)
                return status;
            haveFrame_ = demuxDone_ = decoderDone_ = false;
            decodeErrors_ = 0;
            syncOnPts_ = true;
            frameIndexKnown_ = true;
            const OSStatus status = nextFrame();
            if (status != noErr)
                return status;
            // Usable when the first frame is placed by its timestamp at or before the
            // target; otherwise decode from the beginning and count.
            if (decoderDone_ || (frameIndexKnown_ && frameIndex_ <= fileFrame))
                return noErr;
        }
    }
    OSStatus status = restartAtBeginning();
    if (status == noErr && start > 0)
        status = skipPacketsBefore(start);
    if (status == noErr)
        status = nextFrame();
    return status;
}

bool FFmpegFileSource::dropFirstPageAfterSeek()
{
    heldPacket_ = false;
    if (!firstPacketPtsUnreliable_)
        return true;
    // The packets of one page share its position. The first packet of the next page is
    // kept for the new decoder; the pre-roll before the target covers what it needs.
    int64_t firstPage = -1;
    while (av_read_frame(format_, packet_) >= 0) {
        if (packet_->stream_index == stream_) {
            if (firstPage < 0)
                firstPage = packet_->pos;
            if (packet_->pos != firstPage && packet_->pts != AV_NOPTS_VALUE) {
                heldPacket_ = true;
                return true;
            }
        }
        av_packet_unref(packet_);
    }
    return false;
}

OSStatus FFmpegFileSource::skipPacketsBefore(SInt64 fileFrame)
{
    const int64_t ts = av_rescale_q(originPtsIndex_ + fileFrame, AVRational{1, fileRate_},
                                    format_->streams[stream_]->time_base);
    for (;;) {
        if (av_read_frame(format_, packet_) < 0) {
            demuxDone_ = true;
            avcodec_send_packet(decoder_, nullptr);
            return noErr;
        }
        const bool wholeBefore = packet_->pts != AV_NOPTS_VALUE && packet_->duration > 0
                              && packet_->pts + packet_->duration <= ts;
        if (packet_->stream_index != stream_ || wholeBefore) {
            av_packet_unref(packet_);
            continue;
        }
        const int result = avcodec_send_packet(decoder_, packet_);
        av_packet_unref(packet_);
        return result < 0 && result != AVERROR(EAGAIN) ? kAudioFileInvalidFileError : noErr;
    }
}

OSStatus FFmpegFileSource::produce(int16_t* out, int frames, int* produced)
{
    uint8_t* destination = reinterpret_cast<uint8_t*>(out);
    *produced = 0;
    for (;;) {
        if (haveFrame_) {
            const int available = frameEnd_ - frameOffset_;
            const int wanted = resamplerInRate_ == int(clientRate_)
                             ? frames
                             : int(SInt64(frames) * resamplerInRate_ / SInt64(clientRate_)) + 1;
            const int feed = std::min(available, wanted);
            const int bytesPerSample = av_get_bytes_per_sample(AVSampleFormat(frame_->format));
            if (av_sample_fmt_is_planar(AVSampleFormat(frame_->format))) {
                for (size_t c = 0; c < inputPlanes_.size(); ++c)
                    inputPlanes_[c] = frame_->extended_data[c] + size_t(frameOffset_) * bytesPerSample;
            } else {
                inputPlanes_[0] = frame_->extended_data[0]
                                + size_t(frameOffset_) * bytesPerSample * inputPlanes_.size();
            }
            const int result = swr_convert(resampler_, &destination, frames, inputPlanes_.data(), feed);
            if (result < 0)
                return kAudioFileUnspecifiedError;
            frameOffset_ += feed;
            haveFrame_ = frameOffset_ < frameEnd_;
            if (result > 0) {
                *produced = result;
                return noErr;
            }
            continue;
        }
        if (!decoderDone_) {
            const OSStatus status = nextFrame();
            if (status != noErr)
                return status;
            continue;
        }
        if (!resamplerDrained_) {
            const int result = swr_convert(resampler_, &destination, frames, nullptr, 0);
            if (result < 0)
                return kAudioFileUnspecifiedError;
            if (result > 0) {
                *produced = result;
                return noErr;
            }
            resamplerDrained_ = true;
        }
        return noErr;
    }
}

OSStatus FFmpegFileSource::read(int16_t* out, UInt32 frames, UInt32* delivered)
{
    armIoDeadline();
    *delivered = 0;
    if (pendingError_ != noErr) {
        const OSStatus status = pendingError_;
        pendingError_ = noErr;
        return status;
    }
    UInt32 done = 0;
    while (done < frames && clientPosition_ < clientLength_ && !dataEnded_) {
        const int wanted = int(std::min<SInt64>(frames - done, clientLength_ - clientPosition_));
        int16_t* destination = out + size_t(done) * clientChannels_;
        int produced = 0;
        const OSStatus status = produce(destination, wanted, &produced);
        if (status != noErr) {
            // Frames already decoded in this call still go out; the error comes next call.
            if (done == 0)
                return status;
            pendingError_ = status;
            break;
        }
        if (produced == 0) {
            if (clientLength_ - clientPosition_ > kMaxPaddingFrames) {
                // The file holds less than it states: its length is what it holds, so
                // that the position, the length and the reads agree from here on.
                dataEnded_ = true;
                clientLength_ = clientPosition_;
                break;
            }
            std::memset(destination, 0, size_t(wanted) * clientChannels_ * sizeof(int16_t));
            produced = wanted;
        }
        done += UInt32(produced);
        clientPosition_ += produced;
    }
    *delivered = done;
    return noErr;
}

OSStatus FFmpegFileSource::seek(SInt64 frame)
{
    armIoDeadline();
    pendingError_ = noErr;
    dataEnded_ = false;
    if (frame >= clientLength_) {
        clientPosition_ = clientLength_;
        return noErr;
    }
    // With resampling, start the resampler on an input frame whose time is also a whole
    // output frame, a little before the target, and discard output up to the target: the
    // resampler then works on the same sample grid, with the same history, as when the
    // track is read from its start, and delivers the same frames.
    SInt64 fileStart = frame;
    SInt64 clientStart = frame;
    if (resamplerInRate_ != int(clientRate_)) {
        const SInt64 common = std::gcd(SInt64(resamplerInRate_), SInt64(clientRate_));
        const SInt64 inputStep = resamplerInRate_ / common;
        const SInt64 outputStep = clientRate_ / common;
        const SInt64 target = frame * resamplerInRate_ / clientRate_;
        const SInt64 steps = target > kResamplerMarginFrames ? (target - kResamplerMarginFrames) / inputStep : 0;
        fileStart = steps * inputStep;
        clientStart = steps * outputStep;
    }
    if (swr_init(resampler_) < 0)
        return kAudioFileUnspecifiedError;
    resamplerDrained_ = false;
    OSStatus status = positionDecoderAt(fileStart);
    clientPosition_ = clientStart;
    if (status == noErr && clientLength_ - clientStart > kMaxPaddingFrames) {
        bool hasData = false;
        status = decodeToData(&hasData);
        if (status == noErr && !hasData && clientStart > 0) {
            // The data ends before the point sought, in a file that states more than it
            // holds: read on from the beginning, which finds the real end (see read) and
            // stops there if the target lies beyond it.
            status = positionDecoderAt(0);
            clientPosition_ = clientStart = 0;
        }
    }
    if (status != noErr)
        return status;
    return skipClientFrames(frame - clientStart);
}

OSStatus FFmpegFileSource::decodeToData(bool* hasData)
{
    while (!haveFrame_ && !decoderDone_) {
        if (const OSStatus status = nextFrame(); status != noErr)
            return status;
    }
    *hasData = haveFrame_;
    return noErr;
}

OSStatus FFmpegFileSource::skipClientFrames(SInt64 frames)
{
    while (frames > 0) {
        UInt32 delivered = 0;
        const OSStatus status = read(scratch_.data(), UInt32(std::min<SInt64>(frames, kScratchFrames)), &delivered);
        if (status != noErr)
            return status;
        if (delivered == 0)
            break;
        frames -= delivered;
    }
    return noErr;
}
