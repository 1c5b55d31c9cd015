#pragma once
// A short trail of how one running frame count (the key) maps onto another (the value):
// which input frame of the mixer a frame of the output came from, or which frame of the
// song an input frame of the mixer carried. The render thread adds a point after each block
// it renders; a controlling thread asks what value a key had, for a key at most a few
// hundred milliseconds old (what the audio server holds, what the effects hold).
//
// Threads: one writer at a time (the render thread, or a controlling thread while no render
// runs); any number of readers, which never wait and never make the writer wait: a read
// that the writer overtook by half the trail is read again.

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

class PositionTrail {
public:
    static constexpr uint64_t kPoints = 128;

    // Writer. A floor ends the trail behind it: keys before it answer its value (a seek, a
    // new song: what came before is not to be shown against what follows).
    void add(int64_t key, int64_t value, bool floor = false)
    {
        const uint64_t n = mCount.load(std::memory_order_relaxed);
        Point& point = mPoints[n % kPoints];
        point.key.store(key, std::memory_order_relaxed);
        point.value.store(value, std::memory_order_relaxed);
        point.floor.store(floor, std::memory_order_relaxed);
        mCount.store(n + 1, std::memory_order_release);
    }

    // The value at `key`: interpolated between the two points around it, the newest
    // point's value beyond it, the oldest point's before it (or a floor's); nothing when the
    // trail is empty. Keys grow along the trail; where they fall back (a count that started
    // again) the older points do not count.
    std::optional<int64_t> valueAt(int64_t key) const
    {
        for (int attempt = 0; attempt < 4; ++attempt) {
            const uint64_t n = mCount.load(std::memory_order_acquire);
            if (n == 0)
                return std::nullopt;
            const uint64_t oldest = n > kPoints / 2 ? n - kPoints / 2 : 0;
            int64_t newerKey = 0, newerValue = 0;
            std::optional<int64_t> answer;
            for (uint64_t i = n; i-- > oldest;) {
                const Point& point = mPoints[i % kPoints];
                const int64_t k = point.key.load(std::memory_order_relaxed);
                const int64_t v = point.value.load(std::memory_order_relaxed);
                const bool floor = point.floor.load(std::memory_order_relaxed);
                if (i + 1 < n && k > newerKey) { // the count started again after this point
                    answer = newerValue;
                    break;
                }
                if (i + 1 == n && key >= k) {
                    answer = v;
                    break;
                }
                if (key >= k) {
                    answer = newerKey == k ? newerValue : v + (key - k) * (newerValue - v) / (newerKey - k);
                    break;
                }
                answer = v; // older than every point seen so far
                if (floor)
                    break;
                newerKey = k;
                newerValue = v;
            }
            // Points read may have been overwritten meanwhile only if the writer went round.
            if (mCount.load(std::memory_order_acquire) - n < kPoints / 2)
                return answer;
        }
        return std::nullopt;
    }

private:
    struct Point {
        std::atomic<int64_t> key{0};
        std::atomic<int64_t> value{0};
        std::atomic<bool> floor{false};
    };
    std::array<Point, kPoints> mPoints;
    std::atomic<uint64_t> mCount{0};
};
