// The pass-through: what it leaves alone (its shift, rounding down, is checked through the
// offline tool in tests/tools).
#include "qbs/QBS_Bypass.h"
#include "tests/qbs/filter_test_support.h"

using qbs_test::Samples;

TEST(QbsBypass, WritesNothingBeyondCount) {
  const Samples in = {400, 400, 400, 400};
  Samples out = {7, 7, 7, 7};
  QBS_BYPASS(out.data(), in.data(), 0);
  EXPECT_EQ(out, (Samples{7, 7, 7, 7}));
  QBS_BYPASS(out.data(), in.data(), 3);  // only whole frames
  EXPECT_EQ(out, (Samples{100, 100, 7, 7}));
}
