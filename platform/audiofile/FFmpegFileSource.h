#pragma once
// A source that decodes a local file with FFmpeg and converts it to the client format with
// libswresample.
//
// Frame indices: "file frames" count decoded samples of the track from its first real
// sample (after encoder priming) at the file's rate; "client frames" count output frames at
// the client rate. The track's length in file frames comes from the container (see
// trackLengthFrames in the .cpp); reads stop exactly at the matching client length.

#include "platform/audiofile/AudioFileSource.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

struct AVCodec;
struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;
class FFmpegInput;

class FFmpegFileSource final : public AudioFileSource {
public:
    // Opens `path` (a local file) and positions at frame 0 with a 44.1 kHz client format
    // of the file's channels (at most 2).
    static OSStatus open(const std::string& path, std::unique_ptr<AudioFileSource>& out);
    ~FFmpegFileSource() override;

    AudioStreamBasicDescription fileDataFormat() const override { return fileFormat_; }
    OSStatus setClientFormat(UInt32 rate, UInt32 channels) override;
    SInt64 lengthFrames() const override { return clientLength_; }
    OSStatus read(int16_t* out, UInt32 frames, UInt32* delivered) override;
    OSStatus seek(SInt64 frame) override;
    SInt64 tell() const override { return clientPosition_; }

private:
    FFmpegFileSource() = default;
    OSStatus openFile(const std::string& path);
    int openDemuxer();
    // FFmpeg's interrupt callback: true once the call in progress has read nothing more
    // for kIoTimeout.
    static int InterruptIfLate(void* self);
    void armIoDeadline();
    // Sets up a new decoder for the stream. Used at every repositioning instead of a flush:
    // a flush leaves some decoder state as it was (AAC's noise-substitution generator, for
    // one), so what follows would depend on how much was decoded before; a new decoder
    // decodes exactly as at the first open, whatever ran before.
    OSStatus openDecoder();
    // Has the demuxer skip every stream but the audio one being read (cover art, ...).
    void discardOtherStreams();
    OSStatus measureByScanning(SInt64& fileFrames);
    OSStatus configureResampler(int format, int rate, const void* layout);
    OSStatus restartAtBeginning();
    OSStatus positionDecoderAt(SInt64 fileFrame);
    OSStatus skipPacketsBefore(SInt64 fileFrame);
    // After a demuxer seek: reads past the first page of the stream when its timestamps
    // cannot be trusted, keeping the next packet in packet_ (heldPacket_) for the decoder;
    // false when the file ends first.
    bool dropFirstPageAfterSeek();
    OSStatus nextFrame();
    // Decodes on to the first frame with samples for the track; *hasData false when the
    // data ends first.
    OSStatus decodeToData(bool* hasData);
    void takeFrame();
    OSStatus produce(int16_t* out, int frames, int* produced);
    OSStatus skipClientFrames(SInt64 frames);
    SInt64 fileIndexOfPts(int64_t pts) const;

    std::string path_;
    int fd_ = -1;  // the file, opened once; every demuxer reads it through input_
    std::unique_ptr<FFmpegInput> input_;
    std::chrono::steady_clock::time_point ioDeadline_{};
    int64_t ioProgress_ = -1; // the file position the interrupt callback saw last
    AVFormatContext* format_ = nullptr;
    const AVCodec* codec_ = nullptr;
    AVCodecContext* decoder_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    SwrContext* resampler_ = nullptr;
    int stream_ = -1;
    bool seekByTimestamp_ = false;  // the demuxer's seek gives exact timestamps
    // After a seek the timestamps of the first page's packets may be off by up to a block:
    // in Ogg Vorbis they are worked out backwards from the page's granule with packet
    // lengths that depend on the packet before, which the demuxer has not seen. Every
    // later page's packets carry exact ones, counted on from the granule of the page
    // before, so the first page is dropped. A restart from the beginning reopens the file,
    // so the first packets come with the timestamps of the first open.
    bool firstPacketPtsUnreliable_ = false;
    int seekPrerollFrames_ = 0;     // frames decoded before a seek target (lossy codecs)
    AudioStreamBasicDescription fileFormat_{};

    int fileRate_ = 0;
    SInt64 fileLength_ = 0;       // the track's length in file frames
    int64_t firstPacketPts_ = 0;  // where a restart from the beginning seeks to
    SInt64 originPtsIndex_ = 0;   // pts of the track's first sample, in samples
    bool haveOrigin_ = false;

    // Decoder position.
    bool haveFrame_ = false;       // frame_ holds samples not yet fed to the resampler
    SInt64 frameIndex_ = 0;        // file index of frame_'s first sample
    int frameOffset_ = 0;          // samples of frame_ already consumed or dropped
    int frameEnd_ = 0;             // samples of frame_ that belong to the track
    SInt64 nextFrameIndex_ = 0;    // file index the next decoded frame starts at
    bool syncOnPts_ = false;       // take the next frame's index from its pts
    bool frameIndexKnown_ = true;  // false when that frame had no pts
    SInt64 dropBefore_ = 0;        // decoded samples before this file index are dropped
    bool heldPacket_ = false;      // packet_ holds a packet read ahead, for the decoder
    bool demuxDone_ = false;
    bool decoderDone_ = false;
    bool resamplerDrained_ = false;
    int decodeErrors_ = 0;

    // Client side.
    UInt32 clientRate_ = 0;
    UInt32 clientChannels_ = 0;
    SInt64 clientLength_ = 0;
    SInt64 clientPosition_ = 0;
    OSStatus pendingError_ = noErr;  // an error met after frames went out; answered next read
    bool dataEnded_ = false;         // decoding ended well before the length (truncated file)
    int resamplerInFormat_ = -1;
    int resamplerInRate_ = 0;
    int resamplerInChannels_ = 0;
    std::vector<const uint8_t*> inputPlanes_;
    std::vector<int16_t> scratch_;
};
