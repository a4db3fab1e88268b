#include "AlphaSearchLanes.h"

#include <cmath>

namespace {

typedef double v8d __attribute__((vector_size(64)));
typedef long long v8l __attribute__((vector_size(64)));

constexpr double kPenalty = 100000.0;
// Room for rounding: far more than the few units in the last place that the
// plain search and this walk can each be off by in one record.
constexpr double kRelativeSlack = 1e-12;
// The exponential below is off by less than this fraction.
constexpr double kExpError = 1e-14;
constexpr double kSumSlack = 1e-11;

[[gnu::always_inline]] inline v8d Splat(double x) { return v8d{x, x, x, x, x, x, x, x}; }
[[gnu::always_inline]] inline v8d Min(v8d x, v8d y) { return x < y ? x : y; }
[[gnu::always_inline]] inline v8d Max(v8d x, v8d y) { return x > y ? x : y; }

// exp(x) for x <= 0: x = k ln 2 + r with |r| <= ln 2 / 2, exp(r) by its
// Taylor polynomial of degree 12 (truncation below 2e-16), scaled by 2^k.
// Below -700 the result stays at exp(-700), some 1e-304.
[[gnu::always_inline]] inline v8d Exp(v8d x) {
  const v8d magic = Splat(6755399441055744.0);  // 1.5 * 2^52: rounds to an integer
  x = Max(x, Splat(-700.0));
  const v8d t = x * Splat(1.4426950408889634) + magic;
  const v8d k = t - magic;
  const v8d r = (x - k * Splat(0.693145751953125)) - k * Splat(1.4286068203094172e-06);
  v8d p = Splat(1.0 / 479001600.0);
  p = p * r + Splat(1.0 / 39916800.0);
  p = p * r + Splat(1.0 / 3628800.0);
  p = p * r + Splat(1.0 / 362880.0);
  p = p * r + Splat(1.0 / 40320.0);
  p = p * r + Splat(1.0 / 5040.0);
  p = p * r + Splat(1.0 / 720.0);
  p = p * r + Splat(1.0 / 120.0);
  p = p * r + Splat(1.0 / 24.0);
  p = p * r + Splat(1.0 / 6.0);
  p = p * r + Splat(0.5);
  p = p * r + Splat(1.0);
  p = p * r + Splat(1.0);
  const v8l power = ((v8l)t - (v8l)magic) << 52;
  const v8l bits = (v8l)p + power;
  return (v8d)bits;
}

// Next runoff of each lane from runoff q.
[[gnu::always_inline]] inline v8d Next(v8d q, v8d r, v8d a, v8d c, v8d dt) {
  const v8d alpha = Max(a * q + c, Splat(0.0));
  return r + (q - r) * Exp(-alpha * dt);
}

[[gnu::always_inline]] inline bool Any(v8l mask) {
  long long any = 0;
  for (int l = 0; l < kSearchLanes; ++l) any |= mask[l];
  return any != 0;
}

}  // namespace

__attribute__((target_clones("avx512f", "avx2", "default"))) void ExpLanes(const double* x,
                                                                            double* result) {
  v8d v;
  for (int l = 0; l < kSearchLanes; ++l) v[l] = x[l];
  const v8d e = Exp(v);
  for (int l = 0; l < kSearchLanes; ++l) result[l] = e[l];
}

// For one trial the next runoff rises with the runoff up to a peak (the
// larger of r + 1 / (a dt) and -c / a, below which alpha is 0) and falls
// beyond it, so over [low, high] its least value is at an end and its
// greatest at the peak clamped into the range.
__attribute__((target_clones("avx512f", "avx2", "default"))) unsigned WalkLanes(
    const TSearchProblem& problem, const double* inverseStep, const double* a, const double* c,
    int lanes, int step, double low, double high, double lowerSum, double bound) {
  v8d va, vc, inverseA, cSize, clampEnd;
  for (int l = 0; l < kSearchLanes; ++l) {
    const int from = l < lanes ? l : 0;
    va[l] = a[from];
    vc[l] = c[from];
    inverseA[l] = a[from] > 0 ? 1 / a[from] : INFINITY;
    cSize[l] = std::fabs(c[from]);
    // Up to q = -c / a alpha is 0 and the runoff is kept: rising there too.
    clampEnd[l] = c[from] < 0 ? (a[from] > 0 ? -c[from] / a[from] : INFINITY) : 0.0;
  }
  v8d lo = Splat(low), hi = Splat(high), sum = Splat(lowerSum);
  const v8d limit = Splat(bound);
  const v8d keep = Splat(1 - kSumSlack);
  v8l alive = sum * keep <= limit;
  const double* recharge = problem.recharge.data();
  const double* dts = problem.timeStep.data();
  const double* measured = problem.measured.data();
  for (int n = step + 1; n <= problem.count && Any(alive); ++n) {
    const v8d r = Splat(recharge[n]);
    const v8d dt = Splat(dts[n]);
    const v8d m = Splat(measured[n]);
    const v8d atLow = Next(lo, r, va, vc, dt);
    const v8d atHigh = Next(hi, r, va, vc, dt);
    v8d newHigh = Max(atLow, atHigh);
    const v8d peak = Max(r + inverseA * Splat(inverseStep[n]), clampEnd);
    if (Any(peak < hi)) newHigh = Max(newHigh, Next(Max(lo, Min(peak, hi)), r, va, vc, dt));
    const v8d scale = hi + r;
    const v8d slack = Splat(kRelativeSlack) * scale *
                          (Splat(1.0) + dt * (Splat(1.0) + va * hi + cSize)) +
                      Splat(kExpError) * scale + Splat(1e-300);
    lo = Max(Min(atLow, atHigh) - slack, Splat(0.0));
    hi = newHigh + slack;
    const v8d distance = Max(Max(lo - m, m - hi), Splat(0.0));
    sum += Min(distance * distance, Splat(kPenalty));
    alive &= sum * keep <= limit;
  }
  unsigned survivors = 0;
  for (int l = 0; l < lanes; ++l) {
    if (alive[l]) survivors |= 1u << l;
  }
  return survivors;
}
