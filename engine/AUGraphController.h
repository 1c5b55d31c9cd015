#pragma once
// The audio engine: one processing graph (3D mixer -> output unit) whose mixer pulls its
// audio from the render callback `renderInput`. Every block is read from the open track
// file, passed through exactly one effect chosen by the effect flags, and handed to the
// mixer. The graph, the mixer, the stream formats, the open file and the effect flags are
// process-wide (EngineGlobals.h); there is one engine object per process.
//
// Threads: the transport, file and mode calls come from the main thread (and, for stop,
// close, open and start, from the thread that finishes a track import). `renderInput` runs
// on the output's audio thread and never waits for another thread: it only copies decoded
// frames (the reader decodes ahead on a thread of its own), runs the effect, and at the end
// of a track or on a read error marks the graph stopped without waiting and records what
// happened. The main thread is woken for it (MainThreadSignal) and there logs the stop and
// posts the end report (MusicPlayTimerNotification with MusciPlayfinishKey), built from
// the values the render thread recorded. The periodic position report is posted on the
// main thread once a second, with the frame heard (heardFrame), not the frame read.
//
// The open reader is handed over under mReaderMutex: opening, closing and seeking (main
// thread, import thread) take it, so none of them disposes of a reader another is using;
// the render thread never takes it and is kept out by the render gate (RenderGate.h).
//
// Between songs the graph keeps running: a controlling thread opens the next song in a
// second reader (prepareNextFile) and leaves it in the next-reader slot. When the current
// reader ends within a block, the render callback takes the prepared one out of the slot,
// makes it the current reader, puts the finished one in the retired slot and goes on
// filling the same block from the new song. The main thread then disposes of the retired
// reader and posts the end report of the finished song with MusicPlayMovedOnKey, without
// stopping the graph.

#include "engine/MusicPlayTimerNotification.h"
#include "platform/audio/AudioUnitTypes.h"
#include "platform/audio/PositionTrail.h"
#include "platform/audiofile/ExtAudioFile.h"

#include <QUrl>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

class DelayedCall;
class MainThreadSignal;

// The mode numbers of setModeChange().
enum EffectMode : int {
    EffectModeEqualizer = 0,
    EffectModeStereo3D = 1,
    EffectModeStage = 2,
    EffectModeSpeedPitch = 3,
    EffectModeDocking = 4,
};

class AUGraphController {
public:
    // The largest block the render callback reads at once; larger requests are served in
    // pieces of this size (the graph asks for at most this many frames per call).
    static constexpr UInt32 kMaxFramesPerRead = 4096;

    // Clears mIsPlaying, sets mfileLoadStateFlag and starts the position reports (a worker
    // thread arms the first one `reportIntervalSeconds` later on the main thread; each one
    // re-arms the next). Create it on the main thread, under a QCoreApplication.
    explicit AUGraphController(double reportIntervalSeconds = 1.0);
    // Prints "AUGraphController dealloc", stops and disposes of the graph, then of the open
    // track file. Main thread; never waits for a thread that waits for the main thread.
    ~AUGraphController();
    AUGraphController(const AUGraphController&) = delete;
    AUGraphController& operator=(const AUGraphController&) = delete;

    // ---- Graph and transport --------------------------------------------------------
    // Builds, opens and initialises the graph with a client format of `channels` channels.
    // Each failing step prints its line and ends the set-up there.
    void initializeAUGraph(int channels);
    // Starts the graph. `dockingSetting` is the stored Docking Mode value (1 off, 2 on):
    // with 1 the effect master flag follows the current route.
    void startAUGraph(int dockingSetting);
    // Stops the graph if it is running. The output keeps its place: what it has buffered
    // plays first at the next start, so stop and start lose and repeat nothing.
    void stopAUGraph();
    bool isPlaying() const { return mIsPlaying.load(std::memory_order_relaxed); }
    // Switches the client format to `channels` interleaved 16-bit channels for the mixer
    // input and for the next file opened. False when the mixer or the graph refuses it.
    bool InputStremFormatChange(int channels);
    // Output gain of the mixer in dB.
    void setOutputVolume(float gain);
    // Playback rate of the mixer in percent of normal (100 = 1.0).
    void setSpeedNormal(int percent);
    // Accepted and ignored.
    void setInputVolume(int bus, float value);
    void enableInput(int bus, bool isOn);

    // The render callback installed on the mixer's input bus 0 (context: the engine).
    static OSStatus renderInput(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                const AudioTimeStamp* inTimeStamp, UInt32 inBusNumber,
                                UInt32 inNumberFrames, AudioBufferList* ioData);
    // Zeroes every buffer of the list (mDataByteSize bytes each).
    static void SilenceData(AudioBufferList* ioData);

    // ---- Effect mode control --------------------------------------------------------
    // Switches one effect on (non-zero) or off; switching one of modes 0..3 on switches the
    // other three off. Mode 4 is the master switch.
    void setModeChange(int mode, int8_t on);
    // Selector 1: speed in tenths of normal (10 = normal); selector 2: pitch 1..13 (7 =
    // unchanged). Other selectors, and pitches outside 1..13, are ignored.
    void setSpeedPitch(int selector, int value);
    void setEQMode(int preset);
    // Band 0..6 (others are ignored) with its gain index.
    void setUserEQBand(int band, int value);
    // which: 0 surround, non-zero bass; value 0..10.
    void set3DStereoValue(int which, int value);
    void setStageMode(int preset);
    // Initialises all four effects with headroom shift 2 at 44100 Hz.
    void QBSInit();

    // ---- Track file and position ----------------------------------------------------
    // Opens the file and prepares the engine; true when the track is ready to play.
    // `playbackGain`: the song's volume-leveling gain (16.16), set on the reader before the
    // render path can see it, so it applies from the first frame.
    bool loadFiles(const QUrl& url, SInt32 playbackGain = kExtAudioFilePlaybackGainUnity);
    // Sets the leveling gain of the open reader (none: nothing happens). Controlling thread.
    void setPlaybackGain(SInt32 playbackGain);
    // The same for a reader that is already open (for example one serving PCM from
    // memory); the engine takes it over, also when it answers false.
    bool loadReader(ExtAudioFileRef file);
    // Disposes of the open file (and of a prepared next one). Stop the graph first.
    void CloseFile();
    // Opens the song that is to follow the open one without a gap: the reader gets the
    // client format and starts decoding; the render path moves on to it when the open
    // reader ends. A song prepared before is discarded first. False, with the reader
    // disposed of, when the file cannot be opened or is empty. Controlling threads.
    // `playbackGain` is the song's leveling gain, as with loadFiles.
    bool prepareNextFile(const QUrl& url, SInt32 playbackGain = kExtAudioFilePlaybackGainUnity);
    // The same for a reader that is already open; the engine takes it over.
    bool prepareNextReader(ExtAudioFileRef file);
    // Discards the prepared next song, if the render path has not moved on to it yet.
    void discardNextFile();
    // True while a prepared next song waits in its slot.
    bool hasNextFile() const { return mNextReader.load(std::memory_order_seq_cst) != nullptr; }
    SInt64 frameCount() const { return mFrameCount.load(std::memory_order_relaxed); }
    ExtAudioFileRef AudioFileRef() const;
    void incrementFrames(UInt32 frames);
    bool LockSeek() const;
    void LockSeekChange(bool locked);
    // Clears the seek lock (scheduled 0.2 s after speed/pitch is switched on).
    void DelayLockEnabl();
    void playTimeUpDate(bool on);
    void ExtFileReadEndFlag(bool finished);
    // Moves the read position to a client frame and silences the output until the seek
    // lock is cleared. Ignored until the first block has been read since launch. Only the
    // new position is heard after it: the speed/pitch queues, the varispeed and the audio
    // server's buffer are emptied.
    void FileSeek(SInt64 frame);
    void setFileLoadStartFlag() { mfileLoadStateFlag_.store(false, std::memory_order_relaxed); }
    bool mfileLoadStateFlag() const { return mfileLoadStateFlag_.load(std::memory_order_relaxed); }
    // The play position: frames requested by the render path since the last open or seek,
    // plus the seek target.
    SInt64 currentFrame() const { return mCurFrame.load(std::memory_order_relaxed); }
    // The frame the listener hears now: currentFrame() less what the speed/pitch effect,
    // the mixer's varispeed and the output still hold (at the speed each part was made at).
    // The seek target after a seek, until the new position plays; currentFrame() where the
    // output cannot tell (no graph running since the open, or no answer from the audio
    // server). Asks the audio server (a round trip): controlling threads only, and only
    // when the answer is wanted.
    SInt64 heardFrame() const;
    // The end-of-track handler (render thread): marks the graph stopped and has the main
    // thread post the end report with the track's length. Never waits.
    void musicDidEnd();
    // The periodic position report (main thread); re-arms itself.
    void makeMusciPlaySliderMovig();
    // Starts the worker thread that arms the first position report.
    void startTheBackGroundJob();

private:
    // Render thread: stops the output without waiting (the main thread logs it later).
    void stopFromRenderThread();
    // Main thread: logs the stops the render thread made and posts its end reports.
    void deliverRenderReports();
    void closeReader();
    // With mReaderMutex held: empties the next-reader slot and waits until no block can
    // take it any more; answers the reader that was there, for disposal.
    ExtAudioFileRef takeBackNextReader();
    bool prepareReader(ExtAudioFileRef file);
    // Opens a song's file with its leveling gain set on the reader; nullptr (the failure
    // logged) when it cannot be opened. Any controlling thread.
    static ExtAudioFileRef openTrackFile(const QUrl& url, SInt32 playbackGain);
    // Any controlling thread: drops the audio rendered before that the mixer's varispeed
    // and the audio server still hold (a new track or a seek must not begin with it).
    void dropBufferedAudio();
    // FileSeek, while no block runs: fills the speed/pitch effect's queues from the new
    // position so that its output starts with the first block.
    void primeSpeedPitch(ExtAudioFileRef file);
    // Render thread: at the end of the current reader, makes the prepared one current.
    // `usedOfBlock` is the frames of this block the finished song filled. Answers the new
    // reader, or nullptr when none is prepared (or the last retired one is still waiting
    // for disposal).
    ExtAudioFileRef moveOnToNextReader(ExtAudioFileRef finished, UInt32 usedOfBlock, UInt32 blockFrames);
    // Main thread: disposes of the reader the render path retired.
    void disposeRetiredReader();
    void scheduleLockRelease();
    OSStatus render(UInt32 frames, AudioBufferList* ioData, const AudioTimeStamp* stamp);
    // Render thread, at the end of a block: adds where it ends to the trail of heard frames.
    void traceHeardFrame(SInt64 blockEnd);
    // Controlling thread, while no block reads: the song frame that the next block starts
    // at, whatever the output still holds (a seek, a new song).
    void startHeardFramesAt(SInt64 frame) { mPendingFloor.store(frame, std::memory_order_release); }
    // Render thread: carries out a speed change for the speed/pitch effect at the start of
    // a piece, and the mixer's rate once the effect's output reaches it (at frame `done`
    // of the block, with `delivered` frames of this piece).
    void applyPendingSpeed(bool effectRuns, UInt32 done, ExtAudioFileRef file);
    // Render thread, right after a speed change: reads and queues what the effect's queues
    // lack for the new speed's segments, so its output never runs dry.
    void topUpSpeedPitch(ExtAudioFileRef file);
    // Reads up to `frames` (at most kMaxFramesPerRead) frames into `block` as the effects
    // take them: stereo, with the song's leveling gain. Answers the frames read (0 at the
    // end, on a failed read or while the decoder is behind). The render thread, or a
    // controlling thread while no block runs.
    UInt32 readStereo(ExtAudioFileRef file, int16_t* block, UInt32 frames);
    void switchRateInStep(UInt32 done, UInt32 delivered);

    std::atomic<bool> mIsPlaying{false};
    std::atomic<bool> mfileLoadStateFlag_{true};
    std::atomic<SInt64> mFrameCount{0};
    std::atomic<SInt64> mCurFrame{0};

    // The read block and the stereo work block of the render path, allocated here once.
    std::unique_ptr<int16_t[]> mReadBlock;
    std::unique_ptr<int16_t[]> mWorkBlock;

    double mReportInterval;
    double mLockReleaseDelay = 0.2;
    std::unique_ptr<DelayedCall> mReportTimer;
    SInt64 mLastReportedFrame = -1; // main thread
    std::unique_ptr<DelayedCall> mLockReleaseTimer;
    // Expires with the engine, so that work queued for the main thread can tell.
    std::shared_ptr<int> mAlive = std::make_shared<int>(0);

    // What the render thread hands to the main thread: end reports (each with the length
    // recorded when the track ended) and stops after a read error.
    std::atomic<int> mEndsPending{0};
    std::atomic<SInt64> mEndFrameCount{0};
    std::atomic<int> mErrorStopsPending{0};
    // Of those, the stops on a read from an open song (its decoding failed).
    std::atomic<int> mReadFailuresPending{0};
    // Songs the render path moved on from without stopping.
    std::atomic<int> mMovesPending{0};
    // The prepared next song's reader and length (the length is stored before the reader
    // is published, and only after no block can still take an earlier one), and the
    // reader the render path finished with, waiting for the main thread to dispose of it.
    std::atomic<ExtAudioFileRef> mNextReader{nullptr};
    std::atomic<SInt64> mNextFrameCount{0};
    std::atomic<ExtAudioFileRef> mRetiredReader{nullptr};
    std::unique_ptr<MainThreadSignal> mRenderReports;
    // Opening, closing and seeking the reader; never taken on the render thread.
    std::mutex mReaderMutex;
    // Set and cleared by FileSeek alone (under mReaderMutex): while set, the render
    // callback plays silence and touches no reader and no effect state. Unlike SeekLock,
    // which starting, stopping and the mode calls clear, nothing else can end it early.
    std::atomic<bool> mSeekInProgress{false};
    // A speed (percent) for the render thread to carry out while speed/pitch runs; 0: none.
    std::atomic<int> mPendingSpeed{0};
    // Render thread (and FileSeek while it keeps the render thread out): the mixer's rate
    // waits for the effect to deliver the first frame made with the new speed, this many
    // frames on (-1: nothing waits), and then becomes mRateSwitchTo percent.
    SInt64 mRateSwitchIn = -1;
    int mRateSwitchTo = 100;
    // Which song frame each input frame of the mixer carried (render thread writes, after
    // each block; heardFrame reads), and a starting point a controlling thread left for the
    // next block to put in it (-1: none).
    PositionTrail mSongTrail;
    std::atomic<SInt64> mPendingFloor{-1};
};
