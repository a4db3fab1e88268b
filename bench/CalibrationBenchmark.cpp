// The storage calibration with its default ranges against the program's own
// analysis run once per pair (reading the input text with those storages,
// the routing and the search), on the 4-year daily example and the
// 1500-hour example: wall seconds, the ratio, and whether both give the same
// pair, the same A and C and the same sum to the last bit.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "StorageCalibration.h"
#include "UDMTevlora.h"
#include "URainRun.h"

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// CPU seconds of all threads of the process: on a shared machine the wall
// time says more about the other programs than about this one.
double CpuNow() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

struct TPerPair {
  bool found = false;
  std::size_t best = 0;
  double a = 0, c = 0, sum = 0;
};

// One analysis per pair (every `step`-th pair, and the pair `also`); the
// first least sum wins. `analysed` counts the analyses.
TPerPair AnalysisPerPair(TDMTevlora data, const std::vector<TStoragePair>& pairs, int threads,
                         std::size_t step, std::size_t also, std::size_t& analysed) {
  TPerPair result;
  analysed = 0;
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    if (k % step != 0 && k != also) continue;
    ++analysed;
    data.MaxStorage = pairs[k].MaxStorage;
    data.InitStorage = pairs[k].InitStorage;
    const auto text = data.InputFileText();
    TAnalysisRun run;
    run.SearchThreadCount = threads;
    ReadAndCheckText(data, run, *text);
    OptimiseAlpha(data, run);
    if (!run.AlphaFitFound) continue;
    if (!result.found || run.BestSumSq < result.sum) {
      result = {true, k, run.BestA, run.BestC, run.BestSumSq};
    }
  }
  return result;
}

bool Case(const std::string& fileName, int threads, std::size_t step) {
  TDMTevlora data;
  data.FileName = fileName;
  if (!data.ReadInputFile()) {
    std::fprintf(stderr, "cannot read %s\n", fileName.c_str());
    return false;
  }
  TAnalysisRun run;
  run.RegressionOff = true;
  ReadAndCheckText(data, run, *data.InputFileText());
  const TStorageRanges ranges = DefaultStorageRanges(run);
  TStorageCalibrationOptions options;
  options.Threads = threads;
  double start = Now(), cpuStart = CpuNow();
  const TStorageCalibration calibration = CalibrateStorages(run, ranges, options);
  const double calibrationSeconds = Now() - start, calibrationCpu = CpuNow() - cpuStart;

  std::vector<TStoragePair> pairs;
  for (const auto& entry : calibration.Profile) pairs.push_back(entry.Pair);
  start = Now();
  cpuStart = CpuNow();
  std::size_t analysed = 0;
  const TPerPair reference = AnalysisPerPair(data, pairs, threads, step,
                                             calibration.Found ? calibration.Best : 0, analysed);
  // A sample is scaled to all pairs.
  const double scale = static_cast<double>(pairs.size()) / static_cast<double>(analysed);
  const double referenceSeconds = (Now() - start) * scale,
               referenceCpu = (CpuNow() - cpuStart) * scale;

  const bool same =
      calibration.Found == reference.found &&
      (!reference.found || (static_cast<std::size_t>(calibration.Best) == reference.best &&
                            calibration.A == reference.a && calibration.C == reference.c &&
                            calibration.SumSq == reference.sum));
  const auto slash = fileName.find_last_of('/');
  const std::string sampled =
      step > 1 ? " (per pair: every " + std::to_string(step) + "th pair and the best, scaled)" : "";
  std::printf(
      "%s: %d records, %zu pairs, %d searches\n"
      "  calibration %8.2f s wall %8.2f s CPU\n"
      "  per pair    %8.2f s wall %8.2f s CPU\n"
      "  ratio       %8.1f   wall %8.1f   CPU   %s%s\n",
      fileName.substr(slash == std::string::npos ? 0 : slash + 1).c_str(), run.RunCount,
      pairs.size(), calibration.Searches, calibrationSeconds, calibrationCpu, referenceSeconds,
      referenceCpu, referenceSeconds / std::max(calibrationSeconds, 1e-6),
      referenceCpu / std::max(calibrationCpu, 1e-6), same ? "identical" : "DIFFERENT",
      sampled.c_str());
  if (calibration.Found) {
    const TStoragePair best = calibration.BestPair();
    std::printf("  %s\n  best: Smax %.2f S0 %.2f A %.4f C %.3f SumSq %.17g\n",
                StorageRangesText(ranges).c_str(), best.MaxStorage, best.InitStorage, calibration.A,
                calibration.C, calibration.SumSq);
  }
  std::fflush(stdout);
  return same;
}

}  // namespace

int CalibrationBenchmark(int threads, const std::string& only, int step) {
  std::printf("storage calibration, default ranges; ratio = one analysis per pair / calibration\n");
  bool allSame = true;
  for (const char* name : {"spotpy_d_2013_2016_full.inp", "hupsel_h_winter1112_1500.inp"}) {
    if (std::string(name).find(only) == std::string::npos) continue;
    allSame = Case(std::string(BENCH_DATA_DIR) + "/" + name, threads,
                   static_cast<std::size_t>(std::max(1, step))) &&
              allSame;
  }
  return allSame ? 0 : 1;
}
