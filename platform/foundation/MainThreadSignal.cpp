#include "platform/foundation/MainThreadSignal.h"

#include <QSocketNotifier>

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

MainThreadSignal::MainThreadSignal(std::function<void()> handler) : mHandler(std::move(handler))
{
    mEventFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (mEventFd < 0)
        return;
    mNotifier = std::make_unique<QSocketNotifier>(mEventFd, QSocketNotifier::Read);
    QObject::connect(mNotifier.get(), &QSocketNotifier::activated, [this] { deliver(); });
}

MainThreadSignal::~MainThreadSignal()
{
    mNotifier.reset();
    if (mEventFd >= 0)
        ::close(mEventFd);
}

void MainThreadSignal::raise()
{
    // Only the first raise since the last delivery writes; a non-blocking write to an
    // eventfd never waits.
    if (mPending.exchange(true, std::memory_order_acq_rel) || mEventFd < 0)
        return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(mEventFd, &one, sizeof one);
}

void MainThreadSignal::deliver()
{
    uint64_t count = 0;
    [[maybe_unused]] const ssize_t got = ::read(mEventFd, &count, sizeof count);
    // Cleared before the handler runs: a raise during the handler wakes it again.
    mPending.store(false, std::memory_order_release);
    if (mHandler)
        mHandler();
}
