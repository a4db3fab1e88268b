// Walks a handful of trials side by side in the processor's vector unit, each
// with the range of runoff it may have, to find which of them can still win.
//
// One kernel per vector width (AVX-512, AVX2 with FMA and SSE2 on x86-64, NEON
// on 64-bit ARM, and plain code for any processor), picked at run time from
// what the processor has. The environment variable TEVLORA_SEARCH_PATH
// (avx512, avx2, sse2, neon or plain) forces a narrower one, for measuring and
// testing the paths a machine does not pick by itself.
#pragma once

#include <cstdint>

#include "AlphaSearch.h"

inline constexpr int kSearchLanes = 8;
// Trials walked together from record 1 by WalkPointTrials.
inline constexpr int kPointTrials = 64;

enum class TSearchPath { Plain, Sse2, Avx2, Avx512, Neon };
// Every path, whether or not this build and processor have it.
inline constexpr TSearchPath kSearchPaths[] = {TSearchPath::Plain, TSearchPath::Sse2,
                                               TSearchPath::Avx2, TSearchPath::Avx512,
                                               TSearchPath::Neon};

const char* SearchPathName(TSearchPath path);
// Whether this processor (and this build) can run the path.
bool SearchPathAvailable(TSearchPath path);
// The path the search uses: the one set last by UseSearchPath, else the one
// TEVLORA_SEARCH_PATH names (when available), else the widest available.
TSearchPath ActiveSearchPath();
// Makes the search use `path` from now on; false (and no change) when the
// processor lacks it.
bool UseSearchPath(TSearchPath path);

// The lanes' exponential is off by less than this fraction of exp(x) for
// -700 <= x <= 0; below -700 it gives exp(-700).
inline constexpr double kLaneExpError = 1e-14;

// exp of kSearchLanes values x <= 0 on the active path. Exposed for the tests.
void ExpLanes(const double* x, double* result);

// Walks the trials (a[l], c[l]), l < lanes <= kSearchLanes, from record
// step + 1 on, starting from runoff in [low, high] and a lower sum of
// lowerSum, while a lower bound of their sums stays within `bound`. Returns
// the lanes whose lower bound never passed it as bits (bit l for lane l).
// inverseStep[n] is 1 / (T(n) - T(n-1)), infinite for a step of 0.
// Walks at most `records` records (all when 0); *finished, when given, tells
// whether the lanes returned reached the last record (or none is left).
// Requires recharge >= 0 and low >= 0: the runoff then never goes below 0.
unsigned WalkLanes(const TSearchProblem& problem, const double* inverseStep, const double* a,
                   const double* c, int lanes, int step, double low, double high, double lowerSum,
                   double bound, int records = 0, bool* finished = nullptr);

// Walks the trials (a[t], c[t]), t < count <= kPointTrials, from record 1,
// each from the first runoff, as long as a lower bound of their sums stays
// within `bound`. Returns the trials that may still win, as bits.
// With `singlePrecision` (allowed where SinglePrecisionApplies) the walk is
// done in floats, with rounding room to match: the same trials or a few more
// survive, far sooner. In floats a walk can also stand for every problem
// whose recharge lies, record by record, between the problem's and
// `rechargeHigh` (indexed like it), which differ up to record highUntil at
// most: the trials that may still win in any of them survive.
std::uint64_t WalkPointTrials(const TSearchProblem& problem, const double* inverseStep,
                              const double* a, const double* c, int count, double bound,
                              bool singlePrecision = false, const double* rechargeHigh = nullptr,
                              int highUntil = 0);

// A leaf of the box walk: up to kSearchLanes trials whose runoff after
// record `step` lies in [low, high], with lowerSum a lower bound of their
// sums up to there.
struct TLeafBox {
  double a[kSearchLanes], c[kSearchLanes];
  int lanes = 0;
  int step = 1;
  double low = 0, high = 0, lowerSum = 0;
};
inline constexpr int kLeafBoxes = 8;

// Walks up to kLeafBoxes leaves on in floats from where the box walk left
// them, each with its box's range, to the last record (where
// SinglePrecisionApplies; `rechargeHigh` as for WalkPointTrials). alive[k]
// gets the lanes of leaf k that may still win, as bits.
void WalkLeafBoxes(const TSearchProblem& problem, const TLeafBox* leaves, int count, double bound,
                   const double* rechargeHigh, int highUntil, unsigned* alive);

// Whether every value of the problem is small enough for the single-precision
// walk (at most 1e15, and finite).
bool SinglePrecisionApplies(const TSearchProblem& problem);

// The single-precision walk's exponential is off by less than this fraction
// of exp(x) for -80 <= x <= 0; below -80 it gives exp(-80).
inline constexpr double kFloatExpError = 5e-7;

// exp of kSearchLanes floats x <= 0 on the active path. Exposed for the tests.
void ExpLanesSingle(const float* x, float* result);
