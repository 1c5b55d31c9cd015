#pragma once
// The audio session on the PulseAudio connection that the output unit plays through
// (PipeWire systems serve the same protocol).
//
// Route: the default sink, named by SinkRoute.h from its bus, form factor and active port.
// A change of the default sink or of its active port, or its removal, is reported as a
// route change with the previous route. Interruptions: the server asks music streams to
// pause while a stream it ranks higher plays (a phone call) and to go on afterwards. While
// the session is active it keeps a silent, paused stream of its own on the server, so that
// these requests reach it even while nothing plays; the playback stream's own requests
// count too, and each interruption is reported once.
//
// Threads: the session calls it from the main thread. Everything marked "loop" below is
// touched only with the connection's loop lock held (the loop's callbacks hold it); the
// current sink is also guarded by mRouteMutex, so route queries from any thread need not
// take the loop lock. Reports are queued to the main thread and never wait.

#include "platform/audio/AudioOutputEvents.h"
#include "platform/session/AudioSessionServer.h"

#include <pulse/pulseaudio.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class PulseSessionServer final : public AudioSessionServer {
public:
    // The one instance of the process; it lives until the process ends.
    static std::shared_ptr<PulseSessionServer> shared();

    OSStatus open() override;
    void close() override;
    OSStatus setCategory(UInt32 category) override;
    OSStatus setPreferredIOBufferDuration(Float32 seconds) override;
    OSStatus setPreferredSampleRate(Float64 hertz) override;
    OSStatus setActive(bool active) override;
    OSStatus currentIOBufferDuration(Float32* seconds) override;
    OSStatus currentSampleRate(Float64* hertz) override;
    OSStatus currentOutputLatency(Float32* seconds) override;
    OSStatus currentRoute(std::optional<std::string>* route) override;

private:
    struct Sink {
        uint32_t index = PA_INVALID_INDEX;
        std::string name;
        std::string port;                       // active port, empty without ports
        std::vector<std::string> unpluggedPorts;
        std::string route;
        uint32_t rate = 0;
        pa_usec_t latency = 0;
    };

    // Loop.
    void watch(pa_context* context);
    void refresh(pa_context* context);
    void apply(std::optional<Sink> sink);
    void interruption(bool begins);
    bool makeStream(pa_context* context);
    void dropStream();
    static void OnSubscription(pa_context* context, pa_subscription_event_type_t type, uint32_t index, void* self);
    static void OnServerInfo(pa_context* context, const pa_server_info* info, void* self);
    static void OnSinkInfo(pa_context* context, const pa_sink_info* info, int eol, void* self);
    static void OnStreamState(pa_stream* stream, void* self);
    static void OnStreamEvent(pa_stream* stream, const char* name, pa_proplist* properties, void* self);
    static void OnOutputEvent(void* self, AudioOutputEvent event);

    bool mOpen = false;               // loop
    bool mWantActive = false;         // loop
    bool mInterrupted = false;        // loop
    bool mSinkRemoved = false;        // loop: the current sink went away
    std::optional<Sink> mPendingSink; // loop: the answer being collected
    pa_stream* mStream = nullptr;     // loop: the session's own stream
    std::atomic<Float32> mPreferredIOBufferDuration{0}; // set on the main thread, read on the loop

    std::mutex mRouteMutex;    // written on the loop with the loop lock held as well
    bool mSinkKnown = false;   // the first answer has come
    std::optional<Sink> mSink; // the default sink; none: no output device
};
