#include "FitMap.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <thread>

#include "TextFile.h"
#include "UDMTevlora.h"
#include "URainRun.h"

namespace {

// Record steps (trials times records) that two cores walk in about a
// second, measured on the 1500-hour record.
constexpr double kStepsPerSecond = 2.0e8;

// The zoomed window reaches at least this many trials to each side of the
// optimum at first, and grows by at least this many where it must.
constexpr int kZoomLeast = 20;

// A residual of this size or more costs the search its fixed penalty.
constexpr double kPenaltyResidual = 1000;

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

// The optimum's reconstruction, routed as the run routes it for the results
// file, without the penalty.
void FitOfOptimum(const TSearchProblem& problem, TFitMap& map) {
  const double a = TrialAOf(map.Optimum.outer), c = TrialCOf(map.Optimum.inner);
  std::vector<double> residuals;
  double q = problem.firstRunoff, sum = 0;
  int penalties = 0;
  for (int n = 2; n <= problem.count; ++n) {
    double alpha = a * q + c;
    if (alpha < 0) alpha = 0;
    const double f = std::exp(-alpha * problem.timeStep[n]);
    const double kept = q * f;
    const double added = problem.recharge[n] * (1 - f);
    q = kept + added;
    const double d = problem.measured[n] - q;
    sum += d * d;
    if (std::fabs(d) >= kPenaltyResidual) ++penalties;
    residuals.push_back(d);
  }
  map.ResidualSum = sum;
  map.Penalties = penalties;
  map.Lag1 = std::numeric_limits<double>::quiet_NaN();
  const std::size_t m = residuals.size();
  if (m < 3) return;
  double mean = 0;
  for (double d : residuals) mean += d;
  mean /= static_cast<double>(m);
  double spread = 0, lagged = 0;
  for (std::size_t k = 0; k < m; ++k) {
    spread += (residuals[k] - mean) * (residuals[k] - mean);
    if (k > 0) lagged += (residuals[k] - mean) * (residuals[k - 1] - mean);
  }
  if (spread > 0) map.Lag1 = lagged / spread;
}

// Every trial of outer first .. last and inner first .. last.
struct TWindow {
  int i0, i1, j0, j1;
};

// The sums of `window`, taking those of `old` (already computed over
// `oldWindow`, which lies inside it) as they are.
std::vector<double> WindowSums(const TSearchProblem& problem, const TWindow& window,
                               const TWindow& oldWindow, const std::vector<double>& old,
                               int threads, const TFitMapProgress& progress,
                               const TSearchCancel& cancel) {
  const int columns = window.i1 - window.i0 + 1, rows = window.j1 - window.j0 + 1;
  const int oldColumns = oldWindow.i1 - oldWindow.i0 + 1;
  const bool reuse = !old.empty();
  std::vector<int> freshOuter, keptOuter, allInner, freshInner;
  for (int i = window.i0; i <= window.i1; ++i) {
    (reuse && i >= oldWindow.i0 && i <= oldWindow.i1 ? keptOuter : freshOuter).push_back(i);
  }
  for (int j = window.j0; j <= window.j1; ++j) {
    allInner.push_back(j);
    if (!reuse || j < oldWindow.j0 || j > oldWindow.j1) freshInner.push_back(j);
  }
  std::vector<double> sums(static_cast<std::size_t>(columns) * rows);
  const std::vector<double> fresh =
      FitMapSums(problem, freshOuter, allInner, threads, progress, cancel);
  for (int r = 0; r < rows; ++r) {
    for (std::size_t k = 0; k < freshOuter.size(); ++k) {
      sums[static_cast<std::size_t>(r) * columns + (freshOuter[k] - window.i0)] =
          fresh[r * freshOuter.size() + k];
    }
  }
  if (keptOuter.empty()) return sums;
  const std::vector<double> strips =
      FitMapSums(problem, keptOuter, freshInner, threads, nullptr, cancel);
  for (std::size_t r = 0; r < freshInner.size(); ++r) {
    for (std::size_t k = 0; k < keptOuter.size(); ++k) {
      sums[static_cast<std::size_t>(freshInner[r] - window.j0) * columns +
           (keptOuter[k] - window.i0)] = strips[r * keptOuter.size() + k];
    }
  }
  for (int j = oldWindow.j0; j <= oldWindow.j1; ++j) {
    for (int i = oldWindow.i0; i <= oldWindow.i1; ++i) {
      sums[static_cast<std::size_t>(j - window.j0) * columns + (i - window.i0)] =
          old[static_cast<std::size_t>(j - oldWindow.j0) * oldColumns + (i - oldWindow.i0)];
    }
  }
  return sums;
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
                               const TFitMapProgress& progress, const TSearchCancel& cancel) {
  const int columns = static_cast<int>(outer.size());
  const int rows = static_cast<int>(inner.size());
  std::vector<double> sums(static_cast<std::size_t>(columns) * rows);
  if (columns == 0 || rows == 0) return sums;
  constexpr double kNoBound = std::numeric_limits<double>::infinity();
  std::atomic<int> next{0};
  std::atomic<int> done{0};
  std::atomic<bool> stopped{false};
  // One column (one A) at a time, so that the threads share the work evenly
  // whatever parts of the range are cheap.
  const auto work = [&](bool tell) {
    for (int column = next++; column < columns; column = next++) {
      if (cancel && cancel()) {
        stopped = true;
        return;
      }
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
  if (stopped) throw TSearchCancelled();
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
  map.Optimum = FastSearch(problem, options.Threads, nullptr, kNoTrialYet, options.Cancel);
  map.SearchSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // Without an optimum the run stops: a map would show fits that are none.
  if (!map.Optimum.Found()) return map;
  FitOfOptimum(problem, map);
  const int centreI = map.Optimum.outer;
  const int centreJ = map.Optimum.inner;
  const double factor = ConfidenceFactor(problem.count - 1);
  if (factor > 0 && map.Penalties == 0) map.Threshold = map.Optimum.sum * factor;

  const int step = options.Step > 0 ? options.Step : DefaultFitMapStep(problem.count);
  if (!options.Zoom) {
    map.Step = step;
    map.Outer = Axis(0, kOuterTrials - 1, step, centreI);
    map.Inner = Axis(1, kInnerTrials, step, centreJ);
    map.SumSq =
        FitMapSums(problem, map.Outer, map.Inner, options.Threads, progress, options.Cancel);
    return map;
  }

  // The zoomed map: how far the region reaches on a coarse map decides the
  // first window, so that the whole region shows with room around it.
  const auto part = [&progress](double from, double share) {
    return progress ? TFitMapProgress(
                          [progress, from, share](double done) { progress(from + share * done); })
                    : nullptr;
  };
  TFitMap coarse = map;
  coarse.Step = step;
  coarse.Outer = Axis(0, kOuterTrials - 1, step, centreI);
  coarse.Inner = Axis(1, kInnerTrials, step, centreJ);
  coarse.SumSq = FitMapSums(problem, coarse.Outer, coarse.Inner, options.Threads, part(0, 0.5),
                            options.Cancel);
  int reachI = 0, reachJ = 0;
  for (int row = 0; row < coarse.Rows(); ++row) {
    for (int column = 0; column < coarse.Columns(); ++column) {
      if (!coarse.InRegion(column, row)) continue;
      reachI = std::max(reachI, std::abs(coarse.Outer[column] - centreI) + step);
      reachJ = std::max(reachJ, std::abs(coarse.Inner[row] - centreJ) + step);
    }
  }
  const auto half = [](int reach) { return std::max(reach + reach / 4, kZoomLeast); };
  TWindow window{
      std::max(0, centreI - half(reachI)), std::min(kOuterTrials - 1, centreI + half(reachI)),
      std::max(1, centreJ - half(reachJ)), std::min(kInnerTrials, centreJ + half(reachJ))};
  map.Step = 1;
  map.Zoomed = true;
  std::vector<double> sums =
      WindowSums(problem, window, window, {}, options.Threads, part(0.5, 0.5), options.Cancel);
  // The coarse map may miss parts of a region narrower than its step: the
  // window grows on every side where the region still reaches its edge.
  for (;;) {
    const int columns = window.i1 - window.i0 + 1, rows = window.j1 - window.j0 + 1;
    const auto in = [&](int column, int row) {
      return map.Threshold > 0 &&
             sums[static_cast<std::size_t>(row) * columns + column] <= map.Threshold;
    };
    bool left = false, right = false, bottom = false, top = false;
    for (int row = 0; row < rows; ++row) {
      left = left || (window.i0 > 0 && in(0, row));
      right = right || (window.i1 < kOuterTrials - 1 && in(columns - 1, row));
    }
    for (int column = 0; column < columns; ++column) {
      bottom = bottom || (window.j0 > 1 && in(column, 0));
      top = top || (window.j1 < kInnerTrials && in(column, rows - 1));
    }
    if (!left && !right && !bottom && !top) break;
    const int growI = std::max(kZoomLeast, columns / 2), growJ = std::max(kZoomLeast, rows / 2);
    const TWindow old = window;
    if (left) window.i0 = std::max(0, window.i0 - growI);
    if (right) window.i1 = std::min(kOuterTrials - 1, window.i1 + growI);
    if (bottom) window.j0 = std::max(1, window.j0 - growJ);
    if (top) window.j1 = std::min(kInnerTrials, window.j1 + growJ);
    sums = WindowSums(problem, window, old, sums, options.Threads, nullptr, options.Cancel);
  }
  map.Outer = Axis(window.i0, window.i1, 1, centreI);
  map.Inner = Axis(window.j0, window.j1, 1, centreJ);
  map.SumSq = std::move(sums);
  if (progress) progress(1.0);
  return map;
}

bool FitMapProblemOfInputFile(TDMTevlora& data, TSearchProblem& problem) {
  // The run reads the file Save writes, not the user's file: only that text
  // gives the same records and the same digits.
  const std::optional<std::string> saved = data.InputFileText();
  if (!saved) {
    data.ProgramError(CorruptRealsText(data.FileName));
    return false;
  }
  // A run of its own: the map leaves the session's last run as it was.
  TAnalysisRun run;
  run.RegressionOff = true;
  data.RunAborted = false;
  ReadAndCheckText(data, run, *saved);
  if (!run.VariationOk || run.TimeSequenceError || data.RunAborted || !run.StorageOk) return false;
  if (run.RunCount < 2) return false;
  run.CalcRunoff[1] = run.MeasRunoff[1];
  problem = SearchProblemOfRun(run);
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

std::string FitMapNote(const TFitMap& map) {
  if (!std::isfinite(map.Lag1)) return {};
  std::string note =
      "Residuals at the optimum: lag-1 autocorrelation " + Trim(FormatFixed(map.Lag1, 1, 2)) + ".";
  if (map.Threshold > 0) {
    note +=
        " The region assumes independent errors; positively correlated residuals make it too "
        "small.";
  }
  return note;
}
