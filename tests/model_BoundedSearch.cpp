// The search as the storage calibration uses it: given a bound from
// elsewhere, and over a group of recharge series at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "AlphaSearch.h"
#include "AlphaSearchBlock.h"
#include "AlphaSearchLanes.h"
#include "SearchData.h"
#include "StorageCalibration.h"
#include "TestSupport.h"
#include "UDMTevlora.h"
#include "URainRun.h"

namespace {

TEST(BoundedSearch, KeepsTheOptimumUpToTheBoundAndNothingBelowIt) {
  for (const TSearchProblem& problem :
       {GeneratedSearchProblem(30, 11), NoisySearchProblem(40, 5, 0.1, true)}) {
    const TSearchResult reference = ReferenceSearch(problem);
    ASSERT_TRUE(reference.Found());
    const double optimum = reference.sum;
    struct TCase {
      double bound;
      bool found;
    };
    const TCase cases[] = {{optimum, true},
                           {std::nextafter(optimum, INFINITY), true},
                           {1.01 * optimum, true},
                           {std::nextafter(optimum, 0.0), false},
                           {0.5 * optimum, false}};
    for (const auto& test : cases) {
      for (int threads : {1, 2}) {
        const TSearchResult fast = FastSearch(problem, threads, nullptr, test.bound);
        EXPECT_EQ(fast.Found(), test.found) << test.bound;
        if (test.found) {
          EXPECT_TRUE(fast.outer == reference.outer && fast.inner == reference.inner &&
                      fast.sum == reference.sum)
              << test.bound;
        }
      }
    }
  }
}

TEST(BoundedSearch, BlockBoundOfTwoRechargesNeverPassesASumOfEither) {
  // The second series takes less of the early storms, as a larger dead
  // storage would, and more of a later one: the two cross, so neither is
  // the low one throughout. The measured runoff is that of trial
  // (220, 1160) on the second: the bound of its block must be 0, which
  // neither series alone gives.
  TSearchProblem first = NoisySearchProblem(80, 21, 0.15);
  TSearchProblem second = first;
  for (int n = 2; n <= 30; ++n) second.recharge[n] = std::max(0.0, first.recharge[n] - 3);
  second.recharge[40] += 5;
  double q = first.firstRunoff;
  for (int n = 2; n <= 80; ++n) {
    const double f =
        std::exp(-std::max(0.0, TrialAOf(220) * q + TrialCOf(1160)) * second.timeStep[n]);
    q = q * f + second.recharge[n] * (1 - f);
    first.measured[n] = second.measured[n] = q;
  }
  TSearchProblem low = first;
  std::vector<double> high = first.recharge;
  for (int n = 2; n <= 80; ++n) {
    low.recharge[n] = std::min(first.recharge[n], second.recharge[n]);
    high[n] = std::max(first.recharge[n], second.recharge[n]);
  }
  const struct {
    int i0, i1, j0, j1;
  } blocks[] = {{0, 49, 1, 32},
                {200, 249, 1150, 1181},
                {100, 140, 960, 1040},
                {1000, 1399, 500, 755},
                {0, 2000, 1, 2000}};
  double farthest = 0;  // against a bound that holds by being 0
  for (const auto& block : blocks) {
    std::vector<std::pair<int, int>> trials = {{220, 1160}};
    for (int i = block.i0; i <= block.i1; i += std::max(1, (block.i1 - block.i0) / 6)) {
      for (int j = block.j0; j <= block.j1; j += std::max(1, (block.j1 - block.j0) / 6)) {
        trials.push_back({i, j});
      }
    }
    double least = INFINITY;
    for (const auto& [i, j] : trials) {
      if (i < block.i0 || i > block.i1 || j < block.j0 || j > block.j1) continue;
      for (const TSearchProblem* problem : {&first, &second}) {
        least = std::min(least, EvaluateTrial(*problem, TrialAOf(i), TrialCOf(j), INFINITY));
      }
    }
    const double bound =
        LeastSumOfBlock(low, TrialAOf(block.i0), TrialAOf(block.i1), TrialCOf(block.j0),
                        TrialCOf(block.j1), 64, BlockCellsTop(low), &high);
    EXPECT_LE(bound, least) << "block " << block.i0 << " " << block.j0;
    if (least > 0) farthest = std::max(farthest, bound / least);
  }
  EXPECT_GT(farthest, 0.25);
}

TEST(BoundedSearch, GroupedCalibrationKeepsTheBestOfTheFullProfile) {
  // The full profile searches every pair on its own, with no bound.
  TDMTevlora data;
  data.FileName = ExampleDataFile("spotpy_d_spring2013.inp");
  ASSERT_TRUE(data.ReadInputFile());
  TAnalysisRun run;
  run.RegressionOff = true;
  ReadAndCheckText(data, run, *data.InputFileText());
  TStorageRanges ranges;
  ranges.MaxStorage = {2, 40, 2};
  ranges.InitialFractions = {0, 0.3, 0.6, 1};
  TStorageCalibration calibrations[2];
  for (const bool full : {true, false}) {
    TStorageCalibrationOptions options;
    options.Threads = 2;
    options.FullProfile = full;
    calibrations[full ? 0 : 1] = CalibrateStorages(run, ranges, options);
  }
  const auto& [profile, shared] = calibrations;
  ASSERT_TRUE(profile.Found && shared.Found);
  EXPECT_TRUE(shared.Best == profile.Best && shared.A == profile.A && shared.C == profile.C &&
              shared.SumSq == profile.SumSq);
}

// A group of recharge series that differ early, as those of the initial
// storages of one maximum storage: the group search gives the first least
// sum of the plain search of each, whatever the path and threads, with or
// without a bound. The second series, the records' own, has the least sum;
// the fourth repeats it, ties and must lose.
TEST(BoundedSearch, SlowGroupSearchIsThePlainSearchOfEachMember) {
  const TSearchProblem base = NoisySearchProblem(36, 9, 0.1, true);
  std::vector<TSearchProblem> members(4, base);
  for (int n = 2; n <= 8; ++n) {
    members[0].recharge[n] = std::max(0.0, base.recharge[n] - 2);
    members[2].recharge[n] = base.recharge[n] + 1.5;
  }
  members[3] = members[1];
  TSearchResult plain[4];
  int best = 0;
  for (int p = 0; p < 3; ++p) {
    plain[p] = ReferenceSearch(members[p]);
    if (plain[p].sum < plain[best].sum) best = p;
  }
  ASSERT_TRUE(best == 1 && plain[0].sum != plain[1].sum && plain[2].sum != plain[1].sum);
  for (const TSearchPath path : kSearchPaths) {
    if (!SearchPathAvailable(path)) continue;
    const TSearchPath before = ActiveSearchPath();
    UseSearchPath(path);
    for (const double bound :
         {kNoTrialYet, plain[best].sum, std::nextafter(plain[best].sum, 0.0)}) {
      for (const int threads : {1, 2}) {
        const TGroupSearchResult group = FastSearchGroup(members, threads, bound);
        const bool within = plain[best].sum <= bound;
        EXPECT_EQ(group.Found(), within) << SearchPathName(path) << " " << bound;
        if (within) {
          EXPECT_TRUE(group.member == best && group.outer == plain[best].outer &&
                      group.inner == plain[best].inner && group.sum == plain[best].sum)
              << SearchPathName(path) << " member " << group.member << " " << threads;
        }
      }
    }
    UseSearchPath(before);
  }
}

// A leaf box walked on in floats never drops a trial that is within the
// bound from some runoff of its range:
// - a range that is the trial's own runoff, with its exact sum up to there
//   and the bound at its exact sum, the tightest case for its rounding;
// - one record to go from a range around the peak of the next runoff, the
//   measured runoff far above: only the peak comes within the bound.
// Both with one recharge series and between two.
TEST(BoundedSearch, LeafBoxesInFloatsKeepEveryTrialWithinTheBound) {
  TSearchProblem problem = NoisySearchProblem(240, 17, 0.1, true);
  std::vector<double> high = problem.recharge;
  for (int n = 2; n <= 40; ++n) high[static_cast<std::size_t>(n)] += 0.5 * (n % 3);
  const auto walk = [&](const TLeafBox& leaf, double bound, bool between) {
    unsigned alive = 0;
    WalkLeafBoxes(problem, &leaf, 1, bound, between ? high.data() : nullptr, between ? 40 : 0,
                  &alive);
    return alive;
  };
  const TSearchPath saved = ActiveSearchPath();
  for (const TSearchPath path : kSearchPaths) {
    if (!UseSearchPath(path)) continue;
    for (const bool between : {false, true}) {
      for (int k = 0; k < 12; ++k) {
        TLeafBox leaf;
        leaf.lanes = 1;
        leaf.a[0] = TrialAOf(150 + 40 * k);
        leaf.c[0] = TrialCOf(k % 2 ? 960 : 1010);  // alpha 0 below -C / A
        leaf.step = 2 + 17 * k;
        double q = problem.firstRunoff, sum = 0;
        for (int n = 2; n <= problem.count; ++n) {
          q = NextRunoff(q, problem.recharge[n], leaf.a[0], leaf.c[0], problem.timeStep[n]);
          sum += std::pow(q - problem.measured[n], 2);
          if (n == leaf.step) {
            leaf.low = leaf.high = q;
            leaf.lowerSum = sum;
          }
        }
        EXPECT_EQ(walk(leaf, sum, between), 1u) << SearchPathName(path) << " trial " << k;
      }
    }
    // Without recharge the next runoff q exp(-A q dt) peaks at 1 / (A dt).
    const int last = problem.count;
    TLeafBox leaf;
    leaf.lanes = 1;
    leaf.a[0] = TrialAOf(2000);
    leaf.c[0] = TrialCOf(1000);
    const double peak = 1 / (leaf.a[0] * problem.timeStep[last]);
    leaf.step = last - 1;
    leaf.low = 0.5 * peak;
    leaf.high = 1.5 * peak;
    leaf.lowerSum = 10;
    problem.recharge[last] = 0;
    problem.measured[last] = 100 * peak;
    const double next = NextRunoff(peak, 0, leaf.a[0], leaf.c[0], problem.timeStep[last]);
    const double bound = leaf.lowerSum + std::pow(problem.measured[last] - next, 2);
    EXPECT_EQ(walk(leaf, bound, false), 1u) << SearchPathName(path);
    EXPECT_EQ(walk(leaf, 0.999 * bound, false), 0u) << SearchPathName(path);
    problem = NoisySearchProblem(240, 17, 0.1, true);
  }
  UseSearchPath(saved);
}

}  // namespace
