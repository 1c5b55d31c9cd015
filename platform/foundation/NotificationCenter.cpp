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
    mRegistrations.push_back(
        {observer, name, sender, std::make_shared<Handler>(std::move(handler)), std::make_shared<Guard>()});
}

void NotificationCenter::retire(std::vector<std::shared_ptr<Guard>> guards)
{
    // Outside the centre's lock: a handler that is running may still post or register.
    for (const auto& guard : guards) {
        std::lock_guard lock(guard->mutex);  // waits for a call under way on another thread
        guard->registered = false;
    }
}

void NotificationCenter::removeObserver(const void* observer)
{
    std::vector<std::shared_ptr<Guard>> removed;
    {
        std::lock_guard lock(mMutex);
        std::erase_if(mRegistrations, [&](const Registration& r) {
            if (r.observer != observer)
                return false;
            removed.push_back(r.guard);
            return true;
        });
    }
    retire(std::move(removed));
}

void NotificationCenter::removeObserver(const void* observer, const QString& name)
{
    std::vector<std::shared_ptr<Guard>> removed;
    {
        std::lock_guard lock(mMutex);
        std::erase_if(mRegistrations, [&](const Registration& r) {
            if (r.observer != observer || r.name != name)
                return false;
            removed.push_back(r.guard);
            return true;
        });
    }
    retire(std::move(removed));
}

void NotificationCenter::postNotification(const Notification& notification)
{
    // Handlers run outside the centre's lock, so that they may post, register or
    // unregister; each under its registration's guard, so that a removal on another
    // thread waits for it. A handler removed by an earlier handler of the same post is
    // not called.
    std::vector<std::pair<std::shared_ptr<Handler>, std::shared_ptr<Guard>>> matching;
    {
        std::lock_guard lock(mMutex);
        for (const Registration& r : mRegistrations) {
            if ((r.name.isEmpty() || r.name == notification.name)
                && (r.sender == nullptr || r.sender == notification.object))
                matching.emplace_back(r.handler, r.guard);
        }
    }
    for (const auto& [handler, guard] : matching) {
        std::lock_guard lock(guard->mutex);
        if (guard->registered)
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
