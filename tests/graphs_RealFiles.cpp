// Graphs of real results files: example data sets run through the analysis
// and both predictions, read back as the graphics tab reads them, and drawn.
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
  static void TearDownTestSuite() { delete directory_; }
  void SetUp() override { EnsureGuiApplication(); }

  // "Make graph" and "Go", then the drawing; checks what every graph shows.
  QImage Graph(const TExampleResults& results, int kind, bool colour) {
    data_ = TDMTevlora();
    data_.Dialogs = &dialogs_;
    data_.FileName = data_.OutFileName = results.ResultsFile;
    data_.InspectOutputFile();
    if (kind == 8) trend_ = ReadTrendFile(data_.FileName);
    data_.LoadGraphSeries(kind);
    EXPECT_EQ(data_.NrOfData, results.Records);
    TDrawnGraph drawn = DrawGraphAndLayout(data_, kind, colour);
    layout_ = std::move(drawn.Layout);
    const QImage& image = drawn.Image;
    EXPECT_EQ(image.pixelColor(5, 5), kSilver);
    EXPECT_EQ(image.pixelColor(600, 440), colour ? kNavy : kWhite);
    EXPECT_EQ(image.pixelColor(70, 85), colour ? kWhite : kBlack);
    EXPECT_EQ(image.pixelColor(560, 390), colour ? kWhite : kBlack);
    EXPECT_EQ(ForeignPixels(image, colour), 0);
    EXPECT_TRUE(dialogs_.messages.empty());
    return image;
  }

  static inline TTemporaryDirectory* directory_ = nullptr;
  static inline TExampleResults analysis_, drainage_, runoff_;
  TRecordingDialogs dialogs_;
  TDMTevlora data_;
  TTrendFileValues trend_;
  TGraphLayout layout_;  // of the last Graph
};

TEST_F(GraphRealFiles, EveryKindOfBothResultsFiles) {
  const std::pair<const TExampleResults*, int> graphs[] = {
      {&analysis_, 1}, {&analysis_, 3}, {&analysis_, 7}, {&analysis_, 8},
      {&analysis_, 9}, {&drainage_, 2}, {&drainage_, 4}, {&runoff_, 5}};
  for (const auto& [results, kind] : graphs) {
    for (const bool colour : {true, false}) {
      SCOPED_TRACE("kind " + std::to_string(kind) + (colour ? " colour" : " black-and-white"));
      Graph(*results, kind, colour);
    }
  }
}

TEST_F(GraphRealFiles, ValuesOfTheFileReachTheGraph) {
  EXPECT_GT(CountColour(Graph(analysis_, 1, true), kCyan), 0);
  ASSERT_GT(data_.Values.RSquare, 0.5);  // read back from the file; the storms fit well
  EXPECT_GT(CountColour(Graph(analysis_, 1, true), kWhite, 445, 60, 600, 74), 0);
  EXPECT_GT(CountColour(Graph(analysis_, 3, true), kSkyBlue), 0);

  // The regression of the graph is the analysis's linear trend (line 2 of the
  // trend file), up to the two decimals of the results table.
  const QImage trend = Graph(analysis_, 8, true);
  ASSERT_TRUE(layout_.TrendComputed);
  EXPECT_EQ(CountColour(trend, kYellow) > 0, trend_.QuadTrendValid);
  TTextReader trendFile(ReadFileBytes(ChangeFileExt(analysis_.ResultsFile, ".dat")));
  trendFile.SkipLine();
  trendFile.ReadChars(3);
  const double linearA = trendFile.ReadReal();
  EXPECT_NEAR(layout_.TrendSlope, linearA, 0.02 * std::abs(linearA));

  // Water table for the drainage prediction, storage for the runoff one.
  Graph(drainage_, 5, true);
  EXPECT_EQ(layout_.YTitle, "Water table height (predicted, mm)");
  Graph(runoff_, 5, true);
  EXPECT_EQ(layout_.YTitle.rfind(" Reservoir storage", 0), 0u);
}

}  // namespace
