#include "platform/session/AudioSession.h"

#include "platform/foundation/RunLoop.h"
#include "platform/session/AudioSessionServer.h"
#include "platform/session/PulseSessionServer.h"

#include <QString>
#include <QVariantMap>

#include <functional>
#include <mutex>

namespace {

constexpr const char* kFallbackRoute = "Speaker";

// Touched from the main thread, and by route queries and server reports from any thread.
struct SessionState {
    std::mutex mutex;
    std::optional<std::string> fallbackRoute = std::string(kFallbackRoute);
    OSStatus queryStatus = noErr;
    std::shared_ptr<AudioSessionServer> serverForTesting;

    std::shared_ptr<AudioSessionServer> server; // set while initialised
    uint64_t generation = 0;                    // reports queued before a reset are dropped
    AudioSessionInterruptionListener interruptionListener = nullptr;
    void* interruptionData = nullptr;
    AudioSessionPropertyListener routeListener = nullptr;
    void* routeData = nullptr;
};

SessionState& state()
{
    static SessionState s;
    return s;
}

std::shared_ptr<AudioSessionServer> initialisedServer()
{
    SessionState& s = state();
    std::lock_guard lock(s.mutex);
    return s.server;
}

template <typename T>
OSStatus readValue(UInt32 inDataSize, const void* inData, T* value)
{
    if (inData == nullptr || inDataSize != sizeof(T))
        return kAudioSessionBadPropertySizeError;
    *value = *static_cast<const T*>(inData);
    return noErr;
}

template <typename T>
OSStatus answerValue(OSStatus (AudioSessionServer::*read)(T*), AudioSessionServer& server, UInt32* ioDataSize,
                     void* outData)
{
    if (ioDataSize == nullptr || outData == nullptr || *ioDataSize < sizeof(T))
        return kAudioSessionBadPropertySizeError;
    T value{};
    OSStatus result = (server.*read)(&value);
    if (result)
        return result;
    *static_cast<T*>(outData) = value;
    *ioDataSize = sizeof(T);
    return noErr;
}

} // namespace

OSStatus AudioSessionInitialize(void*, const void*, AudioSessionInterruptionListener inInterruptionListener,
                                void* inClientData)
{
    SessionState& s = state();
    std::shared_ptr<AudioSessionServer> server;
    {
        std::lock_guard lock(s.mutex);
        if (s.server)
            return kAudioSessionAlreadyInitialized;
        server = s.serverForTesting ? s.serverForTesting : PulseSessionServer::shared();
    }
    // Opening may wait for the server; no lock is held meanwhile.
    if (OSStatus result = server->open())
        return result;
    std::lock_guard lock(s.mutex);
    s.server = std::move(server);
    s.interruptionListener = inInterruptionListener;
    s.interruptionData = inClientData;
    return noErr;
}

OSStatus AudioSessionSetProperty(AudioSessionPropertyID inID, UInt32 inDataSize, const void* inData)
{
    std::shared_ptr<AudioSessionServer> server = initialisedServer();
    if (!server)
        return kAudioSessionNotInitialized;
    switch (inID) {
    case kAudioSessionProperty_AudioCategory: {
        UInt32 category = 0;
        OSStatus result = readValue(inDataSize, inData, &category);
        return result ? result : server->setCategory(category);
    }
    case kAudioSessionProperty_PreferredHardwareIOBufferDuration: {
        Float32 seconds = 0;
        OSStatus result = readValue(inDataSize, inData, &seconds);
        return result ? result : server->setPreferredIOBufferDuration(seconds);
    }
    case kAudioSessionProperty_PreferredHardwareSampleRate: {
        Float64 hertz = 0;
        OSStatus result = readValue(inDataSize, inData, &hertz);
        return result ? result : server->setPreferredSampleRate(hertz);
    }
    default:
        return kAudioSessionUnsupportedPropertyError;
    }
}

OSStatus AudioSessionGetProperty(AudioSessionPropertyID inID, UInt32* ioDataSize, void* outData)
{
    std::shared_ptr<AudioSessionServer> server = initialisedServer();
    if (!server)
        return kAudioSessionNotInitialized;
    switch (inID) {
    case kAudioSessionProperty_CurrentHardwareIOBufferDuration:
        return answerValue(&AudioSessionServer::currentIOBufferDuration, *server, ioDataSize, outData);
    case kAudioSessionProperty_CurrentHardwareSampleRate:
        return answerValue(&AudioSessionServer::currentSampleRate, *server, ioDataSize, outData);
    case kAudioSessionProperty_CurrentHardwareOutputLatency:
        return answerValue(&AudioSessionServer::currentOutputLatency, *server, ioDataSize, outData);
    default:
        return kAudioSessionUnsupportedPropertyError;
    }
}

OSStatus AudioSessionAddPropertyListener(AudioSessionPropertyID inID, AudioSessionPropertyListener inProc,
                                         void* inClientData)
{
    SessionState& s = state();
    std::lock_guard lock(s.mutex);
    if (!s.server)
        return kAudioSessionNotInitialized;
    if (inID != kAudioSessionProperty_AudioRouteChange)
        return kAudioSessionUnsupportedPropertyError;
    s.routeListener = inProc;
    s.routeData = inClientData;
    return noErr;
}

OSStatus AudioSessionSetActive(Boolean active)
{
    std::shared_ptr<AudioSessionServer> server = initialisedServer();
    if (!server)
        return kAudioSessionNotInitialized;
    return server->setActive(active);
}

OSStatus AudioSessionCopyAudioRoute(std::optional<std::string>* outRoute)
{
    if (outRoute == nullptr)
        return kAudioSessionUnspecifiedError;
    *outRoute = std::nullopt;
    SessionState& s = state();
    std::shared_ptr<AudioSessionServer> server;
    {
        std::lock_guard lock(s.mutex);
        if (s.queryStatus != noErr)
            return s.queryStatus;
        if (!s.server) {
            *outRoute = s.fallbackRoute;
            return noErr;
        }
        server = s.server;
    }
    return server->currentRoute(outRoute);
}

// The two reports come from the server's own thread (the audio server connection's loop,
// which also runs the output's render): they only queue the call to the main thread, where
// the listener runs with no lock of ours or the server's held. A report that arrives after
// the session ended (or was set up again) is dropped.
namespace {

struct Listeners {
    AudioSessionInterruptionListener interruption;
    void* interruptionData;
    AudioSessionPropertyListener route;
    void* routeData;
};

void queueReport(std::function<void(const Listeners&)> deliver)
{
    SessionState& s = state();
    uint64_t generation;
    {
        std::lock_guard lock(s.mutex);
        generation = s.generation;
    }
    RunLoop::performOnMainThread(
        [generation, deliver = std::move(deliver)] {
            SessionState& s = state();
            Listeners listeners;
            {
                std::lock_guard lock(s.mutex);
                if (generation != s.generation || !s.server)
                    return;
                listeners = {s.interruptionListener, s.interruptionData, s.routeListener, s.routeData};
            }
            deliver(listeners);
        },
        false);
}

} // namespace

void AudioSessionReportInterruption(UInt32 interruptionState)
{
    queueReport([interruptionState](const Listeners& listeners) {
        if (listeners.interruption)
            listeners.interruption(listeners.interruptionData, interruptionState);
    });
}

void AudioSessionReportRouteChange(SInt32 reason, std::optional<std::string> oldRoute)
{
    queueReport([reason, oldRoute = std::move(oldRoute)](const Listeners& listeners) {
        if (!listeners.route)
            return;
        QVariantMap details;
        details.insert(kAudioSession_AudioRouteChangeKey_Reason, int(reason));
        if (oldRoute)
            details.insert(kAudioSession_AudioRouteChangeKey_OldRoute, QString::fromStdString(*oldRoute));
        listeners.route(listeners.routeData, kAudioSessionProperty_AudioRouteChange, UInt32(sizeof(details)),
                        &details);
    });
}

void AudioSessionSetServerForTesting(std::shared_ptr<AudioSessionServer> server)
{
    SessionState& s = state();
    std::lock_guard lock(s.mutex);
    s.serverForTesting = std::move(server);
}

void AudioSessionSetAudioRouteForTesting(std::optional<std::string> route)
{
    SessionState& s = state();
    std::lock_guard lock(s.mutex);
    s.fallbackRoute = std::move(route);
}

void AudioSessionSetRouteQueryStatusForTesting(OSStatus status)
{
    SessionState& s = state();
    std::lock_guard lock(s.mutex);
    s.queryStatus = status;
}

void AudioSessionResetForTesting()
{
    SessionState& s = state();
    std::shared_ptr<AudioSessionServer> server;
    {
        std::lock_guard lock(s.mutex);
        server = std::move(s.server);
        s.server = nullptr;
        ++s.generation;
        s.interruptionListener = nullptr;
        s.interruptionData = nullptr;
        s.routeListener = nullptr;
        s.routeData = nullptr;
        s.fallbackRoute = std::string(kFallbackRoute);
        s.queryStatus = noErr;
        s.serverForTesting = nullptr;
    }
    if (server)
        server->close();
}
