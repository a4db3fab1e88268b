// The search as the storage calibration uses it: given a bound from
// elsewhere, and with regions of the grid dropped once for several recharge
// series at a time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "AlphaSearch.h"
#include "AlphaSearchBlock.h"
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

TEST(BoundedSearch, CalibrationWithSharedRegionsKeepsTheBestOfTheFullProfile) {
  // The full profile searches every pair on its own, with no bound and no
  // shared regions.
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

}  // namespace
