// The graph bitmap, sampled where the picture is fixed, in both variants.
#include <gtest/gtest.h>

#include "UGraphDraw.h"
#include "UTevloraUtils.h"
#include "graphs_Support.h"

namespace {
using namespace GraphColour;
const int kKinds[] = {1, 2, 3, 4, 5, 7, 8, 9};

class GraphDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApplication();
    WriteTrendFile(true);
  }

  void WriteTrendFile(bool quadraticValid) {
    WriteFileBytes(directory_.File("basin.dat"),
                   CrLf({"", "", "", "", "A=  0.01000 B=  0.25000 C=  0.20000", "",
                         quadraticValid ? "Q= 1" : "Q= 0"}));
  }

  // Twenty records at times 1 .. 20 on the axis 0 .. 24: record i at column
  // 70 + round((i + 1) * 500 / 24), so 91, 112, 132, ..., 445, 466, 487.
  TDMTevlora Data(int graphKind, int n = 20) {
    TSeriesSpec s{.T = Ramp(1, 1, n)};
    const std::vector<double> eight(n, 8), four(n, 4);
    switch (graphKind) {
      case 3:  // rain 8 over recharge 4 (0 first) on 0 .. 9: rows 101 and 243
        s.A = eight;
        s.B = four;
        break;
      case 4:  // rain 8 over recharge 4 (0 first) on 0 .. 9: rows 101 and 243
        s.C = eight;
        s.B = four;
        break;
      case 5:  // 5 on 0 .. 7: row 156
        s.F = std::vector<double>(n, 5);
        break;
      case 7:  // observed 1 .. 20, calculated the same but 5 (row 318) last
        s.T = s.D = s.C = Ramp(1, 1, n);
        if (n > 0) s.C.back() = 5;
        break;
      default:
        s.A = Ramp(1, 0.5, n);
        s.B = Ramp(0.5, 0.2, n);
        s.C = Ramp(1, 0.3, n);
        for (int i = 0; i < n; ++i) s.D.push_back(0.3 * s.B[i] + (i % 3) * 0.2);
    }
    if (!s.B.empty()) s.B[0] = 0;
    TDMTevlora data = MakeGraphData(s);
    data.FileName = directory_.File("basin.out");
    data.Values.RSquare = rSquare_;
    return data;
  }

  TTemporaryDirectory directory_;
  double rSquare_ = 0.8;
};

TEST_F(GraphDraw, EveryKindFramePlotAreaAxesAndColours) {
  for (const int kind : kKinds) {
    for (const bool colour : {true, false}) {
      SCOPED_TRACE("kind " + std::to_string(kind) + (colour ? " colour" : " black-and-white"));
      const TDMTevlora data = Data(kind);
      const QImage image = DrawGraph(data, kind, colour);
      ASSERT_EQ(image.size(), QSize(623, 465));
      const QColor plot = colour ? kNavy : kWhite;
      const QColor plain = colour ? kWhite : kBlack;
      EXPECT_EQ(image.pixelColor(5, 5), kSilver);  // silver in both variants
      EXPECT_EQ(image.pixelColor(610, 460), kSilver);
      EXPECT_EQ(image.pixelColor(600, 440), plot);
      EXPECT_EQ(image.pixelColor(70, 85), plain);  // vertical axis up to row 70
      EXPECT_EQ(image.pixelColor(70, 60), plot);
      EXPECT_EQ(image.pixelColor(560, 390), plain);  // horizontal axis up to 570
      EXPECT_EQ(image.pixelColor(580, 390), plot);
      EXPECT_EQ(image.pixelColor(570, 394), plain);  // tick, without its end point
      EXPECT_EQ(image.pixelColor(570, 395), plot);
      EXPECT_EQ(ForeignPixels(image, colour), 0);
      EXPECT_EQ(data.SeriesB, Data(kind).SeriesB);  // the data set is not changed
    }
  }
}

TEST_F(GraphDraw, RainRechargeBars) {
  // Colour: sky blue recharge bars, white rain outlines of width 2 (kind 3)
  // or 1 (kind 4), the bars ending on row 388 above the axis.
  const QImage rain = DrawGraph(Data(3), 3, true);
  const std::pair<int, QColor> row387[] = {
      {101, kNavy}, {121, kSkyBlue}, {476, kSkyBlue}, {497, kSkyBlue}, {515, kNavy}};
  for (const auto& [x, expected] : row387) EXPECT_EQ(rain.pixelColor(x, 387), expected) << x;
  EXPECT_EQ(rain.pixelColor(121, 240), kNavy);
  EXPECT_EQ(rain.pixelColor(121, 389), kNavy);
  EXPECT_EQ(CountColour(rain, kWhite, 121, 97, 121, 105), 2);
  const QImage irrigation = DrawGraph(Data(4), 4, true);
  EXPECT_EQ(irrigation.pixelColor(121, 260), kSkyBlue);
  EXPECT_EQ(CountColour(irrigation, kWhite, 121, 97, 121, 105), 1);
  // Black and white: silver bars, the last two black, black rain outlines,
  // grey rain legend.
  for (const int kind : {3, 4}) {
    const QImage image = DrawGraph(Data(kind), kind, false);
    EXPECT_EQ(image.pixelColor(121, 387), kSilver);
    EXPECT_EQ(image.pixelColor(455, 387), kSilver);
    EXPECT_EQ(image.pixelColor(476, 387), kBlack);
    EXPECT_EQ(image.pixelColor(497, 387), kBlack);
    EXPECT_GT(CountColour(image, kGrey, 85, 60, 260, 74), 0);
  }
  EXPECT_EQ(CountColour(DrawGraph(Data(3), 3, false), kBlack, 121, 97, 121, 105), 2);
}

TEST_F(GraphDraw, ObservedCirclesOneRecordToTheRight) {
  // Times 1, 1.5, 2, 2.5 and the step drawn after them on 0 .. 4 at columns
  // 195, 258, 320, 382 (62.5 and 312.5 round to even), 445; measured 1 .. 4 on
  // 0 .. 5 at rows 321, 257, 193, 129.
  const QImage image = DrawGraph(
      MakeGraphData({.T = {1, 1.5, 2, 2.5}, .C = {0.2, 0.3, 0.2, 0.3}, .D = {1, 2, 3, 4}}), 1,
      true);
  const int circles[][2] = {{258, 321}, {320, 257}, {382, 193}, {445, 129}};
  for (const auto& c : circles)
    EXPECT_GT(CountColour(image, kCyan, c[0] - 3, c[1] - 3, c[0] + 3, c[1] + 3), 0);
  EXPECT_EQ(CountColour(image, kCyan, 192, 318, 198, 324), 0);  // not at record 0's own time
  EXPECT_EQ(image.pixelColor(258, 321), kNavy);                 // filled with the plot colour
}

TEST_F(GraphDraw, TitlesThatDependOnTheValues) {
  rSquare_ = 0.5;
  EXPECT_EQ(CountColour(DrawGraph(Data(1), 1, true), kWhite, 445, 60, 600, 74), 0);
  rSquare_ = 0.51;
  EXPECT_GT(CountColour(DrawGraph(Data(1), 1, true), kWhite, 445, 60, 600, 74), 0);
  // Predicted discharge: a title for the factor 1, and for 1000 as well.
  TDMTevlora discharge = Data(2);
  EXPECT_GT(CountColour(DrawGraph(discharge, 2, true), kWhite, 80, 50, 400, 64), 0);
  discharge.SeriesC = Ramp(0.0001, 0.0002, 20);
  const TDrawnGraph scaled = DrawGraphAndLayout(discharge, 2, true);
  EXPECT_GT(CountColour(scaled.Image, kWhite, 80, 50, 400, 64), 0);
  EXPECT_EQ(scaled.Layout.YScaleFactor, 1000);
}

TEST_F(GraphDraw, LinesAndScattersReachTheLastRecord) {
  const QImage level = DrawGraph(Data(5), 5, true);
  EXPECT_EQ(level.pixelColor(121, 156), kWhite);
  EXPECT_EQ(level.pixelColor(476, 156), kWhite);  // records 18 to 19
  EXPECT_EQ(level.pixelColor(495, 156), kNavy);
  const QImage scatter = DrawGraph(Data(7), 7, true);
  EXPECT_GT(CountColour(scatter, kCyan, 485, 310, 500, 330), 0);  // the last record
  EXPECT_GT(CountColour(scatter, kCyan, 464, 125, 480, 145), 0);  // the one before
  const QImage twoLines = DrawGraph(Data(9), 9, true);
  EXPECT_GT(CountColour(twoLines, kYellow, 80, 100, 570, 385), 20);  // dotted runoff
  EXPECT_GT(CountColour(twoLines, kYellow, 82, 55, 300, 69), 0);     // its legend
}

TEST_F(GraphDraw, DischargeRechargeTrends) {
  TDMTevlora data = Data(8);
  EXPECT_GT(CountColour(DrawGraph(data, 8, true), kYellow), 20);
  WriteTrendFile(false);  // no quadratic trend: no curve, no legend
  const QImage linear = DrawGraph(data, 8, true);
  EXPECT_EQ(CountColour(linear, kYellow), 0);
  EXPECT_GT(CountColour(linear, kWhite, 95, 90, 200, 104), 0);
  // All recharge equal: no regression, so neither line nor curve nor legends.
  WriteTrendFile(true);
  data.SeriesB.assign(20, 2);
  const QImage flat = DrawGraph(data, 8, true);
  EXPECT_EQ(CountColour(flat, kYellow), 0);
  EXPECT_EQ(CountColour(flat, kWhite, 95, 90, 220, 119), 0);
  EXPECT_GT(CountColour(flat, kWhite, 95, 75, 200, 89), 0);
  // Without the trend file nothing is drawn.
  std::filesystem::remove(directory_.File("basin.dat"));
  EXPECT_THROW(DrawGraph(data, 8, true), TIOError);
}

TEST_F(GraphDraw, FewerThanFourRecordsDrawWhatTheyCan) {
  for (const int kind : kKinds) {
    for (int n = 0; n <= 3; ++n) {
      const QImage image = DrawGraph(Data(kind, n), kind, false);
      EXPECT_EQ(image.pixelColor(560, 390), kBlack) << kind << ", " << n;
    }
  }
  // Three records at 195, 320, 445: silver bar 0, black bar 1, and bar 2 one
  // step (the last there is) beyond the last record.
  const QImage bars =
      DrawGraph(MakeGraphData({.T = {1, 2, 3}, .A = {8, 8, 0}, .B = {4, 4, 4}}), 3, false);
  EXPECT_GT(CountColour(bars, kSilver, 200, 380, 315, 388), 0);
  EXPECT_GT(CountColour(bars, kBlack, 330, 380, 440, 388), 0);
  EXPECT_EQ(CountColour(bars, kBlack, 450, 250, 565, 388), 116 * 139);  // all of it
  // Two records: the circles of both and the line between them.
  const QImage two = DrawGraph(MakeGraphData({.T = {1, 2}, .C = {1, 2}, .D = {1, 2}}), 1, true);
  EXPECT_GT(CountColour(two, kCyan, 71, 70, 570, 389), 10);
  EXPECT_GT(CountColour(two, kWhite, 71, 70, 570, 389), 10);
  EXPECT_GT(CountColour(DrawGraph(MakeGraphData({.T = {1, 2}, .C = {1, 2}}), 2, true), kWhite, 71,
                        70, 570, 389),
            10);
}

TEST_F(GraphDraw, SavedAsAWindowsBitmap) {
  const QImage image = DrawGraph(Data(3), 3, true);
  const std::string bmp = directory_.File("graph.bmp");
  ASSERT_TRUE(SaveGraphBitmap(image, bmp));
  EXPECT_EQ(ReadFileBytes(bmp).substr(0, 2), "BM");
  const QImage loaded(QString::fromStdString(bmp));
  ASSERT_EQ(loaded.size(), QSize(623, 465));
  EXPECT_EQ(loaded.pixelColor(121, 387), kSkyBlue);
  EXPECT_FALSE(SaveGraphBitmap(image, directory_.File("missing/graph.bmp")));
}

TEST_F(GraphDraw, AFailedSaveKeepsTheOldPicture) {
  const std::string bmp = directory_.File("kept.bmp");
  ASSERT_TRUE(SaveGraphBitmap(QImage(20, 20, QImage::Format_RGB32), bmp));
  const std::string old = ReadFileBytes(bmp);
  {
    TFileSizeLimit full(old.size() + 1000);  // room for the old picture, not the new
    EXPECT_FALSE(SaveGraphBitmap(DrawGraph(Data(3), 3, true), bmp));
  }
  EXPECT_EQ(ReadFileBytes(bmp), old);
  EXPECT_EQ(FolderEntries(directory_.Path()), (std::vector<std::string>{"basin.dat", "kept.bmp"}));
}

}  // namespace
