// tevlora-batch run: Save/Run for saved input files, without a window.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

#include "BatchCommands.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "URunModel.h"

namespace {

// The data set as Save would write it, in a file of its own beside the input
// file, removed again at the end. Its name keeps the input file's stem and
// only its extension differs, so the results and trend files that the run
// derives from it are those of the input file.
class TSavedCopy {
 public:
  explicit TSavedCopy(const std::string& inputFileName) {
    std::random_device device;
    const std::string stem = ChangeFileExt(inputFileName, "");
    for (int attempt = 0; attempt < 100 && name_.empty(); ++attempt) {
      const std::string name = stem + ".run" + std::to_string(device() % 1000000) + "~";
      // Created exclusively: an existing file of that name is never touched.
      if (std::FILE* file = std::fopen(name.c_str(), "wbx")) {
        std::fclose(file);
        name_ = name;
      }
    }
  }
  ~TSavedCopy() {
    if (name_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove(name_, ignored);
  }
  TSavedCopy(const TSavedCopy&) = delete;
  TSavedCopy& operator=(const TSavedCopy&) = delete;

  const std::string& Name() const { return name_; }

 private:
  std::string name_;
};

// 0: results written; 1: the run stopped with its message; 2: unreadable.
int RunOne(const std::string& argument, TStderrDialogs& dialogs) {
  // Every file starts from the state of a freshly started program: nothing
  // of the files before it may reach its results.
  StartNewSession();
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
  const std::string inputFileName = data.FileName;
  try {
    if (!data.ReadInputFile()) return 2;
    if (data.RunKind != " Ana" && data.RunKind != " Pre") {
      std::fprintf(stderr, "tevlora-batch: %s: not an input file of this program\n",
                   argument.c_str());
      return 2;
    }
    // The run mode is the one the file's second line states, even when a
    // drainage parameter file lies beside a runoff-prediction file.
    if (!data.Analysis) {
      const auto text = LoadTextFile(inputFileName);
      data.Drainage = text && InputFileSaysDrainage(*text);
    }
    if (RunWouldOverwriteInput(data, inputFileName)) return 1;

    // The run reads what the program's writer makes of the data set, as after
    // Save; the user's input and parameter files stay as they are.
    data.ParLoaded = false;
    const TSavedCopy copy(inputFileName);
    if (copy.Name().empty()) {
      std::fprintf(stderr, "tevlora-batch: %s: no working copy can be made beside it\n",
                   argument.c_str());
      return 2;
    }
    data.FileName = copy.Name();
    if (!data.WriteInputFile()) return 2;
    if (!RunModel(data, inputFileName)) return 1;
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
