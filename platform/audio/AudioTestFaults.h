#pragma once
// Fault injection for tests: makes a chosen graph call answer a chosen status, so that the
// callers' failure paths and log lines can be exercised. A failing call does nothing else.

#include "platform/coreaudio/CoreAudioTypes.h"

enum class AudioCall {
    NewAUGraph,
    DisposeAUGraph,
    AUGraphAddNode,
    AUGraphConnectNodeInput,
    AUGraphOpen,
    AUGraphNodeInfo,
    AUGraphSetNodeInputCallback,
    AUGraphInitialize,
    AUGraphUninitialize,
    AUGraphStart,
    AUGraphStop,
    AUGraphIsRunning,
    AudioUnitSetProperty,
    AudioUnitGetProperty,
    AudioUnitSetParameter,
    AudioUnitGetParameter,
};

// The nth call of `call` from now (1 = the next one) answers `status`, and so do the
// `times` - 1 calls after it; times 0 means every call from the nth on until cleared.
// A new fault for the same call replaces the old one.
void AudioTestFailCall(AudioCall call, OSStatus status, unsigned nth = 1, unsigned times = 1);
void AudioTestClearFaults();
