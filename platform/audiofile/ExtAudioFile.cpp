#include "platform/audiofile/ExtAudioFile.h"

#include "platform/audiofile/AudioFileSource.h"
#include "platform/audiofile/DecodeAhead.h"
#include "platform/audiofile/FFmpegFileSource.h"
#include "platform/audiofile/FailureInjection.h"
#include "platform/audiofile/FileUrl.h"
#include "platform/audiofile/MemorySource.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

struct OpaqueExtAudioFile {
    std::unique_ptr<DecodeAhead> reader;
    AudioStreamBasicDescription client{};
    // Set by the controlling thread, read by the render thread between reads.
    std::atomic<SInt32> playbackGain{kExtAudioFilePlaybackGainUnity};
    std::atomic<bool> seeking{false};
};

namespace {

std::atomic<bool> gReadsWait{false};
std::atomic<long> gReadsDuringSeek{0};

constexpr UInt32 kMinClientRate = 8000;
constexpr UInt32 kMaxClientRate = 192000;

// The client formats reads can deliver: 16-bit signed native-endian interleaved PCM with
// 1 or 2 channels at a whole rate in range.
OSStatus checkClientFormat(const AudioStreamBasicDescription& format)
{
    if (format.mFormatID != kAudioFormatLinearPCM)
        return kExtAudioFileError_NonPCMClientFormat;
    const UInt32 refused = kAudioFormatFlagIsFloat | kAudioFormatFlagIsBigEndian | kAudioFormatFlagIsNonInterleaved;
    const UInt32 channels = format.mChannelsPerFrame;
    const bool layoutOk = (format.mFormatFlags & kAudioFormatFlagIsSignedInteger) && !(format.mFormatFlags & refused)
                       && format.mBitsPerChannel == 16 && (channels == 1 || channels == 2)
                       && format.mBytesPerFrame == 2 * channels && format.mBytesPerPacket == 2 * channels
                       && format.mFramesPerPacket == 1;
    const bool rateOk = format.mSampleRate >= kMinClientRate && format.mSampleRate <= kMaxClientRate
                     && std::floor(format.mSampleRate) == format.mSampleRate;
    return layoutOk && rateOk ? noErr : kAudioFileUnsupportedDataFormatError;
}

OSStatus adopt(std::unique_ptr<AudioFileSource> source, ExtAudioFileRef* out)
{
    auto* file = new OpaqueExtAudioFile;
    const AudioStreamBasicDescription data = source->fileDataFormat();
    const UInt32 channels = data.mChannelsPerFrame == 1 ? 1 : 2;
    file->client = Int16InterleavedFormat(44100.0, channels);
    file->reader = std::make_unique<DecodeAhead>(std::move(source), 44100, channels);
    *out = file;
    return noErr;
}

OSStatus statusFromErrno(int error)
{
    if (error == ENOENT || error == ENOTDIR)
        return fnfErr;
    if (error == EACCES || error == EPERM)
        return kAudioFilePermissionsError;
    return kAudioFileUnspecifiedError;
}

} // namespace

OSStatus ExtAudioFileOpenURL(const std::string& url, ExtAudioFileRef* outExtAudioFile)
{
    if (!outExtAudioFile)
        return kAudioFileNotOpenError;
    *outExtAudioFile = nullptr;
    if (const OSStatus injected = takeInjectedFailure(ExtAudioFileCall::Open))
        return injected;
    const std::optional<std::string> path = localPathFromUrl(url);
    if (!path)
        return kAudioFileUnsupportedFileTypeError;
    struct stat info {};
    if (::stat(path->c_str(), &info) != 0)
        return statusFromErrno(errno);
    // Only regular files: a directory is no audio file, and a pipe or device could block
    // the reader forever.
    if (!S_ISREG(info.st_mode))
        return kAudioFileUnsupportedFileTypeError;
    if (::access(path->c_str(), R_OK) != 0)
        return statusFromErrno(errno);
    std::unique_ptr<AudioFileSource> source;
    if (info.st_size == 0) {
        source = std::make_unique<MemorySource>(std::vector<int16_t>{}, 2);
    } else if (const OSStatus status = FFmpegFileSource::open(*path, source); status != noErr) {
        return status;
    }
    return adopt(std::move(source), outExtAudioFile);
}

OSStatus ExtAudioFileOpenMemory(const int16_t* samples, size_t frameCount, UInt32 channels,
                                ExtAudioFileRef* outExtAudioFile)
{
    if (!outExtAudioFile)
        return kAudioFileNotOpenError;
    *outExtAudioFile = nullptr;
    if (const OSStatus injected = takeInjectedFailure(ExtAudioFileCall::Open))
        return injected;
    if ((channels != 1 && channels != 2) || (!samples && frameCount > 0))
        return kAudioFileUnsupportedDataFormatError;
    std::vector<int16_t> copy(samples, samples + frameCount * channels);
    return adopt(std::make_unique<MemorySource>(std::move(copy), channels), outExtAudioFile);
}

OSStatus ExtAudioFileGetProperty(ExtAudioFileRef file, ExtAudioFilePropertyID propertyID,
                                 UInt32* ioPropertyDataSize, void* outPropertyData)
{
    if (!file || !ioPropertyDataSize || !outPropertyData)
        return kAudioFileNotOpenError;
    switch (propertyID) {
    case kExtAudioFileProperty_FileDataFormat:
    case kExtAudioFileProperty_ClientDataFormat: {
        if (propertyID == kExtAudioFileProperty_FileDataFormat) {
            if (const OSStatus injected = takeInjectedFailure(ExtAudioFileCall::GetFileDataFormat))
                return injected;
        }
        if (*ioPropertyDataSize != sizeof(AudioStreamBasicDescription))
            return kExtAudioFileError_InvalidPropertySize;
        const AudioStreamBasicDescription format = propertyID == kExtAudioFileProperty_FileDataFormat
                                                 ? file->reader->fileDataFormat()
                                                 : file->client;
        std::memcpy(outPropertyData, &format, sizeof format);
        return noErr;
    }
    case kExtAudioFileProperty_FileLengthFrames: {
        if (const OSStatus injected = takeInjectedFailure(ExtAudioFileCall::GetFileLengthFrames))
            return injected;
        if (*ioPropertyDataSize != sizeof(SInt64))
            return kExtAudioFileError_InvalidPropertySize;
        const SInt64 length = file->reader->lengthFrames();
        std::memcpy(outPropertyData, &length, sizeof length);
        return noErr;
    }
    default:
        return kExtAudioFileError_InvalidProperty;
    }
}

OSStatus ExtAudioFileSetProperty(ExtAudioFileRef file, ExtAudioFilePropertyID propertyID,
                                 UInt32 propertyDataSize, const void* propertyData)
{
    if (!file || !propertyData)
        return kAudioFileNotOpenError;
    if (propertyID == kExtAudioFileProperty_PlaybackGain) {
        if (propertyDataSize != sizeof(SInt32))
            return kExtAudioFileError_InvalidPropertySize;
        SInt32 gain = 0;
        std::memcpy(&gain, propertyData, sizeof gain);
        file->playbackGain.store(std::max<SInt32>(gain, 0), std::memory_order_relaxed);
        return noErr;
    }
    if (propertyID != kExtAudioFileProperty_ClientDataFormat)
        return kExtAudioFileError_InvalidProperty;
    if (const OSStatus injected = takeInjectedFailure(ExtAudioFileCall::SetClientDataFormat))
        return injected;
    if (propertyDataSize != sizeof(AudioStreamBasicDescription))
        return kExtAudioFileError_InvalidPropertySize;
    AudioStreamBasicDescription format;
    std::memcpy(&format, propertyData, sizeof format);
    if (const OSStatus status = checkClientFormat(format); status != noErr)
        return status;
    const OSStatus status = file->reader->setClientFormat(UInt32(format.mSampleRate), format.mChannelsPerFrame);
    if (status == noErr)
        file->client = Int16InterleavedFormat(format.mSampleRate, format.mChannelsPerFrame);
    return status;
}

SInt32 ExtAudioFilePlaybackGain(ExtAudioFileRef file)
{
    return file ? file->playbackGain.load(std::memory_order_relaxed) : kExtAudioFilePlaybackGainUnity;
}

OSStatus ExtAudioFileRead(ExtAudioFileRef file, UInt32* ioNumberFrames, AudioBufferList* ioData)
{
    if (!file || !ioNumberFrames || !ioData || ioData->mNumberBuffers < 1 || !ioData->mBuffers[0].mData)
        return kAudioFileNotOpenError;
    AudioBuffer& buffer = ioData->mBuffers[0];
    const UInt32 bytesPerFrame = file->client.mBytesPerFrame;
    if (const OSStatus injected = takeInjectedFailure(ExtAudioFileCall::Read)) {
        *ioNumberFrames = 0;
        buffer.mDataByteSize = 0;
        return injected;
    }
    if (file->seeking.load(std::memory_order_seq_cst))
        gReadsDuringSeek.fetch_add(1, std::memory_order_relaxed);
    const UInt32 frames = std::min(*ioNumberFrames, buffer.mDataByteSize / bytesPerFrame);
    UInt32 delivered = 0;
    const OSStatus status = file->reader->read(static_cast<int16_t*>(buffer.mData), frames, &delivered,
                                                 gReadsWait.load(std::memory_order_relaxed));
    *ioNumberFrames = delivered;
    buffer.mDataByteSize = delivered * bytesPerFrame;
    return status;
}

OSStatus ExtAudioFileSeek(ExtAudioFileRef file, SInt64 frameOffset)
{
    if (!file)
        return kAudioFileNotOpenError;
    if (const OSStatus injected = takeInjectedFailure(ExtAudioFileCall::Seek))
        return injected;
    if (frameOffset < 0)
        return kExtAudioFileError_InvalidSeek;
    file->seeking.store(true, std::memory_order_seq_cst);
    const OSStatus status = file->reader->seek(frameOffset);
    file->seeking.store(false, std::memory_order_seq_cst);
    return status;
}

long ExtAudioFileReadsDuringSeek()
{
    return gReadsDuringSeek.load();
}

OSStatus ExtAudioFileTell(ExtAudioFileRef file, SInt64* outFrameOffset)
{
    if (!file || !outFrameOffset)
        return kAudioFileNotOpenError;
    *outFrameOffset = file->reader->tell();
    return noErr;
}

bool ExtAudioFileReadEnded(ExtAudioFileRef file)
{
    return file == nullptr || file->reader->readEnded();
}

void ExtAudioFileWaitForDecoding(bool wait)
{
    gReadsWait.store(wait);
}

void ExtAudioFileStallDecoding(unsigned stallMs, unsigned everyMs)
{
    DecodeAhead::StallDecodingForTesting(stallMs, everyMs);
}

OSStatus ExtAudioFileDispose(ExtAudioFileRef file)
{
    if (!file)
        return kAudioFileNotOpenError;
    delete file;
    return noErr;
}
