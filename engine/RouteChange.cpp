#include "engine/RouteChange.h"

#include "platform/session/AudioSession.h"

bool RouteChange::getRouteState() const
{
    std::optional<std::string> route;
    if (AudioSessionCopyAudioRoute(&route) != noErr || !route)
        return false;
    return *route == "LineOut";
}
