// Creation and teardown of the engine, graph set-up, start and stop, the client format
// switch, and the mixer's gain and playback rate.

#include "engine/AUGraphController.h"

#include "engine/CAComponentDescription.h"
#include "engine/EngineGlobals.h"
#include "engine/RenderGate.h"
#include "engine/StatusLog.h"
#include "platform/audio/AUGraph.h"
#include "platform/foundation/MainThreadSignal.h"
#include "platform/foundation/RunLoop.h"
#include "platform/session/AudioSession.h"

#include <cstdio>
#include <string>

AUGraphController::AUGraphController(double reportIntervalSeconds)
    : mReadBlock(new int16_t[kMaxFramesPerRead * 2]()),
      mWorkBlock(new int16_t[kMaxFramesPerRead * 2]()),
      mReportInterval(reportIntervalSeconds),
      mRenderReports(std::make_unique<MainThreadSignal>([this] { deliverRenderReports(); }))
{
    mIsPlaying.store(false);
    mfileLoadStateFlag_.store(true);
    startTheBackGroundJob();
}

AUGraphController::~AUGraphController()
{
    std::printf("AUGraphController dealloc\n");
    // Main thread. The graph goes first: disposing of it stops the output and waits for its
    // render thread to end, which never waits for this thread (a track's end is only marked
    // for the main thread, see musicDidEnd), so a song ending right now cannot hold up the
    // teardown. After that no callback runs and the reader is closed without a render in
    // progress. An end report still pending on the main thread dies with mRenderReports.
    if (mGraph != nullptr) {
        DisposeAUGraph(mGraph);
        mGraph = nullptr;
        mMixer = nullptr;
        mMixerNode = 0;
        mOutputUnit = nullptr;
    }
    std::lock_guard reader(mReaderMutex);
    closeReader();
}

void AUGraphController::initializeAUGraph(int channels)
{
    std::printf("initializeAUGraph\n");
    std::printf("create client ASBD\n");
    mClientFormat.SetCanonical(UInt32(channels), true);
    mClientFormat.mSampleRate = 44100.0;
    mClientFormat.PrintFormat(stdout, "", "AudioStreamBasicDescription:");

    std::printf("create output ASBD\n");
    mOutputFormat.SetAUCanonical(2, false);
    mOutputFormat.mSampleRate = 44100.0;
    mOutputFormat.PrintFormat(stdout, "", "AudioStreamBasicDescription:");

    std::printf("new AUGraph\n");
    // A graph from an earlier set-up is replaced, not leaked.
    if (mGraph != nullptr) {
        DisposeAUGraph(mGraph);
        mGraph = nullptr;
        mMixer = nullptr;
        mOutputUnit = nullptr;
    }
    OSStatus result = NewAUGraph(&mGraph);
    if (result) {
        PrintStatusLine("NewAUGraph result", result);
        return;
    }

    CAComponentDescription outputDescription(kAudioUnitType_Output, kAudioUnitSubType_RemoteIO,
                                             kAudioUnitManufacturer_System);
    CAComponentDescription mixerDescription(kAudioUnitType_Mixer, kAudioUnitSubType_AU3DMixerEmbedded,
                                            kAudioUnitManufacturer_System);

    std::printf("add nodes\n");
    AUNode outputNode = 0;
    result = AUGraphAddNode(mGraph, &outputDescription, &outputNode);
    if (result) {
        PrintStatusLineUnsigned("AUGraphNewNode 1 result", result);
        return;
    }
    result = AUGraphAddNode(mGraph, &mixerDescription, &mMixerNode);
    if (result) {
        PrintStatusLineUnsigned("AUGraphNewNode 3 result", result);
        return;
    }

    result = AUGraphConnectNodeInput(mGraph, mMixerNode, 0, outputNode, 0);
    if (result) {
        PrintStatusLineUnsigned("AUGraphConnectNodeInput result", result);
        return;
    }

    result = AUGraphOpen(mGraph);
    if (result) {
        PrintStatusLine("AUGraphOpen result", result);
        return;
    }

    result = AUGraphNodeInfo(mGraph, mMixerNode, nullptr, &mMixer);
    if (result) {
        PrintStatusLine("AUGraphNodeInfo result", result);
        return;
    }
    // Only for dropping what the output holds (dropBufferedAudio); without it nothing is
    // dropped, so a failure here is not worth a line.
    if (AUGraphNodeInfo(mGraph, outputNode, nullptr, &mOutputUnit) != noErr)
        mOutputUnit = nullptr;

    UInt32 numbuses = 1;
    std::printf("set input bus count %lu\n", static_cast<unsigned long>(numbuses));
    result = AudioUnitSetProperty(mMixer, kAudioUnitProperty_ElementCount, kAudioUnitScope_Input, 0,
                                  &numbuses, sizeof(numbuses));
    if (result) {
        PrintStatusLine("AudioUnitSetProperty result", result);
        return;
    }

    for (UInt32 bus = 0; bus < numbuses; ++bus) {
        std::printf("set AUGraphSetNodeInputCallback\n");
        AURenderCallbackStruct callback{&AUGraphController::renderInput, this};
        result = AUGraphSetNodeInputCallback(mGraph, mMixerNode, bus, &callback);
        if (result) {
            PrintStatusLine("AUGraphSetNodeInputCallback result", result);
            return;
        }
        std::printf("set input bus %d, client kAudioUnitProperty_StreamFormat\n", int(bus));
        result = AudioUnitSetProperty(mMixer, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, bus,
                                      &mClientFormat, sizeof(AudioStreamBasicDescription));
        if (result) {
            PrintStatusLine("AudioUnitSetProperty result", result);
            return;
        }
    }

    std::printf("set output kAudioUnitProperty_StreamFormat\n");
    result = AudioUnitSetProperty(mMixer, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0,
                                  &mOutputFormat, sizeof(AudioStreamBasicDescription));
    if (result) {
        PrintStatusLine("AudioUnitSetProperty result", result);
        return;
    }

    result = AUGraphInitialize(mGraph);
    if (result) {
        PrintStatusLine("AUGraphInitialize result", result);
        return;
    }
    CAShow(mGraph);
}

void AUGraphController::startAUGraph(int dockingSetting)
{
    std::printf("PLAY\n");

    std::optional<std::string> route;
    OSStatus result = AudioSessionCopyAudioRoute(&route);
    if (result)
        PrintStatusLine("kAudioSessionProperty_AudioRoute result", result);
    if (route && dockingSetting == 1) {
        // With Docking Mode off, effects run on the device's own outputs and are bypassed
        // on any other route (a dock's line output).
        const bool ownOutput = *route == "Speaker" || *route == "Headphone" || *route == "HeadphoneBT";
        setModeChange(EffectModeDocking, ownOutput ? 1 : 0);
    }

    std::printf("AUGraphStart~~~~\n");
    // The playing state is set before the graph runs: a short track can end, and the render
    // thread mark the engine stopped, before AUGraphStart has even returned here.
    const bool wasPlaying = mIsPlaying.exchange(true);
    const bool wasLocked = SeekLock.exchange(false, std::memory_order_seq_cst);
    result = AUGraphStart(mGraph);
    if (result) {
        mIsPlaying.store(wasPlaying);
        SeekLock.store(wasLocked, std::memory_order_seq_cst);
        PrintStatusLine("AUGraphStart result", result);
        return;
    }
    std::lock_guard lock(PlayTimerUpdateMutex);
    PlayTimerUpdateDictionary = QVariantMap();
}

void AUGraphController::dropBufferedAudio()
{
    // The varispeed forgets its input at its next block; the server drops what it holds.
    if (mMixer != nullptr)
        AudioUnitReset(mMixer, kAudioUnitScope_Global, 0);
    if (mOutputUnit != nullptr)
        AudioUnitReset(mOutputUnit, kAudioUnitScope_Global, 0);
}

void AUGraphController::stopAUGraph()
{
    // The render thread stops through stopFromRenderThread; the output stops and waits for
    // a render in progress here, which never waits for this thread in turn. Stopping here
    // pauses the output where it stands (the audio server's stream is corked, keeping what
    // it holds), so the next start goes on at the first frame not heard yet: a pause, an
    // interruption or a route change loses and repeats nothing.
    std::printf("STOP\n");
    Boolean running = false;
    OSStatus result = AUGraphIsRunning(mGraph, &running);
    if (result) {
        PrintStatusLine("AUGraphIsRunning result", result);
    } else if (running) {
        std::printf("StopAuGraph~~~~\n");
        result = AUGraphStop(mGraph);
        if (result) {
            PrintStatusLine("AUGraphStop result", result);
        } else {
            mIsPlaying.store(false);
            mSeekFlag.store(false);
            SeekLock.store(false, std::memory_order_seq_cst);
        }
    }
}

bool AUGraphController::InputStremFormatChange(int channels)
{
    {
        // A prepared next song was given the old format: it cannot follow the open one.
        std::lock_guard reader(mReaderMutex);
        if (ExtAudioFileRef next = takeBackNextReader())
            ExtAudioFileDispose(next);
        mClientFormat.SetCanonical(UInt32(channels), true);
    }
    mClientFormat.PrintFormat(stdout, "", "AudioStreamBasicDescription:");

    OSStatus result = AudioUnitSetProperty(mMixer, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0,
                                           &mClientFormat, sizeof(AudioStreamBasicDescription));
    if (result) {
        PrintStatusLine("AudioUnitSetProperty result", result);
        return false;
    }
    result = AUGraphInitialize(mGraph);
    if (result) {
        PrintStatusLine("AUGraphInitialize result", result);
        return false;
    }
    CAShow(mGraph);
    return true;
}

void AUGraphController::setOutputVolume(float gain)
{
    OSStatus result = AudioUnitSetParameter(mMixer, k3DMixerParam_Gain, kAudioUnitScope_Output, 0, gain, 0);
    if (result)
        PrintStatusLine("AudioUnitSetParameter k3DMixerParam_MaxGain Output result", result);
}

void AUGraphController::setSpeedNormal(int percent)
{
    const Float32 rate = Float32(percent) / 100.0f;
    OSStatus result = AudioUnitSetParameter(mMixer, k3DMixerParam_PlaybackRate, kAudioUnitScope_Input, 0, rate, 0);
    if (result)
        PrintStatusLine("AudioUnitSetParameter k3DMixerParam_PlaybackRate Input result", result);
}

void AUGraphController::setInputVolume(int, float) {}

void AUGraphController::enableInput(int, bool) {}
