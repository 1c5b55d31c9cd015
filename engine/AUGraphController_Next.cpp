// The song that follows without a gap: the prepared next reader, the render path's move
// onto it at the end frame, and the disposal of the finished reader off the render thread.
//
// Threads: prepareNextFile, prepareNextReader and discardNextFile run on a controlling
// thread (the import's completion thread, the main thread) and take mReaderMutex;
// moveOnToNextReader runs on the render thread inside its block and takes nothing;
// disposeRetiredReader runs on the main thread when the render path has reported a move.

#include "engine/AUGraphController.h"

#include "engine/EngineGlobals.h"
#include "engine/RenderGate.h"
#include "engine/StatusLog.h"
#include "platform/foundation/MainThreadSignal.h"

#include <cstdio>

ExtAudioFileRef AUGraphController::takeBackNextReader()
{
    ExtAudioFileRef next = mNextReader.exchange(nullptr, std::memory_order_seq_cst);
    // A block that took the reader before the exchange has moved on to it; one still
    // inside may take nothing more once it has left. Waiting also when the slot was empty
    // keeps mNextFrameCount from changing under a block that is reading it.
    RenderGate::waitForRenderIdle();
    return next;
}

bool AUGraphController::prepareNextFile(const QUrl& url, SInt32 playbackGain)
{
    ExtAudioFileRef file = openTrackFile(url, playbackGain);
    return file != nullptr && prepareNextReader(file);
}

bool AUGraphController::prepareNextReader(ExtAudioFileRef file)
{
    if (file == nullptr)
        return false;
    // The reader gets its format and starts decoding before the lock is taken, so that
    // seeks and closes are not held up meanwhile.
    CAStreamBasicDescription fileFormat;
    UInt32 size = sizeof(AudioStreamBasicDescription);
    OSStatus result = ExtAudioFileGetProperty(file, kExtAudioFileProperty_FileDataFormat, &size, &fileFormat);
    if (result) {
        PrintStatusLine("ExtAudioFileGetProperty kExtAudioFileProperty_FileDataFormat result", result);
        ExtAudioFileDispose(file);
        return false;
    }
    fileFormat.PrintFormat(stdout, "", "AudioStreamBasicDescription:");

    CAStreamBasicDescription client;
    {
        std::lock_guard reader(mReaderMutex);
        client = mClientFormat;
    }
    result = ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, sizeof(AudioStreamBasicDescription),
                                     &client);
    SInt64 length = 0;
    if (result) {
        PrintStatusLine("ExtAudioFileSetProperty kExtAudioFileProperty_ClientDataFormat", result);
    } else {
        size = sizeof(length);
        result = ExtAudioFileGetProperty(file, kExtAudioFileProperty_FileLengthFrames, &size, &length);
        if (result)
            PrintStatusLine("ExtAudioFileGetProperty kExtAudioFileProperty_FileLengthFrames result", result);
    }

    std::lock_guard reader(mReaderMutex);
    // A format switch since the client format was read discards the prepared song under
    // this lock too, so the song that stays prepared always matches the open one.
    if (result || length == 0 || client.mChannelsPerFrame != mClientFormat.mChannelsPerFrame
        || client.mChannelsPerFrame != mFileChannels.load(std::memory_order_acquire)) {
        ExtAudioFileDispose(file);
        return false;
    }
    if (ExtAudioFileRef earlier = takeBackNextReader())
        ExtAudioFileDispose(earlier);
    mNextFrameCount.store(length, std::memory_order_relaxed);
    mNextReader.store(file, std::memory_order_seq_cst);
    return true;
}

void AUGraphController::discardNextFile()
{
    std::lock_guard reader(mReaderMutex);
    if (ExtAudioFileRef next = takeBackNextReader())
        ExtAudioFileDispose(next);
}

ExtAudioFileRef AUGraphController::moveOnToNextReader(ExtAudioFileRef finished, UInt32 usedOfBlock, UInt32 blockFrames)
{
    // The retired slot holds one reader: until the main thread has disposed of the last
    // one, the song ends as it would without a prepared successor.
    if (mRetiredReader.load(std::memory_order_seq_cst) != nullptr)
        return nullptr;
    ExtAudioFileRef next = mNextReader.exchange(nullptr, std::memory_order_seq_cst);
    if (next == nullptr)
        return nullptr;
    mRetiredReader.store(finished, std::memory_order_seq_cst);
    mxafref.store(next, std::memory_order_seq_cst);
    mEndFrameCount.store(frameCount(), std::memory_order_relaxed);
    mFrameCount.store(mNextFrameCount.load(std::memory_order_relaxed), std::memory_order_relaxed);
    // The position counts the frames asked of the new song in this block.
    mCurFrame.store(SInt64(blockFrames - usedOfBlock), std::memory_order_relaxed);
    mMovesPending.fetch_add(1, std::memory_order_release);
    mRenderReports->raise();
    return next;
}

void AUGraphController::disposeRetiredReader()
{
    std::lock_guard reader(mReaderMutex);
    ExtAudioFileRef retired = mRetiredReader.exchange(nullptr, std::memory_order_seq_cst);
    if (retired == nullptr)
        return;
    // The block that retired it may still be running.
    RenderGate::waitForRenderIdle();
    ExtAudioFileDispose(retired);
}
