#include "platform/session/AudioSession.h"

#include <mutex>

namespace {

constexpr const char* kDefaultRoute = "Speaker";

struct SessionState {
    std::mutex mutex;
    std::optional<std::string> route = std::string(kDefaultRoute);
    OSStatus queryStatus = noErr;
};

SessionState& state()
{
    static SessionState s;
    return s;
}

} // namespace

OSStatus AudioSessionCopyAudioRoute(std::optional<std::string>* outRoute)
{
    if (outRoute == nullptr)
        return kAudioSessionUnspecifiedError;
    SessionState& s = state();
    std::lock_guard lock(s.mutex);
    if (s.queryStatus != noErr) {
        *outRoute = std::nullopt;
        return s.queryStatus;
    }
    *outRoute = s.route;
    return noErr;
}

void AudioSessionSetAudioRouteForTesting(std::optional<std::string> route)
{
    SessionState& s = state();
    std::lock_guard lock(s.mutex);
    s.route = std::move(route);
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
    std::lock_guard lock(s.mutex);
    s.route = std::string(kDefaultRoute);
    s.queryStatus = noErr;
}
