// The search given a bound from elsewhere, as the storage calibration gives
// it: the plain search's optimum when that is at most the bound, and none
// otherwise.
#include <gtest/gtest.h>

#include <cmath>

#include "AlphaSearch.h"
#include "SearchData.h"

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

}  // namespace
