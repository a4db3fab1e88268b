// Helpers of the graph tests: series slots filled as LoadGraphSeries fills
// them, the application object the fonts need, pixel counting, and results
// files made by running the example data sets.
#pragma once

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QSet>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UGraphDraw.h"
#include "UPrediction.h"
#include "URainRun.h"
#include "USession.h"

// Made on first use (offscreen when no platform is named), kept to the end.
inline void EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "graphs_tests";
  static char* argv[] = {name, nullptr};
  new QGuiApplication(argc, argv);
}

struct TSeriesSpec {
  std::vector<double> T{}, A{}, B{}, C{}, D{}, F{};
};

// NrOfData is the length of SeriesT.
inline TDMTevlora MakeGraphData(const TSeriesSpec& series) {
  TDMTevlora data;
  data.SeriesT = series.T;
  data.SeriesA = series.A;
  data.SeriesB = series.B;
  data.SeriesC = series.C;
  data.SeriesD = series.D;
  data.SeriesF = series.F;
  data.NrOfData = static_cast<int>(series.T.size());
  data.Title1 = "Hupsel brook";
  data.Title2 = "winter 2011-2012";
  return data;
}

// A picture as DrawGraph draws it, with the layout it was drawn by.
struct TDrawnGraph {
  TGraphLayout Layout;
  QImage Image;
};

inline TDrawnGraph DrawGraphAndLayout(const TDMTevlora& data, int graphKind, bool colourGraph) {
  const TTrendFileValues trend = graphKind == 8 ? ReadTrendFile(data.FileName) : TTrendFileValues{};
  TDrawnGraph drawn{LayoutGraph(data, graphKind, colourGraph, trend), {}};
  drawn.Image = DrawGraph(data, drawn.Layout);
  return drawn;
}

inline std::vector<double> Ramp(double first, double step, int count) {
  std::vector<double> values;
  for (int i = 0; i < count; ++i) values.push_back(first + i * step);
  return values;
}

inline void PrintTo(const QColor& colour, std::ostream* out) {
  *out << "rgb(" << colour.red() << ", " << colour.green() << ", " << colour.blue() << ")";
}

namespace GraphColour {
inline const QColor kSilver(192, 192, 192), kNavy(0, 0, 139), kWhite(255, 255, 255),
    kBlack(0, 0, 0), kGrey(128, 128, 128), kCyan(0, 255, 255), kSkyBlue(166, 202, 240),
    kYellow(255, 255, 0);
}  // namespace GraphColour

// Pixels of `colour` in [x1, x2] x [y1, y2] (the whole image by default).
inline int CountColour(const QImage& image, const QColor& colour, int x1 = 0, int y1 = 0,
                       int x2 = 622, int y2 = 464) {
  int count = 0;
  for (int y = y1; y <= y2; ++y) {
    for (int x = x1; x <= x2; ++x) count += image.pixelColor(x, y) == colour;
  }
  return count;
}

// Pixels in a colour that the variant does not use.
inline int ForeignPixels(const QImage& image, bool colourGraph) {
  using namespace GraphColour;
  QSet<QRgb> allowed = {kSilver.rgb(), kWhite.rgb(), kBlack.rgb()};
  if (colourGraph) {
    allowed += {kNavy.rgb(), kCyan.rgb(), kSkyBlue.rgb(), kYellow.rgb()};
  } else {
    allowed += kGrey.rgb();
  }
  int foreign = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) foreign += !allowed.contains(image.pixel(x, y));
  }
  return foreign;
}

// Copies an example input file of Data (with its .par) into `directory` and
// runs on it what Save/Run runs. Returns the results file and the number of
// records of the input file.
struct TExampleResults {
  std::string ResultsFile;
  int Records = 0;
};

inline TExampleResults RunExample(const TTemporaryDirectory& directory, const std::string& name) {
  for (const char* extension : {".inp", ".par"}) {
    if (std::filesystem::exists(ExampleDataFile(name + extension))) {
      WriteFileBytes(directory.File(name + extension),
                     ReadFileBytes(ExampleDataFile(name + extension)));
    }
  }
  TRecordingDialogs dialogs;
  TSession session;
  TDMTevlora& data = session.Data;
  data.Dialogs = &dialogs;
  data.FileName = directory.File(name + ".inp");
  if (!data.ReadInputFile()) return {};
  const int records = data.NrOfData;
  data.Analysis ? RunAnalysis(data, session.Run) : RunPrediction(data, session.Prediction);
  return {directory.File(name + ".out"), records};
}
