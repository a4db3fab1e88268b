// Cancel of the search and the fit map: a yes stops them with
// TSearchCancelled; a no that is asked changes nothing of the result.
#include <gtest/gtest.h>

#include <atomic>

#include "AlphaSearch.h"
#include "FitMap.h"
#include "SearchData.h"

namespace {

TEST(SearchCancel, StopsTheSearchesAndTheMapAndOtherwiseChangesNothing) {
  const TSearchProblem problem = GeneratedSearchProblem(40, 3);
  const TSearchResult plain = FastSearch(problem, 2);
  const TFitMap plainMap = ComputeFitMap(problem, {12, false, 2, nullptr});
  std::atomic<int> asked{0};
  const TSearchCancel no = [&asked] {
    ++asked;
    return false;
  };
  const TSearchCancel yes = [] { return true; };

  const TSearchResult fast = FastSearch(problem, 2, nullptr, kNoTrialYet, no);
  const TSearchResult pruned = PrunedSearch(problem, 2, nullptr, kNoTrialYet, no);
  for (const TSearchResult& result : {fast, pruned}) {
    EXPECT_EQ(result.outer, plain.outer);
    EXPECT_EQ(result.inner, plain.inner);
    EXPECT_EQ(result.sum, plain.sum);
  }
  EXPECT_EQ(ComputeFitMap(problem, {12, false, 2, no}).SumSq, plainMap.SumSq);
  EXPECT_GT(asked.load(), 0);

  EXPECT_THROW(FastSearch(problem, 2, nullptr, kNoTrialYet, yes), TSearchCancelled);
  EXPECT_THROW(PrunedSearch(problem, 2, nullptr, kNoTrialYet, yes), TSearchCancelled);
  EXPECT_THROW(ComputeFitMap(problem, {12, true, 2, yes}), TSearchCancelled);
}

}  // namespace
