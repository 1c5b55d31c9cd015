// Five minutes of input at fixed settings: once output has begun, no call of the speed/pitch
// block may write fewer frames than it takes (a gap), and no frame may be dropped.
//
// The block itself runs at a representative set of settings, with the frame-count model of
// ptc_count_model.h beside it call for call; where they agree, the model covers every one
// of the 151 x 13 settings.
#include <gtest/gtest.h>

#include <vector>

#include "qbs/QBS_PTC.h"
#include "qbs/QBS_PTC_Testing.h"
#include "tests/qbs/ptc_count_model.h"
#include "tests/qbs/ptc_test_support.h"

namespace {

constexpr int kRunFrames = 300 * 44100;
constexpr int kCallSizes[] = {256, 1024, 4096};

// Debug and sanitizer builds run ten to a hundred times slower: they check fewer settings,
// and the thread sanitizer build, which is there for the threads, one.
#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
constexpr bool kFullSpeedBuild = true;
#else
constexpr bool kFullSpeedBuild = false;
#endif
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif

struct Counts {
  int64_t short_calls = 0, dropped = 0;
};

// One run from program start in calls of `frames`, counting gaps after the first output.
template <typename CallFn>
Counts RunFiveMinutes(int frames, CallFn call) {
  Counts counts;
  bool started = false;
  for (int done = 0; done < kRunFrames; done += frames) {
    const int64_t n = call(done);
    if (started && n != frames) ++counts.short_calls;
    started |= n > 0;
  }
  return counts;
}

}  // namespace

TEST(PtcSteady, NoGapsNorDropsOverFiveMinutesAndTheCountModelAgrees) {
  // Speeds at both ends and between, every sign of pitch; 60/+5, 50/0, 200/-6 and 150/+3
  // are settings at which consuming a rounded hop drifted or the start overflowed.
  std::vector<std::pair<int, int>> settings = {{60, 5}};
  if (!kThreadSanitizer) settings.push_back({200, -6});
  if (kFullSpeedBuild) {
    const std::pair<int, int> more[] = {{50, 6}, {150, 3}, {50, 0}, {100, 0}, {137, -4}, {181, 2}};
    settings.insert(settings.end(), std::begin(more), std::end(more));
  }
  const std::vector<int16_t> in = Signal(44100 + 4096);
  std::vector<int16_t> out;
  for (const auto& [speed, pitch] : settings) {
    for (int frames : kCallSizes) {
      if (kThreadSanitizer && frames != 1024) continue;
      SCOPED_TRACE(testing::Message() << speed << "/" << pitch << " in calls of " << frames);
      Prepare(speed, pitch);
      PtcCountModel model;
      model.set(speed, pitch);
      const int64_t dropped_before = QBS_PTC_DroppedFrames();
      int disagreements = 0;
      const Counts counts = RunFiveMinutes(frames, [&](int done) {
        const int n = Call(&in[2 * (done % 44100)], frames, out);
        disagreements += n != model.call(frames);
        return n;
      });
      EXPECT_EQ(counts.short_calls, 0);
      EXPECT_EQ(QBS_PTC_DroppedFrames() - dropped_before, 0);
      EXPECT_EQ(disagreements, 0);
      EXPECT_EQ(model.dropped, QBS_PTC_DroppedFrames() - dropped_before);
      EXPECT_EQ(model.queued_in, In_Tempo_Buf_Size);
      EXPECT_EQ(model.queued_out, Prev_Sample_Index);
      EXPECT_EQ(model.phase, Window_Index);
    }
  }
}

TEST(PtcSteady, CountModelFindsNoGapsNorDropsAtAnySetting) {
  const int speed_step = kFullSpeedBuild ? 1 : 10;
  for (int pitch = -6; pitch <= 6; ++pitch) {
    for (int speed = 50; speed <= 200; speed += speed_step) {
      for (int frames : kCallSizes) {
        PtcCountModel model;
        model.set(speed, pitch);
        const Counts counts = RunFiveMinutes(frames, [&](int) { return model.call(frames); });
        EXPECT_EQ(counts.short_calls, 0) << speed << "/" << pitch << " in calls of " << frames;
        EXPECT_EQ(model.dropped, 0) << speed << "/" << pitch << " in calls of " << frames;
      }
    }
  }
}
