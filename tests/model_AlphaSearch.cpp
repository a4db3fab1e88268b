// The fast search must give exactly what the plain search gives.
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "AlphaSearch.h"
#include "AlphaSearchLanes.h"
#include "SearchData.h"
#include "TestSupport.h"

namespace {

void ExpectSameResult(const TSearchProblem& problem, const char* what) {
  SCOPED_TRACE(what);
  SCOPED_TRACE("records " + std::to_string(problem.count));
  const TSearchResult reference = ReferenceSearch(problem);
  for (int threads : {1, 2, 5}) {
    SCOPED_TRACE("threads " + std::to_string(threads));
    const TSearchResult fast = FastSearch(problem, threads);
    EXPECT_EQ(fast.outer, reference.outer);
    EXPECT_EQ(fast.inner, reference.inner);
    EXPECT_EQ(fast.sum, reference.sum);  // bit for bit
  }
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
  ExpectSameResult(GeneratedSearchProblem(150, 21), "catchment");
  ExpectSameResult(GeneratedSearchProblem(150, 22, TGeneratedKind::Penalties), "penalties");
}

TEST(AlphaSearch, SameAsThePlainSearchOnRealHourlyData) {
  const TSearchProblem problem =
      SearchProblemFromInputFile(TestDataFile("hupsel_h_winter1112_1500.inp"), 300);
  ASSERT_EQ(problem.count, 300);
  ExpectSameResult(problem, "hupsel winter, first 300 hours");
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
  // The walk allows for 1e-14.
  EXPECT_LT(worst, 1e-15);
}

}  // namespace
