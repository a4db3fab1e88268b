#include "AlphaSearch.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>

#include "AlphaSearchFilter.h"

namespace {

constexpr double kPenalty = 100000.0;
constexpr int kBatchRows = 50;  // progress is told once per 50 outer indices

inline double Term(double d) { return std::fabs(d) < 1000 ? d * d : kPenalty; }

// Lexicographic (sum, trial index) order: ties go to the first trial.
struct TCandidate {
  double sum = kNoTrialYet;
  int index = -1;  // i * kInnerTrials + (j - 1)
  bool Beats(const TCandidate& other) const {
    if (index < 0) return false;
    if (other.index < 0) return true;
    return sum < other.sum || (sum == other.sum && index < other.index);
  }
};

TSearchResult ResultOf(const TCandidate& best) {
  TSearchResult result;
  if (best.index >= 0 && best.sum < kNoTrialYet) {
    result.sum = best.sum;
    result.outer = best.index / kInnerTrials;
    result.inner = best.index % kInnerTrials + 1;
  }
  return result;
}

// A shared bound that only goes down.
class TSharedBound {
 public:
  explicit TSharedBound(double start) : value_(start) {}
  double Get() const { return value_.load(std::memory_order_relaxed); }
  void Offer(double sum) {
    double current = value_.load(std::memory_order_relaxed);
    while (sum < current && !value_.compare_exchange_weak(current, sum)) {
    }
  }

 private:
  std::atomic<double> value_;
};

// Sum of a trial whose alpha is 0 from record 2 on: the runoff then stays at
// its first value for good, whatever A and C are.
double FrozenSum(const TSearchProblem& problem) {
  double sum = 0;
  const double q = problem.firstRunoff;
  for (int n = 2; n <= problem.count; ++n) sum += Term(problem.measured[n] - q);
  return sum;
}

}  // namespace

double EvaluateTrial(const TSearchProblem& problem, double a, double c, double bound) {
  const double* dt = problem.timeStep.data();
  const double* recharge = problem.recharge.data();
  const double* measured = problem.measured.data();
  double q = problem.firstRunoff;
  double sum = 0;
  for (int n = 2; n <= problem.count; ++n) {
    double alpha = a * q + c;
    if (alpha < 0) alpha = 0;
    if (alpha == 0) {
      // exp(-0) is exactly 1: the runoff keeps its value from here on and
      // alpha with it, so the rest of the trial needs no exponential.
      for (; n <= problem.count; ++n) {
        sum += Term(measured[n] - q);
        if (sum > bound) return sum;
      }
      return sum;
    }
    const double f = std::exp(-alpha * dt[n]);
    const double kept = q * f;
    const double added = recharge[n] * (1 - f);
    q = kept + added;
    sum += Term(measured[n] - q);
    if (sum > bound) return sum;
  }
  return sum;
}

TSearchResult ReferenceSearch(const TSearchProblem& problem, const TSearchProgress& progress) {
  double bestSum = kNoTrialYet;
  int bestI = -1, bestJ = -1;
  const double* dt = problem.timeStep.data();
  const double* recharge = problem.recharge.data();
  const double* measured = problem.measured.data();
  for (int i = 0; i < kOuterTrials; ++i) {
    for (int j = 1; j <= kInnerTrials; ++j) {
      const double a = TrialAOf(i);
      const double c = TrialCOf(j);
      double q = problem.firstRunoff;
      double sum = 0;
      for (int n = 2; n <= problem.count; ++n) {
        double alpha = a * q + c;
        if (alpha < 0) alpha = 0;
        const double f = std::exp(-alpha * dt[n]);
        q = q * f + recharge[n] * (1 - f);
        const double d = measured[n] - q;
        if (std::fabs(d) < 1000) {
          sum += d * d;
        } else {
          sum += kPenalty;
        }
      }
      if (sum < bestSum) {
        bestSum = sum;
        bestI = i;
        bestJ = j;
      }
      if (progress && i == j && i >= 150 && i % 50 == 0) progress(i);
    }
  }
  TSearchResult result;
  if (bestI >= 0) {
    result.sum = bestSum;
    result.outer = bestI;
    result.inner = bestJ;
  }
  return result;
}

namespace {

// Finds a good bound cheaply: a coarse grid, then a pattern search around its
// best point. Every sum here is exact, so the bound is a value that a trial
// really reaches.
TCandidate PreScan(const TSearchProblem& problem) {
  TCandidate best;
  const auto consider = [&](int i, int j) {
    if (i < 0 || i >= kOuterTrials || j < 1 || j > kInnerTrials) return false;
    const double bound = best.index >= 0 ? best.sum : kNoTrialYet;
    const double sum = EvaluateTrial(problem, TrialAOf(i), TrialCOf(j), bound);
    const TCandidate candidate{sum, i * kInnerTrials + (j - 1)};
    if (sum <= bound && candidate.Beats(best)) {
      best = candidate;
      return true;
    }
    return false;
  };
  for (int i = 0; i < kOuterTrials; i += 50) {
    for (int j = 1000; j <= kInnerTrials; j += 25) consider(i, j);
    for (int j = 1001; j <= kInnerTrials; j += 100) consider(i, j);
  }
  if (best.index < 0) return best;
  for (int step = 32; step >= 1; step /= 2) {
    bool improved = true;
    while (improved) {
      improved = false;
      const int i = best.index / kInnerTrials;
      const int j = best.index % kInnerTrials + 1;
      for (int di = -1; di <= 1; ++di) {
        for (int dj = -1; dj <= 1; ++dj) {
          if ((di || dj) && consider(i + di * step, j + dj * step)) improved = true;
        }
      }
    }
  }
  return best;
}

}  // namespace

TSearchResult FastSearch(const TSearchProblem& problem, int threads,
                         const TSearchProgress& progress) {
  if (threads <= 0) threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  const TCandidate start = PreScan(problem);
  TSharedBound bound(start.index >= 0 ? start.sum : kNoTrialYet);
  const double frozenSum = FrozenSum(problem);
  const TSearchFilter* filter = SelectSearchFilter();

  TCandidate overall = start;
  std::mutex mergeLock;

  for (int batch = 0; batch < kOuterTrials; batch += kBatchRows) {
    if (progress && batch >= 150) progress(batch);
    const int lastRow = std::min(kOuterTrials, batch + kBatchRows);
    std::atomic<int> nextRow{batch};
    const auto worker = [&]() {
      TCandidate best;
      std::vector<double> lowerBounds(kInnerTrials);
      for (int i = nextRow++; i < lastRow; i = nextRow++) {
        const double a = TrialAOf(i);
        // Trials whose alpha is 0 at once all share one sum.
        int firstLive = 1;
        while (firstLive <= kInnerTrials && !(a * problem.firstRunoff + TrialCOf(firstLive) > 0)) {
          ++firstLive;
        }
        if (firstLive > 1) {
          const TCandidate frozen{frozenSum, i * kInnerTrials};
          if (frozen.Beats(best)) best = frozen;
          bound.Offer(frozenSum);
        }
        if (filter != nullptr) {
          filter->LowerBounds(problem, a, firstLive, bound.Get(), lowerBounds.data());
        }
        for (int j = firstLive; j <= kInnerTrials; ++j) {
          const double limit = bound.Get();
          if (filter != nullptr && lowerBounds[j - 1] > limit) continue;
          const double sum = EvaluateTrial(problem, a, TrialCOf(j), limit);
          if (sum > limit) continue;
          const TCandidate candidate{sum, i * kInnerTrials + (j - 1)};
          if (candidate.Beats(best)) best = candidate;
          bound.Offer(sum);
        }
      }
      std::lock_guard<std::mutex> lock(mergeLock);
      if (best.Beats(overall)) overall = best;
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
    worker();
    for (auto& thread : pool) thread.join();
  }
  return ResultOf(overall);
}
