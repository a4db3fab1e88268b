// Results files read back: lines for the output tab, the inspection of their
// kind, and the graph series of every graph kind.
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UPrediction.h"
#include "URainRun.h"

namespace {

const std::string kDashes64(64, '-');
const int kAllKinds[] = {1, 2, 3, 4, 5, 7, 8, 9};

// An analysis results file made by hand in the layout of the analysis run.
std::vector<std::string> AnalysisResultsLines() {
  const std::string units = std::string(10, ' ') + "--" + std::string(8, ' ') + "--" +
                            std::string(8, ' ') + "--" + std::string(8, ' ') + "--" +
                            std::string(18, ' ') + "--";
  return {"THE RESULTS OF TevloraT PROGRAM",
          "",
          "Basin A",
          "analysis titles",
          "Name of input file used: /data/basin.inp",
          "",
          "Maximum dead storage:   50.00 mm",
          "Initial dead storage:    5.00 mm",
          "Max. escape/time unit:   0.10 --",
          "Equation: Q(n)=Q(n-1)*F+R(n)*(1-F) with Q=runoff, R=Rechargen=serial nr.",
          "where F=exp[-Alpha(n)*{T(n)-T(n-1)}], T=time",
          "OPTIMIZATION: alpha = A * runoff + C",
          "A = 0.0995  C = -0.5000",
          "",
          "RECONSTRUCTION:",
          kDashes64,
          "Serial    Time      Rain    Recharge   Runoff    Alpha    Runoff",
          " No.                         calc.     meas.     calc.    calc. ",
          units,
          kDashes64,
          " 1        1.00      2.00      0.00      0.50     0.000      0.50",
          " 2        2.00     10.00      5.76      3.00     0.600      3.15",
          " 3        3.00      0.00      0.00      0.90     1.674      0.59",
          " 4        4.00      3.00      2.22      1.00     0.395      1.12",
          " 5        5.00      0.00      0.00      0.70     0.123      0.80",
          kDashes64,
          "Stand. dev. of calc. from meas. runoff:   0.123",
          "Coefficient of explanation R square is:   0.950",
          ""};
}

// A prediction results file as the prediction run writes it.
std::vector<std::string> PredictionResultsLines(bool drainage) {
  return {"RESULTS OF Tevlora PROGRAM",
          "",
          "Layout basin",
          "hand-made records",
          "Name of input file used: /data/basin.inp",
          "",
          "Maximum dead storage:    10.00 mm",
          "Initial dead storage:     4.00 mm",
          "Max. escape/time unit:    0.40 ",
          "Effective porosity (%):  35.00",
          "Equation: Q(n)=Q(n-1)*F+R(n)*(1-F), Q=runoff, R=Recharge",
          "with F=exp[-Alpha(n)*{T(n)-T(n-1)}], T=time",
          drainage ? "linear function: alpha = B * Discharge + C"
                   : "linear function: alpha = B * Runoff + F",
          "B =   0.50000 F =  -0.10000",
          "",
          drainage ? "PREDICTION drainage:" : "PREDICTION runoff:",
          kDashes64,
          drainage ? "Serial    Time   Rain/Irr  Recharge    Alpha    Discharge   Head"
                   : "Serial    Time   Rain/Irr  Recharge    Alpha     Runoff   Storage",
          "           t       mm/t      mm/t       --        mm/t      mm ",
          kDashes64,
          "   9      1.00      2.00      0.00     0.000      1.00     -5.00",
          "  10      2.00     10.00      5.76     0.600      3.15     -2.39",
          "  99      3.00      0.00      0.00     1.674      0.59     -2.98",
          " 100      4.00      3.00      2.22     0.395      1.12     -1.88",
          std::string(63, '-')};
}

class OutputFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    data.Dialogs = &dialogs;
    AlphaA = AlphaC = RSquare = -99;
  }

  // Names `text`, written to `name`, as the open commands do.
  void Open(const std::string& name, const std::string& text) {
    data.FileName = data.OutFileName = dir.File(name);
    WriteFileBytes(data.OutFileName, text);
  }

  // Slots with a recognisable content, to see what a load leaves alone.
  void FillSlots(double value) {
    data.NrOfData = 2;
    data.SerialNr = {7, 8};
    for (DataArrayR* slot : {&data.SeriesT, &data.SeriesA, &data.SeriesB, &data.SeriesC,
                             &data.SeriesD, &data.SeriesF}) {
      *slot = {value, value};
    }
  }

  TTemporaryDirectory dir;
  TRecordingDialogs dialogs;
  TDMTevlora data;
};

TEST_F(OutputFiles, AnalysisSlotsOfEveryKind) {
  Open("basin.out", CrLf(AnalysisResultsLines()));
  const DataArrayR time = {1, 2, 3, 4, 5}, rain = {2, 10, 0, 3, 0}, recharge = {0, 5.76, 0, 2.22, 0},
                   measured = {0.5, 3, 0.9, 1, 0.7}, calculated = {0.5, 3.15, 0.59, 1.12, 0.8};
  for (int kind : {1, 3, 7, 8, 9}) {
    SCOPED_TRACE(kind);
    FillSlots(-1);
    AlphaA = AlphaC = RSquare = -99;
    data.LoadGraphSeries(kind);
    EXPECT_EQ(data.NrOfData, 5);
    EXPECT_EQ(data.SerialNr, (DataArrayI{1, 2, 3, 4, 5}));
    EXPECT_EQ(data.SeriesT, kind == 7 ? measured : time);
    EXPECT_EQ(data.SeriesA, rain);
    EXPECT_EQ(data.SeriesB, recharge);
    EXPECT_EQ(data.SeriesD, measured);
    EXPECT_EQ(data.SeriesC, calculated);
    EXPECT_EQ(data.SeriesF, (DataArrayR{-1, -1}));
    EXPECT_EQ(AlphaA, kind == 1 ? 0.0995 : -99);
    EXPECT_EQ(AlphaC, kind == 1 ? -0.5 : -99);
    EXPECT_EQ(RSquare, kind == 1 || kind == 7 ? 0.95 : -99);
  }
  EXPECT_TRUE(dialogs.messages.empty());

  // Without the equation on line 10 the coefficients stand on line 12.
  auto lines = AnalysisResultsLines();
  lines.erase(lines.begin() + 8);
  Open("short.out", CrLf(lines));
  data.LoadGraphSeries(1);
  EXPECT_EQ(AlphaA, 0.0995);
  EXPECT_EQ(AlphaC, -0.5);
  EXPECT_EQ(data.NrOfData, 5);
}

TEST_F(OutputFiles, PredictionSlotsOfEveryKind) {
  for (bool drainage : {false, true}) {
    SCOPED_TRACE(drainage);
    Open("pred.out", CrLf(PredictionResultsLines(drainage)));
    const DataArrayR time = {1, 2, 3, 4}, rain = {2, 10, 0, 3}, recharge = {0, 5.76, 0, 2.22},
                     alpha = {0, 0.6, 1.674, 0.395}, runoff = {1, 3.15, 0.59, 1.12},
                     storage = {-5, -2.39, -2.98, -1.88};

    FillSlots(-1);
    data.Drainage = !drainage;
    data.LoadGraphSeries(2);
    EXPECT_EQ(data.NrOfData, 4);
    EXPECT_EQ(data.SerialNr, (DataArrayI{9, 10, 99, 100}));
    EXPECT_EQ(data.SeriesT, time);
    EXPECT_EQ(data.SeriesA, rain);
    EXPECT_EQ(data.SeriesB, recharge);
    EXPECT_EQ(data.SeriesD, alpha);
    EXPECT_EQ(data.SeriesC, runoff);
    EXPECT_EQ(data.SeriesF, (DataArrayR{-1, -1}));
    EXPECT_EQ(data.Drainage, !drainage);
    EXPECT_EQ(AlphaA, -99);

    for (int kind : {4, 5}) {
      SCOPED_TRACE(kind);
      FillSlots(-1);
      data.LoadGraphSeries(kind);
      EXPECT_EQ(data.NrOfData, 4);
      EXPECT_EQ(data.SeriesT, time);
      EXPECT_EQ(data.SeriesC, rain);
      EXPECT_EQ(data.SeriesB, recharge);
      EXPECT_EQ(data.SeriesD, alpha);
      EXPECT_EQ(data.SeriesA, runoff);
      EXPECT_EQ(data.SeriesF, storage);
    }
    // Only the water-table graph takes the kind and the coefficients.
    EXPECT_EQ(data.Drainage, drainage);
    EXPECT_EQ(AlphaA, 0.5);
    EXPECT_EQ(AlphaC, -0.1);
    AlphaA = AlphaC = -99;
    EXPECT_EQ(RSquare, -99);
  }
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(OutputFiles, GraphOfTheOtherKind) {
  // The runoff graph of an analysis refuses a prediction results file.
  Open("pred.out", CrLf(PredictionResultsLines(false)));
  FillSlots(-1);
  data.LoadGraphSeries(1);
  EXPECT_EQ(dialogs.messages, (std::vector<std::string>{"Please check the runoff/discharge data"}));
  EXPECT_EQ(data.NrOfData, 2);
  EXPECT_EQ(data.SerialNr, (DataArrayI{7, 8}));
  EXPECT_EQ(data.SeriesT, (DataArrayR{-1, -1}));
  EXPECT_EQ(AlphaA, -99);
  EXPECT_EQ(RSquare, -99);
  dialogs.messages.clear();

  // Other graphs of the wrong kind find no table: empty series.
  for (int kind : {3, 7, 8, 9}) {
    FillSlots(-1);
    RSquare = 0.5;
    data.LoadGraphSeries(kind);
    EXPECT_EQ(data.NrOfData, 0);
    EXPECT_TRUE(data.SerialNr.empty() && data.SeriesT.empty() && data.SeriesD.empty());
    EXPECT_EQ(RSquare, 0);
  }
  Open("basin.out", CrLf(AnalysisResultsLines()));
  for (int kind : {2, 4, 5}) {
    FillSlots(-1);
    data.LoadGraphSeries(kind);
    EXPECT_EQ(data.NrOfData, 0);
    EXPECT_TRUE(data.SerialNr.empty() && data.SeriesT.empty() && data.SeriesC.empty());
  }
  EXPECT_TRUE(dialogs.messages.empty());

  // A kind that does not exist reads nothing.
  FillSlots(-1);
  data.LoadGraphSeries(6);
  EXPECT_EQ(data.NrOfData, 2);
  EXPECT_EQ(data.SeriesT, (DataArrayR{-1, -1}));
}

TEST_F(OutputFiles, Inspection) {
  Open("drain.out", CrLf(PredictionResultsLines(true)));
  data.Analysis = true;
  data.Drainage = false;
  data.InspectOutputFile();
  EXPECT_EQ(data.Title1, "Layout basin");
  EXPECT_EQ(data.Title2, "hand-made records");
  EXPECT_EQ(data.ResultsMarker, "PRED");
  EXPECT_FALSE(data.Analysis);
  EXPECT_TRUE(data.Drainage);

  Open("runoff.out", CrLf(PredictionResultsLines(false)));
  data.InspectOutputFile();
  EXPECT_EQ(data.ResultsMarker, "PRED");
  EXPECT_FALSE(data.Drainage);

  // An analysis results file is told by its marker and leaves the mode of
  // the data set alone, also right after a prediction.
  Open("basin.out", CrLf(AnalysisResultsLines()));
  data.Analysis = false;
  data.Drainage = true;
  data.InspectOutputFile();
  EXPECT_EQ(data.Title1, "Basin A");
  EXPECT_EQ(data.Title2, "analysis titles");
  EXPECT_EQ(data.ResultsMarker, "RECO");
  EXPECT_FALSE(data.Analysis);
  EXPECT_TRUE(data.Drainage);

  // A line beginning with PRED that is not the prediction title.
  auto lines = AnalysisResultsLines();
  lines[3] = "PREDICTED flows";
  Open("odd.out", CrLf(lines));
  data.InspectOutputFile();
  EXPECT_EQ(data.ResultsMarker, "RECO");
  EXPECT_TRUE(data.Drainage);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(OutputFiles, OutputLines) {
  Open("basin.out", CrLf(AnalysisResultsLines()));
  data.LoadOutputLines(data.FileName);
  EXPECT_EQ(data.OutLines, AnalysisResultsLines());
  EXPECT_EQ(data.OutLineCount, 29);

  // Line ends of any kind; the last line without one still counts.
  Open("mixed.out", "one\ntwo\r\n\r\nlast");
  data.LoadOutputLines(data.FileName);
  EXPECT_EQ(data.OutLines, (LineSet{"one", "two", "", "last"}));
  EXPECT_EQ(data.OutLineCount, 4);

  // An empty file: no lines, the earlier ones stay.
  Open("empty.out", "");
  data.LoadOutputLines(data.FileName);
  EXPECT_EQ(data.OutLineCount, 0);
  EXPECT_EQ(data.OutLines, (LineSet{"one", "two", "", "last"}));
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(OutputFiles, FilesThatCannotBeOpened) {
  const std::string name = dir.File("gone.out");
  data.FileName = data.OutFileName = name;
  data.OutLines = {"kept"};
  data.OutLineCount = 1;
  data.Title1 = "title";
  data.ResultsMarker = "RECO";
  FillSlots(-1);

  data.LoadOutputLines(name);
  data.InspectOutputFile();
  data.LoadGraphSeries(2);
  EXPECT_EQ(dialogs.messages,
            (std::vector<std::string>{
                "The file \"" + name +
                    "\" could not be opened.  It may be damaged,  not created due to inadequate "
                    "input data,  in use by another program.",
                "The file \"" + name +
                    "\"could not be opened. It may be damaged,  not created due to inadequateinput "
                    "data, or in use by another program.",
                "The file \"" + name +
                    "\"could not be opened. It may be damaged,  not created due to inadequateinput "
                    "data, or in use by another program."}));
  EXPECT_EQ(data.OutLines, (LineSet{"kept"}));
  EXPECT_EQ(data.OutLineCount, 1);
  EXPECT_EQ(data.Title1, "title");
  EXPECT_EQ(data.ResultsMarker, "RECO");
  EXPECT_EQ(data.NrOfData, 2);
  EXPECT_EQ(data.SeriesT, (DataArrayR{-1, -1}));
  EXPECT_EQ(RSquare, -99);
}

// A damaged number in the table: the records before it stay, R square is 0.
TEST_F(OutputFiles, ReadErrorKeepsTheRecordsReadSoFar) {
  auto lines = AnalysisResultsLines();
  lines[23] = " 4        4.00      3.00      x.xx      1.00     0.395      1.12";
  Open("damaged.out", CrLf(lines));
  data.LoadGraphSeries(7);
  EXPECT_EQ(data.NrOfData, 3);
  EXPECT_EQ(data.SerialNr, (DataArrayI{1, 2, 3}));
  EXPECT_EQ(data.SeriesC, (DataArrayR{0.5, 3.15, 0.59}));
  EXPECT_EQ(data.SeriesT, data.SeriesD);
  EXPECT_EQ(RSquare, 0);

  lines = AnalysisResultsLines();
  lines[27] = "Coefficient of explanation R square is:   n.a.";
  Open("nosquare.out", CrLf(lines));
  RSquare = 0.5;
  data.LoadGraphSeries(1);
  EXPECT_EQ(data.NrOfData, 5);
  EXPECT_EQ(AlphaA, 0.0995);
  EXPECT_EQ(RSquare, 0);
  EXPECT_TRUE(dialogs.messages.empty());
}

// Results files of the two runs of the program itself.
class RunResults : public OutputFiles {
 protected:
  // The analysis writer on a real data set, with a fixed alpha function in
  // place of the search.
  std::string AnalysisResults(const std::string& example) {
    std::filesystem::copy_file(ExampleDataFile(example + ".inp"), dir.File(example + ".inp"));
    TDMTevlora run;
    run.Dialogs = &dialogs;
    run.FileName = dir.File(example + ".inp");
    RegressionOff = true;
    ReadAndCheck(run);
    EXPECT_TRUE(VariationOk && StorageOk && !TimeSequenceError);
    CalcRunoff[1] = MeasRunoff[1];
    RouteMainReservoir(0.05, 0.01);
    BestA = 0.05;
    BestC = 0.01;
    SumSq = 2;
    RSquare = 0.875;
    WriteAnalysisResults(run);
    return ReadFileBytes(dir.File(example + ".out"));
  }

  std::string PredictionResults(const std::string& example) {
    for (const char* extension : {".inp", ".par"}) {
      if (std::filesystem::exists(ExampleDataFile(example + extension))) {
        std::filesystem::copy_file(ExampleDataFile(example + extension),
                                   dir.File(example + extension));
      }
    }
    TDMTevlora run;
    run.Dialogs = &dialogs;
    run.FileName = dir.File(example + ".inp");
    EXPECT_TRUE(run.ReadInputFile());
    PredictTimeError = false;
    RunPrediction(run);
    EXPECT_FALSE(PredictTimeError);
    return ReadFileBytes(dir.File(example + ".out"));
  }
};

TEST_F(RunResults, AnalysisWriter) {
  const std::string text = AnalysisResults("hupsel_h_jan2011_storms");
  const int n = RunCount;
  ASSERT_GT(n, 10);
  Open("storms.out", text);
  for (int kind : {1, 3, 7, 8, 9}) {
    SCOPED_TRACE(kind);
    AlphaA = AlphaC = RSquare = -99;
    data.LoadGraphSeries(kind);
    ASSERT_EQ(data.NrOfData, n);
    for (int i = 0; i < n; ++i) {
      ASSERT_EQ(data.SerialNr[i], RunSerial[i + 1]);
      // Two decimals in the file.
      ASSERT_NEAR(data.SeriesT[i], kind == 7 ? MeasRunoff[i + 1] : RunTime[i + 1], 0.0051);
      ASSERT_NEAR(data.SeriesA[i], RunRain[i + 1], 0.0051);
      ASSERT_NEAR(data.SeriesB[i], Recharge[i + 1], 0.0051);
      ASSERT_NEAR(data.SeriesD[i], MeasRunoff[i + 1], 0.0051);
      ASSERT_NEAR(data.SeriesC[i], CalcRunoff[i + 1], 0.0051);
    }
    EXPECT_EQ(AlphaA, kind == 1 ? 0.05 : -99);
    EXPECT_EQ(AlphaC, kind == 1 ? 0.01 : -99);
    EXPECT_EQ(RSquare, kind == 1 || kind == 7 ? 0.875 : -99);
  }
  data.InspectOutputFile();
  EXPECT_EQ(data.ResultsMarker, "RECO");
  data.LoadOutputLines(data.FileName);
  EXPECT_EQ(data.OutLineCount, n + 24);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(RunResults, PredictionWriter) {
  for (const std::string example : {"hupsel_h_dec2012_pred_runoff", "hupsel_h_dec2012_pred_drain"}) {
    SCOPED_TRACE(example);
    Open(example + "_copy.out", PredictionResults(example));
    const bool drainage = example.ends_with("drain");
    AlphaA = -99;
    for (int kind : {2, 4, 5}) {
      SCOPED_TRACE(kind);
      data.LoadGraphSeries(kind);
      ASSERT_EQ(data.NrOfData, 480);
      ASSERT_EQ(data.SerialNr.size(), 480u);
      EXPECT_EQ(data.SerialNr.back(), 480);
      EXPECT_EQ(data.SeriesT.back(), 480);
      for (int i = 0; i < 480; ++i) {
        ASSERT_NEAR(kind == 2 ? data.SeriesC[i] : data.SeriesA[i], PredDischarge[i + 1], 0.0051);
        ASSERT_NEAR(data.SeriesD[i], PredAlpha[i + 1], 0.00051);
        if (kind != 2) {
          ASSERT_NEAR(data.SeriesF[i], PredLevel[i + 1], 0.0051);
        }
      }
    }
    EXPECT_EQ(data.Drainage, drainage);
    EXPECT_EQ(AlphaA, drainage ? 0.05 : 0.0995);
    data.LoadGraphSeries(1);
    EXPECT_EQ(dialogs.messages, (std::vector<std::string>{"Please check the runoff/discharge data"}));
    dialogs.messages.clear();
    data.LoadOutputLines(data.FileName);
    EXPECT_EQ(data.OutLineCount, 480 + 21);
  }
}

// The reading never goes beyond what the file holds, whatever the file.
void ExpectConsistent(const TDMTevlora& data) {
  const auto n = static_cast<std::size_t>(data.NrOfData);
  ASSERT_GE(data.NrOfData, 0);
  ASSERT_EQ(data.SerialNr.size(), n);
  for (const DataArrayR* slot :
       {&data.SeriesT, &data.SeriesA, &data.SeriesB, &data.SeriesC, &data.SeriesD}) {
    ASSERT_EQ(slot->size(), n);
  }
}

// Every kind of reading on `text`; returns the most records any kind found.
int ReadEveryWay(TDMTevlora& data, const std::string& text) {
  WriteFileBytes(data.OutFileName, text);
  data.LoadOutputLines(data.OutFileName);
  data.InspectOutputFile();
  int most = 0;
  for (int kind : kAllKinds) {
    data.NrOfData = 0;
    data.SerialNr.clear();
    for (DataArrayR* slot : {&data.SeriesT, &data.SeriesA, &data.SeriesB, &data.SeriesC,
                             &data.SeriesD, &data.SeriesF}) {
      slot->clear();
    }
    data.LoadGraphSeries(kind);
    ExpectConsistent(data);
    most = std::max(most, data.NrOfData);
  }
  return most;
}

// Results files cut after every line and inside every line: never more
// records than the cut file holds complete.
TEST_F(RunResults, TruncatedFiles) {
  struct TCase {
    std::string text;
    int records;
  };
  const TCase cases[] = {{AnalysisResults("hupsel_h_jan2011_storms"), RunCount},
                         {PredictionResults("hupsel_h_dec2012_pred_runoff"), 480}};
  const int firstRecordLine = 20;  // 0-based, in both layouts
  data.FileName = data.OutFileName = dir.File("cut.out");
  for (const TCase& c : cases) {
    std::vector<std::size_t> lineEnds;
    for (std::size_t at = c.text.find("\r\n"); at != std::string::npos;
         at = c.text.find("\r\n", at + 2)) {
      lineEnds.push_back(at + 2);
    }
    for (std::size_t line = 0; line < lineEnds.size(); ++line) {
      const std::size_t start = line == 0 ? 0 : lineEnds[line - 1];
      const int complete = std::clamp(static_cast<int>(line) - firstRecordLine, 0, c.records);
      for (std::size_t cut : {start, (start + lineEnds[line]) / 2}) {
        SCOPED_TRACE(cut);
        RSquare = 0.5;
        EXPECT_LE(ReadEveryWay(data, c.text.substr(0, cut)), complete);
        if (static_cast<int>(line) <= firstRecordLine) {
          EXPECT_EQ(RSquare, 0);
        }
      }
    }
    EXPECT_EQ(ReadEveryWay(data, c.text), c.records);
  }
  EXPECT_TRUE(dialogs.messages.size() > 0);  // the refusals of kind 1
  for (const auto& message : dialogs.messages) {
    EXPECT_EQ(message, "Please check the runoff/discharge data");
  }
}

TEST_F(OutputFiles, EmptyAndRandomFiles) {
  data.FileName = data.OutFileName = dir.File("noise.out");
  EXPECT_EQ(ReadEveryWay(data, ""), 0);
  EXPECT_EQ(data.OutLineCount, 0);
  EXPECT_EQ(RSquare, 0);

  std::mt19937 random(20240613);
  const std::string alphabet = "0123456789 .-E\r\nPREDICTONabcquRSK";
  const std::string real = CrLf(AnalysisResultsLines()) + CrLf(PredictionResultsLines(true));
  for (int round = 0; round < 300; ++round) {
    std::string text;
    if (round % 3 == 0) {
      text.resize(random() % 3000);
      for (char& c : text) c = static_cast<char>(random() % 256);
    } else if (round % 3 == 1) {
      text.resize(random() % 3000);
      for (char& c : text) c = alphabet[random() % alphabet.size()];
    } else {
      // A real file with some bytes changed.
      text = real;
      for (int k = 0; k < 8; ++k) {
        text[random() % text.size()] = alphabet[random() % alphabet.size()];
      }
    }
    SCOPED_TRACE(round);
    ReadEveryWay(data, text);
  }
}

}  // namespace
