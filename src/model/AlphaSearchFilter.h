// A fast vectorised pass over a row of trials (one A, many C) that gives
// each trial a proven lower bound of its exact sum, so that most trials are
// discarded without being evaluated exactly.
#pragma once

#include "AlphaSearch.h"

class TSearchFilter {
 public:
  virtual ~TSearchFilter() = default;
  // For the trials (a, TrialCOf(j)), j = firstTrial .. kInnerTrials, writes
  // into lowerBounds[j - 1] a value that the trial's exact sum is never below;
  // once a trial's bound passes `bound` its walk may stop there.
  virtual void LowerBounds(const TSearchProblem& problem, double a, int firstTrial, double bound,
                           double* lowerBounds) const = 0;
};

// The best filter this processor can run, or nullptr when there is none.
const TSearchFilter* SelectSearchFilter();
