// tevlora-batch run: Save/Run for saved input files, without a window.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <utility>

#include "BatchCommands.h"
#include "BatchRunTable.h"
#include "TextFile.h"
#include "URunModel.h"
#include "USession.h"

namespace {
namespace fs = std::filesystem;

// Working copies are named NAME.runPID~, PID being the process that made
// it, so that a copy left behind by a run that was killed can be told from
// one a run is still using.
constexpr const char* kCopyMark = ".run";

std::string FolderOf(const fs::path& path) {
  return path.has_parent_path() ? path.parent_path().string() : std::string(".");
}

// When process `pid` started, in seconds since the epoch; nothing when the
// system does not say.
std::optional<double> ProcessStart(long pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return std::nullopt;
  const auto close = line.rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(line.substr(close + 1));
  std::string field;
  // The start time in clock ticks since boot is the 20th field after the
  // command name.
  for (int i = 0; i < 20 && fields >> field; ++i) {
  }
  if (!fields) return std::nullopt;
  std::ifstream kernel("/proc/stat");
  double boot = -1;
  for (std::string key; kernel >> key;) {
    if (key == "btime") {
      kernel >> boot;
      break;
    }
  }
  const long ticks = ::sysconf(_SC_CLK_TCK);
  if (boot < 0 || ticks <= 0) return std::nullopt;
  return boot + std::strtod(field.c_str(), nullptr) / static_cast<double>(ticks);
}

// True when the process that made a copy last written at `written` has
// ended: no process has its number, or the one that has it started later
// than the copy was written.
bool CreatorEnded(long pid, double written) {
  if (pid <= 0 || pid == static_cast<long>(::getpid())) return false;
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) return true;
  const std::optional<double> start = ProcessStart(pid);
  // The boot time is whole seconds: a second of room either way.
  return start && written < *start - 1;
}

// True when the file holds what a working copy holds as far as it was
// written: nothing yet, or the start of an input file. A file of the user's
// that happens to have such a name is left alone.
bool HoldsAWorkingCopy(const fs::path& path) {
  const std::string header = std::string(DataModuleTexts::kInputHeader) + "\r\n";
  std::ifstream in(path, std::ios::binary);
  std::string start(header.size(), '\0');
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  start.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return header.compare(0, start.size(), start) == 0;
}

// Removes the working copies of `input` that runs stopped by force left
// beside it, and says so.
void RemoveStaleCopies(const std::string& input, const std::string& shownInput) {
  const fs::path stem = ChangeFileExt(input, "");
  const std::string prefix = stem.filename().string() + kCopyMark;
  std::error_code error;
  for (fs::directory_iterator entry(FolderOf(stem), error), end; !error && entry != end;
       entry.increment(error)) {
    // NAME.runPID~, or a temporary file of the safe writer beside it
    // (NAME.runPID~.XXXXXX) when the run was stopped while writing the copy.
    const std::string name = entry->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    const auto tilde = name.find('~', prefix.size());
    if (tilde == std::string::npos || tilde == prefix.size() ||
        (tilde + 1 != name.size() && (tilde + 8 != name.size() || name[tilde + 1] != '.'))) {
      continue;
    }
    const std::string digits = name.substr(prefix.size(), tilde - prefix.size());
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    struct stat status {};
    if (::lstat(entry->path().c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
    const double written =
        static_cast<double>(status.st_mtim.tv_sec) + status.st_mtim.tv_nsec * 1e-9;
    if (!CreatorEnded(std::stol(digits), written) || !HoldsAWorkingCopy(entry->path())) continue;
    if (::unlink(entry->path().c_str()) == 0) {
      PrintMessage("tevlora-batch: removed \"" + entry->path().string() +
                   "\", the working copy of a run of \"" + shownInput + "\" that did not end");
    }
  }
}

// The data set as Save would write it, in a file of its own beside the input
// file, removed again at the end. Its name keeps the input file's stem and
// only its extension differs, so the results and trend files that the run
// derives from it are those of the input file. The name never exceeds the
// folder's limit: when NAME.runPID~ would, a shorter extension is taken (such
// a copy cannot be told from a live one later; only a killed run leaves it).
class TSavedCopy {
 public:
  explicit TSavedCopy(const std::string& inputFileName) {
    const std::string stem = ChangeFileExt(inputFileName, "");
    const std::size_t leaf = fs::path(stem).filename().string().size();
    const long limit = ::pathconf(FolderOf(stem).c_str(), _PC_NAME_MAX);
    const std::size_t room = limit > 0 ? static_cast<std::size_t>(limit) : 255;
    const std::string own = kCopyMark + std::to_string(::getpid()) + "~";
    if (leaf + own.size() <= room) {
      Create(stem + own);
    } else if (leaf + 3 <= room) {
      // ".~" and as many random letters as fit, at most four.
      std::random_device device;
      const std::size_t letters = std::min<std::size_t>(room - leaf - 2, 4);
      for (int attempt = 0; attempt < 100 && name_.empty(); ++attempt) {
        std::string extension = ".~";
        for (std::size_t k = 0; k < letters; ++k)
          extension += "abcdefghijklmnopqrstuvwxyz"[device() % 26];
        Create(stem + extension);
      }
    }
  }
  ~TSavedCopy() {
    if (name_.empty()) return;
    std::error_code ignored;
    fs::remove(name_, ignored);
  }
  TSavedCopy(const TSavedCopy&) = delete;
  TSavedCopy& operator=(const TSavedCopy&) = delete;

  const std::string& Name() const { return name_; }

 private:
  // Created exclusively: an existing file of that name is never touched.
  void Create(const std::string& name) {
    if (std::FILE* file = std::fopen(name.c_str(), "wbx")) {
      std::fclose(file);
      name_ = name;
    }
  }
  std::string name_;
};

// The run's messages as the user should read them: the working copy is an
// inner detail, the file is the one the user named.
class TCopyNamingDialogs : public TUserDialogs {
 public:
  TCopyNamingDialogs(TUserDialogs& inner, std::string copy, std::string input)
      : inner_(inner), copy_(std::move(copy)), input_(std::move(input)) {}
  std::string Named(std::string text) const {
    for (const auto& [from, to] :
         {std::pair{copy_, input_}, std::pair{PrintableText(copy_), PrintableText(input_)}}) {
      if (from.empty()) continue;
      for (auto at = text.find(from); at != std::string::npos;
           at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
      }
    }
    return text;
  }
  void Message(const std::string& text) override { inner_.Message(Named(text)); }
  bool ConfirmYesNo(const std::string& question) override {
    return inner_.ConfirmYesNo(Named(question));
  }
  void Progress(const std::string& line) override { inner_.Progress(Named(line)); }
  void Pause(int milliseconds) override { inner_.Pause(milliseconds); }
  std::optional<double> AskNumber(const std::string& question, double initial) override {
    return inner_.AskNumber(Named(question), initial);
  }

 private:
  TUserDialogs& inner_;
  std::string copy_, input_;
};

// 0: results written; 1: the run stopped with its message; 2: unreadable.
// `session` is the file's own, new as in a freshly started program: nothing
// of the files before it may reach its results.
// `table`: where the results table goes as well (--csv); `noFiles`: no
// results or trend file.
int RunOne(const std::string& argument, TStderrDialogs& dialogs, TSession& session,
           const std::string& table = {}, bool noFiles = false) {
  // The file is named as the user named it, so results made from the
  // project's folder say "Data/..." as the example input files do.
  std::error_code error;
  const fs::path path = fs::path(argument).lexically_normal();
  if (fs::is_directory(path, error)) {
    PrintMessage("tevlora-batch: " + argument + ": is a folder, not an input file");
    return 2;
  }
  if (!fs::is_regular_file(path, error)) {
    PrintMessage("tevlora-batch: " + argument + ": no such input file");
    return 2;
  }
  TDMTevlora& data = session.Data;
  data.DataModuleCreate();
  data.Dialogs = &dialogs;
  data.FileName = path.string();
  const std::string inputFileName = data.FileName;
  std::string copyName;
  try {
    if (!data.ReadInputFile()) return 2;
    if (data.RunKind != " Ana" && data.RunKind != " Pre") {
      PrintMessage("tevlora-batch: " + argument + ": not an input file of this program");
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
    RemoveStaleCopies(inputFileName, argument);
    data.ParLoaded = false;
    const TSavedCopy copy(inputFileName);
    if (copy.Name().empty()) {
      PrintMessage("tevlora-batch: " + argument + ": no working copy can be made beside it");
      return 2;
    }
    copyName = copy.Name();
    TCopyNamingDialogs named(dialogs, copyName, inputFileName);
    data.Dialogs = &named;
    data.FileName = copyName;
    if (!data.WriteInputFile()) return 2;
    if (!(noFiles ? RunAnalysisWithoutFiles(session) : RunModel(session, inputFileName))) {
      return 1;
    }
    if (!table.empty() && !WriteRunTable(session, table)) return 2;
    if (!noFiles) named.Message(RunDoneText(data.FileName));
    return 0;
  } catch (const TIOError& failure) {
    TSilentDialogs silent;
    PrintMessage(TCopyNamingDialogs(silent, copyName, inputFileName).Named(failure.what()));
    return 2;
  }
}

}  // namespace

int BatchRun(const TArguments& arguments) {
  bool summarise = false, noFiles = false, force = false;
  std::optional<double> calibrateUntil;
  std::string table;
  // Every other word is an input file, whatever it starts with.
  const TCommandLine line =
      TCommandLine("run",
                   "usage: tevlora-batch run [--summary] [--calibrate-until T] "
                   "[--csv TABLE.csv [--force]] [--no-files] FILE...\n")
          .Flag("--summary", summarise)
          .Number("--calibrate-until", calibrateUntil)
          .Text("--csv", table, "--csv needs a file name")
          .Flag("--no-files", noFiles)
          .Flag("--force", force)
          .DashedWords();
  const std::optional<TArguments> files = line.Parse(arguments);
  if (!files) return 2;
  if (!table.empty() && files->size() != 1) {
    return line.UsageError("--csv writes the table of one input file");
  }
  if (noFiles && !summarise && table.empty()) {
    return line.UsageError("--no-files goes with --summary or --csv");
  }
  if (!table.empty()) {
    if (const auto refusal = RunTableRefusal(files->front(), table, force)) {
      PrintMessage("tevlora-batch run: " + *refusal);
      return 2;
    }
  }
  // The header comes first even when no file follows.
  TRunSummary summary(summarise, calibrateUntil.has_value());
  if (files->empty()) return line.UsageError("");
  int status = 0;
  TStderrDialogs dialogs;
  for (const auto& argument : *files) {
    summary.Begin();
    TSession session;
    session.Run.CalibrateUntil = calibrateUntil;
    const int one = RunOne(argument, dialogs, session, table, noFiles);
    summary.End(argument, one, session.Run);
    status = std::max(status, one);
  }
  return status;
}
