// The drainage calculator's arithmetic and checks, and `tevlora-batch drain`.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "TestSupport.h"
#include "UAlfaCalculation.h"

namespace {

TDrainageInputs Inputs(double ka, double kb, double d, double u, double p, double l) {
  TDrainageInputs inputs;
  inputs.Ka = ka;
  inputs.Kb = kb;
  inputs.D = d;
  inputs.U = u;
  inputs.P = p;
  inputs.L = l;
  return inputs;
}

TEST(AlfaCalculation, LogarithmicBranchWorkedExample) {
  const TAlfaResult r = CalculateAlpha(Inputs(1, 1, 5, 0.5, 5, 50));
  ASSERT_TRUE(r.Valid);
  EXPECT_NEAR(r.X, 0.6284, 1e-12);
  EXPECT_NEAR(r.EquivDepth, 3.15204, 5e-6);
  EXPECT_NEAR(r.B, 0.032, 1e-15);
  EXPECT_NEAR(r.F, 0.20173, 5e-6);
  EXPECT_EQ(FormatAlfaResult(r.B), " 0.03200");
  EXPECT_EQ(FormatAlfaResult(r.F), " 0.20173");
  EXPECT_EQ(FormatPorosityText(5), "  5.0");
}

TEST(AlfaCalculation, SeriesBranchWorkedExample) {
  const TAlfaResult r = CalculateAlpha(Inputs(0.5, 2, 20, 0.6, 10, 40));
  ASSERT_TRUE(r.Valid);
  EXPECT_NEAR(r.X, 3.142, 1e-12);
  EXPECT_NEAR(r.EquivDepth, 3.73409, 5e-6);
  EXPECT_EQ(FormatAlfaResult(r.B), " 0.01250");
  EXPECT_EQ(FormatAlfaResult(r.F), " 0.37341");
}

// The values of the example parameter file beside the drainage prediction.
TEST(AlfaCalculation, ExampleParameterFileValues) {
  const TAlfaResult r = CalculateAlpha(Inputs(1.2, 0.8, 4, 0.6, 6, 40));
  ASSERT_TRUE(r.Valid);
  EXPECT_NEAR(r.X, 0.6284, 1e-12);
  EXPECT_NEAR(r.EquivDepth, 2.6972, 5e-5);
  EXPECT_NEAR(r.F, 0.17981, 5e-6);
  EXPECT_EQ(FormatAlfaResult(r.B), " 0.05000");
  EXPECT_EQ(FormatAlfaResult(r.F), " 0.17981");
  // The hourly prediction beside it uses the same B and F / 24.
  const TAlfaResult hourly = InTimeUnit(r, TTimeUnit::Hours);
  EXPECT_EQ(hourly.B, r.B);
  EXPECT_NEAR(hourly.F, 0.0074921, 5e-8);
}

TEST(AlfaCalculation, SuggestedTimeUnit) {
  const std::vector<double> ones = {1, 2, 3}, days = {24, 48, 96}, quarters = {0.25, 0.5};
  const struct {
    const char *title2, *title1;
    std::vector<double> times;
    TTimeUnit unit;
  } cases[] = {
      {"Rain in mm/hour; time in hours (t=1: end of first hour)", "", ones, TTimeUnit::Hours},
      {"Rain in mm/day; time in days", "hourly", ones, TTimeUnit::Days},
      {"Runoff in mm/h", "", ones, TTimeUnit::Hours},
      {"", "Hupsel brook, hourly, 2012", ones, TTimeUnit::Hours},
      {"hours and days", "daily", ones, TTimeUnit::Days},
      {"", "", days, TTimeUnit::Hours},  // daily records counted in hours
      {"", "", ones, TTimeUnit::Days},
      {"", "", quarters, TTimeUnit::Days},
      {"", "", {}, TTimeUnit::Days},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SuggestedTimeUnit(c.title2, c.title1, c.times), c.unit)
        << c.title2 << " / " << c.title1;
  }
}

TEST(AlfaCalculation, DepthFunctionBranches) {
  // The two forms differ slightly at x = 1, which tells them apart: the
  // closed form gives ln(0.5 / 3.142) + 3.142^2 / 4 = 0.63003, the first
  // three terms of the series 0.62942.
  EXPECT_NEAR(DepthFunction(1.0), 0.630034, 1e-6);
  EXPECT_NEAR(DepthFunction(std::nextafter(1.0, 2.0)), 0.629420, 1e-6);
  // Far out the series vanishes like 4 exp(-2x).
  EXPECT_NEAR(DepthFunction(10) / (4 * std::exp(-20.0)), 1.0, 1e-6);
  // x exactly 1 from the inputs (D / L = 1 / 6.284) takes the closed form.
  const TAlfaResult r = CalculateAlpha(Inputs(1, 1, 1, 0.5, 5, 6.284));
  ASSERT_TRUE(r.Valid);
  EXPECT_EQ(r.X, 1.0);
  EXPECT_NEAR(r.DepthFunction, 0.630034, 1e-6);
}

TEST(AlfaCalculation, CalculateBounds) {
  const auto valid = [](double ka, double kb, double p) {
    return CheckInputs(Inputs(ka, kb, 5, 0.5, p, 50)) &&
           CalculateAlpha(Inputs(ka, kb, 5, 0.5, p, 50)).Valid;
  };
  // Porosity strictly between 1 and 30 percent.
  EXPECT_FALSE(valid(1, 1, 1));
  EXPECT_FALSE(valid(1, 1, 30));
  EXPECT_TRUE(valid(1, 1, 1.5));
  EXPECT_TRUE(valid(1, 1, 29.9));
  // Ka must be positive, Kb may be 0 (no flow below drain level: F = 0).
  EXPECT_FALSE(valid(0, 1, 5));
  const TAlfaResult noDeepFlow = CalculateAlpha(Inputs(1, 0, 5, 0.5, 5, 50));
  ASSERT_TRUE(noDeepFlow.Valid);
  EXPECT_EQ(noDeepFlow.F, 0.0);
  EXPECT_EQ(FormatAlfaResult(noDeepFlow.F), " 0.00000");
  EXPECT_FALSE(CheckInputs(Inputs(1, 1, 0, 0.5, 5, 50)));
  EXPECT_FALSE(CheckInputs(Inputs(1, 1, 5, 0, 5, 50)));
  EXPECT_FALSE(CheckInputs(Inputs(1, 1, 5, 0.5, 5, 0)));
}

TEST(AlfaCalculation, NoEquivalentDepthIsRejected) {
  // A wet perimeter far wider than the spacing makes ln(L / U) + Fx negative:
  // a negative equivalent depth must not come out as a B and F.
  const TAlfaResult r = CalculateAlpha(Inputs(1, 1, 5, 100, 5, 1));
  EXPECT_FALSE(r.Valid);
  // Within physical sizes the same soil calculates.
  EXPECT_TRUE(CalculateAlpha(Inputs(1, 1, 5, 0.5, 5, 10)).Valid);
}

TEST(AlfaCalculation, FieldChecks) {
  namespace T = AlfaTexts;
  struct TCase {
    TDrainField field;
    double value;
    const char* message;  // nullptr: accepted
    double stored;
  };
  const TCase cases[] = {
      {TDrainField::Ka, 0, nullptr, 0},
      {TDrainField::Ka, -1, T::kKaMessage, 0},
      {TDrainField::Kb, 0, nullptr, 0},
      {TDrainField::Kb, -0.5, T::kKbMessage, 0},
      {TDrainField::D, 0, T::kDMessage, 0},
      {TDrainField::D, 3, nullptr, 3},
      {TDrainField::U, -2, T::kUMessage, 0},
      {TDrainField::U, 0.4, nullptr, 0.4},
      {TDrainField::P, 0, T::kPZeroMessage, 0},
      {TDrainField::P, -3, T::kPZeroMessage, -3},
      {TDrainField::P, 0.5, T::kPLowMessage, 0.5},
      {TDrainField::P, 1, nullptr, 1},
      {TDrainField::P, 30, nullptr, 30},
      {TDrainField::P, 30.5, T::kPHighMessage, 30.5},
      {TDrainField::L, 0, T::kLMessage, 0},
      {TDrainField::L, -7, T::kLMessage, -7},
      {TDrainField::L, 25, nullptr, 25},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "field " << static_cast<int>(c.field) << " value " << c.value);
    const TFieldCheck check = CheckDrainageField(c.field, c.value);
    EXPECT_EQ(check.Accepted, c.message == nullptr);
    EXPECT_EQ(check.Message, c.message ? c.message : "");
    EXPECT_EQ(check.Stored, c.stored);
  }
}

// ---------------------------------------------------------------------------
// tevlora-batch drain

struct TBatchResult {
  int status = -1;
  std::string out;
  std::string err;
};

TBatchResult RunDrain(const std::string& arguments) {
  TTemporaryDirectory dir;
  const std::string err = dir.File("stderr.txt");
  const std::string command =
      std::string("'") + BATCH_TOOL + "' drain " + arguments + " 2>'" + err + "'";
  TBatchResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) result.out += buffer;
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = ReadFileBytes(err);
  return result;
}

TEST(BatchDrain, PrintsResultsOfTheExampleParameters) {
  const TBatchResult r = RunDrain("1.2 0.8 4 0.6 6 40");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "B  =  0.05000\n"
            "F  =  0.17981\n"
            "x  =  0.62840\n"
            "Fx =  1.62491\n"
            "d  =  2.69717\n");
  EXPECT_EQ(r.err, "");
  // Typed numbers may use a comma.
  EXPECT_EQ(RunDrain("1,2 0,8 4 0,6 6 40").out, r.out);
}

TEST(BatchDrain, FailedChecksAndBadUsage) {
  const TBatchResult porosity = RunDrain("1 1 5 0.5 40 50");
  EXPECT_EQ(porosity.status, 1);
  EXPECT_EQ(porosity.out, "");
  EXPECT_EQ(porosity.err, "P should be less than 30%\nOne or more data values are incorrect\n");
  // Ka = 0 passes its field check but not Calculate.
  const TBatchResult ka = RunDrain("0 1 5 0.5 5 50");
  EXPECT_EQ(ka.status, 1);
  EXPECT_EQ(ka.err, "One or more data values are incorrect\n");
  EXPECT_EQ(RunDrain("1 1 5 0.5 5").status, 2);
  EXPECT_EQ(RunDrain("1 1 5 0.5 5 50 7").status, 2);
  const TBatchResult text = RunDrain("1 one 5 0.5 5 50");
  EXPECT_EQ(text.status, 2);
  EXPECT_NE(text.err.find("\"one\""), std::string::npos);
}

}  // namespace
