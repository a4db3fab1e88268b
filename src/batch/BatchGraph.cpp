// tevlora-batch graph: one graph of a results file drawn and saved without a
// window, in colour or black and white.
#include <QGuiApplication>
#include <algorithm>
#include <cctype>
#include <cstdio>
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

std::string ExistsText(const std::string& fileName) {
  return "tevlora-batch graph: \"" + fileName +
         "\" exists and is not replaced; --force replaces a picture";
}

std::string NotAPictureText(const std::string& fileName) {
  return "tevlora-batch graph: \"" + fileName +
         "\" exists and is not a picture; a graph is never written over it";
}

struct TGraphOptions {
  std::string ResultsFile;
  int Kind = 0;
  bool Colour = true;
  std::string Output;
  bool Force = false;
};

int UsageError(const std::string& complaint) {
  std::fprintf(stderr, "tevlora-batch graph: %s\n%s", complaint.c_str(), kGraphUsage);
  return 2;
}

std::optional<int> ParseKind(const std::string& text) {
  if (text.size() != 1 || !std::isdigit(static_cast<unsigned char>(text[0]))) return std::nullopt;
  const int kind = text[0] - '0';
  if (!IsGraphKind(kind)) return std::nullopt;
  return kind;
}

// A bitmap, PNG, JPEG or GIF picture by its first bytes. A bitmap needs more
// than "BM", which a title line may start with: its reserved bytes are zero
// and its information header has one of the known sizes.
bool StartsLikeAPicture(const std::string& bytes) {
  const auto startsWith = [&bytes](std::string_view prefix) {
    return bytes.compare(0, prefix.size(), prefix) == 0;
  };
  if (startsWith("\x89PNG\r\n\x1a\n") || startsWith("\xFF\xD8\xFF") || startsWith("GIF87a") ||
      startsWith("GIF89a")) {
    return true;
  }
  if (!startsWith("BM") || bytes.size() < 18) return false;
  if (bytes.compare(6, 4, std::string(4, '\0')) != 0) return false;
  const unsigned header = static_cast<unsigned char>(bytes[14]) |
                          static_cast<unsigned char>(bytes[15]) << 8 |
                          static_cast<unsigned>(static_cast<unsigned char>(bytes[16])) << 16 |
                          static_cast<unsigned>(static_cast<unsigned char>(bytes[17])) << 24;
  return header == 12 || header == 40 || header == 52 || header == 56 || header == 108 ||
         header == 124;
}

// Nothing is written over a file the user did not offer: an existing picture
// only with --force, anything else (results, input, a folder) never.
// Returns the exit status of a refusal, or 0.
int RefusedOutput(const TGraphOptions& options) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(options.Output, error);
  if (!fs::exists(status)) return 0;
  std::string start(32, '\0');
  std::ifstream in(options.Output, std::ios::binary);
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  start.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  if (!fs::is_regular_file(status) || !StartsLikeAPicture(start)) {
    std::fprintf(stderr, "%s\n", NotAPictureText(options.Output).c_str());
    return 1;
  }
  if (!options.Force) {
    std::fprintf(stderr, "%s\n", ExistsText(options.Output).c_str());
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

// Qt's own notes (such as a missing runtime directory) are not messages of
// this tool; only critical and fatal ones reach stderr.
void DropQtNotes(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  }
}

// Fonts need a QGuiApplication; without a display the offscreen platform
// draws just as well.
std::unique_ptr<QGuiApplication> MakeGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return nullptr;
  qInstallMessageHandler(DropQtNotes);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "tevlora-batch";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
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
    std::fprintf(stderr, "%s\n", NotResultsFileText(options.ResultsFile).c_str());
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
    std::fprintf(stderr, "tevlora-batch graph: \"%s\" could not be written\n",
                 options.Output.c_str());
    return 2;
  }
  dialogs.Message(SavedText(options.Output));
  return 0;
}
}  // namespace

int BatchGraph(const TArguments& arguments) {
  TGraphOptions options;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--bw") {
      options.Colour = false;
    } else if (argument == "--force") {
      options.Force = true;
    } else if (argument == "-o") {
      if (i + 1 >= arguments.size()) return UsageError("-o needs a file name");
      options.Output = arguments[++i];
    } else if (argument.size() > 1 && argument[0] == '-') {
      return UsageError("unknown option \"" + argument + "\"");
    } else {
      positional.push_back(argument);
    }
  }
  if (positional.size() != 2) return UsageError("a results file and a graph kind are needed");
  options.ResultsFile = positional[0];
  const std::optional<int> kind = ParseKind(positional[1]);
  if (!kind) return UsageError("\"" + positional[1] + "\" is not a graph kind");
  options.Kind = *kind;
  if (options.Output.empty()) {
    options.Output = ChangeFileExt(options.ResultsFile, "") + "_graph" + positional[1] + ".bmp";
  }
  if (!LoadTextFile(options.ResultsFile)) {
    std::fprintf(stderr, "tevlora-batch graph: \"%s\" cannot be read\n",
                 options.ResultsFile.c_str());
    return 2;
  }
  try {
    return DrawAndSave(options);
  } catch (const TIOError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 2;
  } catch (const std::logic_error& error) {
    std::fprintf(stderr, "tevlora-batch graph: %s\n", error.what());
    return 2;
  }
}
