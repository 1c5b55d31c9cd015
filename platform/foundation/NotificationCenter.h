#pragma once
// The process-wide notification centre: string names, a sender and a dictionary payload.
// A post runs every matching observer synchronously on the posting thread, in the order
// they registered; an observer hands work to the main thread itself where it must.

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
    // Removes every registration of `observer`, or only those for `name`.
    void removeObserver(const void* observer);
    void removeObserver(const void* observer, const QString& name);

    void postNotification(const Notification& notification);
    void postNotification(const QString& name, const void* object, const QVariantMap& userInfo = {});

    size_t observerCount() const;

private:
    struct Registration {
        uint64_t id;
        const void* observer;
        QString name;
        const void* sender;
        std::shared_ptr<Handler> handler;
    };

    mutable std::mutex mMutex;
    std::vector<Registration> mRegistrations;
    uint64_t mNextId = 1;
};
