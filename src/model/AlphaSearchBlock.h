// How far the runoff can move in one record for a block of trials, and the
// least sum that any trial of a block can reach: the bounds with which the
// search drops trials early.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "AlphaSearch.h"

// Room for the rounding of the plain search and of the walks: far more than
// a few units in the last place of any quantity involved.
inline constexpr double kReachSlack = 1e-12;

// Next runoff of one trial from runoff q.
inline double NextRunoff(double q, double r, double a, double c, double dt) {
  double alpha = a * q + c;
  if (alpha < 0) alpha = 0;
  return r + (q - r) * std::exp(-alpha * dt);
}

// For one trial the next runoff, as a function of the runoff q, rises up to
// a peak and falls beyond it: alpha is 0 (and the runoff kept) up to
// q = -c / a, and where alpha is above 0 the slope has the sign of
// 1 - a dt (q - r). So the peak is the larger of those two points.
inline double RunoffPeak(double r, double a, double c, double inverseDt) {
  if (!(a > 0)) return INFINITY;
  return std::max(r + inverseDt / a, c < 0 ? -c / a : 0.0);
}

// The range [*low, *high] of the next runoff of every trial with A in
// [a0, a1] and C in [c0, c1] whose runoff is in [lo, hi], for recharge r >= 0
// over a step dt (inverseDt = 1 / dt), rounding room included. Alpha is least
// at (a0, c0) and greatest at (a1, c1) for every runoff >= 0.
inline void RunoffReach(double lo, double hi, double r, double dt, double inverseDt, double a0,
                        double c0, double a1, double c1, double* low, double* high) {
  double newLow = INFINITY, newHigh = -INFINITY;
  if (lo < r) {
    // Below the recharge a greater alpha lifts the runoff, and the next
    // runoff rises with the runoff.
    newLow = std::min(newLow, NextRunoff(lo, r, a0, c0, dt));
    newHigh = std::max(newHigh, NextRunoff(std::min(hi, r), r, a1, c1, dt));
  }
  if (hi >= r) {
    // Above it a greater alpha lowers the runoff.
    const double from = std::max(lo, r);
    newLow = std::min(newLow, NextRunoff(from, r, a1, c1, dt));
    if (hi > RunoffPeak(r, a1, c1, inverseDt)) {
      newLow = std::min(newLow, NextRunoff(hi, r, a1, c1, dt));
    }
    const double peak = RunoffPeak(r, a0, c0, inverseDt);
    if (hi <= peak) {
      newHigh = std::max(newHigh, NextRunoff(hi, r, a0, c0, dt));
    } else if (peak > from) {
      newHigh = std::max(newHigh, NextRunoff(peak, r, a0, c0, dt));
    } else {
      newHigh = std::max(newHigh, NextRunoff(from, r, a0, c0, dt));
    }
  }
  const double slack =
      kReachSlack * (hi + r + 1e-300) * (1 + dt * (1 + a1 * hi + std::fabs(c0) + std::fabs(c1)));
  *low = std::max(0.0, newLow - slack);
  *high = newHigh + slack;
}

// A lower bound of the sum of every trial with A in [a0, a1] and C in
// [c0, c1], from `cells` cells of runoff of equal width up to `top` (the last
// cell reaches on to infinity).
//
// Letting alpha take any value between the block's least and greatest at
// every record, instead of following one function, can only lower the least
// sum; so that least sum is worked out backwards, record by record, over the
// cells: from a cell the next runoff stays within a range of cells, and the
// least of the rest from a cell is the least, over that range, of the
// record's squared residual at the cell's nearest point plus the least of
// the rest from there. Requires recharge, steps and first runoff >= 0.
//
// With `rechargeHigh` (indexed like the recharge, never below it) the bound
// holds for every recharge series that lies, record by record, between the
// problem's and that one: several problems that differ in their recharge
// only are bounded at once.
double LeastSumOfBlock(const TSearchProblem& problem, double a0, double a1, double c0, double c1,
                       int cells, double top, const std::vector<double>* rechargeHigh = nullptr);

// Where the cells of LeastSumOfBlock end for the search: a quarter above the
// greatest measured runoff.
double BlockCellsTop(const TSearchProblem& problem);
