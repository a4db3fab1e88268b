// The lane walk, written once for every vector width. Included by
// AlphaSearchLanes.cpp inside one namespace per width, after that namespace
// has defined:
//   N, NM          the native vector and compare-mask types
//   kPart, kParts  lanes per native vector, native vectors per kSearchLanes
//   LANES_FN       the attributes of a helper (inline, for this instruction set)
//   NSplat NAdd NSub NMul NMin NMax NLoad NStore
//   NMulAdd(x, y, z)  x * y + z, fused where the width has it
//   NLe NLt        compares giving NM; NAnd; NBits (lane bits of an NM)
//   NScale(p, t, magic)  p * 2^k, where t = magic + k holds the integer k
// and it defines ExpPack and WalkPack for that width. Pragma once would be
// wrong here: it is meant to be included several times.

struct V {
  N p[kParts];
};
struct M {
  NM p[kParts];
};

LANES_FN V Splat(double x) {
  V v;
  for (int k = 0; k < kParts; ++k) v.p[k] = NSplat(x);
  return v;
}
LANES_FN V Load(const double* x) {
  V v;
  for (int k = 0; k < kParts; ++k) v.p[k] = NLoad(x + k * kPart);
  return v;
}
LANES_FN void Store(double* x, V v) {
  for (int k = 0; k < kParts; ++k) NStore(x + k * kPart, v.p[k]);
}
#define TEVLORA_LANES_BINARY(result, name, op, native)    \
  LANES_FN result name(V x, V y) {                        \
    result v;                                             \
    for (int k = 0; k < kParts; ++k) v.p[k] = native(x.p[k], y.p[k]); \
    return v;                                             \
  }
TEVLORA_LANES_BINARY(V, operator+, +, NAdd)
TEVLORA_LANES_BINARY(V, operator-, -, NSub)
TEVLORA_LANES_BINARY(V, operator*, *, NMul)
TEVLORA_LANES_BINARY(V, Min, min, NMin)
TEVLORA_LANES_BINARY(V, Max, max, NMax)
TEVLORA_LANES_BINARY(M, operator<=, <=, NLe)
TEVLORA_LANES_BINARY(M, operator<, <, NLt)
#undef TEVLORA_LANES_BINARY
LANES_FN V MulAdd(V x, V y, V z) {
  V v;
  for (int k = 0; k < kParts; ++k) v.p[k] = NMulAdd(x.p[k], y.p[k], z.p[k]);
  return v;
}
LANES_FN M operator&(M x, M y) {
  M v;
  for (int k = 0; k < kParts; ++k) v.p[k] = NAnd(x.p[k], y.p[k]);
  return v;
}
LANES_FN unsigned Bits(M m) {
  unsigned bits = 0;
  for (int k = 0; k < kParts; ++k) bits |= NBits(m.p[k]) << (k * kPart);
  return bits;
}

// exp(x) for x <= 0: x = k ln 2 + r with |r| <= ln 2 / 2 (a little more
// when the multiply-add rounds k the other way), exp(r) by its Taylor
// polynomial of degree 12 (truncation below 1e-15), scaled by 2^k. Below
// -700 the result stays at exp(-700), some 1e-304.
LANES_FN V ExpPack(V x) {
  const V magic = Splat(6755399441055744.0);  // 1.5 * 2^52: rounds to an integer
  x = Max(x, Splat(-700.0));
  const V t = MulAdd(x, Splat(1.4426950408889634), magic);
  const V k = t - magic;
  // ln 2 in two parts; k times the first is exact.
  const V r = (x - k * Splat(0.693145751953125)) - k * Splat(1.4286068203094172e-06);
  V p = Splat(1.0 / 479001600.0);
  p = MulAdd(p, r, Splat(1.0 / 39916800.0));
  p = MulAdd(p, r, Splat(1.0 / 3628800.0));
  p = MulAdd(p, r, Splat(1.0 / 362880.0));
  p = MulAdd(p, r, Splat(1.0 / 40320.0));
  p = MulAdd(p, r, Splat(1.0 / 5040.0));
  p = MulAdd(p, r, Splat(1.0 / 720.0));
  p = MulAdd(p, r, Splat(1.0 / 120.0));
  p = MulAdd(p, r, Splat(1.0 / 24.0));
  p = MulAdd(p, r, Splat(1.0 / 6.0));
  p = MulAdd(p, r, Splat(0.5));
  p = MulAdd(p, r, Splat(1.0));
  p = MulAdd(p, r, Splat(1.0));
  V result;
  for (int i = 0; i < kParts; ++i) result.p[i] = NScale(p.p[i], t.p[i], magic.p[i]);
  return result;
}

// Next runoff of each lane from runoff q.
LANES_FN V NextPack(V q, V r, V a, V c, V dt) {
  const V alpha = Max(MulAdd(a, q, c), Splat(0.0));
  return MulAdd(q - r, ExpPack(Splat(0.0) - alpha * dt), r);
}

// For one trial the next runoff rises with the runoff up to a peak (the
// larger of r + 1 / (a dt) and -c / a, below which alpha is 0) and falls
// beyond it, so over [low, high] its least value is at an end and its
// greatest at the peak clamped into the range. The lanes that are still
// alive with a range inherited from their box (wider than their own
// trajectories) after `restartAfter` records start again from record 1 as
// single points, which they remain up to rounding.
LANES_FN unsigned WalkPack(const TSearchProblem& problem, const double* inverseStep,
                           const double* a, const double* c, int lanes, int step, double low,
                           double high, double lowerSum, double bound, int restartAfter) {
  alignas(64) double la[kSearchLanes], lc[kSearchLanes], linverseA[kSearchLanes],
      lcSize[kSearchLanes], lclampEnd[kSearchLanes];
  for (int l = 0; l < kSearchLanes; ++l) {
    const int from = l < lanes ? l : 0;
    la[l] = a[from];
    lc[l] = c[from];
    linverseA[l] = a[from] > 0 ? 1 / a[from] : INFINITY;
    lcSize[l] = std::fabs(c[from]);
    // Up to q = -c / a alpha is 0 and the runoff is kept: rising there too.
    lclampEnd[l] = c[from] < 0 ? (a[from] > 0 ? -c[from] / a[from] : INFINITY) : 0.0;
  }
  const V va = Load(la), vc = Load(lc), inverseA = Load(linverseA), cSize = Load(lcSize),
          clampEnd = Load(lclampEnd);
  V lo = Splat(low), hi = Splat(high), sum = Splat(lowerSum);
  const V limit = Splat(bound);
  const V keep = Splat(1 - kSumSlackLanes);
  const unsigned used = (1u << lanes) - 1;
  unsigned alive = Bits(sum * keep <= limit) & used;
  const double* recharge = problem.recharge.data();
  const double* dts = problem.timeStep.data();
  const double* measured = problem.measured.data();
  int restartAt = step > 1 && restartAfter > 0 ? step + restartAfter : -1;
  for (int n = step + 1; n <= problem.count && alive; ++n) {
    if (n == restartAt) {
      lo = hi = Splat(problem.firstRunoff);
      sum = Splat(0.0);
      n = 2;
      restartAt = -1;
    }
    const V r = Splat(recharge[n]);
    const V dt = Splat(dts[n]);
    const V m = Splat(measured[n]);
    const V atLow = NextPack(lo, r, va, vc, dt);
    const V atHigh = NextPack(hi, r, va, vc, dt);
    V newHigh = Max(atLow, atHigh);
    const V peak = Max(MulAdd(inverseA, Splat(inverseStep[n]), r), clampEnd);
    if (Bits(peak < hi) & alive) {
      newHigh = Max(newHigh, NextPack(Max(lo, Min(peak, hi)), r, va, vc, dt));
    }
    // Rounding room, in proportion to the size of the values involved (all
    // of them at least 0 here).
    const V scale = hi + r;
    const V slack =
        MulAdd(Splat(kRelativeSlackLanes) * scale,
               MulAdd(dt, Splat(1.0) + MulAdd(va, hi, cSize), Splat(1.0)),
               MulAdd(Splat(kLaneExpError), scale, Splat(1e-300)));
    lo = Max(Min(atLow, atHigh) - slack, Splat(0.0));
    hi = newHigh + slack;
    const V distance = Max(Max(lo - m, m - hi), Splat(0.0));
    sum = sum + Min(distance * distance, Splat(kPenaltyLanes));
    alive &= Bits(sum * keep <= limit);
  }
  return alive;
}
