#include "FitMap.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "TextFile.h"
#include "UDMTevlora.h"
#include "URainRun.h"

namespace {

// Record steps (trials times records) that two cores walk in about a
// second, measured on the 1500-hour record.
constexpr double kStepsPerSecond = 2.0e8;

// The zoomed window reaches at least this many trials, and at most this
// many, to each side of the optimum.
constexpr int kZoomLeast = 20;
constexpr int kZoomMost = 200;

int ThreadCount(int threads) {
  if (threads > 0) return threads;
  return std::max(1u, std::thread::hardware_concurrency());
}

// Every step-th index of first .. last that is congruent to `through`.
std::vector<int> Axis(int first, int last, int step, int through) {
  std::vector<int> indices;
  int start = first + ((through - first) % step + step) % step;
  for (int k = start; k <= last; k += step) indices.push_back(k);
  return indices;
}

double SumOfDeviations(const TSearchProblem& problem) {
  double total = 0;
  for (int n = 1; n <= problem.count; ++n) total += problem.measured[n];
  const double mean = total / problem.count;
  double deviation = 0;
  for (int n = 1; n <= problem.count; ++n) {
    const double d = problem.measured[n] - mean;
    deviation += d * d;
  }
  return deviation;
}

std::string ShortestNumber(double value) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, result.ptr);
}

}  // namespace

double TFitMap::RSquareOf(double sum) const {
  double r = 1 - 0.5 * sum / Deviation;
  if (!(r > 0)) r = 0.01;
  if (r >= 1) r = 0.99;
  return r;
}

double FQuantile2(int n) {
  return n / 2.0 * (std::pow(0.05, -2.0 / n) - 1);
}

double ConfidenceFactor(int residuals) {
  const int freedom = residuals - 2;
  if (freedom < 1) return 0;
  return 1 + 2.0 / freedom * FQuantile2(freedom);
}

int DefaultFitMapStep(int records) {
  const double steps = static_cast<double>(kOuterTrials) * kInnerTrials * std::max(records - 1, 1);
  return std::max(1, static_cast<int>(std::ceil(std::sqrt(steps / kStepsPerSecond))));
}

std::vector<double> FitMapSums(const TSearchProblem& problem, const std::vector<int>& outer,
                               const std::vector<int>& inner, int threads,
                               const TFitMapProgress& progress) {
  const int columns = static_cast<int>(outer.size());
  const int rows = static_cast<int>(inner.size());
  std::vector<double> sums(static_cast<std::size_t>(columns) * rows);
  if (columns == 0 || rows == 0) return sums;
  constexpr double kNoBound = std::numeric_limits<double>::infinity();
  std::atomic<int> next{0};
  std::atomic<int> done{0};
  // One column (one A) at a time, so that the threads share the work evenly
  // whatever parts of the range are cheap.
  const auto work = [&](bool tell) {
    for (int column = next++; column < columns; column = next++) {
      const double a = TrialAOf(outer[column]);
      for (int row = 0; row < rows; ++row) {
        sums[static_cast<std::size_t>(row) * columns + column] =
            EvaluateTrial(problem, a, TrialCOf(inner[row]), kNoBound);
      }
      const int finished = ++done;
      if (tell && progress) progress(static_cast<double>(finished) / columns);
    }
  };
  const int count = std::min(ThreadCount(threads), columns);
  std::vector<std::thread> helpers;
  for (int t = 1; t < count; ++t) helpers.emplace_back(work, false);
  work(true);
  for (auto& helper : helpers) helper.join();
  if (progress) progress(1.0);
  return sums;
}

TFitMap ComputeFitMap(const TSearchProblem& problem, const TFitMapOptions& options,
                      const TFitMapProgress& progress) {
  TFitMap map;
  map.Records = problem.count;
  if (problem.count < 2) return map;
  map.Deviation = SumOfDeviations(problem);
  const auto start = std::chrono::steady_clock::now();
  map.Optimum = FastSearch(problem, options.Threads);
  map.SearchSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const bool found = map.Optimum.Found();
  const int centreI = found ? map.Optimum.outer : 0;
  const int centreJ = found ? map.Optimum.inner : 1;
  const double factor = ConfidenceFactor(problem.count - 1);
  if (found && factor > 0) map.Threshold = map.Optimum.sum * factor;

  const int step = options.Step > 0 ? options.Step : DefaultFitMapStep(problem.count);
  if (!options.Zoom || !found) {
    map.Step = step;
    map.Outer = Axis(0, kOuterTrials - 1, step, centreI);
    map.Inner = Axis(1, kInnerTrials, step, centreJ);
    map.SumSq = FitMapSums(problem, map.Outer, map.Inner, options.Threads, progress);
    return map;
  }

  // The zoomed map: how far the region reaches on a coarse map decides the
  // window, so that the whole region shows with room around it.
  const auto half = [](const TFitMapProgress& whole) {
    return whole ? TFitMapProgress([whole](double share) { whole(0.5 * share); }) : nullptr;
  };
  TFitMap coarse = map;
  coarse.Step = step;
  coarse.Outer = Axis(0, kOuterTrials - 1, step, centreI);
  coarse.Inner = Axis(1, kInnerTrials, step, centreJ);
  coarse.SumSq = FitMapSums(problem, coarse.Outer, coarse.Inner, options.Threads, half(progress));
  int reachI = 0, reachJ = 0;
  for (int row = 0; row < coarse.Rows(); ++row) {
    for (int column = 0; column < coarse.Columns(); ++column) {
      if (!coarse.InRegion(column, row)) continue;
      reachI = std::max(reachI, std::abs(coarse.Outer[column] - centreI) + step);
      reachJ = std::max(reachJ, std::abs(coarse.Inner[row] - centreJ) + step);
    }
  }
  const auto window = [](int reach) {
    return std::clamp(reach + reach / 4, kZoomLeast, kZoomMost);
  };
  const int halfI = window(reachI), halfJ = window(reachJ);
  map.Step = 1;
  map.Zoomed = true;
  map.Outer =
      Axis(std::max(0, centreI - halfI), std::min(kOuterTrials - 1, centreI + halfI), 1, centreI);
  map.Inner =
      Axis(std::max(1, centreJ - halfJ), std::min(kInnerTrials, centreJ + halfJ), 1, centreJ);
  const auto rest = progress
                        ? TFitMapProgress([progress](double share) { progress(0.5 + 0.5 * share); })
                        : nullptr;
  map.SumSq = FitMapSums(problem, map.Outer, map.Inner, options.Threads, rest);
  return map;
}

bool FitMapProblemOfInputFile(TDMTevlora& data, TSearchProblem& problem) {
  RegressionOff = true;
  data.RunAborted = false;
  ReadAndCheck(data);
  if (!VariationOk || TimeSequenceError || data.RunAborted || !StorageOk) return false;
  if (RunCount < 2) return false;
  CalcRunoff[1] = MeasRunoff[1];
  problem = SearchProblemOfRun();
  return true;
}

std::string FitMapCsv(const TFitMap& map) {
  TTextWriter out;
  out.Line("A,C,SumSq,RSquare");
  for (int column = 0; column < map.Columns(); ++column) {
    for (int row = 0; row < map.Rows(); ++row) {
      const double sum = map.Sum(column, row);
      out << Trim(FormatFixed(TrialAOf(map.Outer[column]), 1, 4)) << ","
          << Trim(FormatFixed(TrialCOf(map.Inner[row]), 1, 3)) << "," << ShortestNumber(sum) << ","
          << ShortestNumber(map.RSquareOf(sum));
      out.EndLine();
    }
  }
  return out.Text();
}
