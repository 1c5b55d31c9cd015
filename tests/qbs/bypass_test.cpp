// The pass-through: the shift, and what it leaves alone.
#include <gtest/gtest.h>

#include "qbs/QBS_Bypass.h"
#include "tests/qbs/filter_test_support.h"

namespace {

TEST(QbsBypass, ShiftsEverySampleByTwoRoundingDown) {
  const qbs_test::Samples in = {0, 0, 32767, -32768, -1, -5, 4, 7};
  const qbs_test::Samples expected = {0, 0, 8191, -8192, -1, -2, 1, 1};
  EXPECT_EQ(qbs_test::whole(QBS_BYPASS, in), expected);

  qbs_test::Samples buf = in;  // in place
  QBS_BYPASS(buf.data(), buf.data(), static_cast<int32_t>(buf.size()));
  EXPECT_EQ(buf, expected);
}

TEST(QbsBypass, WritesNothingBeyondCount) {
  const qbs_test::Samples in = {400, 400, 400, 400};
  qbs_test::Samples out = {7, 7, 7, 7};
  QBS_BYPASS(out.data(), in.data(), 0);
  EXPECT_EQ(out, (qbs_test::Samples{7, 7, 7, 7}));
  QBS_BYPASS(out.data(), in.data(), 3);  // only whole frames
  EXPECT_EQ(out, (qbs_test::Samples{100, 100, 7, 7}));
}

}  // namespace
