// The commands of tevlora-batch. Each takes the arguments after its own name
// and returns the exit status: 0 done, 1 stopped with the program's message,
// 2 unreadable file or bad usage.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "BatchOptions.h"
#include "UserDialogs.h"

int BatchRun(const TArguments& arguments);
int BatchDrain(const TArguments& arguments);
int BatchGraph(const TArguments& arguments);
int BatchMap(const TArguments& arguments);
int BatchCalibrate(const TArguments& arguments);

// run --summary: when it was given, prints the CSV header at once and one
// line per file after its run. With `periods` (a calibration period was
// given) the measures of the calibration and of the validation records
// follow the measures of the whole run.
struct TAnalysisRun;
class TRunSummary {
 public:
  explicit TRunSummary(bool enabled, bool periods = false);
  void Begin();
  // `run`: the file's analysis run, read when the file was an analysis.
  void End(const std::string& file, int status, const TAnalysisRun& run);
  // The line End prints, for a run that took `seconds`; empty when disabled.
  // Reads only its arguments (and the input file), so runs side by side may
  // each make their own.
  std::string Line(const std::string& file, int status, const TAnalysisRun& run,
                   double seconds) const;

 private:
  bool enabled_ = false;
  bool periods_ = false;
  std::chrono::steady_clock::time_point start_;
};
int BatchImport(const TArguments& arguments);
int BatchExport(const TArguments& arguments);

// The application that fonts and pictures need; without a display the
// offscreen platform draws just as well. Qt's own notes are dropped.
class QGuiApplication;
std::unique_ptr<QGuiApplication> MakeGuiApplication();

// Why `target` may not be written: it is `source` itself (also through a
// link), or it exists and is no regular file (a folder, a device, a pipe:
// never written, --force or not, and never opened), or it exists and --force
// was not given, or (for a picture) it exists and is no picture, which is
// never overwritten. Nothing when the way is free.
std::optional<std::string> OverwriteRefusal(const std::string& source, const std::string& target,
                                            bool force, bool picture = false);

// The same for every output of one command at once, before anything is
// written: no output may be one of the files the command reads, and no two
// outputs may be the same file.
struct TOutput {
  std::string Name;
  bool Picture = false;
};
std::optional<std::string> OutputsRefusal(const std::vector<std::string>& sources,
                                          const std::vector<TOutput>& outputs, bool force);

// One line of the tool's own on stderr, its control characters and bytes
// that are not text shown escaped.
void PrintMessage(const std::string& text);

// Flushes standard output; false when a write to it failed, now or before
// (a full disk, a closed pipe). StandardOutputFailure gives the message with
// the system's reason, nothing when every write went through.
bool FlushStandardOutput();
std::optional<std::string> StandardOutputFailure();
// Writes `text` to standard output. A text longer than the stream's buffer is
// written at once, so its failure is noted here, with the system's reason,
// which a later flush no longer knows.
void WriteStandardOutput(const std::string& text);

// Messages and progress lines go to stderr, exactly as the window shows them;
// questions are answered No (the batch tool never overwrites on its own).
class TStderrDialogs : public TUserDialogs {
 public:
  void Message(const std::string& text) override;
  bool ConfirmYesNo(const std::string& question) override;
  void Progress(const std::string& line) override;
  void Pause(int) override {}

  int MessageCount = 0;
};
