// The fast search must give exactly what the plain search gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "AlphaSearch.h"
#include "AlphaSearchBlock.h"
#include "AlphaSearchLanes.h"
#include "SearchData.h"
#include "TestSupport.h"

namespace {

// Every vector path this processor has, the plain one included.
std::vector<TSearchPath> AvailablePaths() {
  std::vector<TSearchPath> paths;
  for (TSearchPath path : kSearchPaths) {
    if (SearchPathAvailable(path)) paths.push_back(path);
  }
  return paths;
}

// Puts the path the search had back when a test is done.
struct TPathGuard {
  TSearchPath saved = ActiveSearchPath();
  ~TPathGuard() { UseSearchPath(saved); }
};

void ExpectSameResult(const TSearchProblem& problem, const char* what) {
  SCOPED_TRACE(what);
  SCOPED_TRACE("records " + std::to_string(problem.count));
  const TSearchResult reference = ReferenceSearch(problem);
  TPathGuard guard;
  for (TSearchPath path : AvailablePaths()) {
    ASSERT_TRUE(UseSearchPath(path));
    SCOPED_TRACE(std::string("vector path ") + SearchPathName(path));
    for (int threads : {1, 2, 5}) {
      SCOPED_TRACE("threads " + std::to_string(threads));
      const TSearchResult fast = FastSearch(problem, threads);
      EXPECT_EQ(fast.outer, reference.outer);
      EXPECT_EQ(fast.inner, reference.inner);
      EXPECT_EQ(fast.sum, reference.sum);  // bit for bit
    }
  }
}

// The runoff of trial (i, j) as the plain search routes it.
std::vector<double> RunoffOfTrial(const TSearchProblem& problem, int i, int j) {
  std::vector<double> q(problem.count + 1, problem.firstRunoff);
  for (int n = 2; n <= problem.count; ++n) {
    const double alpha = std::max(0.0, TrialAOf(i) * q[n - 1] + TrialCOf(j));
    const double f = std::exp(-alpha * problem.timeStep[n]);
    q[n] = q[n - 1] * f + problem.recharge[n] * (1 - f);
  }
  return q;
}

// The records with one step of 0, a long one and a huge one.
TSearchProblem WithOddSteps(TSearchProblem problem) {
  problem.timeStep[5] = 0;
  problem.timeStep[9] = 300;
  problem.timeStep[30] = 1e9;
  return problem;
}

// Storms of `stormRecords` records every `period` records and no recharge
// between them: trials with C < 0 settle where alpha reaches 0 and the
// storms drive them off it again.
TSearchProblem SettlingBetweenStorms(int count, unsigned seed, int period, int stormRecords) {
  TSearchProblem problem = NoisySearchProblem(count, seed, 0.05);
  for (int n = 2; n <= count; ++n) problem.recharge[n] = n % period < stormRecords ? 8.0 : 0.0;
  return problem;
}

TEST(AlphaSearch, SameAsThePlainSearchOnGeneratedCatchments) {
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    for (int count : {2, 3, 7, 24}) {
      ExpectSameResult(GeneratedSearchProblem(count, seed), "catchment");
    }
  }
}

TEST(AlphaSearch, SameAsThePlainSearchOnHardCases) {
  for (unsigned seed : {11u, 12u}) {
    ExpectSameResult(GeneratedSearchProblem(30, seed, TGeneratedKind::Penalties), "penalties");
    ExpectSameResult(GeneratedSearchProblem(30, seed, TGeneratedKind::Flat), "flat");
    ExpectSameResult(GeneratedSearchProblem(30, seed, TGeneratedKind::ZeroSteps), "zero steps");
  }
  // Long steps and big values, where alpha is 0 up to high runoff.
  TSearchProblem problem = GeneratedSearchProblem(20, 5);
  for (int n = 2; n <= problem.count; ++n) {
    problem.timeStep[n] *= 3;
    problem.recharge[n] *= 20;
    problem.measured[n] *= 20;
  }
  ExpectSameResult(problem, "long steps");
}

TEST(AlphaSearch, SameAsThePlainSearchOnLongerRecords) {
  ExpectSameResult(GeneratedSearchProblem(80, 21), "catchment");
  ExpectSameResult(GeneratedSearchProblem(80, 22, TGeneratedKind::Penalties), "penalties");
}

TEST(AlphaSearch, SameAsThePlainSearchOnRealHourlyData) {
  const TSearchProblem problem =
      SearchProblemFromInputFile(TestDataFile("hupsel_h_winter1112_1500.inp"), 120);
  ASSERT_EQ(problem.count, 120);
  ExpectSameResult(problem, "hupsel winter, first 120 hours");
}

TEST(AlphaSearch, SameAsThePlainSearchOnNoisyAndSlowlyContractingData) {
  // Noisy runoff of several mm, optimum well inside the grid: many trials
  // come close to the best, so ranges must be tight to drop them.
  ExpectSameResult(NoisySearchProblem(40, 31, 0.12), "noisy");
  ExpectSameResult(NoisySearchProblem(40, 32, 0.20), "very noisy");
  // Daily-like records whose reservoir contracts slowly: leaves inherit wide
  // ranges from their boxes and start again from the first record.
  ExpectSameResult(NoisySearchProblem(60, 33, 0.12, true), "slow");
  const TSearchProblem daily = SearchProblemFromInputFile(
      std::string(PROJECT_DATA_DIR) + "/spotpy_d_2013_2016_full.inp", 60);
  ASSERT_EQ(daily.count, 60);
  ExpectSameResult(daily, "four years daily, first 60 days");
}

TEST(AlphaSearch, SameAsThePlainSearchWithNegativeRechargeOrRunoff) {
  // Negative rain at record 2 with a dead storage above its maximum gives a
  // negative recharge, and runoff below 0 for the faster trials.
  TSearchProblem problem = NoisySearchProblem(12, 41, 0.1);
  problem.recharge[2] = -4;
  ASSERT_LT(RunoffOfTrial(problem, 2000, 2000)[2], 0);
  ExpectSameResult(problem, "negative recharge at record 2");
  problem.recharge[7] = -0.5;
  ExpectSameResult(problem, "negative recharge twice");
  TSearchProblem below = NoisySearchProblem(12, 42, 0.1);
  below.firstRunoff = -0.3;
  ExpectSameResult(below, "negative first runoff");
}

TEST(AlphaSearch, SameAsThePlainSearchAtTheEdges) {
  // Measured runoff that one trial reproduces exactly: the best sum is 0 and
  // nothing may be dropped for rounding.
  TSearchProblem exact = NoisySearchProblem(16, 51, 0.1);
  const std::vector<double> q = RunoffOfTrial(exact, 300, 1150);
  for (int n = 2; n <= exact.count; ++n) exact.measured[n] = q[n];
  ExpectSameResult(exact, "exact fit");
  // Two trials half a unit of the last digit apart: near-ties.
  TSearchProblem near = exact;
  const std::vector<double> other = RunoffOfTrial(near, 301, 1150);
  for (int n = 2; n <= near.count; ++n) near.measured[n] = (q[n] + other[n]) / 2;
  ExpectSameResult(near, "near-tie");
  // A miss of 1000 right at the penalty's edge for the trials about one.
  TSearchProblem edge = exact;
  edge.measured[9] = q[9] + 1000;
  ExpectSameResult(edge, "penalty edge");
  // Steps of 0 and huge steps.
  TSearchProblem steps = NoisySearchProblem(16, 52, 0.1);
  steps.timeStep[3] = 0;
  steps.timeStep[4] = 0;
  steps.timeStep[8] = 5000;
  steps.timeStep[12] = 1e9;
  ExpectSameResult(steps, "zero and huge steps");
}

TEST(AlphaSearch, EveryVectorPathWalksItsLanesLikeThePlainOne) {
  // The survivors of a leaf walk are the same on every path up to the
  // rounding room; on data far from any edge they agree exactly.
  const TSearchProblem problem = NoisySearchProblem(200, 61, 0.12);
  std::vector<double> inverseStep(problem.count + 1);
  for (int n = 2; n <= problem.count; ++n) inverseStep[n] = 1 / problem.timeStep[n];
  double a[kPointTrials], c[kPointTrials];
  for (int t = 0; t < kPointTrials; ++t) {
    a[t] = TrialAOf(100 + 3 * (t / 8));
    c[t] = TrialCOf(1050 + 7 * (t % 8));
  }
  double sums[kPointTrials];
  for (int t = 0; t < kPointTrials; ++t) sums[t] = EvaluateTrial(problem, a[t], c[t], 1e300);
  double sorted[kPointTrials];
  std::copy(sums, sums + kPointTrials, sorted);
  std::sort(sorted, sorted + kPointTrials);
  // A bound between the 10th and 11th best sums keeps exactly those ten.
  const double bound = (sorted[9] + sorted[10]) / 2;
  std::uint64_t expected = 0;
  for (int t = 0; t < kPointTrials; ++t) {
    if (sums[t] <= bound) expected |= std::uint64_t{1} << t;
  }
  TPathGuard guard;
  for (TSearchPath path : AvailablePaths()) {
    ASSERT_TRUE(UseSearchPath(path));
    SCOPED_TRACE(SearchPathName(path));
    EXPECT_EQ(WalkPointTrials(problem, inverseStep.data(), a, c, kPointTrials, bound), expected);
  }
}

TEST(AlphaSearch, NoWalkDropsATrialThatMayWin) {
  // Trials all over the grid (many with C < 0, whose runoff settles where
  // alpha reaches 0 and is driven off it again by rain) against a bound
  // between two exact sums: every trial at or below it must survive both
  // walks, the double and the single-precision one, on every path.
  const struct {
    const char* what;
    TSearchProblem problem;
  } cases[] = {
      {"noisy", NoisySearchProblem(300, 71, 0.2)},
      {"slow", NoisySearchProblem(300, 73, 0.12, true)},
      {"settling at alpha 0 between storms", SettlingBetweenStorms(150, 74, 40, 3)},
      {"zero and huge steps", WithOddSteps(NoisySearchProblem(120, 72, 0.1))},
      {"penalties", GeneratedSearchProblem(100, 75, TGeneratedKind::Penalties)},
      {"four years daily",
       SearchProblemFromInputFile(std::string(PROJECT_DATA_DIR) + "/spotpy_d_2013_2016_full.inp",
                                  400)},
  };
  TPathGuard guard;
  for (const auto& [what, problem] : cases) {
    SCOPED_TRACE(what);
    ASSERT_GT(problem.count, 50);
    ASSERT_TRUE(SinglePrecisionApplies(problem));
    std::vector<double> inverseStep(problem.count + 1);
    for (int n = 2; n <= problem.count; ++n) {
      inverseStep[n] = problem.timeStep[n] > 0 ? 1 / problem.timeStep[n] : INFINITY;
    }
    for (int block = 0; block < 6; ++block) {
      double a[kPointTrials], c[kPointTrials], sums[kPointTrials];
      for (int t = 0; t < kPointTrials; ++t) {
        a[t] = TrialAOf(block * 300 + 40 * (t / 8));
        c[t] = TrialCOf(500 + block * 150 + 30 * (t % 8));
        sums[t] = EvaluateTrial(problem, a[t], c[t], 1e300);
      }
      std::vector<double> sorted(sums, sums + kPointTrials);
      std::sort(sorted.begin(), sorted.end());
      double bound = sorted[10];  // reached exactly by one of them
      // In block 5 the measured runoff is that of one trial: its sum is 0,
      // and every rounding of the walks must be made up for.
      TSearchProblem exact = problem;
      if (block == 5) {
        const std::vector<double> q = RunoffOfTrial(problem, 1500 + 40 * 2, 1250 + 30 * 5);
        for (int n = 2; n <= exact.count; ++n) exact.measured[n] = q[n];
        for (int t = 0; t < kPointTrials; ++t) sums[t] = EvaluateTrial(exact, a[t], c[t], 1e300);
        bound = 0;
      }
      std::uint64_t winners = 0;
      for (int t = 0; t < kPointTrials; ++t) {
        if (sums[t] <= bound) winners |= std::uint64_t{1} << t;
      }
      ASSERT_NE(winners, 0u);
      for (TSearchPath path : AvailablePaths()) {
        ASSERT_TRUE(UseSearchPath(path));
        SCOPED_TRACE(SearchPathName(path));
        for (bool single : {false, true}) {
          const std::uint64_t kept =
              WalkPointTrials(exact, inverseStep.data(), a, c, kPointTrials, bound, single);
          EXPECT_EQ(kept & winners, winners) << "block " << block << (single ? " float" : "");
        }
      }
    }
  }
}

TEST(AlphaSearch, BlockBoundNeverPassesASumOfItsBlock) {
  // The least sum of a block of trials, with alpha free to move within the
  // block's range, is at most the exact sum of every trial in it: checked
  // on corners and scattered trials of blocks near and far from the
  // optimum, across C = 0, on the whole grid, for coarse and fine cells.
  const TSearchProblem settling = SettlingBetweenStorms(80, 83, 20, 2);
  // Measured runoff that a trial of a block reproduces: its sum, and the
  // bound of every block around it, is 0, so every reach must hold it.
  TSearchProblem fitted = settling, fittedNoisy = NoisySearchProblem(80, 84, 0.2);
  const std::vector<double> kinked = RunoffOfTrial(fitted, 1200, 600);
  const std::vector<double> plain = RunoffOfTrial(fittedNoisy, 220, 1160);
  for (int n = 2; n <= 80; ++n) {
    fitted.measured[n] = kinked[n];
    fittedNoisy.measured[n] = plain[n];
  }
  const struct {
    const char* what;
    TSearchProblem problem;
  } cases[] = {
      {"noisy", NoisySearchProblem(80, 81, 0.2)},
      {"fitted by trial (1200, 600)", fitted},
      {"fitted by trial (220, 1160)", fittedNoisy},
      {"zero and huge steps", WithOddSteps(NoisySearchProblem(80, 82, 0.1))},
      {"settling at alpha 0 between storms", settling},
      {"four years daily", SearchProblemFromInputFile(
                               std::string(PROJECT_DATA_DIR) + "/spotpy_d_2013_2016_full.inp", 80)},
  };
  const struct {
    int i0, i1, j0, j1;
  } blocks[] = {{0, 49, 1, 32},         {200, 249, 1150, 1181}, {100, 140, 960, 1040},
                {1000, 1399, 500, 755}, {1800, 2000, 1, 256},   {0, 2000, 1, 2000}};
  std::mt19937 random(8);
  for (const auto& [what, problem] : cases) {
    SCOPED_TRACE(what);
    ASSERT_EQ(problem.count, 80);
    double farthest = 0;  // the largest bound seen, against triviality
    for (const auto& block : blocks) {
      std::vector<std::pair<int, int>> trials = {
          {block.i0, block.j0}, {block.i0, block.j1}, {block.i1, block.j0}, {block.i1, block.j1}};
      for (int k = 0; k < 40; ++k) {
        trials.push_back({std::uniform_int_distribution<int>(block.i0, block.i1)(random),
                          std::uniform_int_distribution<int>(block.j0, block.j1)(random)});
      }
      trials.push_back({1200, 600});
      trials.push_back({220, 1160});
      double least = INFINITY;
      for (const auto& [i, j] : trials) {
        if (i < block.i0 || i > block.i1 || j < block.j0 || j > block.j1) continue;
        least = std::min(least, EvaluateTrial(problem, TrialAOf(i), TrialCOf(j), INFINITY));
      }
      for (int cells : {16, 64}) {
        const double bound =
            LeastSumOfBlock(problem, TrialAOf(block.i0), TrialAOf(block.i1), TrialCOf(block.j0),
                            TrialCOf(block.j1), cells, BlockCellsTop(problem));
        EXPECT_LE(bound, least) << "block " << block.i0 << " " << block.j0 << ", " << cells;
        farthest = std::max(farthest, bound / least);
      }
    }
    EXPECT_GT(farthest, 0.25);
  }
}

TEST(AlphaSearch, NoTrialBelowTheStartKeepsNothing) {
  // Ten residuals of 1000 or more in every trial: every sum is at least
  // 1,000,000, so no trial is taken.
  TSearchProblem problem = GeneratedSearchProblem(12, 3);
  for (int n = 2; n <= 11; ++n) problem.measured[n] = 5000;
  EXPECT_FALSE(ReferenceSearch(problem).Found());
  EXPECT_FALSE(FastSearch(problem).Found());
}

TEST(AlphaSearch, TiesGoToTheFirstTrial) {
  // Runoff that never changes and no recharge: A = 0 with C <= 0 keeps the
  // runoff at its first value and fits exactly; the first such trial wins.
  TSearchProblem problem;
  problem.count = 4;
  problem.timeStep = {0, 0, 1, 1, 1};
  problem.recharge = {0, 0, 0, 0, 0};
  problem.measured = {0, 0.5, 0.5, 0.5, 0.5};
  problem.firstRunoff = 0.5;
  const TSearchResult fast = FastSearch(problem);
  EXPECT_EQ(fast.sum, 0);
  EXPECT_EQ(fast.outer, 0);
  EXPECT_EQ(fast.inner, 1);
  const TSearchResult reference = ReferenceSearch(problem);
  EXPECT_EQ(reference.outer, 0);
  EXPECT_EQ(reference.inner, 1);
}

TEST(AlphaSearch, ProgressIsToldInOrderOfTheOuterIndex) {
  std::vector<int> told;
  FastSearch(GeneratedSearchProblem(10, 9), 2, [&](int k) { told.push_back(k); });
  std::vector<int> expected;
  for (int k = 150; k <= 1950; k += 50) expected.push_back(k);
  EXPECT_EQ(told, expected);
}

TEST(AlphaSearch, EvaluatedTrialMatchesItsWalkThroughTheRecords) {
  const TSearchProblem problem = GeneratedSearchProblem(40, 17);
  for (double c : {-0.5, -0.01, 0.0, 0.02, 0.7}) {
    double q = problem.firstRunoff, sum = 0;
    for (int n = 2; n <= problem.count; ++n) {
      double alpha = 0.1 * q + c;
      if (alpha < 0) alpha = 0;
      const double f = std::exp(-alpha * problem.timeStep[n]);
      q = q * f + problem.recharge[n] * (1 - f);
      const double d = problem.measured[n] - q;
      sum += std::fabs(d) < 1000 ? d * d : 100000;
    }
    EXPECT_EQ(EvaluateTrial(problem, 0.1, c, 1e300), sum) << "C = " << c;
  }
}

TEST(AlphaSearch, VectorExponentialIsAccurate) {
  TPathGuard guard;
  for (TSearchPath path : AvailablePaths()) {
    ASSERT_TRUE(UseSearchPath(path));
    SCOPED_TRACE(SearchPathName(path));
    std::mt19937 random(5);
    std::uniform_real_distribution<double> uniform(-745.0, 0.0);
    double worst = 0;
    for (int k = 0; k < 20000; ++k) {
      double x[kSearchLanes], e[kSearchLanes];
      for (double& value : x) value = k % 2 ? uniform(random) : uniform(random) / 700;
      ExpLanes(x, e);
      for (int l = 0; l < kSearchLanes; ++l) {
        if (x[l] < -700) {
          EXPECT_LE(e[l], 1.1e-304);
          continue;
        }
        worst = std::max(worst, std::fabs(e[l] - std::exp(x[l])) / std::exp(x[l]));
      }
    }
    // The walk allows for kLaneExpError; a few units in the last place are
    // all the polynomial and its rounding may cost.
    EXPECT_LT(worst, kLaneExpError / 10);
    float worstSingle = 0;
    for (int k = 0; k < 20000; ++k) {
      float x[kSearchLanes], e[kSearchLanes];
      for (float& value : x)
        value = static_cast<float>(k % 2 ? uniform(random) / 8 : uniform(random) / 700);
      ExpLanesSingle(x, e);
      for (int l = 0; l < kSearchLanes; ++l) {
        const double exact = std::exp(static_cast<double>(std::max(x[l], -80.0f)));
        worstSingle = std::max(worstSingle, static_cast<float>(std::fabs(e[l] - exact) / exact));
      }
    }
    EXPECT_LT(worstSingle, kFloatExpError);
  }
}

}  // namespace
