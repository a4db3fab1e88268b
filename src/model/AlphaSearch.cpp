#include "AlphaSearch.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "AlphaSearchBlock.h"
#include "AlphaSearchLanes.h"

#ifdef __FAST_MATH__
#error "The box walk's rounding room assumes IEEE arithmetic: build it without -ffast-math."
#endif

#include <cstdio>
namespace {

constexpr double kPenalty = 100000.0;
constexpr int kBatchRows = 50;  // progress is told once per 50 outer indices

// Lexicographic (sum, member, trial index) order: ties go to the first
// problem of a group, and within it to the first trial.
struct TCandidate {
  double sum = kNoTrialYet;
  int index = -1;  // i * kInnerTrials + (j - 1)
  int member = 0;  // of a group of problems
  bool Beats(const TCandidate& other) const {
    if (index < 0) return false;
    if (other.index < 0) return true;
    if (sum != other.sum) return sum < other.sum;
    return member < other.member || (member == other.member && index < other.index);
  }
};

TSearchResult ResultOf(const TCandidate& best) {
  TSearchResult result;
  if (best.index >= 0 && best.sum < kNoTrialYet) {
    result.sum = best.sum;
    result.outer = best.index / kInnerTrials;
    result.inner = best.index % kInnerTrials + 1;
  }
  return result;
}

// A shared bound that only goes down.
class TSharedBound {
 public:
  explicit TSharedBound(double start) : value_(start) {}
  double Get() const { return value_.load(std::memory_order_relaxed); }
  void Offer(double sum) {
    double current = value_.load(std::memory_order_relaxed);
    while (sum < current && !value_.compare_exchange_weak(current, sum)) {
    }
  }

 private:
  std::atomic<double> value_;
};

// Sum of a trial whose alpha is 0 from record 2 on: the runoff then stays at
// its first value for good, whatever A and C are. Trial (0, 1) is one of them.
double FrozenSum(const TSearchProblem& problem) {
  return EvaluateTrial(problem, TrialAOf(0), TrialCOf(1), INFINITY);
}

// The box walk encloses the runoff in ranges whose ends move the way they do
// only while recharge and runoff are at least 0 (and the steps are), and it
// needs finite values throughout. Other data go to the pruned search.
bool BoxWalkApplies(const TSearchProblem& problem) {
  if (!(problem.firstRunoff >= 0) || !std::isfinite(problem.firstRunoff)) return false;
  for (int n = 2; n <= problem.count; ++n) {
    const double r = problem.recharge[n], dt = problem.timeStep[n], m = problem.measured[n];
    if (!(r >= 0) || !(dt >= 0) || !std::isfinite(r) || !std::isfinite(dt) || !std::isfinite(m)) {
      return false;
    }
  }
  return true;
}

// Finds a good bound cheaply: a coarse grid, then a pattern search around its
// best point. Every sum here is exact, so the bound is a value that a trial
// really reaches.
// With a bound from elsewhere only trials at or below it are taken.
TCandidate PreScan(const TSearchProblem& problem, double startBound = kNoTrialYet) {
  TCandidate best;
  const auto consider = [&](int i, int j) {
    if (i < 0 || i >= kOuterTrials || j < 1 || j > kInnerTrials) return false;
    const double bound = best.index >= 0 ? best.sum : startBound;
    const double sum = EvaluateTrial(problem, TrialAOf(i), TrialCOf(j), bound);
    const TCandidate candidate{sum, i * kInnerTrials + (j - 1)};
    if (sum <= bound && candidate.Beats(best)) {
      best = candidate;
      return true;
    }
    return false;
  };
  // Positive C is where catchments usually are: a finer look there.
  for (int i = 0; i < kOuterTrials; i += 50) {
    for (int j = 1; j < 1000; j += 100) consider(i, j);
    for (int j = 1000; j <= kInnerTrials; j += 25) consider(i, j);
  }
  if (best.index < 0) return best;
  for (int step = 32; step >= 1; step /= 2) {
    bool improved = true;
    while (improved) {
      improved = false;
      const int i = best.index / kInnerTrials;
      const int j = best.index % kInnerTrials + 1;
      for (int di = -1; di <= 1; ++di) {
        for (int dj = -1; dj <= 1; ++dj) {
          if ((di || dj) && consider(i + di * step, j + dj * step)) improved = true;
        }
      }
    }
  }
  return best;
}

// Branch and bound over boxes of trials. A box is a range of outer indices
// i0 .. i1 and inner indices j0 .. j1 that is walked through the records as
// one: the runoff of every trial of the box stays inside [low, high], and
// `lowerSum` never exceeds the sum of any of its trials. A box whose lower
// sum passes the bound is dropped with all its trials; a box whose range of
// runoff grows too wide is split in two, and the halves go on from where the
// box was. The few trials that survive to the end are evaluated exactly.
struct TBox {
  int i0, i1, j0, j1;
  int step;  // records 2 .. step are done
  double low, high;
  double lowerSum;
};

// The float sums of the plain search differ from the real sums of their terms
// by less than this fraction (at most 1501 additions).
constexpr double kSumSlack = 1e-11;
// Records a leaf walks with its box's range before its trials start again
// from record 1.
constexpr int kRestartRecords = 8;

// The problems of a group differ in their recharge only, and only up to
// record highUntil: the walks go with their least recharge and their
// greatest, the trials that may win in any of them are walked again for
// each, and the group's trials are confirmed in each.
struct TGroupView {
  const std::vector<TSearchProblem>* members = nullptr;
  const std::vector<double>* rechargeHigh = nullptr;
  int highUntil = 0;
  // How far apart the problems' runoffs lie at each record, for a few
  // trials: the part of a box's range that splitting it cannot narrow.
  const std::vector<double>* spread = nullptr;
};

class TBoxSearch {
 public:
  TBoxSearch(const TSearchProblem& problem, TSharedBound& bound, double width,
             TGroupView group = {})
      : problem_(problem),
        bound_(bound),
        splitWidth_(width),
        inverseStep_(problem.count + 1),
        singlePrecision_(SinglePrecisionApplies(problem)),
        group_(group) {
    if (!group_.members) {
      group_.highUntil = 0;
    } else {
      for (const TSearchProblem& member : *group_.members) {
        singlePrecision_ = singlePrecision_ && SinglePrecisionApplies(member);
      }
    }
    for (int n = 2; n <= problem.count; ++n) {
      inverseStep_[n] = problem.timeStep[n] > 0 ? 1 / problem.timeStep[n] : INFINITY;
    }
  }

  // All trials of rows i0 .. i1 with inner index from j0 on.
  void Run(int i0, int i1, int j0, int j1, TCandidate& best) {
    std::vector<TBox> stack;
    const double q1 = problem_.firstRunoff;
    stack.push_back({i0, i1, j0, j1, 1, q1, q1, 0.0});
    doubleInThisPiece_ = false;
    while (!stack.empty()) {
      TBox box = stack.back();
      stack.pop_back();
      Walk(box, stack, best);
    }
    WalkLeaves(best);
    WalkPoints(best);
  }

 private:
  bool Pruned(double lowerSum) const { return lowerSum * (1 - kSumSlack) > bound_.Get(); }

  void Walk(TBox box, std::vector<TBox>& stack, TCandidate& best) {
    if (Size(box) <= kSearchLanes) {
      WalkTrials(box, best);
      return;
    }
    const int count = problem_.count;
    // Alpha is least at (a0, c0) and greatest at (a1, c1) for every runoff.
    const double a0 = TrialAOf(box.i0), a1 = TrialAOf(box.i1);
    const double c0 = TrialCOf(box.j0), c1 = TrialCOf(box.j1);
    for (int n = box.step + 1; n <= count; ++n) {
      const double r = problem_.recharge[n];
      if (n <= group_.highUntil) {
        // The next runoff rises with the recharge.
        double low, high, unused;
        RunoffReach(box.low, box.high, r, problem_.timeStep[n], inverseStep_[n], a0, c0, a1, c1,
                    &low, &unused);
        RunoffReach(box.low, box.high, (*group_.rechargeHigh)[static_cast<std::size_t>(n)],
                    problem_.timeStep[n], inverseStep_[n], a0, c0, a1, c1, &unused, &high);
        box.low = low;
        box.high = high;
      } else {
        RunoffReach(box.low, box.high, r, problem_.timeStep[n], inverseStep_[n], a0, c0, a1, c1,
                    &box.low, &box.high);
      }
      box.step = n;
      const double m = problem_.measured[n];
      double distance = 0;
      if (m < box.low) distance = box.low - m;
      if (m > box.high) distance = m - box.high;
      box.lowerSum += std::min(distance * distance, kPenalty);
      if (Pruned(box.lowerSum)) return;
      if (box.high - box.low > splitWidth_ + 4 * Spread(n)) break;
    }
    // Too wide, or at the end of the records with trials that may still win.
    Split(box, stack);
  }

  // Halves the box along the side that spreads alpha more.
  static void Split(const TBox& box, std::vector<TBox>& stack) {
    const double spreadA = (box.i1 - box.i0) * 0.0005 * box.high;
    const double spreadC = (box.j1 - box.j0) * 0.001;
    TBox first = box, second = box;
    if (box.i1 > box.i0 && (spreadA >= spreadC || box.j1 == box.j0)) {
      const int middle = (box.i0 + box.i1) / 2;
      first.i1 = middle;
      second.i0 = middle + 1;
    } else {
      const int middle = (box.j0 + box.j1) / 2;
      first.j1 = middle;
      second.j0 = middle + 1;
    }
    stack.push_back(second);
    stack.push_back(first);
  }

  // A box of a few trials goes on as that many single trials side by side,
  // first with the box's range, for kRestartRecords records in doubles.
  // Those still alive start again from record 1 as single points: a range
  // inherited from a box can stay far wider than a trial's own for hundreds
  // of records where the reservoir contracts slowly.
  // A group's boxes leave their trials where the problems' runoffs still
  // lie apart, often far into the records: there the trials go on with the
  // box's range in floats to the last record, several leaves at once, and
  // most drop out on the way, far sooner than walked again from record 1.
  void WalkTrials(const TBox& box, TCandidate& best) {
    TLeafBox& leaf = leaves_[leafCount_];
    int* index = leafIndex_[leafCount_];
    double* a = leaf.a;
    double* c = leaf.c;
    int lanes = 0;
    for (int i = box.i0; i <= box.i1; ++i) {
      for (int j = box.j0; j <= box.j1; ++j) {
        a[lanes] = TrialAOf(i);
        c[lanes] = TrialCOf(j);
        index[lanes] = i * kInnerTrials + (j - 1);
        ++lanes;
      }
    }
    if (group_.members && singlePrecision_ && (box.step > 1 || box.low != box.high)) {
      leaf.lanes = lanes;
      leaf.step = box.step;
      leaf.low = box.low;
      leaf.high = box.high;
      leaf.lowerSum = box.lowerSum;
      if (++leafCount_ == kLeafBoxes) WalkLeaves(best);
      return;
    }
    unsigned walking = (1u << lanes) - 1;
    // The lanes take one recharge: a group's trials go on from where its
    // problems' recharge is the same.
    if ((box.step > 1 || box.low != box.high) && box.step >= group_.highUntil) {
      // Survivors go on as points even where this walk reached the end: a
      // box's range is far wider than each trial's own, and as points most
      // of them drop out long before the end.
      walking = WalkLanes(problem_, inverseStep_.data(), a, c, lanes, box.step, box.low, box.high,
                          box.lowerSum, bound_.Get(), kRestartRecords);
    }
    AddPoints(a, c, index, lanes, walking, best);
  }

  void AddPoints(const double* a, const double* c, const int* index, int lanes, unsigned walking,
                 TCandidate& best) {
    for (int l = 0; l < lanes; ++l) {
      if (!(walking & (1u << l))) continue;
      pointA_[points_] = a[l];
      pointC_[points_] = c[l];
      pointIndex_[points_] = index[l];
      if (++points_ == kPointTrials) WalkPoints(best);
    }
  }

  // The leaves waiting, walked on in floats; their survivors to the points.
  void WalkLeaves(TCandidate& best) {
    if (leafCount_ == 0) return;
    unsigned alive[kLeafBoxes];
    WalkLeafBoxes(problem_, leaves_, leafCount_, bound_.Get(),
                  group_.members ? group_.rechargeHigh->data() : nullptr, group_.highUntil, alive);
    const int count = leafCount_;
    leafCount_ = 0;
    for (int k = 0; k < count; ++k) {
      AddPoints(leaves_[k].a, leaves_[k].c, leafIndex_[k], leaves_[k].lanes, alive[k], best);
    }
  }

  // The trials waiting to be walked from record 1, several packs at once:
  // in floats where the values allow, and the few that survive that walk
  // again in doubles, whose ranges are a million times narrower.
  void WalkPoints(TCandidate& best) {
    if (points_ == 0) return;
    if (group_.members) {
      WalkGroupPoints(best);
      points_ = 0;
      return;
    }
    const bool single = singlePrecision_ && !doubleInThisPiece_;
    std::uint64_t survivors = WalkPointTrials(problem_, inverseStep_.data(), pointA_, pointC_,
                                              points_, bound_.Get(), single);
    if (single && survivors) {
      // Where most trials come through the float walk (near the optimum, or
      // where their runoffs sit at the point below which alpha is 0 and
      // rain widens their ranges by 1 + a dt (r - q) a record), it only adds
      // to the double one: the rest of the piece goes straight to doubles.
      if (2 * std::popcount(survivors) > points_) doubleInThisPiece_ = true;
      double a[kPointTrials], c[kPointTrials];
      int from[kPointTrials];
      int count = 0;
      for (int t = 0; t < points_; ++t) {
        if (!(survivors & (std::uint64_t{1} << t))) continue;
        a[count] = pointA_[t];
        c[count] = pointC_[t];
        from[count++] = t;
      }
      const std::uint64_t confirmed =
          WalkPointTrials(problem_, inverseStep_.data(), a, c, count, bound_.Get());
      survivors = 0;
      for (int t = 0; t < count; ++t) {
        if (confirmed & (std::uint64_t{1} << t)) survivors |= std::uint64_t{1} << from[t];
      }
    }
    for (int t = 0; t < points_; ++t) {
      if (survivors & (std::uint64_t{1} << t))
        Confirm(pointA_[t], pointC_[t], pointIndex_[t], best);
    }
    points_ = 0;
  }

  // A group's waiting trials: walked once in floats for all its problems,
  // then those that may win in any of them for each problem on its own, as
  // a single problem's trials are.
  void WalkGroupPoints(TCandidate& best) {
    double a[kPointTrials], c[kPointTrials];
    int from[kPointTrials];
    int count = points_;
    std::copy(pointA_, pointA_ + count, a);
    std::copy(pointC_, pointC_ + count, c);
    for (int t = 0; t < count; ++t) from[t] = t;
    // Keeps the trials of `alive` only.
    const auto keep = [&](std::uint64_t alive, int* kept, double* ka, double* kc, int* kfrom) {
      int k = 0;
      for (int t = 0; t < count; ++t) {
        if (!(alive & (std::uint64_t{1} << t))) continue;
        ka[k] = a[t];
        kc[k] = c[t];
        kfrom[k++] = from[t];
      }
      *kept = k;
    };
    const double* high = group_.rechargeHigh->data();
    if (singlePrecision_) {
      keep(WalkPointTrials(problem_, inverseStep_.data(), a, c, count, bound_.Get(), true, high,
                           group_.highUntil),
           &count, a, c, from);
    }
    // The group's double walk pays where the problems' runoffs soon meet;
    // where they stay apart, it drops few of the trials.
    if (count > 0 && groupDouble_.Pays()) {
      const int before = count;
      keep(WalkPointTrials(problem_, inverseStep_.data(), a, c, count, bound_.Get(), false, high,
                           group_.highUntil),
           &count, a, c, from);
      groupDouble_.Tell(before, count);
    }
    const auto& members = *group_.members;
    for (std::size_t p = 0; p < members.size() && count > 0; ++p) {
      const TSearchProblem& member = members[p];
      double ma[kPointTrials], mc[kPointTrials];
      int mfrom[kPointTrials];
      int walked = count;
      std::copy(a, a + count, ma);
      std::copy(c, c + count, mc);
      std::copy(from, from + count, mfrom);
      if (singlePrecision_ && memberSingle_.Pays()) {
        keep(WalkPointTrials(member, inverseStep_.data(), a, c, count, bound_.Get(), true), &walked,
             ma, mc, mfrom);
        memberSingle_.Tell(count, walked);
      }
      const std::uint64_t confirmed =
          WalkPointTrials(member, inverseStep_.data(), ma, mc, walked, bound_.Get());
      for (int t = 0; t < walked; ++t) {
        if (confirmed & (std::uint64_t{1} << t)) {
          Confirm(member, static_cast<int>(p), ma[t], mc[t], pointIndex_[mfrom[t]], best);
        }
      }
    }
  }

  // Whether a walk that only filters still drops at least half the trials
  // it gets: told after each walk, judged after the first few hundred.
  struct TFilterYield {
    long in = 0, out = 0;
    bool Pays() const { return in < 512 || 2 * out <= in; }
    void Tell(int before, int after) {
      in += before;
      out += after;
    }
  };

  // The exact sum of a trial that may win.
  void Confirm(double a, double c, int index, TCandidate& best) {
    Confirm(problem_, 0, a, c, index, best);
  }
  void Confirm(const TSearchProblem& problem, int member, double a, double c, int index,
               TCandidate& best) {
    const double limit = bound_.Get();
    const double sum = EvaluateTrial(problem, a, c, limit);
    if (sum > limit) return;
    const TCandidate candidate{sum, index, member};
    if (candidate.Beats(best)) best = candidate;
    bound_.Offer(sum);
  }

  double Spread(int n) const {
    return group_.spread ? (*group_.spread)[static_cast<std::size_t>(n)] : 0.0;
  }

  static int Size(const TBox& box) { return (box.i1 - box.i0 + 1) * (box.j1 - box.j0 + 1); }

  const TSearchProblem& problem_;
  TSharedBound& bound_;
  double splitWidth_;
  std::vector<double> inverseStep_;
  bool singlePrecision_;
  TGroupView group_;
  TLeafBox leaves_[kLeafBoxes];
  int leafIndex_[kLeafBoxes][kSearchLanes];
  int leafCount_ = 0;
  TFilterYield groupDouble_, memberSingle_;
  bool doubleInThisPiece_ = false;
  double pointA_[kPointTrials], pointC_[kPointTrials];
  int pointIndex_[kPointTrials];
  int points_ = 0;
};

// First inner index whose alpha is above 0 at record 2 (all before it are
// frozen trials).
int FirstLiveTrial(const TSearchProblem& problem, int i) {
  const double a = TrialAOf(i);
  int j = 1;
  while (j <= kInnerTrials && !(a * problem.firstRunoff + TrialCOf(j) > 0)) ++j;
  return j;
}

// A piece of the grid: rows i0 .. i1, columns j0 .. j1.
struct TWork {
  int i0, i1, j0, j1;
};

constexpr int kBoxColumns = 32;
constexpr int kBatches = (kOuterTrials + kBatchRows - 1) / kBatchRows;
constexpr int kColumnBlocks = (kInnerTrials + kBoxColumns - 1) / kBoxColumns;

// Pieces of up to kBatchRows rows and kBoxColumns columns, in trial order,
// from the column `firstColumn(last row of the batch)` on.
template <class FirstColumn>
std::vector<TWork> WorkPieces(FirstColumn firstColumn) {
  std::vector<TWork> work;
  for (int batch = 0; batch < kOuterTrials; batch += kBatchRows) {
    const int lastRow = std::min(kOuterTrials, batch + kBatchRows) - 1;
    for (int j = firstColumn(lastRow); j <= kInnerTrials; j += kBoxColumns) {
      work.push_back({batch, lastRow, j, std::min(kInnerTrials, j + kBoxColumns - 1)});
    }
  }
  return work;
}

// Runs task(k) for k = 0 .. count - 1 on `threads` threads.
template <class Task>
void RunParallel(int count, int threads, Task task) {
  std::atomic<int> next(0);
  const auto worker = [&]() {
    for (int k; (k = next.fetch_add(1)) < count;) task(k);
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < std::min(threads, count); ++t) pool.emplace_back(worker);
  worker();
  for (auto& thread : pool) thread.join();
}

// The outer trials of batches b0 to b1, and the inner trials of column
// blocks k0 to k1.
void BatchRows(int b0, int b1, int* i0, int* i1) {
  *i0 = b0 * kBatchRows;
  *i1 = std::min(kOuterTrials - 1, b1 * kBatchRows + kBatchRows - 1);
}
void BlockColumns(int k0, int k1, int* j0, int* j1) {
  *j0 = 1 + k0 * kBoxColumns;
  *j1 = std::min(kInnerTrials, (k1 + 1) * kBoxColumns);
}

constexpr int kRegionSpan = 8;
constexpr int kRegionRows = (kBatches + kRegionSpan - 1) / kRegionSpan;
constexpr int kRegionColumns = (kColumnBlocks + kRegionSpan - 1) / kRegionSpan;

// Which regions of the grid, of kRegionSpan batches of rows by kRegionSpan
// blocks of kBoxColumns columns, may hold trials that still beat `bound`.
// A region is dropped whole when even alpha free to move within its range
// from record to record cannot reach `bound`: far
// from the optimum, where trials freeze at the point below which alpha is 0
// or overshoot it after a storm, their runoffs part too much for the box
// walk, and each trial would be walked on its own.
//
// A region's bound is taken with a few cells first, which costs a quarter of
// the full one: a region far below `bound` stays in as it is (the full bound
// would seldom drop it), one above it is dropped, and only those in between
// get the full bound.
//
// With `rechargeHigh` the regions are those of every problem whose recharge
// lies between the problem's and that series.
std::vector<char> LiveRegions(const TSearchProblem& problem, double bound, int threads,
                              const std::vector<double>* rechargeHigh = nullptr) {
  constexpr int kRegionCells = 64;
  constexpr int kCoarseCells = 16;
  constexpr double kCoarseShare = 0.1;
  std::vector<char> live(kRegionRows * kRegionColumns);
  const double top = BlockCellsTop(problem);
  RunParallel(kRegionRows * kRegionColumns, threads, [&](int region) {
    const int b0 = region / kRegionColumns * kRegionSpan;
    const int k0 = region % kRegionColumns * kRegionSpan;
    int i0, i1, j0, j1;
    BatchRows(b0, std::min(kBatches - 1, b0 + kRegionSpan - 1), &i0, &i1);
    BlockColumns(k0, std::min(kColumnBlocks - 1, k0 + kRegionSpan - 1), &j0, &j1);
    const auto least = [&](int cells) {
      return LeastSumOfBlock(problem, TrialAOf(i0), TrialAOf(i1), TrialCOf(j0), TrialCOf(j1), cells,
                             top, rechargeHigh) *
             (1 - kSumSlack);
    };
    const double coarse = least(kCoarseCells);
    live[region] =
        !(coarse > bound) && (coarse < kCoarseShare * bound || !(least(kRegionCells) > bound));
  });
  return live;
}

// The pieces of the grid (batches of rows by blocks of kBoxColumns columns,
// from the first live column of each batch on) in the live regions, in
// trial order; with `rechargeHigh` those of every problem whose recharge
// lies between the problem's and that series.
std::vector<TWork> LivePieces(const TSearchProblem& problem, double bound, int threads,
                              const std::vector<double>* rechargeHigh = nullptr) {
  const std::vector<char> live = LiveRegions(problem, bound, threads, rechargeHigh);
  std::vector<TWork> work;
  for (int b = 0; b < kBatches; ++b) {
    int i0, i1;
    BatchRows(b, b, &i0, &i1);
    const int firstLive = FirstLiveTrial(problem, i1);
    for (int k = 0; k < kColumnBlocks; ++k) {
      if (!live[b / kRegionSpan * kRegionColumns + k / kRegionSpan]) continue;
      int j0, j1;
      BlockColumns(k, k, &j0, &j1);
      j0 = std::max(j0, firstLive);
      if (j0 <= j1) work.push_back({i0, i1, j0, j1});
    }
  }
  return work;
}

// Runs the pieces on `threads` workers, which take them in order; each
// worker gets its own state from makeWorker() and calls it as
// state(piece, best). This thread tells the progress as the pieces of each
// batch of rows are reached. Returns the best of `start` and the workers'.
// A cancel stops the workers before their next piece; then this throws.
template <class MakeWorker>
TCandidate RunPieces(const std::vector<TWork>& work, int threads, TCandidate start,
                     const TSearchProgress& progress, const TSearchCancel& cancel,
                     MakeWorker makeWorker) {
  std::atomic<bool> stopped(false);
  std::mutex lock;
  std::condition_variable reached;
  int nextWork = 0;
  int finishedWorkers = 0;
  TCandidate overall = start;
  const auto worker = [&]() {
    TCandidate best;
    auto state = makeWorker();
    for (;;) {
      int k;
      {
        std::lock_guard<std::mutex> guard(lock);
        k = nextWork++;
      }
      reached.notify_one();
      if (k >= static_cast<int>(work.size())) break;
      if (cancel && cancel()) {
        stopped = true;
        break;
      }
      state(work[k], best);
    }
    std::lock_guard<std::mutex> guard(lock);
    if (best.Beats(overall)) overall = best;
    ++finishedWorkers;
    reached.notify_one();
  };
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) pool.emplace_back(worker);
  {
    // Progress is told at outer indices 150, 200, ..., 1950.
    int told = 150;
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
      // Read before the lines are told: workers that end while a line is
      // being told leave lines to tell, told in the next round.
      const bool allFinished = finishedWorkers == threads;
      const int reachedRow =
          nextWork >= static_cast<int>(work.size()) ? kOuterTrials : work[nextWork].i0;
      while (told < kOuterTrials - 1 && told <= reachedRow) {
        if (progress) {
          guard.unlock();
          progress(told);
          guard.lock();
        }
        told += kBatchRows;
      }
      if (allFinished) break;
      if (finishedWorkers != threads) reached.wait(guard);
    }
  }
  for (auto& thread : pool) thread.join();
  if (stopped) throw TSearchCancelled();
  return overall;
}

int ThreadsToUse(int threads) {
  return threads > 0 ? threads
                     : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// The result of a search given a bound from elsewhere: none when it is
// above that bound.
TSearchResult WithinBound(const TSearchResult& result, double bound) {
  return result.Found() && result.sum <= bound ? result : TSearchResult{};
}

}  // namespace

TSearchResult PrunedSearch(const TSearchProblem& problem, int threads,
                           const TSearchProgress& progress, double startBound,
                           const TSearchCancel& cancel) {
  const TCandidate start = PreScan(problem, startBound);
  TSharedBound bound(start.index >= 0 ? start.sum : kNoTrialYet);
  bound.Offer(startBound);
  const auto work = WorkPieces([](int) { return 1; });
  const TCandidate overall = RunPieces(work, ThreadsToUse(threads), start, progress, cancel, [&]() {
    return [&](const TWork& piece, TCandidate& best) {
      for (int i = piece.i0; i <= piece.i1; ++i) {
        for (int j = piece.j0; j <= piece.j1; ++j) {
          // A trial is dropped once its partial sum passes the best sum
          // so far: every term is at least 0.
          const double limit = bound.Get();
          const double sum = EvaluateTrial(problem, TrialAOf(i), TrialCOf(j), limit);
          if (sum > limit) continue;
          const TCandidate candidate{sum, i * kInnerTrials + (j - 1)};
          if (candidate.Beats(best)) best = candidate;
          bound.Offer(sum);
        }
      }
    };
  });
  return WithinBound(ResultOf(overall), startBound);
}

TSearchResult FastSearch(const TSearchProblem& problem, int threads,
                         const TSearchProgress& progress, double startBound,
                         const TSearchCancel& cancel) {
  if (!BoxWalkApplies(problem)) {
    return PrunedSearch(problem, threads, progress, startBound, cancel);
  }
  // A bound from elsewhere is most often one that this problem cannot beat
  // (the other storages of a calibration): the pre-scan's trials would only
  // be walked to that bound and dropped.
  const TCandidate start = startBound < kNoTrialYet ? TCandidate{} : PreScan(problem);
  TSharedBound bound(start.index >= 0 ? start.sum : kNoTrialYet);
  bound.Offer(startBound);
  TCandidate overall = start;
  // Trials whose alpha is 0 at once keep the first runoff for good and share
  // one sum; the first of them is trial (0, 1).
  const TCandidate frozen{FrozenSum(problem), 0};
  if (frozen.sum < kNoTrialYet && frozen.Beats(overall)) overall = frozen;
  bound.Offer(frozen.sum);

  const auto work = LivePieces(problem, bound.Get(), ThreadsToUse(threads));
  overall = RunPieces(work, ThreadsToUse(threads), overall, progress, cancel, [&]() {
    // Boxes split once their runoff range is wider than a few typical
    // residuals of the best trial so far.
    const double width = 4 * std::sqrt(bound.Get() / std::max(1, problem.count));
    return
        [search = TBoxSearch(problem, bound, width)](const TWork& piece, TCandidate& best) mutable {
          search.Run(piece.i0, piece.i1, piece.j0, piece.j1, best);
        };
  });
  return WithinBound(ResultOf(overall), startBound);
}

namespace {

// Whether the problems differ in their recharge only.
bool SameRecords(const TSearchProblem& x, const TSearchProblem& y) {
  return x.count == y.count && x.timeStep == y.timeStep && x.measured == y.measured &&
         std::bit_cast<std::uint64_t>(x.firstRunoff) == std::bit_cast<std::uint64_t>(y.firstRunoff);
}

// One search after the other, each with the least sum so far as its bound.
TGroupSearchResult SearchEachMember(const std::vector<TSearchProblem>& problems, int threads,
                                    double bound, const TSearchCancel& cancel) {
  TGroupSearchResult best;
  for (std::size_t p = 0; p < problems.size(); ++p) {
    const TSearchResult found = FastSearch(problems[p], threads, nullptr, bound, cancel);
    // A later problem wins only with a smaller sum.
    if (found.Found() && (!best.Found() || found.sum < best.sum)) {
      static_cast<TSearchResult&>(best) = found;
      best.member = static_cast<int>(p);
      bound = found.sum;
    }
  }
  return best;
}

}  // namespace

TGroupSearchResult FastSearchGroup(const std::vector<TSearchProblem>& problems, int threads,
                                   double startBound, const TSearchCancel& cancel) {
  if (problems.empty()) return {};
  bool together = problems.size() > 1;
  for (const TSearchProblem& problem : problems) {
    together = together && BoxWalkApplies(problem) && SameRecords(problem, problems.front());
  }
  if (!together) return SearchEachMember(problems, threads, startBound, cancel);

  // The least recharge of every record, and the greatest.
  TSearchProblem low = problems.front();
  std::vector<double> high = low.recharge;
  int highUntil = 0;
  for (const TSearchProblem& problem : problems) {
    for (int n = 2; n <= low.count; ++n) {
      low.recharge[n] = std::min(low.recharge[n], problem.recharge[n]);
      high[static_cast<std::size_t>(n)] =
          std::max(high[static_cast<std::size_t>(n)], problem.recharge[n]);
    }
  }
  for (int n = 2; n <= low.count; ++n) {
    if (low.recharge[n] != high[static_cast<std::size_t>(n)]) highUntil = n;
  }

  TCandidate start = startBound < kNoTrialYet ? TCandidate{} : PreScan(problems.front());
  TSharedBound bound(start.index >= 0 ? start.sum : kNoTrialYet);
  bound.Offer(startBound);
  TCandidate overall = start;
  for (std::size_t p = 0; p < problems.size(); ++p) {
    const TCandidate frozen{FrozenSum(problems[p]), 0, static_cast<int>(p)};
    if (frozen.sum < kNoTrialYet && frozen.Beats(overall)) overall = frozen;
    bound.Offer(frozen.sum);
  }

  const int workers = ThreadsToUse(threads);
  const auto work = LivePieces(low, bound.Get(), workers, &high);
  // The runoffs of the problems part where their recharge does, and meet
  // again as fast as the trial's reservoir forgets.
  std::vector<double> spread(high.size(), 0.0);
  for (const auto& [i, j] : {std::pair{100, 950}, {200, 1000}, {400, 1000}, {1000, 1050}}) {
    std::vector<double> runoff(problems.size(), low.firstRunoff);
    for (int n = 2; n <= low.count; ++n) {
      double least = INFINITY, most = -INFINITY;
      for (std::size_t p = 0; p < problems.size(); ++p) {
        runoff[p] = NextRunoff(runoff[p], problems[p].recharge[n], TrialAOf(i), TrialCOf(j),
                               low.timeStep[n]);
        least = std::min(least, runoff[p]);
        most = std::max(most, runoff[p]);
      }
      spread[static_cast<std::size_t>(n)] =
          std::max(spread[static_cast<std::size_t>(n)], most - least);
    }
  }
  const TGroupView group{&problems, &high, highUntil, &spread};
  overall = RunPieces(work, workers, overall, nullptr, cancel, [&]() {
    const double width = 4 * std::sqrt(bound.Get() / std::max(1, low.count));
    return [search = TBoxSearch(low, bound, width, group)](const TWork& piece,
                                                           TCandidate& best) mutable {
      search.Run(piece.i0, piece.i1, piece.j0, piece.j1, best);
    };
  });
  TGroupSearchResult result;
  static_cast<TSearchResult&>(result) = WithinBound(ResultOf(overall), startBound);
  if (result.Found()) result.member = overall.member;
  return result;
}
