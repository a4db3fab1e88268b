// The analysis run: preparation, routing, checks, trends and its files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "AlphaSearch.h"
#include "SearchData.h"
#include "TestSupport.h"
#include "TextFile.h"
#include "URainRun.h"
#include "URunModel.h"
#include "USession.h"

namespace {

struct TRecord {
  double time, rain, escape, runoff;
};

class RainRun : public ::testing::Test {
 protected:
  void SetUp() override {
    data.Dialogs = &dialogs;
    data.Analysis = true;
    data.RunKind = " Ana";
    run.BestA = run.BestC = 0;
    run.StorageOk = false;
  }

  // Writes an analysis input file of the records and points the data set at it.
  void WriteInput(const std::vector<TRecord>& records, double maxStorage, double initStorage,
                  const std::string& name = "basin.inp") {
    data.FileName = dir.File(name);
    data.Title1 = "Basin";
    data.Title2 = "test";
    data.MaxStorage = maxStorage;
    data.InitStorage = initStorage;
    data.MaxEscape = 1;
    data.NrOfData = static_cast<int>(records.size());
    data.Time.clear();
    data.Rain.clear();
    data.EscRate.clear();
    data.Runoff.clear();
    data.Removed.assign(records.size(), false);
    for (const auto& record : records) {
      data.Time.push_back(record.time);
      data.Rain.push_back(record.rain);
      data.EscRate.push_back(record.escape);
      data.Runoff.push_back(record.runoff);
    }
    ASSERT_TRUE(data.WriteInputFile());
  }

  // The check pass alone.
  void CheckPass() {
    run.RegressionOff = true;
    ReadAndCheck(data, run);
  }

  TTemporaryDirectory dir;
  TRecordingDialogs dialogs;
  TSession session;
  TDMTevlora& data = session.Data;
  TAnalysisRun& run = session.Run;
};

TEST_F(RainRun, DeadStorageRouting) {
  // Smax 10, S0 4: free room 6 at the start.
  WriteInput({{1, 6, 0, 1}, {2, 3, 2, 2}, {3, 0, 0.5, 3}, {4, 12, 1, 4}, {5, 2, 1, 5}}, 10, 4);
  CheckPass();
  ASSERT_TRUE(run.VariationOk);
  // Record 1: the rain fills the free room exactly: no recharge, full store.
  EXPECT_EQ(run.Recharge[1], 0);
  // Record 2: escape 2 * 1 * 10 / 10 = 2 from the full store: room 2,
  // recharge 3 - 2.
  EXPECT_EQ(run.Recharge[2], 1);
  // Record 3: after a full store the room is just the escape 0.5 > rain 0.
  EXPECT_EQ(run.Recharge[3], 0);
  // Record 4: store 9.5, escape 1 * 9.5 / 10 = 0.95, room 0.5 + 0.95.
  EXPECT_DOUBLE_EQ(run.Recharge[4], 12 - 1.45);
  EXPECT_EQ(run.Recharge[5], 2 - 1);
}

TEST_F(RainRun, InitialStorageDefaultsAndExcess) {
  WriteInput({{1, 0, 0, 1}, {2, 10, 0, 2}, {3, 0, 0, 3}}, 50, 0);
  CheckPass();
  EXPECT_EQ(run.RunInitStorage, 5);  // 0.1 * Smax
  EXPECT_EQ(run.Recharge[2], 0);     // room 45 takes the rain

  // An initial content above the maximum is released in records 1 and 2.
  WriteInput({{1, 2, 1, 1}, {2, 3, 1, 2}, {3, 0, 0, 3}}, 10, 14);
  CheckPass();
  EXPECT_EQ(run.Recharge[1], 2 + 4);
  EXPECT_EQ(run.Recharge[2], 3 + 4);  // no escape taken off
}

TEST_F(RainRun, EmptyStoreHasNoEscapeAndNegativeEscapeIsAddedWater) {
  WriteInput({{1, 0, 5, 1}, {2, 0, 5, 2}, {3, 3, -2, 3}}, 10, 0.000001);
  CheckPass();
  // S0 is almost 0: record 2's escape is 5 * 1e-7, the store stays nearly empty.
  EXPECT_NEAR(run.RunRain[3], 5, 1e-12);
  EXPECT_EQ(run.AddedWater[3], 2);
  EXPECT_EQ(run.RunEscRate[3], 0);
  // The data set keeps record n's escape rate at its own place n - 1.
  EXPECT_EQ(data.EscRate[2], 0);
  EXPECT_EQ(data.EscRate[0], 5);
}

TEST_F(RainRun, MainReservoirRouting) {
  WriteInput({{1, 0, 0, 0}, {2, 0, 0, 2}, {2, 50, 0, 3}, {4, 0, 0, 1}}, 10, 10);
  CheckPass();
  EXPECT_EQ(run.MeasRunoff[1], 0.001);  // floored
  run.CalcRunoff[1] = 1;
  RouteMainReservoir(run, 0.5, -1);  // alpha = 0.5 * 1 - 1 < 0: clamped to 0
  EXPECT_EQ(run.Alpha[2], 0);
  EXPECT_EQ(run.CalcRunoff[2], 1);
  EXPECT_EQ(run.CalcRunoff[3], 1);  // a step of 0 time keeps the runoff
  RouteMainReservoir(run, 0.1, 0.2);
  const double f2 = std::exp(-(0.1 * 1 + 0.2) * 0);
  EXPECT_EQ(f2, 1);
  const double alpha4 = 0.1 * run.CalcRunoff[3] + 0.2;
  EXPECT_EQ(run.Alpha[4], alpha4);
  EXPECT_DOUBLE_EQ(run.CalcRunoff[4], run.CalcRunoff[3] * std::exp(-alpha4 * 2) +
                                          run.Recharge[4] * (1 - std::exp(-alpha4 * 2)));
}

TEST_F(RainRun, ChecksStopTheRunWithTheirMessages) {
  const auto runWith = [&](const std::vector<TRecord>& records, double maxStorage) {
    dialogs.messages.clear();
    WriteInput(records, maxStorage, 1);
    std::filesystem::remove(ChangeFileExt(data.FileName, ".out"));
    RunAnalysis(data, run);
    EXPECT_FALSE(std::filesystem::exists(ChangeFileExt(data.FileName, ".out")));
    return dialogs.messages;
  };
  EXPECT_EQ(
      runWith({{1, 0, 0, 2}}, 10),
      (std::vector<std::string>{
          "There is no variation in runoff values. Rainfall-Runoff analysis cannot be made"}));
  EXPECT_TRUE(data.RunAborted);
  EXPECT_FALSE(run.VariationOk);
  EXPECT_EQ(runWith({{1, 0, 0, 2}, {1.0005, 0, 0, 3}}, 10),
            (std::vector<std::string>{
                "There is no variation in time Rainfall-Runoff analysis cannot be made"}));
  EXPECT_EQ(runWith({{1, 0, 0, 2}, {3, 0, 0, 3}, {2, 0, 0, 1}}, 10),
            (std::vector<std::string>{
                "Incorrect time sequence encountered. Please correct the input file"}));
  EXPECT_TRUE(run.TimeSequenceError);
  EXPECT_EQ(runWith({{1, 0, 0, 2}, {2, 0, 0, 3}}, 0),
            (std::vector<std::string>{"The Maximum Storage must be > 0"}));
  EXPECT_FALSE(run.StorageOk);
}

TEST_F(RainRun, VariationUsesTheTrueExtremes) {
  // The last rise (4 -> 4.0005) and the last fall (5 -> 4) differ by less
  // than 0.001, but the runoff clearly varies.
  WriteInput({{1, 0, 0, 1}, {2, 0, 0, 5}, {3, 0, 0, 4}, {4, 0, 0, 4.0005}}, 10, 5);
  CheckPass();
  EXPECT_TRUE(run.VariationOk);
  EXPECT_TRUE(dialogs.messages.empty());

  data.FileName = TestDataFile("hupsel_h_dec2011_jan2012_flatend.inp");
  CheckPass();
  EXPECT_TRUE(run.VariationOk);
  EXPECT_EQ(run.RunCount, 1500);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(RainRun, UnitLabels) {
  // The writer's dashed line gives "--"; a hand-made line gives its words.
  WriteInput({{1, 0, 0, 1}, {2, 1, 0, 2}}, 10, 5);
  CheckPass();
  EXPECT_EQ(run.TimeUnit, "--");
  EXPECT_EQ(run.DepthUnit, "--");
  std::string text = ReadFileBytes(data.FileName);
  const std::string dashed = " " + std::string(50, '-') + "\r\n    1";
  text.replace(text.find(dashed), dashed.size() - 5,
               "    day               mm.d    \r\n -----\r\n");
  WriteFileBytes(data.FileName, text);
  CheckPass();
  EXPECT_EQ(run.TimeUnit, "day");
  EXPECT_EQ(run.DepthUnit, "mmd");
  EXPECT_EQ(run.RunCount, 2);
}

TEST_F(RainRun, ProgressLinesFollowTheNumberOfData) {
  WriteInput({{1, 0, 0, 1}, {2, 5, 0, 2}, {3, 0, 0, 1.5}, {4, 0, 0, 1.2}}, 1, 1);
  run.RegressionOff = false;
  ReadAndCheck(data, run);
  const auto linesFor = [&](int records) {
    dialogs.progress.clear();
    data.NrOfData = records;
    OptimiseAlpha(data, run);
    return dialogs.progress;
  };
  const auto for150 = linesFor(150);
  ASSERT_EQ(for150.size(), 9u);
  EXPECT_EQ(for150[0], " Please wait .....");
  EXPECT_EQ(for150[1], " Progress 20% ....");
  EXPECT_EQ(for150[8], " Progress 90% ....");
  const auto for300 = linesFor(300);
  ASSERT_EQ(for300.size(), 18u);
  EXPECT_EQ(for300[1], " Progress 15% ....");
  EXPECT_EQ(for300[17], " Progress 95% ....");
  const auto for600 = linesFor(600);
  ASSERT_EQ(for600.size(), 36u);
  EXPECT_EQ(for600[1], " Progress 12.5% ....");
  EXPECT_EQ(for600[35], " Progress 97.5% ....");
}

TEST_F(RainRun, TrendFileLayout) {
  // Recharge 0, 1, 2, 3 against runoff 1, 3, 5, 7.5.
  WriteInput({{1, 5, 0, 1}, {2, 1, 0, 3}, {3, 2, 0, 5}, {4, 3, 0, 7.5}}, 5, 0.5);
  run.RegressionOff = false;
  ReadAndCheck(data, run);
  ASSERT_EQ(run.Recharge[1], 0.5);  // 5 - (5 - 0.5) = 0.5
  // Worked by hand for x = 0.5, 1, 2, 3 and y = 1, 3, 5, 7.5:
  // Sx = 6.5, Sy = 16.5, Sxx = 14.25, Sxy = 36 -> LinA = 9.1875 / 3.6875;
  // Sxxx = 36.125, Sxxy = 90.75, Sxxxx = 98.0625 -> den = 6.21875,
  // QuadA = -1.265625 / den, QuadB = 19.9453125 / den.
  EXPECT_NEAR(run.LinA, 2.4915254237, 1e-9);
  EXPECT_NEAR(run.LinC, 0.0762711864, 1e-9);
  EXPECT_NEAR(run.QuadA, -0.2035175879, 1e-9);
  EXPECT_NEAR(run.QuadB, 3.2072864322, 1e-9);
  EXPECT_NEAR(run.QuadC, -0.3618090452, 1e-9);
  OptimiseAlpha(data, run);
  ASSERT_TRUE(WriteAnalysisResults(data, run));
  const std::string trend = ReadFileBytes(ChangeFileExt(data.FileName, ".dat"));
  const auto lines = [&] {
    std::vector<std::string> result;
    TTextReader in(trend);
    while (!in.Eof()) result.push_back(in.ReadLine());
    return result;
  }();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "Linear: Runoff = A * Rain + C");
  EXPECT_EQ(lines[1], "A=  2.4915 C=  0.0763");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(lines[3], "Quadratic: Runoff = A * RainSq +  B * Rain + C");
  EXPECT_EQ(lines[4], "A= -0.20352 B=  3.20729 C= -0.36181");
  EXPECT_EQ(lines[6], "Q= 1");
  EXPECT_EQ(lines[8].substr(0, 15), "Quadratic Aq = ");
  EXPECT_EQ(trend.substr(trend.size() - 2), "\r\n");
}

TEST_F(RainRun, QuadraticTrendWarningOnTheFullPassOnly) {
  // Runoff rising and falling again over the rain range: the vertex of the
  // parabola (rain 2) lies in the middle of the range 0 .. 4.
  WriteInput({{1, 0, 0, 6}, {2, 1, 0, 9}, {3, 2, 0, 10}, {4, 3, 0, 9}, {5, 4, 0, 6}}, 1, 1);
  RunAnalysis(data, run);
  EXPECT_EQ(dialogs.messages,
            (std::vector<std::string>{
                "The quadratic trend of the relation between rainfall and runoff data shows an "
                "inconsistency, see the. output graphics. The model may not fit well."}));
  EXPECT_TRUE(std::filesystem::exists(dir.File("basin.out")));
}

TEST_F(RainRun, NoRechargeKeepsThePreviousTrends) {
  run.LinA = 7;
  run.QuadA = 3;
  WriteInput({{1, 0, 0, 1}, {2, 0, 0, 2}, {3, 0, 0, 3}}, 100, 1);
  run.RegressionOff = false;
  ReadAndCheck(data, run);
  EXPECT_FALSE(run.QuadTrendValid);
  EXPECT_EQ(run.LinA, 7);
  EXPECT_EQ(run.QuadA, 3);
  OptimiseAlpha(data, run);
  ASSERT_TRUE(WriteAnalysisResults(data, run));
  const std::string trend = ReadFileBytes(ChangeFileExt(data.FileName, ".dat"));
  EXPECT_NE(trend.find("\r\nQ= 0\r\n"), std::string::npos);
}

// Only a quadratic this run computed is marked valid in its trend file: with
// two records, or a recharge without spread (whose sums leave only rounding
// noise), the coefficients are those of an earlier run, or zeros.
TEST_F(RainRun, NoQuadraticOfThisRunWritesQ0) {
  std::vector<TRecord> twoRecords = {{1, 2, 0, 1}, {2, 3, 0, 2}};
  std::vector<TRecord> constantRecharge;
  const double runoff[] = {0.5, 0.6, 0.7, 0.8, 0.7, 0.6, 0.7};
  for (int n = 0; n < 7; ++n) constantRecharge.push_back({n + 1.0, 0.1, 0, runoff[n]});
  for (const std::vector<TRecord>* records : {&twoRecords, &constantRecharge}) {
    SCOPED_TRACE(records->size());
    run.LinA = 7;
    run.QuadA = 3;
    run.QuadTrendValid = true;
    WriteInput(*records, 1, 1);
    RunAnalysis(data, run);
    const std::string trend = ReadFileBytes(ChangeFileExt(data.FileName, ".dat"));
    EXPECT_NE(trend.find("\r\nQ= 0\r\n"), std::string::npos) << trend;
    if (records == &constantRecharge) {
      EXPECT_EQ(run.LinA, 7);  // no slope from the noise
    }
    // The trend file is written first: a results file never older than it.
    EXPECT_GE(std::filesystem::last_write_time(dir.File("basin.out")),
              std::filesystem::last_write_time(dir.File("basin.dat")));
  }
}

TEST_F(RainRun, ResultsFileLayout) {
  // Set a reconstruction by hand and write it.
  data.FileName = dir.File("basin.txt");
  data.Title1 = "Title one";
  data.Title2 = "Title two";
  run.Resize(3);
  run.RunCount = 3;
  run.RunMaxStorage = 40;
  run.RunInitStorage = 4;
  run.RunMaxEscape = 0.13;
  run.TimeUnit = "--";
  run.DepthUnit = "--";
  const int serials[] = {0, 7, 42, 420};
  for (int n = 1; n <= 3; ++n) {
    run.RunSerial[n] = serials[n];
    run.RunSerialText[n] = std::to_string(serials[n]);
    run.RunTime[n] = n;
    run.RunRain[n] = 2.5 * n;
    run.Recharge[n] = n - 1;
    run.MeasRunoff[n] = 0.5 * n;
    run.Alpha[n] = 0.25 * n;
    run.CalcRunoff[n] = 0.5 * n + 0.01;
  }
  run.BestA = 0.0995;
  run.BestC = -0.5;
  run.SumSq = 0.02;
  data.Values.RSquare = 0.875;
  WriteAnalysisResults(data, run);
  EXPECT_EQ(data.FileName, dir.File("basin.inp"));
  EXPECT_EQ(data.Values.AlphaA, 0.0995);
  EXPECT_EQ(data.Values.AlphaC, -0.5);
  const std::string dashes(64, '-');
  EXPECT_EQ(ReadFileBytes(dir.File("basin.out")),
            CrLf({"THE RESULTS OF TevloraT PROGRAM",
                  "",
                  "Title one",
                  "Title two",
                  "Name of input file used: " + dir.File("basin.inp"),
                  "",
                  "Maximum dead storage:   40.00 mm",
                  "Initial dead storage:    4.00 mm",
                  "Max. escape/time unit:   0.13 --",
                  "Equation: Q(n)=Q(n-1)*F+R(n)*(1-F) with Q=runoff, R=Rechargen=serial nr.",
                  "where F=exp[-Alpha(n)*{T(n)-T(n-1)}], T=time",
                  "OPTIMIZATION: alpha = A * runoff + C",
                  "A = 0.0995  C = -0.5000",
                  "",
                  "RECONSTRUCTION:",
                  dashes,
                  "Serial    Time      Rain    Recharge   Runoff    Alpha    Runoff",
                  " No.                         calc.     meas.     calc.    calc. ",
                  "          --        --        --        --                  --",
                  dashes,
                  " 7        1.00      2.50      0.00      0.50     0.000      0.51",
                  " 42       2.00      5.00      1.00      1.00     0.500      1.01",
                  " 420      3.00      7.50      2.00      1.50     0.750      1.51",
                  dashes,
                  "Stand. dev. of calc. from meas. runoff:   0.100",
                  "Coefficient of explanation R square is:   0.875",
                  ""}));
}

TEST_F(RainRun, UnitLinePadsFollowTheLabelLengths) {
  data.FileName = dir.File("units.inp");
  run.RunCount = 0;
  run.TimeUnit = "day";
  run.DepthUnit = "mmd";
  WriteAnalysisResults(data, run);
  const std::string text = ReadFileBytes(dir.File("units.out"));
  EXPECT_NE(text.find("\r\n          day       mmd       mmd       mmd                 mmd\r\n"),
            std::string::npos);
}

// A whole run on real daily data: the optimum is the plain search's, and the
// results table is the reconstruction with it.
TEST_F(RainRun, WholeRunOnRealData) {
  data.FileName = dir.File("flood.inp");
  std::filesystem::copy_file(ExampleDataFile("spotpy_d_flood2013_12d.inp"), data.FileName);
  ASSERT_TRUE(data.ReadInputFile());
  ASSERT_TRUE(RunModel(session));
  EXPECT_EQ(data.FileName, dir.File("flood.out"));
  const TSearchProblem problem =
      SearchProblemFromInputFile(ChangeFileExt(data.FileName, ".inp"), 1500);
  const TSearchResult reference = ReferenceSearch(problem);
  ASSERT_TRUE(reference.Found());
  EXPECT_EQ(run.BestA, TrialAOf(reference.outer));
  EXPECT_EQ(run.BestC, TrialCOf(reference.inner));
  EXPECT_EQ(RunDoneText(data.FileName),
            "The input is saved in " + dir.File("flood.inp") +
                " ; Calculations were done and the output is saved in  " + dir.File("flood.out"));
  EXPECT_EQ(dialogs.progress.front(), " Saving data .....");
  EXPECT_EQ(dialogs.progress.back(), " Filing results ..");
  ASSERT_GE(data.OutLineCount, 36);
  EXPECT_EQ(data.OutLines[0], "THE RESULTS OF TevloraT PROGRAM");
  // Record 12's calculated runoff, routed here on its own.
  double q = problem.firstRunoff;
  for (int n = 2; n <= 12; ++n) {
    double alpha = std::max(0.0, run.BestA * q + run.BestC);
    const double f = std::exp(-alpha * problem.timeStep[n]);
    q = q * f + problem.recharge[n] * (1 - f);
  }
  EXPECT_EQ(data.OutLines[31].substr(54), FormatFixed(q, 10, 2));
  EXPECT_GT(data.Values.RSquare, 0.01);
  EXPECT_LT(data.Values.RSquare, 0.99);
}

TEST_F(RainRun, BatchToolWritesWhatTheProgramWrites) {
  const std::string input = dir.File("spring.inp");
  std::filesystem::copy_file(ExampleDataFile("spotpy_d_spring2013.inp"), input);
  data.FileName = input;
  ASSERT_TRUE(data.ReadInputFile());
  ASSERT_TRUE(RunModel(session));
  const std::string out = ReadFileBytes(dir.File("spring.out"));
  const std::string trend = ReadFileBytes(dir.File("spring.dat"));
  std::filesystem::remove(dir.File("spring.out"));
  std::filesystem::remove(dir.File("spring.dat"));
  const std::string command = std::string(BATCH_TOOL) + " run " + input + " 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  EXPECT_EQ(ReadFileBytes(dir.File("spring.out")), out);
  EXPECT_EQ(ReadFileBytes(dir.File("spring.dat")), trend);

  // Predictions too; the mode is the one the file's second line states, so a
  // parameter file beside a runoff prediction leaves it a runoff prediction.
  for (const std::string name : {"hupsel_h_dec2012_pred_drain", "hupsel_h_dec2012_pred_runoff"}) {
    SCOPED_TRACE(name);
    const std::string prediction = dir.File(name + ".inp");
    std::filesystem::copy_file(ExampleDataFile(name + ".inp"), prediction);
    std::filesystem::copy_file(ExampleDataFile("hupsel_h_dec2012_pred_drain.par"),
                               dir.File(name + ".par"));
    TSession predictionSession;
    TDMTevlora& predicted = predictionSession.Data;
    predicted.Dialogs = &dialogs;
    predicted.FileName = prediction;
    ASSERT_TRUE(predicted.ReadInputFile());
    predicted.Drainage = name.find("drain") != std::string::npos;
    ASSERT_TRUE(RunModel(predictionSession));
    const std::string expected = ReadFileBytes(dir.File(name + ".out"));
    EXPECT_NE(expected.find(predicted.Drainage ? "PREDICTION drainage:" : "PREDICTION runoff:"),
              std::string::npos);
    std::filesystem::remove(dir.File(name + ".out"));
    const std::string run = std::string(BATCH_TOOL) + " run " + prediction + " 2>/dev/null";
    ASSERT_EQ(std::system(run.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(dir.File(name + ".out")), expected);
  }

  // A run that stops with its message, and a file that is not there.
  WriteInput({{1, 0, 0, 2}, {2, 0, 0, 2}}, 10, 1, "flat.inp");
  const std::string flat = std::string(BATCH_TOOL) + " run " + data.FileName + " 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(flat.c_str())), 1);
  const std::string missing =
      std::string(BATCH_TOOL) + " run " + dir.File("no.inp") + " 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(missing.c_str())), 2);
}

}  // namespace
