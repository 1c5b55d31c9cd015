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
    if (ready) {
        applySubscriptions();
        for (const Subscriber& subscriber : std::vector<Subscriber>(mSubscribers))
            if (subscriber.onReady)
                subscriber.onReady(mContext);
    }
    if (ready && mReadyObserver)
        mReadyObserver(mContext);
    unlock();
    return ready;
}

void PulseConnection::subscribe(const void* owner, pa_subscription_mask_t mask, EventHandler onEvent,
                                std::function<void(pa_context*)> onReady)
{
    unsubscribe(owner);
    mSubscribers.push_back({owner, mask, std::move(onEvent), std::move(onReady)});
    applySubscriptions();
}

void PulseConnection::unsubscribe(const void* owner)
{
    const auto before = mSubscribers.size();
    std::erase_if(mSubscribers, [owner](const Subscriber& s) { return s.owner == owner; });
    if (mSubscribers.size() != before)
        applySubscriptions();
}

void PulseConnection::applySubscriptions()
{
    if (!mContext || pa_context_get_state(mContext) != PA_CONTEXT_READY)
        return;
    unsigned mask = PA_SUBSCRIPTION_MASK_NULL;
    for (const Subscriber& subscriber : mSubscribers)
        mask |= subscriber.mask;
    pa_context_set_subscribe_callback(mContext, mask ? &EventReceived : nullptr, this);
    if (pa_operation* op = pa_context_subscribe(mContext, pa_subscription_mask_t(mask), nullptr, nullptr))
        pa_operation_unref(op);
}

void PulseConnection::EventReceived(pa_context* context, pa_subscription_event_type_t type, uint32_t index, void* self)
{
    auto* connection = static_cast<PulseConnection*>(self);
    const unsigned facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    // A copy: a handler may subscribe or unsubscribe.
    for (const Subscriber& subscriber : std::vector<Subscriber>(connection->mSubscribers))
        if (subscriber.mask & (1u << facility))
            subscriber.onEvent(context, type, index);
}
