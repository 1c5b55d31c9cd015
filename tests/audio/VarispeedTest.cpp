// The varispeed's hand-overs, read off a ramp: each output frame of a ramp tells the input
// position it stands at, so a skipped or repeated input frame, or a glide that jumps,
// shows as a step out of line.

#include "platform/audio/Varispeed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A ramp rising by 1/1024 per frame (exact in float) from the frame `base`.
struct Ramp {
    static constexpr float kStep = 1.0f / 1024.0f;
    int64_t next = 0;
    int64_t base = 0;
    static void Pull(void* context, float* stereo, uint32_t frames)
    {
        auto* ramp = static_cast<Ramp*>(context);
        for (uint32_t i = 0; i < frames; ++i, ++ramp->next)
            stereo[2 * i] = stereo[2 * i + 1] = float(ramp->next - ramp->base) * kStep;
    }
};

TEST(Varispeed, HandOversInAndOutOfResamplingNeitherSkipNorRepeatInput)
{
    constexpr uint32_t kBlock = 1024;
    Varispeed varispeed;
    ASSERT_TRUE(varispeed.prepare(kBlock));
    Ramp ramp;
    std::vector<float> out(kBlock * 2);
    std::vector<float> positions; // of one episode, in ramp frames
    auto play = [&](double rate, int blocks) {
        for (int b = 0; b < blocks; ++b) {
            varispeed.render(out.data(), kBlock, rate, &Ramp::Pull, &ramp);
            for (uint32_t i = 0; i < kBlock; ++i)
                positions.push_back(out[2 * i] / Ramp::kStep);
        }
    };
    for (double rate : {1.5, 0.5, 2.0, 0.75}) {
        SCOPED_TRACE(rate);
        // A fresh ramp, well before the rate leaves 1.0, keeps the positions small.
        ramp.base = ramp.next;
        positions.clear();
        play(1.0, 4);
        size_t from = positions.size();
        play(rate, 8);
        play(1.0, 12);
        ASSERT_FALSE(varispeed.resampling());

        // Back at 1.0 the output is the input again, frame for frame, unchanged: find where
        // that stretch begins.
        size_t exact = positions.size() - 1;
        while (exact > from && positions[exact - 1] == positions[exact] - 1.0f
               && positions[exact - 1] == std::round(positions[exact - 1]))
            --exact;
        ASSERT_GT(exact, from + 8 * kBlock) << "never handed back to pass-through";
        // Up to there, the steps follow the rate and its glides (and the hand-over in
        // leaves no gap)...
        double lo = std::min(1.0, rate) - 0.05, hi = std::max(1.0, rate) + 0.05;
        for (size_t f = from - kBlock; f < exact; ++f)
            ASSERT_TRUE(positions[f] - positions[f - 1] > lo && positions[f] - positions[f - 1] < hi)
                << "frame " << f << " step " << positions[f] - positions[f - 1];
        // ...and the hand-over out resumes from the nearest whole input frame.
        float last = positions[exact] - positions[exact - 1];
        EXPECT_TRUE(last > 0.5f && last < 1.5f) << "step " << last;
    }
}

} // namespace
