// tevlora-batch run: Save/Run for saved input files, without a window.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "BatchCommands.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "URunModel.h"

namespace {

// The run mode is the one the file's second line states, even when a
// drainage parameter file lies beside a runoff-prediction file.
bool SecondLineSaysDrainage(const std::string& fileName) {
  const auto text = LoadTextFile(fileName);
  if (!text) return false;
  TTextReader in(*text);
  in.SkipLine();
  return in.ReadLine().rfind(DataModuleTexts::kPredictionDrainageLine, 0) == 0;
}

// 0: results written; 1: the run stopped with its message; 2: unreadable.
int RunOne(const std::string& argument, TStderrDialogs& dialogs) {
  // The file is named as the user named it, so results made from the
  // project's folder say "Data/..." as the example input files do.
  std::error_code error;
  const std::filesystem::path path = std::filesystem::path(argument).lexically_normal();
  if (!std::filesystem::is_regular_file(path, error)) {
    std::fprintf(stderr, "tevlora-batch: %s: no such input file\n", argument.c_str());
    return 2;
  }
  TDMTevlora data;
  data.DataModuleCreate();
  data.Dialogs = &dialogs;
  data.FileName = path.string();
  try {
    if (!data.ReadInputFile()) return 2;
    if (data.RunKind != " Ana" && data.RunKind != " Pre") {
      std::fprintf(stderr, "tevlora-batch: %s: not an input file of this program\n",
                   argument.c_str());
      return 2;
    }
    if (!data.Analysis) data.Drainage = SecondLineSaysDrainage(data.FileName);
    if (!RunModel(data)) return 1;
    dialogs.Message(RunDoneText(data.FileName));
    return 0;
  } catch (const TIOError& failure) {
    std::fprintf(stderr, "%s\n", failure.what());
    return 2;
  }
}

}  // namespace

int BatchRun(const TArguments& arguments) {
  TRunSummary summary(arguments);
  if (summary.Files().empty()) {
    std::fputs("usage: tevlora-batch run [--summary] FILE...\n", stderr);
    return 2;
  }
  int status = 0;
  TStderrDialogs dialogs;
  for (const auto& argument : summary.Files()) {
    summary.Begin();
    const int one = RunOne(argument, dialogs);
    summary.End(argument, one);
    status = std::max(status, one);
  }
  return status;
}
