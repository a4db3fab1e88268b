// Compares, on every analysis file in Data/ and on generated records, the
// program's alpha search with the plain search and with the simple pruned
// search, in one process, by CPU time.
//
//   tevlora-bench [--path=avx512|avx2|sse2|plain] [--threads=N] [--sample=K]
//                 [--full] [--quick] [--generated=K] [--only=TEXT]
//                 [--calibration]
//
// --path     the vector path of the program's search (default: the widest the
//            processor has, or TEVLORA_SEARCH_PATH)
// --sample   the plain search is timed on K evenly spread outer indices and
//            scaled to all 2001 (its cost per trial does not depend on the
//            trial); default 21
// --full     the whole plain search instead, and the results compared with it
// --quick    only the program's search
// --generated  the number of generated data sets (default 12)
// --only     only the data whose name contains the given text
// --calibration  the storage calibration instead (see CalibrationBenchmark);
//            with --sample=K the analysis per pair is timed on every K-th pair
//            (and the best one) and scaled to all
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

int CalibrationBenchmark(int threads, const std::string& only, int step);

namespace {

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return now.tv_sec + now.tv_nsec * 1e-9;
}

double WallSeconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
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
  int generated = 12;
  bool full = false;
  bool quick = false;
  std::string only;
  bool calibration = false;
  int pairSample = 1;
};

struct TRow {
  double plainRatio = 0, prunedRatio = 0;
  bool same = true;
};

bool SameResult(const TSearchResult& x, const TSearchResult& y) {
  return x.outer == y.outer && x.inner == y.inner && x.sum == y.sum;
}

TRow Measure(const std::string& name, const TSearchProblem& problem, const TOptions& options) {
  TRow row;
  double start = CpuSeconds();
  const double wallStart = WallSeconds();
  const TSearchResult fast = FastSearch(problem, options.threads);
  const double fastCpu = CpuSeconds() - start;
  const double fastWall = WallSeconds() - wallStart;
  if (options.quick) {
    std::printf("%-36s %5d  program %8.3f s (wall %7.3f s)  A=%.4f C=%.3f\n", name.c_str(),
                problem.count, fastCpu, fastWall, TrialAOf(fast.outer), TrialCOf(fast.inner));
    std::fflush(stdout);
    return row;
  }
  start = CpuSeconds();
  const TSearchResult pruned = PrunedSearch(problem, options.threads);
  const double prunedCpu = CpuSeconds() - start;
  row.same = SameResult(fast, pruned);

  double plainCpu;
  if (options.full) {
    start = CpuSeconds();
    const TSearchResult reference = ReferenceSearch(problem);
    plainCpu = CpuSeconds() - start;
    row.same = row.same && SameResult(fast, reference);
  } else {
    // Rows 0, step, 2 step, ... up to 2000.
    const int step = std::max(1, (kOuterTrials - 1) / std::max(1, options.sample - 1));
    const int rows = (kOuterTrials - 1) / step + 1;
    start = CpuSeconds();
    const TSearchResult sampled = ReferenceSearchOfRows(problem, 0, step);
    plainCpu = (CpuSeconds() - start) * kOuterTrials / rows;
    // The sample can only find a trial that is no better than the optimum.
    if (sampled.Found()) {
      const bool notBetter = sampled.sum > fast.sum ||
                             (sampled.sum == fast.sum &&
                              (sampled.outer > fast.outer ||
                               (sampled.outer == fast.outer && sampled.inner >= fast.inner)));
      row.same = row.same && fast.Found() && notBetter;
    }
  }
  row.plainRatio = plainCpu / std::max(fastCpu, 1e-6);
  row.prunedRatio = prunedCpu / std::max(fastCpu, 1e-6);
  std::printf("%-36s %5d  %9.2f %8.3f %8.3f  %8.1f %7.2f  %s\n", name.c_str(), problem.count,
              plainCpu, prunedCpu, fastCpu, row.plainRatio, row.prunedRatio,
              row.same ? "identical" : "DIFFERENT");
  std::fflush(stdout);
  return row;
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

}  // namespace

int main(int argc, char* argv[]) {
  TOptions options;
  for (int k = 1; k < argc; ++k) {
    const std::string argument = argv[k];
    const auto value = [&](const char* prefix) {
      return argument.rfind(prefix, 0) == 0 ? argument.c_str() + std::strlen(prefix) : nullptr;
    };
    if (const char* path = value("--path=")) {
      bool known = false;
      for (TSearchPath candidate :
           {TSearchPath::Plain, TSearchPath::Sse2, TSearchPath::Avx2, TSearchPath::Avx512}) {
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
    } else if (const char* threads = value("--threads=")) {
      options.threads = std::atoi(threads);
    } else if (const char* sample = value("--sample=")) {
      options.sample = std::max(2, std::atoi(sample));
      options.pairSample = options.sample;
    } else if (const char* generated = value("--generated=")) {
      options.generated = std::max(0, std::atoi(generated));
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

  std::printf("vector path: %s   threads: %d   load average at start: %s\n",
              SearchPathName(ActiveSearchPath()),
              options.threads > 0
                  ? options.threads
                  : static_cast<int>(std::max(1u, std::thread::hardware_concurrency())),
              LoadAverage().c_str());
  if (options.calibration)
    return CalibrationBenchmark(options.threads, options.only, options.pairSample);
  if (!options.quick) {
    if (options.full) {
      std::printf("plain search: all 2001 outer indices, one thread\n");
    } else {
      const int step = std::max(1, (kOuterTrials - 1) / std::max(1, options.sample - 1));
      std::printf(
          "plain search: timed on outer indices 0, %d, ..., %d (%d of 2001), scaled to all;"
          " one thread\n",
          step, (kOuterTrials - 1) / step * step, (kOuterTrials - 1) / step + 1);
      std::printf(
          "identical: same pair and bit-identical sum as the pruned search (exact by"
          " construction), no better trial in the plain sample\n");
    }
    std::printf("CPU seconds (all threads); ratio = other search's CPU / program's CPU\n\n");
    std::printf("%-36s %5s  %9s %8s %8s  %8s %7s\n", "data", "N", "plain", "pruned", "program",
                "/plain", "/pruned");
  }

  std::vector<std::pair<std::string, TSearchProblem>> problems;
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
    problems.emplace_back(file.filename().string(), std::move(problem));
  }
  const double noises[] = {0.04, 0.08, 0.12, 0.20};
  for (int k = 0; k < options.generated; ++k) {
    const unsigned seed = 101 + k;
    const double noise = noises[k % 4];
    const bool slow = k % 3 == 2;
    char name[64];
    std::snprintf(name, sizeof name, "generated seed %u noise %.0f%%%s", seed, noise * 100,
                  slow ? " slow" : "");
    problems.emplace_back(name, NoisySearchProblem(1500, seed, noise, slow));
  }

  std::vector<double> plainRatios, prunedRatios;
  bool allSame = true;
  for (const auto& [name, problem] : problems) {
    if (name.find(options.only) == std::string::npos) continue;
    const TRow row = Measure(name, problem, options);
    plainRatios.push_back(row.plainRatio);
    prunedRatios.push_back(row.prunedRatio);
    allSame = allSame && row.same;
  }
  if (!options.quick) {
    std::printf("\nratio to the plain search:  median %8.1f  minimum %8.1f\n", Median(plainRatios),
                *std::min_element(plainRatios.begin(), plainRatios.end()));
    std::printf("ratio to the pruned search: median %8.2f  minimum %8.2f\n", Median(prunedRatios),
                *std::min_element(prunedRatios.begin(), prunedRatios.end()));
    std::printf("results: %s   load average at end: %s\n",
                allSame ? "all identical" : "SOME DIFFERENT", LoadAverage().c_str());
  }
  return allSame ? 0 : 1;
}
