// Graphs of different results files drawn side by side: step by step in
// turn, and on two threads at once. Each is the picture it is alone.
#include <gtest/gtest.h>

#include <latch>
#include <thread>

#include "UGraphDraw.h"
#include "UTevloraUtils.h"
#include "graphs_Support.h"

namespace {

class GraphLayout : public ::testing::Test {
 protected:
  void SetUp() override { EnsureGuiApplication(); }

  // An example results file (and its trend file, written first as a run
  // writes them) read as the graphics tab reads it for a graph of `kind`.
  TDMTevlora Loaded(const std::string& name, int kind) {
    const std::string results = directory_.File(name + ".out");
    WriteFileBytes(directory_.File(name + ".dat"), ReadFileBytes(ExampleDataFile(name + ".dat")));
    WriteFileBytes(results, ReadFileBytes(ExampleDataFile(name + ".out")));
    TDMTevlora data;
    data.Dialogs = &dialogs_;
    data.FileName = data.OutFileName = results;
    data.InspectOutputFile();
    data.LoadGraphSeries(kind);
    EXPECT_TRUE(dialogs_.messages.empty());
    return data;
  }

  TRecordingDialogs dialogs_;
  TTemporaryDirectory directory_;
};

// Kind 1 of the storms (runoff scaled by 10) and kind 8 of four years of
// daily values: different records, axes, scale factors and texts.
TEST_F(GraphLayout, GraphsOfTwoFilesDrawnInTurnAreEachThePictureDrawnAlone) {
  const TDMTevlora storms = Loaded("hupsel_h_jan2011_storms", 1);
  const QImage stormsAlone = DrawGraph(storms, 1, true);
  const TDMTevlora years = Loaded("spotpy_d_2013_2016_full", 8);
  const QImage yearsAlone = DrawGraph(years, 8, false);
  ASSERT_FALSE(stormsAlone == yearsAlone);

  // Every step of the one between two steps of the other.
  TGraphLayout a = PrepareAxes(storms, 1);
  TGraphLayout b = PrepareAxes(years, 8);
  MapToPixels(storms, 1, a);
  ComputeTrend(years, ReadTrendFile(years.FileName), b);
  SetAxisTitles(a, 1, storms.Drainage);
  MapToPixels(years, 8, b);
  SetAxisTitles(b, 8, years.Drainage, false);
  b.ColourGraph = false;
  EXPECT_TRUE(DrawGraph(years, b) == yearsAlone);
  EXPECT_TRUE(DrawGraph(storms, a) == stormsAlone);

  // Whole drawings in turn, each laid out before the other is drawn.
  const TGraphLayout first = LayoutGraph(storms, 1, true);
  const TGraphLayout second = LayoutGraph(years, 8, false, ReadTrendFile(years.FileName));
  EXPECT_TRUE(DrawGraph(storms, first) == stormsAlone);
  EXPECT_TRUE(DrawGraph(years, 8, false) == yearsAlone);
  EXPECT_TRUE(DrawGraph(years, second) == yearsAlone);
}

TEST_F(GraphLayout, GraphsDrawnOnTwoThreadsAtOnceAreEachThePictureDrawnAlone) {
  const TDMTevlora storms = Loaded("hupsel_h_jan2011_storms", 9);
  const TDMTevlora years = Loaded("spotpy_d_2013_2016_full", 8);
  const QImage stormsAlone = DrawGraph(storms, 9, true);
  const QImage yearsAlone = DrawGraph(years, 8, true);

  // Several drawings each, so that they overlap whatever the threads' start.
  constexpr int kRounds = 4;
  std::vector<QImage> stormsDrawn(kRounds), yearsDrawn(kRounds);
  std::latch start(2);
  const auto drawer = [&start](const TDMTevlora& data, int kind, std::vector<QImage>& drawn) {
    return std::thread([&start, &data, kind, &drawn] {
      start.arrive_and_wait();
      for (QImage& image : drawn) image = DrawGraph(data, kind, true);
    });
  };
  std::thread one = drawer(storms, 9, stormsDrawn);
  std::thread two = drawer(years, 8, yearsDrawn);
  one.join();
  two.join();
  for (int i = 0; i < kRounds; ++i) {
    EXPECT_TRUE(stormsDrawn[i] == stormsAlone) << "round " << i;
    EXPECT_TRUE(yearsDrawn[i] == yearsAlone) << "round " << i;
  }
}

}  // namespace
