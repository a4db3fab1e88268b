#include "FitMap.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <thread>

#include "TextFile.h"
#include "UDMTevlora.h"
#include "URainRun.h"

#ifdef __FAST_MATH__
#error "The fit map's exact sums and screening room assume IEEE arithmetic."
#endif

namespace {

// Record steps (trials times records) that two cores walk in about a
// second, measured on the 1500-hour record.
constexpr double kStepsPerSecond = 2.0e8;

// The zoomed window reaches at least this many trials to each side of the
// optimum at first, and grows by at least this many where it must.
constexpr int kZoomLeast = 20;

// A residual of this size or more costs the search its fixed penalty.
constexpr double kPenaltyResidual = 1000;

int ThreadCount(int threads) {
  if (threads > 0) return threads;
  return std::max(1u, std::thread::hardware_concurrency());
}

// Every step-th index of first .. last that is congruent to `through`.
std::vector<int> Axis(int first, int last, int step, int through) {
  std::vector<int> indices;
  int start = first + ((through - first) % step + step) % step;
  for (int k = start; k <= last; k += step) indices.push_back(k);
  return indices;
}

double SumOfDeviations(const TSearchProblem& problem) {
  double total = 0;
  for (int n = 1; n <= problem.count; ++n) total += problem.measured[n];
  const double mean = total / problem.count;
  double deviation = 0;
  for (int n = 1; n <= problem.count; ++n) {
    const double d = problem.measured[n] - mean;
    deviation += d * d;
  }
  return deviation;
}

// The optimum's reconstruction, routed as the run routes it for the results
// file, without the penalty.
void FitOfOptimum(const TSearchProblem& problem, TFitMap& map) {
  const double a = TrialAOf(map.Optimum.outer), c = TrialCOf(map.Optimum.inner);
  std::vector<double> residuals;
  double q = problem.firstRunoff, sum = 0;
  int penalties = 0;
  for (int n = 2; n <= problem.count; ++n) {
    double alpha = a * q + c;
    if (alpha < 0) alpha = 0;
    const double f = std::exp(-alpha * problem.timeStep[n]);
    const double kept = q * f;
    const double added = problem.recharge[n] * (1 - f);
    q = kept + added;
    const double d = problem.measured[n] - q;
    sum += d * d;
    if (std::fabs(d) >= kPenaltyResidual) ++penalties;
    residuals.push_back(d);
  }
  map.ResidualSum = sum;
  map.Penalties = penalties;
  map.Lag1 = std::numeric_limits<double>::quiet_NaN();
  const std::size_t m = residuals.size();
  if (m < 3) return;
  double mean = 0;
  for (double d : residuals) mean += d;
  mean /= static_cast<double>(m);
  double spread = 0, lagged = 0;
  for (std::size_t k = 0; k < m; ++k) {
    spread += (residuals[k] - mean) * (residuals[k] - mean);
    if (k > 0) lagged += (residuals[k] - mean) * (residuals[k - 1] - mean);
  }
  if (spread > 0) map.Lag1 = lagged / spread;
}

// ---- Exact sums, several trials side by side ----

constexpr double kPenalty = 100000.0;

inline double Term(double d) {
  return std::fabs(d) < kPenaltyResidual ? d * d : kPenalty;
}

// Trials summed side by side: their exponentials, each waiting on the one
// before it of its own trial, overlap.
constexpr int kSideBySide = 8;

// The exact sums of `count` <= kSideBySide trials of one A: for each the
// operations of EvaluateTrial in its order, so the same bits. Once alpha is 0
// a trial keeps its runoff, as there. When every one of them has passed
// `beyond`, they stop with their sums so far (above `beyond` too); returns
// whether they were summed to the end.
bool ExactSums(const TSearchProblem& problem, double a, const double* c, int count, double* sums,
               double beyond = std::numeric_limits<double>::infinity()) {
  double cs[kSideBySide], q[kSideBySide], total[kSideBySide];
  for (int t = 0; t < kSideBySide; ++t) {
    cs[t] = c[t < count ? t : 0];
    q[t] = problem.firstRunoff;
    total[t] = 0;
  }
  const double* dt = problem.timeStep.data();
  const double* recharge = problem.recharge.data();
  const double* measured = problem.measured.data();
  for (int n = 2; n <= problem.count; ++n) {
    const double step = dt[n], r = recharge[n], m = measured[n];
    for (int t = 0; t < kSideBySide; ++t) {
      double alpha = a * q[t] + cs[t];
      if (alpha < 0) alpha = 0;
      if (alpha != 0) {
        const double f = std::exp(-alpha * step);
        const double kept = q[t] * f;
        const double added = r * (1 - f);
        q[t] = kept + added;
      }
      total[t] += Term(m - q[t]);
    }
    if (n % kSideBySide == 0 && beyond < std::numeric_limits<double>::infinity()) {
      bool past = true;
      for (int t = 0; t < kSideBySide; ++t) past = past && total[t] > beyond;
      if (past && n < problem.count) {
        for (int t = 0; t < count; ++t) sums[t] = total[t];
        return false;
      }
    }
  }
  for (int t = 0; t < count; ++t) sums[t] = total[t];
  return true;
}

// ---- Screening in single precision ----
//
// Each trial is routed in floats as a point qc with a radius e such that the
// runoff of the exact routing lies within [qc - e, qc + e] at every record.
// One record maps q to g(q) = r + (q - r) exp(-alpha(q) dt), alpha(q) =
// max(a q + c, 0). The exact routing's next runoff differs from g of its
// runoff by a few units in the last place of a double; the float one from g
// of qc by the rounding of the float operations: of the runoff and recharge
// (their sum S) some 12 units u = 2^-24, the exponential's argument up to
// 6 u (a q + |c|) dt of S. kScreenSlack and kScreenAlphaSlack take several
// times those. The exact runoff's distance from g(qc) is at most L e, L the
// greatest slope of g over the range: g' = exp(-alpha dt) (1 - a dt (q - r))
// where alpha > 0, 1 where alpha is 0. exp(-alpha dt) is greatest at the low
// end, at most exp(a dt e) times its value at qc. Where alpha is 0 over the
// whole range (with room), the exact routing keeps its runoff for good, and
// so does the screening, radius and all.
//
// From the range follows a range of each squared residual; their float sums
// are moved to doubles every kScreenFlush records, and the ends widened by
// the rounding of those sums (kScreenSumRoom).

constexpr float kScreenSlack = 2e-6f;
constexpr float kScreenAlphaSlack = 5e-7f;
// The measured runoff rounded to a float, and the residual's rounding.
constexpr float kScreenMeasuredSlack = 3e-7f;
// Where a float alpha is this share of a q + |c| away from 0, the exact
// alpha has the same sign (with room for its rounding of A and C).
constexpr float kScreenAlphaRoom = 1e-6f;
// Room for the rounding of the slope and of the new radius.
constexpr float kScreenSlopeRoom = 1.00001f;
constexpr float kScreenRadiusRoom = 1.000001f;
constexpr float kScreenTiny = 1e-30f;
// No runoff of the data (at most 1e15) is this far from another; a radius
// kept below it stays true and never becomes infinite.
constexpr float kScreenHugeRadius = 1e30f;
constexpr int kScreenFlush = 16;
constexpr double kScreenSumRoom = 1e-5;

// Trials a screened chunk holds: all of one A.
constexpr int kScreenWidth = 8;
constexpr int kScreenVectors = 4;
constexpr int kScreenChunk = kScreenWidth * kScreenVectors;

typedef float TFloats __attribute__((vector_size(kScreenWidth * sizeof(float))));
typedef std::int32_t TInts __attribute__((vector_size(kScreenWidth * sizeof(float))));

// Vectors pass between inlined helpers only, never across a call.
#pragma GCC diagnostic ignored "-Wpsabi"
#define SCREEN_FN [[gnu::always_inline]] inline

SCREEN_FN TFloats Splat(float x) {
  return TFloats{} + x;
}
SCREEN_FN TFloats Max(const TFloats& x, const TFloats& y) {
  return x > y ? x : y;  // y where x is NaN
}
SCREEN_FN TFloats Min(const TFloats& x, const TFloats& y) {
  return x < y ? x : y;  // y where x is NaN
}
SCREEN_FN TFloats Abs(const TFloats& x) {
  return x < 0 ? -x : x;
}

// exp(x) for x <= 0: x = k ln 2 + r, exp(r) by its Taylor polynomial of
// degree 7, scaled by 2^k. Below -80 it stays at exp(-80). Off by less than
// 8 u of exp(x) (the lane walk's single-precision exponential, the same way).
SCREEN_FN TFloats ScreenExp(const TFloats& argument) {
  const TFloats magic = Splat(12582912.0f);  // 1.5 * 2^23: rounds to an integer
  const TFloats x = Max(argument, Splat(-80.0f));
  const TFloats t = x * 1.44269504f + magic;
  const TFloats k = t - magic;
  // ln 2 in two parts; k times the first is exact.
  const TFloats r = (x - k * 0.693145751953125f) - k * 1.42860677e-06f;
  const TFloats r2 = r * r;
  const TFloats r4 = r2 * r2;
  const TFloats e0 = r * 1.0f + 1.0f;
  const TFloats e1 = r * (1.0f / 6.0f) + 0.5f;
  const TFloats e2 = r * (1.0f / 120.0f) + (1.0f / 24.0f);
  const TFloats e3 = r * (1.0f / 5040.0f) + (1.0f / 720.0f);
  const TFloats p = r4 * (r2 * e3 + e2) + (r2 * e1 + e0);
  TInts bits, ti, mi;
  std::memcpy(&bits, &p, sizeof bits);
  std::memcpy(&ti, &t, sizeof ti);
  std::memcpy(&mi, &magic, sizeof mi);
  bits += (ti - mi) << 23;
  TFloats result;
  std::memcpy(&result, &bits, sizeof result);
  return result;
}

// The records in floats, for the screening.
struct TScreenRecords {
  int count = 0;
  float first = 0;
  std::vector<float> recharge, step, measured;
};

TScreenRecords ScreenRecordsOf(const TSearchProblem& problem) {
  TScreenRecords records;
  records.count = problem.count;
  records.first = static_cast<float>(problem.firstRunoff);
  records.recharge.resize(problem.count + 1);
  records.step.resize(problem.count + 1);
  records.measured.resize(problem.count + 1);
  for (int n = 2; n <= problem.count; ++n) {
    records.recharge[n] = static_cast<float>(problem.recharge[n]);
    records.step[n] = static_cast<float>(problem.timeStep[n]);
    records.measured[n] = static_cast<float>(problem.measured[n]);
  }
  return records;
}

// Whether the screening's bounds hold for the data: every value finite and
// at most 1e15, runoff, recharge and steps not below 0.
bool ScreeningApplies(const TSearchProblem& problem) {
  const auto fits = [](double x) { return std::isfinite(x) && std::fabs(x) <= 1e15; };
  if (!fits(problem.firstRunoff) || problem.firstRunoff < 0) return false;
  for (int n = 2; n <= problem.count; ++n) {
    const double r = problem.recharge[n], dt = problem.timeStep[n];
    if (!fits(r) || !fits(dt) || !fits(problem.measured[n]) || r < 0 || dt < 0) return false;
  }
  return true;
}

// The ranges [low[t], high[t]] the exact sums of kScreenChunk trials of one A
// lie in (unused lanes repeat the first C). Once the lower ends of all have
// passed `beyond`, the walk stops and the upper ends are infinite; once all
// ranges are wider than `hopeless`, it stops with ranges [0, infinity].
SCREEN_FN void ScreenChunkBody(const TScreenRecords& records, double a, const double* c, int count,
                               double beyond, double hopeless, double* low, double* high) {
  TFloats vc[kScreenVectors], size0[kScreenVectors], qc[kScreenVectors], e[kScreenVectors];
  TFloats lowPart[kScreenVectors], highPart[kScreenVectors];
  double lowSum[kScreenChunk] = {}, highSum[kScreenChunk] = {};
  const float af = static_cast<float>(a);
  for (int v = 0; v < kScreenVectors; ++v) {
    for (int l = 0; l < kScreenWidth; ++l) {
      const int t = v * kScreenWidth + l;
      vc[v][l] = static_cast<float>(c[t < count ? t : 0]);
    }
    size0[v] = Abs(vc[v]);
    qc[v] = Splat(records.first);
    // The first runoff's own rounding to a float.
    e[v] = Splat(records.first * 1.2e-7f + kScreenTiny);
    lowPart[v] = highPart[v] = Splat(0);
  }
  const float* recharge = records.recharge.data();
  const float* step = records.step.data();
  const float* measured = records.measured.data();
  for (int n = 2; n <= records.count; ++n) {
    const float rf = recharge[n], dtf = step[n], mf = measured[n];
    const float adt = af * dtf;
    const TFloats r = Splat(rf), dt = Splat(dtf), m = Splat(mf);
    const TFloats mRoom = Splat(kScreenMeasuredSlack * std::fabs(mf));
    for (int v = 0; v < kScreenVectors; ++v) {
      const TFloats q = qc[v], radius = e[v];
      const TFloats lo = q - radius, hi = q + radius;
      const TFloats size = af * Max(hi, Splat(0)) + size0[v];
      const TFloats room = size * kScreenAlphaRoom;
      const TFloats alphaLow = af * lo + vc[v], alphaHigh = af * hi + vc[v];
      const TFloats alpha = Max(af * q + vc[v], Splat(0));
      const TFloats f = ScreenExp(-(alpha * dt));
      const TFloats next = r + (q - r) * f;
      // The greatest slope of g over [lo, hi].
      const auto straddles = alphaLow <= room;
      const TFloats stretch = adt * radius + size * dt * kScreenAlphaRoom;
      TFloats fMost = Min(f * (2.0f * stretch + 1.00001f), Splat(1));
      fMost = (straddles | (stretch > 1.0f)) ? Splat(1) : fMost;
      // 1 - a dt (q - r) at both ends, with room for its rounding.
      const TFloats turn = Max(Abs(1.0f - adt * (lo - r)), Abs(1.0f - adt * (hi - r))) +
                           kScreenAlphaSlack * (1.0f + adt * (Abs(lo) + Abs(hi) + r));
      TFloats slope = fMost * turn;
      slope = straddles ? Max(slope, Splat(1)) : slope;
      const TFloats slack =
          (Abs(hi) + r) * (size * dt * kScreenAlphaSlack + kScreenSlack) + kScreenTiny;
      const TFloats grown = Min((slope * kScreenSlopeRoom * radius + slack) * kScreenRadiusRoom,
                                Splat(kScreenHugeRadius));
      const auto kept = alphaHigh <= -room;
      qc[v] = kept ? q : next;
      e[v] = kept ? radius : grown;
      // The squared residual's range; from 1000 on the penalty counts.
      const TFloats d = Abs(m - qc[v]);
      const TFloats reach = e[v] + mRoom + kScreenMeasuredSlack * (Abs(qc[v]) + e[v]);
      const TFloats nearest = Max(d - reach, Splat(0));
      const TFloats farthest = Min(d + reach, Splat(static_cast<float>(kPenaltyResidual)));
      lowPart[v] += Min(nearest * nearest, Splat(static_cast<float>(kPenalty)));
      highPart[v] += nearest >= static_cast<float>(kPenaltyResidual)
                         ? Splat(static_cast<float>(kPenalty))
                         : farthest * farthest;
    }
    if ((n - 1) % kScreenFlush == 0 || n == records.count) {
      for (int v = 0; v < kScreenVectors; ++v) {
        for (int l = 0; l < kScreenWidth; ++l) {
          lowSum[v * kScreenWidth + l] += lowPart[v][l];
          highSum[v * kScreenWidth + l] += highPart[v][l];
        }
        lowPart[v] = highPart[v] = Splat(0);
      }
      double least = lowSum[0], narrowest = highSum[0] - lowSum[0];
      for (int t = 1; t < count; ++t) {
        least = std::min(least, lowSum[t]);
        narrowest = std::min(narrowest, highSum[t] - lowSum[t]);
      }
      if (narrowest > hopeless) {
        for (int t = 0; t < count; ++t) {
          low[t] = 0;
          high[t] = std::numeric_limits<double>::infinity();
        }
        return;
      }
      if (least * (1 - kScreenSumRoom - 4e-16 * records.count) > beyond) {
        for (int t = 0; t < count; ++t) {
          low[t] = lowSum[t] * (1 - kScreenSumRoom - 4e-16 * records.count);
          high[t] = std::numeric_limits<double>::infinity();
        }
        return;
      }
    }
  }
  const double room = kScreenSumRoom + 4e-16 * records.count;
  for (int t = 0; t < count; ++t) {
    low[t] = lowSum[t] * (1 - room);
    high[t] = highSum[t] * (1 + room);
  }
}

#undef SCREEN_FN

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) void ScreenChunkAvx2(const TScreenRecords& records, double a,
                                                     const double* c, int count, double beyond,
                                                     double hopeless, double* low, double* high) {
  ScreenChunkBody(records, a, c, count, beyond, hopeless, low, high);
}
#endif

void ScreenChunkBaseline(const TScreenRecords& records, double a, const double* c, int count,
                         double beyond, double hopeless, double* low, double* high) {
  ScreenChunkBody(records, a, c, count, beyond, hopeless, low, high);
}

void ScreenChunk(const TScreenRecords& records, double a, const double* c, int count, double beyond,
                 double hopeless, double* low, double* high) {
#if defined(__x86_64__) || defined(__i386__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) return ScreenChunkAvx2(records, a, c, count, beyond, hopeless, low, high);
#endif
  ScreenChunkBaseline(records, a, c, count, beyond, hopeless, low, high);
}

// What a screened grid needs to know of the picture.
struct TSettled {
  // Whether every sum in [low, high] gives a cell the same look.
  std::function<bool(double low, double high)> Alike;
  // Every sum above this one looks alike (the poorest colour, outside the
  // region): a trial whose sum has passed it needs no more records.
  double Beyond = std::numeric_limits<double>::infinity();
  // A range of sums wider than this is taken to span colours: the trials
  // of such ranges are summed exactly without waiting for the screening's
  // end.
  double Hopeless = std::numeric_limits<double>::infinity();
  explicit operator bool() const { return static_cast<bool>(Alike); }
};

// The sums of one column (A of `outer`) over the rows of `inner`, into
// sums[row * stride]: exact, or with `settled` screened first.
std::size_t ColumnSums(const TSearchProblem& problem, const TScreenRecords* records,
                       const TSettled& settled, int outer, const std::vector<int>& inner,
                       double* sums, std::size_t stride) {
  const double a = TrialAOf(outer);
  const int rows = static_cast<int>(inner.size());
  std::size_t exact = 0;
  int pending[kSideBySide];
  double pendingC[kSideBySide], pendingSums[kSideBySide];
  int waiting = 0;
  const double beyond = settled ? settled.Beyond : std::numeric_limits<double>::infinity();
  const auto sumWaiting = [&] {
    if (ExactSums(problem, a, pendingC, waiting, pendingSums, beyond)) exact += waiting;
    for (int t = 0; t < waiting; ++t) sums[pending[t] * stride] = pendingSums[t];
    waiting = 0;
  };
  const auto wait = [&](int row) {
    pending[waiting] = row;
    pendingC[waiting] = TrialCOf(inner[row]);
    if (++waiting == kSideBySide) sumWaiting();
  };
  if (!records) {
    for (int row = 0; row < rows; ++row) wait(row);
  } else {
    double c[kScreenChunk], low[kScreenChunk], high[kScreenChunk];
    for (int first = 0; first < rows; first += kScreenChunk) {
      const int count = std::min(kScreenChunk, rows - first);
      for (int t = 0; t < count; ++t) c[t] = TrialCOf(inner[first + t]);
      ScreenChunk(*records, a, c, count, beyond, settled.Hopeless, low, high);
      for (int t = 0; t < count; ++t) {
        if (settled.Alike(low[t], high[t])) {
          sums[(first + t) * stride] =
              std::isfinite(high[t]) ? low[t] + 0.5 * (high[t] - low[t]) : low[t];
        } else {
          wait(first + t);
        }
      }
    }
  }
  if (waiting > 0) sumWaiting();
  return exact;
}

// The sums of the trials outer x inner, [row * outer.size() + column], all
// cores; screened when `settled` is given and the data allow it.
std::vector<double> GridSums(const TSearchProblem& problem, const std::vector<int>& outer,
                             const std::vector<int>& inner, int threads,
                             const TFitMapProgress& progress, const TSearchCancel& cancel,
                             const TSettled& settled = {}, std::size_t* exactSums = nullptr) {
  const int columns = static_cast<int>(outer.size());
  const int rows = static_cast<int>(inner.size());
  std::vector<double> sums(static_cast<std::size_t>(columns) * rows);
  if (exactSums) *exactSums = 0;
  if (columns == 0 || rows == 0) return sums;
  std::optional<TScreenRecords> records;
  if (settled && ScreeningApplies(problem)) records = ScreenRecordsOf(problem);
  std::atomic<int> next{0};
  std::atomic<int> done{0};
  std::atomic<std::size_t> exact{0};
  std::atomic<bool> stopped{false};
  // One column (one A) at a time, so that the threads share the work evenly
  // whatever parts of the range are cheap.
  const auto work = [&](bool tell) {
    for (int column = next++; column < columns; column = next++) {
      if (cancel && cancel()) {
        stopped = true;
        return;
      }
      exact += ColumnSums(problem, records ? &*records : nullptr, settled, outer[column], inner,
                          sums.data() + column, static_cast<std::size_t>(columns));
      const int finished = ++done;
      if (tell && progress) progress(static_cast<double>(finished) / columns);
    }
  };
  const int count = std::min(ThreadCount(threads), columns);
  std::vector<std::thread> helpers;
  for (int t = 1; t < count; ++t) helpers.emplace_back(work, false);
  work(true);
  for (auto& helper : helpers) helper.join();
  if (stopped) throw TSearchCancelled();
  if (progress) progress(1.0);
  if (exactSums) *exactSums = exact;
  return sums;
}

// Every trial of outer first .. last and inner first .. last.
struct TWindow {
  int i0, i1, j0, j1;
};

// The sums of `window`, taking those of `old` (already computed over
// `oldWindow`, which lies inside it) as they are.
std::vector<double> WindowSums(const TSearchProblem& problem, const TWindow& window,
                               const TWindow& oldWindow, const std::vector<double>& old,
                               int threads, const TFitMapProgress& progress,
                               const TSearchCancel& cancel, const TSettled& settled,
                               std::size_t& exactSums) {
  const int columns = window.i1 - window.i0 + 1, rows = window.j1 - window.j0 + 1;
  const int oldColumns = oldWindow.i1 - oldWindow.i0 + 1;
  const bool reuse = !old.empty();
  std::vector<int> freshOuter, keptOuter, allInner, freshInner;
  for (int i = window.i0; i <= window.i1; ++i) {
    (reuse && i >= oldWindow.i0 && i <= oldWindow.i1 ? keptOuter : freshOuter).push_back(i);
  }
  for (int j = window.j0; j <= window.j1; ++j) {
    allInner.push_back(j);
    if (!reuse || j < oldWindow.j0 || j > oldWindow.j1) freshInner.push_back(j);
  }
  std::vector<double> sums(static_cast<std::size_t>(columns) * rows);
  std::size_t exact = 0;
  const std::vector<double> fresh =
      GridSums(problem, freshOuter, allInner, threads, progress, cancel, settled, &exact);
  exactSums += exact;
  for (int r = 0; r < rows; ++r) {
    for (std::size_t k = 0; k < freshOuter.size(); ++k) {
      sums[static_cast<std::size_t>(r) * columns + (freshOuter[k] - window.i0)] =
          fresh[r * freshOuter.size() + k];
    }
  }
  if (keptOuter.empty()) return sums;
  const std::vector<double> strips =
      GridSums(problem, keptOuter, freshInner, threads, nullptr, cancel, settled, &exact);
  exactSums += exact;
  for (std::size_t r = 0; r < freshInner.size(); ++r) {
    for (std::size_t k = 0; k < keptOuter.size(); ++k) {
      sums[static_cast<std::size_t>(freshInner[r] - window.j0) * columns +
           (keptOuter[k] - window.i0)] = strips[r * keptOuter.size() + k];
    }
  }
  for (int j = oldWindow.j0; j <= oldWindow.j1; ++j) {
    for (int i = oldWindow.i0; i <= oldWindow.i1; ++i) {
      sums[static_cast<std::size_t>(j - window.j0) * columns + (i - window.i0)] =
          old[static_cast<std::size_t>(j - oldWindow.j0) * oldColumns + (i - oldWindow.i0)];
    }
  }
  return sums;
}

std::string ShortestNumber(double value) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, result.ptr);
}

}  // namespace

double TFitMap::RSquareOf(double sum) const {
  double r = 1 - 0.5 * sum / Deviation;
  if (!(r > 0)) r = 0.01;
  if (r >= 1) r = 0.99;
  return r;
}

double TFitMap::RatioScaleEnd() const {
  if (!Zoomed || !Optimum.Found() || !(Optimum.sum > 0)) return 0;
  // Without a region the scale still spans a doubling of the best sum.
  const double factor = Threshold > 0 ? Threshold / Optimum.sum : 2;
  return 1 + 5 * (factor - 1);
}

double TFitMap::ScalePositionOf(double sum) const {
  const double end = RatioScaleEnd();
  if (end == 0) return RSquareOf(sum);
  const double ratio = sum / Optimum.sum;
  return std::clamp(1 - (ratio - 1) / (end - 1), 0.0, 1.0);
}

double FQuantile2(int n) {
  return n / 2.0 * (std::pow(0.05, -2.0 / n) - 1);
}

double ConfidenceFactor(int residuals) {
  const int freedom = residuals - 2;
  if (freedom < 1) return 0;
  return 1 + 2.0 / freedom * FQuantile2(freedom);
}

int DefaultFitMapStep(int records) {
  const double steps = static_cast<double>(kOuterTrials) * kInnerTrials * std::max(records - 1, 1);
  return std::max(1, static_cast<int>(std::ceil(std::sqrt(steps / kStepsPerSecond))));
}

std::vector<double> FitMapSums(const TSearchProblem& problem, const std::vector<int>& outer,
                               const std::vector<int>& inner, int threads,
                               const TFitMapProgress& progress, const TSearchCancel& cancel) {
  return GridSums(problem, outer, inner, threads, progress, cancel);
}

TFitMap ComputeFitMap(const TSearchProblem& problem, const TFitMapOptions& options,
                      const TFitMapProgress& progress) {
  TFitMap map;
  map.Records = problem.count;
  if (problem.count < 2) return map;
  map.Deviation = SumOfDeviations(problem);
  const auto start = std::chrono::steady_clock::now();
  map.Optimum = FastSearch(problem, options.Threads, nullptr, kNoTrialYet, options.Cancel);
  map.SearchSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // Without an optimum the run stops: a map would show fits that are none.
  if (!map.Optimum.Found()) return map;
  FitOfOptimum(problem, map);
  const int centreI = map.Optimum.outer;
  const int centreJ = map.Optimum.inner;
  const double factor = ConfidenceFactor(problem.count - 1);
  if (factor > 0 && map.Penalties == 0) map.Threshold = map.Optimum.sum * factor;

  // A screened cell's sum must stay on its side of the region's bound and
  // above the optimum's sum (which only the optimum's cell and its ties
  // reach), and in one colour of the picture.
  const auto settledBy = [&options](const TFitMap& grid, bool colours) -> TSettled {
    if (!options.ColourKey) return {};
    TSettled settled;
    settled.Alike = [&grid, &options, colours](double low, double high) {
      if (!(low > grid.Optimum.sum) || !(high >= low)) return false;
      if (grid.Threshold > 0 && (low <= grid.Threshold) != (high <= grid.Threshold)) return false;
      return !colours || options.ColourKey(grid.ScalePositionOf(low)) ==
                             options.ColourKey(grid.ScalePositionOf(high));
    };
    // From here on the scale's position no longer moves: R square at or
    // below 0, or a ratio past the end of the zoomed map's scale.
    double still = 0;
    if (colours) {
      const double end = grid.RatioScaleEnd();
      still = end > 0 ? end * grid.Optimum.sum : 2 * grid.Deviation;
      // Two bands of the classic scale.
      settled.Hopeless = end > 0 ? (end - 1) * grid.Optimum.sum / 10 : 0.2 * grid.Deviation;
    }
    settled.Beyond = std::max({still, grid.Threshold, grid.Optimum.sum}) * (1 + 1e-9);
    return settled;
  };

  const int step = options.Step > 0 ? options.Step : DefaultFitMapStep(problem.count);
  if (!options.Zoom) {
    map.Step = step;
    map.Outer = Axis(0, kOuterTrials - 1, step, centreI);
    map.Inner = Axis(1, kInnerTrials, step, centreJ);
    map.SumSq = GridSums(problem, map.Outer, map.Inner, options.Threads, progress, options.Cancel,
                         settledBy(map, true), &map.ExactSums);
    return map;
  }

  // The zoomed map: how far the region reaches on a coarse map decides the
  // first window, so that the whole region shows with room around it.
  const auto part = [&progress](double from, double share) {
    return progress ? TFitMapProgress(
                          [progress, from, share](double done) { progress(from + share * done); })
                    : nullptr;
  };
  TFitMap coarse = map;
  coarse.Step = step;
  coarse.Outer = Axis(0, kOuterTrials - 1, step, centreI);
  coarse.Inner = Axis(1, kInnerTrials, step, centreJ);
  // Only the region's reach is read from the coarse map.
  coarse.SumSq = GridSums(problem, coarse.Outer, coarse.Inner, options.Threads, part(0, 0.5),
                          options.Cancel, settledBy(coarse, false));
  int reachI = 0, reachJ = 0;
  for (int row = 0; row < coarse.Rows(); ++row) {
    for (int column = 0; column < coarse.Columns(); ++column) {
      if (!coarse.InRegion(column, row)) continue;
      reachI = std::max(reachI, std::abs(coarse.Outer[column] - centreI) + step);
      reachJ = std::max(reachJ, std::abs(coarse.Inner[row] - centreJ) + step);
    }
  }
  const auto half = [](int reach) { return std::max(reach + reach / 4, kZoomLeast); };
  TWindow window{
      std::max(0, centreI - half(reachI)), std::min(kOuterTrials - 1, centreI + half(reachI)),
      std::max(1, centreJ - half(reachJ)), std::min(kInnerTrials, centreJ + half(reachJ))};
  map.Step = 1;
  map.Zoomed = true;
  const TSettled settled = settledBy(map, true);
  map.ExactSums = 0;
  std::vector<double> sums = WindowSums(problem, window, window, {}, options.Threads,
                                        part(0.5, 0.5), options.Cancel, settled, map.ExactSums);
  // The coarse map may miss parts of a region narrower than its step: the
  // window grows on every side where the region still reaches its edge.
  for (;;) {
    const int columns = window.i1 - window.i0 + 1, rows = window.j1 - window.j0 + 1;
    const auto in = [&](int column, int row) {
      return map.Threshold > 0 &&
             sums[static_cast<std::size_t>(row) * columns + column] <= map.Threshold;
    };
    bool left = false, right = false, bottom = false, top = false;
    for (int row = 0; row < rows; ++row) {
      left = left || (window.i0 > 0 && in(0, row));
      right = right || (window.i1 < kOuterTrials - 1 && in(columns - 1, row));
    }
    for (int column = 0; column < columns; ++column) {
      bottom = bottom || (window.j0 > 1 && in(column, 0));
      top = top || (window.j1 < kInnerTrials && in(column, rows - 1));
    }
    if (!left && !right && !bottom && !top) break;
    const int growI = std::max(kZoomLeast, columns / 2), growJ = std::max(kZoomLeast, rows / 2);
    const TWindow old = window;
    if (left) window.i0 = std::max(0, window.i0 - growI);
    if (right) window.i1 = std::min(kOuterTrials - 1, window.i1 + growI);
    if (bottom) window.j0 = std::max(1, window.j0 - growJ);
    if (top) window.j1 = std::min(kInnerTrials, window.j1 + growJ);
    sums = WindowSums(problem, window, old, sums, options.Threads, nullptr, options.Cancel, settled,
                      map.ExactSums);
  }
  map.Outer = Axis(window.i0, window.i1, 1, centreI);
  map.Inner = Axis(window.j0, window.j1, 1, centreJ);
  map.SumSq = std::move(sums);
  if (progress) progress(1.0);
  return map;
}

bool FitMapProblemOfInputFile(TDMTevlora& data, TSearchProblem& problem) {
  // The run reads the file Save writes, not the user's file: only that text
  // gives the same records and the same digits.
  const std::optional<std::string> saved = data.InputFileText();
  if (!saved) {
    data.ProgramError(CorruptRealsText(data.FileName));
    return false;
  }
  // A run of its own: the map leaves the session's last run as it was.
  TAnalysisRun run;
  run.RegressionOff = true;
  data.RunAborted = false;
  ReadAndCheckText(data, run, *saved);
  if (!run.VariationOk || run.TimeSequenceError || data.RunAborted || !run.StorageOk) return false;
  if (run.RunCount < 2) return false;
  run.CalcRunoff[1] = run.MeasRunoff[1];
  problem = SearchProblemOfRun(run);
  return true;
}

namespace {
constexpr const char* kCsvHeader = "A,C,SumSq,RSquare\r\n";

// The texts of the A of every column and the C of every row, each with the
// comma after it.
std::vector<std::string> ColumnTexts(const TFitMap& map) {
  std::vector<std::string> texts;
  for (int i : map.Outer) texts.push_back(Trim(FormatFixed(TrialAOf(i), 1, 4)) + ",");
  return texts;
}
std::vector<std::string> RowTexts(const TFitMap& map) {
  std::vector<std::string> texts;
  for (int j : map.Inner) texts.push_back(Trim(FormatFixed(TrialCOf(j), 1, 3)) + ",");
  return texts;
}

void AppendCsvRow(std::string& text, const std::string& a, const std::string& c, double sum,
                  const TFitMap& map) {
  text += a;
  text += c;
  text += ShortestNumber(sum);
  text += ',';
  text += ShortestNumber(map.RSquareOf(sum));
  text += "\r\n";
}
}  // namespace

std::string FitMapCsv(const TFitMap& map) {
  std::string text = kCsvHeader;
  const std::vector<std::string> aTexts = ColumnTexts(map), cTexts = RowTexts(map);
  for (int column = 0; column < map.Columns(); ++column) {
    for (int row = 0; row < map.Rows(); ++row) {
      AppendCsvRow(text, aTexts[column], cTexts[row], map.Sum(column, row), map);
    }
  }
  return text;
}

bool WriteFitMapCsv(const TSearchProblem& problem, const TFitMap& map,
                    const std::function<bool(std::string_view)>& sink, int threads,
                    const TSearchCancel& cancel) {
  if (!sink(kCsvHeader)) return false;
  const std::vector<std::string> aTexts = ColumnTexts(map), cTexts = RowTexts(map);
  // A few columns per thread at a time: little waiting for the slowest of
  // them, and only their rows in memory.
  const int batch = 4 * ThreadCount(threads);
  // A map of exact sums has them all already.
  const bool held = map.ExactSums == map.SumSq.size();
  std::string text;
  for (int first = 0; first < map.Columns(); first += batch) {
    const int last = std::min(map.Columns(), first + batch);
    const std::vector<int> outer(map.Outer.begin() + first, map.Outer.begin() + last);
    const std::vector<double> sums =
        held ? std::vector<double>()
             : GridSums(problem, outer, map.Inner, threads, nullptr, cancel);
    for (int column = first; column < last; ++column) {
      text.clear();
      for (int row = 0; row < map.Rows(); ++row) {
        AppendCsvRow(text, aTexts[column], cTexts[row],
                     held ? map.Sum(column, row)
                          : sums[static_cast<std::size_t>(row) * outer.size() + (column - first)],
                     map);
      }
      if (!sink(text)) return false;
    }
  }
  return true;
}

std::string FitMapNote(const TFitMap& map) {
  if (!std::isfinite(map.Lag1)) return {};
  std::string note =
      "Residuals at the optimum: lag-1 autocorrelation " + Trim(FormatFixed(map.Lag1, 1, 2)) + ".";
  if (map.Threshold > 0) {
    note +=
        " The region assumes independent errors; positively correlated residuals make it too "
        "small.";
  }
  return note;
}
