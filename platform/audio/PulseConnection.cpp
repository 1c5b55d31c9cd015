#include "platform/audio/PulseConnection.h"

namespace {

struct WaitTimer {
    pa_threaded_mainloop* mainloop;
    bool expired = false;
};

void TimerExpired(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata)
{
    auto* timer = static_cast<WaitTimer*>(userdata);
    timer->expired = true;
    pa_threaded_mainloop_signal(timer->mainloop, 0);
}

void ContextStateChanged(pa_context*, void* userdata)
{
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(userdata), 0);
}

} // namespace

PulseConnection& PulseConnection::instance()
{
    static PulseConnection connection;
    return connection;
}

PulseConnection::~PulseConnection()
{
    if (!mMainloop)
        return;
    lock();
    dropContext();
    unlock();
    pa_threaded_mainloop_stop(mMainloop);
    pa_threaded_mainloop_free(mMainloop);
}

void PulseConnection::dropContext()
{
    if (!mContext)
        return;
    pa_context_set_state_callback(mContext, nullptr, nullptr);
    pa_context_disconnect(mContext);
    pa_context_unref(mContext);
    mContext = nullptr;
}

bool PulseConnection::waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    if (done())
        return true;
    WaitTimer timer{mMainloop};
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(mMainloop);
    struct timeval when;
    pa_timeval_add(pa_gettimeofday(&when), pa_usec_t(timeoutMs) * PA_USEC_PER_MSEC);
    pa_time_event* event = api->time_new(api, &when, &TimerExpired, &timer);
    while (!done() && !timer.expired)
        pa_threaded_mainloop_wait(mMainloop);
    api->time_free(event);
    return done();
}

void PulseConnection::setReadyObserver(std::function<void(pa_context*)> observer)
{
    std::lock_guard setup(mSetupMutex);
    if (!mMainloop) {
        mReadyObserver = std::move(observer);
        return;
    }
    lock();
    mReadyObserver = std::move(observer);
    unlock();
}

bool PulseConnection::ensureConnected(int timeoutMs)
{
    std::lock_guard setup(mSetupMutex);
    if (!mMainloop) {
        mMainloop = pa_threaded_mainloop_new();
        if (!mMainloop)
            return false;
        pa_threaded_mainloop_set_name(mMainloop, "audio-output");
        if (pa_threaded_mainloop_start(mMainloop) < 0) {
            pa_threaded_mainloop_free(mMainloop);
            mMainloop = nullptr;
            return false;
        }
    }
    lock();
    if (mContext && pa_context_get_state(mContext) == PA_CONTEXT_READY) {
        unlock();
        return true;
    }
    dropContext();

    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Tavoro");
    pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, "music");
    mContext = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(mMainloop), "Tavoro", properties);
    pa_proplist_free(properties);
    bool ready = false;
    if (mContext) {
        pa_context_set_state_callback(mContext, &ContextStateChanged, mMainloop);
        if (pa_context_connect(mContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0) {
            waitUntil(
                [this] {
                    pa_context_state_t state = pa_context_get_state(mContext);
                    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
                },
                timeoutMs);
            ready = pa_context_get_state(mContext) == PA_CONTEXT_READY;
        }
        if (!ready)
            dropContext();
    }
    if (ready && mReadyObserver)
        mReadyObserver(mContext);
    unlock();
    return ready;
}
