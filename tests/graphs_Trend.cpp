// The discharge-recharge trend: regression, quadratic points and the trend file.
#include <gtest/gtest.h>

#include "UTevloraUtils.h"
#include "graphs_Support.h"

namespace {

TEST(GraphTrend, RegressionLineAndQuadraticPointsInTimeOrder) {
  const TTrendFileValues square{.QuadA = 1, .QuadTrendValid = true};
  // Runoff = 2 * recharge + 1, listed out of time order; rain up to 4.
  TGraphLayout layout;
  ComputeTrend(
      MakeGraphData({.T = {3, 1, 4, 2}, .A = {2, 0, 4, 1}, .B = {2, 0, 3, 1}, .D = {5, 1, 7, 3}}),
      square, layout);
  ASSERT_TRUE(layout.TrendComputed);
  EXPECT_DOUBLE_EQ(layout.TrendSlope, 2);
  EXPECT_DOUBLE_EQ(layout.TrendLine[0].X, 0);
  EXPECT_DOUBLE_EQ(layout.TrendLine[0].Y, 1);
  EXPECT_DOUBLE_EQ(layout.TrendLine[1].X, 4);  // the largest rain value
  EXPECT_DOUBLE_EQ(layout.TrendLine[1].Y, 9);
  EXPECT_DOUBLE_EQ(layout.QuadX[5], 2);
  EXPECT_DOUBLE_EQ(layout.QuadY[5], 4);
  EXPECT_DOUBLE_EQ(layout.QuadY[10], 16);

  // No spread in the recharge, or no records: no trend at all, also in a
  // layout that had one.
  ComputeTrend(MakeGraphData({.T = {1, 2}, .A = {3, 3}, .B = {2, 2}, .D = {1, 4}}), square, layout);
  EXPECT_FALSE(layout.TrendComputed);
  layout.TrendComputed = true;
  ComputeTrend(MakeGraphData({}), square, layout);
  EXPECT_FALSE(layout.TrendComputed);
}

std::string TrendFileText(const std::string& line5, const std::string& line7) {
  return CrLf({"Linear: Runoff = A * Rain + C", "A=  0.5000 C=  0.1000", "",
               "Quadratic: Runoff = A * RainSq +  B * Rain + C", line5, "", line7, "",
               "Quadratic Aq =   0.0100 Bq =   0.0200 Cq =   0.0300"});
}

TEST(GraphTrend, TrendFileBesideTheResultsFile) {
  TTemporaryDirectory directory;
  const std::string results = directory.File("basin.out");
  const std::string trend = directory.File("basin.dat");
  const std::pair<const char*, bool> flags[] = {
      {"Q= 1", true}, {"Q= 0", false}, {"Q= ", true}, {"Q= 11", false}};
  for (const auto& [line7, valid] : flags) {
    WriteFileBytes(trend, TrendFileText("A=  0.00123 B=  0.45600 C= -0.78900", line7));
    const TTrendFileValues values = ReadTrendFile(results);
    EXPECT_DOUBLE_EQ(values.QuadA, 0.00123);
    EXPECT_DOUBLE_EQ(values.QuadB, 0.456);
    EXPECT_DOUBLE_EQ(values.QuadC, -0.789);
    EXPECT_EQ(values.QuadTrendValid, valid) << line7;
  }

  // Missing, damaged or short: an I/O error.
  std::filesystem::remove(trend);
  try {
    ReadTrendFile(results);
    ADD_FAILURE() << "a missing trend file must be reported";
  } catch (const TIOError& error) {
    EXPECT_EQ(std::string(error.what()), TrendFileNotReadText(trend));
  }
  WriteFileBytes(trend, TrendFileText("A=  0.00123 B=  ******** C= -0.78900", "Q= 1"));
  EXPECT_THROW(ReadTrendFile(results), TIOError);
  WriteFileBytes(trend, CrLf({"Linear: Runoff = A * Rain + C"}));
  EXPECT_THROW(ReadTrendFile(results), TIOError);
}

}  // namespace
