// The plain search and the exact sum of one trial: the definition of the
// result. This unit is built with fixed floating-point flags (see
// CMakeLists.txt), so that options given to the rest of the program cannot
// change a bit of it.
#include <algorithm>
#include <cmath>

#include "AlphaSearch.h"

#ifdef __FAST_MATH__
#error "The plain search must be built without -ffast-math."
#endif
#if defined(__clang__)
#pragma clang fp contract(off)
#endif

namespace {

constexpr double kPenalty = 100000.0;

inline double Term(double d) {
  return std::fabs(d) < 1000 ? d * d : kPenalty;
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
  return ReferenceSearchOfRows(problem, 0, 1, progress);
}

TSearchResult ReferenceSearchOfRows(const TSearchProblem& problem, int firstRow, int rowStep,
                                    const TSearchProgress& progress) {
  double bestSum = kNoTrialYet;
  int bestI = -1, bestJ = -1;
  const double* dt = problem.timeStep.data();
  const double* recharge = problem.recharge.data();
  const double* measured = problem.measured.data();
  for (int i = firstRow; i < kOuterTrials; i += std::max(1, rowStep)) {
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
