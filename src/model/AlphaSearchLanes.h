// Walks a handful of trials side by side in the processor's vector unit, each
// with the range of runoff it may have, to find which of them can still win.
#pragma once

#include "AlphaSearch.h"

inline constexpr int kSearchLanes = 8;

// Accurate to about one unit in the last place, for x <= 0 (used only where
// its error is allowed for). Exposed for the tests.
void ExpLanes(const double* x, double* result);

// Walks the trials (a[l], c[l]), l < lanes <= kSearchLanes, from record
// step + 1 on, starting from runoff in [low, high] and a lower sum of
// lowerSum, while a lower bound of their sums stays within `bound`. Returns
// the lanes whose lower bound never passed it as bits (bit l for lane l).
// inverseStep[n] is 1 / (T(n) - T(n-1)), infinite for a step of 0.
unsigned WalkLanes(const TSearchProblem& problem, const double* inverseStep, const double* a,
                   const double* c, int lanes, int step, double low, double high,
                   double lowerSum, double bound);
