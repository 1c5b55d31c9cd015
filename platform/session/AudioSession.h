#pragma once
// The audio session as the engine sees it: the name of the current output route.
//
// Route names are "Speaker", "Headphone", "HeadphoneBT" and "LineOut" (a dock's line
// output). Until the session is backed by the audio server, the route is "Speaker".
// Tests set the route, take it away, or make the query fail with a status.

#include "platform/coreaudio/CoreAudioTypes.h"

#include <optional>
#include <string>

using AudioSessionPropertyID = UInt32;

constexpr AudioSessionPropertyID kAudioSessionProperty_AudioRoute = FourCC("rout");

// Answers the current route name in *outRoute, or std::nullopt when there is no route.
// On failure *outRoute is std::nullopt and the status says why.
OSStatus AudioSessionCopyAudioRoute(std::optional<std::string>* outRoute);

// ---- Test helpers -------------------------------------------------------------------

// Sets the route the session reports (std::nullopt: no route at all).
void AudioSessionSetAudioRouteForTesting(std::optional<std::string> route);

// Makes every route query answer `status` (noErr: answer normally again).
void AudioSessionSetRouteQueryStatusForTesting(OSStatus status);

// Back to "Speaker" with queries answering normally.
void AudioSessionResetForTesting();
