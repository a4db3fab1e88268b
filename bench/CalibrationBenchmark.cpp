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

// One analysis per pair; the first least sum wins.
TPerPair AnalysisPerPair(TDMTevlora data, const std::vector<TStoragePair>& pairs, int threads) {
  TPerPair result;
  for (std::size_t k = 0; k < pairs.size(); ++k) {
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

bool Case(const std::string& fileName, int threads) {
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
  const TPerPair reference = AnalysisPerPair(data, pairs, threads);
  const double referenceSeconds = Now() - start, referenceCpu = CpuNow() - cpuStart;

  const bool same =
      calibration.Found == reference.found &&
      (!reference.found || (static_cast<std::size_t>(calibration.Best) == reference.best &&
                            calibration.A == reference.a && calibration.C == reference.c &&
                            calibration.SumSq == reference.sum));
  const auto slash = fileName.find_last_of('/');
  std::printf(
      "%-34s %5d %4zu pairs %4d searches  calibration %7.2f s  per pair %7.2f s  "
      "ratio %5.1f  %s\n",
      fileName.substr(slash == std::string::npos ? 0 : slash + 1).c_str(), run.RunCount,
      pairs.size(), calibration.Searches, calibrationSeconds, referenceSeconds,
      referenceSeconds / std::max(calibrationSeconds, 1e-6), same ? "identical" : "DIFFERENT");
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

int CalibrationBenchmark(int threads, const std::string& only) {
  std::printf(
      "storage calibration, default ranges: wall seconds; ratio = one analysis per "
      "pair / calibration\n");
  bool allSame = true;
  for (const char* name : {"spotpy_d_2013_2016_full.inp", "hupsel_h_winter1112_1500.inp"}) {
    if (std::string(name).find(only) == std::string::npos) continue;
    allSame = Case(std::string(BENCH_DATA_DIR) + "/" + name, threads) && allSame;
  }
  return allSame ? 0 : 1;
}
