// The walk of trials from record 1 as points (WalkPointTrials) in single
// precision: twice the lanes a vector, and a shorter exponential. Included by
// AlphaSearchLanes.cpp inside the namespace of a width, after that namespace
// has defined:
//   FN, FNM         the native vector of floats and its compare-mask type
//   kFPart, kFParts floats per native vector, native vectors per pack
//                   (kFPart * kFParts lanes: kSearchLanes, or 16 on AVX-512)
//   LANES_FN        the attributes of a helper
//   FSplat FAdd FSub FMul FMin FMax FLoad FStore FLe FSelect FBits
//   FMulAdd(x, y, z)  x * y + z, fused where the width has it
//   FScale(p, t, magic)  p * 2^k, where t = magic + k holds the integer k
//
// Every float operation is off by at most u = 2^-24 (6e-8) of its result,
// and the inputs (runoff, recharge, step, A, C, measured runoff) by as much
// again. In one step the next runoff is off by a few u of the runoff and the
// recharge (their sum is the "scale"), the exponential by at most 8 u, and
// its argument -alpha dt by u (a hi + |c|) dt, which moves the runoff by as
// much of the scale. So each step widens the range by kFloatSlack of the
// scale plus kFloatAlphaSlack of it times (a hi + |c|) dt: some five times
// those errors. Where alpha is near 0 the ranges hardly contract, and a room
// much larger than this would let them drift wide over a thousand records.
// A float sum of N terms is off by less than N u of it: the bound is taken
// twice that much larger. Trials that survive are walked again in doubles and
// confirmed by their exact sums.
// Pragma once would be wrong here: it is meant to be included several times.

constexpr int kFLanes = kFPart * kFParts;
static_assert(kPointTrials % kFLanes == 0 && kFLanes <= 16);

struct VF {
  FN p[kFParts];
};
struct MF {
  FNM p[kFParts];
};

LANES_FN VF SplatF(float x) {
  VF v;
  for (int k = 0; k < kFParts; ++k) v.p[k] = FSplat(x);
  return v;
}
LANES_FN VF LoadF(const float* x) {
  VF v;
  for (int k = 0; k < kFParts; ++k) v.p[k] = FLoad(x + k * kFPart);
  return v;
}
LANES_FN void StoreF(float* x, VF v) {
  for (int k = 0; k < kFParts; ++k) FStore(x + k * kFPart, v.p[k]);
}
#define TEVLORA_FLOAT_BINARY(result, name, native)                     \
  LANES_FN result name(VF x, VF y) {                                   \
    result v;                                                          \
    for (int k = 0; k < kFParts; ++k) v.p[k] = native(x.p[k], y.p[k]); \
    return v;                                                          \
  }
TEVLORA_FLOAT_BINARY(VF, operator+, FAdd)
TEVLORA_FLOAT_BINARY(VF, operator-, FSub)
TEVLORA_FLOAT_BINARY(VF, operator*, FMul)
TEVLORA_FLOAT_BINARY(VF, Min, FMin)
TEVLORA_FLOAT_BINARY(VF, Max, FMax)
TEVLORA_FLOAT_BINARY(MF, operator<=, FLe)
#undef TEVLORA_FLOAT_BINARY
LANES_FN VF MulAdd(VF x, VF y, VF z) {
  VF v;
  for (int k = 0; k < kFParts; ++k) v.p[k] = FMulAdd(x.p[k], y.p[k], z.p[k]);
  return v;
}
LANES_FN VF Select(MF m, VF x, VF y) {
  VF v;
  for (int k = 0; k < kFParts; ++k) v.p[k] = FSelect(m.p[k], x.p[k], y.p[k]);
  return v;
}
LANES_FN unsigned Bits(MF m) {
  unsigned bits = 0;
  for (int k = 0; k < kFParts; ++k) bits |= FBits(m.p[k]) << (k * kFPart);
  return bits;
}

// exp(x) for x <= 0 in single precision: x = k ln 2 + r with |r| <= ln 2 / 2
// (a little more when k rounds the other way), exp(r) by its Taylor
// polynomial of degree 7 (truncation below 1e-8), scaled by 2^k. Below -80
// the result stays at exp(-80), some 2e-35. Off by less than kFloatExpError
// (8 u) of exp(x).
LANES_FN VF ExpPackF(VF x) {
  const VF magic = SplatF(12582912.0f);  // 1.5 * 2^23: rounds to an integer
  x = Max(x, SplatF(-80.0f));
  const VF t = MulAdd(x, SplatF(1.44269504f), magic);
  const VF k = t - magic;
  // ln 2 in two parts; k times the first is exact.
  const VF r = (x - k * SplatF(0.693145751953125f)) - k * SplatF(1.42860677e-06f);
  const VF r2 = r * r;
  const VF r4 = r2 * r2;
  const VF e0 = MulAdd(r, SplatF(1.0f), SplatF(1.0f));
  const VF e1 = MulAdd(r, SplatF(1.0f / 6.0f), SplatF(0.5f));
  const VF e2 = MulAdd(r, SplatF(1.0f / 120.0f), SplatF(1.0f / 24.0f));
  const VF e3 = MulAdd(r, SplatF(1.0f / 5040.0f), SplatF(1.0f / 720.0f));
  const VF p = MulAdd(r4, MulAdd(r2, e3, e2), MulAdd(r2, e1, e0));
  VF result;
  for (int i = 0; i < kFParts; ++i) result.p[i] = FScale(p.p[i], t.p[i], magic.p[i]);
  return result;
}

// kFLanes trials walked side by side as points, each with the range
// [lo, hi] its runoff is in and a lower bound of its sum, all in floats.
struct PackF {
  VF a, c, cSize, clampEnd;
  VF lo, hi, sum;
  unsigned alive;  // bit l: lane l may still win
  int first;       // index of its first trial in the caller's arrays
};

LANES_FN void StartPackF(PackF& pack, const double* a, const double* c, int lanes, double q1) {
  alignas(64) float la[kFLanes], lc[kFLanes], lcSize[kFLanes], lclampEnd[kFLanes];
  for (int l = 0; l < kFLanes; ++l) {
    const int from = l < lanes ? l : 0;
    la[l] = static_cast<float>(a[from]);
    lc[l] = static_cast<float>(c[from]);
    lcSize[l] = static_cast<float>(std::fabs(c[from]));
    // Up to q = -c / a alpha is 0 and the runoff is kept.
    const double clampEnd = c[from] < 0 ? (a[from] > 0 ? -c[from] / a[from] : kFloatHuge) : 0.0;
    lclampEnd[l] = static_cast<float>(std::min(clampEnd, kFloatHuge));
  }
  pack.a = LoadF(la);
  pack.c = LoadF(lc);
  pack.cSize = LoadF(lcSize);
  pack.clampEnd = LoadF(lclampEnd);
  // The first runoff rounded to floats on either side.
  pack.lo = SplatF(static_cast<float>(q1 * (1 - 4 * kFloatRounding)));
  pack.hi = SplatF(static_cast<float>(q1 * (1 + 4 * kFloatRounding)));
  pack.sum = SplatF(0.0f);
  pack.alive = (1u << lanes) - 1;
}

// The next range of runoff of the lanes of a pack for recharge rf, as the
// double walk's ranges that started as points (see StepPack), in floats.
LANES_FN void NextRangeF(const PackF& pack, float rf, float dtf, VF* nextLow, VF* nextHigh) {
  const VF r = SplatF(rf), dt = SplatF(dtf);
  const VF zero = SplatF(0.0f), one = SplatF(1.0f);
  const VF va = pack.a, vc = pack.c, lo = pack.lo, hi = pack.hi;
  const VF alphaLow = MulAdd(va, lo, vc);
  const VF f = ExpPackF(zero - Max(alphaLow, zero) * dt);
  const VF width = hi - lo;
  const VF rise = va * dt;
  const VF fLow = f * Max(one - rise * width, zero);
  const VF gLow = one - (hi - r) * rise, gHigh = one - (lo - r) * rise;
  const VF atLow = MulAdd(lo - r, f, r);
  const VF scale = hi + r;
  const VF slack = MulAdd(
      scale, MulAdd(dt * MulAdd(va, hi, pack.cSize), SplatF(kFloatAlphaSlack), SplatF(kFloatSlack)),
      SplatF(kFloatTiny));
  // Computed ends get the rounding room; ends that are kept or bounded as
  // they stand move by a unit or two in the last place only. Where alpha is
  // near 0 the ranges hardly contract, and room added to a kept end every
  // record would let them drift wide over a thousand records.
  VF newLow = atLow + Min(Min(fLow * gLow, f * gLow) * width, zero) - slack;
  VF newHigh = atLow + Max(Max(fLow * gHigh, f * gHigh) * width, zero) + slack;
  const MF rising = alphaLow <= zero;
  if (Bits(rising) & pack.alive) {
    // [lo, q0] is kept; [q0, hi] moves as above from q0, where
    // exp(-alpha dt) is 1.
    const VF q0 = Max(Min(pack.clampEnd, hi), lo);
    const VF upper = hi - q0;
    const VF fLow0 = Max(one - rise * upper, zero);
    const VF gLow0 = one - (hi - r) * rise, gHigh0 = one - (q0 - r) * rise;
    const VF low0 =
        Min(lo * SplatF(kFloatDown), q0 + Min(Min(fLow0 * gLow0, gLow0) * upper, zero) - slack);
    const VF high0 =
        Max(q0 * SplatF(kFloatUp), q0 + Max(Max(fLow0 * gHigh0, gHigh0) * upper, zero) + slack);
    newLow = Select(rising, low0, newLow);
    newHigh = Select(rising, high0, newHigh);
  }
  // Each next runoff lies between its runoff and the recharge.
  *nextLow = Max(Max(newLow, Min(lo, r) * SplatF(kFloatDown)), zero);
  *nextHigh = Min(newHigh, Max(hi, r) * SplatF(kFloatUp));
}

// Adds the record's least squared residual to the lanes' sums and drops the
// lanes whose sum passes the limit.
LANES_FN void AddResidualF(PackF& pack, float mf, float mSize, VF limit, VF sumShare) {
  const VF m = SplatF(mf), zero = SplatF(0.0f);
  // The distance to the measured runoff less its rounding, and no more than
  // the root of the penalty.
  const VF distance = Min(
      Max(Max(pack.lo - m, m - pack.hi) - SplatF(kFloatMeasuredSlack) * (SplatF(mSize) + pack.hi),
          zero),
      SplatF(kFloatPenaltyRoot));
  pack.sum = MulAdd(distance, distance, pack.sum);
  pack.alive &= Bits(pack.sum * sumShare <= limit);
}

// One record for the lanes of a pack.
LANES_FN void StepPackF(PackF& pack, float rf, float dtf, float mf, float mSize, VF limit,
                        VF sumShare) {
  NextRangeF(pack, rf, dtf, &pack.lo, &pack.hi);
  AddResidualF(pack, mf, mSize, limit, sumShare);
}

// One record for every recharge between rLow and rHigh: the next runoff
// rises with the recharge, so the low end is the low end with rLow and the
// high end the high end with rHigh.
LANES_FN void StepPackRangeF(PackF& pack, float rLow, float rHigh, float dtf, float mf, float mSize,
                             VF limit, VF sumShare) {
  VF low, high, unused;
  NextRangeF(pack, rLow, dtf, &low, &unused);
  NextRangeF(pack, rHigh, dtf, &unused, &high);
  pack.lo = low;
  pack.hi = high;
  AddResidualF(pack, mf, mSize, limit, sumShare);
}

// Walks up to kPointTrials trials from record 1, each from the first runoff,
// several packs at a time so that their exponentials overlap. Returns the
// trials that may still win at the end, as bits.
// With `rechargeHigh`, for every recharge series between the problem's and
// that one, which differ up to record highUntil at most.
LANES_FN std::uint64_t WalkPointPacksF(const TSearchProblem& problem, const double* a,
                                       const double* c, int count, double bound,
                                       const double* rechargeHigh, int highUntil) {
  constexpr int kMostPacks = kPointTrials / kFLanes;
  PackF packs[kMostPacks];
  int live = 0;
  for (int first = 0; first < count; first += kFLanes) {
    PackF& pack = packs[live];
    StartPackF(pack, a + first, c + first, std::min(kFLanes, count - first), problem.firstRunoff);
    pack.first = first;
    ++live;
  }
  const VF limit = SplatF(static_cast<float>(std::min(bound, 1e30)));
  const VF sumShare = SplatF(static_cast<float>(1 - 2 * (problem.count + 8) * kFloatRounding));
  for (int n = 2; n <= problem.count && live > 0; ++n) {
    const float r = static_cast<float>(problem.recharge[n]);
    const float dt = static_cast<float>(problem.timeStep[n]);
    const double m = problem.measured[n];
    const float mf = static_cast<float>(m), mSize = static_cast<float>(std::fabs(m));
    if (rechargeHigh && n <= highUntil) {
      const float rHigh = static_cast<float>(rechargeHigh[n]);
      for (int k = 0; k < live; ++k) {
        StepPackRangeF(packs[k], r, rHigh, dt, mf, mSize, limit, sumShare);
      }
    } else {
      for (int k = 0; k < live; ++k) StepPackF(packs[k], r, dt, mf, mSize, limit, sumShare);
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

// The next range for recharge rf of a range too wide for the slope bounds
// of NextRangeF: for one trial the next runoff rises with the runoff up to
// a peak (the larger of r + 1 / (a dt) and -c / a, below which alpha is 0)
// and falls beyond it, so its least value over [lo, hi] is at an end and its
// greatest at the peak clamped into the range. Each of those is off by no
// more than the one value NextRangeF starts from.
LANES_FN VF NextRunoffF(VF q, VF r, VF a, VF c, VF dt) {
  const VF zero = SplatF(0.0f);
  return MulAdd(q - r, ExpPackF(zero - Max(MulAdd(a, q, c), zero) * dt), r);
}
LANES_FN void NextWideRangeF(const PackF& pack, float rf, float dtf, VF inverseA, VF* nextLow,
                             VF* nextHigh) {
  const VF r = SplatF(rf), dt = SplatF(dtf);
  const VF zero = SplatF(0.0f);
  const VF va = pack.a, vc = pack.c, lo = pack.lo, hi = pack.hi;
  const VF atLow = NextRunoffF(lo, r, va, vc, dt);
  const VF atHigh = NextRunoffF(hi, r, va, vc, dt);
  VF newLow = Min(atLow, atHigh), newHigh = Max(atLow, atHigh);
  const VF peak = Max(MulAdd(inverseA, SplatF(1.0f / dtf), r), pack.clampEnd);
  const MF inside = peak <= hi;
  if (Bits(inside) & pack.alive) {
    newHigh = Max(newHigh, NextRunoffF(Max(lo, Min(peak, hi)), r, va, vc, dt));
  }
  const VF slack =
      MulAdd(hi + r,
             MulAdd(dt * MulAdd(va, hi, pack.cSize), SplatF(kFloatAlphaSlack), SplatF(kFloatSlack)),
             SplatF(kFloatTiny));
  newLow = Max(newLow - slack, Min(lo, r) * SplatF(kFloatDown));
  newHigh = Min(newHigh + slack, Max(hi, r) * SplatF(kFloatUp));
  *nextLow = Max(newLow, zero);
  *nextHigh = newHigh;
}

LANES_FN void StepWidePackF(PackF& pack, float rLow, float rHigh, float dtf, float mf, float mSize,
                            VF inverseA, VF limit, VF sumShare) {
  VF low, high, unused;
  NextWideRangeF(pack, rLow, dtf, inverseA, &low, &high);
  // The next runoff rises with the recharge.
  if (rHigh != rLow) NextWideRangeF(pack, rHigh, dtf, inverseA, &unused, &high);
  pack.lo = low;
  pack.hi = high;
  AddResidualF(pack, mf, mSize, limit, sumShare);
}

// A pack of leaf lanes from their values: lanes up to kFLanes are filled
// with the first one's.
LANES_FN void StartLeafPackF(PackF& pack, VF& inverseA, const double* a, const double* c, float* lo,
                             float* hi, float* sum, float* inverse, int lanes, int step) {
  StartPackF(pack, a, c, lanes, 0.0);
  for (int l = lanes; l < kFLanes; ++l) {
    lo[l] = lo[0];
    hi[l] = hi[0];
    sum[l] = sum[0];
    inverse[l] = inverse[0];
  }
  pack.lo = LoadF(lo);
  pack.hi = LoadF(hi);
  pack.sum = LoadF(sum);
  pack.first = step;
  inverseA = LoadF(inverse);
}

// Walks leaf boxes on from where the box walk left them, each lane from its
// box's range and lower sum. The lanes of leaves that the box walk left at
// the same record share packs, which join the walk at the record after it.
// alive[k] gets the lanes of leaf k whose lower bound never passed `bound`
// up to the last record.
LANES_FN void WalkLeafPacksF(const TSearchProblem& problem, const TLeafBox* leaves, int count,
                             double bound, const double* rechargeHigh, int highUntil,
                             unsigned* alive) {
  // The leaves in the order in which they join.
  int order[kLeafBoxes];
  for (int k = 0; k < count; ++k) {
    order[k] = k;
    alive[k] = 0;
    for (int m = k; m > 0 && leaves[order[m]].step < leaves[order[m - 1]].step; --m) {
      std::swap(order[m], order[m - 1]);
    }
  }
  // Their lanes in packs: a new pack where the record changes or a pack is
  // full. Each lane keeps its leaf and its place there.
  constexpr int kMostPacks = kLeafBoxes * kSearchLanes / kFLanes + kLeafBoxes;
  PackF packs[kMostPacks];
  VF inverseA[kMostPacks];
  int leafOf[kMostPacks][kFLanes], laneOf[kMostPacks][kFLanes];
  int packCount = 0;
  {
    alignas(64) double a[kFLanes], c[kFLanes];
    alignas(64) float lo[kFLanes], hi[kFLanes], sum[kFLanes], inverse[kFLanes];
    int lanes = 0, step = -1;
    for (int k = 0; k <= count; ++k) {
      // The pack so far is closed where the record changes, and at the end.
      if (lanes > 0 && (k == count || leaves[order[k]].step != step)) {
        StartLeafPackF(packs[packCount], inverseA[packCount], a, c, lo, hi, sum, inverse, lanes,
                       step);
        ++packCount;
        lanes = 0;
      }
      if (k == count) break;
      const TLeafBox& leaf = leaves[order[k]];
      step = leaf.step;
      for (int l = 0; l < leaf.lanes; ++l) {
        if (lanes == kFLanes) {
          StartLeafPackF(packs[packCount], inverseA[packCount], a, c, lo, hi, sum, inverse, lanes,
                         step);
          ++packCount;
          lanes = 0;
        }
        a[lanes] = leaf.a[l];
        c[lanes] = leaf.c[l];
        // The box's range widened to floats, and its lower sum rounded down.
        lo[lanes] = static_cast<float>(leaf.low * (1 - 4 * kFloatRounding));
        hi[lanes] = static_cast<float>(leaf.high * (1 + 4 * kFloatRounding));
        sum[lanes] = static_cast<float>(leaf.lowerSum * (1 - 4 * kFloatRounding));
        inverse[lanes] = leaf.a[l] > 0 ? static_cast<float>(1 / leaf.a[l]) : kFloatHugeF;
        leafOf[packCount][lanes] = order[k];
        laneOf[packCount][lanes] = l;
        ++lanes;
      }
    }
  }
  // The packs are in the order in which they join; `live` of them, from
  // `first` on, are walking.
  int walking[kMostPacks];
  int joined = 0, live = 0;
  const VF limit = SplatF(static_cast<float>(std::min(bound, 1e30)));
  const VF sumShare = SplatF(static_cast<float>(1 - 2 * (problem.count + 8) * kFloatRounding));
  for (int n = 2; n <= problem.count && (live > 0 || joined < packCount); ++n) {
    while (joined < packCount && packs[joined].first < n) walking[live++] = joined++;
    if (live == 0) continue;
    const float r = static_cast<float>(problem.recharge[n]);
    const float dt = static_cast<float>(problem.timeStep[n]);
    const double m = problem.measured[n];
    const float mf = static_cast<float>(m), mSize = static_cast<float>(std::fabs(m));
    const float rHigh = rechargeHigh && n <= highUntil ? static_cast<float>(rechargeHigh[n]) : r;
    for (int k = 0; k < live; ++k) {
      const int p = walking[k];
      StepWidePackF(packs[p], r, rHigh, dt, mf, mSize, inverseA[p], limit, sumShare);
    }
    for (int k = 0; k < live;) {
      if (packs[walking[k]].alive) {
        ++k;
      } else {
        walking[k] = walking[--live];
      }
    }
  }
  // Packs that never joined (their boxes had reached the last record) keep
  // all their lanes.
  for (int p = 0; p < packCount; ++p) {
    for (int l = 0; l < kFLanes; ++l) {
      if (packs[p].alive & (1u << l)) alive[leafOf[p][l]] |= 1u << laneOf[p][l];
    }
  }
}
