// Graphs of real results files: the example data sets run through the
// analysis and the prediction, read back as the graphics tab reads them, and
// drawn in both variants.
#include <gtest/gtest.h>

#include <cmath>

#include "UGraphDraw.h"
#include "UTevloraUtils.h"
#include "graphs_Support.h"

namespace {
using namespace GraphColour;

class GraphRealFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory_ = new TTemporaryDirectory;
    analysis_ = RunExample(*directory_, "hupsel_h_jan2011_storms");
    drainage_ = RunExample(*directory_, "hupsel_h_dec2012_pred_drain");
    runoff_ = RunExample(*directory_, "hupsel_h_dec2012_pred_runoff");
  }
  static void TearDownTestSuite() {
    delete directory_;
    directory_ = nullptr;
  }
  void SetUp() override {
    EnsureGuiApplication();
    ASSERT_TRUE(std::filesystem::exists(analysis_.ResultsFile));
    ASSERT_TRUE(std::filesystem::exists(drainage_.ResultsFile));
    ASSERT_TRUE(std::filesystem::exists(runoff_.ResultsFile));
  }

  // What "Make graph" and "Go" do before the drawing.
  TDMTevlora Load(const std::string& resultsFile, int graphKind) {
    TDMTevlora data;
    data.Dialogs = &dialogs_;
    data.FileName = resultsFile;
    data.OutFileName = resultsFile;
    data.InspectOutputFile();
    if (graphKind == 8) ReadTrendFile(data.FileName);
    data.LoadGraphSeries(graphKind);
    return data;
  }

  static void ExpectGraphLayout(const QImage& image, bool colour) {
    ASSERT_EQ(image.size(), QSize(623, 465));
    const QColor plot = colour ? kNavy : kWhite;
    const QColor plain = colour ? kWhite : kBlack;
    EXPECT_EQ(PixelAt(image, 5, 5), kSilver);
    EXPECT_EQ(PixelAt(image, 615, 200), kSilver);
    EXPECT_EQ(PixelAt(image, 600, 440), plot);
    EXPECT_EQ(PixelAt(image, 70, 85), plain);
    EXPECT_EQ(PixelAt(image, 70, 389), plain);
    EXPECT_EQ(PixelAt(image, 560, 390), plain);
    EXPECT_EQ(ForeignPixels(image, colour), 0);
  }

  static inline TTemporaryDirectory* directory_ = nullptr;
  static inline TExampleResults analysis_;
  static inline TExampleResults drainage_;
  static inline TExampleResults runoff_;
  TRecordingDialogs dialogs_;
};

TEST_F(GraphRealFiles, AnalysisResultsInEveryAnalysisKind) {
  for (const int kind : {1, 3, 7, 8, 9}) {
    for (const bool colour : {true, false}) {
      SCOPED_TRACE("kind " + std::to_string(kind) + (colour ? " colour" : " black-and-white"));
      const TDMTevlora data = Load(analysis_.ResultsFile, kind);
      EXPECT_EQ(data.NrOfData, analysis_.Records);
      const QImage image = DrawGraph(data, kind, colour);
      ExpectGraphLayout(image, colour);
      if (colour && (kind == 1 || kind == 7)) {
        EXPECT_GT(CountColour(image, kCyan), 0);
      }
      if (colour && kind == 3) {
        EXPECT_GT(CountColour(image, kSkyBlue), 0);
      }
    }
  }
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(GraphRealFiles, RSquareOfTheFileIsShown) {
  const TDMTevlora data = Load(analysis_.ResultsFile, 1);
  ASSERT_GT(RSquare, 0.5);  // the storms are reconstructed well
  const QImage image = DrawGraph(data, 1, true);
  EXPECT_GT(CountColour(image, kWhite, 445, 60, 600, 74), 0);
}

TEST_F(GraphRealFiles, DischargeRechargeUsesTheTrendFileOfTheRun) {
  const TDMTevlora data = Load(analysis_.ResultsFile, 8);
  const QImage image = DrawGraph(data, 8, true);
  EXPECT_TRUE(TrendComputed);
  if (QuadTrendValid) {
    EXPECT_GT(CountColour(image, kYellow), 0);
  } else {
    EXPECT_EQ(CountColour(image, kYellow), 0);
  }
  // The graph's regression is the analysis's linear trend (line 2 of the
  // trend file), up to the two decimals of the results table.
  TTextReader trendFile(ReadFileBytes(ChangeFileExt(analysis_.ResultsFile, ".dat")));
  trendFile.SkipLine();
  trendFile.ReadChars(3);
  const double linearA = trendFile.ReadReal();
  EXPECT_NEAR(TrendSlope, linearA, 0.02 * std::abs(linearA));
}

TEST_F(GraphRealFiles, PredictionResultsInEveryPredictionKind) {
  for (const auto* results : {&drainage_, &runoff_}) {
    for (const int kind : {2, 4, 5}) {
      for (const bool colour : {true, false}) {
        SCOPED_TRACE(results->ResultsFile + " kind " + std::to_string(kind) +
                     (colour ? " colour" : " black-and-white"));
        const TDMTevlora data = Load(results->ResultsFile, kind);
        EXPECT_EQ(data.NrOfData, results->Records);
        ExpectGraphLayout(DrawGraph(data, kind, colour), colour);
      }
    }
  }
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(GraphRealFiles, WaterTableOrStorageFollowsTheResultsFile) {
  const TDMTevlora drainage = Load(drainage_.ResultsFile, 5);
  EXPECT_TRUE(drainage.Drainage);
  DrawGraph(drainage, 5, true);
  EXPECT_EQ(YTitle.rfind("Water table height", 0), 0u);
  const TDMTevlora runoff = Load(runoff_.ResultsFile, 5);
  EXPECT_FALSE(runoff.Drainage);
  DrawGraph(runoff, 5, true);
  EXPECT_EQ(YTitle.rfind(" Reservoir storage", 0), 0u);
}

}  // namespace
