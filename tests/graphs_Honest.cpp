// Graphs that show every value they are given, and nothing they are not: the
// texts stay on the plot, the last record and every bar are inside the axes,
// legends leave the points visible, a dotted line stays dotted, a constant
// recharge has no trend, and the trend file is taken only when it belongs to
// its results file.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QPainter>
#include <chrono>
#include <filesystem>

#include "UGraphDraw.h"
#include "UTevloraUtils.h"
#include "graphs_Support.h"

namespace {
using namespace GraphColour;
namespace fs = std::filesystem;

class GraphHonest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureGuiApplication(); }

  // A trend file beside `results`, older than it as a run leaves them.
  void WriteTrendPair(const std::string& results, const std::string& resultsBytes) {
    const std::string trend = ChangeFileExt(results, ".dat");
    WriteFileBytes(trend,
                   CrLf({"", "", "", "", "A= -0.01000 B=  0.25000 C=  0.20000", "", "Q= 1"}));
    WriteFileBytes(results, resultsBytes);
    fs::last_write_time(trend, fs::last_write_time(results) - std::chrono::seconds(1));
  }

  TDMTevlora WithTrend(TDMTevlora data) {
    data.FileName = directory_.File("basin.out");
    WriteTrendPair(data.FileName, "results");
    return data;
  }

  TTemporaryDirectory directory_;
};

// Nothing of the plot's texts reaches the silver frame beside and below it.
int FramePixelsNotSilver(const QImage& image) {
  const int strips[][4] = {
      {0, 19, kPlotLeft - 1, 444}, {kPlotRight, 19, 622, 444}, {0, 445, 622, 449}};
  int area = 0, silver = 0;
  for (const auto& s : strips) {
    area += (s[2] - s[0] + 1) * (s[3] - s[1] + 1);
    silver += CountColour(image, kSilver, s[0], s[1], s[2], s[3]);
  }
  return area - silver;
}

TEST_F(GraphHonest, TitlesAndLabelsStayOnThePlot) {
  const std::vector<double> small = Ramp(0.0005, 0.0005, 8);
  const struct {
    const char* what;
    int kind;
    TSeriesSpec series;
    const char* xTitle;
  } cases[] = {
      {"recharge * 1000",
       8,
       {.T = Ramp(1, 1, 8), .A = small, .B = small, .D = Ramp(1, 1, 8)},
       "Recharge calculated * 1000"},
      {"observed * 1000", 7, {.T = small, .C = small, .D = small}, "Runoff observed * 1000"},
      {"7-digit times", 2, {.T = Ramp(1000000, 100000, 8), .C = Ramp(1, 1, 8)}, "Time"},
      {"7-digit negative values", 2, {.T = Ramp(1, 1, 8), .C = Ramp(-3000000, 100000, 8)}, "Time"},
  };
  for (const auto& c : cases) {
    for (const bool colour : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (colour ? " colour" : " black-and-white"));
      const TDrawnGraph drawn =
          DrawGraphAndLayout(WithTrend(MakeGraphData(c.series)), c.kind, colour);
      EXPECT_EQ(drawn.Layout.XTitle, c.xTitle);
      EXPECT_EQ(FramePixelsNotSilver(drawn.Image), 0);
    }
  }
}

// The last record is drawn one step beyond its time (kinds 1 to 4); that
// step lies inside the axis for any number of records.
TEST_F(GraphHonest, TheStepAfterTheLastRecordIsInsideTheAxis) {
  for (const int kind : {1, 2, 3, 4}) {
    for (const int n : {2, 3, 4, 6, 8, 9}) {
      SCOPED_TRACE("kind " + std::to_string(kind) + ", " + std::to_string(n) + " records");
      const std::vector<double> values = Ramp(1, 1, n);
      const auto [layout, image] = DrawGraphAndLayout(
          MakeGraphData({.T = values, .A = values, .B = values, .C = values, .D = values}), kind,
          true);
      const std::vector<int>& x = layout.PixX;
      const int k = n - 1;
      const int b = StepAfterLastFrom(kind, n);
      const int end = x[k] + (b >= 0 ? x[b + 1] - x[b] : x[k] - x[k - 1]);
      EXPECT_LE(end, 570);
      // Kind 1: the circle of the last measured value is there to be seen.
      if (kind == 1) {
        const int y = layout.PixD[k];
        EXPECT_GT(CountColour(image, kCyan, end - 3, y - 3, end + 3, y + 3), 0);
      }
    }
  }
}

// Bars stand on 0, and kind 4 shows its recharge on the axis of its rain.
TEST_F(GraphHonest, EveryBarIsShownWhole) {
  std::vector<double> irrigated(60, 2), recharge(60, 1);
  for (int i = 0; i < 60; i += 5) irrigated[i] = 6;
  recharge[30] = 15;  // more than any rain: water let out of the dead storage
  const struct {
    int kind;
    TSeriesSpec series;
  } cases[] = {
      {3, {.T = Ramp(1, 1, 60), .A = irrigated, .B = recharge}},
      {4, {.T = Ramp(1, 1, 60), .B = recharge, .C = irrigated}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("kind " + std::to_string(c.kind));
    const TGraphLayout layout = DrawGraphAndLayout(MakeGraphData(c.series), c.kind, true).Layout;
    const std::vector<int>& rain = c.kind == 3 ? layout.PixA : layout.PixC;
    for (int i = 0; i < 60; ++i) {
      ASSERT_LT(rain[i], 385) << "rain bar " << i;
      ASSERT_LT(layout.PixB[i], 385) << "recharge bar " << i;
      ASSERT_GE(layout.PixB[i], 65) << "recharge bar " << i;
    }
  }
}

// The pixels a bullet covers, drawn alone at (0, 0) as the graph draws it.
std::vector<QPoint> BulletPixels() {
  QImage alone(40, 40, QImage::Format_RGB32);
  alone.fill(kNavy);
  {
    QPainter painter(&alone);
    painter.setFont(GraphFont());
    painter.setPen(kWhite);
    painter.drawText(QPoint(10, 10 + QFontMetrics(GraphFont()).ascent()),
                     QString::fromUtf8(GraphDrawTexts::kBullet));
  }
  std::vector<QPoint> pixels;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      if (alone.pixelColor(x, y) == kWhite) pixels.emplace_back(x - 10, y - 10);
    }
  }
  return pixels;
}

// Kind 8: no pixel of a point is covered by the legend (or anything else in
// the plot colour), on the storms whose peak lies under the classic place of
// the legend and on points in every corner of the plot.
TEST_F(GraphHonest, TheLegendLeavesEveryPointVisible) {
  const TExampleResults storms = RunExample(directory_, "hupsel_h_jan2011_storms");
  TRecordingDialogs dialogs;
  TDMTevlora stormData;
  stormData.Dialogs = &dialogs;
  stormData.FileName = stormData.OutFileName = storms.ResultsFile;
  stormData.InspectOutputFile();
  stormData.LoadGraphSeries(8);

  // A point in each corner of the plot (recharge 2 and 10 on 0 .. 12, runoff
  // 1 and 14.5 on 0 .. 16), where the legends could go, and two between.
  TSeriesSpec corners{.T = Ramp(1, 1, 6), .A = Ramp(0, 2.2, 6)};
  corners.B = {2, 10, 10, 2, 5, 7};
  corners.D = {14.5, 14.5, 1, 1, 7, 9};

  const std::vector<QPoint> bullet = BulletPixels();
  ASSERT_GT(bullet.size(), 4u);
  const std::pair<const char*, TDMTevlora> graphs[] = {
      {"storms", stormData}, {"corners", WithTrend(MakeGraphData(corners))}};
  for (const auto& [what, data] : graphs) {
    SCOPED_TRACE(what);
    const auto [layout, image] = DrawGraphAndLayout(data, 8, true);
    int hidden = 0;
    for (int i = 0; i < data.NrOfData; ++i) {
      for (const QPoint& p : bullet) {
        const QPoint at(layout.PixA[i] + p.x(), layout.PixD[i] - 5 + p.y());
        if (at.x() > kMarksRight || at.y() > kMarksBottom || at.y() < kMarksTop) continue;
        hidden += image.pixelColor(at) == kNavy;
      }
    }
    EXPECT_EQ(hidden, 0);
    EXPECT_GT(CountColour(image, kYellow, 95, 34, 604, 389), 0);  // legend and curve drawn
    // With a point in every corner the legends go into the row above the plot.
    if (std::string(what) == "corners") {
      EXPECT_GT(CountColour(image, kYellow, kPlotLeft, 40, kPlotRight - 1, 52), 0);
    }
  }
}

// Kind 9: a long dotted runoff line is dotted, not solid.
TEST_F(GraphHonest, ADottedLineOfManyRecordsStaysDotted) {
  const int n = 1500;
  const auto [layout, image] = DrawGraphAndLayout(
      MakeGraphData(
          {.T = Ramp(1, 1, n), .B = std::vector<double>(n, 1), .D = std::vector<double>(n, 4)}),
      9, true);
  const int row = layout.PixD[0];
  const int span = layout.PixX[n - 1] - layout.PixX[0];
  const int yellow = CountColour(image, kYellow, layout.PixX[0], row, layout.PixX[n - 1], row);
  EXPECT_GT(yellow, span / 4);
  EXPECT_LT(yellow, span * 3 / 4);
}

// A constant recharge has no spread: the rounding noise of its sums makes no
// trend line.
TEST_F(GraphHonest, AConstantRechargeHasNoTrend) {
  for (const double recharge : {0.1, 0.7, 2.9}) {
    for (const int n : {3, 7, 60}) {
      TGraphLayout layout;
      ComputeTrend(MakeGraphData({.T = Ramp(1, 1, n),
                                  .A = std::vector<double>(n, 3),
                                  .B = std::vector<double>(n, recharge),
                                  .D = Ramp(1, 1, n)}),
                   {.QuadB = 1, .QuadTrendValid = true}, layout);
      EXPECT_FALSE(layout.TrendComputed) << recharge << " in " << n << " records";
    }
  }
}

// A trend file newer than its results file was written by a run that
// stopped before its results file: the pair is refused, never drawn.
TEST_F(GraphHonest, ATornPairIsRefused) {
  const TDMTevlora data = WithTrend(MakeGraphData(
      {.T = Ramp(1, 1, 8), .A = Ramp(1, 1, 8), .B = Ramp(0, 1, 8), .D = Ramp(1, 1, 8)}));
  EXPECT_NO_THROW(DrawGraph(data, 8, true));
  const std::string trend = ChangeFileExt(data.FileName, ".dat");
  fs::last_write_time(trend, fs::last_write_time(data.FileName) + std::chrono::seconds(1));
  try {
    DrawGraph(data, 8, true);
    ADD_FAILURE() << "a torn pair must be refused";
  } catch (const TIOError& error) {
    EXPECT_EQ(std::string(error.what()), TornPairText(trend, data.FileName));
  }
}

}  // namespace
