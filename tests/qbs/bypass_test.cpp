// The pass-through: the shift, and what it leaves alone.
#include "qbs/QBS_Bypass.h"
#include "tests/qbs/filter_test_support.h"

using qbs_test::Samples;

TEST(QbsBypass, ShiftsEverySampleByTwoRoundingDown) {
  const Samples in = {0, 0, 32767, -32768, -1, -5, 4, 7};
  const Samples expected = {0, 0, 8191, -8192, -1, -2, 1, 1};
  EXPECT_EQ(qbs_test::whole(QBS_BYPASS, in), expected);
  EXPECT_EQ(qbs_test::in_random_blocks(QBS_BYPASS, in, 1), expected);
}

TEST(QbsBypass, WritesNothingBeyondCount) {
  const Samples in = {400, 400, 400, 400};
  Samples out = {7, 7, 7, 7};
  QBS_BYPASS(out.data(), in.data(), 0);
  EXPECT_EQ(out, (Samples{7, 7, 7, 7}));
  QBS_BYPASS(out.data(), in.data(), 3);  // only whole frames
  EXPECT_EQ(out, (Samples{100, 100, 7, 7}));
}
