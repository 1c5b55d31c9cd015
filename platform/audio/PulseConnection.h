#pragma once
// The process's one connection to the audio server (PulseAudio protocol, which PipeWire
// systems serve too), on a threaded main loop. It is made on first use; a connection that
// failed or was lost is tried again at the next use. The playback stream uses it, and the
// audio session can use it for routes and their changes.

#include <pulse/pulseaudio.h>

#include <functional>
#include <mutex>
#include <vector>

class PulseConnection {
public:
    static PulseConnection& instance();

    // Connects when not connected; true once connected. Gives up after `timeoutMs` and does
    // not start a server of its own.
    bool ensureConnected(int timeoutMs = 2000);

    // Valid after ensureConnected() answered true. Hold the lock around every use of the
    // context or its streams outside the main loop's own callbacks.
    pa_threaded_mainloop* mainloop() const { return mMainloop; }
    pa_context* context() const { return mContext; }
    void lock() { pa_threaded_mainloop_lock(mMainloop); }
    void unlock() { pa_threaded_mainloop_unlock(mMainloop); }

    // With the lock held: waits until done() holds or timeoutMs pass; answers done().
    bool waitUntil(const std::function<bool()>& done, int timeoutMs);

    // Called with the lock held, on the thread that connected, each time a new context has
    // become ready (after a lost connection too), so that a user of the context can set up
    // its subscriptions again. Must not wait. nullptr removes it.
    void setReadyObserver(std::function<void(pa_context*)> observer);

    // Server events for several users of the one context (a context has one subscription;
    // the connection asks for the union of its users' masks and hands each event to the
    // users whose mask holds its facility). With the lock held: `owner` gets the events of
    // `mask` on the current context and on every later one, and `onReady` (when given) runs
    // each time a later context has become ready, before the ready observer. Both run with
    // the lock held, on the loop's thread or the connecting thread, and must not wait.
    // Subscribing again replaces the owner's mask and handlers.
    using EventHandler = std::function<void(pa_context*, pa_subscription_event_type_t, uint32_t)>;
    void subscribe(const void* owner, pa_subscription_mask_t mask, EventHandler onEvent,
                   std::function<void(pa_context*)> onReady = {});
    // With the lock held: no more events or ready calls for `owner`.
    void unsubscribe(const void* owner);

    ~PulseConnection();

private:
    PulseConnection() = default;
    void dropContext();
    void applySubscriptions();
    static void EventReceived(pa_context* context, pa_subscription_event_type_t type, uint32_t index, void* self);

    struct Subscriber {
        const void* owner;
        pa_subscription_mask_t mask;
        EventHandler onEvent;
        std::function<void(pa_context*)> onReady;
    };
    std::vector<Subscriber> mSubscribers; // guarded by the loop's lock

    std::mutex mSetupMutex;
    std::function<void(pa_context*)> mReadyObserver; // guarded by the loop's lock
    pa_threaded_mainloop* mMainloop = nullptr;
    pa_context* mContext = nullptr;
};
