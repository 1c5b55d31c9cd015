#include "platform/audiofile/ThreadWake.h"

#include <climits>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t) && std::atomic<uint32_t>::is_always_lock_free,
              "the futex word is the atomic itself");

void ThreadWake::notify_all()
{
    mSequence.fetch_add(1, std::memory_order_seq_cst);
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&mSequence), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

void ThreadWake::sleep(uint32_t seen, int64_t nanoseconds)
{
    timespec limit{};
    if (nanoseconds >= 0) {
        limit.tv_sec = time_t(nanoseconds / 1000000000);
        limit.tv_nsec = long(nanoseconds % 1000000000);
    }
    // Returns at once when the sequence moved on since `seen`; spurious returns are fine,
    // the caller looks at its condition again.
    syscall(SYS_futex, reinterpret_cast<uint32_t*>(&mSequence), FUTEX_WAIT_PRIVATE, seen,
            nanoseconds >= 0 ? &limit : nullptr, nullptr, 0);
}
