// The lane walk, written once for every vector width. Included by
// AlphaSearchLanes.cpp inside one namespace per width, after that namespace
// has defined:
//   N, NM          the native vector and compare-mask types
//   kPart, kParts  lanes per native vector, native vectors per kSearchLanes
//   LANES_FN       the attributes of a helper (inline, for this instruction set)
//   NSplat NAdd NSub NMul NMin NMax NLoad NStore
//   NMulAdd(x, y, z)  x * y + z, fused where the width has it
//   NLe NLt        compares giving NM; NAnd; NBits (lane bits of an NM)
//   NSelect(m, x, y)  x where m is set, else y
//   NScale(p, t, magic)  p * 2^k, where t = magic + k holds the integer k
// and it defines ExpPack, WalkPack and WalkPointPacks for that width.
// Pragma once would be wrong here: it is meant to be included several times.

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
#define TEVLORA_LANES_BINARY(result, name, op, native)                \
  LANES_FN result name(V x, V y) {                                    \
    result v;                                                         \
    for (int k = 0; k < kParts; ++k) v.p[k] = native(x.p[k], y.p[k]); \
    return v;                                                         \
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
// x where m is set, else y.
LANES_FN V Select(M m, V x, V y) {
  V v;
  for (int k = 0; k < kParts; ++k) v.p[k] = NSelect(m.p[k], x.p[k], y.p[k]);
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
  // Estrin's scheme: four multiply-adds deep instead of twelve, as each
  // step of the walk waits for its exponentials.
  const V r2 = r * r;
  const V r4 = r2 * r2;
  const V r8 = r4 * r4;
  const V e0 = MulAdd(r, Splat(1.0), Splat(1.0));
  const V e1 = MulAdd(r, Splat(1.0 / 6.0), Splat(0.5));
  const V e2 = MulAdd(r, Splat(1.0 / 120.0), Splat(1.0 / 24.0));
  const V e3 = MulAdd(r, Splat(1.0 / 5040.0), Splat(1.0 / 720.0));
  const V e4 = MulAdd(r, Splat(1.0 / 362880.0), Splat(1.0 / 40320.0));
  const V e5 = MulAdd(r, Splat(1.0 / 39916800.0), Splat(1.0 / 3628800.0));
  const V f0 = MulAdd(r2, e1, e0);
  const V f1 = MulAdd(r2, e3, e2);
  const V f2 = MulAdd(r2, e5, e4);
  const V g0 = MulAdd(r4, f1, f0);
  const V g1 = MulAdd(r4, Splat(1.0 / 479001600.0), f2);
  const V p = MulAdd(r8, g1, g0);
  V result;
  for (int i = 0; i < kParts; ++i) result.p[i] = NScale(p.p[i], t.p[i], magic.p[i]);
  return result;
}

// Next runoff of each lane from runoff q.
LANES_FN V NextPack(V q, V r, V a, V c, V dt) {
  const V alpha = Max(MulAdd(a, q, c), Splat(0.0));
  return MulAdd(q - r, ExpPack(Splat(0.0) - alpha * dt), r);
}

// kSearchLanes trials walked side by side, each with the range [lo, hi] its
// runoff is in and a lower bound of its sum.
struct Pack {
  V a, c, inverseA, cSize, clampEnd;
  V lo, hi, sum;
  unsigned alive;  // bit l: lane l may still win
  int first;       // index of its first trial in the caller's arrays
};

LANES_FN void StartPack(Pack& pack, const double* a, const double* c, int lanes, double low,
                        double high, double lowerSum, double bound) {
  alignas(64) double la[kSearchLanes], lc[kSearchLanes], linverseA[kSearchLanes],
      lcSize[kSearchLanes], lclampEnd[kSearchLanes];
  for (int l = 0; l < kSearchLanes; ++l) {
    const int from = l < lanes ? l : 0;
    la[l] = a[from];
    lc[l] = c[from];
    linverseA[l] = a[from] > 0 ? 1 / a[from] : INFINITY;
    lcSize[l] = std::fabs(c[from]);
    // Up to q = -c / a alpha is 0 and the runoff is kept.
    lclampEnd[l] = c[from] < 0 ? (a[from] > 0 ? -c[from] / a[from] : INFINITY) : 0.0;
  }
  pack.a = Load(la);
  pack.c = Load(lc);
  pack.inverseA = Load(linverseA);
  pack.cSize = Load(lcSize);
  pack.clampEnd = Load(lclampEnd);
  pack.lo = Splat(low);
  pack.hi = Splat(high);
  pack.sum = Splat(lowerSum);
  const unsigned used = (1u << lanes) - 1;
  pack.alive = Bits(pack.sum * Splat(1 - kSumSlackLanes) <= Splat(bound)) & used;
}

// One record n for the lanes of a pack. For one trial the next runoff rises
// with the runoff up to a peak (the larger of r + 1 / (a dt) and -c / a,
// below which alpha is 0) and falls beyond it, so over [low, high] its least
// value is at an end and its greatest at the peak clamped into the range
// (two or three exponentials). Ranges that started as points stay points up
// to rounding, and `pointLike` walks them with one exponential.
LANES_FN void NextRange(const Pack& pack, double rn, const TSearchProblem& problem,
                        const double* inverseStep, int n, bool pointLike, V* nextLow, V* nextHigh) {
  const V r = Splat(rn);
  const V dt = Splat(problem.timeStep[n]);
  const V va = pack.a, vc = pack.c, inverseA = pack.inverseA, cSize = pack.cSize,
          clampEnd = pack.clampEnd;
  const V lo = pack.lo, hi = pack.hi;
  const unsigned alive = pack.alive;
  V newLow, newHigh;
  if (pointLike) {
    // Ranges of a few units in the last place: one exponential a step.
    // Where alpha is above 0 over [lo, hi], with f = exp(-alpha dt) at lo,
    // exp(-alpha dt) lies in [f (1 - a (hi - lo) dt), f], so the slope
    // f (1 - (q - r) a dt) of the next runoff lies within the products of
    // those ends, and the next runoff within its value at lo plus that
    // slope times [0, hi - lo]. Where alpha is 0 the runoff is kept.
    const V zero = Splat(0.0), one = Splat(1.0);
    const V alphaLow = MulAdd(va, lo, vc);
    const V f = ExpPack(zero - Max(alphaLow, zero) * dt);
    const V width = hi - lo;
    const V rise = va * dt;
    const V fLow = f * Max(one - rise * width, zero);
    const V gLow = one - (hi - r) * rise, gHigh = one - (lo - r) * rise;
    const V atLow = MulAdd(lo - r, f, r);
    newLow = atLow + Min(Min(fLow * gLow, f * gLow) * width, zero);
    newHigh = atLow + Max(Max(fLow * gHigh, f * gHigh) * width, zero);
    // Alpha 0 up to q0 = -c / a inside the range: [lo, q0] is kept, and
    // [q0, hi] goes as above from q0, where exp(-alpha dt) is 1.
    const M rising = alphaLow <= zero;
    if (Bits(rising) & alive) {
      const V q0 = Max(Min(clampEnd, hi), lo);
      const V upper = hi - q0;
      const V fLow0 = Max(one - rise * upper, zero);
      const V gLow0 = one - (hi - r) * rise, gHigh0 = one - (q0 - r) * rise;
      const V low0 = Min(lo, q0 + Min(Min(fLow0 * gLow0, gLow0) * upper, zero));
      const V high0 = Max(q0, q0 + Max(Max(fLow0 * gHigh0, gHigh0) * upper, zero));
      newLow = Select(rising, low0, newLow);
      newHigh = Select(rising, high0, newHigh);
    }
  } else {
    const V atLow = NextPack(lo, r, va, vc, dt);
    const V atHigh = NextPack(hi, r, va, vc, dt);
    newLow = Min(atLow, atHigh);
    newHigh = Max(atLow, atHigh);
    const V peak = Max(MulAdd(inverseA, Splat(inverseStep[n]), r), clampEnd);
    if (Bits(peak < hi) & alive) {
      newHigh = Max(newHigh, NextPack(Max(lo, Min(peak, hi)), r, va, vc, dt));
    }
  }
  // Each next runoff lies between its runoff and the recharge: that keeps
  // the slope bounds from running away where a range straddles the point
  // below which alpha is 0.
  newLow = Max(newLow, Min(lo, r));
  newHigh = Min(newHigh, Max(hi, r));
  // Rounding room, in proportion to the size of the values involved (all
  // of them at least 0 here).
  const V scale = hi + r;
  const V slack = MulAdd(Splat(kRelativeSlackLanes) * scale,
                         MulAdd(dt, Splat(1.0) + MulAdd(va, hi, cSize), Splat(1.0)),
                         MulAdd(Splat(kLaneExpError), scale, Splat(1e-300)));
  *nextLow = Max(newLow - slack, Splat(0.0));
  *nextHigh = newHigh + slack;
}

LANES_FN void AddResidual(Pack& pack, double measured, V limit) {
  const V m = Splat(measured);
  const V distance = Max(Max(pack.lo - m, m - pack.hi), Splat(0.0));
  pack.sum = pack.sum + Min(distance * distance, Splat(kPenaltyLanes));
  pack.alive &= Bits(pack.sum * Splat(1 - kSumSlackLanes) <= limit);
}

LANES_FN void StepPack(Pack& pack, const TSearchProblem& problem, const double* inverseStep, int n,
                       bool pointLike, V limit) {
  NextRange(pack, problem.recharge[n], problem, inverseStep, n, pointLike, &pack.lo, &pack.hi);
  AddResidual(pack, problem.measured[n], limit);
}

// Record n for every recharge from the problem's to rHigh: the next runoff
// rises with the recharge.
LANES_FN void StepPackRange(Pack& pack, double rHigh, const TSearchProblem& problem,
                            const double* inverseStep, int n, V limit) {
  V low, high, unused;
  NextRange(pack, problem.recharge[n], problem, inverseStep, n, true, &low, &unused);
  NextRange(pack, rHigh, problem, inverseStep, n, true, &unused, &high);
  pack.lo = low;
  pack.hi = high;
  AddResidual(pack, problem.measured[n], limit);
}

// Walks the lanes of a leaf box on from record step + 1 with the box's range,
// at most `records` records (all when 0). Returns the lanes still alive;
// `finished` tells whether they reached the last record.
LANES_FN unsigned WalkPack(const TSearchProblem& problem, const double* inverseStep,
                           const double* a, const double* c, int lanes, int step, double low,
                           double high, double lowerSum, double bound, int records,
                           bool* finished) {
  Pack pack;
  StartPack(pack, a, c, lanes, low, high, lowerSum, bound);
  const V limit = Splat(bound);
  const bool pointLike = step <= 1 && low == high;
  const int last = records > 0 ? std::min(problem.count, step + records) : problem.count;
  int n = step + 1;
  for (; n <= last && pack.alive; ++n) StepPack(pack, problem, inverseStep, n, pointLike, limit);
  *finished = n > problem.count || !pack.alive;
  return pack.alive;
}

// Walks up to kPointTrials trials from record 1, each from the first runoff,
// several packs at a time so that their exponentials overlap. Returns the
// trials that may still win at the end, as bits.
LANES_FN std::uint64_t WalkPointPacks(const TSearchProblem& problem, const double* inverseStep,
                                      const double* a, const double* c, int count, double bound,
                                      const double* rechargeHigh, int highUntil) {
  constexpr int kMostPacks = kPointTrials / kSearchLanes;
  Pack packs[kMostPacks];
  int live = 0;
  for (int first = 0; first < count; first += kSearchLanes) {
    Pack& pack = packs[live];
    StartPack(pack, a + first, c + first, std::min(kSearchLanes, count - first),
              problem.firstRunoff, problem.firstRunoff, 0.0, bound);
    pack.first = first;
    if (pack.alive) ++live;
  }
  const V limit = Splat(bound);
  for (int n = 2; n <= problem.count && live > 0; ++n) {
    if (rechargeHigh && n <= highUntil) {
      for (int k = 0; k < live; ++k) {
        StepPackRange(packs[k], rechargeHigh[n], problem, inverseStep, n, limit);
      }
    } else {
      for (int k = 0; k < live; ++k) StepPack(packs[k], problem, inverseStep, n, true, limit);
    }
    // Packs with no lane left give their place to the last one.
    for (int k = 0; k < live;) {
      if (packs[k].alive) {
        ++k;
      } else {
        packs[k] = packs[--live];
      }
    }
  }
  std::uint64_t survivors = 0;
  for (int k = 0; k < live; ++k) {
    survivors |= static_cast<std::uint64_t>(packs[k].alive) << packs[k].first;
  }
  return survivors;
}
