// Axis ranges, scale factors, rounded limits, titles and the pixel mapping.
#include <gtest/gtest.h>

#include <climits>
#include <limits>

#include "UTevloraUtils.h"
#include "graphs_Support.h"

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(GraphAxes, RoundingTiesToEvenAndScaleFactors) {
  const std::pair<double, int> rounded[] = {
      {0.5, 0},   {1.5, 2},    {2.5, 2},  {5.5, 6},         {-0.5, 0},
      {-1.5, -2}, {2.4999, 2}, {kNaN, 0}, {1e300, INT_MAX}, {-1e300, INT_MIN}};
  for (const auto& [x, expected] : rounded) EXPECT_EQ(RoundToEven(x), expected) << x;
  // Open bounds: exactly 0.01 and 0.1 keep the factor 1.
  const std::pair<double, int> factors[] = {{0.005, 1000}, {0.01, 1}, {0.05, 100},
                                            {0.1, 1},      {0.5, 10}, {1.0, 1}};
  for (const auto& [maximum, factor] : factors) EXPECT_EQ(ScaleFactorFor(maximum), factor);
}

struct TLimitsCase {
  bool vertical;
  double minimum, maximum;
  int low, high, intervals, decimals;
};

TEST(GraphAxes, RoundedLimitsOfTheStepTable) {
  const TLimitsCase cases[] = {
      {true, 0, 5.0, 0, 6, 6, 1},   // half-unit margins; round(5.5) = 6
      {true, 0, 1.1, 0, 2, 2, 1},   // the all-zero series
      {true, 0, 0.55, 0, 1, 1, 2},  // below 1: margins of 0.05
      {true, 0, 30, 0, 30, 6, 1},   // step 5; round(6.5) = 6
      {false, 0, 30, 0, 30, 6, 0},  // ... with no decimals horizontally
      {true, 0, 24.9, 0, 28, 7, 1},
      {true, -7, 12, -8, 16, 6, 1},  // round(-2.25) = -2 steps of 4
      {true, 0, 99, 0, 100, 10, 0},
      {true, 0, 240, 0, 250, 10, 0},
      {true, 0, 60000, 0, 60000, 6, 0},
      // 100000 and more go on with 2.5, 5, 10 times a power of ten.
      {true, 0, 150000, 0, 150000, 6, 0},
      {true, 0, 700000, 0, 800000, 8, 0},
      {false, 0, 2.0E6, 0, 2000000, 8, 0},
      {false, 0, 0.55, 0, 1, 1, 1},      // no row below 1 horizontally
      {true, -10, 5, -10, 6, 8, 1},      // 16 intervals halved ...
      {false, -10, 5, -10, 6, 16, 1},    // ... but not horizontally
      {true, 100, 100, 100, 101, 0, 0},  // equal limits are separated
      {false, 100, 100, 100, 101, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.minimum) + " .. " + std::to_string(c.maximum) +
                 (c.vertical ? " vertical" : " horizontal"));
    const TAxisLimits limits = c.vertical ? RoundVerticalLimits(c.minimum, c.maximum)
                                          : RoundHorizontalLimits(c.minimum, c.maximum);
    EXPECT_EQ(limits.Low, c.low);
    EXPECT_EQ(limits.High, c.high);
    EXPECT_EQ(limits.Intervals, c.intervals);
    EXPECT_EQ(limits.Decimals, c.decimals);
  }
  const TAxisLimits huge = RoundVerticalLimits(0, 1.0E300);  // saturates, no overflow
  EXPECT_LT(huge.Low, huge.High);
}

TEST(GraphAxes, IntervalNormalisation) {
  // {intervals, decimals} of the vertical and the horizontal axis, before and after.
  const int cases[][8] = {{12, 0, 12, 0, 10, 1, 10, 1},
                          {2, 0, 2, 1, 4, 1, 4, 2},  // vertical 0 -> 1; horizontal always + 1
                          {3, 2, 7, 0, 4, 2, 7, 0}};
  for (const auto& c : cases) {
    TAxisLimits v{0, 0, c[0], c[1]};
    TAxisLimits h{0, 0, c[2], c[3]};
    NormaliseIntervals(v, h);
    EXPECT_EQ(std::vector<int>({v.Intervals, v.Decimals, h.Intervals, h.Decimals}),
              std::vector<int>(c + 4, c + 8));
  }
}

struct TVerticalCase {
  const char* name;
  std::vector<double> runoff;
  int factor, bottom, top, intervals, decimals;
};

// Kind 2 (SeriesC against time 1, 2, ...): extremes, headroom, factor, limits.
TEST(GraphAxes, PrepareAxesVertical) {
  const TVerticalCase cases[] = {
      {"all zero: 0 .. 1.1", std::vector<double>(10, 0), 1, 0, 2, 4, 1},
      {"constant 3: 0 .. 4.4", std::vector<double>(10, 3), 1, 0, 5, 5, 1},
      {"0.3 * 1.1: factor 10", Ramp(0, 0.3 / 9, 10), 10, 0, 4, 4, 1},
      {"0.004 * 1.1: factor 1000", Ramp(0, 0.004 / 9, 10), 1000, 0, 5, 5, 1},
      {"0.045 * 1.1: factor 100, round(5.45)", Ramp(0, 0.005, 10), 100, 0, 5, 5, 1},
      {"negative minimum: no factor", {-0.002, 0.001, 0.004}, 1, 0, 1, 4, 2},
      {"-52 .. 28 on step 4: 20 intervals", {-50, 0, 22}, 1, -52, 28, 10, 2},
      {"220000 on step 25000", Ramp(0, 200000.0 / 9, 10), 1, 0, 225000, 9, 0},
      {"not a number left out", {1, kNaN, 4, 2}, 1, 0, 5, 5, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const int n = static_cast<int>(c.runoff.size());
    const TGraphLayout axes = PrepareAxes(MakeGraphData({.T = Ramp(1, 1, n), .C = c.runoff}), 2);
    EXPECT_EQ(axes.YScaleFactor, c.factor);
    EXPECT_EQ(axes.YAxisBottom, c.bottom);
    EXPECT_EQ(axes.YAxisTop, c.top);
    EXPECT_EQ(axes.YIntervals, c.intervals);
    EXPECT_EQ(axes.YDecimals, c.decimals);
  }
  const TGraphLayout constant =
      PrepareAxes(MakeGraphData({.T = Ramp(1, 1, 10), .C = std::vector<double>(10, 3)}), 2);
  EXPECT_DOUBLE_EQ(constant.YMin, 0);
  EXPECT_DOUBLE_EQ(constant.YMax, (3.0 + 1) * 1.1);
}

TEST(GraphAxes, PrepareAxesHorizontalAndPerKind) {
  // Time from exactly 0: no factor.
  EXPECT_EQ(PrepareAxes(MakeGraphData({.T = Ramp(0, 0.1, 6), .C = Ramp(1, 1, 6)}), 2).XScaleFactor,
            1);
  // Up to 0.8 and the step drawn after it.
  const TGraphLayout tenths =
      PrepareAxes(MakeGraphData({.T = Ramp(0.1, 0.1, 8), .C = Ramp(1, 1, 8)}), 2);
  EXPECT_EQ(tenths.XScaleFactor, 10);
  EXPECT_NEAR(tenths.XMax, 9, 1e-12);  // no headroom
  EXPECT_EQ(
      std::vector<int>({tenths.XAxisLeft, tenths.XAxisRight, tenths.XIntervals, tenths.XDecimals}),
      std::vector<int>({0, 10, 10, 1}));

  const TDMTevlora data = MakeGraphData({.T = {2, 4, 9},
                                         .A = {10, 20, 30},
                                         .B = {5, 6, 7},
                                         .C = {1, 5, 12},
                                         .D = {2, 4, 9},
                                         .F = {40, 41, 42}});
  const struct {
    int kind;
    double yMin, yMax, xMin, xMax;
  } kinds[] = {
      // Kinds 1 to 4 draw the last record up to a step beyond it (1, 2: the
      // last step there is; 3, 4: the step before the last), and their
      // bars stand on 0 with rain and recharge on one axis.
      {1, 1, 12 * 1.1, 2, 14}, {2, 1, 12 * 1.1, 2, 14},
      {3, 0, 30 * 1.1, 2, 11}, {4, 0, 12 * 1.1, 2, 11},
      {5, 40, 42 * 1.1, 2, 9}, {7, 1, 12 * 1.1, 1, 12},  // both axes cover observed and calculated
      {8, 2, 9 * 1.1, 10, 30}, {9, 2, 9 * 1.1, 2, 9}};   // recharge and the runoff drawn with it
  for (const auto& k : kinds) {
    SCOPED_TRACE("kind " + std::to_string(k.kind));
    const TGraphLayout axes = PrepareAxes(data, k.kind);
    EXPECT_DOUBLE_EQ(axes.YMin, k.yMin);
    EXPECT_DOUBLE_EQ(axes.YMax, k.yMax);
    EXPECT_DOUBLE_EQ(axes.XMin, k.xMin);
    EXPECT_DOUBLE_EQ(axes.XMax, k.xMax);
  }
}

TEST(GraphAxes, RecordCountIsBoundedByTheSlots) {
  TDMTevlora data = MakeGraphData({.T = Ramp(1, 1, 5), .C = Ramp(1, 1, 3)});
  data.NrOfData = 9;
  EXPECT_EQ(GraphRecordCount(data, 2), 3);
  EXPECT_EQ(GraphRecordCount(data, 5), 0);  // no SeriesF
  data.NrOfData = -4;
  EXPECT_EQ(GraphRecordCount(data, 2), 0);
  const TGraphLayout empty = PrepareAxes(data, 2);  // no records: 0 .. 1.1
  EXPECT_DOUBLE_EQ(empty.YMax, 1.1);
  EXPECT_LT(empty.XAxisLeft, empty.XAxisRight);
}

// Time 0 .. 10 on 0 .. 12, values 0 .. 5 on 0 .. 6: column 70 + round(t * 500 / 12),
// row 385 - round(v * 320 / 6); 62.5 rounds to 62 and 187.5 to 188.
TEST(GraphAxes, MapToPixelsKnownValues) {
  const std::vector<double> time = {0, 1.5, 4.5, 6, 8, 10};
  const std::vector<int> columns = {70, 132, 258, 320, 403, 487};
  const std::vector<int> rows = {385, 332, 278, 225, 172, 118};
  const TDMTevlora runoff = MakeGraphData({.T = time, .C = {0, 1, 2, 3, 4, 5}});
  const TDMTevlora before = runoff;
  TGraphLayout layout = PrepareAxes(runoff, 2);
  MapToPixels(runoff, 2, layout);
  EXPECT_EQ(layout.PixX, columns);
  EXPECT_EQ(layout.PixC, rows);
  EXPECT_EQ(MapY(layout, layout.YAxisTop), 65);
  EXPECT_EQ(runoff.SeriesC, before.SeriesC);  // the data set is not touched

  // Scaled by 100, and the water table of kind 5, map to the same rows.
  const TDMTevlora scaled = MakeGraphData({.T = time, .C = {0, 0.01, 0.02, 0.03, 0.04, 0.05}});
  layout = PrepareAxes(scaled, 2);
  MapToPixels(scaled, 2, layout);
  EXPECT_EQ(layout.YScaleFactor, 100);
  EXPECT_EQ(layout.PixC, rows);
  const TDMTevlora level = MakeGraphData({.T = time, .F = {0, 1, 2, 3, 4, 5}});
  layout = PrepareAxes(level, 5);
  MapToPixels(level, 5, layout);
  EXPECT_EQ(layout.PixF, rows);

  // Kind 8: recharge on the rain axis 0 .. 12; quadratic runoff = recharge.
  const TDMTevlora trend =
      MakeGraphData({.T = Ramp(1, 1, 6), .A = Ramp(0, 2, 6), .B = time, .D = {0, 1, 2, 3, 4, 5}});
  layout = PrepareAxes(trend, 8);
  ComputeTrend(trend, {.QuadB = 1, .QuadTrendValid = true}, layout);
  MapToPixels(trend, 8, layout);
  EXPECT_EQ(layout.PixA, columns);
  EXPECT_EQ(layout.PixD, rows);
  EXPECT_EQ(std::vector<int>({layout.QuadPixX[0], layout.QuadPixX[6], layout.QuadPixY[0],
                              layout.QuadPixY[3], layout.QuadPixY[6]}),
            std::vector<int>({70, 320, 385, 225, 65}));
}

TEST(GraphAxes, TitlesFollowTheScaleFactors) {
  const struct {
    int kind, xFactor, yFactor;
    bool drainage;
    const char *xTitle, *yTitle, *legend1;
  } cases[] = {
      {1, 1, 1, false, "Time", "Discharge/runoff (mm/t)", " o  observed"},
      {1, 10, 1000, false, "Time * 10", "Discharge or runoff * 1000", " o  observed"},
      {7, 100, 10, false, "Runoff observed * 100", "Runoff calculated * 10", " ---  Obs = Calc"},
      {8, 1, 1, false, "Recharge calculated", "Discharge observed", " o   observed"},
      {8, 10, 10, false, "Recharge calculated * 10", "Discharge observed * 10", " o   observed"},
      {2, 1000, 1, false, "Time * 1000", "Discharge (predicted) in mm/t", ""},
      {2, 1, 1000, false, "Time", "Discharge (predicted) *1000 in 0.001 mm/t", ""},
      {3, 1, 1, false, "Time", "", " Rain/irrigation in mm/t"},
      {4, 1, 100, false, "Time", "", " Rain/irrigation in mm/t * 100"},
      {5, 1, 100, true, "Time", "Water table height (mm) * 100", ""},
      {5, 1, 1, false, "Time", " Reservoir storage predicted (mm)", ""},
      {5, 1, 1000, true, "Time", "Water table height (mm) * 1000", ""},
      {5, 1, 1000, false, "Time", " Reservoir storage (mm) * 1000", ""},
      {9, 1, 1, false, "Time", "", "Recharge derived (mm/t) ----------"},
      {9, 10, 10, false, "Time * 10", "", "Recharge derived (mm/t) * 10 ----------"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind) + ", factors " + std::to_string(c.xFactor) +
                 " and " + std::to_string(c.yFactor));
    TGraphLayout layout;
    layout.XScaleFactor = c.xFactor;
    layout.YScaleFactor = c.yFactor;
    SetAxisTitles(layout, c.kind, c.drainage);
    EXPECT_EQ(layout.XTitle, c.xTitle);
    EXPECT_EQ(layout.YTitle, c.yTitle);
    EXPECT_EQ(layout.Legend1, c.legend1);
  }
  // The second legends carry the factor too.
  TGraphLayout layout;
  layout.YScaleFactor = 10;
  SetAxisTitles(layout, 3, false);
  EXPECT_EQ(layout.Legend2, " Recharge in mm/t * 10");
  SetAxisTitles(layout, 9, false);
  EXPECT_EQ(layout.Legend2, "RunOff measured  (mm/t) * 10 - - - - -");
}

// Tick labels show their tick exactly: a step of 0.75 needs two decimals.
TEST(GraphAxes, TickDecimalsFollowTheStep) {
  const int cases[][5] = {
      // low, high, intervals, decimals before, after
      {0, 3, 4, 1, 2},     {100, 125, 4, 1, 2}, {0, 2, 4, 1, 1},  {0, 10, 10, 1, 1},
      {-52, 28, 10, 2, 2}, {0, 13, 6, 1, 3},    {0, 25, 4, 0, 2}, {0, 60000, 6, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TickDecimals(c[0], c[1], c[2], c[3]), c[4])
        << c[0] << " .. " << c[1] << " in " << c[2];
  }
}

}  // namespace
