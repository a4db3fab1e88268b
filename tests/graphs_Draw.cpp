// The graph bitmap: sampled where the picture is fixed (frame, plot area,
// axes, bars, marks), in colour and in black and white.
#include <gtest/gtest.h>

#include <stdexcept>

#include "TestSupport.h"
#include "TextFile.h"
#include "UGraphDraw.h"
#include "URainRun.h"
#include "UTevloraUtils.h"
#include "graphs_Support.h"

namespace {
using namespace GraphColour;

class GraphDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApplication();
    RSquare = 0.8;
    data_.FileName = directory_.File("basin.out");
  }

  // A trend file beside the results file, as the analysis writes it.
  void WriteTrendFile(bool quadraticValid) {
    WriteFileBytes(
        directory_.File("basin.dat"),
        CrLf({"Linear: Runoff = A * Rain + C", "A=  0.3000 C=  0.1000", "",
              "Quadratic: Runoff = A * RainSq +  B * Rain + C",
              "A=  0.01000 B=  0.25000 C=  0.20000", "", quadraticValid ? "Q= 1" : "Q= 0", "",
              "Quadratic Aq =   0.0100 Bq =   0.0200 Cq =   0.0300"}));
  }

  // Twenty records at times 1 .. 20: the time axis runs 0 .. 24 and record i
  // lies at column 70 + round((i + 1) * 500 / 24) (91, 112, ..., 466, 487).
  void FillKind(int graphKind) {
    const int n = 20;
    TSeriesSpec spec;
    spec.T = Ramp(1, 1, n);
    switch (graphKind) {
      case 1:
      case 9:
        spec.B = Ramp(0.5, 0.2, n);
        spec.C = Ramp(1, 0.1, n);
        spec.D = Ramp(3, 0.05, n);
        break;
      case 2:
        spec.C = Ramp(1, 0.3, n);
        break;
      case 3:
        // Rain 8 over recharge 4 (0 in the first record): 0 .. 9, recharge
        // bars from row 243, rain tops at row 101.
        spec.A = Repeat(8, n);
        spec.B = Repeat(4, n);
        spec.B[0] = 0;
        break;
      case 4:
        // Rain 8 alone decides the range 0 .. 10: recharge at row 257.
        spec.C = Repeat(8, n);
        spec.B = Repeat(4, n);
        spec.B[0] = 0;
        break;
      case 5:
        // Constant 5 on 0 .. 7: row 156.
        spec.F = Repeat(5, n);
        break;
      case 7:
        // Observed 1 .. 20; calculated equal except the last, 5 (row 318).
        spec.D = Ramp(1, 1, n);
        spec.C = Ramp(1, 1, n);
        spec.C[n - 1] = 5;
        spec.T = spec.D;
        break;
      case 8:
        spec.B = Ramp(0.5, 0.5, n);
        spec.A = Ramp(1, 0.5, n);
        for (int i = 0; i < n; ++i) spec.D.push_back(0.3 * spec.B[i] + (i % 3) * 0.2);
        break;
      default:
        break;
    }
    const std::string fileName = data_.FileName;
    data_ = MakeGraphData(spec);
    data_.FileName = fileName;
    data_.Drainage = true;
  }

  QImage Draw(int graphKind, bool colour) {
    if (graphKind == 8) WriteTrendFile(true);
    return DrawGraph(data_, graphKind, colour);
  }

  TTemporaryDirectory directory_;
  TDMTevlora data_;
};

const int kKinds[] = {1, 2, 3, 4, 5, 7, 8, 9};

TEST_F(GraphDraw, EveryKindHasFramePlotAreaAndAxesInBothVariants) {
  for (const int kind : kKinds) {
    for (const bool colour : {true, false}) {
      SCOPED_TRACE("kind " + std::to_string(kind) + (colour ? " colour" : " black-and-white"));
      FillKind(kind);
      const QImage image = Draw(kind, colour);
      ASSERT_EQ(image.width(), 623);
      ASSERT_EQ(image.height(), 465);
      const QColor plot = colour ? kNavy : kWhite;
      const QColor plain = colour ? kWhite : kBlack;
      // The frame is silver in both variants.
      EXPECT_EQ(PixelAt(image, 5, 5), kSilver);
      EXPECT_EQ(PixelAt(image, 615, 200), kSilver);
      EXPECT_EQ(PixelAt(image, 610, 460), kSilver);
      EXPECT_EQ(PixelAt(image, 600, 440), plot);
      EXPECT_EQ(PixelAt(image, 25, 440), plot);
      // Axes: vertical at column 70 up to row 70, horizontal at row 390 to 570.
      EXPECT_EQ(PixelAt(image, 70, 85), plain);
      EXPECT_EQ(PixelAt(image, 70, 300), plain);
      EXPECT_EQ(PixelAt(image, 560, 390), plain);
      EXPECT_EQ(PixelAt(image, 70, 60), plot);
      EXPECT_EQ(PixelAt(image, 580, 390), plot);
      // Ticks run from the axis five rows down; like every line, without
      // its end point.
      EXPECT_EQ(PixelAt(image, 570, 394), plain);
      EXPECT_EQ(PixelAt(image, 570, 395), plot);
    }
  }
}

TEST_F(GraphDraw, OnlyTheColoursOfTheGraphAppear) {
  for (const int kind : kKinds) {
    for (const bool colour : {true, false}) {
      SCOPED_TRACE("kind " + std::to_string(kind) + (colour ? " colour" : " black-and-white"));
      FillKind(kind);
      EXPECT_EQ(ForeignPixels(Draw(kind, colour), colour), 0);
    }
  }
}

TEST_F(GraphDraw, RainRechargeBarsInColour) {
  FillKind(3);
  const QImage image = Draw(3, true);
  EXPECT_EQ(PixelAt(image, 121, 387), kSkyBlue);  // recharge bar of record 1
  EXPECT_EQ(PixelAt(image, 121, 250), kSkyBlue);
  EXPECT_EQ(PixelAt(image, 121, 240), kNavy);     // above it, below the rain top
  EXPECT_EQ(PixelAt(image, 101, 387), kNavy);     // record 0 has no recharge
  EXPECT_EQ(PixelAt(image, 476, 387), kSkyBlue);  // the last two bars
  EXPECT_EQ(PixelAt(image, 497, 387), kSkyBlue);
  EXPECT_EQ(PixelAt(image, 515, 387), kNavy);  // nothing beyond the extrapolated edge
  // Rain outlines have pen width 2: two rows of the top edge.
  EXPECT_EQ(CountColour(image, kWhite, 121, 97, 121, 105), 2);
  // The bar sits on row 388; the axis row 390 stays white.
  EXPECT_EQ(PixelAt(image, 121, 389), kNavy);
  EXPECT_EQ(PixelAt(image, 121, 390), kWhite);
}

TEST_F(GraphDraw, RainRechargeBarsInBlackAndWhite) {
  FillKind(3);
  const QImage image = Draw(3, false);
  EXPECT_EQ(PixelAt(image, 121, 387), kSilver);
  EXPECT_EQ(PixelAt(image, 455, 387), kSilver);  // record 17
  EXPECT_EQ(PixelAt(image, 476, 387), kBlack);   // the last two bars are black
  EXPECT_EQ(PixelAt(image, 497, 387), kBlack);
  EXPECT_EQ(CountColour(image, kBlack, 121, 97, 121, 105), 2);  // rain outline black
  EXPECT_EQ(PixelAt(image, 5, 5), kSilver);
  EXPECT_GT(CountColour(image, kGrey, 85, 60, 260, 74), 0);  // rain legend in grey
}

TEST_F(GraphDraw, IrrigationOutlinesHavePenWidthOne) {
  FillKind(4);
  const QImage colour = Draw(4, true);
  EXPECT_EQ(PixelAt(colour, 121, 387), kSkyBlue);
  EXPECT_EQ(PixelAt(colour, 121, 260), kSkyBlue);                 // recharge from row 257
  EXPECT_EQ(CountColour(colour, kWhite, 121, 125, 121, 133), 1);  // rain top at row 129
  const QImage blackAndWhite = Draw(4, false);
  EXPECT_EQ(PixelAt(blackAndWhite, 121, 387), kSilver);
  EXPECT_EQ(PixelAt(blackAndWhite, 476, 387), kBlack);
  EXPECT_EQ(PixelAt(blackAndWhite, 497, 387), kBlack);
}

TEST_F(GraphDraw, ObservedCirclesAreShiftedOneRecord) {
  // Times 1, 1.5, 2, 2.5 on 0 .. 3: columns 237, 320, 403, 487; one step
  // (of the first two records) beyond the last is 570. Measured 1 .. 4 on
  // 0 .. 5: rows 321, 257, 193, 129.
  data_ = MakeGraphData({.T = {1, 1.5, 2, 2.5}, .C = {0.2, 0.3, 0.2, 0.3}, .D = {1, 2, 3, 4}});
  const QImage image = DrawGraph(data_, 1, true);
  EXPECT_GT(CountColour(image, kCyan, 317, 318, 323, 324), 0);
  EXPECT_GT(CountColour(image, kCyan, 400, 254, 406, 260), 0);
  EXPECT_GT(CountColour(image, kCyan, 484, 190, 490, 196), 0);
  EXPECT_GT(CountColour(image, kCyan, 567, 126, 573, 132), 0);
  // Record 0 is not drawn at its own time.
  EXPECT_EQ(CountColour(image, kCyan, 234, 318, 240, 324), 0);
  // The circles are filled with the plot colour.
  EXPECT_EQ(PixelAt(image, 320, 321), kNavy);
}

TEST_F(GraphDraw, RSquareIsShownAboveOneHalf) {
  FillKind(1);
  RSquare = 0.5;
  const QImage without = Draw(1, true);
  EXPECT_EQ(CountColour(without, kWhite, 445, 60, 600, 74), 0);
  RSquare = 0.51;
  const QImage with = Draw(1, true);
  EXPECT_GT(CountColour(with, kWhite, 445, 60, 600, 74), 0);
}

TEST_F(GraphDraw, PredictedDischargeTitleDependsOnTheScaleFactor) {
  FillKind(2);
  const QImage plain = Draw(2, true);
  EXPECT_EQ(YScaleFactor, 1);
  EXPECT_GT(CountColour(plain, kWhite, 80, 50, 400, 64), 0);
  data_.SeriesC = Ramp(0.0001, 0.0002, 20);  // up to 0.0039: factor 1000
  const QImage tiny = Draw(2, true);
  EXPECT_EQ(YScaleFactor, 1000);
  EXPECT_EQ(CountColour(tiny, kWhite, 80, 50, 400, 64), 0);
}

TEST_F(GraphDraw, LinesRunToTheLastRecord) {
  FillKind(5);
  const QImage image = Draw(5, true);
  EXPECT_EQ(PixelAt(image, 121, 156), kWhite);
  EXPECT_EQ(PixelAt(image, 476, 156), kWhite);  // between records 18 and 19
  EXPECT_EQ(PixelAt(image, 495, 156), kNavy);
}

TEST_F(GraphDraw, ObservedCalculatedScatterShowsEveryRecord) {
  FillKind(7);
  const QImage image = Draw(7, true);
  // The last record (observed 20, calculated 5) and the one before it.
  EXPECT_GT(CountColour(image, kCyan, 485, 310, 500, 330), 0);
  EXPECT_GT(CountColour(image, kCyan, 464, 125, 480, 145), 0);
  const QImage blackAndWhite = Draw(7, false);
  EXPECT_GT(CountColour(blackAndWhite, kBlack, 485, 310, 500, 330), 0);
}

TEST_F(GraphDraw, DischargeRechargeTrends) {
  FillKind(8);
  WriteTrendFile(true);
  const QImage valid = DrawGraph(data_, 8, true);
  EXPECT_TRUE(TrendComputed);
  EXPECT_GT(CountColour(valid, kYellow), 20);
  EXPECT_GT(CountColour(valid, kWhite, 95, 90, 200, 104), 0);    // trend line legend
  EXPECT_GT(CountColour(valid, kYellow, 95, 105, 220, 119), 0);  // quadratic legend

  WriteTrendFile(false);
  const QImage invalid = DrawGraph(data_, 8, true);
  EXPECT_EQ(CountColour(invalid, kYellow), 0);
  EXPECT_GT(CountColour(invalid, kWhite, 95, 90, 200, 104), 0);

  // All recharge equal: neither line nor curve, nor their legends.
  WriteTrendFile(true);
  data_.SeriesB = Repeat(2, 20);
  const QImage flat = DrawGraph(data_, 8, true);
  EXPECT_FALSE(TrendComputed);
  EXPECT_EQ(CountColour(flat, kYellow), 0);
  EXPECT_EQ(CountColour(flat, kWhite, 95, 90, 220, 119), 0);
  EXPECT_GT(CountColour(flat, kWhite, 95, 75, 200, 89), 0);  // the observed legend stays
}

TEST_F(GraphDraw, MissingTrendFileDrawsNothing) {
  FillKind(8);
  EXPECT_THROW(DrawGraph(data_, 8, true), TIOError);
}

TEST_F(GraphDraw, RechargeRunoffLinesInColour) {
  FillKind(9);
  const QImage colour = Draw(9, true);
  EXPECT_GT(CountColour(colour, kYellow, 80, 100, 570, 385), 20);  // dotted runoff
  EXPECT_GT(CountColour(colour, kYellow, 82, 55, 300, 69), 0);     // its legend
  const QImage blackAndWhite = Draw(9, false);
  EXPECT_EQ(CountColour(blackAndWhite, kYellow), 0);
}

TEST_F(GraphDraw, FewerThanFourRecordsDrawWhatTheyCan) {
  for (const int kind : kKinds) {
    for (int n = 0; n <= 3; ++n) {
      SCOPED_TRACE("kind " + std::to_string(kind) + ", " + std::to_string(n) + " records");
      FillKind(kind);
      data_.NrOfData = n;
      const QImage image = Draw(kind, false);
      EXPECT_EQ(PixelAt(image, 70, 300), kBlack);
      EXPECT_EQ(PixelAt(image, 560, 390), kBlack);
    }
  }
  // Three rain-recharge records at columns 195, 320, 445: the silver bar of
  // record 0, the black bar of record 1, and no extrapolated bar of record 2.
  data_ = MakeGraphData({.T = {1, 2, 3}, .A = {8, 8, 0}, .B = {4, 4, 4}});
  const QImage bars = DrawGraph(data_, 3, false);
  EXPECT_GT(CountColour(bars, kSilver, 200, 380, 315, 388), 0);
  EXPECT_GT(CountColour(bars, kBlack, 330, 380, 440, 388), 0);
  EXPECT_EQ(CountColour(bars, kBlack, 450, 250, 565, 388), 0);
}

TEST_F(GraphDraw, TheDataSetIsNotChanged) {
  for (const int kind : kKinds) {
    FillKind(kind);
    const TDMTevlora before = data_;
    Draw(kind, true);
    EXPECT_EQ(data_.SeriesT, before.SeriesT);
    EXPECT_EQ(data_.SeriesA, before.SeriesA);
    EXPECT_EQ(data_.SeriesB, before.SeriesB);
    EXPECT_EQ(data_.SeriesC, before.SeriesC);
    EXPECT_EQ(data_.SeriesD, before.SeriesD);
    EXPECT_EQ(data_.SeriesF, before.SeriesF);
  }
}

TEST_F(GraphDraw, SavedAsAWindowsBitmap) {
  FillKind(3);
  const QImage image = Draw(3, true);
  const std::string bmp = directory_.File("graph.bmp");
  ASSERT_TRUE(SaveGraphBitmap(image, bmp));
  EXPECT_EQ(ReadFileBytes(bmp).substr(0, 2), "BM");
  const QImage loaded(QString::fromStdString(bmp));
  ASSERT_EQ(loaded.size(), QSize(623, 465));
  EXPECT_EQ(PixelAt(loaded, 5, 5), kSilver);
  EXPECT_EQ(PixelAt(loaded, 600, 440), kNavy);
  EXPECT_EQ(PixelAt(loaded, 121, 387), kSkyBlue);
  EXPECT_FALSE(SaveGraphBitmap(image, directory_.File("missing/graph.bmp")));
}

}  // namespace
