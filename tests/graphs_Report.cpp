// Graphs as they go into a report: the numbers read off the picture are the
// numbers of the file. Sampled on the example results files of Data and on
// made-up series that provoke each fault.
#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <iterator>
#include <regex>
#include <sstream>

#include "UGraphDraw.h"
#include "UTevloraUtils.h"
#include "graphs_Support.h"

namespace {
using namespace GraphColour;

// The area of the data marks, and whether a pixel lies outside it.
const QRect kMarks(QPoint(kMarksLeft, kMarksTop), QPoint(kMarksRight, kMarksBottom));

int CountOutsideMarks(const QImage& image, const QColor& colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      count += !kMarks.contains(x, y) && image.pixelColor(x, y) == colour;
    }
  }
  return count;
}

// A text as the graph draws it, on its background.
QImage TextPicture(const QString& text, const QColor& ink, const QColor& background) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(13);
  font.setStyleStrategy(QFont::NoAntialias);
  const QFontMetrics metrics(font);
  QImage picture(metrics.horizontalAdvance(text), metrics.height(), QImage::Format_RGB32);
  picture.fill(background);
  QPainter painter(&picture);
  painter.setFont(font);
  painter.setPen(ink);
  painter.drawText(QPoint(0, metrics.ascent()), text);
  return picture;
}

// Whether `part` appears in `image` with its top-left corner inside `corners`.
bool Shows(const QImage& image, const QImage& part, const QRect& corners) {
  for (int y = corners.top(); y <= corners.bottom(); ++y) {
    for (int x = corners.left(); x <= corners.right(); ++x) {
      bool same = true;
      for (int py = 0; same && py < part.height(); ++py) {
        for (int px = 0; same && px < part.width(); ++px) {
          same = image.pixel(x + px, y + py) == part.pixel(px, py);
        }
      }
      if (same) return true;
    }
  }
  return false;
}

class GraphReport : public ::testing::Test {
 protected:
  void SetUp() override { EnsureGuiApplication(); }

  // A results file as the graphics tab reads it for a graph of `kind`.
  QImage Graph(const std::string& resultsFile, int kind, bool colour = true) {
    data_ = TDMTevlora();
    data_.Dialogs = &dialogs_;
    data_.FileName = data_.OutFileName = resultsFile;
    data_.InspectOutputFile();
    data_.LoadGraphSeries(kind);
    EXPECT_TRUE(dialogs_.messages.empty());
    TDrawnGraph drawn = DrawGraphAndLayout(data_, kind, colour);
    layout_ = std::move(drawn.Layout);
    return drawn.Image;
  }
  QImage Example(const std::string& name, int kind, bool colour = true) {
    return Graph(ExampleDataFile(name + ".out"), kind, colour);
  }

  TRecordingDialogs dialogs_;
  TDMTevlora data_;
  TGraphLayout layout_;  // of the last Graph
  TTemporaryDirectory directory_;
};

const char* const kAnalyses[] = {"hupsel_h_augsep2011_summer", "hupsel_h_jan2011_storms",
                                 "hupsel_h_winter1112_1500",   "spotpy_d_2013_2016_full",
                                 "spotpy_d_flood2013_12d",     "spotpy_d_spring2013",
                                 "spotpy_d_winter1516"};
const char* const kPredictions[] = {"hupsel_h_dec2012_pred_drain", "hupsel_h_dec2012_pred_runoff"};

// Hourly Hupsel discharges of 0.3 - 0.7 mm/h are drawn ten times larger: the
// title says so, and is drawn so much longer than the plain one.
TEST_F(GraphReport, ScaledAxisNamesItsFactor) {
  const auto titleEnd = [](const QImage& image) {
    int end = 0;
    for (int x = 82; x < 400; ++x) {
      if (CountColour(image, kWhite, x, 60, x, 72) > 0) end = x;
    }
    return end;
  };
  const int plain = titleEnd(Example("spotpy_d_2013_2016_full", 8));
  ASSERT_EQ(layout_.YScaleFactor, 1);
  const int scaled = titleEnd(Example("hupsel_h_jan2011_storms", 8));
  ASSERT_EQ(layout_.YScaleFactor, 10);
  EXPECT_EQ(layout_.YTitle, "Discharge observed * 10");
  EXPECT_GT(scaled - plain, TextPicture(" * 10", kWhite, kNavy).width() - 4);
}

// Baseflow above every recharge: the runoff line stays on the axis.
TEST_F(GraphReport, RunoffAboveRechargeStaysInsideThePlot) {
  const int n = 30;
  TSeriesSpec s{.T = Ramp(1, 1, n), .B = std::vector<double>(n, 0), .D = Ramp(2, 0.1, n)};
  s.B[10] = 1.5;
  const auto [layout, image] = DrawGraphAndLayout(MakeGraphData(s), 9, true);
  const std::vector<int>&x = layout.PixX, &y = layout.PixD;
  for (int i = 0; i < n; ++i) EXPECT_GE(y[i], 65) << i;
  // The dotted runoff near its highest value, inside the plot.
  EXPECT_GT(CountColour(image, kYellow, x[n - 3], y[n - 1] - 1, x[n - 1], y[n - 1] + 6), 0);
}

// Narrow rain bars no longer hide the recharge, in either variant.
TEST_F(GraphReport, RechargeVisibleInEveryExample) {
  for (const bool colour : {true, false}) {
    const QColor recharge = colour ? kSkyBlue : kSilver;
    for (const char* name : kAnalyses) {
      const QImage image = Example(name, 3, colour);
      EXPECT_GT(CountColour(image, recharge, 71, 70, 570, 388), 20) << name << " " << colour;
      EXPECT_GT(CountColour(image, colour ? kWhite : kBlack, 71, 100, 570, 388), 20) << name;
    }
    for (const char* name : kPredictions) {
      EXPECT_GT(CountColour(Example(name, 4, colour), recharge, 71, 70, 570, 388), 20) << name;
    }
  }
}

// A tick label is its tick: steps of 0.75 and 6.25, on both axes.
TEST_F(GraphReport, TickLabelsShowTheirTicks) {
  const struct {
    const char* label;
    TSeriesSpec series;
    QRect corners;  // where the label's top-left corner may lie
  } cases[] = {
      {"2.25", {.T = Ramp(1, 1, 10), .C = Ramp(0.5, 0.2, 10)}, QRect(20, 60, 44, 340)},
      {"106.25", {.T = Ramp(1, 1, 10), .C = Ramp(105, 0.9, 10)}, QRect(20, 60, 44, 340)},
      {"106.25", {.T = Ramp(101, 2, 9), .C = Ramp(1, 1, 9)}, QRect(60, 400, 520, 2)},
      {"0.75", {.T = Ramp(1, 0.2, 9), .C = Ramp(1, 1, 9)}, QRect(60, 400, 520, 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const QImage image = DrawGraph(MakeGraphData(c.series), 2, true);
    EXPECT_TRUE(Shows(image, TextPicture(c.label, kWhite, kNavy), c.corners));
  }
}

// Nothing of the data crosses the titles, the frame or the credit line.
TEST_F(GraphReport, MarksStayInsideThePlot) {
  // The quadratic trend of the four-year record leaves the axis range.
  EXPECT_EQ(CountOutsideMarks(Example("spotpy_d_2013_2016_full", 8), kYellow), 0);
  // A long step before the last records: the extrapolated last segment or
  // bar would run far into the frame.
  const TSeriesSpec irregular{
      .T = {1, 5, 6, 7}, .B = {1, 2, 1, 2}, .C = {1, 2, 1, 1}, .D = {1, 2, 1, 2}};
  for (const int kind : {1, 2, 4}) {
    const QImage image = DrawGraph(MakeGraphData(irregular), kind, true);
    EXPECT_EQ(CountColour(image, kSilver, 605, 19, 622, 444), 18 * 426) << kind;
  }
  // ... and the last segment of the calculated runoff goes on from where its
  // line ended, at the last record, not one early step further on.
  const auto [layout, runoff] = DrawGraphAndLayout(MakeGraphData(irregular), 1, true);
  const int middle = (layout.PixX[3] + kMarksRight) / 2;
  const int row = layout.PixC[3];
  EXPECT_GT(CountColour(runoff, kWhite, middle - 1, row - 1, middle + 1, row + 1), 0);
}

// Points on the vertical axis leave it whole; in black and white the quadratic
// trend is dotted; long titles end before the frame.
TEST_F(GraphReport, ReadableDetails) {
  // Recharge 0 puts points of kind 8 on the axis; a circle of kind 1 sits on
  // it when the second time lies within two pixels of the first.
  EXPECT_EQ(CountColour(Example("hupsel_h_jan2011_storms", 8), kNavy, 70, 70, 70, 389), 0);
  const QImage circles = DrawGraph(
      MakeGraphData({.T = {0, 0.01, 1, 2, 3}, .C = {1, 1, 1, 1, 1}, .D = {2, 2, 2, 2, 2}}), 1,
      true);
  EXPECT_EQ(CountColour(circles, kNavy, 70, 70, 70, 389), 0);

  // The colour curve shows where the black-and-white one lies: there only a
  // part of it is drawn.
  const QImage colour = Example("spotpy_d_2013_2016_full", 8, true);
  const QImage blackWhite = Example("spotpy_d_2013_2016_full", 8, false);
  int curve = 0, drawn = 0;
  for (int y = 120; y <= kMarksBottom; ++y) {
    for (int x = kMarksLeft; x <= kMarksRight; ++x) {
      if (colour.pixelColor(x, y) != kYellow) continue;
      ++curve;
      drawn += blackWhite.pixelColor(x, y) == kBlack;
    }
  }
  ASSERT_GT(curve, 100);
  EXPECT_LT(drawn, curve * 2 / 3);
  EXPECT_EQ(layout_.Legend3, GraphTitleTexts::kDottedQuadTrendLegend);

  // Both titles of the hourly examples are longer than the picture.
  const QImage titled = Example("hupsel_h_winter1112_1500", 1);
  EXPECT_EQ(CountColour(titled, kSilver, 605, 19, 622, 34), 18 * 16);
  EXPECT_EQ(CountColour(titled, kBlack, kTitle1End, 0, 622, 18), 0);
  EXPECT_GT(CountColour(titled, kBlack, 105, 5, 400, 18), 50);
}

// A results file with one number of each column of records 3 to 8 replaced
// by an extreme value.
std::string WithExtremeValues(const std::string& text) {
  const char* const extremes[] = {"1.0E+300", "-1.0E+300", "2.5E+09",
                                  "-7.0E+12", "1.0E+300",  "-1.0E+300"};
  const std::regex record("^ *([0-9]+) +[-0-9.]+ .*");
  std::istringstream lines(text);
  std::string result, line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::smatch match;
    const int serial = std::regex_match(line, match, record) ? std::stoi(match[1]) : 0;
    if (serial >= 3 && serial <= 8) {
      std::istringstream fields(line);
      std::vector<std::string> numbers{std::istream_iterator<std::string>(fields), {}};
      numbers[serial - 2] = extremes[serial - 3];
      line.clear();
      for (const std::string& number : numbers) line += "  " + number;
    }
    result += line + "\r\n";
  }
  return result;
}

// Values far beyond any axis in a results file: the pixel arithmetic stays in
// range and the marks stay in the plot.
TEST_F(GraphReport, ExtremeValuesInAResultsFile) {
  const std::pair<std::string, std::vector<int>> files[] = {
      {"spotpy_d_flood2013_12d", {1, 3, 7, 8, 9}}, {"hupsel_h_dec2012_pred_drain", {2, 4, 5}}};
  for (const auto& [name, kinds] : files) {
    const std::string results = directory_.File(name + ".out");
    // The trend file first, as a run writes them.
    if (name[0] == 's') {
      WriteFileBytes(directory_.File(name + ".dat"), ReadFileBytes(ExampleDataFile(name + ".dat")));
    }
    WriteFileBytes(results, WithExtremeValues(ReadFileBytes(ExampleDataFile(name + ".out"))));
    for (const int kind : kinds) {
      SCOPED_TRACE(name + " kind " + std::to_string(kind));
      const QImage image = Graph(results, kind);
      ASSERT_GE(data_.NrOfData, 12);
      // Right of the plot down to the tick labels (which may be wide here).
      EXPECT_EQ(CountColour(image, kSilver, 605, 19, 622, 399), 18 * 381);
      int widest = 0;
      for (const auto* pixels :
           {&layout_.PixX, &layout_.PixA, &layout_.PixB, &layout_.PixC, &layout_.PixD}) {
        for (const int p : *pixels) widest = std::max(widest, std::abs(p));
      }
      EXPECT_EQ(widest, kPixelLimit);
    }
  }
}

}  // namespace
