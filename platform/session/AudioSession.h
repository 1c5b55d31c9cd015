#pragma once
// The audio session: how the application's sound lives beside the rest of the system's.
// Initialise it once with an interruption listener, set its category and preferences,
// register a route-change listener, activate it, read the hardware's actual values and the
// current output route.
//
// The session runs on an audio server (AudioSessionServer.h): normally the PulseAudio
// connection that the output unit plays through. Route names are "Speaker", "Headphone",
// "HeadphoneBT" and "LineOut" (a dock's line output).
//
// Threads: call it from the main thread. Both listeners are called on the main thread
// (the thread of the QCoreApplication), queued there from the server's own thread: never
// on the render thread, never while the server's loop lock is held, and never waited for.
// Before it is initialised (or when initialising failed) the route query answers the
// route a test set, "Speaker" unless one did.

#include "platform/coreaudio/CoreAudioTypes.h"

#include <optional>
#include <string>

using AudioSessionPropertyID = UInt32;

// Interruption states passed to the interruption listener.
enum : UInt32 {
    kAudioSessionEndInterruption = 0,
    kAudioSessionBeginInterruption = 1,
};

// Route-change reasons (only printed by the application).
enum : SInt32 {
    kAudioSessionRouteChangeReason_Unknown = 0,
    kAudioSessionRouteChangeReason_NewDeviceAvailable = 1,
    kAudioSessionRouteChangeReason_OldDeviceUnavailable = 2,
};

constexpr AudioSessionPropertyID kAudioSessionProperty_AudioCategory = FourCC("acat");
constexpr AudioSessionPropertyID kAudioSessionProperty_AudioRouteChange = FourCC("roch");
constexpr AudioSessionPropertyID kAudioSessionProperty_PreferredHardwareIOBufferDuration = FourCC("iobd");
constexpr AudioSessionPropertyID kAudioSessionProperty_PreferredHardwareSampleRate = FourCC("hwsr");
constexpr AudioSessionPropertyID kAudioSessionProperty_CurrentHardwareIOBufferDuration = FourCC("chbd");
constexpr AudioSessionPropertyID kAudioSessionProperty_CurrentHardwareSampleRate = FourCC("chsr");
constexpr AudioSessionPropertyID kAudioSessionProperty_CurrentHardwareOutputLatency = FourCC("cool");
constexpr AudioSessionPropertyID kAudioSessionProperty_AudioRoute = FourCC("rout");

constexpr UInt32 kAudioSessionCategory_MediaPlayback = FourCC("medi");

constexpr OSStatus kAudioSessionAlreadyInitialized = OSStatus(FourCC("init"));
constexpr OSStatus kAudioSessionNotActiveError = OSStatus(FourCC("!act"));
constexpr OSStatus kAudioSessionNoHardwareError = OSStatus(FourCC("nohw"));
constexpr OSStatus kAudioSessionUnsupportedPropertyError = OSStatus(FourCC("pty?"));
constexpr OSStatus kAudioSessionBadPropertySizeError = OSStatus(FourCC("!siz"));

// The route-change listener's data is a QVariantMap (its size as inDataSize) with these
// keys: the reason as an integer, and the previous route name as a string (missing when
// there was no route).
inline constexpr const char* kAudioSession_AudioRouteChangeKey_Reason = "OutputDeviceDidChange_Reason";
inline constexpr const char* kAudioSession_AudioRouteChangeKey_OldRoute = "OutputDeviceDidChange_OldRoute";

using AudioSessionInterruptionListener = void (*)(void* inClientData, UInt32 inInterruptionState);
using AudioSessionPropertyListener = void (*)(void* inClientData, AudioSessionPropertyID inID, UInt32 inDataSize,
                                              const void* inData);

// Connects to the audio server and starts watching routes and interruptions. The run loop
// arguments are accepted for the caller's sake: listeners always run on the main thread.
OSStatus AudioSessionInitialize(void* inRunLoop, const void* inRunLoopMode,
                                AudioSessionInterruptionListener inInterruptionListener, void* inClientData);
OSStatus AudioSessionSetProperty(AudioSessionPropertyID inID, UInt32 inDataSize, const void* inData);
OSStatus AudioSessionGetProperty(AudioSessionPropertyID inID, UInt32* ioDataSize, void* outData);
// Only kAudioSessionProperty_AudioRouteChange can be listened to.
OSStatus AudioSessionAddPropertyListener(AudioSessionPropertyID inID, AudioSessionPropertyListener inProc,
                                         void* inClientData);
OSStatus AudioSessionSetActive(Boolean active);

// Answers the current route name in *outRoute, or std::nullopt when there is no route
// (no output device at all). On failure *outRoute is std::nullopt and the status says why.
// Any thread may ask.
OSStatus AudioSessionCopyAudioRoute(std::optional<std::string>* outRoute);

// ---- Test helpers -------------------------------------------------------------------

// The route answered while the session is not initialised (std::nullopt: no route at all).
void AudioSessionSetAudioRouteForTesting(std::optional<std::string> route);

// Makes every route query answer `status` (noErr: answer normally again).
void AudioSessionSetRouteQueryStatusForTesting(OSStatus status);

// Ends the session (listeners dropped, the server let go) and goes back to answering
// "Speaker" with queries answering normally; the next initialisation uses the audio
// server again unless a test installs its own (AudioSessionServer.h).
void AudioSessionResetForTesting();
