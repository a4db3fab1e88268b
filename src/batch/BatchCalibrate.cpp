// tevlora-batch calibrate: the exact optimum over the maximum and initial
// dead storage and A and C of an analysis input file, with the results and
// trend files of the best pair written as run writes them.
#include <QGuiApplication>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "BatchCommands.h"
#include "FitMeasures.h"
#include "ProfileMapDraw.h"
#include "StorageCalibration.h"
#include "TextFile.h"
#include "UGraphDraw.h"
#include "URunModel.h"
#include "USession.h"

namespace {
namespace fs = std::filesystem;

constexpr const char* kCalibrateUsage =
    "usage: tevlora-batch calibrate FILE.inp [--max-storage FROM:TO:STEP]\n"
    "         [--initial-storage FROM:TO:STEP|--initial-fraction F1,F2,...]\n"
    "         [--calibrate-until T] [--profile PROFILE.csv] [--map PROFILE.png]\n"
    "         [-o BEST.inp] [--force] [--summary]\n";

struct TCalibrateOptions {
  std::string InputFile, Output, Profile, Map;
  std::optional<TStorageRange> MaxStorage, InitialStorage;
  std::optional<std::vector<double>> InitialFractions;
  std::optional<double> CalibrateUntil;
  bool Force = false;
  bool Summary = false;
};

std::string Exact(double value) {
  if (!std::isfinite(value)) return {};
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string LowerExtension(const std::string& fileName) {
  std::string extension = fs::path(fileName).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

// Smax,S0,A,C,SumSq,RSquare,NSE,KGE: one row per pair, in pair order; the
// fields of a pair without a fit empty.
std::string ProfileCsv(const TStorageCalibration& calibration) {
  TTextWriter out;
  out.Line("Smax,S0,A,C,SumSq,RSquare,NSE,KGE");
  for (const auto& entry : calibration.Profile) {
    out << Exact(entry.Pair.MaxStorage) << "," << Exact(entry.Pair.InitStorage);
    if (entry.Known) {
      out << "," << Trim(FormatFixed(entry.A, 1, 4)) << "," << Trim(FormatFixed(entry.C, 1, 3))
          << "," << Exact(entry.SumSq) << "," << Exact(entry.RSquare) << "," << Exact(entry.NSE)
          << "," << Exact(entry.KGE);
    } else {
      out << ",,,,,,";
    }
    out.EndLine();
  }
  return out.Text();
}

std::string MeasuresText(const TFitMeasures& fit) {
  return std::to_string(fit.Records) + " records, NSE " + FitMeasureText(fit.NSE, 3) + ", KGE " +
         FitMeasureText(fit.KGE, 3) + ", PBIAS " + FitMeasureText(fit.PBIAS, 1) + " %, RMSE " +
         FitMeasureText(fit.RMSE, 3) + ", peak error " + FitMeasureText(fit.PeakError, 1) + " %";
}

int Calibrate(const TCalibrateOptions& options, TStderrDialogs& dialogs, TSession& session) {
  TDMTevlora& data = session.Data;
  TAnalysisRun& run = session.Run;
  data.DataModuleCreate();
  data.Dialogs = &dialogs;
  data.FileName = options.InputFile;
  if (!data.ReadInputFile()) return 2;
  if (data.RunKind != " Ana") {
    PrintMessage("tevlora-batch calibrate: " + options.InputFile +
                 ": the storages are calibrated on an analysis input file, not a prediction");
    return 2;
  }
  // The results belong to the input file that holds the best storages.
  const std::string target = options.Output.empty() ? options.InputFile : options.Output;
  data.FileName = target;
  if (RunWouldOverwriteInput(data, options.InputFile)) return 1;

  // The records, read as the analysis reads them; the storages of the file
  // play no part (a maximum storage of 0 must not stop the reading).
  TDMTevlora records = data;
  records.Dialogs = &dialogs;
  if (!(records.MaxStorage > 0)) records.MaxStorage = 1;
  run.RegressionOff = true;
  run.CalibrateUntil = options.CalibrateUntil;
  ReadAndCheckText(records, run, *records.InputFileText());
  if (!run.VariationOk || run.TimeSequenceError || records.RunAborted || !run.StorageOk) return 1;

  TStorageRanges ranges = DefaultStorageRanges(run);
  if (options.MaxStorage) ranges.MaxStorage = *options.MaxStorage;
  if (options.InitialStorage) {
    ranges.InitialFractions.clear();
    ranges.InitialStorage = *options.InitialStorage;
  }
  if (options.InitialFractions) ranges.InitialFractions = *options.InitialFractions;

  TStorageCalibrationOptions search;
  search.Threads = run.SearchThreadCount;
  search.FullProfile = !options.Profile.empty() || !options.Map.empty();
  int told = 0;
  search.Progress = [&](const TStorageProgress& progress) {
    const int percent = progress.Done * 100 / std::max(progress.Total, 1);
    if (percent < told + 10 || progress.Done == progress.Total) return;
    told = percent / 10 * 10;
    std::string line = " Storages " + std::to_string(told) + "% ....";
    if (progress.Found) {
      line += " best so far " + Trim(FormatFixed(progress.Best.MaxStorage, 1, 2)) + " / " +
              Trim(FormatFixed(progress.Best.InitStorage, 1, 2)) + " mm";
    }
    dialogs.Progress(line);
  };
  TStorageCalibration calibration;
  try {
    calibration = CalibrateStorages(run, ranges, search);
  } catch (const std::invalid_argument& refusal) {
    PrintMessage("tevlora-batch calibrate: " + std::string(refusal.what()));
    return 2;
  }
  PrintMessage("tevlora-batch calibrate: " + StorageRangesText(ranges) + "; " +
               std::to_string(calibration.Profile.size()) + " pairs, " +
               std::to_string(calibration.Searches) + " searches");
  if (!calibration.Found) {
    dialogs.Message(RainRunTexts::kNoFit);
    return 1;
  }

  const TStoragePair best = calibration.BestPair();
  data.MaxStorage = best.MaxStorage;
  data.InitStorage = best.InitStorage;
  if (!options.Output.empty() && !data.WriteInputFile()) return 2;
  // The analysis of the best pair, as run makes it of an input file that
  // holds these storages.
  const std::string text = *data.InputFileText();
  RunAnalysisOfText(data, run, text);
  if (!run.VariationOk || run.TimeSequenceError || data.RunAborted || !run.AlphaFitFound) return 1;
  if (run.BestA != calibration.A || run.BestC != calibration.C ||
      run.BestSumSq != calibration.SumSq) {
    data.ProgramError("The analysis of the best storages does not give the calibration's optimum.");
    return 1;
  }
  data.FileName = ChangeFileExt(data.FileName, ".out");
  PrintMessage("Maximum dead storage " + Trim(FormatFixed(run.RunMaxStorage, 1, 2)) +
               " mm, initial dead storage " + Trim(FormatFixed(run.RunInitStorage, 1, 2)) +
               " mm, A = " + Trim(FormatFixed(run.BestA, 1, 4)) +
               ", C = " + Trim(FormatFixed(run.BestC, 1, 3)));
  if (const std::string edge = StorageRangeEdgeText(calibration); !edge.empty()) {
    PrintMessage(edge);
  }
  if (run.CalibrateUntil) {
    PrintMessage("Calibration: " +
                 MeasuresText(FitMeasuresOfRecords(run, 2, run.CalibrationCount)));
    PrintMessage("Validation: " +
                 MeasuresText(FitMeasuresOfRecords(run, run.CalibrationCount + 1, run.RunCount)));
  }
  if (!options.Output.empty()) {
    dialogs.Message(RunDoneText(data.FileName));
  } else {
    dialogs.Message("Calculations were done and the output is saved in  " + data.FileName);
  }

  if (!options.Profile.empty()) {
    if (!SaveTextFileSafely(options.Profile, ProfileCsv(calibration))) {
      PrintMessage("tevlora-batch calibrate: \"" + options.Profile + "\" could not be written" +
                   WriteFailureReason());
      return 2;
    }
  }
  if (!options.Map.empty()) {
    const auto application = MakeGuiApplication();
    const QImage image = DrawStorageProfile(calibration, data.Title1, data.Title2);
    const char* format = LowerExtension(options.Map) == ".bmp" ? "BMP" : "PNG";
    if (!SaveGraphBitmap(image, options.Map, format)) {
      PrintMessage("tevlora-batch calibrate: \"" + options.Map + "\" could not be written");
      return 2;
    }
  }
  return 0;
}

}  // namespace

int BatchCalibrate(const TArguments& arguments) {
  TCalibrateOptions options;
  const auto range = [](const std::string& name, std::optional<TStorageRange>& target) {
    return [name, &target](const std::string& value) -> std::optional<std::string> {
      TStorageRange parsed;
      if (auto complaint = ParseStorageRange(value, parsed)) return name + ": " + *complaint;
      target = parsed;
      return std::nullopt;
    };
  };
  const TCommandLine line =
      TCommandLine("calibrate", kCalibrateUsage)
          .Value("--max-storage", range("--max-storage", options.MaxStorage))
          .Value("--initial-storage", range("--initial-storage", options.InitialStorage))
          .Value("--initial-fraction",
                 [&options](const std::string& value) -> std::optional<std::string> {
                   std::vector<double> fractions;
                   if (auto complaint = ParseStorageFractions(value, fractions)) {
                     return "--initial-fraction: " + *complaint;
                   }
                   options.InitialFractions = fractions;
                   return std::nullopt;
                 })
          .Number("--calibrate-until", options.CalibrateUntil)
          .Text("--profile", options.Profile)
          .Text("--map", options.Map)
          .Text("-o", options.Output)
          .Flag("--force", options.Force)
          .Flag("--summary", options.Summary)
          .Words(1, 1, "one analysis input file is needed");
  const std::optional<TArguments> words = line.Parse(arguments);
  if (!words) return 2;
  if (options.InitialStorage && options.InitialFractions) {
    return line.UsageError("give --initial-storage or --initial-fraction, not both");
  }
  options.InputFile = fs::path(words->front()).lexically_normal().string();
  std::error_code error;
  if (!fs::is_regular_file(options.InputFile, error)) {
    PrintMessage("tevlora-batch calibrate: " + words->front() + ": no such input file");
    return 2;
  }
  if (!options.Output.empty() && LowerExtension(options.Output) != ".inp") {
    return line.UsageError("the input file -o writes must end in .inp");
  }
  if (!options.Map.empty() && LowerExtension(options.Map) != ".png" &&
      LowerExtension(options.Map) != ".bmp") {
    return line.UsageError("the profile picture's name must end in .png or .bmp");
  }
  // Refused before the calibration, which takes a while, and before any
  // file is written.
  std::vector<TOutput> outputs;
  if (!options.Output.empty()) outputs.push_back({options.Output, false});
  if (!options.Profile.empty()) outputs.push_back({options.Profile, false});
  if (!options.Map.empty()) outputs.push_back({options.Map, true});
  const std::string target = options.Output.empty() ? options.InputFile : options.Output;
  const std::vector<std::string> read = {
      options.InputFile, ChangeFileExt(options.InputFile, ".par"), ChangeFileExt(target, ".out"),
      ChangeFileExt(target, ".dat")};
  if (const auto refusal = OutputsRefusal(read, outputs, options.Force)) {
    PrintMessage("tevlora-batch calibrate: " + *refusal);
    return 1;
  }

  TRunSummary summary(options.Summary, options.CalibrateUntil.has_value());
  summary.Begin();
  TStderrDialogs dialogs;
  TSession session;
  int status = 2;
  try {
    status = Calibrate(options, dialogs, session);
  } catch (const TIOError& failure) {
    PrintMessage(failure.what());
    status = 2;
  }
  summary.End(options.InputFile, status, session.Run);
  return status;
}
