// tevlora-batch map: the fit map of A and C of an analysis input file, drawn
// and saved without a window, and its grid as a table for spreadsheets.
#include <QGuiApplication>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "BatchCommands.h"
#include "BatchFigure.h"
#include "FigureFile.h"
#include "FitMap.h"
#include "FitMapDraw.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UGraphDraw.h"
#include "URainRun.h"

namespace {
constexpr const char* kMapUsage =
    "usage: tevlora-batch map FILE.inp [-o MAP.png|.bmp|.svg|.pdf] [--bw] [--step K] [--zoom]\n"
    "                         [--style classic|report] [--size WxH] [--dpi N]\n"
    "                         [--csv GRID.csv] [--force]\n";

struct TMapOptions {
  std::string InputFile;
  std::string Output;
  std::string Csv;
  bool Colour = true;
  bool Force = false;
  TFitMapOptions Map;
  TFigureOptions Figure;
};

int MakeMap(const TMapOptions& options) {
  TStderrDialogs dialogs;
  TDMTevlora data;
  data.DataModuleCreate();
  data.Dialogs = &dialogs;
  data.FileName = options.InputFile;
  if (!data.ReadInputFile()) return 2;
  if (data.RunKind != " Ana") {
    dialogs.Message("The fit map needs an analysis input file; \"" + options.InputFile +
                    "\" is a prediction.");
    return 1;
  }
  const auto start = std::chrono::steady_clock::now();
  TSearchProblem problem;
  if (!FitMapProblemOfInputFile(data, problem)) return 1;
  int told = 0;
  // Only the cells whose sum the picture could tell from a sum near it are
  // worked out exactly, unless the grid's table wants every sum.
  TFitMapOptions mapOptions = options.Map;
  if (options.Csv.empty()) mapOptions.ColourKey = FitMapColourKey;
  const TFitMap map = ComputeFitMap(problem, mapOptions, [&](double share) {
    const int percent = static_cast<int>(share * 100);
    if (percent >= told + 10 && percent < 100) {
      told = percent / 10 * 10;
      dialogs.Progress(" Fit map " + std::to_string(told) + "% ....");
    }
  });
  // The run stops here with its message: neither picture nor grid.
  if (!map.Optimum.Found()) {
    dialogs.Message(RainRunTexts::kNoFit);
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "Fit map of %d x %d trials (%s) in %.2f s, of which the search %.2f s\n",
               map.Columns(), map.Rows(), FitMapGridText(map).c_str(), seconds, map.SearchSeconds);
  std::fprintf(stderr, "The %s\n", FitMapOptimumText(map).c_str());
  if (map.Penalties > 0) std::fprintf(stderr, "%s\n", FitMapPenaltyText(map.Penalties).c_str());
  if (const std::string note = FitMapNote(map); !note.empty()) {
    std::fprintf(stderr, "%s\n", note.c_str());
  }

  const auto application = MakeGuiApplication();
  const TFigureFormat format = FigureFormatOf(options.Figure, options.Colour, false);
  const TFigureFileType type = FigureFileTypeOf(options.Output);
  bool saved = false;
  if (format.IsClassicBitmap() && type != TFigureFileType::Svg && type != TFigureFileType::Pdf) {
    const QImage image = DrawFitMap(map, data.Title1, data.Title2, options.Colour);
    saved = SaveGraphBitmap(image, options.Output, type == TFigureFileType::Bitmap ? "BMP" : "PNG");
  } else {
    saved = SaveFigure(options.Output, type, format,
                       FitMapFigure(map, data.Title1, data.Title2, format));
  }
  if (!saved) {
    std::fprintf(stderr, "tevlora-batch map: \"%s\" could not be written\n",
                 options.Output.c_str());
    return 2;
  }
  dialogs.Message("The fit map was saved in  " + options.Output);
  if (!options.Csv.empty()) {
    const bool written = SaveStreamedFileSafely(options.Csv, [&](const TFileSink& sink) {
      return WriteFitMapCsv(problem, map, sink, options.Map.Threads);
    });
    if (!written) {
      std::fprintf(stderr, "tevlora-batch map: \"%s\" could not be written\n", options.Csv.c_str());
      return 2;
    }
    dialogs.Message("The grid was saved in  " + options.Csv);
  }
  return 0;
}
}  // namespace

int BatchMap(const TArguments& arguments) {
  TMapOptions options;
  TCommandLine base("map", kMapUsage);
  const TCommandLine line = FigureOptions(base, options.Figure)
                                .Flag("--bw", options.Colour, false)
                                .Flag("--force", options.Force)
                                .Flag("--zoom", options.Map.Zoom)
                                .Text("-o", options.Output)
                                .Text("--csv", options.Csv)
                                .WholeNumber("--step", options.Map.Step, 1, kInnerTrials)
                                .Words(1, 1, "one analysis input file is needed");
  const std::optional<TArguments> words = line.Parse(arguments);
  if (!words) return 2;
  options.InputFile = words->front();
  if (options.Output.empty()) options.Output = ChangeFileExt(options.InputFile, "") + "_map.png";
  if (FigureFileTypeOf(options.Output) == TFigureFileType::Unknown) {
    return line.UsageError("the picture's name must end in .png, .bmp, .svg or .pdf");
  }
  // Refused before the map is computed, which may take a while, and before
  // either file is written.
  std::vector<TOutput> outputs = {{options.Output, true}};
  if (!options.Csv.empty()) outputs.push_back({options.Csv, false});
  const std::vector<std::string> read = {options.InputFile,
                                         ChangeFileExt(options.InputFile, ".par")};
  if (const auto refusal = OutputsRefusal(read, outputs, options.Force)) {
    PrintMessage("tevlora-batch map: " + *refusal);
    return 1;
  }
  if (!LoadTextFile(options.InputFile)) {
    PrintMessage("tevlora-batch map: \"" + options.InputFile + "\" cannot be read" +
                 ReadFailureReason());
    return 2;
  }
  try {
    return MakeMap(options);
  } catch (const TIOError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  } catch (const std::logic_error& error) {
    std::fprintf(stderr, "tevlora-batch map: %s\n", error.what());
    return 2;
  }
}
