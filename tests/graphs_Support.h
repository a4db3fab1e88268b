// Helpers of the graph tests: a data set whose series slots are filled as
// LoadGraphSeries fills them, and the application object the fonts need.
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
#include "UPrediction.h"
#include "URainRun.h"

// Text needs a QGuiApplication; one is made on first use (offscreen when no
// platform is named) and lives until the test program ends.
inline void EnsureGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "graphs_tests";
  static char* argv[] = {name, nullptr};
  new QGuiApplication(argc, argv);
}

// Series given per slot; NrOfData is the length of SeriesT.
struct TSeriesSpec {
  std::vector<double> T{}, A{}, B{}, C{}, D{}, F{};
};

inline TDMTevlora MakeGraphData(const TSeriesSpec& spec) {
  TDMTevlora data;
  data.SeriesT = spec.T;
  data.SeriesA = spec.A;
  data.SeriesB = spec.B;
  data.SeriesC = spec.C;
  data.SeriesD = spec.D;
  data.SeriesF = spec.F;
  data.NrOfData = static_cast<int>(spec.T.size());
  data.Title1 = "Hupsel brook";
  data.Title2 = "winter 2011-2012";
  for (int i = 0; i < data.NrOfData; ++i) data.SerialNr.push_back(i + 1);
  return data;
}

inline std::vector<double> Repeat(double value, int count) {
  return std::vector<double>(static_cast<std::size_t>(count), value);
}

inline std::vector<double> Ramp(double first, double step, int count) {
  std::vector<double> values;
  for (int i = 0; i < count; ++i) values.push_back(first + i * step);
  return values;
}

// Readable colours in test failures.
inline void PrintTo(const QColor& colour, std::ostream* out) {
  *out << "rgb(" << colour.red() << ", " << colour.green() << ", " << colour.blue() << ")";
}

namespace GraphColour {
inline const QColor kSilver(192, 192, 192);
inline const QColor kNavy(0, 0, 139);
inline const QColor kWhite(255, 255, 255);
inline const QColor kBlack(0, 0, 0);
inline const QColor kGrey(128, 128, 128);
inline const QColor kCyan(0, 255, 255);
inline const QColor kSkyBlue(166, 202, 240);
inline const QColor kYellow(255, 255, 0);
}  // namespace GraphColour

inline QColor PixelAt(const QImage& image, int x, int y) {
  return image.pixelColor(x, y);
}

// Number of pixels of `colour` in the rectangle [x1, x2] x [y1, y2].
inline int CountColour(const QImage& image, const QColor& colour, int x1, int y1, int x2, int y2) {
  int count = 0;
  for (int y = y1; y <= y2; ++y) {
    for (int x = x1; x <= x2; ++x) {
      if (image.pixelColor(x, y) == colour) ++count;
    }
  }
  return count;
}

inline int CountColour(const QImage& image, const QColor& colour) {
  return CountColour(image, colour, 0, 0, image.width() - 1, image.height() - 1);
}

// Pixels of a colour that the graph does not use: the palette of the colour
// variant, or silver, white, black and grey in black and white.
inline int ForeignPixels(const QImage& image, bool colourGraph) {
  using namespace GraphColour;
  const QSet<QRgb> colourSet = {kSilver.rgb(), kNavy.rgb(),    kWhite.rgb(), kBlack.rgb(),
                                kCyan.rgb(),   kSkyBlue.rgb(), kYellow.rgb()};
  const QSet<QRgb> blackAndWhiteSet = {kSilver.rgb(), kWhite.rgb(), kBlack.rgb(), kGrey.rgb()};
  const QSet<QRgb>& allowed = colourGraph ? colourSet : blackAndWhiteSet;
  int foreign = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (!allowed.contains(image.pixel(x, y) | 0xff000000u)) ++foreign;
    }
  }
  return foreign;
}

// Copies an example input file of Data (with its drainage parameter file) into
// `directory` and runs on it what Save/Run runs. Returns the results file and
// the number of records of the input file.
struct TExampleResults {
  std::string ResultsFile;
  int Records = 0;
};

inline TExampleResults RunExample(const TTemporaryDirectory& directory, const std::string& name) {
  const std::string input = directory.File(name + ".inp");
  WriteFileBytes(input, ReadFileBytes(ExampleDataFile(name + ".inp")));
  if (std::filesystem::exists(ExampleDataFile(name + ".par"))) {
    WriteFileBytes(directory.File(name + ".par"), ReadFileBytes(ExampleDataFile(name + ".par")));
  }
  TRecordingDialogs dialogs;
  TDMTevlora data;
  data.Dialogs = &dialogs;
  data.FileName = input;
  if (!data.ReadInputFile()) return {};
  const int records = data.NrOfData;
  if (data.Analysis) {
    RunAnalysis(data);
  } else {
    RunPrediction(data);
  }
  return {ChangeFileExt(input, ".out"), records};
}
