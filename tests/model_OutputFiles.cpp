// Results files read back: lines for the output tab, the inspection of their
// kind, and the graph series of every graph kind.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "TestSupport.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UPrediction.h"
#include "URainRun.h"
#include "USession.h"

namespace {

const std::string kDashes(64, '-');
const std::string kRefusal = "Please check the runoff/discharge data";

// An analysis results file made by hand in the layout of the analysis run.
std::vector<std::string> AnalysisLines() {
  const std::string pad8(8, ' ');
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
          kDashes,
          "Serial    Time      Rain    Recharge   Runoff    Alpha    Runoff",
          " No.                         calc.     meas.     calc.    calc. ",
          std::string(10, ' ') + "--" + pad8 + "--" + pad8 + "--" + pad8 + "--" +
              std::string(18, ' ') + "--",
          kDashes,
          " 1        1.00      2.00      0.00      0.50     0.000      0.50",
          " 2        2.00     10.00      5.76      3.00     0.600      3.15",
          " 3        3.00      0.00      0.00      0.90     1.674      0.59",
          " 4        4.00      3.00      2.22      1.00     0.395      1.12",
          " 5        5.00      0.00      0.00      0.70     0.123      0.80",
          kDashes,
          "Stand. dev. of calc. from meas. runoff:   0.123",
          "Coefficient of explanation R square is:   0.950",
          ""};
}

class OutputFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    data.Dialogs = &dialogs;
    data.Values.AlphaA = data.Values.AlphaC = data.Values.RSquare = -99;
  }

  // `text` as the results file the open commands name.
  void Open(const std::string& text) {
    data.FileName = data.OutFileName = dir.File("opened.out");
    WriteFileBytes(data.OutFileName, text);
  }

  void FillSlots() {
    data.NrOfData = 2;
    data.SerialNr = {7, 8};
    for (DataArrayR* slot : Slots()) *slot = {-1, -1};
  }
  std::vector<DataArrayR*> Slots() {
    return {&data.SeriesT, &data.SeriesA, &data.SeriesB,
            &data.SeriesC, &data.SeriesD, &data.SeriesF};
  }

  // The analysis writer on a real data set, with a fixed alpha function in
  // place of the search.
  std::string AnalysisResults() {
    const std::string name = dir.File("storms.inp");
    std::filesystem::copy_file(ExampleDataFile("hupsel_h_jan2011_storms.inp"), name);
    written = TSession{};
    TDMTevlora& input = written.Data;
    TAnalysisRun& run = written.Run;
    input.FileName = name;
    run.RegressionOff = true;
    ReadAndCheck(input, run);
    run.CalcRunoff[1] = run.MeasRunoff[1];
    RouteMainReservoir(run, 0.05, 0.01);
    run.BestA = 0.05;
    run.BestC = 0.01;
    input.Values.RSquare = 0.875;
    WriteAnalysisResults(input, run);
    return ReadFileBytes(ChangeFileExt(name, ".out"));
  }

  std::string PredictionResults(const std::string& stem) {
    for (const char* extension : {".inp", ".par"}) {
      if (std::filesystem::exists(ExampleDataFile(stem + extension))) {
        std::filesystem::copy_file(ExampleDataFile(stem + extension), dir.File(stem + extension));
      }
    }
    written = TSession{};
    TDMTevlora& input = written.Data;
    input.FileName = dir.File(stem + ".inp");
    EXPECT_TRUE(input.ReadInputFile());
    RunPrediction(input, written.Prediction);
    return ReadFileBytes(dir.File(stem + ".out"));
  }

  TTemporaryDirectory dir;
  TRecordingDialogs dialogs;
  TDMTevlora data;
  // The session that wrote the last results file, kept to compare with.
  TSession written;
};

TEST_F(OutputFiles, AnalysisSlotsOfEveryKind) {
  Open(CrLf(AnalysisLines()));
  const DataArrayR time = {1, 2, 3, 4, 5}, measured = {0.5, 3, 0.9, 1, 0.7};
  for (int kind : {1, 3, 7, 8, 9}) {
    SCOPED_TRACE(kind);
    FillSlots();
    data.Values.AlphaA = data.Values.AlphaC = data.Values.RSquare = -99;
    data.LoadGraphSeries(kind);
    EXPECT_EQ(data.NrOfData, 5);
    EXPECT_EQ(data.SerialNr, (DataArrayI{1, 2, 3, 4, 5}));
    EXPECT_EQ(data.SeriesT, kind == 7 ? measured : time);
    EXPECT_EQ(data.SeriesA, (DataArrayR{2, 10, 0, 3, 0}));
    EXPECT_EQ(data.SeriesB, (DataArrayR{0, 5.76, 0, 2.22, 0}));
    EXPECT_EQ(data.SeriesD, measured);
    EXPECT_EQ(data.SeriesC, (DataArrayR{0.5, 3.15, 0.59, 1.12, 0.8}));
    EXPECT_EQ(data.SeriesF, (DataArrayR{-1, -1}));
    EXPECT_EQ(data.Values.AlphaA, kind == 1 ? 0.0995 : -99);
    EXPECT_EQ(data.Values.AlphaC, kind == 1 ? -0.5 : -99);
    EXPECT_EQ(data.Values.RSquare, kind == 1 || kind == 7 ? 0.95 : -99);
  }
  // Without the equation on line 10 the coefficients stand on line 12.
  auto lines = AnalysisLines();
  lines.erase(lines.begin() + 8);
  Open(CrLf(lines));
  data.LoadGraphSeries(1);
  EXPECT_EQ(data.Values.AlphaA, 0.0995);
  EXPECT_EQ(data.NrOfData, 5);

  // Titles are the user's text, even when they begin like a marker.
  lines = AnalysisLines();
  lines[2] = "PREDICTION drainage: basin A";
  lines[3] = "RECONSTRUCTED flows";
  Open(CrLf(lines));
  data.Analysis = true;
  data.InspectOutputFile();
  EXPECT_EQ(data.ResultsMarker, "RECO");
  EXPECT_TRUE(data.Analysis);
  data.LoadGraphSeries(1);
  EXPECT_EQ(data.SerialNr, (DataArrayI{1, 2, 3, 4, 5}));
  EXPECT_EQ(data.Values.RSquare, 0.95);

  // Prediction graphs find no prediction table: empty series.
  for (int kind : {2, 4, 5}) {
    FillSlots();
    data.LoadGraphSeries(kind);
    EXPECT_EQ(data.NrOfData, 0);
    EXPECT_TRUE(data.SerialNr.empty() && data.SeriesT.empty() && data.SeriesC.empty());
    EXPECT_EQ(data.Values.RSquare, 0);
  }
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(OutputFiles, AnalysisWriter) {
  Open(AnalysisResults());
  const int n = written.Run.RunCount;
  for (int kind : {1, 3, 7, 8, 9}) {
    SCOPED_TRACE(kind);
    data.Values.AlphaA = data.Values.AlphaC = data.Values.RSquare = -99;
    data.LoadGraphSeries(kind);
    ASSERT_EQ(data.NrOfData, n);
    for (int i = 0; i < n; ++i) {  // two decimals in the file
      ASSERT_EQ(data.SerialNr[i], written.Run.RunSerial[i + 1]);
      ASSERT_NEAR(data.SeriesT[i],
                  kind == 7 ? written.Run.MeasRunoff[i + 1] : written.Run.RunTime[i + 1], 0.0051);
      ASSERT_NEAR(data.SeriesB[i], written.Run.Recharge[i + 1], 0.0051);
      ASSERT_NEAR(data.SeriesC[i], written.Run.CalcRunoff[i + 1], 0.0051);
    }
    EXPECT_EQ(data.Values.AlphaA, kind == 1 ? 0.05 : -99);
    EXPECT_EQ(data.Values.AlphaC, kind == 1 ? 0.01 : -99);
    EXPECT_EQ(data.Values.RSquare, kind == 1 || kind == 7 ? 0.875 : -99);
  }
  // Told by its marker; the run mode of the data set stays as it was.
  data.Analysis = false;
  data.Drainage = true;
  data.InspectOutputFile();
  EXPECT_EQ(data.ResultsMarker, "RECO");
  EXPECT_FALSE(data.Analysis);
  EXPECT_TRUE(data.Drainage);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(OutputFiles, PredictionWriter) {
  for (const std::string stem : {"hupsel_h_dec2012_pred_runoff", "hupsel_h_dec2012_pred_drain"}) {
    SCOPED_TRACE(stem);
    const bool drainage = stem.ends_with("drain");
    Open(PredictionResults(stem));
    data.Values.AlphaA = data.Values.AlphaC = -99;
    data.Analysis = true;
    data.Drainage = !drainage;
    for (int kind : {2, 4, 5}) {
      SCOPED_TRACE(kind);
      FillSlots();
      data.LoadGraphSeries(kind);
      ASSERT_EQ(data.NrOfData, 480);
      EXPECT_EQ(data.SerialNr.back(), 480);
      // Order 1 (kind 2): rain A, runoff C; order 2: rain C, runoff A, level F.
      const DataArrayR& rain = kind == 2 ? data.SeriesA : data.SeriesC;
      const DataArrayR& runoff = kind == 2 ? data.SeriesC : data.SeriesA;
      for (int i = 0; i < 480; ++i) {
        ASSERT_EQ(data.SeriesT[i], written.Prediction.PredTime[i + 1]);
        ASSERT_NEAR(rain[i], written.Prediction.PredRain[i + 1], 0.0051);
        ASSERT_NEAR(data.SeriesB[i], written.Prediction.PredRecharge[i + 1], 0.0051);
        ASSERT_NEAR(data.SeriesD[i], written.Prediction.PredAlpha[i + 1], 0.00051);
        ASSERT_NEAR(runoff[i], written.Prediction.PredDischarge[i + 1], 0.0051);
        if (kind != 2) {
          ASSERT_NEAR(data.SeriesF[i], written.Prediction.PredLevel[i + 1], 0.0051);
        }
      }
      if (kind == 2) {
        EXPECT_EQ(data.SeriesF, (DataArrayR{-1, -1}));
      }
      EXPECT_EQ(data.Drainage, kind == 5 ? drainage : !drainage);
    }
    EXPECT_EQ(data.Values.AlphaA, drainage ? 0.05 : 0.0995);

    FillSlots();
    data.LoadGraphSeries(1);
    EXPECT_EQ(dialogs.messages, (std::vector<std::string>{kRefusal}));
    EXPECT_EQ(data.SerialNr, (DataArrayI{7, 8}));
    dialogs.messages.clear();
    for (int kind : {3, 7, 8, 9}) {
      data.LoadGraphSeries(kind);
      EXPECT_EQ(data.NrOfData, 0);
      EXPECT_TRUE(data.SeriesT.empty());
    }

    data.InspectOutputFile();
    EXPECT_EQ(data.ResultsMarker, "PRED");
    EXPECT_FALSE(data.Analysis);
    EXPECT_EQ(data.Drainage, drainage);
    EXPECT_EQ(data.Title1.substr(0, 22), "Hupsel Brook catchment");
    data.LoadOutputLines(data.FileName);
    EXPECT_EQ(data.OutLineCount, 480 + 21);
  }
}

TEST_F(OutputFiles, OutputLines) {
  Open(CrLf(AnalysisLines()));
  data.LoadOutputLines(data.FileName);
  EXPECT_EQ(data.OutLines, AnalysisLines());
  EXPECT_EQ(data.OutLineCount, 29);
  Open("one\ntwo\r\n\r\nlast");
  data.LoadOutputLines(data.FileName);
  EXPECT_EQ(data.OutLines, (LineSet{"one", "two", "", "last"}));
  // An empty file: no lines, the earlier ones stay.
  Open("");
  data.LoadOutputLines(data.FileName);
  EXPECT_EQ(data.OutLineCount, 0);
  EXPECT_EQ(data.OutLines.size(), 4u);
}

TEST_F(OutputFiles, FilesThatCannotBeOpened) {
  const std::string name = dir.File("gone.out");
  data.FileName = data.OutFileName = name;
  data.OutLines = {"kept"};
  data.Title1 = "title";
  FillSlots();
  data.LoadOutputLines(name);
  data.InspectOutputFile();
  data.LoadGraphSeries(2);
  const std::string results = "The file \"" + name +
                              "\"could not be opened. It may be damaged,  not created due to "
                              "inadequateinput data, or in use by another program.";
  EXPECT_EQ(dialogs.messages,
            (std::vector<std::string>{"The file \"" + name +
                                          "\" could not be opened.  It may be damaged,  not "
                                          "created due to inadequate input data,  in use by "
                                          "another program.",
                                      results, results}));
  EXPECT_EQ(data.OutLines, (LineSet{"kept"}));
  EXPECT_EQ(data.Title1, "title");
  EXPECT_EQ(data.NrOfData, 2);
  EXPECT_EQ(data.SeriesT, (DataArrayR{-1, -1}));
}

// A damaged number: the records before it stay, R square is 0.
TEST_F(OutputFiles, ReadErrorKeepsTheRecordsReadSoFar) {
  auto lines = AnalysisLines();
  lines[23] = " 4        4.00      3.00      x.xx      1.00     0.395      1.12";
  Open(CrLf(lines));
  data.LoadGraphSeries(7);
  EXPECT_EQ(data.NrOfData, 3);
  EXPECT_EQ(data.SeriesC, (DataArrayR{0.5, 3.15, 0.59}));
  EXPECT_EQ(data.SeriesT, data.SeriesD);
  EXPECT_EQ(data.Values.RSquare, 0);

  lines = AnalysisLines();
  lines[27] = "Coefficient of explanation R square is:   n.a.";
  Open(CrLf(lines));
  data.Values.RSquare = 0.5;
  data.LoadGraphSeries(1);
  EXPECT_EQ(data.NrOfData, 5);
  EXPECT_EQ(data.Values.AlphaA, 0.0995);
  EXPECT_EQ(data.Values.RSquare, 0);
}

// Every reading of `text`; returns the most records a graph kind found, and
// checks that the series never claim more than they hold.
int ReadEveryWay(TDMTevlora& data, const std::string& text) {
  WriteFileBytes(data.OutFileName, text);
  data.LoadOutputLines(data.OutFileName);
  data.InspectOutputFile();
  int most = 0;
  for (int kind : {1, 2, 3, 4, 5, 7, 8, 9}) {
    data.NrOfData = 0;
    data.SerialNr.clear();
    data.SeriesT.clear();
    data.LoadGraphSeries(kind);
    EXPECT_EQ(data.SerialNr.size(), static_cast<std::size_t>(data.NrOfData));
    for (const DataArrayR* slot :
         {&data.SeriesT, &data.SeriesA, &data.SeriesB, &data.SeriesC, &data.SeriesD}) {
      if (data.NrOfData > 0) {
        EXPECT_EQ(slot->size(), static_cast<std::size_t>(data.NrOfData));
      }
    }
    most = std::max(most, data.NrOfData);
  }
  return most;
}

// Results files of both runs cut after and inside every line: never more
// records than the cut file holds complete. Then empty and random files.
TEST_F(OutputFiles, DamagedFilesNeverCrash) {
  const std::pair<std::string, int> files[] = {
      {AnalysisResults(), written.Run.RunCount},
      {PredictionResults("hupsel_h_dec2012_pred_runoff"), 480}};
  data.OutFileName = dir.File("cut.out");
  for (const auto& [text, records] : files) {
    std::size_t start = 0;
    for (int line = 0; start < text.size(); ++line) {
      const std::size_t end = text.find("\r\n", start) + 2;
      const int complete = std::clamp(line - 20, 0, records);  // first record: line 21
      for (std::size_t cut : {start, (start + end) / 2}) {
        data.Values.RSquare = 0.5;
        ASSERT_LE(ReadEveryWay(data, text.substr(0, cut)), complete) << cut;
        if (line <= 20) {
          ASSERT_EQ(data.Values.RSquare, 0) << cut;
        }
      }
      start = end;
    }
    EXPECT_EQ(ReadEveryWay(data, text), records);
  }
  for (const auto& message : dialogs.messages) EXPECT_EQ(message, kRefusal);

  EXPECT_EQ(ReadEveryWay(data, ""), 0);
  EXPECT_EQ(data.OutLineCount, 0);
  EXPECT_EQ(data.Values.RSquare, 0);
  std::mt19937 random(20240613);
  const std::string alphabet = "0123456789 .-E\r\nPREDICTONRSquare";
  const std::string real = CrLf(AnalysisLines()) + files[1].first.substr(0, 3000);
  for (int round = 0; round < 300; ++round) {
    std::string text = real;
    if (round % 3 == 2) {
      for (int k = 0; k < 8; ++k)
        text[random() % text.size()] = alphabet[random() % alphabet.size()];
    } else {
      text.resize(random() % 3000);
      for (char& c : text) {
        c = round % 3 == 0 ? static_cast<char>(random() % 256)
                           : alphabet[random() % alphabet.size()];
      }
    }
    ReadEveryWay(data, text);
  }
}

}  // namespace
