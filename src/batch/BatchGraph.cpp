// tevlora-batch graph: one graph of a results file drawn and saved without a
// window, in colour or black and white, or in the report style; as a bitmap,
// a PNG, an SVG or a PDF.
#include <QGuiApplication>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "BatchCommands.h"
#include "BatchFigure.h"
#include "FigureFile.h"
#include "ReportGraph.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UGraphDraw.h"
#include "UTevloraUtils.h"

namespace {
constexpr const char* kGraphUsage =
    "usage: tevlora-batch graph FILE.out KIND [--bw] [--style classic|report]\n"
    "                           [--size WxH] [--dpi N] [-o FILE.bmp|.png|.svg|.pdf]\n"
    "                           [--calibrate-until T] [--force]\n"
    "  KIND 1, 3, 7, 8, 9 for analysis results, 2, 4, 5 for prediction results,\n"
    "  10 the report hydrograph of analysis results; --calibrate-until marks the\n"
    "  end of the calibration records on the hydrograph\n";

std::string AnalysisKindsOnlyText(int kind, const std::string& fileName) {
  return "Graph kind " + std::to_string(kind) + " draws analysis results; \"" + fileName +
         "\" holds prediction results.";
}

std::string PredictionKindsOnlyText(int kind, const std::string& fileName) {
  return "Graph kind " + std::to_string(kind) + " draws prediction results; \"" + fileName +
         "\" holds analysis results.";
}

std::string NotResultsFileText(const std::string& fileName) {
  return "tevlora-batch graph: \"" + fileName + "\" is not a results file of TevloraT";
}

std::string SavedText(const std::string& fileName) {
  return "The graph was saved in  " + fileName;
}

struct TGraphOptions {
  std::string ResultsFile;
  int Kind = 0;
  bool Colour = true;
  std::string Output;
  bool Force = false;
  TFigureOptions Figure;
  std::optional<double> CalibrateUntil;
};

std::optional<int> ParseKind(const std::string& text) {
  if (text == "10") return kHydrographGraphKind;
  if (text.size() != 1 || !std::isdigit(static_cast<unsigned char>(text[0]))) return std::nullopt;
  const int kind = text[0] - '0';
  if (!IsGraphKind(kind)) return std::nullopt;
  return kind;
}

bool DrawsAnalysis(int kind) {
  return kind == kHydrographGraphKind || IsAnalysisGraphKind(kind);
}

// Nothing is written over a file the user did not offer: an existing picture
// only with --force, anything else (results, trend, input, a folder, a
// device) never. Returns the exit status of a refusal, or 0.
int RefusedOutput(const TGraphOptions& options) {
  const std::vector<std::string> read = {options.ResultsFile,
                                         ChangeFileExt(options.ResultsFile, ".dat")};
  if (const auto refusal = OutputsRefusal(read, {{options.Output, true}}, options.Force)) {
    PrintMessage("tevlora-batch graph: " + *refusal);
    return 1;
  }
  return 0;
}

int DrawAndSave(const TGraphOptions& options) {
  TStderrDialogs dialogs;
  TDMTevlora data;
  data.Dialogs = &dialogs;

  data.FileName = options.ResultsFile;
  data.OutFileName = options.ResultsFile;
  data.InspectOutputFile();
  if (dialogs.MessageCount > 0) return 2;
  const bool analysisFile = data.ResultsMarker == "RECO" || data.ResultsMarker == "----";
  const bool predictionFile = data.ResultsMarker == "PRED";
  if (!analysisFile && !predictionFile) {
    PrintMessage(NotResultsFileText(options.ResultsFile));
    return 2;
  }
  if (DrawsAnalysis(options.Kind) && !analysisFile) {
    dialogs.Message(AnalysisKindsOnlyText(options.Kind, options.ResultsFile));
    return 1;
  }
  if (!DrawsAnalysis(options.Kind) && !predictionFile) {
    dialogs.Message(PredictionKindsOnlyText(options.Kind, options.ResultsFile));
    return 1;
  }
  // The hydrograph takes the series of the runoff graph, which hold rain and
  // recharge as well.
  const bool hydrograph = options.Kind == kHydrographGraphKind;
  data.LoadGraphSeries(hydrograph ? 1 : options.Kind);
  if (dialogs.MessageCount > 0) return 1;
  if (const int refused = RefusedOutput(options)) return refused;

  const auto application = MakeGuiApplication();
  const TFigureFormat format = FigureFormatOf(options.Figure, options.Colour, hydrograph);
  // Any name but .png, .svg and .pdf gets a bitmap, as it always did.
  const TFigureFileType type = FigureFileTypeOf(options.Output);
  bool saved = false;
  if (format.IsClassicBitmap() && type != TFigureFileType::Svg && type != TFigureFileType::Pdf) {
    // The classic bitmap, exactly as the graphics tab saves it.
    const QImage image = DrawGraph(data, options.Kind, options.Colour);
    saved = SaveGraphBitmap(image, options.Output, type == TFigureFileType::Png ? "PNG" : "BMP");
  } else {
    saved = SaveFigure(options.Output, type, format,
                       GraphFigure(data, options.Kind, format, {options.CalibrateUntil, {}}));
  }
  if (!saved) {
    PrintMessage("tevlora-batch graph: \"" + options.Output + "\" could not be written");
    return 2;
  }
  dialogs.Message(SavedText(options.Output));
  return 0;
}
}  // namespace

int BatchGraph(const TArguments& arguments) {
  TGraphOptions options;
  TCommandLine base("graph", kGraphUsage);
  const TCommandLine line = FigureOptions(base, options.Figure)
                                .Flag("--bw", options.Colour, false)
                                .Flag("--force", options.Force)
                                .Number("--calibrate-until", options.CalibrateUntil)
                                .Text("-o", options.Output, "-o needs a file name")
                                .Words(2, 2, "a results file and a graph kind are needed");
  const std::optional<TArguments> words = line.Parse(arguments);
  if (!words) return 2;
  const std::string& kindText = (*words)[1];
  options.ResultsFile = (*words)[0];
  const std::optional<int> kind = ParseKind(kindText);
  if (!kind) return line.UsageError("\"" + kindText + "\" is not a graph kind");
  options.Kind = *kind;
  if (options.CalibrateUntil && options.Kind != kHydrographGraphKind) {
    return line.UsageError("--calibrate-until marks the report hydrograph (kind 10) only");
  }
  const bool report = options.Kind == kHydrographGraphKind || options.Figure.Style == "report";
  if (options.Output.empty()) {
    options.Output =
        ChangeFileExt(options.ResultsFile, "") + "_graph" + kindText + (report ? ".png" : ".bmp");
  }

  if (!LoadTextFile(options.ResultsFile)) {
    PrintMessage("tevlora-batch graph: \"" + options.ResultsFile + "\" cannot be read" +
                 ReadFailureReason());
    return 2;
  }
  try {
    return DrawAndSave(options);
  } catch (const TIOError& error) {
    PrintMessage(error.what());
    return 2;
  } catch (const std::logic_error& error) {
    PrintMessage(std::string("tevlora-batch graph: ") + error.what());
    return 2;
  }
}
