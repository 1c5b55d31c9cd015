#pragma once
// The process's one connection to the audio server (PulseAudio protocol, which PipeWire
// systems serve too), on a threaded main loop. It is made on first use; a connection that
// failed or was lost is tried again at the next use. The playback stream uses it, and the
// audio session can use it for routes and their changes.

#include <pulse/pulseaudio.h>

#include <functional>
#include <mutex>

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

    ~PulseConnection();

private:
    PulseConnection() = default;
    void dropContext();

    std::mutex mSetupMutex;
    std::function<void(pa_context*)> mReadyObserver; // guarded by the loop's lock
    pa_threaded_mainloop* mMainloop = nullptr;
    pa_context* mContext = nullptr;
};
