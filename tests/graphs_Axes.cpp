// Axis ranges, scale factors, rounded limits and the pixel mapping.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "URainRun.h"
#include "UTevloraUtils.h"
#include "graphs_Support.h"

namespace {

TEST(GraphRounding, RoundsHalvesToEvenAndSaturates) {
  EXPECT_EQ(RoundToEven(0.5), 0);
  EXPECT_EQ(RoundToEven(1.5), 2);
  EXPECT_EQ(RoundToEven(2.5), 2);
  EXPECT_EQ(RoundToEven(5.5), 6);
  EXPECT_EQ(RoundToEven(-0.5), 0);
  EXPECT_EQ(RoundToEven(-1.5), -2);
  EXPECT_EQ(RoundToEven(2.4999), 2);
  EXPECT_EQ(RoundToEven(1.0E300), INT_MAX);
  EXPECT_EQ(RoundToEven(-1.0E300), INT_MIN);
  EXPECT_EQ(RoundToEven(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(GraphScaleFactor, ChosenFromTheMaximumWithOpenBounds) {
  EXPECT_EQ(ScaleFactorFor(0.005), 1000);
  EXPECT_EQ(ScaleFactorFor(0.01), 1);  // exactly 0.01 keeps 1
  EXPECT_EQ(ScaleFactorFor(0.05), 100);
  EXPECT_EQ(ScaleFactorFor(0.1), 1);  // exactly 0.1 keeps 1
  EXPECT_EQ(ScaleFactorFor(0.5), 10);
  EXPECT_EQ(ScaleFactorFor(1.0), 1);
  EXPECT_EQ(ScaleFactorFor(37.0), 1);
}

void ExpectLimits(const TAxisLimits& limits, int low, int high, int intervals, int decimals) {
  EXPECT_EQ(limits.Low, low);
  EXPECT_EQ(limits.High, high);
  EXPECT_EQ(limits.Intervals, intervals);
  EXPECT_EQ(limits.Decimals, decimals);
}

TEST(GraphRoundedLimits, RowsOfTheStepTable) {
  // 1 to below 10: half-unit margins; round(5.5) = 6 and round(-0.5) = 0.
  ExpectLimits(RoundVerticalLimits(0, 5.0), 0, 6, 6, 1);
  ExpectLimits(RoundVerticalLimits(0, 1.1), 0, 2, 2, 1);
  // Below 1: margins of 0.05, two decimals.
  ExpectLimits(RoundVerticalLimits(0, 0.55), 0, 1, 1, 2);
  // 25 to below 50: step 5; (30 + 2.5) / 5 = 6.5 rounds to 6.
  ExpectLimits(RoundVerticalLimits(0, 30), 0, 30, 6, 1);
  // 10 to below 25: step 4.
  ExpectLimits(RoundVerticalLimits(0, 24.9), 0, 28, 7, 1);
  ExpectLimits(RoundVerticalLimits(0, 99), 0, 100, 10, 0);
  ExpectLimits(RoundVerticalLimits(0, 240), 0, 250, 10, 0);
  ExpectLimits(RoundVerticalLimits(0, 60000), 0, 60000, 6, 0);
  // A stepped lower limit: (-7 - 2) / 4 = -2.25 rounds to -2.
  ExpectLimits(RoundVerticalLimits(-7, 12), -8, 16, 6, 1);
}

TEST(GraphRoundedLimits, LargeMaximaContinueTheStepPattern) {
  ExpectLimits(RoundVerticalLimits(0, 150000), 0, 150000, 6, 0);  // step 25000
  ExpectLimits(RoundVerticalLimits(0, 300000), 0, 300000, 6, 0);  // step 50000
  ExpectLimits(RoundVerticalLimits(0, 700000), 0, 800000, 8, 0);  // step 100000
  ExpectLimits(RoundVerticalLimits(0, 2.0E6), 0, 2000000, 8, 0);  // step 250000
  ExpectLimits(RoundHorizontalLimits(0, 150000), 0, 150000, 6, 0);
  // Far beyond any depth: the limits saturate instead of overflowing.
  const TAxisLimits huge = RoundVerticalLimits(0, 1.0E300);
  EXPECT_LT(huge.Low, huge.High);
}

TEST(GraphRoundedLimits, HorizontalAxisDiffersInThreeWays) {
  // 25 to below 50 has no decimals.
  ExpectLimits(RoundHorizontalLimits(0, 30), 0, 30, 6, 0);
  // No row below 1: the half-unit row applies.
  ExpectLimits(RoundHorizontalLimits(0, 0.55), 0, 1, 1, 1);
  // No halving: 16 intervals stay 16, where the vertical axis halves them.
  ExpectLimits(RoundHorizontalLimits(-10, 5), -10, 6, 16, 1);
  ExpectLimits(RoundVerticalLimits(-10, 5), -10, 6, 8, 1);
}

TEST(GraphRoundedLimits, EqualLimitsAreSeparated) {
  // (100 - 12.5) / 25 = 3.5 and (100 + 12.5) / 25 = 4.5 both round to 4.
  ExpectLimits(RoundVerticalLimits(100, 100), 100, 101, 0, 0);
  ExpectLimits(RoundHorizontalLimits(100, 100), 100, 101, 0, 0);
}

TEST(GraphIntervals, NormalisedToFourToTen) {
  TAxisLimits v{0, 0, 12, 0};
  TAxisLimits h{0, 0, 12, 0};
  NormaliseIntervals(v, h);
  EXPECT_EQ(v.Intervals, 10);
  EXPECT_EQ(v.Decimals, 1);
  EXPECT_EQ(h.Intervals, 10);
  EXPECT_EQ(h.Decimals, 1);

  v = {0, 0, 2, 0};
  h = {0, 0, 2, 1};
  NormaliseIntervals(v, h);
  EXPECT_EQ(v.Intervals, 4);
  EXPECT_EQ(v.Decimals, 1);  // 0 becomes 1
  EXPECT_EQ(h.Intervals, 4);
  EXPECT_EQ(h.Decimals, 2);  // always one more

  v = {0, 0, 3, 2};
  h = {0, 0, 7, 0};
  NormaliseIntervals(v, h);
  EXPECT_EQ(v.Intervals, 4);
  EXPECT_EQ(v.Decimals, 2);  // kept when not 0
  EXPECT_EQ(h.Intervals, 7);
  EXPECT_EQ(h.Decimals, 0);
}

// Kind 2 draws SeriesC against SeriesT.
TDMTevlora PredictionRunoff(std::vector<double> time, std::vector<double> runoff) {
  return MakeGraphData({.T = std::move(time), .C = std::move(runoff)});
}

TEST(GraphPrepareAxes, AllZeroSeries) {
  PrepareAxes(PredictionRunoff(Ramp(1, 1, 10), Repeat(0, 10)), 2);
  EXPECT_DOUBLE_EQ(YMin, 0);
  EXPECT_DOUBLE_EQ(YMax, 1.1);
  EXPECT_EQ(YScaleFactor, 1);
  EXPECT_EQ(YAxisBottom, 0);
  EXPECT_EQ(YAxisTop, 2);
  EXPECT_EQ(YIntervals, 4);
  EXPECT_EQ(YDecimals, 1);
}

TEST(GraphPrepareAxes, ConstantSeriesStartsAtZero) {
  PrepareAxes(PredictionRunoff(Ramp(1, 1, 10), Repeat(3, 10)), 2);
  EXPECT_DOUBLE_EQ(YMin, 0);
  EXPECT_DOUBLE_EQ(YMax, (3.0 + 1) * 1.1);
  EXPECT_EQ(YAxisBottom, 0);
  EXPECT_EQ(YAxisTop, 5);  // round(4.4 + 0.5)
  EXPECT_EQ(YIntervals, 5);
}

TEST(GraphPrepareAxes, ScaleFactorsOfSmallMaxima) {
  // The maximum after the headroom decides: 0.3 * 1.1 = 0.33 gives 10.
  PrepareAxes(PredictionRunoff(Ramp(1, 1, 10), Ramp(0, 0.3 / 9, 10)), 2);
  EXPECT_EQ(YScaleFactor, 10);
  EXPECT_NEAR(YMax, 3.3, 1e-12);
  EXPECT_EQ(YAxisTop, 4);
  // 0.004 * 1.1 = 0.0044 gives 1000.
  PrepareAxes(PredictionRunoff(Ramp(1, 1, 10), Ramp(0, 0.004 / 9, 10)), 2);
  EXPECT_EQ(YScaleFactor, 1000);
  EXPECT_EQ(YAxisTop, 5);
  // 0.045 * 1.1 = 0.0495 gives 100, scaled 4.95, top round(5.45) = 5.
  PrepareAxes(PredictionRunoff(Ramp(1, 1, 10), Ramp(0, 0.005, 10)), 2);
  EXPECT_EQ(YScaleFactor, 100);
  EXPECT_EQ(YAxisTop, 5);
  EXPECT_EQ(YIntervals, 5);
  // The documented case: a maximum of 0.05 after the headroom.
  ExpectLimits(RoundVerticalLimits(0, 0.05 * ScaleFactorFor(0.05)), 0, 6, 6, 1);
}

TEST(GraphPrepareAxes, NegativeMinimumKeepsFactorOne) {
  PrepareAxes(PredictionRunoff(Ramp(1, 1, 4), {-0.002, 0.001, 0.004, 0.003}), 2);
  EXPECT_EQ(YScaleFactor, 1);
  EXPECT_DOUBLE_EQ(YMin, -0.002);
  // round(-0.052) = round(0.0494) = 0: separated to 0 .. 1, then 4 intervals.
  EXPECT_EQ(YAxisBottom, 0);
  EXPECT_EQ(YAxisTop, 1);
  EXPECT_EQ(YIntervals, 4);
  EXPECT_EQ(YDecimals, 2);
}

TEST(GraphPrepareAxes, HorizontalFactorNeedsPositiveMinimum) {
  PrepareAxes(PredictionRunoff(Ramp(0, 0.1, 6), Ramp(1, 1, 6)), 2);
  EXPECT_EQ(XScaleFactor, 1);  // time starts at exactly 0
  PrepareAxes(PredictionRunoff(Ramp(0.1, 0.1, 9), Ramp(1, 1, 9)), 2);
  EXPECT_EQ(XScaleFactor, 10);
  EXPECT_NEAR(XMax, 9, 1e-12);  // no headroom on the horizontal axis
  EXPECT_EQ(XAxisLeft, 0);      // round(1 - 0.5)
  EXPECT_EQ(XAxisRight, 10);    // round(9.5)
  EXPECT_EQ(XIntervals, 10);
  EXPECT_EQ(XDecimals, 1);
}

TEST(GraphPrepareAxes, DecimalsOfAMaximumOfThirty) {
  // Vertical 1 decimal, horizontal none, for the same row.
  PrepareAxes(PredictionRunoff(Ramp(3, 3, 10), Ramp(0, 30.0 / 1.1 / 9, 10)), 2);
  EXPECT_NEAR(YMax, 30, 1e-9);
  EXPECT_EQ(YDecimals, 1);
  EXPECT_DOUBLE_EQ(XMax, 30);
  EXPECT_EQ(XDecimals, 0);
  EXPECT_EQ(XAxisLeft, 0);
  EXPECT_EQ(XAxisRight, 30);
  EXPECT_EQ(XIntervals, 6);
}

TEST(GraphPrepareAxes, ManyIntervalsBecomeTenWithOneMoreDecimal) {
  // -50 .. 24.2 on step 4: -52 .. 28 are 20 intervals.
  PrepareAxes(PredictionRunoff(Ramp(1, 1, 3), {-50, 0, 22}), 2);
  EXPECT_EQ(YAxisBottom, -52);
  EXPECT_EQ(YAxisTop, 28);
  EXPECT_EQ(YIntervals, 10);
  EXPECT_EQ(YDecimals, 2);
}

TEST(GraphPrepareAxes, ObservedCalculatedAxesCoverBothSeries) {
  const TDMTevlora data = MakeGraphData({.T = {2, 4, 9}, .C = {1, 5, 12}, .D = {2, 4, 9}});
  PrepareAxes(data, 7);
  EXPECT_DOUBLE_EQ(XMin, 1);  // the calculated minimum, below every observed value
  EXPECT_DOUBLE_EQ(XMax, 12);
  EXPECT_DOUBLE_EQ(YMin, 1);
  EXPECT_DOUBLE_EQ(YMax, 12 * 1.1);
}

TEST(GraphPrepareAxes, RangesFollowTheKind) {
  const TDMTevlora data = MakeGraphData({.T = {1, 2, 3},
                                         .A = {10, 20, 30},
                                         .B = {5, 6, 7},
                                         .C = {100, 200, 300},
                                         .D = {0.5, 1.5, 2.5},
                                         .F = {40, 41, 42}});
  PrepareAxes(data, 3);  // rain and recharge
  EXPECT_DOUBLE_EQ(YMin, 5);
  EXPECT_DOUBLE_EQ(YMax, 30 * 1.1);
  PrepareAxes(data, 5);  // water table only
  EXPECT_DOUBLE_EQ(YMin, 40);
  EXPECT_DOUBLE_EQ(YMax, 42 * 1.1);
  PrepareAxes(data, 8);  // measured runoff against rain
  EXPECT_DOUBLE_EQ(YMin, 0.5);
  EXPECT_DOUBLE_EQ(XMin, 10);
  EXPECT_DOUBLE_EQ(XMax, 30);
  PrepareAxes(data, 9);  // recharge
  EXPECT_DOUBLE_EQ(YMin, 5);
  EXPECT_DOUBLE_EQ(YMax, 7 * 1.1);
}

TEST(GraphPrepareAxes, LargeMaximaDoNotKeepThePreviousGraphsAxes) {
  PrepareAxes(PredictionRunoff(Ramp(1, 1, 10), Ramp(0, 1, 10)), 2);
  PrepareAxes(PredictionRunoff(Ramp(1, 1, 10), Ramp(0, 200000.0 / 9, 10)), 2);
  EXPECT_EQ(YAxisBottom, 0);
  EXPECT_EQ(YAxisTop, 225000);  // 220000 on step 25000
  EXPECT_EQ(YIntervals, 9);
  EXPECT_EQ(YDecimals, 0);
}

TEST(GraphPrepareAxes, RecordCountIsBoundedByTheSlots) {
  TDMTevlora data = PredictionRunoff(Ramp(1, 1, 5), Ramp(1, 1, 5));
  data.NrOfData = 9;  // more than the slots hold
  EXPECT_EQ(GraphRecordCount(data, 2), 5);
  data.SeriesC.resize(3);
  EXPECT_EQ(GraphRecordCount(data, 2), 3);
  EXPECT_EQ(GraphRecordCount(data, 5), 0);  // SeriesF is empty
  data.NrOfData = -4;
  EXPECT_EQ(GraphRecordCount(data, 2), 0);
  // No records: the empty range becomes 0 .. 1.1.
  PrepareAxes(data, 2);
  EXPECT_DOUBLE_EQ(YMin, 0);
  EXPECT_DOUBLE_EQ(YMax, 1.1);
  EXPECT_LT(XAxisLeft, XAxisRight);
}

TEST(GraphPrepareAxes, ValuesThatAreNotNumbersAreLeftOut) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  PrepareAxes(PredictionRunoff(Ramp(1, 1, 4), {1, nan, 4, 2}), 2);
  EXPECT_DOUBLE_EQ(YMin, 1);
  EXPECT_DOUBLE_EQ(YMax, 4 * 1.1);
}

// Time 0 .. 10 on 0 .. 12 (step 4, 3 intervals normalised to 4), runoff
// 0 .. 5 on 0 .. 6: PixX = 70 + round(t * 500 / 12), Pix = 385 - round(v * 320 / 6).
TEST(GraphMapToPixels, KnownValues) {
  const TDMTevlora data = PredictionRunoff({0, 1.5, 4.5, 6, 8, 10}, {0, 1, 2, 3, 4, 5});
  const TDMTevlora before = data;
  PrepareAxes(data, 2);
  ASSERT_EQ(XAxisLeft, 0);
  ASSERT_EQ(XAxisRight, 12);
  ASSERT_EQ(YAxisBottom, 0);
  ASSERT_EQ(YAxisTop, 6);
  MapToPixels(data, 2);
  // 62.5 rounds to 62 and 187.5 to 188 (ties to even); 416.67 to 417.
  EXPECT_EQ(PixX, (std::vector<int>{70, 132, 258, 320, 403, 487}));
  // 53.33 -> 53, 266.67 -> 267; the bottom value sits on row 385.
  EXPECT_EQ(PixC, (std::vector<int>{385, 332, 278, 225, 172, 118}));
  EXPECT_EQ(MapY(YAxisTop), 65);
  EXPECT_EQ(MapX(XAxisRight), 570);
  // The data set is left exactly as it was.
  EXPECT_EQ(data.SeriesT, before.SeriesT);
  EXPECT_EQ(data.SeriesC, before.SeriesC);
}

TEST(GraphMapToPixels, ScaledSeriesMapLikeTheirScaledValues) {
  const TDMTevlora data =
      PredictionRunoff({0, 1.5, 4.5, 6, 8, 10}, {0, 0.01, 0.02, 0.03, 0.04, 0.05});
  PrepareAxes(data, 2);
  ASSERT_EQ(YScaleFactor, 100);
  MapToPixels(data, 2);
  EXPECT_EQ(PixC, (std::vector<int>{385, 332, 278, 225, 172, 118}));
  EXPECT_DOUBLE_EQ(data.SeriesC[1], 0.01);
}

TEST(GraphMapToPixels, WaterTableAndRechargeOnTheHorizontalAxis) {
  const TDMTevlora prediction =
      MakeGraphData({.T = {0, 1.5, 4.5, 6, 8, 10}, .F = {0, 1, 2, 3, 4, 5}});
  PrepareAxes(prediction, 5);
  MapToPixels(prediction, 5);
  EXPECT_EQ(PixF, (std::vector<int>{385, 332, 278, 225, 172, 118}));

  // Kind 8: rain 0 .. 10 spans the horizontal axis 0 .. 12; PixA is the
  // horizontal position of the recharge.
  QuadA = 0;
  QuadB = 1;
  QuadC = 0;
  const TDMTevlora analysis = MakeGraphData({.T = {1, 2, 3, 4, 5, 6},
                                             .A = {0, 2, 4, 6, 8, 10},
                                             .B = {0, 1.5, 4.5, 6, 6, 6},
                                             .D = {0, 1, 2, 3, 4, 5}});
  PrepareAxes(analysis, 8);
  ComputeTrend(analysis);
  MapToPixels(analysis, 8);
  EXPECT_EQ(PixA, (std::vector<int>{70, 132, 258, 320, 320, 320}));
  EXPECT_EQ(PixD, (std::vector<int>{385, 332, 278, 225, 172, 118}));
  // Quadratic points at recharge 0, 1, ..., 10 with runoff = recharge.
  EXPECT_EQ(QuadPixX[0], 70);
  EXPECT_EQ(QuadPixX[6], 320);
  EXPECT_EQ(QuadPixY[0], 385);
  EXPECT_EQ(QuadPixY[3], 225);
  EXPECT_EQ(QuadPixY[6], 65);
}

TEST(GraphAxisTitles, VariantsFollowTheScaleFactors) {
  XScaleFactor = 1;
  YScaleFactor = 1;
  SetAxisTitles(1, false);
  EXPECT_EQ(XTitle, "Time");
  EXPECT_EQ(YTitle, "Discharge/runoff (mm/t)");
  EXPECT_EQ(Legend1, " o  observed");
  EXPECT_EQ(Legend2, "--- calculated");
  XScaleFactor = 10;
  YScaleFactor = 1000;
  SetAxisTitles(1, false);
  EXPECT_EQ(XTitle, "Time * 10");
  EXPECT_EQ(YTitle, "Discharge or runoff * 1000");
  SetAxisTitles(7, false);
  EXPECT_EQ(XTitle, "Runoff observed * 10");
  EXPECT_EQ(YTitle, "Runoff calculated * 1000");
  EXPECT_EQ(Legend1, " ---  Obs = Calc");
  SetAxisTitles(8, false);  // no variants
  EXPECT_EQ(XTitle, "Recharge calculated");
  EXPECT_EQ(YTitle, "Discharge observed");
  EXPECT_EQ(Legend3, "---  quadr. trend");
  SetAxisTitles(2, false);
  EXPECT_EQ(XTitle, "Time * 10");
  EXPECT_EQ(YTitle, "");
  SetAxisTitles(9, false);
  EXPECT_EQ(XTitle, "");
}

TEST(GraphAxisTitles, WaterTableOrReservoirStorage) {
  XScaleFactor = 1;
  YScaleFactor = 100;
  SetAxisTitles(5, true);
  EXPECT_EQ(YTitle, "Water table height (mm) * 100");
  SetAxisTitles(5, false);
  EXPECT_EQ(YTitle, " Reservoir storage (mm) * 100");
  YScaleFactor = 1;
  SetAxisTitles(5, false);
  EXPECT_EQ(YTitle, " Reservoir storage predicted (mm)");
  // No text exists for 1000: no title rather than the previous graph's.
  YScaleFactor = 1000;
  SetAxisTitles(5, true);
  EXPECT_EQ(YTitle, "");
}

}  // namespace
