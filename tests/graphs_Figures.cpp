// Figures for print: SVG and PDF files, pictures of any size, the report
// style's layout (texts apart, inside the picture, off the data), series that
// stay apart in grey, units from the titles, and the classic pictures as
// they always were.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QDateTime>
#include <QSvgRenderer>
#include <QTimeZone>
#include <cstdlib>
#include <regex>
#include <set>
#include <tuple>

#include "FigureFile.h"
#include "FitMapDraw.h"
#include "ReportGraph.h"
#include "graphs_Support.h"

namespace {

TDMTevlora LoadResults(const std::string& fileName, int graphKind) {
  TDMTevlora data;
  data.FileName = fileName;
  data.OutFileName = fileName;
  data.InspectOutputFile();
  data.LoadGraphSeries(graphKind == kHydrographGraphKind ? 1 : graphKind);
  return data;
}

TFigureFormat Report(int width, int height, int dpi) {
  TFigureFormat format;
  format.Width = width;
  format.Height = height;
  format.Dpi = dpi;
  format.Style = TGraphStyle::Report;
  return format;
}

// Everything the layout draws as data, found from the series themselves:
// points along every line (a pixel apart), every point, every bar.
struct TDataMarks {
  std::vector<QPointF> Points;
  std::vector<QRectF> Bars;
};

TDataMarks MarksOf(const TReportLayout& layout) {
  TDataMarks marks;
  const QRectF plot = layout.Plot;
  const auto keep = [&](QPointF p) {
    if (plot.contains(p)) marks.Points.push_back(p);
  };
  for (const TReportSeries& s : layout.Series) {
    for (std::size_t i = 0; i < s.X.size(); ++i) {
      const QPointF p = layout.Map(s.X[i], s.Y[i], s.SecondAxis);
      if (s.Form == TSeriesForm::Points) keep(p);
      if (s.Form == TSeriesForm::Line && i > 0) {
        const QPointF q = layout.Map(s.X[i - 1], s.Y[i - 1], s.SecondAxis);
        const int steps = static_cast<int>(std::ceil(QLineF(p, q).length())) + 1;
        for (int k = 0; k <= steps; ++k) keep(q + (p - q) * (static_cast<double>(k) / steps));
      }
      if (s.Form == TSeriesForm::Bars && s.Y[i] != 0) {
        const double middle = (s.XStart[i] + s.X[i]) / 2;
        const double half = (s.X[i] - s.XStart[i]) * s.Look.BarShare / 2;
        marks.Bars.push_back(QRectF(layout.Map(middle - half, 0, s.SecondAxis),
                                    layout.Map(middle + half, s.Y[i], s.SecondAxis))
                                 .normalized()
                                 .intersected(plot));
      }
    }
  }
  return marks;
}

// No text box overlaps another, each lies inside the picture, and neither a
// text nor the legend covers a data mark.
void ExpectReadable(const std::vector<TPlacedText>& texts, int width, int height,
                    const TDataMarks& marks, const QRectF& legend) {
  const QRectF picture(0, 0, width, height);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const QRectF box = texts[i].Box;
    EXPECT_TRUE(picture.contains(box)) << texts[i].Text << " lies outside the picture";
    for (std::size_t k = i + 1; k < texts.size(); ++k) {
      EXPECT_FALSE(box.intersects(texts[k].Box)) << texts[i].Text << " / " << texts[k].Text;
    }
  }
  std::vector<QRectF> covers = {legend};
  for (const TPlacedText& text : texts) covers.push_back(text.Box);
  int covered = 0;
  for (const QRectF& box : covers) {
    if (box.isEmpty()) continue;
    for (const QPointF& p : marks.Points) covered += box.contains(p);
    for (const QRectF& bar : marks.Bars) covered += !bar.isEmpty() && box.intersects(bar);
  }
  EXPECT_EQ(covered, 0);
}

class ReportFigures : public ::testing::Test {
 protected:
  void SetUp() override { EnsureGuiApplication(); }
};

struct TLayoutCase {
  std::string File;
  std::vector<int> Kinds;
};

// The example files at the classic size, at 300 dpi and in a wide strip;
// every kind the file allows, the hydrograph also with a split and dated.
TEST_F(ReportFigures, TextsKeepApartInsideThePictureAndOffTheData) {
  const std::vector<TLayoutCase> cases = {
      {"spotpy_d_spring2013.out", {1, 3, 7, 8, 9, kHydrographGraphKind}},
      {"hupsel_h_winter1112_1500.out", {1, 3, 8, 9, kHydrographGraphKind}},
      {"hupsel_h_jan2011_storms.out", {kHydrographGraphKind}},
      {"hupsel_h_dec2012_pred_drain.out", {2, 4, 5}},
      {"hupsel_h_dec2012_pred_runoff.out", {2, 5}}};
  TReportExtras extras;
  extras.Trend = {-0.01, 0.05, 0.1, true};
  for (const TFigureFormat& format :
       {Report(623, 465, 96), Report(1890, 1417, 300), Report(1200, 400, 150)}) {
    for (const TLayoutCase& c : cases) {
      for (const int kind : c.Kinds) {
        SCOPED_TRACE(c.File + " kind " + std::to_string(kind) + " " + std::to_string(format.Width));
        TDMTevlora data = LoadResults(ExampleDataFile(c.File), kind);
        ASSERT_GT(data.NrOfData, 0);
        std::vector<TReportExtras> variants = {extras};
        if (kind == kHydrographGraphKind) {
          // Split two thirds of the way.
          TReportExtras split = extras;
          split.Split = data.SeriesT[data.NrOfData * 2 / 3];
          variants.push_back(split);
        }
        for (const TReportExtras& variant : variants) {
          const TReportLayout layout = LayoutReportGraph(data, kind, format, variant);
          ASSERT_FALSE(layout.X.Ticks.empty());
          ExpectReadable(layout.Texts, format.Width, format.Height, MarksOf(layout),
                         layout.LegendBox);
        }
      }
    }
  }
}

// Small values get decimals or powers of ten, never a factor in the title;
// a dated table gets dates on its time axis.
TEST_F(ReportFigures, NoFactorsAndDatesFromADatedTable) {
  TDMTevlora tiny = MakeGraphData({.T = Ramp(1, 1, 40),
                                   .A = Ramp(0, 0.0001, 40),
                                   .B = Ramp(0, 0.00005, 40),
                                   .C = Ramp(0.0004, 0.00002, 40),
                                   .D = Ramp(0.0005, 0.00002, 40)});
  for (const int kind : {1, 3, 9, kHydrographGraphKind}) {
    const TReportLayout layout = LayoutReportGraph(tiny, kind, Report(800, 600, 96));
    for (const TPlacedText& text : layout.Texts) EXPECT_EQ(text.Text.find('*'), std::string::npos);
    // Tick labels tell their values apart.
    std::set<std::string> labels(layout.Y.Labels.begin(), layout.Y.Labels.end());
    EXPECT_EQ(labels.size(), layout.Y.Labels.size());
    EXPECT_GE(layout.Y.Labels.size(), 2u);
  }

  TDMTevlora dated = LoadResults(ExampleDataFile("spotpy_d_spring2013.out"), 1);
  dated.Title2 = "days since 2013-04-01, depths in mm";
  const TReportLayout layout =
      LayoutReportGraph(dated, kHydrographGraphKind, Report(1890, 1417, 300));
  ASSERT_GE(layout.X.Labels.size(), 3u);
  // Records 1 .. 91 days after 1 April: 2 April to 1 July.
  for (const std::string& label : layout.X.Labels) {
    EXPECT_TRUE(std::regex_search(label, std::regex("Apr|May|Jun|Jul"))) << label;
  }
  EXPECT_EQ(layout.X.Title, "Date (2013)");
  EXPECT_EQ(layout.Y.Title, "Runoff (mm/d)");
}

// Grey print keeps any two series of a graph apart by dash, marker, fill or
// bar width, not by colour alone.
TEST_F(ReportFigures, SeriesDifferBeyondColour) {
  TReportExtras extras;
  extras.Trend = {-0.01, 0.05, 0.1, true};
  const std::string analysis = ExampleDataFile("spotpy_d_spring2013.out");
  const std::string prediction = ExampleDataFile("hupsel_h_dec2012_pred_drain.out");
  for (const int kind : {1, 2, 3, 4, 5, 7, 8, 9, kHydrographGraphKind}) {
    const bool predicted = kind == 2 || kind == 4 || kind == 5;
    const TDMTevlora data = LoadResults(predicted ? prediction : analysis, kind);
    const TReportLayout layout = LayoutReportGraph(data, kind, Report(800, 600, 96), extras);
    // The records with the line of a perfect fit; with the linear and quadratic trends.
    if (kind == 7 || kind == 8) {
      EXPECT_EQ(layout.Series.size(), kind == 7 ? 2u : 3u);
    }
    for (std::size_t i = 0; i < layout.Series.size(); ++i) {
      for (std::size_t k = i + 1; k < layout.Series.size(); ++k) {
        const TSeriesLook& a = layout.Series[i].Look;
        const TSeriesLook& b = layout.Series[k].Look;
        EXPECT_NE(std::tie(layout.Series[i].Form, a.Dash, a.Marker, a.Fill, a.BarShare),
                  std::tie(layout.Series[k].Form, b.Dash, b.Marker, b.Fill, b.BarShare))
            << "kind " << kind << ": " << layout.Series[i].Name << " / " << layout.Series[k].Name;
      }
    }
  }
}

TEST(TimeUnits, FromTheTitles) {
  const auto epoch = [](int y, int m, int d, int h) {
    return QDateTime(QDate(y, m, d), QTime(h, 0), QTimeZone::utc()).toSecsSinceEpoch();
  };
  struct TCase {
    std::string Title1, Title2, Symbol, Rate;
    bool Dated;
    long long Origin;
  };
  const std::vector<TCase> cases = {
      {"Hupsel, hourly",
       "Rain, escape rate and runoff in mm/hour; time in hours (t=1: end of first hour)", "h",
       "mm/h", false, 0},
      {"SPOTPY, daily, 1 Jan 2013 - 31 Dec 2016", "Rain and runoff in mm/day; time in days", "d",
       "mm/d", false, 0},
      // The second title decides before the first.
      {"daily", "runoff in mm/h", "h", "mm/h", false, 0},
      {"Hupsel", "hours since 2011-01-11 06:00, depths in mm", "h", "mm/h", true,
       epoch(2011, 1, 11, 6)},
      {"Station", "days since 2013-04-01, depths in mm", "d", "mm/d", true, epoch(2013, 4, 1, 0)},
      {"Station", "time as given in the table, depths in mm", "", "mm per time step", false, 0}};
  for (const TCase& c : cases) {
    const TTimeUnits units = TimeUnitsOf(c.Title1, c.Title2);
    EXPECT_EQ(units.Symbol, c.Symbol) << c.Title2;
    EXPECT_EQ(units.Rate, c.Rate) << c.Title2;
    EXPECT_EQ(units.Dated, c.Dated) << c.Title2;
    if (c.Dated) {
      EXPECT_EQ(units.OriginSeconds, c.Origin) << c.Title2;
    }
  }
}

TEST_F(ReportFigures, FitMapTextsKeepApartAndInside) {
  TFitMap map;
  map.Step = 1000;
  map.Outer = {0, 1000, 2000};
  map.Inner = {1, 1000, 2000};
  map.SumSq = {1.9, 1.0, 0.6, 0.5, 0.1, 0.5, 0.6, 1.0, 1.9};
  map.Deviation = 1;
  map.Records = 20;
  map.Optimum.outer = 1000;
  map.Optimum.inner = 1000;
  map.Optimum.sum = 0.1;
  map.Threshold = 0.15;
  for (const TFigureFormat& format : {Report(623, 465, 96), Report(1890, 1417, 300)}) {
    const TFitMapReportLayout layout =
        LayoutReportFitMap(map, "Hupsel brook, hourly", "winter", format);
    EXPECT_EQ(layout.X.Title, "Coefficient A (1/mm)");
    EXPECT_EQ(layout.Y.Title, "Constant C (1/h)");
    ExpectReadable(layout.Texts, format.Width, format.Height, {}, {});
    // The texts keep off the map and its colour bar.
    for (const TPlacedText& text : layout.Texts) {
      EXPECT_FALSE(text.Box.intersects(layout.Plot)) << text.Text;
      EXPECT_FALSE(text.Box.intersects(layout.ColourBar)) << text.Text;
    }
    // The optimum and the region are keyed.
    EXPECT_EQ(layout.Keys.size(), 2u);
  }
  // Its scale rises steadily in luminance from the poorest fits to the best,
  // so that it reads in grey as well.
  const auto luminance = [](const QColor& colour) {
    const auto linear = [](double c) {
      return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
  };
  double previous = -1;
  for (int k = 0; k <= 20; ++k) {
    const double value = luminance(UniformScaleColour(k / 20.0));
    EXPECT_GT(value, previous) << k;
    previous = value;
  }
}

// An SVG the renderer reads back at the asked size, and a PDF of one page
// of the asked size: 600 x 450 pixels at 144 dpi is 300 x 225 points.
TEST_F(ReportFigures, SvgAndPdfFilesAreValid) {
  const TTemporaryDirectory directory;
  const TDMTevlora data = LoadResults(ExampleDataFile("spotpy_d_spring2013.out"), 1);
  TFigureFormat classic;
  classic.Width = 600;
  classic.Height = 450;
  classic.Dpi = 144;
  const TFigureFormat report = Report(600, 450, 144);
  const TGraphLayout classicLayout = LayoutGraph(data, 1, true);
  const TReportLayout reportLayout = LayoutReportGraph(data, kHydrographGraphKind, report);
  const std::vector<std::pair<TFigureFormat, TFigurePaint>> figures = {
      {classic, ScaledClassic(classic,
                              [&](QPainter& painter, bool smooth) {
                                PaintGraph(painter, data, classicLayout, smooth);
                              })},
      {report, [&](QPainter& painter) { PaintReportGraph(painter, reportLayout); }}};
  for (const auto& [format, paint] : figures) {
    const std::string svg = directory.File("figure.svg"), pdf = directory.File("figure.pdf");
    ASSERT_TRUE(SaveFigure(svg, TFigureFileType::Svg, format, paint));
    ASSERT_TRUE(SaveFigure(pdf, TFigureFileType::Pdf, format, paint));
    const QSvgRenderer renderer(QString::fromStdString(svg));
    EXPECT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.viewBoxF(), QRectF(0, 0, 600, 450));

    const std::string bytes = ReadFileBytes(pdf);
    EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u);
    const std::regex page(R"(/Type\s*/Page[^s])");
    EXPECT_EQ(std::distance(std::sregex_iterator(bytes.begin(), bytes.end(), page),
                            std::sregex_iterator()),
              1);
    std::smatch box;
    ASSERT_TRUE(
        std::regex_search(bytes, box, std::regex(R"(/MediaBox\s*\[\s*0 0 ([\d.]+) ([\d.]+))")));
    EXPECT_NEAR(std::stod(box[1]), 300, 0.01);
    EXPECT_NEAR(std::stod(box[2]), 225, 0.01);
  }
  // A larger PNG says its resolution.
  const QImage png = RenderFigure(report, figures[1].second);
  EXPECT_EQ(png.size(), QSize(600, 450));
  EXPECT_EQ(png.dotsPerMeterX(), 5669);  // 144 / 0.0254
}

int RunBatch(const std::string& arguments) {
  const std::string command = "\"" + std::string(BATCH_TOOL) + "\" " + arguments + " 2>/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The pictures of the README were made by the batch tool before it drew
// anything else; without the new options it still makes them byte for byte.
TEST_F(ReportFigures, ClassicPicturesOfTheBatchToolAreUnchanged) {
  const TTemporaryDirectory directory;
  const std::vector<std::pair<std::string, std::string>> pictures = {
      {"graph \"" + ExampleDataFile("hupsel_h_jan2011_storms.out") + "\" 1", "graph_kind1.png"},
      {"graph \"" + ExampleDataFile("spotpy_d_spring2013.out") + "\" 3 --bw", "graph_kind3_bw.png"},
      {"graph \"" + ExampleDataFile("hupsel_h_dec2012_pred_drain.out") + "\" 5", "graph_kind5.png"},
      {"graph \"" + ExampleDataFile("hupsel_h_jan2011_storms.out") + "\" 8", "graph_kind8.png"},
      {"map \"" + ExampleDataFile("spotpy_d_spring2013.inp") + "\"", "fitmap_spring2013.png"}};
  for (const auto& [arguments, picture] : pictures) {
    const std::string output = directory.File(picture);
    ASSERT_EQ(RunBatch(arguments + " -o \"" + output + "\""), 0) << arguments;
    EXPECT_TRUE(ReadFileBytes(output) ==
                ReadFileBytes(std::string(PROJECT_DATA_DIR) + "/../docs/" + picture))
        << picture;
  }
}

TEST_F(ReportFigures, BatchWritesVectorFiguresAndRefusesBadSizes) {
  const TTemporaryDirectory directory;
  const std::string results = "\"" + ExampleDataFile("spotpy_d_flood2013_12d.out") + "\"";
  const std::string svg = directory.File("h.svg"), pdf = directory.File("m.pdf");
  ASSERT_EQ(RunBatch("graph " + results + " 10 -o \"" + svg + "\""), 0);
  EXPECT_TRUE(QSvgRenderer(QString::fromStdString(svg)).isValid());
  ASSERT_EQ(RunBatch("map \"" + ExampleDataFile("spotpy_d_flood2013_12d.inp") +
                     "\" --style report --step 20 -o \"" + pdf + "\""),
            0);
  EXPECT_EQ(ReadFileBytes(pdf).rfind("%PDF-", 0), 0u);
  // An SVG or PDF the tool made is a picture it may replace when asked.
  EXPECT_EQ(RunBatch("graph " + results + " 1 --style report --force -o \"" + svg + "\""), 0);
  for (const char* bad : {"--size 100x100", "--size 800", "--dpi 20", "--style fancy"}) {
    EXPECT_EQ(RunBatch("graph " + results + " 1 " + std::string(bad) + " -o \"" +
                       directory.File("x.png") + "\""),
              2)
        << bad;
  }
  // The calibration split is marked on the hydrograph, and asked of no other kind.
  const std::string split = directory.File("split.png"), plain = directory.File("plain.png");
  ASSERT_EQ(RunBatch("graph " + results + " 10 --calibrate-until 6 -o \"" + split + "\""), 0);
  ASSERT_EQ(RunBatch("graph " + results + " 10 -o \"" + plain + "\""), 0);
  EXPECT_NE(ReadFileBytes(split), ReadFileBytes(plain));
  EXPECT_EQ(RunBatch("graph " + results + " 1 --calibrate-until 6 -o \"" +
                     directory.File("k1.png") + "\""),
            2);
  // The hydrograph needs analysis results.
  EXPECT_EQ(RunBatch("graph \"" + ExampleDataFile("hupsel_h_dec2012_pred_drain.out") +
                     "\" 10 -o \"" + directory.File("p.png") + "\""),
            1);
}

}  // namespace
