// The render callback: one block read from the track file, one effect, handed to the mixer.

#include "engine/AUGraphController.h"

#include "engine/EngineGlobals.h"
#include "engine/RenderGate.h"
#include "platform/foundation/MainThreadSignal.h"
#include "qbs/QBS.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Runs exactly one effect over `count` interleaved stereo samples, chosen by the flags in
// this order: master switch clear -> bypass, then 3D stereo, equalizer, stage, speed/pitch,
// and bypass when none is selected.
void ProcessOneEffect(int16_t* out, const int16_t* in, int32_t count)
{
    if (!DockingModeOnOffFlag.load(std::memory_order_seq_cst)) {
        QBS_BYPASS(out, in, count);
    } else if (StereoModeOnOffFlag.load(std::memory_order_seq_cst)) {
        QBSt_M3D(out, in, count);
    } else if (EqModeOnOffFlag.load(std::memory_order_seq_cst)) {
        QBSt_MEQ(out, in, count);
    } else if (StageModeOnOffFlag.load(std::memory_order_seq_cst)) {
        QBSt_MOS(out, in, count);
    } else if (PTCEnable.load(std::memory_order_seq_cst)) {
        // The speed/pitch block writes nothing while its output queue fills (after it is
        // switched on, and now and then after a large speed change); those frames must
        // play as silence, not as whatever the buffer held before.
        std::memset(out, 0, size_t(count) * sizeof(int16_t));
        QBS_PTC(out, in, count);
    } else {
        QBS_BYPASS(out, in, count);
    }
}

// Scales samples by the song's leveling gain (16.16, see ExtAudioFile.h), rounding to the
// nearest step and holding at full scale. Unity leaves the block untouched.
void ApplyPlaybackGain(int16_t* samples, size_t count, SInt32 gain)
{
    if (gain == kExtAudioFilePlaybackGainUnity)
        return;
    for (size_t i = 0; i < count; ++i) {
        const int64_t scaled = (int64_t(samples[i]) * gain + 0x8000) >> 16;
        samples[i] = int16_t(std::clamp<int64_t>(scaled, INT16_MIN, INT16_MAX));
    }
}

// True when ProcessOneEffect picks the speed/pitch effect.
bool SpeedPitchRuns()
{
    return DockingModeOnOffFlag.load(std::memory_order_seq_cst) && !StereoModeOnOffFlag.load(std::memory_order_seq_cst)
        && !EqModeOnOffFlag.load(std::memory_order_seq_cst) && !StageModeOnOffFlag.load(std::memory_order_seq_cst)
        && PTCEnable.load(std::memory_order_seq_cst);
}

// Sets the mixer's playback rate from inside the render callback: it steps at frame
// `offset` of the block this callback delivers.
void SetMixerRateAt(int percent, UInt32 offset)
{
    AudioUnitSetParameter(mMixer, k3DMixerParam_PlaybackRate, kAudioUnitScope_Input, 0, Float32(percent) / 100.0f,
                          offset);
}

// Copies frames of one channel to both sides of a stereo block, in place (back to front).
void SpreadMonoToStereo(int16_t* block, UInt32 frames)
{
    for (UInt32 i = frames; i-- > 0;) {
        const int16_t s = block[i];
        block[2 * i] = s;
        block[2 * i + 1] = s;
    }
}

} // namespace

void AUGraphController::applyPendingSpeed(bool effectRuns, UInt32 done, ExtAudioFileRef file)
{
    const int speed = mPendingSpeed.exchange(0, std::memory_order_acq_rel);
    if (speed == 0)
        return;
    if (!effectRuns) {
        SetMixerRateAt(speed, done);
        return;
    }
    // Every frame the effect holds in its output queue was made at the old speed; the
    // segments from this piece on use the new one, and their frames come after those.
    QBS_PTC_SetRates(int16_t(speed), array[ptValue.load(std::memory_order_relaxed)]);
    mRateSwitchIn = Prev_Sample_Index;
    mRateSwitchTo = speed;
    topUpSpeedPitch(file);
}

void AUGraphController::topUpSpeedPitch(ExtAudioFileRef file)
{
    // A faster speed makes longer segments, and the effect's queues may now hold less than
    // one of them needs: its output would run dry for a moment before every segment until
    // the gaps made up the difference (clicks). The difference is read now and queued
    // behind what the queues hold, so the output goes on without a gap. The work block is
    // free here: the effect has not run for this piece yet.
    int16_t* block = mWorkBlock.get();
    for (int32_t missing = QBS_PTC_Shortfall(); missing > 0;) {
        const UInt32 frames = readStereo(file, block, std::min<UInt32>(UInt32(missing), kMaxFramesPerRead));
        if (frames == 0)
            return; // the track's end or a decoder behind: the blocks read on as usual
        QBS_PTC_Feed(block, int32_t(frames * 2));
        mCurFrame.fetch_add(SInt64(frames), std::memory_order_relaxed);
        missing -= int32_t(frames);
    }
}

UInt32 AUGraphController::readStereo(ExtAudioFileRef file, int16_t* block, UInt32 frames)
{
    if (file == nullptr)
        return 0;
    const UInt32 channels = mFileChannels.load(std::memory_order_acquire) == 1 ? 1 : 2;
    AudioBufferList list;
    list.mNumberBuffers = 1;
    list.mBuffers[0].mNumberChannels = channels;
    list.mBuffers[0].mDataByteSize = frames * channels * sizeof(int16_t);
    list.mBuffers[0].mData = block;
    UInt32 read = frames;
    if (ExtAudioFileRead(file, &read, &list) != noErr)
        return 0;
    read = std::min(read, frames);
    ApplyPlaybackGain(block, size_t(read) * channels, ExtAudioFilePlaybackGain(file));
    if (channels == 1)
        SpreadMonoToStereo(block, read);
    return read;
}

void AUGraphController::switchRateInStep(UInt32 done, UInt32 delivered)
{
    if (mRateSwitchIn < 0)
        return;
    if (mRateSwitchIn >= SInt64(delivered)) {
        mRateSwitchIn -= delivered;
        return;
    }
    SetMixerRateAt(mRateSwitchTo, done + UInt32(mRateSwitchIn));
    mRateSwitchIn = -1;
}

void AUGraphController::SilenceData(AudioBufferList* ioData)
{
    for (UInt32 i = 0; i < ioData->mNumberBuffers; ++i) {
        AudioBuffer& buffer = ioData->mBuffers[i];
        if (buffer.mData != nullptr)
            std::memset(buffer.mData, 0, buffer.mDataByteSize);
    }
}

OSStatus AUGraphController::renderInput(void* inRefCon, AudioUnitRenderActionFlags*, const AudioTimeStamp* inTimeStamp,
                                        UInt32, UInt32 inNumberFrames, AudioBufferList* ioData)
{
    RenderGate::CallbackScope scope;
    return static_cast<AUGraphController*>(inRefCon)->render(inNumberFrames, ioData, inTimeStamp);
}

void AUGraphController::traceHeardFrame(SInt64 blockEnd)
{
    // The song frame that the mixer's next input frame, blockEnd, will sound as: what was
    // read, less what the speed/pitch effect holds (its queues pass song frames through one
    // for one, only later).
    const SInt64 held = SpeedPitchRuns() ? SInt64(In_Tempo_Buf_Size) + SInt64(Prev_Sample_Index) : 0;
    mSongTrail.add(blockEnd, currentFrame() - held);
}

OSStatus AUGraphController::render(UInt32 frames, AudioBufferList* ioData, const AudioTimeStamp* stamp)
{
    RenderGate::enter();

    // A seek is moving the reader and emptying the effect's queues: touch neither.
    if (mSeekInProgress.load(std::memory_order_seq_cst) || LockSeek()) {
        playTimeUpDate(false);
        SilenceData(ioData);
        RenderGate::leave();
        return noErr;
    }

    if (frames == 0) { // nothing asked: not to be taken for the end of the track
        RenderGate::leave();
        return noErr;
    }
    playTimeUpDate(true);
    ExtFileReadEndFlag(false);
    // Where this block stands in the mixer's input (its sample time): the trail of heard
    // frames is kept only where the mixer gives it.
    const bool stamped = stamp != nullptr && (stamp->mFlags & kAudioTimeStampSampleTimeValid) != 0;
    const SInt64 blockStart = stamped ? SInt64(std::llround(stamp->mSampleTime)) : 0;
    if (const SInt64 floor = mPendingFloor.exchange(-1, std::memory_order_acq_rel); floor >= 0 && stamped)
        mSongTrail.add(blockStart, floor, true);
    incrementFrames(frames);

    // The mixer's input may be stereo or mono; the effects always work on stereo.
    AudioBuffer& outBuffer = ioData->mBuffers[0];
    UInt32 outChannels = outBuffer.mNumberChannels;
    if (outChannels != 1 && outChannels != 2)
        outChannels = outBuffer.mDataByteSize >= frames * 4 ? 2 : 1;
    const UInt32 outFrames = std::min<UInt32>(frames, outBuffer.mDataByteSize / (2 * outChannels));
    int16_t* out = static_cast<int16_t*>(outBuffer.mData);

    ExtAudioFileRef file = AudioFileRef();
    const UInt32 fileChannels = mFileChannels.load(std::memory_order_acquire) == 1 ? 1 : 2;
    // The gain travels with the reader: whichever song's frames this block reads, its own
    // gain applies to them, before the effect (across a move to the next song too).
    SInt32 gain = ExtAudioFilePlaybackGain(file);

    // The reader only copies frames it decoded ahead. A read that comes back short before
    // the end means its decoder is behind: the rest of the block plays as silence and the
    // position counts only what was read.
    bool readStopped = false; // the track ended or the decoder is behind
    UInt32 done = 0;
    do {
        const UInt32 piece = std::min(frames - done, kMaxFramesPerRead);
        int16_t* in = mReadBlock.get();
        UInt32 delivered = 0;
        UInt32 scaled = 0; // frames of this piece already scaled by the finished song's gain
        if (!readStopped) {
            AudioBufferList readList;
            readList.mNumberBuffers = 1;
            readList.mBuffers[0].mNumberChannels = fileChannels;
            readList.mBuffers[0].mDataByteSize = piece * fileChannels * sizeof(int16_t);
            readList.mBuffers[0].mData = in;
            delivered = piece;
            OSStatus status = ExtAudioFileRead(file, &delivered, &readList);
            delivered = std::min(delivered, piece);
            if (status == noErr && delivered < piece && ExtAudioFileReadEnded(file)) {
                // The song ended inside this block: when the next one is prepared, it goes
                // on from the end frame and fills the rest of the block.
                if (ExtAudioFileRef next = moveOnToNextReader(file, done + delivered, frames)) {
                    if (stamped) // the next song starts at this frame of the mixer's input
                        mSongTrail.add(blockStart + done + delivered, 0, true);
                    ApplyPlaybackGain(in + scaled * fileChannels, size_t(delivered - scaled) * fileChannels, gain);
                    scaled = delivered;
                    file = next;
                    gain = ExtAudioFilePlaybackGain(file);
                    UInt32 more = piece - delivered;
                    readList.mBuffers[0].mDataByteSize = more * fileChannels * sizeof(int16_t);
                    readList.mBuffers[0].mData = in + delivered * fileChannels;
                    status = ExtAudioFileRead(file, &more, &readList);
                    delivered += std::min(more, piece - delivered);
                }
            }
            if (status != noErr) {
                ExtFileReadEndFlag(true);
                SilenceData(ioData);
                RenderGate::leave();
                stopFromRenderThread();
                if (file != nullptr) // a song that cannot be decoded, not a read with nothing open
                    mReadFailuresPending.fetch_add(1, std::memory_order_relaxed);
                mErrorStopsPending.fetch_add(1, std::memory_order_release);
                mRenderReports->raise();
                return status;
            }
            if (delivered < piece) {
                readStopped = true;
                if (!ExtAudioFileReadEnded(file)) {
                    mCurFrame.fetch_sub(SInt64(frames - done - delivered), std::memory_order_relaxed);
                } else if (delivered == 0 && done == 0) {
                    ExtFileReadEndFlag(true);
                    SilenceData(ioData);
                    RenderGate::leave();
                    musicDidEnd();
                    return noErr;
                }
            }
        }
        ApplyPlaybackGain(in + scaled * fileChannels, size_t(delivered - scaled) * fileChannels, gain);
        // Frames past the end of the track, or not decoded yet, play as silence through the
        // effect.
        std::memset(in + delivered * fileChannels, 0, (piece - delivered) * fileChannels * sizeof(int16_t));
        if (fileChannels == 1)
            SpreadMonoToStereo(in, piece);

        const UInt32 pieceOut = done < outFrames ? std::min(piece, outFrames - done) : 0;
        applyPendingSpeed(SpeedPitchRuns(), done, file);
        if (outChannels == 2) {
            ProcessOneEffect(out + 2 * done, in, int32_t(pieceOut * 2));
        } else {
            // A mono mixer input: process as stereo, then hand over the mix of both sides.
            int16_t* work = mWorkBlock.get();
            ProcessOneEffect(work, in, int32_t(pieceOut * 2));
            for (UInt32 i = 0; i < pieceOut; ++i)
                out[done + i] = int16_t((int32_t(work[2 * i]) + int32_t(work[2 * i + 1])) >> 1);
        }
        switchRateInStep(done, pieceOut);
        done += piece;
    } while (done < frames);

    if (stamped)
        traceHeardFrame(blockStart + frames);
    ExtFileReadEndFlag(true);
    RenderGate::leave();
    return noErr;
}
