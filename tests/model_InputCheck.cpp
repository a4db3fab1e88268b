// The record check of Save/Run.
#include <gtest/gtest.h>

#include <limits>

#include "InputCheck.h"

namespace {

TDMTevlora Records(std::vector<double> time, std::vector<double> rain, std::vector<double> runoff,
                   bool analysis = true) {
  TDMTevlora data;
  data.Analysis = analysis;
  data.NrOfData = static_cast<int>(time.size());
  data.Time = std::move(time);
  data.Rain = std::move(rain);
  data.Runoff = std::move(runoff);
  data.EscRate.assign(data.Time.size(), -0.4);  // net escape may be negative
  data.Removed.assign(data.Time.size(), false);
  return data;
}

TEST(InputCheck, TimesIncreaseAndRainAndRunoffAreNotNegative) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(InputCheck(Records({1, 2, 3.5}, {0, 4, 0.2}, {0.1, 0, 3})));
  EXPECT_TRUE(InputCheck(Records({}, {}, {})));
  EXPECT_FALSE(InputCheck(Records({1, 2, 2}, {0, 0, 0}, {0, 0, 0})));
  EXPECT_FALSE(InputCheck(Records({1, 3, 2}, {0, 0, 0}, {0, 0, 0})));
  EXPECT_FALSE(InputCheck(Records({1, 2, 3}, {0, -0.1, 0}, {0, 0, 0})));
  EXPECT_FALSE(InputCheck(Records({1, 2, 3}, {0, 0, 0}, {0, 0, -1})));
  EXPECT_TRUE(InputCheck(Records({1, 2, 3}, {0, 0, 0}, {0, 0, -1}, false)));  // prediction
  EXPECT_FALSE(InputCheck(Records({1, nan, 3}, {0, 0, 0}, {0, 0, 0})));
  EXPECT_FALSE(InputCheck(Records({1, 2, 3}, {0, nan, 0}, {0, 0, 0})));
}

TEST(InputCheck, RowsLeftOutAreSkippedAndArraysBoundTheScan) {
  // The left-out row keeps a stale time and a negative rain in its slot ...
  TDMTevlora data = Records({1, 99, 3, 4}, {0, -5, 0, 0}, {0, 0, 0, 0});
  data.Removed[1] = true;
  EXPECT_TRUE(InputCheck(data));
  // ... and the rows around it are compared with each other.
  data.Time = {3, 99, 2, 4};
  EXPECT_FALSE(InputCheck(data));

  data = Records({1, 2, 3}, {0, 0, 0}, {-2});
  data.NrOfData = 50;
  EXPECT_FALSE(InputCheck(data));  // record 0 is checked, nothing beyond is read
  data.Runoff = {0, 0, 0};
  EXPECT_TRUE(InputCheck(data));
}

}  // namespace
