// tevlora-batch graph: one graph of a results file drawn and saved without a
// window, in colour or black and white.
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
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UGraphDraw.h"
#include "UTevloraUtils.h"

namespace {
const char* kGraphUsage =
    "usage: tevlora-batch graph FILE.out KIND [--bw] [-o FILE.bmp] [--force]\n"
    "  KIND 1, 3, 7, 8, 9 for analysis results, 2, 4, 5 for prediction results\n";

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
};

std::optional<int> ParseKind(const std::string& text) {
  if (text.size() != 1 || !std::isdigit(static_cast<unsigned char>(text[0]))) return std::nullopt;
  const int kind = text[0] - '0';
  if (!IsGraphKind(kind)) return std::nullopt;
  return kind;
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

bool EndsWithPng(const std::string& fileName) {
  if (fileName.size() < 4) return false;
  std::string extension = fileName.substr(fileName.size() - 4);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".png";
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
  if (IsAnalysisGraphKind(options.Kind) && !analysisFile) {
    dialogs.Message(AnalysisKindsOnlyText(options.Kind, options.ResultsFile));
    return 1;
  }
  if (!IsAnalysisGraphKind(options.Kind) && !predictionFile) {
    dialogs.Message(PredictionKindsOnlyText(options.Kind, options.ResultsFile));
    return 1;
  }
  data.LoadGraphSeries(options.Kind);
  if (dialogs.MessageCount > 0) return 1;
  if (const int refused = RefusedOutput(options)) return refused;

  const auto application = MakeGuiApplication();
  const QImage image = DrawGraph(data, options.Kind, options.Colour);
  if (!SaveGraphBitmap(image, options.Output, EndsWithPng(options.Output) ? "PNG" : "BMP")) {
    PrintMessage("tevlora-batch graph: \"" + options.Output + "\" could not be written");
    return 2;
  }
  dialogs.Message(SavedText(options.Output));
  return 0;
}
}  // namespace

int BatchGraph(const TArguments& arguments) {
  TGraphOptions options;
  const TCommandLine line = TCommandLine("graph", kGraphUsage)
                                .Flag("--bw", options.Colour, false)
                                .Flag("--force", options.Force)
                                .Text("-o", options.Output, "-o needs a file name")
                                .Words(2, 2, "a results file and a graph kind are needed");
  const std::optional<TArguments> words = line.Parse(arguments);
  if (!words) return 2;
  const std::string& kindText = (*words)[1];
  options.ResultsFile = (*words)[0];
  const std::optional<int> kind = ParseKind(kindText);
  if (!kind) return line.UsageError("\"" + kindText + "\" is not a graph kind");
  options.Kind = *kind;
  if (options.Output.empty()) {
    options.Output = ChangeFileExt(options.ResultsFile, "") + "_graph" + kindText + ".bmp";
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
