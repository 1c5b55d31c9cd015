#include "platform/audio/PulseOutput.h"

#include "platform/audio/AudioOutputEvents.h"
#include "platform/audio/OutputPreferences.h"
#include "platform/audio/OutputUnit.h"
#include "platform/audio/PulseConnection.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <pthread.h>
#include <sched.h>

namespace {

std::atomic<AudioOutputEventHandler> gEventHandler{nullptr};
std::atomic<void*> gEventContext{nullptr};
std::atomic<long> gUnderflows{0};

constexpr int kStreamTimeoutMs = 2000;
// A timing answer that takes longer than this is not waited for (the caller goes on without).
constexpr int kTimingTimeoutMs = 200;
// Low among real-time priorities: above every normal thread, below the system's own.
constexpr int kRealtimePriority = 5;

} // namespace

void AudioOutputSetEventHandler(AudioOutputEventHandler handler, void* context)
{
    gEventContext.store(context);
    gEventHandler.store(handler);
}

long AudioOutputUnderflowCount()
{
    return gUnderflows.load();
}

PulseOutput::~PulseOutput()
{
    stop();
}

bool PulseOutput::start(OutputUnit& unit)
{
    PulseConnection& connection = PulseConnection::instance();
    if (!connection.ensureConnected())
        return false;
    mUnit = &unit;
    mWoundDown = false;
    mPlaying = false;
    mCorked = false;

    pa_sample_spec sampleSpec{PA_SAMPLE_S16LE, uint32_t(OutputUnit::kSampleRate), 2};
    pa_buffer_attr buffering;
    buffering.maxlength = uint32_t(-1);
    buffering.tlength = uint32_t(pa_usec_to_bytes(pa_usec_t(kBufferMs) * PA_USEC_PER_MSEC, &sampleSpec));
    buffering.prebuf = uint32_t(-1);
    // Each write request is the session's preferred I/O buffer duration when one is set,
    // else kRequestMs.
    const double requestSeconds = AudioOutputPreferredIOBufferDuration();
    const pa_usec_t requestUsec = requestSeconds > 0.0 ? pa_usec_t(requestSeconds * PA_USEC_PER_SEC)
                                                       : pa_usec_t(kRequestMs) * PA_USEC_PER_MSEC;
    buffering.minreq = uint32_t(pa_usec_to_bytes(requestUsec, &sampleSpec));
    buffering.fragsize = uint32_t(-1);

    connection.lock();
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
    mStream = pa_stream_new_with_proplist(connection.context(), "Music", &sampleSpec, nullptr, properties);
    pa_proplist_free(properties);
    bool ready = false;
    if (mStream) {
        pa_stream_set_state_callback(mStream, &StateChanged, this);
        pa_stream_set_write_callback(mStream, &WriteRequested, this);
        pa_stream_set_event_callback(mStream, &EventReceived, this);
        pa_stream_set_underflow_callback(mStream, &Underflowed, this);
        // No automatic timing updates: nothing reads the stream's clock, and each update is
        // a round trip to the server about once a second, paused or not.
        const auto flags = PA_STREAM_ADJUST_LATENCY;
        if (pa_stream_connect_playback(mStream, nullptr, &buffering, flags, nullptr, nullptr) >= 0) {
            connection.waitUntil(
                [this] {
                    pa_stream_state_t state = pa_stream_get_state(mStream);
                    return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
                },
                kStreamTimeoutMs);
            ready = pa_stream_get_state(mStream) == PA_STREAM_READY;
        }
        if (!ready)
            release();
    }
    mPlaying = ready;
    connection.unlock();
    return ready;
}

void PulseOutput::stop()
{
    if (mStream) {
        PulseConnection& connection = PulseConnection::instance();
        // Write requests and state changes run with the loop's lock held: once we hold it,
        // none is in progress and no fallback can start.
        connection.lock();
        release();
        mPlaying = false;
        mCorked = false;
        connection.unlock();
    }
    if (mFallback) {
        mFallback->stop();
        mFallback.reset();
    }
}

bool PulseOutput::pause()
{
    if (!mStream)
        return false;
    PulseConnection& connection = PulseConnection::instance();
    connection.lock();
    // A stream that wound down at the end of a track, or that the server lost, cannot hold.
    const bool holds = !mWoundDown && !mFallback && pa_stream_get_state(mStream) == PA_STREAM_READY;
    if (holds) {
        // From here on write requests are left alone, so what the stream holds stays as it
        // is; the server stops playing it and takes back what its sink had not played yet.
        mCorked = true;
        if (pa_operation* operation = pa_stream_cork(mStream, 1, nullptr, nullptr))
            pa_operation_unref(operation);
    }
    connection.unlock();
    return holds;
}

bool PulseOutput::resume()
{
    if (!mStream)
        return false;
    PulseConnection& connection = PulseConnection::instance();
    connection.lock();
    const bool ready = !mFallback && pa_stream_get_state(mStream) == PA_STREAM_READY;
    if (ready) {
        mCorked = false;
        if (pa_operation* operation = pa_stream_cork(mStream, 0, nullptr, nullptr))
            pa_operation_unref(operation);
        // A request that came while corked was left unanswered: answer it now, or the
        // stream would run with that much less buffered.
        const size_t writable = pa_stream_writable_size(mStream);
        if (writable != size_t(-1) && writable > 0)
            write(writable);
    }
    connection.unlock();
    return ready;
}

void PulseOutput::flush()
{
    if (!mStream)
        return;
    PulseConnection& connection = PulseConnection::instance();
    connection.lock();
    // Audio written after this call is kept: the server handles the stream's commands in
    // the order they were sent.
    if (!mWoundDown && pa_stream_get_state(mStream) == PA_STREAM_READY) {
        if (pa_operation* operation = pa_stream_flush(mStream, nullptr, nullptr))
            pa_operation_unref(operation);
    }
    connection.unlock();
}

bool PulseOutput::playedFrames(const std::atomic<int64_t>& rendered, int64_t* played)
{
    if (!mStream || mFallback)
        return OutputBackend::playedFrames(rendered, played);
    PulseConnection& connection = PulseConnection::instance();
    connection.lock();
    bool known = false;
    // No automatic timing updates run (see start()): ask for one now, for this answer only.
    if (pa_stream_get_state(mStream) == PA_STREAM_READY) {
        if (pa_operation* operation = pa_stream_update_timing_info(mStream, &TimingUpdated, this)) {
            connection.waitUntil([operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; },
                                 kTimingTimeoutMs);
            known = pa_operation_get_state(operation) == PA_OPERATION_DONE;
            if (!known)
                pa_operation_cancel(operation); // its answer must not find this call gone
            pa_operation_unref(operation);
        }
    }
    // The latency counts from the last frame written back to the one the sink plays now,
    // with the writes made since the timing was taken; no write runs while the lock is held,
    // so it and the rendered count stand for the same moment. While corked it is what the
    // stream holds.
    pa_usec_t latency = 0;
    int negative = 0;
    if (known && pa_stream_get_latency(mStream, &latency, &negative) == 0) {
        const pa_sample_spec* sampleFormat = pa_stream_get_sample_spec(mStream);
        const int64_t held = negative ? 0 : int64_t(pa_usec_to_bytes(latency, sampleFormat) / pa_frame_size(sampleFormat));
        *played = rendered.load() - held;
    } else {
        known = false;
    }
    connection.unlock();
    return known;
}

void PulseOutput::TimingUpdated(pa_stream*, int, void*)
{
    pa_threaded_mainloop_signal(PulseConnection::instance().mainloop(), 0);
}

void PulseOutput::release()
{
    pa_stream_set_write_callback(mStream, nullptr, nullptr);
    pa_stream_set_state_callback(mStream, nullptr, nullptr);
    pa_stream_set_event_callback(mStream, nullptr, nullptr);
    pa_stream_set_underflow_callback(mStream, nullptr, nullptr);
    pa_stream_disconnect(mStream);
    pa_stream_unref(mStream);
    mStream = nullptr;
}

void PulseOutput::StateChanged(pa_stream* stream, void* self)
{
    auto* output = static_cast<PulseOutput*>(self);
    pa_threaded_mainloop_signal(PulseConnection::instance().mainloop(), 0);
    bool lost = !PA_STREAM_IS_GOOD(pa_stream_get_state(stream));
    if (lost && output->mPlaying && !output->mWoundDown && !output->mFallback && output->mUnit->isRunning()) {
        output->mFallback = std::make_unique<NullOutput>();
        output->mFallback->start(*output->mUnit);
    }
}

void PulseOutput::WriteRequested(pa_stream*, size_t bytes, void* self)
{
    // The connection's thread renders the audio: ask once for real-time scheduling, as an
    // audio player's output thread does, so that busy processes at normal priority cannot
    // hold it up past the buffering. Refused without the privilege; it then stays as it is.
    thread_local bool scheduled = false;
    if (!scheduled) {
        scheduled = true;
        sched_param param{};
        param.sched_priority = kRealtimePriority;
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    }
    static_cast<PulseOutput*>(self)->write(bytes);
}

void PulseOutput::Underflowed(pa_stream*, void*)
{
    gUnderflows.fetch_add(1);
}

void PulseOutput::EventReceived(pa_stream*, const char* name, pa_proplist*, void*)
{
    AudioOutputEventHandler handler = gEventHandler.load();
    if (!handler)
        return;
    if (std::strcmp(name, PA_STREAM_EVENT_REQUEST_CORK) == 0)
        handler(gEventContext.load(), AudioOutputEvent::PauseRequested);
    else if (std::strcmp(name, PA_STREAM_EVENT_REQUEST_UNCORK) == 0)
        handler(gEventContext.load(), AudioOutputEvent::ResumeRequested);
}

void PulseOutput::write(size_t bytes)
{
    // With the connection's lock held: on its thread for a write request, or on the
    // controlling thread in resume().
    constexpr size_t kFrameBytes = 4;
    while (!mWoundDown && !mCorked && bytes >= kFrameBytes) {
        size_t size = std::min(bytes, size_t(kChunkFrames) * kFrameBytes);
        void* data = nullptr;
        if (pa_stream_begin_write(mStream, &data, &size) < 0 || data == nullptr)
            return;
        size_t frames = std::min(size, bytes) / kFrameBytes;
        if (frames == 0) {
            pa_stream_cancel_write(mStream);
            return;
        }
        auto outcome = mUnit->render(static_cast<int16_t*>(data), UInt32(frames));
        pa_stream_write(mStream, data, frames * kFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        bytes -= frames * kFrameBytes;
        if (outcome != OutputUnit::RenderOutcome::Rendered) {
            // Stopped, possibly by the render callback at the end of a track: write no more,
            // but let the server play out what it holds (up to the buffering, the last
            // moments of the track) instead of cutting it off. The controlling thread
            // releases the stream at its next start or stop.
            mWoundDown = true;
            if (pa_operation* operation = pa_stream_drain(mStream, nullptr, nullptr))
                pa_operation_unref(operation);
        }
    }
}
