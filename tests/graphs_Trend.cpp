// The discharge-recharge trend: regression, quadratic points and the trend file.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "TextFile.h"
#include "URainRun.h"
#include "UTevloraUtils.h"
#include "graphs_Support.h"

namespace {

// Runoff = 2 * recharge + 1 exactly; rain up to 4.
TDMTevlora LinearData() {
  return MakeGraphData(
      {.T = {1, 2, 3, 4}, .A = {0, 1, 2, 4}, .B = {0, 1, 2, 3}, .D = {1, 3, 5, 7}});
}

TEST(GraphComputeTrend, RegressionLineAndQuadraticPoints) {
  QuadA = 1;
  QuadB = 0;
  QuadC = 0;
  ComputeTrend(LinearData());
  ASSERT_TRUE(TrendComputed);
  EXPECT_DOUBLE_EQ(TrendSlope, 2);
  // From recharge 0 to the largest rain value.
  EXPECT_DOUBLE_EQ(TrendLine[0].X, 0);
  EXPECT_DOUBLE_EQ(TrendLine[0].Y, 1);
  EXPECT_DOUBLE_EQ(TrendLine[1].X, 4);
  EXPECT_DOUBLE_EQ(TrendLine[1].Y, 9);
  EXPECT_DOUBLE_EQ(QuadX[0], 0);
  EXPECT_DOUBLE_EQ(QuadX[5], 2);
  EXPECT_DOUBLE_EQ(QuadX[10], 4);
  EXPECT_DOUBLE_EQ(QuadY[5], 4);
  EXPECT_DOUBLE_EQ(QuadY[10], 16);
}

TEST(GraphComputeTrend, RecordOrderDoesNotMatterOnlyTime) {
  QuadA = 0.25;
  QuadB = -1;
  QuadC = 3;
  const TDMTevlora inOrder = MakeGraphData({.T = {1, 2, 3, 4, 5},
                                            .A = {0.3, 1.7, 2.9, 0.1, 4.4},
                                            .B = {0.1, 1.3, 2.2, 0.05, 3.9},
                                            .D = {0.7, 1.1, 2.6, 0.9, 3.3}});
  ComputeTrend(inOrder);
  const double slope = TrendSlope;
  const auto line = TrendLine;
  const auto quadY = QuadY;
  // The same records listed against time.
  const TDMTevlora shuffled = MakeGraphData({.T = {4, 2, 5, 1, 3},
                                             .A = {0.1, 1.7, 4.4, 0.3, 2.9},
                                             .B = {0.05, 1.3, 3.9, 0.1, 2.2},
                                             .D = {0.9, 1.1, 3.3, 0.7, 2.6}});
  ComputeTrend(shuffled);
  EXPECT_EQ(TrendSlope, slope);
  EXPECT_EQ(TrendLine[1].Y, line[1].Y);
  EXPECT_EQ(QuadY, quadY);
  EXPECT_DOUBLE_EQ(TrendLine[1].X, 4.4);
}

TEST(GraphComputeTrend, NoTrendWithoutSpreadInRecharge) {
  ComputeTrend(LinearData());
  ASSERT_TRUE(TrendComputed);
  TDMTevlora flat = LinearData();
  flat.SeriesB = {2, 2, 2, 2};
  ComputeTrend(flat);
  EXPECT_FALSE(TrendComputed);
  TDMTevlora empty = LinearData();
  empty.NrOfData = 0;
  ComputeTrend(empty);
  EXPECT_FALSE(TrendComputed);
}

std::string TrendFileText(const std::string& line5, const std::string& line7) {
  return CrLf({"Linear: Runoff = A * Rain + C", "A=  0.5000 C=  0.1000", "",
               "Quadratic: Runoff = A * RainSq +  B * Rain + C", line5, "", line7, "",
               "Quadratic Aq =   0.0100 Bq =   0.0200 Cq =   0.0300"});
}

const std::string kLine5 = "A=  0.00123 B=  0.45600 C= -0.78900";

TEST(GraphTrendFile, ReadsTheQuadraticAndItsFlag) {
  TTemporaryDirectory directory;
  WriteFileBytes(directory.File("basin.dat"), TrendFileText(kLine5, "Q= 1"));
  QuadTrendValid = false;
  ReadTrendFile(directory.File("basin.out"));
  EXPECT_DOUBLE_EQ(QuadA, 0.00123);
  EXPECT_DOUBLE_EQ(QuadB, 0.456);
  EXPECT_DOUBLE_EQ(QuadC, -0.789);
  EXPECT_TRUE(QuadTrendValid);

  WriteFileBytes(directory.File("basin.dat"), TrendFileText(kLine5, "Q= 0"));
  ReadTrendFile(directory.File("basin.out"));
  EXPECT_FALSE(QuadTrendValid);

  // An empty word counts as computed; any other word does not.
  WriteFileBytes(directory.File("basin.dat"), TrendFileText(kLine5, "Q= "));
  ReadTrendFile(directory.File("basin.out"));
  EXPECT_TRUE(QuadTrendValid);
  WriteFileBytes(directory.File("basin.dat"), TrendFileText(kLine5, "Q= 11"));
  ReadTrendFile(directory.File("basin.out"));
  EXPECT_FALSE(QuadTrendValid);
}

TEST(GraphTrendFile, MissingOrDamagedFileIsAnIOErrorAndChangesNothing) {
  TTemporaryDirectory directory;
  QuadA = 7;
  QuadB = 8;
  QuadC = 9;
  QuadTrendValid = true;
  try {
    ReadTrendFile(directory.File("basin.out"));
    FAIL() << "a missing trend file must be reported";
  } catch (const TIOError& error) {
    EXPECT_EQ(std::string(error.what()), TrendFileNotReadText(directory.File("basin.dat")));
  }
  WriteFileBytes(directory.File("basin.dat"),
                 TrendFileText("A=  0.00123 B=  ******** C= -0.78900", "Q= 0"));
  EXPECT_THROW(ReadTrendFile(directory.File("basin.out")), TIOError);
  WriteFileBytes(directory.File("basin.dat"), CrLf({"Linear: Runoff = A * Rain + C"}));
  EXPECT_THROW(ReadTrendFile(directory.File("basin.out")), TIOError);
  EXPECT_EQ(QuadA, 7);
  EXPECT_EQ(QuadB, 8);
  EXPECT_EQ(QuadC, 9);
  EXPECT_TRUE(QuadTrendValid);
}

}  // namespace
