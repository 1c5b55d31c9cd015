// Small pieces every effect block of libQBS shares: the headroom shift in use, the hand-over
// of an Init's request to the render thread, and the choice between the AVX2 and the
// portable build of a block loop.
#pragma once

#include <atomic>
#include <cstdint>

namespace qbs_support {

// The headroom shift in use: a stored value outside 0..2 acts as 1, as every Init stores it.
inline int effective_shift(int16_t stored) { return (stored >= 0 && stored <= 2) ? stored : 1; }

// Takes the request an Init left for the render thread: its value once, then zero ("nothing
// pending") until the next Init. The plain load first keeps the usual case, nothing
// pending, free of a read-modify-write.
template <typename T>
inline T take_request(std::atomic<T>& request) {
  if (request.load(std::memory_order_relaxed) == T{}) return T{};
  return request.exchange(T{}, std::memory_order_acquire);
}

#if defined(__x86_64__)
// Whether the block loops built for AVX2 may run on this processor. Decided at program start
// rather than at first use, so the render thread never passes a one-time initialization
// guard (which may wait on a lock). A block run before that start-up step takes the
// portable loop, which gives the same numbers.
inline const bool kUseAvx2 = [] {
  __builtin_cpu_init();  // the feature query may run before the library's own constructors
  return __builtin_cpu_supports("avx2") != 0;
}();
#endif

}  // namespace qbs_support
