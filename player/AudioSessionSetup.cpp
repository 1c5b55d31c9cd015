#include "player/AudioSessionSetup.h"

#include "engine/CAXException.h"
#include "player/TavoroViewController.h"

#include <QPointer>
#include <QVariantMap>

#include <cstdio>

namespace {

TavoroViewController* playerOf(void* inClientData)
{
    auto* context = static_cast<AudioSessionContext*>(inClientData);
    return context ? context->tavoroViewController() : nullptr;
}

void printRoute(const char* label, const std::optional<std::string>& route)
{
    std::printf("%s", label);
    std::printf("%s\n", route ? route->c_str() : "(null)");
}

} // namespace

void SetUpAudioSession(AudioSessionContext* context)
{
    try {
        XThrowIfError(AudioSessionInitialize(nullptr, nullptr, &interruptionListener, context),
                      "couldn't initialize audio session");

        UInt32 category = kAudioSessionCategory_MediaPlayback;
        XThrowIfError(AudioSessionSetProperty(kAudioSessionProperty_AudioCategory, sizeof(category), &category),
                      "couldn't set audio category");

        XThrowIfError(AudioSessionAddPropertyListener(kAudioSessionProperty_AudioRouteChange, &propertyListener,
                                                      context),
                      "couldn't set property listener");

        Float32 preferredBufferSize = 0.02f;
        XThrowIfError(AudioSessionSetProperty(kAudioSessionProperty_PreferredHardwareIOBufferDuration,
                                              sizeof(preferredBufferSize), &preferredBufferSize),
                      "couldn't set i/o buffer duration");

        Float64 hwSampleRate = 44100.0;
        XThrowIfError(AudioSessionSetProperty(kAudioSessionProperty_PreferredHardwareSampleRate, sizeof(hwSampleRate),
                                              &hwSampleRate),
                      "couldn't set hw sample rate");

        XThrowIfError(AudioSessionSetActive(true), "couldn't set audio session active\n");

        Float32 bufferDuration = 0;
        UInt32 size = sizeof(bufferDuration);
        XThrowIfError(AudioSessionGetProperty(kAudioSessionProperty_CurrentHardwareIOBufferDuration, &size,
                                              &bufferDuration),
                      "couldn't get iobuffer duration");
        std::printf("Current IOBufferDuration: %fms\n", bufferDuration * 1000.0);

        size = sizeof(hwSampleRate);
        XThrowIfError(AudioSessionGetProperty(kAudioSessionProperty_CurrentHardwareSampleRate, &size, &hwSampleRate),
                      "couldn't get hw sample rate");
        std::printf("Current Hardware Sample Rate: %.fHz\n", hwSampleRate);

        Float32 latency = 0;
        size = sizeof(latency);
        XThrowIfError(AudioSessionGetProperty(kAudioSessionProperty_CurrentHardwareOutputLatency, &size, &latency),
                      "couldn't get output latency");
        std::printf("Current Hardware Output Latency: %fms\n", latency * 1000.0);
    } catch (const CAXException& e) {
        CAXExceptionReport(e);
    }
    std::fflush(stdout);
}

void interruptionListener(void* inClientData, UInt32 inInterruptionState)
{
    TavoroViewController* player = playerOf(inClientData);
    if (inInterruptionState == kAudioSessionBeginInterruption) {
        std::printf("Session interrupted! --- %s ---\n", "Begin Interruption");
        if (player) {
            player->backgroundThread();
            player->stopForInterruption();
        }
    } else {
        std::printf("Session interrupted! --- %s ---\n", "End Interruption");
        if (player)
            player->backgroundThread();
        // Playback itself resumes only when the application becomes active again, which the
        // end of the interruption counts as while the window stays on screen.
        if (inInterruptionState == kAudioSessionEndInterruption) {
            AudioSessionSetActive(true);
            if (inClientData != nullptr)
                static_cast<AudioSessionContext*>(inClientData)->interruptionDidEnd();
        }
    }
    std::fflush(stdout);
}

void propertyListener(void* inClientData, AudioSessionPropertyID inID, UInt32 inDataSize, const void* inData)
{
    std::printf("propertyListener: %ld\n", long(inID));
    if (inID != kAudioSessionProperty_AudioRouteChange) {
        std::fflush(stdout);
        return;
    }
    TavoroViewController* player = playerOf(inClientData);
    try {
        const QVariantMap details = inData != nullptr && inDataSize == sizeof(QVariantMap)
                                        ? *static_cast<const QVariantMap*>(inData)
                                        : QVariantMap();
        const long reason = details.value(kAudioSession_AudioRouteChangeKey_Reason).toInt();
        std::printf("Audio Route Change, Reason: %ld\n", reason);
        const QVariant oldValue = details.value(kAudioSession_AudioRouteChangeKey_OldRoute);
        const std::optional<std::string> oldRoute =
            oldValue.isValid() ? std::optional<std::string>(oldValue.toString().toStdString()) : std::nullopt;
        printRoute("Old Route: ", oldRoute);

        std::optional<std::string> newRoute;
        XThrowIfError(AudioSessionCopyAudioRoute(&newRoute), "couldn't get new audio route");
        if (newRoute) {
            printRoute("New Route: ", newRoute);
            std::fflush(stdout);
            if (player && *newRoute == "LineOut") {
                player->DockingCheck(2);
            } else if (player) {
                player->DockingCheck(0);
                // Sound that went to the user's ears or a dock must not go on through the
                // speaker; losing Bluetooth headphones is not such a change.
                if (*newRoute == "Speaker" && (oldRoute == "Headphone" || oldRoute == "LineOut"))
                    player->PlayStop();
            }
        }
    } catch (const CAXException& e) {
        CAXExceptionReport(e);
    }
    std::fflush(stdout);
}

void InterruptionResume::applicationDidBecomeActive(TavoroViewController* player)
{
    QPointer<TavoroViewController> target(player);
    mCall.schedule(kDelaySeconds, [target] {
        if (target)
            target->playstart();
    });
}
