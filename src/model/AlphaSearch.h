// The trial-and-error search for the alpha function alpha = A * runoff + C.
//
// The result is defined by the plain sequential search: every one of the
// 4,002,000 trials (A = i * 0.0005, C = (j - 1000) * 0.001) routes the
// recharge through the main reservoir in record order with std::exp, sums
// the squared residuals (or the penalty) in record order, and a trial wins
// only with a strictly smaller sum, so ties go to the first trial.
// FastSearch gives exactly that result, only much sooner.
#pragma once

#include <exception>
#include <functional>
#include <vector>

inline constexpr int kOuterTrials = 2001;  // i = 0 .. 2000
inline constexpr int kInnerTrials = 2000;  // j = 1 .. 2000
inline constexpr double kNoTrialYet = 1000000.0;

inline double TrialAOf(int i) {
  return i * 0.0005;
}
inline double TrialCOf(int j) {
  return (j - 1000) * 0.001;
}

// The records as the search sees them, counted from 1 like the run series.
struct TSearchProblem {
  int count = 0;                 // N
  std::vector<double> timeStep;  // [n] = T(n) - T(n-1), n = 2 .. N
  std::vector<double> recharge;  // [n]
  std::vector<double> measured;  // [n]
  double firstRunoff = 0;        // calculated runoff of record 1
};

struct TSearchResult {
  double sum = kNoTrialYet;  // best sum; kNoTrialYet when no trial beat it
  int outer = -1;            // i of the best trial, -1 when none
  int inner = -1;            // j of the best trial
  bool Found() const { return outer >= 0; }
};

// Called with the outer index K when the trial (K, K) has been reached, for
// K = 150, 200, ..., 1950 (the caller picks the texts).
using TSearchProgress = std::function<void(int)>;

// Asked now and then, from any of the search's threads, whether the caller
// wants the work stopped. When it says yes the search stops taking trials and
// throws TSearchCancelled once its threads have ended; until then it changes
// nothing of the result.
using TSearchCancel = std::function<bool()>;

struct TSearchCancelled : std::exception {
  const char* what() const noexcept override { return "The calculation was cancelled."; }
};

// Exact sum of one trial, or a value >= bound as soon as the partial sum
// shows that the trial cannot beat `bound`.
double EvaluateTrial(const TSearchProblem& problem, double a, double c, double bound);

// The plain search, trial after trial, every trial over all records.
TSearchResult ReferenceSearch(const TSearchProblem& problem,
                              const TSearchProgress& progress = nullptr);

// The plain search over the outer indices firstRow, firstRow + rowStep, ...
// only: for timing the plain search on a sample of rows.
TSearchResult ReferenceSearchOfRows(const TSearchProblem& problem, int firstRow, int rowStep,
                                    const TSearchProgress& progress = nullptr);

// The same result as the plain search by the simplest exact shortcut: after a
// coarse pre-scan, every trial is abandoned once its partial sum passes the
// best sum so far. All cores (threads = 0) or the given number of threads.
//
// `bound` is a sum known from elsewhere (another search of a calibration):
// trials above it may be dropped at once. The result is the plain search's
// when its sum is at most `bound`; otherwise there is none (Found() false).
TSearchResult PrunedSearch(const TSearchProblem& problem, int threads = 0,
                           const TSearchProgress& progress = nullptr, double bound = kNoTrialYet,
                           const TSearchCancel& cancel = nullptr);

// The same result with all cores (threads = 0) or the given number of
// threads; `bound` as for PrunedSearch.
TSearchResult FastSearch(const TSearchProblem& problem, int threads = 0,
                         const TSearchProgress& progress = nullptr, double bound = kNoTrialYet,
                         const TSearchCancel& cancel = nullptr);

// The search over a group of problems that differ in their recharge only
// (the initial storages of one maximum storage in a calibration): the least
// sum of them all, ties going to the first problem of the group and within
// it to the first trial, exactly as searching each and keeping the first
// least sum. `bound` as for FastSearch.
struct TGroupSearchResult : TSearchResult {
  int member = -1;  // the problem of the best trial
};
TGroupSearchResult FastSearchGroup(const std::vector<TSearchProblem>& problems, int threads = 0,
                                   double bound = kNoTrialYet,
                                   const TSearchCancel& cancel = nullptr);
