#pragma once
// The process-wide notification centre: string names, a sender and a dictionary payload.
// A post runs every matching observer synchronously on the posting thread, in the order
// they registered; an observer hands work to the main thread itself where it must.
//
// Posts may come from any thread. Once removeObserver() has returned, none of the
// observer's handlers runs or is still running on another thread: removal waits for a
// handler call under way elsewhere to end. So an object that removes itself in its
// destructor may capture `this` in its handlers. (A handler may remove observers, its
// own included; it must not wait for a thread that is removing an observer.)

#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

struct Notification {
    QString name;
    const void* object = nullptr; // the sender
    QVariantMap userInfo;
};

class NotificationCenter {
public:
    using Handler = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();

    // Registers `handler` for notifications called `name` (every name when empty) from
    // `sender` (any sender when null), on behalf of `observer`.
    void addObserver(const void* observer, const QString& name, const void* sender, Handler handler);
    // Removes every registration of `observer`, or only those for `name`; returns once no
    // handler of theirs is running on another thread.
    void removeObserver(const void* observer);
    void removeObserver(const void* observer, const QString& name);

    void postNotification(const Notification& notification);
    void postNotification(const QString& name, const void* object, const QVariantMap& userInfo = {});

    size_t observerCount() const;

private:
    // Held by a post while it calls the handler, and by a removal while it retires the
    // registration; recursive, so a handler may remove its own registration.
    struct Guard {
        std::recursive_mutex mutex;
        bool registered = true;  // with mutex
    };
    struct Registration {
        const void* observer;
        QString name;
        const void* sender;
        std::shared_ptr<Handler> handler;
        std::shared_ptr<Guard> guard;
    };
    void retire(std::vector<std::shared_ptr<Guard>> guards);

    mutable std::mutex mMutex;
    std::vector<Registration> mRegistrations;
};
