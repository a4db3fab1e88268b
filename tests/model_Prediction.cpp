// The prediction run and its results file.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <filesystem>

#include "TestSupport.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UPrediction.h"
#include "USession.h"

namespace {

class Prediction : public ::testing::Test {
 protected:
  void SetUp() override {
    data.Dialogs = &dialogs;
    data.Values.AlphaA = data.Values.AlphaC = 0;
    data.MaxStorage = 10;
    data.InitStorage = 4;
  }

  // An input file by the program's own writer (times 1, 2, 3 ... unless
  // given), run at once.
  void Run(const DataArrayR& rain, const DataArrayR& escape, DataArrayR time = {}) {
    for (std::size_t i = time.size(); i < rain.size(); ++i) time.push_back(i + 1.0);
    data.FileName = dir.File("basin.inp");
    data.RunKind = " Pre";
    data.Analysis = false;
    data.NrOfData = static_cast<int>(rain.size());
    data.Time = time;
    data.Rain = rain;
    data.EscRate = escape;
    data.Removed.assign(rain.size(), false);
    std::filesystem::remove(dir.File("basin.out"));
    ASSERT_TRUE(data.WriteInputFile());
    RunPrediction(data, pred);
  }

  // Free room 6 at the start, escape 0.4, alpha = 0.5 Q + 0.1.
  void RunWorkedCase(bool drainage) {
    data.MaxEscape = 0.4;
    data.Porosity = 35;
    data.InitRunoff = 1;
    data.InitLevel = -5;
    data.Drainage = drainage;
    data.Values.AlphaA = 0.5;
    data.Values.AlphaC = 0.1;
    Run({2, 10, 0, 3}, {0.4, 0.4, 0.4, 0.4});
    ASSERT_FALSE(pred.PredictTimeError);
  }

  TTemporaryDirectory dir;
  TRecordingDialogs dialogs;
  TSession session;
  TDMTevlora& data = session.Data;
  TPredictionRun& pred = session.Prediction;
};

// Hand-made input: serial numbers of every prefix width, and a unit text.
const std::vector<std::string> kLayoutInput = {
    " Input data for Tevlora program",
    " Prediction runoff",
    "",
    "Layout basin",
    "hand-made",
    "",
    " Filename: basin.txt",
    " Maximum dead storage:    10.00",
    " Initial dead storage:     4.00",
    " Max.escape/time unit:  4.0E-0001 m m.",
    " Linear reservoir function : Alpha = A * Runoff + C",
    " A coefficient : 5.0000E-001",
    " Value of C is : 1.0000E-001",
    " Effective porosity (%) :   35.00",
    " Initial runoff rate :     1.00",
    " Initial water level : -5.0E+0000",
    "",
    " -----------------------------------------",
    " Serial    T i m e   Rainfall  Escape rate",
    " -----------------------------------------",
    "    9         1.00       2.00  4.0E-0001",
    "   10         2.00      10.00  4.0E-0001",
    "   99         3.00  0.0E+0000  4.0E-0001",
    "  100         4.00       3.00  4.0E-0001"};

TEST_F(Prediction, DeadStorageBranchesAndBalance) {
  RunWorkedCase(false);
  ASSERT_EQ(pred.PredCount, 4);
  // 1: rain below the free room; 2: overflow after the escape 0.4 * 6 / 10;
  // 3: no rain, the escape of a full storage; 4: overflow again.
  const double recharge[5] = {0, 0, 5.76, 0, 2.216}, storage[5] = {0, 6, 10, 9.6, 10};
  for (int k = 1; k <= 4; ++k) {
    EXPECT_NEAR(pred.PredRecharge[k], recharge[k], 1e-12) << k;
    EXPECT_NEAR(pred.PredStorage[k], storage[k], 1e-12) << k;
    EXPECT_NEAR(pred.PredStorage[k] + pred.PredDeficit[k], 10, 1e-12) << k;
  }
  // Rain exactly filling the free room: no recharge, a full storage.
  Run({6, 0, 0}, {0, 0, 0});
  EXPECT_EQ(pred.PredRecharge[1], 0);
  EXPECT_EQ(pred.PredStorage[1], 10);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Prediction, Routing) {
  RunWorkedCase(false);
  EXPECT_EQ(pred.PredAlpha[1], 0);
  EXPECT_EQ(pred.PredDischarge[1], 1);
  EXPECT_EQ(pred.PredLevel[1], -5);  // the storage starts at the initial level
  const double alpha[5] = {0, 0, 0.6, 1.6738283060962174, 0.3951365219832106};
  const double runoff[5] = {0, 1, 3.1476566121924345, 0.5902730439664211, 1.1209297118244157};
  for (int k = 2; k <= 4; ++k) {
    EXPECT_NEAR(pred.PredAlpha[k], alpha[k], 1e-12) << k;
    EXPECT_NEAR(pred.PredDischarge[k], runoff[k], 1e-12) << k;
    // Water balance of the main reservoir.
    EXPECT_NEAR(pred.PredLevel[k] - pred.PredLevel[k - 1],
                pred.PredRecharge[k] - pred.PredDischarge[k], 1e-12);
  }

  RunWorkedCase(true);
  EXPECT_NEAR(pred.PredDischarge[4], runoff[4], 1e-12);
  EXPECT_NEAR(pred.PredLevel[2], 12.725257153448965, 1e-10);
  EXPECT_NEAR(pred.PredLevel[4], 8.145193647392041, 1e-10);

  // A head that would fall below 0 is 0, and rises from there.
  data.InitStorage = 10;
  data.Porosity = 5;
  data.InitLevel = -3;
  data.Values.AlphaA = 0.1;
  data.Values.AlphaC = 0.2;
  Run({0, 0, 2}, {0, 0, 0});
  EXPECT_EQ(pred.PredLevel[2], 0);
  EXPECT_NEAR(pred.PredLevel[3], 43.733315169894766, 1e-10);

  // C = -0.5 with an initial runoff of 0.2 starts at 0.55; alpha = 0 Q - 0.5
  // is raised to 0.0001, so the runoff still changes.
  data.Drainage = false;
  data.InitRunoff = 0.2;
  data.Values.AlphaA = 0;
  data.Values.AlphaC = -0.5;
  Run({0, 4, 0}, {0, 0, 0}, {1, 2, 4});
  EXPECT_DOUBLE_EQ(pred.PredDischarge[1], 0.55);
  EXPECT_EQ(pred.PredAlpha[3], 0.0001);
  EXPECT_NEAR(pred.PredDischarge[2], 0.5503449827505751, 1e-14);
  EXPECT_NEAR(pred.PredDischarge[3], 0.5502349247601909, 1e-14);
  data.InitRunoff = 0.6;  // above -C: kept
  Run({0, 4, 0}, {0, 0, 0});
  EXPECT_EQ(pred.PredDischarge[1], 0.6);
}

TEST_F(Prediction, ChecksStopTheRunWithoutResults) {
  const std::string noVariation = "There is no variation in time The hydrograph cannot be made";
  const std::string sequence = "Incorrect time sequence encountered Please correct the input file";
  const std::string maxStorage = "The Maximum Storage must be > 0";
  const auto expectStopped = [&](const std::string& message) {
    EXPECT_TRUE(pred.PredictTimeError);
    EXPECT_EQ(dialogs.messages, (std::vector<std::string>{message}));
    EXPECT_FALSE(std::filesystem::exists(dir.File("basin.out")));
    dialogs.messages.clear();
  };
  Run({1, 2, 3}, {0, 0, 0}, {3, 3, 3});
  expectStopped(noVariation);
  Run({1, 2, 3}, {0, 0, 0}, {0, 1, 1});
  expectStopped(sequence);
  // The true extremes count, not the last rise (3.0005) and fall (3): the
  // times vary, and fall back at record 3.
  data.FileName = dir.File("basin.inp");
  auto lines = kLayoutInput;
  lines.resize(20);
  for (const char* record : {"1 1 1 0", "2 5 1 0", "3 3 1 0", "4 3.0005 1 0"})
    lines.push_back(record);
  WriteFileBytes(data.FileName, CrLf(lines));
  RunPrediction(data, pred);
  expectStopped(sequence);

  data.MaxStorage = 0;  // the time check comes first
  Run({1, 2, 3}, {0, 0, 0}, {1, 1, 1});
  expectStopped(noVariation);
  Run({1, 2, 3}, {0, 0, 0});
  expectStopped(maxStorage);
  data.MaxStorage = -1;
  Run({1, 2, 3}, {0, 0, 0});
  expectStopped(maxStorage);

  // The head divides by the porosity; the runoff does not need it.
  data.MaxStorage = 10;
  data.Porosity = 0;
  data.Drainage = true;
  Run({1, 2, 3}, {0, 0, 0});
  expectStopped("The porosity must be > 0");
  data.Drainage = false;
  Run({1, 2, 3}, {0, 0, 0});
  EXPECT_FALSE(pred.PredictTimeError);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Prediction, ResultsFileLayoutsAndReadingBack) {
  std::vector<std::string> expected = {
      "RESULTS OF Tevlora PROGRAM",
      "",
      "Layout basin",
      "hand-made",
      "Name of input file used: " + dir.File("basin.inp"),
      "",
      "Maximum dead storage:    10.00 mm",
      "Initial dead storage:     4.00 mm",
      "Max. escape/time unit:    0.40 mm/t",
      "Effective porosity (%):  35.00",
      "Equation: Q(n)=Q(n-1)*F+R(n)*(1-F), Q=runoff, R=Recharge",
      "with F=exp[-Alpha(n)*{T(n)-T(n-1)}], T=time",
      "linear function: alpha = B * Runoff + F",
      "B =   0.50000 F =   0.10000",
      "",
      "PREDICTION runoff:",
      "----------------------------------------------------------------",
      "Serial    Time   Rain/Irr  Recharge    Alpha     Runoff   Storage",
      "           t       mm/t      mm/t       --        mm/t      mm ",
      "----------------------------------------------------------------",
      "   9      1.00      2.00      0.00     0.000      1.00     -5.00",
      "  10      2.00     10.00      5.76     0.600      3.15     -2.39",
      "  99      3.00      0.00      0.00     1.674      0.59     -2.98",
      " 100      4.00      3.00      2.22     0.395      1.12     -1.88",
      "---------------------------------------------------------------"};
  // An input saved as .txt: results in basin.out, the data set named .inp.
  // Written under a comma locale, which must not reach the file.
  data.FileName = dir.File("basin.txt");
  WriteFileBytes(data.FileName, CrLf(kLayoutInput));
  const bool comma = std::setlocale(LC_ALL, "de_DE.utf8") != nullptr;
  RunPrediction(data, pred);
  if (comma) std::setlocale(LC_ALL, "C");
  EXPECT_EQ(data.FileName, dir.File("basin.inp"));
  EXPECT_EQ(ReadFileBytes(dir.File("basin.out")), CrLf(expected));

  data.OutFileName = dir.File("basin.out");
  data.LoadGraphSeries(2);
  EXPECT_EQ(data.NrOfData, 4);
  EXPECT_EQ(data.SerialNr, (DataArrayI{9, 10, 99, 100}));
  EXPECT_EQ(data.SeriesC, (DataArrayR{1, 3.15, 0.59, 1.12}));
  data.LoadGraphSeries(5);
  EXPECT_EQ(data.SeriesF, (DataArrayR{-5, -2.39, -2.98, -1.88}));
  EXPECT_FALSE(data.Drainage);
  data.LoadGraphSeries(1);  // not an analysis results file
  EXPECT_EQ(dialogs.messages, (std::vector<std::string>{"Please check the runoff/discharge data"}));

  expected[12] = "linear function: alpha = B * Discharge + C";
  expected[15] = "PREDICTION drainage:";
  expected[17] = "Serial    Time   Rain/Irr  Recharge    Alpha    Discharge   Head";
  expected[21] = "  10      2.00     10.00      5.76     0.600      3.15     12.73";
  expected[22] = "  99      3.00      0.00      0.00     1.674      0.59      2.39";
  expected[23] = " 100      4.00      3.00      2.22     0.395      1.12      8.15";
  data.Drainage = true;
  data.FileName = dir.File("basin.txt");
  RunPrediction(data, pred);
  EXPECT_EQ(ReadFileBytes(dir.File("basin.out")), CrLf(expected));
  data.Drainage = false;
  data.LoadGraphSeries(5);
  EXPECT_TRUE(data.Drainage);
  EXPECT_EQ(data.SeriesF, (DataArrayR{-5, 12.73, 2.39, 8.15}));
}

// The escape rates are the data set's; records beyond its table take the
// file's own column.
TEST_F(Prediction, EscapeRatesOfTheDataSet) {
  data.FileName = dir.File("basin.inp");
  WriteFileBytes(data.FileName, CrLf(kLayoutInput));
  data.EscRate = {0, 0};
  RunPrediction(data, pred);
  EXPECT_DOUBLE_EQ(pred.PredRecharge[2], 6);
  EXPECT_DOUBLE_EQ(pred.PredDeficit[3], 0.4);
}

TEST_F(Prediction, UnreadableInputOrUnwritableResults) {
  data.FileName = dir.File("missing.inp");
  EXPECT_THROW(RunPrediction(data, pred), TIOError);
  for (const auto& [line, text] : {std::pair{7, " Maximum dead storage:    1O.00"},
                                   std::pair{22, "   99         3.00  zero  4.0E-0001"}}) {
    auto lines = kLayoutInput;
    lines[line] = text;
    data.FileName = dir.File("basin.inp");
    WriteFileBytes(data.FileName, CrLf(lines));
    EXPECT_THROW(RunPrediction(data, pred), TIOError);
    EXPECT_FALSE(std::filesystem::exists(dir.File("basin.out")));
  }
  EXPECT_EQ(data.Title1, "");  // nothing taken from an unreadable file

  data.FileName = dir.File("basin.dat");
  WriteFileBytes(data.FileName, CrLf(kLayoutInput));
  std::filesystem::create_directory(dir.File("basin.out"));
  EXPECT_THROW(RunPrediction(data, pred), TIOError);
  EXPECT_EQ(data.FileName, dir.File("basin.inp"));
}

// As many records as the input tab accepts, and no more.
TEST_F(Prediction, FifteenHundredRecords) {
  DataArrayR rain(kPredictionMaxRecords, 0), escape(kPredictionMaxRecords, 0.5);
  for (std::size_t i = 0; i < rain.size(); i += 7) rain[i] = 12;
  Run(rain, escape);
  ASSERT_FALSE(pred.PredictTimeError);
  EXPECT_EQ(pred.PredCount, 1500);
  const std::string text = ReadFileBytes(dir.File("basin.out"));
  EXPECT_NE(text.find("\r\n 1500   1500.00      0.00"), std::string::npos);

  WriteFileBytes(data.FileName, ReadFileBytes(data.FileName) + " 1501 1501.00 1.00 1.00\r\n");
  std::filesystem::remove(dir.File("basin.out"));
  EXPECT_THROW(RunPrediction(data, pred), TIOError);
  EXPECT_FALSE(std::filesystem::exists(dir.File("basin.out")));
}

TEST_F(Prediction, Examples) {
  for (const std::string stem : {"hupsel_h_dec2012_pred_runoff", "hupsel_h_dec2012_pred_drain"}) {
    SCOPED_TRACE(stem);
    for (const char* extension : {".inp", ".par"}) {
      if (std::filesystem::exists(ExampleDataFile(stem + extension))) {
        std::filesystem::copy_file(ExampleDataFile(stem + extension), dir.File(stem + extension));
      }
    }
    data.FileName = dir.File(stem + ".inp");
    ASSERT_TRUE(data.ReadInputFile());
    const bool drainage = stem.ends_with("drain");
    EXPECT_EQ(data.Drainage, drainage);
    RunPrediction(data, pred);
    ASSERT_FALSE(pred.PredictTimeError);
    ASSERT_EQ(pred.PredCount, 480);
    EXPECT_EQ(pred.PredSerial[480], 480);
    for (int k = 1; k <= pred.PredCount; ++k) {
      ASSERT_TRUE(std::isfinite(pred.PredDischarge[k]) && std::isfinite(pred.PredLevel[k])) << k;
      ASSERT_NEAR(pred.PredStorage[k] + pred.PredDeficit[k], 40, 1e-9) << k;
      ASSERT_GE(pred.PredDischarge[k], 0) << k;
    }
    // No rain into a free room of 5; the initial runoff and level.
    EXPECT_NE(
        ReadFileBytes(dir.File(stem + ".out"))
            .find(drainage
                      ? "\r\n   1      1.00      0.00      0.00     0.000      0.02     49.07\r\n"
                      : "\r\n   1      1.00      0.00      0.00     0.000      0.02      6.69\r\n"),
        std::string::npos);
    EXPECT_EQ(pred.PredStorage[1], 35);
  }
  EXPECT_TRUE(dialogs.messages.empty());
}

}  // namespace
