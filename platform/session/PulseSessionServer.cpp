#include "platform/session/PulseSessionServer.h"

#include "platform/audio/OutputPreferences.h"
#include "platform/audio/PulseConnection.h"
#include "platform/session/SinkRoute.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kAnswerTimeoutMs = 2000;
constexpr pa_sample_spec kStreamSpec{PA_SAMPLE_S16LE, 44100, 2};

SinkPortKind portKind(uint32_t type)
{
    switch (type) {
    case PA_DEVICE_PORT_TYPE_SPEAKER:
        return SinkPortKind::Speaker;
    case PA_DEVICE_PORT_TYPE_HEADPHONES:
        return SinkPortKind::Headphones;
    case PA_DEVICE_PORT_TYPE_HEADSET:
        return SinkPortKind::Headset;
    case PA_DEVICE_PORT_TYPE_LINE:
        return SinkPortKind::LineOut;
    case PA_DEVICE_PORT_TYPE_UNKNOWN:
        return SinkPortKind::Unknown;
    default:
        return SinkPortKind::Other;
    }
}

std::string property(const pa_proplist* properties, const char* key)
{
    const char* value = pa_proplist_gets(properties, key);
    return value ? value : "";
}

void unref(pa_operation* operation)
{
    if (operation)
        pa_operation_unref(operation);
}

} // namespace

std::shared_ptr<PulseSessionServer> PulseSessionServer::shared()
{
    static std::shared_ptr<PulseSessionServer> server(new PulseSessionServer);
    return server;
}

OSStatus PulseSessionServer::open()
{
    PulseConnection& connection = PulseConnection::instance();
    // A connection made again after the server was lost starts without our subscription.
    connection.setReadyObserver([this](pa_context* context) {
        if (mOpen)
            watch(context);
    });
    if (!connection.ensureConnected())
        return kAudioSessionNoHardwareError;
    connection.lock();
    mOpen = true;
    mInterrupted = false;
    mSinkRemoved = false;
    mPendingSink.reset();
    {
        std::lock_guard lock(mRouteMutex);
        mSinkKnown = false;
        mSink.reset();
    }
    watch(connection.context());
    const bool known = connection.waitUntil(
        [this] {
            std::lock_guard lock(mRouteMutex);
            return mSinkKnown;
        },
        kAnswerTimeoutMs);
    connection.unlock();
    if (!known) {
        close();
        return kAudioSessionNoHardwareError;
    }
    AudioOutputSetEventHandler(&OnOutputEvent, this);
    return noErr;
}

void PulseSessionServer::close()
{
    AudioOutputSetEventHandler(nullptr, nullptr);
    PulseConnection& connection = PulseConnection::instance();
    connection.setReadyObserver(nullptr);
    if (connection.mainloop()) {
        connection.lock();
        mOpen = false;
        mWantActive = false;
        connection.unsubscribe(this);
        dropStream();
        connection.unlock();
    }
    std::lock_guard lock(mRouteMutex);
    mSinkKnown = false;
    mSink.reset();
}

OSStatus PulseSessionServer::setCategory(UInt32)
{
    // Every stream of ours is a music stream; the category changes nothing on the server.
    return noErr;
}

OSStatus PulseSessionServer::setPreferredIOBufferDuration(Float32 seconds)
{
    mPreferredIOBufferDuration = seconds;
    AudioOutputSetPreferredIOBufferDuration(seconds);
    return noErr;
}

OSStatus PulseSessionServer::setPreferredSampleRate(Float64)
{
    // The playback stream always runs at 44100 Hz; the server converts for its device.
    return noErr;
}

OSStatus PulseSessionServer::setActive(bool active)
{
    PulseConnection& connection = PulseConnection::instance();
    if (!active) {
        if (connection.mainloop()) {
            connection.lock();
            mWantActive = false;
            dropStream();
            connection.unlock();
        }
        return noErr;
    }
    if (!connection.ensureConnected())
        return kAudioSessionNoHardwareError;
    connection.lock();
    mWantActive = true;
    if (mStream && !PA_STREAM_IS_GOOD(pa_stream_get_state(mStream)))
        dropStream();
    bool ready = mStream != nullptr || makeStream(connection.context());
    if (ready) {
        connection.waitUntil(
            [this] {
                pa_stream_state_t state = pa_stream_get_state(mStream);
                return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
            },
            kAnswerTimeoutMs);
        ready = pa_stream_get_state(mStream) == PA_STREAM_READY;
    }
    connection.unlock();
    return ready ? noErr : kAudioSessionNoHardwareError;
}

OSStatus PulseSessionServer::currentIOBufferDuration(Float32* seconds)
{
    PulseConnection& connection = PulseConnection::instance();
    if (!connection.mainloop())
        return kAudioSessionNotActiveError;
    connection.lock();
    const pa_buffer_attr* buffering =
        mStream && pa_stream_get_state(mStream) == PA_STREAM_READY ? pa_stream_get_buffer_attr(mStream) : nullptr;
    if (buffering)
        *seconds = Float32(double(pa_bytes_to_usec(buffering->minreq, &kStreamSpec)) / PA_USEC_PER_SEC);
    connection.unlock();
    return buffering ? noErr : kAudioSessionNotActiveError;
}

OSStatus PulseSessionServer::currentSampleRate(Float64* hertz)
{
    std::lock_guard lock(mRouteMutex);
    if (!mSink)
        return kAudioSessionNoHardwareError;
    *hertz = mSink->rate;
    return noErr;
}

OSStatus PulseSessionServer::currentOutputLatency(Float32* seconds)
{
    std::lock_guard lock(mRouteMutex);
    if (!mSink)
        return kAudioSessionNoHardwareError;
    *seconds = Float32(double(mSink->latency) / PA_USEC_PER_SEC);
    return noErr;
}

OSStatus PulseSessionServer::currentRoute(std::optional<std::string>* route)
{
    std::lock_guard lock(mRouteMutex);
    if (!mSinkKnown)
        return kAudioSessionNotInitialized;
    *route = mSink ? std::optional<std::string>(mSink->route) : std::nullopt;
    return noErr;
}

void PulseSessionServer::watch(pa_context* context)
{
    if (!context || pa_context_get_state(context) != PA_CONTEXT_READY)
        return;
    PulseConnection::instance().subscribe(
        this, pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SINK),
        [this](pa_context* c, pa_subscription_event_type_t type, uint32_t index) { OnSubscription(c, type, index, this); });
    refresh(context);
    if (mWantActive && (!mStream || !PA_STREAM_IS_GOOD(pa_stream_get_state(mStream)))) {
        dropStream();
        makeStream(context);
    }
}

void PulseSessionServer::refresh(pa_context* context)
{
    unref(pa_context_get_server_info(context, &OnServerInfo, this));
}

void PulseSessionServer::OnSubscription(pa_context* context, pa_subscription_event_type_t type, uint32_t index,
                                        void* self)
{
    auto* server = static_cast<PulseSessionServer*>(self);
    if (!server->mOpen)
        return;
    const auto facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const auto kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    // mSink is written only on this thread: reading it here needs no lock.
    if (facility == PA_SUBSCRIPTION_EVENT_SINK && kind == PA_SUBSCRIPTION_EVENT_REMOVE && server->mSink
        && server->mSink->index == index)
        server->mSinkRemoved = true;
    server->refresh(context);
}

void PulseSessionServer::OnServerInfo(pa_context* context, const pa_server_info* info, void* self)
{
    auto* server = static_cast<PulseSessionServer*>(self);
    if (!server->mOpen)
        return;
    if (!info || !info->default_sink_name || !*info->default_sink_name) {
        server->apply(std::nullopt);
        return;
    }
    unref(pa_context_get_sink_info_by_name(context, info->default_sink_name, &OnSinkInfo, self));
}

void PulseSessionServer::OnSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* self)
{
    auto* server = static_cast<PulseSessionServer*>(self);
    if (!server->mOpen)
        return;
    if (eol < 0) {
        // The default sink went away between the two questions; its removal brings a newer
        // answer. Only the very first answer must not wait for that.
        server->mPendingSink.reset();
        bool known;
        {
            std::lock_guard lock(server->mRouteMutex);
            known = server->mSinkKnown;
        }
        if (!known)
            server->apply(std::nullopt);
        return;
    }
    if (info) {
        Sink sink;
        sink.index = info->index;
        sink.name = info->name ? info->name : "";
        SinkDescription description;
        description.bus = property(info->proplist, PA_PROP_DEVICE_BUS);
        description.formFactor = property(info->proplist, PA_PROP_DEVICE_FORM_FACTOR);
        if (info->active_port) {
            sink.port = info->active_port->name ? info->active_port->name : "";
            description.activePort = portKind(info->active_port->type);
        }
        for (uint32_t i = 0; i < info->n_ports; ++i)
            if (info->ports[i]->available == PA_PORT_AVAILABLE_NO)
                sink.unpluggedPorts.push_back(info->ports[i]->name);
        sink.route = RouteNameForSink(description);
        sink.rate = info->sample_spec.rate;
        sink.latency = info->configured_latency ? info->configured_latency : info->latency;
        server->mPendingSink = std::move(sink);
    }
    if (eol > 0) {
        std::optional<Sink> sink = std::move(server->mPendingSink);
        server->mPendingSink.reset();
        server->apply(std::move(sink));
    }
}

void PulseSessionServer::apply(std::optional<Sink> sink)
{
    bool report = false;
    SInt32 reason = kAudioSessionRouteChangeReason_NewDeviceAvailable;
    std::optional<std::string> oldRoute;
    {
        std::lock_guard lock(mRouteMutex);
        const bool sameDevice = (!mSink && !sink) || (mSink && sink && mSink->name == sink->name);
        const bool samePort = sameDevice && (!sink || mSink->port == sink->port);
        if (mSinkKnown && !samePort) {
            report = true;
            oldRoute = mSink ? std::optional<std::string>(mSink->route) : std::nullopt;
            const bool oldPortUnplugged =
                sameDevice && sink
                && std::find(sink->unpluggedPorts.begin(), sink->unpluggedPorts.end(), mSink->port)
                       != sink->unpluggedPorts.end();
            if (mSinkRemoved || oldPortUnplugged)
                reason = kAudioSessionRouteChangeReason_OldDeviceUnavailable;
        }
        mSink = std::move(sink);
        mSinkKnown = true;
    }
    mSinkRemoved = false;
    pa_threaded_mainloop_signal(PulseConnection::instance().mainloop(), 0);
    if (report)
        AudioSessionReportRouteChange(reason, std::move(oldRoute));
}

bool PulseSessionServer::makeStream(pa_context* context)
{
    if (!context || pa_context_get_state(context) != PA_CONTEXT_READY)
        return false;
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
    mStream = pa_stream_new_with_proplist(context, "Session", &kStreamSpec, nullptr, properties);
    pa_proplist_free(properties);
    if (!mStream)
        return false;
    pa_stream_set_state_callback(mStream, &OnStreamState, this);
    pa_stream_set_event_callback(mStream, &OnStreamEvent, this);
    pa_buffer_attr buffering;
    buffering.maxlength = uint32_t(-1);
    buffering.tlength = uint32_t(-1);
    buffering.prebuf = uint32_t(-1);
    const Float32 requestSeconds = mPreferredIOBufferDuration.load();
    buffering.minreq = requestSeconds > 0
                           ? uint32_t(pa_usec_to_bytes(pa_usec_t(requestSeconds * PA_USEC_PER_SEC), &kStreamSpec))
                           : uint32_t(-1);
    buffering.fragsize = uint32_t(-1);
    // Paused from the start and never given data: it only receives the server's requests.
    auto flags = pa_stream_flags_t(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(mStream, nullptr, &buffering, flags, nullptr, nullptr) < 0) {
        dropStream();
        return false;
    }
    return true;
}

void PulseSessionServer::dropStream()
{
    if (!mStream)
        return;
    pa_stream_set_state_callback(mStream, nullptr, nullptr);
    pa_stream_set_event_callback(mStream, nullptr, nullptr);
    pa_stream_disconnect(mStream);
    pa_stream_unref(mStream);
    mStream = nullptr;
}

void PulseSessionServer::OnStreamState(pa_stream*, void*)
{
    pa_threaded_mainloop_signal(PulseConnection::instance().mainloop(), 0);
}

void PulseSessionServer::OnStreamEvent(pa_stream*, const char* name, pa_proplist*, void* self)
{
    auto* server = static_cast<PulseSessionServer*>(self);
    if (std::strcmp(name, PA_STREAM_EVENT_REQUEST_CORK) == 0)
        server->interruption(true);
    else if (std::strcmp(name, PA_STREAM_EVENT_REQUEST_UNCORK) == 0)
        server->interruption(false);
}

void PulseSessionServer::OnOutputEvent(void* self, AudioOutputEvent event)
{
    // On the loop thread, inside the playback stream's event callback.
    static_cast<PulseSessionServer*>(self)->interruption(event == AudioOutputEvent::PauseRequested);
}

void PulseSessionServer::interruption(bool begins)
{
    if (!mOpen || begins == mInterrupted)
        return;
    mInterrupted = begins;
    AudioSessionReportInterruption(begins ? kAudioSessionBeginInterruption : kAudioSessionEndInterruption);
}
