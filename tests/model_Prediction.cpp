// The prediction run and its results file.
#include <cmath>
#include <filesystem>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UPrediction.h"

namespace {

class Prediction : public ::testing::Test {
 protected:
  void SetUp() override {
    data.Dialogs = &dialogs;
    AlphaA = AlphaC = 0;
    PredictTimeError = false;
  }

  // A prediction input file written by the program's own writer, records
  // at times 1, 2, 3 ... unless given.
  void WriteInput(const std::string& name, const DataArrayR& rain, const DataArrayR& escape,
                  DataArrayR time = {}) {
    if (time.empty()) {
      for (std::size_t i = 0; i < rain.size(); ++i) time.push_back(static_cast<double>(i + 1));
    }
    data.FileName = dir.File(name);
    data.Title1 = "Test basin";
    data.Title2 = "prediction";
    data.RunKind = " Pre";
    data.Analysis = false;
    data.NrOfData = static_cast<int>(rain.size());
    data.Time = time;
    data.Rain = rain;
    data.EscRate = escape;
    data.Runoff.assign(rain.size(), 0);
    data.Removed.assign(rain.size(), false);
    data.SerialNr.clear();
    ASSERT_TRUE(data.WriteInputFile());
  }

  // The four records of the hand-worked case: free room 6 at the start,
  // escape 0.4 per time unit.
  void WriteWorkedCase(bool drainage) {
    data.MaxStorage = 10;
    data.InitStorage = 4;
    data.MaxEscape = 0.4;
    data.Porosity = 35;
    data.InitRunoff = 1;
    data.InitLevel = -5;
    data.Drainage = drainage;
    AlphaA = 0.5;
    AlphaC = 0.1;
    WriteInput("worked.inp", {2, 10, 0, 3}, {0.4, 0.4, 0.4, 0.4});
  }

  bool ResultsExist() const { return std::filesystem::exists(ChangeFileExt(data.FileName, ".out")); }

  TTemporaryDirectory dir;
  TRecordingDialogs dialogs;
  TDMTevlora data;
};

// The hand-made input of the layout tests: serial numbers with every width
// of prefix, and a unit text behind the maximum escape rate.
std::vector<std::string> LayoutInput(const std::string& lineEleven = "") {
  std::vector<std::string> lines = {" Input data for Tevlora program",
                                    " Prediction runoff",
                                    "",
                                    "Layout basin",
                                    "hand-made records",
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
  if (!lineEleven.empty()) {
    // Another kind of function: no coefficients, the porosity on this line.
    lines.erase(lines.begin() + 10, lines.begin() + 14);
    lines.insert(lines.begin() + 10, lineEleven);
  }
  return lines;
}

TEST_F(Prediction, DeadStorageBranchesAndBalance) {
  WriteWorkedCase(false);
  RunPrediction(data);
  ASSERT_FALSE(PredictTimeError);
  EXPECT_TRUE(dialogs.messages.empty());
  ASSERT_EQ(PredCount, 4);
  // Record 1: rain 2 below the free room 6. Record 2 overflows after the
  // escape 0.4 * 6 / 10; record 3 has no rain and loses the escape of a full
  // storage; record 4 overflows again.
  const double recharge[5] = {0, 0, 5.76, 0, 2.216};
  const double storage[5] = {0, 6, 10, 9.6, 10};
  const double deficit[5] = {0, 4, 0, 0.4, 0};
  for (int k = 1; k <= 4; ++k) {
    SCOPED_TRACE(k);
    EXPECT_NEAR(PredRecharge[k], recharge[k], 1e-12);
    EXPECT_NEAR(PredStorage[k], storage[k], 1e-12);
    EXPECT_NEAR(PredDeficit[k], deficit[k], 1e-12);
    EXPECT_NEAR(PredStorage[k] + PredDeficit[k], 10, 1e-12);
  }

  // Rain exactly filling the free room: no recharge, storage full.
  WriteInput("full.inp", {6, 0, 0}, {0, 0, 0});
  RunPrediction(data);
  EXPECT_EQ(PredRecharge[1], 0);
  EXPECT_EQ(PredStorage[1], 10);
  EXPECT_EQ(PredDeficit[1], 0);
}

// The escape is not limited by the content: the storage goes below zero and
// the next escape, from that negative storage, gives water back.
TEST_F(Prediction, EscapeFromANegativeStorage) {
  data.MaxStorage = 10;
  data.InitStorage = 1;
  data.MaxEscape = 20;
  WriteInput("dry.inp", {0, 0, 0}, {20, 20, 20});
  RunPrediction(data);
  ASSERT_FALSE(PredictTimeError);
  EXPECT_DOUBLE_EQ(PredStorage[2], -1);
  EXPECT_DOUBLE_EQ(PredDeficit[2], 11);
  EXPECT_DOUBLE_EQ(PredStorage[3], 1);
  EXPECT_DOUBLE_EQ(PredDeficit[3], 9);
  EXPECT_EQ(PredRecharge[2] + PredRecharge[3], 0);
}

TEST_F(Prediction, RunoffRoutingKeepsTheWaterBalance) {
  WriteWorkedCase(false);
  RunPrediction(data);
  ASSERT_EQ(PredCount, 4);
  EXPECT_EQ(PredAlpha[1], 0);
  EXPECT_EQ(PredDischarge[1], 1);
  EXPECT_EQ(PredLevel[1], -5);  // the storage starts at the initial level
  const double alpha[5] = {0, 0, 0.6, 1.6738283060962174, 0.3951365219832106};
  const double runoff[5] = {0, 1, 3.1476566121924345, 0.5902730439664211, 1.1209297118244157};
  for (int k = 2; k <= 4; ++k) {
    SCOPED_TRACE(k);
    EXPECT_NEAR(PredAlpha[k], alpha[k], 1e-12);
    EXPECT_NEAR(PredDischarge[k], runoff[k], 1e-12);
    EXPECT_NEAR(PredLevel[k] - PredLevel[k - 1], PredRecharge[k] - PredDischarge[k], 1e-12);
  }
  EXPECT_NEAR(PredLevel[4], -1.8828593679832712, 1e-12);
  EXPECT_EQ(data.InitRunoff, 1);
  EXPECT_EQ(data.InitLevel, -5);
}

TEST_F(Prediction, DrainageHeadAndItsFloor) {
  WriteWorkedCase(true);
  RunPrediction(data);
  ASSERT_FALSE(PredictTimeError);
  EXPECT_NEAR(PredPorosity, 0.35, 1e-15);
  EXPECT_NEAR(PredDischarge[4], 1.1209297118244157, 1e-12);  // as for runoff
  EXPECT_NEAR(PredLevel[2], 12.725257153448965, 1e-10);
  EXPECT_NEAR(PredLevel[3], 2.386339172489944, 1e-10);
  EXPECT_NEAR(PredLevel[4], 8.145193647392041, 1e-10);

  // A head that would fall below 0 is 0, and it rises from there.
  data.MaxStorage = data.InitStorage = 10;
  data.Porosity = 5;
  data.InitRunoff = 1;
  data.InitLevel = -3;
  AlphaA = 0.1;
  AlphaC = 0.2;
  WriteInput("head.inp", {0, 0, 2}, {0, 0, 0});
  RunPrediction(data);
  ASSERT_FALSE(PredictTimeError);
  EXPECT_EQ(PredLevel[1], -3);
  EXPECT_EQ(PredLevel[2], 0);
  EXPECT_NEAR(PredLevel[3], 43.733315169894766, 1e-10);
}

TEST_F(Prediction, AlphaFloorAndNegativeConstant) {
  // C = -0.5 with an initial runoff of 0.2: the run starts at 0.55, and the
  // alpha function (0 * Q - 0.5) is raised to 0.0001 at every step.
  data.MaxStorage = data.InitStorage = 10;
  data.InitRunoff = 0.2;
  data.InitLevel = 1;
  AlphaA = 0;
  AlphaC = -0.5;
  WriteInput("floor.inp", {0, 4, 0}, {0, 0, 0}, {1, 2, 4});
  RunPrediction(data);
  ASSERT_FALSE(PredictTimeError);
  EXPECT_DOUBLE_EQ(PredDischarge[1], 0.55);
  EXPECT_EQ(PredAlpha[2], 0.0001);
  EXPECT_EQ(PredAlpha[3], 0.0001);
  EXPECT_NEAR(PredDischarge[2], 0.5503449827505751, 1e-14);
  EXPECT_NEAR(PredDischarge[3], 0.5502349247601909, 1e-14);  // F stays below 1

  // A runoff above -C keeps its value.
  data.InitRunoff = 0.6;
  WriteInput("above.inp", {0, 4, 0}, {0, 0, 0});
  RunPrediction(data);
  EXPECT_DOUBLE_EQ(PredDischarge[1], 0.6);
}

TEST_F(Prediction, ChecksStopTheRunWithoutResults) {
  const std::string noVariation = "There is no variation in time The hydrograph cannot be made";
  const std::string sequence = "Incorrect time sequence encountered Please correct the input file";
  data.MaxStorage = 10;
  data.InitStorage = 5;
  const auto expectStopped = [&](const std::string& message) {
    SCOPED_TRACE(message);
    EXPECT_TRUE(PredictTimeError);
    EXPECT_EQ(dialogs.messages, (std::vector<std::string>{message}));
    EXPECT_FALSE(ResultsExist());
    dialogs.messages.clear();
  };

  WriteInput("equal.inp", {1, 2, 3, 4}, {0, 0, 0, 0}, {3, 3, 3, 3});
  RunPrediction(data);
  expectStopped(noVariation);

  WriteInput("repeat.inp", {1, 2, 3}, {0, 0, 0}, {0, 1, 1});
  RunPrediction(data);
  expectStopped(sequence);

  // The no-variation check looks at the last rise and the last fall only.
  data.FileName = dir.File("fall.inp");
  auto lines = LayoutInput();
  lines.resize(20);
  for (const char* record : {"1 1 1 0", "2 5 1 0", "3 3 1 0", "4 3.0005 1 0"}) {
    lines.push_back(record);
  }
  WriteFileBytes(data.FileName, CrLf(lines));
  RunPrediction(data);
  expectStopped(noVariation);

  // A maximum storage of 0 would divide by zero; the time check comes first.
  data.MaxStorage = 0;
  data.InitStorage = 0;
  WriteInput("nomax.inp", {1, 2, 3}, {0, 0, 0}, {1, 1, 1});
  RunPrediction(data);
  expectStopped(noVariation);
  WriteInput("nomax.inp", {1, 2, 3}, {0, 0, 0});
  RunPrediction(data);
  expectStopped("The Maximum Storage must be > 0");
  data.MaxStorage = -1;
  WriteInput("nomax.inp", {1, 2, 3}, {0, 0, 0});
  RunPrediction(data);
  expectStopped("The Maximum Storage must be > 0");

  // The head of a drainage prediction divides by the porosity.
  data.MaxStorage = 10;
  data.Porosity = 0;
  data.Drainage = true;
  WriteInput("noporosity.inp", {1, 2, 3}, {0, 0, 0});
  RunPrediction(data);
  expectStopped("The porosity must be > 0");

  // A runoff prediction does not need it; a good run clears the flag, and a
  // stopped one leaves the earlier results file as it was.
  data.Drainage = false;
  WriteInput("noporosity.inp", {1, 2, 3}, {0, 0, 0});
  RunPrediction(data);
  EXPECT_FALSE(PredictTimeError);
  EXPECT_TRUE(dialogs.messages.empty());
  const std::string results = ReadFileBytes(ChangeFileExt(data.FileName, ".out"));
  WriteInput("noporosity.inp", {1, 2, 3}, {0, 0, 0}, {2, 1, 3});
  RunPrediction(data);
  EXPECT_TRUE(PredictTimeError);
  EXPECT_EQ(dialogs.messages, (std::vector<std::string>{sequence}));
  EXPECT_EQ(ReadFileBytes(dir.File("noporosity.out")), results);
}

TEST_F(Prediction, RunoffResultsFileLayout) {
  data.FileName = dir.File("basin.txt");
  WriteFileBytes(data.FileName, CrLf(LayoutInput()));
  RunPrediction(data);
  ASSERT_FALSE(PredictTimeError);
  // Results beside the input under ".out"; the data set is named ".inp".
  EXPECT_EQ(data.FileName, dir.File("basin.inp"));
  EXPECT_EQ(data.Title1, "Layout basin");
  EXPECT_EQ(data.Title2, "hand-made records");
  EXPECT_EQ(ReadFileBytes(dir.File("basin.out")),
            CrLf({"RESULTS OF Tevlora PROGRAM",
                  "",
                  "Layout basin",
                  "hand-made records",
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
                  "---------------------------------------------------------------"}));
}

TEST_F(Prediction, DrainageResultsFileLayout) {
  data.FileName = dir.File("basin.inp");
  WriteFileBytes(data.FileName, CrLf(LayoutInput()));
  data.Drainage = true;
  RunPrediction(data);
  ASSERT_FALSE(PredictTimeError);
  EXPECT_EQ(ReadFileBytes(dir.File("basin.out")),
            CrLf({"RESULTS OF Tevlora PROGRAM",
                  "",
                  "Layout basin",
                  "hand-made records",
                  "Name of input file used: " + dir.File("basin.inp"),
                  "",
                  "Maximum dead storage:    10.00 mm",
                  "Initial dead storage:     4.00 mm",
                  "Max. escape/time unit:    0.40 mm/t",
                  "Effective porosity (%):  35.00",
                  "Equation: Q(n)=Q(n-1)*F+R(n)*(1-F), Q=runoff, R=Recharge",
                  "with F=exp[-Alpha(n)*{T(n)-T(n-1)}], T=time",
                  "linear function: alpha = B * Discharge + C",
                  "B =   0.50000 F =   0.10000",
                  "",
                  "PREDICTION drainage:",
                  "----------------------------------------------------------------",
                  "Serial    Time   Rain/Irr  Recharge    Alpha    Discharge   Head",
                  "           t       mm/t      mm/t       --        mm/t      mm ",
                  "----------------------------------------------------------------",
                  "   9      1.00      2.00      0.00     0.000      1.00     -5.00",
                  "  10      2.00     10.00      5.76     0.600      3.15     12.73",
                  "  99      3.00      0.00      0.00     1.674      0.59      2.39",
                  " 100      4.00      3.00      2.22     0.395      1.12      8.15",
                  "---------------------------------------------------------------"}));
}

// Without the linear-function line the porosity is read from line 11, the
// coefficients are kept, and the results file does not state the function.
TEST_F(Prediction, OtherFunctionLine) {
  LinearFunctionMark = false;
  AlphaA = 0.5;
  AlphaC = 0.1;
  data.FileName = dir.File("other.inp");
  WriteFileBytes(data.FileName,
                 CrLf(LayoutInput(" Table function, porosity (%):   12.00")));
  RunPrediction(data);
  ASSERT_FALSE(PredictTimeError);
  EXPECT_FALSE(LinearFunctionMark);
  EXPECT_EQ(AlphaA, 0.5);
  EXPECT_EQ(AlphaC, 0.1);
  EXPECT_NEAR(PredPorosity, 0.12, 1e-15);
  EXPECT_EQ(data.InitLevel, -5);
  EXPECT_EQ(PredCount, 4);
  const std::string text = ReadFileBytes(dir.File("other.out"));
  EXPECT_NE(text.find("Effective porosity (%):  12.00\r\n"
                      "Equation: Q(n)=Q(n-1)*F+R(n)*(1-F), Q=runoff, R=Recharge\r\n"
                      "with F=exp[-Alpha(n)*{T(n)-T(n-1)}], T=time\r\n"
                      "\r\n"
                      "PREDICTION runoff:\r\n"),
            std::string::npos);

  // The mark is never cleared once a linear-function file set it.
  data.FileName = dir.File("basin.inp");
  WriteFileBytes(data.FileName, CrLf(LayoutInput()));
  RunPrediction(data);
  EXPECT_TRUE(LinearFunctionMark);
}

TEST_F(Prediction, UnitText) {
  EXPECT_EQ(NormaliseUnitText(""), "");
  EXPECT_EQ(NormaliseUnitText(" m m. "), "mm/t");
  EXPECT_EQ(NormaliseUnitText("cm"), "cm/t");
  EXPECT_EQ(NormaliseUnitText(" dm"), "dm/t");
  EXPECT_EQ(NormaliseUnitText("m."), "m/t");
  EXPECT_EQ(NormaliseUnitText("mm/d"), "mm/d");
  EXPECT_EQ(NormaliseUnitText("inch"), "inch");
}

// The escape rates are the data set's; records beyond its table take the
// escape column of the file.
TEST_F(Prediction, EscapeRatesOfTheDataSet) {
  data.FileName = dir.File("basin.inp");
  WriteFileBytes(data.FileName, CrLf(LayoutInput()));
  data.EscRate = {0, 0};
  RunPrediction(data);
  EXPECT_DOUBLE_EQ(PredRecharge[2], 6);   // no escape from the data set
  EXPECT_DOUBLE_EQ(PredDeficit[3], 0.4);  // the file's 0.4 from a full storage
}

TEST_F(Prediction, UnreadableInputWritesNothing) {
  data.FileName = dir.File("missing.inp");
  data.Title1 = "before";
  EXPECT_THROW(RunPrediction(data), TIOError);

  auto lines = LayoutInput();
  lines[7] = " Maximum dead storage:    1O.00";
  data.FileName = dir.File("letter.inp");
  WriteFileBytes(data.FileName, CrLf(lines));
  EXPECT_THROW(RunPrediction(data), TIOError);
  EXPECT_FALSE(ResultsExist());

  lines = LayoutInput();
  lines[22] = "   99         3.00  zero  4.0E-0001";
  data.FileName = dir.File("record.inp");
  WriteFileBytes(data.FileName, CrLf(lines));
  EXPECT_THROW(RunPrediction(data), TIOError);
  EXPECT_FALSE(ResultsExist());
  EXPECT_EQ(data.Title1, "before");
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Prediction, ResultsFileThatCannotBeWritten) {
  data.FileName = dir.File("basin.dat");
  WriteFileBytes(data.FileName, CrLf(LayoutInput()));
  std::filesystem::create_directory(dir.File("basin.out"));
  EXPECT_THROW(RunPrediction(data), TIOError);
  EXPECT_EQ(data.FileName, dir.File("basin.inp"));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("basin.out")));
}

// The tables hold as many records as the input tab accepts, and no more.
TEST_F(Prediction, FifteenHundredRecords) {
  data.MaxStorage = 10;
  data.InitStorage = 5;
  data.InitRunoff = 1;
  AlphaA = 0.1;
  AlphaC = 0.01;
  DataArrayR rain, escape;
  for (int i = 0; i < kPredictionMaxRecords; ++i) {
    rain.push_back(i % 7 == 0 ? 12 : 0);
    escape.push_back(0.5);
  }
  WriteInput("long.inp", rain, escape);
  RunPrediction(data);
  ASSERT_FALSE(PredictTimeError);
  EXPECT_EQ(PredCount, kPredictionMaxRecords);
  const std::string text = ReadFileBytes(dir.File("long.out"));
  const auto lastRecord = text.rfind("\r\n 1500   1500.00");
  EXPECT_NE(lastRecord, std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 65), std::string(63, '-') + "\r\n");

  std::string input = ReadFileBytes(dir.File("long.inp"));
  input += " 1501      1501.00       1.00       1.00\r\n";
  WriteFileBytes(dir.File("long.inp"), input);
  std::filesystem::remove(dir.File("long.out"));
  data.FileName = dir.File("long.inp");
  EXPECT_THROW(RunPrediction(data), TIOError);
  EXPECT_FALSE(ResultsExist());
}

// The two prediction examples, opened as the program opens them.
TEST_F(Prediction, Examples) {
  for (const std::string stem : {"hupsel_h_dec2012_pred_runoff", "hupsel_h_dec2012_pred_drain"}) {
    SCOPED_TRACE(stem);
    for (const char* extension : {".inp", ".par"}) {
      if (std::filesystem::exists(ExampleDataFile(stem + extension))) {
        std::filesystem::copy_file(ExampleDataFile(stem + extension), dir.File(stem + extension));
      }
    }
    TDMTevlora example;
    example.Dialogs = &dialogs;
    example.FileName = dir.File(stem + ".inp");
    ASSERT_TRUE(example.ReadInputFile());
    const bool drainage = stem.ends_with("drain");
    EXPECT_EQ(example.Drainage, drainage);
    RunPrediction(example);
    ASSERT_FALSE(PredictTimeError);
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_EQ(PredCount, 480);
    EXPECT_EQ(PredSerial[1], 1);
    EXPECT_EQ(PredTime[1], 1);
    EXPECT_EQ(PredRecharge[1], 0);  // no rain into a free room of 5
    EXPECT_EQ(PredStorage[1], 35);
    EXPECT_EQ(PredAlpha[1], 0);
    EXPECT_EQ(PredDischarge[1], 0.02);
    EXPECT_EQ(PredLevel[1], drainage ? 49.07 : 6.69);
    EXPECT_EQ(PredSerial[480], 480);
    for (int k = 1; k <= PredCount; ++k) {
      ASSERT_TRUE(std::isfinite(PredRecharge[k]) && std::isfinite(PredAlpha[k]) &&
                  std::isfinite(PredDischarge[k]) && std::isfinite(PredLevel[k]))
          << k;
      EXPECT_NEAR(PredStorage[k] + PredDeficit[k], 40, 1e-9);
      EXPECT_GE(PredDischarge[k], 0);
      if (drainage) {
        EXPECT_GE(PredLevel[k], 0);
      }
    }
    const std::string text = ReadFileBytes(dir.File(stem + ".out"));
    EXPECT_EQ(text.find("nan"), std::string::npos);
    const std::string firstRecord = drainage ? "\r\n   1      1.00      0.00      0.00     0.000      0.02     49.07\r\n"
                                             : "\r\n   1      1.00      0.00      0.00     0.000      0.02      6.69\r\n";
    EXPECT_NE(text.find(firstRecord), std::string::npos);
  }
}

}  // namespace
