#pragma once
// The application's audio session: its set-up at launch, the two session callbacks that
// reach the player, and the resumption after an interruption when the application becomes
// active again.
//
// Threads: everything here runs on the main thread; the session queues both callbacks
// there (never on the render thread, never with the audio server's lock held).

#include "platform/session/AudioSession.h"

#include "platform/foundation/RunLoop.h"

class TavoroViewController;

// What the session callbacks get as their context: the application delegate, through
// which they reach the main player controller.
class AudioSessionContext {
public:
    virtual TavoroViewController* tavoroViewController() const = 0;
    // An interruption ended (after the session is active again). Nothing by default; the
    // application delegate counts it as becoming active while its window is on screen.
    virtual void interruptionDidEnd() {}

protected:
    ~AudioSessionContext() = default;
};

// The launch's session set-up: initialise with interruptionListener and `context`,
// category media playback, propertyListener for route changes, 0.02 s I/O buffer duration,
// 44100 Hz, activation, then prints the buffer duration, sample rate and output latency
// the hardware actually uses. The first failing step ends it with one line
// "Error: %s (%s)\n" on standard error; the launch goes on either way.
void SetUpAudioSession(AudioSessionContext* context);

// The session's interruption callback (context: an AudioSessionContext).
void interruptionListener(void* inClientData, UInt32 inInterruptionState);
// The session's property callback, registered for route changes (context: an
// AudioSessionContext; data: the route-change details, a QVariantMap).
void propertyListener(void* inClientData, AudioSessionPropertyID inID, UInt32 inDataSize, const void* inData);

// Resumes playback that an interruption stopped, kDelaySeconds after the application
// becomes active again (the player's playstart() does nothing otherwise). Becoming active
// again before then waits anew.
class InterruptionResume {
public:
    static constexpr double kDelaySeconds = 1.0;

    void applicationDidBecomeActive(TavoroViewController* player);
    bool isPending() const { return mCall.isPending(); }

private:
    DelayedCall mCall;
};
