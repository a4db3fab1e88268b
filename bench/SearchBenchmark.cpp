// Compares, on every analysis file in Data/ and on generated records, the
// program's alpha search with the plain search and with the simple pruned
// search, in one process, by CPU time, on every vector path the processor
// has; then the cost of the search as the records grow, the batch tool's run
// of many files on one and two jobs, and its fit map of every trial.
//
//   tevlora-bench [--path=avx512|avx2|sse2|neon|plain] [--threads=N] [--sample=K]
//                 [--full] [--quick] [--generated=K] [--only=TEXT]
//                 [--calibration]
//
// --path     only this vector path of the program's search (default: every
//            path the processor has, or only the one TEVLORA_SEARCH_PATH
//            names)
// --sample   the plain search is timed on K evenly spread outer indices and
//            scaled to all 2001 (its cost per trial does not depend on the
//            trial); default 21
// --full     the whole plain search instead, and the results compared with it
// --quick    a short run: no pruned search, the plain one on 5 outer indices,
//            5 generated data sets, 20 files for the run, every 10th trial
//            each way for the fit map
// --generated  the number of generated data sets (default 25)
// --only     only the data whose name contains the given text (the search
//            rows only)
// --calibration  the storage calibration instead (see CalibrationBenchmark);
//            with --sample=K the analysis per pair is timed on every K-th pair
//            (and the best one) and scaled to all
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "AlphaSearch.h"
#include "AlphaSearchLanes.h"
#include "SearchData.h"
#include "URunModel.h"
#include "USession.h"

int CalibrationBenchmark(int threads, const std::string& only, int step);
bool JobsBenchmark(int files);
bool FitMapBenchmark(int step);

namespace {

constexpr const char* kDailyRecord = "spotpy_d_2013_2016_full.inp";

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
}

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  file >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

struct TOptions {
  int threads = 0;
  int sample = 21;
  int generated = 25;
  bool generatedGiven = false;
  bool full = false;
  bool quick = false;
  std::string only;
  bool calibration = false;
  int pairSample = 1;
  std::vector<TSearchPath> paths;
};

bool SameResult(const TSearchResult& x, const TSearchResult& y) {
  return x.outer == y.outer && x.inner == y.inner && x.sum == y.sum;
}

// The plain and the pruned search of one data set, which no vector path
// changes: measured once, held against the program's search on every path.
struct TReference {
  double plainCpu = 0;
  TSearchResult plain;   // the whole search (--full) or the sample's best
  double prunedCpu = 0;  // 0: not measured (--quick)
  TSearchResult pruned;
};

TReference MeasureReference(const TSearchProblem& problem, const TOptions& options) {
  TReference reference;
  double start = CpuSeconds();
  if (options.full) {
    reference.plain = ReferenceSearch(problem);
    reference.plainCpu = CpuSeconds() - start;
  } else {
    // Rows 0, step, 2 step, ... up to 2000.
    const int step = std::max(1, (kOuterTrials - 1) / std::max(1, options.sample - 1));
    const int rows = (kOuterTrials - 1) / step + 1;
    reference.plain = ReferenceSearchOfRows(problem, 0, step);
    reference.plainCpu = (CpuSeconds() - start) * kOuterTrials / rows;
  }
  if (!options.quick) {
    start = CpuSeconds();
    reference.pruned = PrunedSearch(problem, options.threads);
    reference.prunedCpu = CpuSeconds() - start;
  }
  return reference;
}

// Whether the program's result is the plain search's: the same as the
// pruned search (exact by construction) and the whole plain search, or no
// worse than the best trial of the plain sample.
bool Agrees(const TSearchResult& fast, const TReference& reference, const TOptions& options) {
  bool same = reference.prunedCpu == 0 || SameResult(fast, reference.pruned);
  if (options.full) return same && SameResult(fast, reference.plain);
  const TSearchResult& sampled = reference.plain;
  if (!sampled.Found()) return same;
  const bool notBetter =
      sampled.sum > fast.sum ||
      (sampled.sum == fast.sum && (sampled.outer > fast.outer ||
                                   (sampled.outer == fast.outer && sampled.inner >= fast.inner)));
  return same && fast.Found() && notBetter;
}

// The program's search on the active path: its CPU seconds and its result.
double ProgramCpu(const TSearchProblem& problem, const TOptions& options, TSearchResult& result) {
  const double start = CpuSeconds();
  result = FastSearch(problem, options.threads);
  return CpuSeconds() - start;
}

// Save/Run's whole analysis of an input file (reading, checks, search,
// routing, trends and the results files), in a folder of its own: CPU
// seconds, or a negative number when it failed.
double WholeRunCpu(const std::filesystem::path& input, int threads) {
  namespace fs = std::filesystem;
  std::string pattern = (fs::temp_directory_path() / "tevlora-bench-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) return -1;
  const fs::path folder = pattern;
  fs::copy_file(input, folder / input.filename());
  TSession session;
  session.Data.FileName = (folder / input.filename()).string();
  session.Run.SearchThreadCount = threads;
  double cpu = -1;
  if (session.Data.ReadInputFile()) {
    const double start = CpuSeconds();
    if (RunModel(session)) cpu = CpuSeconds() - start;
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return cpu;
}

bool IsAnalysisFile(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  std::getline(file, line);
  return line.find("Analysis") != std::string::npos;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Least(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

double Ratio(double reference, double program) {
  return reference / std::max(program, 1e-6);
}

// A time or a ratio, or "-" for one that was not measured.
std::string Cell(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return value > 0 ? text : "-";
}

std::string Seconds(double cpu) {
  return Cell(cpu, 3);
}

struct TNamedProblem {
  std::string name;
  TSearchProblem problem;
  bool generated = false;
};

// What each path did over all data sets.
struct TPathSummary {
  TSearchPath path;
  std::vector<double> plainRatios, generatedPlainRatios, prunedRatios;
  double dailySearchRatio = 0, dailyRunRatio = 0;
  bool same = true;
};

// Every data set against the plain and the pruned search, on every path.
bool SearchRows(const std::vector<TNamedProblem>& problems, const TOptions& options) {
  std::vector<TPathSummary> summaries;
  for (TSearchPath path : options.paths) {
    summaries.emplace_back();
    summaries.back().path = path;
  }
  std::printf("%-36s %5s  %9s %8s", "data", "N", "plain", "pruned");
  for (TSearchPath path : options.paths) std::printf("  %8s %6s", SearchPathName(path), "/plain");
  std::printf("\n");
  for (const auto& [name, problem, generated] : problems) {
    const TReference reference = MeasureReference(problem, options);
    std::printf("%-36s %5d  %9.2f %8s", name.c_str(), problem.count, reference.plainCpu,
                Seconds(reference.prunedCpu).c_str());
    bool same = true;
    for (TPathSummary& summary : summaries) {
      UseSearchPath(summary.path);
      TSearchResult result;
      const double cpu = ProgramCpu(problem, options, result);
      const double plainRatio = Ratio(reference.plainCpu, cpu);
      std::printf("  %8.3f %6.0f", cpu, plainRatio);
      summary.plainRatios.push_back(plainRatio);
      if (generated) summary.generatedPlainRatios.push_back(plainRatio);
      if (reference.prunedCpu > 0) summary.prunedRatios.push_back(Ratio(reference.prunedCpu, cpu));
      const bool agrees = Agrees(result, reference, options);
      summary.same = summary.same && agrees;
      same = same && agrees;
      if (name == kDailyRecord) {
        summary.dailySearchRatio = plainRatio;
        const double run =
            WholeRunCpu(std::filesystem::path(BENCH_DATA_DIR) / name, options.threads);
        summary.dailyRunRatio = run > 0 ? Ratio(reference.plainCpu, run) : 0;
      }
    }
    std::printf("  %s\n", same ? "identical" : "DIFFERENT");
    std::fflush(stdout);
  }

  std::printf(
      "\nratio = plain search's CPU / program's CPU (run: Save/Run's whole analysis of the daily"
      " record)\n");
  std::printf("%-8s %12s %10s %16s %13s %14s  %s\n", "path", "daily search", "daily run",
              "worst generated", "median /plain", "least /pruned", "results");
  bool allSame = true;
  for (const TPathSummary& summary : summaries) {
    std::printf("%-8s %12s %10s %16s %13s %14s  %s\n", SearchPathName(summary.path),
                Cell(summary.dailySearchRatio, 1).c_str(), Cell(summary.dailyRunRatio, 1).c_str(),
                Cell(Least(summary.generatedPlainRatios), 1).c_str(),
                Cell(Median(summary.plainRatios), 1).c_str(),
                Cell(Least(summary.prunedRatios), 2).c_str(),
                summary.same ? "identical" : "DIFFERENT");
    allSame = allSame && summary.same;
  }
  std::fflush(stdout);
  return allSame;
}

// The first 500, 1000 and 1500 records of two noisy generated records: how
// the searches' cost grows with the records, on the widest path.
bool RecordSeries(const TOptions& options) {
  std::printf("\nthe first N records of two generated records, %s\n",
              SearchPathName(ActiveSearchPath()));
  std::printf("%-36s %5s  %9s %8s %8s  %8s %7s\n", "data", "N", "plain", "pruned", "program",
              "/plain", "/pruned");
  const struct {
    const char* name;
    TSearchProblem problem;
  } records[] = {{"generated seed 301 noise 12%", NoisySearchProblem(1500, 301, 0.12)},
                 {"generated seed 302 noise 20% slow", NoisySearchProblem(1500, 302, 0.20, true)}};
  bool allSame = true;
  for (const auto& [name, whole] : records) {
    for (int count : {500, 1000, 1500}) {
      TSearchProblem problem = whole;
      problem.count = count;
      problem.timeStep.resize(count + 1);
      problem.recharge.resize(count + 1);
      problem.measured.resize(count + 1);
      const TReference reference = MeasureReference(problem, options);
      TSearchResult result;
      const double cpu = ProgramCpu(problem, options, result);
      const bool same = Agrees(result, reference, options);
      allSame = allSame && same;
      const std::string prunedRatio =
          Cell(reference.prunedCpu > 0 ? Ratio(reference.prunedCpu, cpu) : 0, 2);
      std::printf("%-36s %5d  %9.2f %8s %8.3f  %8.1f %7s  %s\n", name, count, reference.plainCpu,
                  Seconds(reference.prunedCpu).c_str(), cpu, Ratio(reference.plainCpu, cpu),
                  prunedRatio.c_str(), same ? "identical" : "DIFFERENT");
      std::fflush(stdout);
    }
  }
  return allSame;
}

}  // namespace

int main(int argc, char* argv[]) {
  TOptions options;
  const TSearchPath startPath = ActiveSearchPath();
  bool pathGiven = std::getenv("TEVLORA_SEARCH_PATH") != nullptr;
  for (int k = 1; k < argc; ++k) {
    const std::string argument = argv[k];
    const auto value = [&](const char* prefix) {
      return argument.rfind(prefix, 0) == 0 ? argument.c_str() + std::strlen(prefix) : nullptr;
    };
    if (const char* path = value("--path=")) {
      bool known = false;
      for (TSearchPath candidate : kSearchPaths) {
        if (std::strcmp(path, SearchPathName(candidate)) == 0) {
          known = true;
          if (!UseSearchPath(candidate)) {
            std::fprintf(stderr, "this processor has no %s\n", path);
            return 2;
          }
        }
      }
      if (!known) {
        std::fprintf(stderr, "unknown vector path %s (avx512, avx2, sse2, plain)\n", path);
        return 2;
      }
      pathGiven = true;
    } else if (const char* threads = value("--threads=")) {
      options.threads = std::atoi(threads);
    } else if (const char* sample = value("--sample=")) {
      options.sample = std::max(2, std::atoi(sample));
      options.pairSample = options.sample;
    } else if (const char* generated = value("--generated=")) {
      options.generated = std::max(0, std::atoi(generated));
      options.generatedGiven = true;
    } else if (const char* only = value("--only=")) {
      options.only = only;
    } else if (argument == "--full") {
      options.full = true;
    } else if (argument == "--quick") {
      options.quick = true;
    } else if (argument == "--calibration") {
      options.calibration = true;
    } else {
      std::fprintf(stderr, "unknown option %s\n", argument.c_str());
      return 2;
    }
  }
  if (options.quick) {
    options.sample = std::min(options.sample, 5);
    if (!options.generatedGiven) options.generated = 5;
  }
  if (pathGiven) {
    options.paths = {ActiveSearchPath()};
  } else {
    for (TSearchPath path : kSearchPaths) {
      if (SearchPathAvailable(path)) options.paths.push_back(path);
    }
  }

  std::printf("vector paths:");
  for (TSearchPath path : options.paths) std::printf(" %s", SearchPathName(path));
  std::printf("   threads: %d   load average at start: %s\n",
              options.threads > 0
                  ? options.threads
                  : static_cast<int>(std::max(1u, std::thread::hardware_concurrency())),
              LoadAverage().c_str());
  if (options.calibration)
    return CalibrationBenchmark(options.threads, options.only, options.pairSample);
  if (options.full) {
    std::printf("plain search: all 2001 outer indices, one thread\n");
  } else {
    const int step = std::max(1, (kOuterTrials - 1) / std::max(1, options.sample - 1));
    std::printf(
        "plain search: timed on outer indices 0, %d, ..., %d (%d of 2001), scaled to all;"
        " one thread\n",
        step, (kOuterTrials - 1) / step * step, (kOuterTrials - 1) / step + 1);
  }
  std::printf("identical: %sno better trial in the plain %s\n",
              options.quick ? ""
                            : "same pair and bit-identical sum as the pruned search (exact by"
                              " construction), ",
              options.full ? "search" : "sample");
  std::printf("CPU seconds (all threads); columns per path: program's CPU and plain / program\n\n");

  std::vector<TNamedProblem> problems;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(BENCH_DATA_DIR)) {
    if (entry.path().extension() == ".inp" && IsAnalysisFile(entry.path())) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    TSearchProblem problem = SearchProblemFromInputFile(file.string(), 1500);
    if (problem.count < 2) {
      std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
      return 2;
    }
    problems.push_back({file.filename().string(), std::move(problem), false});
  }
  const double noises[] = {0.04, 0.08, 0.12, 0.20};
  for (int k = 0; k < options.generated; ++k) {
    const unsigned seed = 101 + k;
    const double noise = noises[k % 4];
    const bool slow = k % 3 == 2;
    char name[64];
    std::snprintf(name, sizeof name, "generated seed %u noise %.0f%%%s", seed, noise * 100,
                  slow ? " slow" : "");
    problems.push_back({name, NoisySearchProblem(1500, seed, noise, slow), true});
  }
  problems.erase(std::remove_if(problems.begin(), problems.end(),
                                [&](const TNamedProblem& problem) {
                                  return problem.name.find(options.only) == std::string::npos;
                                }),
                 problems.end());

  bool allSame = SearchRows(problems, options);
  UseSearchPath(pathGiven ? options.paths.front() : startPath);
  if (options.only.empty()) {
    allSame = RecordSeries(options) && allSame;
    allSame = JobsBenchmark(options.quick ? 20 : 100) && allSame;
    allSame = FitMapBenchmark(options.quick ? 10 : 1) && allSame;
  }
  std::printf("\nresults: %s   load average at end: %s\n",
              allSame ? "all identical" : "SOME DIFFERENT", LoadAverage().c_str());
  return allSame ? 0 : 1;
}
