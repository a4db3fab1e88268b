// tevlora-batch run: Save/Run for saved input files, without a window.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

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

// More runs at once than this would only make the machine swap.
constexpr int kMostJobs = 1024;

std::string FolderOf(const fs::path& path) {
  return path.has_parent_path() ? path.parent_path().string() : std::string(".");
}

// What the run of one file prints, in its order: kept back while a file
// before it is still printing, written as it comes once its turn has come
// (the first file's from the start, so a lone file shows its progress as it
// goes). Only one file has its turn at a time, so the lines of files run side
// by side never mix.
class TFileOutput {
 public:
  // One line of the tool's own on stderr (shown as PrintMessage shows it).
  void Message(const std::string& text) { Put(false, PrintableText(text) + "\n"); }
  // Text for standard output (a summary line).
  void Out(const std::string& text) {
    if (!text.empty()) Put(true, text);
  }
  // Prints what was kept and everything after it at once.
  void TakeTurn() {
    const std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [toStandardOutput, text] : kept_) Write(toStandardOutput, text);
    kept_.clear();
    kept_.shrink_to_fit();
    turn_ = true;
  }

 private:
  void Put(bool toStandardOutput, std::string text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (turn_) {
      Write(toStandardOutput, text);
    } else {
      kept_.emplace_back(toStandardOutput, std::move(text));
    }
  }
  static void Write(bool toStandardOutput, const std::string& text) {
    if (toStandardOutput) {
      WriteStandardOutput(text);
      FlushStandardOutput();
    } else {
      std::fputs(text.c_str(), stderr);
    }
  }

  std::mutex mutex_;
  bool turn_ = false;
  std::vector<std::pair<bool, std::string>> kept_;
};

// The batch tool's answers (those of TStderrDialogs) into one file's output.
class TFileDialogs : public TUserDialogs {
 public:
  explicit TFileDialogs(TFileOutput& output) : output_(output) {}
  void Message(const std::string& text) override { output_.Message(text); }
  bool ConfirmYesNo(const std::string& question) override {
    output_.Message(question + " No");
    return false;
  }
  void Progress(const std::string& line) override { output_.Message(line); }
  void Pause(int) override {}

 private:
  TFileOutput& output_;
};

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
void RemoveStaleCopies(const std::string& input, const std::string& shownInput,
                       TFileOutput& output) {
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
      output.Message("tevlora-batch: removed \"" + entry->path().string() +
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
int RunOne(const std::string& argument, TFileOutput& output, TSession& session,
           const std::string& table = {}, bool noFiles = false) {
  TFileDialogs dialogs(output);
  // The file is named as the user named it, so results made from the
  // project's folder say "Data/..." as the example input files do.
  std::error_code error;
  const fs::path path = fs::path(argument).lexically_normal();
  if (fs::is_directory(path, error)) {
    output.Message("tevlora-batch: " + argument + ": is a folder, not an input file");
    return 2;
  }
  if (!fs::is_regular_file(path, error)) {
    output.Message("tevlora-batch: " + argument + ": no such input file");
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
      output.Message("tevlora-batch: " + argument + ": not an input file of this program");
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
    RemoveStaleCopies(inputFileName, argument, output);
    data.ParLoaded = false;
    const TSavedCopy copy(inputFileName);
    if (copy.Name().empty()) {
      output.Message("tevlora-batch: " + argument + ": no working copy can be made beside it");
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
    output.Message(TCopyNamingDialogs(silent, copyName, inputFileName).Named(failure.what()));
    return 2;
  }
}

// Files whose runs may not go side by side: those of one stem in one folder
// write the same results and trend file and make their working copy under the
// same name (and the same file named twice is one of them). Such files run
// one after the other in the order given, as they would without --jobs, so
// the last one's results stay; files of other stems run freely.
std::string SharedOutputsKey(const std::string& argument) {
  const fs::path path = fs::path(argument).lexically_normal();
  std::error_code error;
  fs::path folder = fs::weakly_canonical(fs::path(FolderOf(path)), error);
  if (error) folder = fs::absolute(FolderOf(path), error);
  return (folder / fs::path(ChangeFileExt(path.filename().string(), ""))).string();
}

// The runs of `files`, at most `jobs` at once, each in its own session on
// its share of the cores; what each prints appears in the order of the
// files. The exit status is the worst of theirs.
int RunFiles(const TArguments& files, int jobs, const TRunSummary& summary,
             const std::optional<double>& calibrateUntil, const std::string& table, bool noFiles) {
  const int count = static_cast<int>(files.size());
  jobs = std::max(1, std::min(jobs, count));
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));

  // The file before each of the same outputs, which must have ended first.
  std::vector<int> before(files.size(), -1);
  std::map<std::string, int> last;
  for (int k = 0; k < count; ++k) {
    const auto [at, fresh] = last.try_emplace(SharedOutputsKey(files[k]), k);
    if (!fresh) before[k] = std::exchange(at->second, k);
  }

  std::vector<TFileOutput> outputs(files.size());
  std::vector<int> statuses(files.size(), 0);
  std::vector<char> ended(files.size(), 0);
  std::mutex mutex;
  std::condition_variable endedChanged;
  std::atomic<int> next(0);

  const auto runFile = [&](int k, int threads) {
    if (before[k] >= 0) {
      std::unique_lock<std::mutex> lock(mutex);
      endedChanged.wait(lock, [&] { return ended[before[k]] != 0; });
    }
    const auto start = std::chrono::steady_clock::now();
    TSession session;
    session.Run.CalibrateUntil = calibrateUntil;
    session.Run.SearchThreadCount = threads;
    const int status = RunOne(files[k], outputs[k], session, table, noFiles);
    outputs[k].Out(summary.Line(
        files[k], status, session.Run,
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()));
    {
      const std::lock_guard<std::mutex> lock(mutex);
      statuses[k] = status;
      ended[k] = 1;
    }
    endedChanged.notify_all();
  };
  // The files are taken in their order: a file waits only for one before it,
  // which some worker has already taken.
  const auto work = [&](int threads) {
    for (int k; (k = next.fetch_add(1)) < count;) runFile(k, threads);
  };

  // The cores shared out among the workers; one file at a time keeps its
  // search on all of them (0). Should the system give fewer threads than
  // asked, those it gave do the work.
  std::vector<std::thread> workers;
  for (int w = 0; jobs > 1 && w < jobs; ++w) {
    try {
      workers.emplace_back(work, std::max(1, cores / jobs + (w < cores % jobs ? 1 : 0)));
    } catch (const std::system_error&) {
      break;
    }
  }
  int status = 0;
  for (int k = 0; k < count; ++k) {
    outputs[k].TakeTurn();
    if (workers.empty()) {
      runFile(k, 0);
    } else {
      std::unique_lock<std::mutex> lock(mutex);
      endedChanged.wait(lock, [&] { return ended[k] != 0; });
    }
    status = std::max(status, statuses[k]);
  }
  for (auto& worker : workers) worker.join();
  return status;
}

}  // namespace

int BatchRun(const TArguments& arguments) {
  bool summarise = false, noFiles = false, force = false;
  std::optional<double> calibrateUntil;
  std::string table;
  int jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  // Every other word is an input file, whatever it starts with.
  const TCommandLine line =
      TCommandLine("run",
                   "usage: tevlora-batch run [--summary] [--calibrate-until T] "
                   "[--csv TABLE.csv [--force]] [--no-files] [--jobs N] FILE...\n")
          .Flag("--summary", summarise)
          .Number("--calibrate-until", calibrateUntil)
          .Text("--csv", table, "--csv needs a file name")
          .Flag("--no-files", noFiles)
          .Flag("--force", force)
          .WholeNumber("--jobs", jobs, 1, kMostJobs)
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
  const TRunSummary summary(summarise, calibrateUntil.has_value());
  if (files->empty()) return line.UsageError("");
  // --csv has one file, which prints from the start: the table's own lines
  // (printed as they come) stay after the run's.
  return RunFiles(*files, jobs, summary, calibrateUntil, table, noFiles);
}
