#pragma once
// What the audio session asks of the audio server it runs on, and how the server reports
// back. The session checks the calls (initialised, active, property sizes) and delivers
// the reports to its listeners on the main thread; the server only talks to the system.
//
// Threads: the session calls the server from the main thread. The server may report from
// any thread (the PulseAudio server reports from its connection's thread); reporting only
// queues the delivery and never waits.

#include "platform/session/AudioSession.h"

#include <memory>
#include <optional>
#include <string>

class AudioSessionServer {
public:
    virtual ~AudioSessionServer() = default;

    // Connects and starts watching routes and interruptions; the current route is known
    // when it answers noErr.
    virtual OSStatus open() = 0;
    // Stops watching and lets go of everything it holds on the server.
    virtual void close() = 0;

    virtual OSStatus setCategory(UInt32 category) = 0;
    virtual OSStatus setPreferredIOBufferDuration(Float32 seconds) = 0;
    virtual OSStatus setPreferredSampleRate(Float64 hertz) = 0;
    virtual OSStatus setActive(bool active) = 0;

    virtual OSStatus currentIOBufferDuration(Float32* seconds) = 0;
    virtual OSStatus currentSampleRate(Float64* hertz) = 0;
    virtual OSStatus currentOutputLatency(Float32* seconds) = 0;
    // Any thread.
    virtual OSStatus currentRoute(std::optional<std::string>* route) = 0;
};

// The server the session uses from its next initialisation on (nullptr: the audio
// server over PulseAudio again).
void AudioSessionSetServerForTesting(std::shared_ptr<AudioSessionServer> server);

// ---- Reports from the server (any thread) ---------------------------------------------

// An interruption begins (kAudioSessionBeginInterruption) or ends.
void AudioSessionReportInterruption(UInt32 state);
// The route changed; the server's current route is already the new one.
void AudioSessionReportRouteChange(SInt32 reason, std::optional<std::string> oldRoute);
