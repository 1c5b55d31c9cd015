#pragma once
// Shared pieces of the audio graph tests: a graph built the way the engine builds it, and a
// render callback that serves a chosen signal and counts what it was asked for.

#include "engine/CAComponentDescription.h"
#include "engine/CAStreamBasicDescription.h"
#include "platform/audio/AUGraph.h"
#include "platform/audio/AudioCapture.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

// Serves frames of `signal` (frame index, channel) -> sample; optional hook runs on every call.
struct TestSource {
    UInt32 channels = 2;
    std::function<int16_t(int64_t, int)> signal = [](int64_t i, int ch) { return Pattern(i, ch); };
    std::function<void(TestSource&)> onCall;
    int64_t nextFrame = 0;
    std::atomic<int64_t> framesPulled{0};
    std::atomic<int> calls{0};
    std::atomic<bool> inCallback{false};
    AUGraph graph = nullptr;

    // A full-range pseudo-random signal that reaches both extremes.
    static int16_t Pattern(int64_t i, int ch)
    {
        if (i % 997 == 5)
            return ch ? 32767 : -32768;
        uint32_t x = uint32_t(i * 2654435761u + uint32_t(ch) * 40503u);
        x ^= x >> 15;
        x *= 2246822519u;
        x ^= x >> 13;
        return int16_t(x & 0xFFFF);
    }

    static OSStatus Render(void* context, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32 frames,
                           AudioBufferList* io)
    {
        auto& self = *static_cast<TestSource*>(context);
        self.inCallback.store(true);
        auto* out = static_cast<int16_t*>(io->mBuffers[0].mData);
        UInt32 channels = io->mBuffers[0].mNumberChannels;
        for (UInt32 f = 0; f < frames; ++f)
            for (UInt32 c = 0; c < channels; ++c)
                out[f * channels + c] = self.signal(self.nextFrame + f, int(c));
        self.nextFrame += frames;
        self.framesPulled.fetch_add(frames);
        self.calls.fetch_add(1);
        if (self.onCall)
            self.onCall(self);
        self.inCallback.store(false);
        return noErr;
    }
};

// A graph built step by step as the engine does it: output and 3D mixer, connected, opened,
// one input bus with the source's callback and client format, output format, initialised.
struct TestGraph {
    AUGraph graph = nullptr;
    AUNode outputNode = 0;
    AUNode mixerNode = 0;
    AudioUnit mixer = nullptr;

    ~TestGraph()
    {
        if (graph)
            DisposeAUGraph(graph);
    }

    static CAStreamBasicDescription ClientFormat(UInt32 channels)
    {
        CAStreamBasicDescription format;
        format.SetCanonical(channels, true);
        format.mSampleRate = 44100.0;
        return format;
    }
    static CAStreamBasicDescription MixerOutputFormat()
    {
        CAStreamBasicDescription format;
        format.SetAUCanonical(2, false);
        format.mSampleRate = 44100.0;
        return format;
    }

    // Answers the first failing status, or noErr.
    OSStatus build(TestSource* source, const AudioStreamBasicDescription& outputFormat = MixerOutputFormat())
    {
        CAComponentDescription outputDescription(kAudioUnitType_Output, kAudioUnitSubType_RemoteIO,
                                                 kAudioUnitManufacturer_System);
        CAComponentDescription mixerDescription(kAudioUnitType_Mixer, kAudioUnitSubType_AU3DMixerEmbedded,
                                                kAudioUnitManufacturer_System);
        OSStatus s;
        if ((s = NewAUGraph(&graph)) || (s = AUGraphAddNode(graph, &outputDescription, &outputNode))
            || (s = AUGraphAddNode(graph, &mixerDescription, &mixerNode))
            || (s = AUGraphConnectNodeInput(graph, mixerNode, 0, outputNode, 0)) || (s = AUGraphOpen(graph))
            || (s = AUGraphNodeInfo(graph, mixerNode, nullptr, &mixer)))
            return s;
        UInt32 buses = 1;
        if ((s = AudioUnitSetProperty(mixer, kAudioUnitProperty_ElementCount, kAudioUnitScope_Input, 0, &buses,
                                      sizeof buses)))
            return s;
        if (source) {
            source->graph = graph;
            AURenderCallbackStruct callback{&TestSource::Render, source};
            CAStreamBasicDescription client = ClientFormat(source->channels);
            if ((s = AUGraphSetNodeInputCallback(graph, mixerNode, 0, &callback))
                || (s = AudioUnitSetProperty(mixer, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0,
                                             &client, sizeof client)))
                return s;
        }
        if ((s = AudioUnitSetProperty(mixer, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0,
                                      &outputFormat, sizeof outputFormat)))
            return s;
        return AUGraphInitialize(graph);
    }

    // build(), then the graph started: the first failing status, or noErr.
    OSStatus start(TestSource* source)
    {
        const OSStatus s = build(source);
        return s ? s : AUGraphStart(graph);
    }

    bool running() const
    {
        Boolean isRunning = false;
        AUGraphIsRunning(graph, &isRunning);
        return isRunning;
    }
};
