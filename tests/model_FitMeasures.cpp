// The fit measures against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "FitMeasures.h"
#include "TestSupport.h"
#include "UDMTevlora.h"
#include "URainRun.h"
#include "USession.h"

namespace {

// Record 1 is the start of the routing and is not fitted (except by the
// program's R square, which has always counted it).
const std::vector<double> kMeasured = {9, 1, 2, 3, 4};

TEST(FitMeasures, SmallSetWorkedOutByHand) {
  // Records 2 .. 5: residuals 1, 0, 0, 1; mean measured 2.5, squared
  // deviations 5; mean calculated 3, squared deviations 6, co-deviation 5.
  const TFitMeasures fit = ComputeFitMeasures(kMeasured, {9, 2, 2, 3, 5});
  EXPECT_EQ(fit.Records, 5);
  EXPECT_DOUBLE_EQ(fit.NSE, 1 - 2.0 / 5);
  const double r = 5 / std::sqrt(30.0);
  EXPECT_DOUBLE_EQ(fit.KGE,
                   1 - std::sqrt((r - 1) * (r - 1) + std::pow(std::sqrt(1.2) - 1, 2) + 0.2 * 0.2));
  EXPECT_NEAR(fit.KGE, 0.76188, 1e-5);
  EXPECT_DOUBLE_EQ(fit.PBIAS, 20);
  EXPECT_DOUBLE_EQ(fit.RMSE, std::sqrt(0.5));
  EXPECT_DOUBLE_EQ(fit.SD, std::sqrt(0.5));
  EXPECT_DOUBLE_EQ(fit.PeakError, 25);
  // Mean of all five 3.8, squared deviations 38.8.
  EXPECT_DOUBLE_EQ(fit.RSquare, 1 - 0.5 * 2 / 38.8);
}

TEST(FitMeasures, PerfectAndConstantSimulations) {
  const TFitMeasures perfect = ComputeFitMeasures(kMeasured, kMeasured);
  EXPECT_EQ(perfect.NSE, 1);
  EXPECT_EQ(perfect.KGE, 1);
  EXPECT_EQ(perfect.PBIAS, 0);
  EXPECT_EQ(perfect.RMSE, 0);
  EXPECT_EQ(perfect.PeakError, 0);
  EXPECT_EQ(perfect.RSquare, 0.99);  // the program's own never reaches 1

  // The mean of the measurements as simulation: NSE 0, and KGE 1 - sqrt(2)
  // (no correlation, no variability, no bias).
  const TFitMeasures mean = ComputeFitMeasures(kMeasured, {9, 2.5, 2.5, 2.5, 2.5});
  EXPECT_DOUBLE_EQ(mean.NSE, 0);
  EXPECT_DOUBLE_EQ(mean.KGE, 1 - std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(mean.PBIAS, 0);
  EXPECT_DOUBLE_EQ(mean.PeakError, -37.5);
  // Any other constant adds its bias.
  const TFitMeasures low = ComputeFitMeasures(kMeasured, {9, 1.25, 1.25, 1.25, 1.25});
  EXPECT_DOUBLE_EQ(low.KGE, 1 - std::sqrt(2.25));
  EXPECT_DOUBLE_EQ(low.PBIAS, -50);
}

TEST(FitMeasures, UndefinedMeasuresAreLeftEmpty) {
  struct TCase {
    const char* what;
    std::vector<double> measured, calculated;
  } cases[] = {
      {"one record", {3}, {3}},
      {"no variation in the fitted records", {1, 2, 2, 2}, {1, 2, 3, 1}},
  };
  for (const auto& c : cases) {
    const TFitMeasures fit = ComputeFitMeasures(c.measured, c.calculated);
    EXPECT_TRUE(std::isnan(fit.NSE)) << c.what;
    EXPECT_TRUE(std::isnan(fit.KGE)) << c.what;
    EXPECT_EQ(FitMeasureText(fit.NSE, 3), "") << c.what;
  }
  EXPECT_TRUE(std::isnan(ComputeFitMeasures({1, 0, 0}, {1, 1, 2}).PBIAS));
  EXPECT_EQ(FitMeasureText(-0.12345, 3), "-0.123");
  EXPECT_EQ(FitMeasureText(12.5, 1), "12.5");
}

TEST(FitMeasures, RunAndResultsFileAgreeWithTheResultsFile) {
  TTemporaryDirectory directory;
  const std::string name = "spotpy_d_spring2013";
  WriteFileBytes(directory.File(name + ".inp"), ReadFileBytes(ExampleDataFile(name + ".inp")));
  TRecordingDialogs dialogs;
  TSession session;
  TDMTevlora& data = session.Data;
  data.Dialogs = &dialogs;
  data.FileName = directory.File(name + ".inp");
  ASSERT_TRUE(data.ReadInputFile());
  RunAnalysis(data, session.Run);
  const TFitMeasures run = FitMeasuresOfRun(session.Run);
  const int count = session.Run.RunCount;
  EXPECT_EQ(run.Records, count);
  // The program's own, to the bit.
  EXPECT_EQ(run.SD, std::sqrt(session.Run.SumSq / (count - 1)));
  EXPECT_EQ(run.RSquare, data.Values.RSquare);
  // From the file's table of two decimals: close to the values in memory.
  const TFitMeasures file = FitMeasuresOfResultsFile(directory.File(name + ".out"));
  EXPECT_EQ(file.Records, run.Records);
  EXPECT_NEAR(file.NSE, run.NSE, 0.01);
  EXPECT_NEAR(file.KGE, run.KGE, 0.01);
  EXPECT_NEAR(file.SD, run.SD, 0.01);
  // A file without an analysis table gives no measures.
  EXPECT_EQ(FitMeasuresOfResultsFile(directory.File(name + ".inp")).Records, 0);
  EXPECT_EQ(FitMeasuresOfResultsFile(directory.File("none.out")).Records, 0);
}

}  // namespace
