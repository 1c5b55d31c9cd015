#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter center;
    return center;
}

void NotificationCenter::addObserver(const void* observer, const QString& name, const void* sender, Handler handler)
{
    std::lock_guard lock(mMutex);
    mRegistrations.push_back({mNextId++, observer, name, sender, std::make_shared<Handler>(std::move(handler))});
}

void NotificationCenter::removeObserver(const void* observer)
{
    std::lock_guard lock(mMutex);
    std::erase_if(mRegistrations, [&](const Registration& r) { return r.observer == observer; });
}

void NotificationCenter::removeObserver(const void* observer, const QString& name)
{
    std::lock_guard lock(mMutex);
    std::erase_if(mRegistrations, [&](const Registration& r) { return r.observer == observer && r.name == name; });
}

void NotificationCenter::postNotification(const Notification& notification)
{
    // Handlers run outside the lock, so that they may post, register or unregister.
    // A handler removed by an earlier handler of the same post is not called.
    std::vector<std::pair<uint64_t, std::shared_ptr<Handler>>> matching;
    {
        std::lock_guard lock(mMutex);
        for (const Registration& r : mRegistrations) {
            if ((r.name.isEmpty() || r.name == notification.name)
                && (r.sender == nullptr || r.sender == notification.object))
                matching.emplace_back(r.id, r.handler);
        }
    }
    for (const auto& [id, handler] : matching) {
        bool stillRegistered;
        {
            std::lock_guard lock(mMutex);
            stillRegistered = std::any_of(mRegistrations.begin(), mRegistrations.end(),
                                          [id = id](const Registration& r) { return r.id == id; });
        }
        if (stillRegistered)
            (*handler)(notification);
    }
}

void NotificationCenter::postNotification(const QString& name, const void* object, const QVariantMap& userInfo)
{
    postNotification(Notification{name, object, userInfo});
}

size_t NotificationCenter::observerCount() const
{
    std::lock_guard lock(mMutex);
    return mRegistrations.size();
}
