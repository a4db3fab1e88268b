// The batch tool as a user starts it: many small files in one run call on
// one and on two jobs (wall time, as the user waits for it), and the fit map
// of every trial of the 4-year daily record (CPU time and peak memory of the
// process).
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;

struct TProcessCost {
  int status = -1;
  double wall = 0, cpu = 0;
  long peakKilobytes = 0;
};

double Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
}

// Runs the batch tool with `arguments` in `folder`, its output dropped.
TProcessCost RunTool(const fs::path& folder, const std::vector<std::string>& arguments) {
  TProcessCost cost;
  const double start = Now();
  const pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(folder.c_str()) != 0) ::_exit(127);
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) {
      ::_exit(127);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(BATCH_TOOL));
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(BATCH_TOOL, argv.data());
    ::_exit(127);
  }
  if (child < 0) return cost;
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child) return cost;
  cost.wall = Now() - start;
  cost.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  cost.cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec * 1e-6 + usage.ru_stime.tv_sec +
             usage.ru_stime.tv_usec * 1e-6;
  cost.peakKilobytes = usage.ru_maxrss;
  return cost;
}

std::string Bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A folder of its own under the system's temporary folder, removed again.
class TScratch {
 public:
  TScratch() {
    std::string pattern = (fs::temp_directory_path() / "tevlora-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~TScratch() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};
}  // namespace

// `files` copies of one small example in one run call, on one job and on
// two; the results of both must be the same bytes. False when they differ or
// a run failed.
bool JobsBenchmark(int files) {
  const char* example = "hupsel_h_jan2011_storms";
  TScratch scratch;
  std::vector<std::string> names;
  char name[32];
  for (int k = 1; k <= files; ++k) {
    std::snprintf(name, sizeof name, "f%03d", k);
    names.push_back(name);
  }
  TProcessCost costs[2];
  for (int jobs : {1, 2}) {
    const fs::path folder = scratch.Path() / ("jobs" + std::to_string(jobs));
    fs::create_directories(folder);
    std::vector<std::string> arguments = {"run", "--jobs", std::to_string(jobs)};
    for (const auto& stem : names) {
      fs::copy_file(fs::path(BENCH_DATA_DIR) / (std::string(example) + ".inp"),
                    folder / (stem + ".inp"));
      arguments.push_back(stem + ".inp");
    }
    costs[jobs - 1] = RunTool(folder, arguments);
  }
  bool same = costs[0].status == 0 && costs[1].status == 0;
  for (const auto& stem : names) {
    for (const char* extension : {".out", ".dat"}) {
      same = same && Bytes(scratch.Path() / "jobs1" / (stem + extension)) ==
                         Bytes(scratch.Path() / "jobs2" / (stem + extension));
    }
  }
  std::printf("\nrun of %d copies of %s.inp in one call (wall seconds)\n", files, example);
  std::printf(
      "  --jobs 1 %7.2f s (CPU %6.2f s)   --jobs 2 %7.2f s (CPU %6.2f s)   "
      "ratio %5.2f   %s\n",
      costs[0].wall, costs[0].cpu, costs[1].wall, costs[1].cpu,
      costs[0].wall / std::max(costs[1].wall, 1e-6), same ? "identical" : "DIFFERENT");
  std::fflush(stdout);
  return same;
}

// The fit map of the 4-year daily record with its grid as CSV: the CPU time
// and the peak memory of the process. `step` 1 maps every trial.
bool FitMapBenchmark(int step) {
  const char* example = "spotpy_d_2013_2016_full";
  TScratch scratch;
  fs::copy_file(fs::path(BENCH_DATA_DIR) / (std::string(example) + ".inp"),
                scratch.Path() / "daily.inp");
  const TProcessCost cost = RunTool(
      scratch.Path(),
      {"map", "daily.inp", "--step", std::to_string(step), "--csv", "grid.csv", "-o", "map.png"});
  std::error_code error;
  const auto csvBytes = fs::file_size(scratch.Path() / "grid.csv", error);
  std::printf("\nmap --step %d --csv of %s.inp\n", step, example);
  std::printf("  CPU %7.2f s   wall %7.2f s   peak memory %7.1f MB   CSV %7.1f MB   %s\n", cost.cpu,
              cost.wall, cost.peakKilobytes / 1024.0, error ? 0.0 : csvBytes / 1048576.0,
              cost.status == 0 ? "written" : "FAILED");
  std::fflush(stdout);
  return cost.status == 0;
}
