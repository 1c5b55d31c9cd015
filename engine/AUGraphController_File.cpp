// The track file: opening, closing, seeking, and the flags and position the render
// callback keeps.

#include "engine/AUGraphController.h"

#include "engine/EngineGlobals.h"
#include "engine/RenderGate.h"
#include "engine/StatusLog.h"
#include "qbs/QBS.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Hands a configured reader to the render path (or leaves the file slot empty).
void PublishReader(ExtAudioFileRef file, UInt32 channels)
{
    mFileChannels.store(channels, std::memory_order_release);
    mxafref.store(file, std::memory_order_seq_cst);
}

} // namespace

void AUGraphController::closeReader()
{
    // Called with mReaderMutex held. The prepared next song goes first, so that no block
    // can move on to it any more; then the current and the retired readers are emptied from
    // their slots and, once a block that may still be reading them has left, disposed of.
    // A move the render path made meanwhile is not reported: its song is gone.
    ExtAudioFileRef next = takeBackNextReader();
    ExtAudioFileRef old = mxafref.exchange(nullptr, std::memory_order_seq_cst);
    ExtAudioFileRef retired = mRetiredReader.exchange(nullptr, std::memory_order_seq_cst);
    mMovesPending.store(0, std::memory_order_relaxed);
    if (old == nullptr && retired == nullptr && next == nullptr)
        return;
    RenderGate::waitForRenderIdle();
    for (ExtAudioFileRef reader : {next, old, retired})
        if (reader != nullptr)
            ExtAudioFileDispose(reader);
}

bool AUGraphController::loadFiles(const QUrl& url, SInt32 playbackGain)
{
    std::lock_guard reader(mReaderMutex);
    mCurFrame.store(0);
    mFrameCount.store(0);
    closeReader();
    dropBufferedAudio();
    startHeardFramesAt(0);

    // The reader is prepared while the render path cannot see it and handed over at the
    // end, also when a step fails (it then stays open, as it was left).
    ExtAudioFileRef file = openTrackFile(url, playbackGain);
    return file != nullptr && prepareReader(file);
}

ExtAudioFileRef AUGraphController::openTrackFile(const QUrl& url, SInt32 playbackGain)
{
    ExtAudioFileRef file = nullptr;
    const OSStatus result = ExtAudioFileOpenURL(url.toEncoded().toStdString(), &file);
    if (result || file == nullptr) {
        PrintStatusLine("ExtAudioFileOpenURL result", result);
        return nullptr;
    }
    ExtAudioFileSetProperty(file, kExtAudioFileProperty_PlaybackGain, sizeof playbackGain, &playbackGain);
    return file;
}

bool AUGraphController::loadReader(ExtAudioFileRef file)
{
    std::lock_guard reader(mReaderMutex);
    mCurFrame.store(0);
    mFrameCount.store(0);
    closeReader();
    dropBufferedAudio();
    startHeardFramesAt(0);
    if (file == nullptr)
        return false;
    return prepareReader(file);
}

bool AUGraphController::prepareReader(ExtAudioFileRef file)
{
    OSStatus result = noErr;
    const UInt32 channels = mClientFormat.mChannelsPerFrame;

    CAStreamBasicDescription fileFormat;
    UInt32 size = sizeof(AudioStreamBasicDescription);
    result = ExtAudioFileGetProperty(file, kExtAudioFileProperty_FileDataFormat, &size, &fileFormat);
    if (result) {
        PrintStatusLine("ExtAudioFileGetProperty kExtAudioFileProperty_FileDataFormat result", result);
        PublishReader(file, channels);
        return false;
    }
    fileFormat.PrintFormat(stdout, "", "AudioStreamBasicDescription:");

    result = ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, sizeof(AudioStreamBasicDescription),
                                     &mClientFormat);
    if (result) {
        PrintStatusLine("ExtAudioFileSetProperty kExtAudioFileProperty_ClientDataFormat", result);
        PublishReader(file, channels);
        return false;
    }

    SInt64 length = 0;
    size = sizeof(length);
    result = ExtAudioFileGetProperty(file, kExtAudioFileProperty_FileLengthFrames, &size, &length);
    if (result) {
        PrintStatusLine("ExtAudioFileGetProperty kExtAudioFileProperty_FileLengthFrames result", result);
        PublishReader(file, channels);
        return false;
    }
    mFrameCount.store(length);
    if (length == 0) {
        PublishReader(file, channels);
        return false;
    }

    mfileLoadStateFlag_.store(true);
    mSeekFlag.store(true);
    SeekLock.store(false, std::memory_order_seq_cst);
    QBSInit();
    PublishReader(file, channels);
    return true;
}

void AUGraphController::setPlaybackGain(SInt32 playbackGain)
{
    std::lock_guard reader(mReaderMutex);
    if (ExtAudioFileRef file = AudioFileRef())
        ExtAudioFileSetProperty(file, kExtAudioFileProperty_PlaybackGain, sizeof playbackGain, &playbackGain);
}

void AUGraphController::CloseFile()
{
    std::lock_guard reader(mReaderMutex);
    closeReader();
}

ExtAudioFileRef AUGraphController::AudioFileRef() const
{
    return mxafref.load(std::memory_order_seq_cst);
}

void AUGraphController::incrementFrames(UInt32 frames)
{
    mCurFrame.fetch_add(SInt64(frames), std::memory_order_relaxed);
}

bool AUGraphController::LockSeek() const
{
    return SeekLock.load(std::memory_order_seq_cst);
}

void AUGraphController::LockSeekChange(bool locked)
{
    SeekLock.store(locked, std::memory_order_seq_cst);
}

void AUGraphController::DelayLockEnabl()
{
    LockSeekChange(false);
}

void AUGraphController::playTimeUpDate(bool on)
{
    mSeekFlag.store(on, std::memory_order_relaxed);
}

void AUGraphController::ExtFileReadEndFlag(bool finished)
{
    if (!finished)
        mFirstReadStarted.store(true, std::memory_order_relaxed);
    mFileReadFlag.store(finished, std::memory_order_relaxed);
}

void AUGraphController::FileSeek(SInt64 frame)
{
    // Nothing has been read since launch: the request is dropped.
    if (!mFirstReadStarted.load(std::memory_order_relaxed))
        return;
    // A read in progress is waited for rather than dropped: the seek flag keeps every later
    // block from reading, and the reader is moved only once the block in progress is done,
    // so the next block read starts exactly at the target. Only this call sets and clears
    // the flag, so a start, stop or mode switch on another thread cannot let a block read
    // while the reader moves. The reader mutex keeps an import finishing on another thread
    // from closing the reader while it seeks.
    std::lock_guard reader(mReaderMutex);
    LockSeekChange(true);
    mSeekInProgress.store(true, std::memory_order_seq_cst);
    RenderGate::waitForRenderIdle();
    ExtAudioFileRef file = AudioFileRef();
    if (file != nullptr)
        ExtAudioFileSeek(file, frame);
    mCurFrame.store(frame);
    startHeardFramesAt(frame);
    // What was rendered before the seek must not be heard after it: the speed/pitch block
    // starts again from empty queues (no block runs now), the varispeed forgets its input,
    // and the server drops what it holds. What is rendered after the flag clears is kept.
    QBS_PTC_Init(kEffectHeadroomShift, kEffectSampleRate);
    Prev_Sample_Index = 0;
    Window_Index = 0;
    L_Prev_Sample = R_Prev_Sample = 0;
    if (mRateSwitchIn > 0)
        mRateSwitchIn = 0; // the frames it waited for are gone
    primeSpeedPitch(file);
    dropBufferedAudio();
    mSeekInProgress.store(false, std::memory_order_seq_cst);
}

void AUGraphController::primeSpeedPitch(ExtAudioFileRef file)
{
    // Called by FileSeek while no block runs. From empty queues the speed/pitch effect
    // holds its output back until it has a block and a segment's hop in hand: heard,
    // that is some 100 ms of silence after every seek. Its queues are filled here from the
    // new position instead, up to just short of that, so the first block after the seek
    // delivers: one segment made, and input for the next one but for less than a block.
    if (file == nullptr || !DockingModeOnOffFlag.load() || StereoModeOnOffFlag.load() || EqModeOnOffFlag.load()
        || StageModeOnOffFlag.load() || !PTCEnable.load())
        return;
    constexpr UInt32 kPiece = 256;
    int16_t* in = mReadBlock.get();
    for (int guard = 0; guard < 256; ++guard) {
        const bool segmentMade = Prev_Sample_Index >= Hop_Size.load(std::memory_order_relaxed);
        if (segmentMade && In_Tempo_Buf_Size + SInt64(kPiece) >= Required_Sample.load(std::memory_order_relaxed))
            break;
        // Read as the render path reads (the song's leveling gain applies to these frames
        // too) and queued without delivery, so none of them is lost.
        const UInt32 frames = readStereo(file, in, kPiece);
        if (frames > 0) {
            QBS_PTC_Feed(in, int32_t(frames * 2));
            mCurFrame.fetch_add(frames, std::memory_order_relaxed);
        }
        if (frames < kPiece)
            break; // the end of the song, or the decoder behind: the blocks read on from there
    }
}

SInt64 AUGraphController::heardFrame() const
{
    const SInt64 read = currentFrame();
    if (const SInt64 floor = mPendingFloor.load(std::memory_order_acquire); floor >= 0)
        return floor; // nothing read since the seek or the open
    Float64 input = 0.0;
    if (AudioOutputHeardInputFrame(mGraph, &input) != noErr)
        return read;
    const std::optional<int64_t> heard = mSongTrail.valueAt(std::llround(input));
    return heard ? std::clamp<SInt64>(*heard, 0, read) : read;
}
