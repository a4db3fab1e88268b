// Which vector paths of the search a build has, and how one is picked.
#include <gtest/gtest.h>

#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "AlphaSearchLanes.h"
#include "SearchData.h"

namespace {

TEST(SearchPaths, TheProcessorFamilysOwnPathIsThere) {
  std::string found;
  for (TSearchPath path : kSearchPaths) {
    if (SearchPathAvailable(path)) found += std::string(" ") + SearchPathName(path);
  }
  // Read by tools/test-arm64.sh, which checks that the ARM build has NEON.
  std::cout << "vector paths:" << found << "\n";
  EXPECT_TRUE(SearchPathAvailable(TSearchPath::Plain));
#if defined(__aarch64__)
  EXPECT_TRUE(SearchPathAvailable(TSearchPath::Neon));
  EXPECT_FALSE(SearchPathAvailable(TSearchPath::Sse2));
#elif defined(__x86_64__)
  EXPECT_TRUE(SearchPathAvailable(TSearchPath::Sse2));
  EXPECT_FALSE(SearchPathAvailable(TSearchPath::Neon));
#endif
}

TEST(SearchPaths, NamesAreDistinctAndAMissingPathIsRefused) {
  const TSearchPath saved = ActiveSearchPath();
  std::string names;
  for (TSearchPath path : kSearchPaths) {
    const std::string name = SearchPathName(path);
    EXPECT_EQ(names.find(" " + name + " "), std::string::npos) << name;
    names += " " + name + " ";
    if (!SearchPathAvailable(path)) {
      EXPECT_FALSE(UseSearchPath(path)) << name;
      EXPECT_EQ(ActiveSearchPath(), saved) << name;
    }
  }
  UseSearchPath(saved);
}

TEST(SearchPaths, PointWalksReturnTheTrialsGivenAndNoOthers) {
  // A bound no sum reaches keeps every trial: the bits are exactly those of
  // the trials given, however the packs of a path divide them.
  const TSearchProblem problem = NoisySearchProblem(60, 3, 0.1);
  std::vector<double> inverseStep(problem.count + 1);
  for (int n = 2; n <= problem.count; ++n) inverseStep[n] = 1 / problem.timeStep[n];
  double a[kPointTrials], c[kPointTrials];
  for (int t = 0; t < kPointTrials; ++t) {
    a[t] = TrialAOf(300 + 11 * t);
    c[t] = TrialCOf(900 + 5 * t);
  }
  const TSearchPath saved = ActiveSearchPath();
  for (TSearchPath path : kSearchPaths) {
    if (!UseSearchPath(path)) continue;
    for (int count : {1, 7, 9, 17, 40, kPointTrials}) {
      const std::uint64_t all =
          count == kPointTrials ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
      for (bool single : {false, true}) {
        EXPECT_EQ(WalkPointTrials(problem, inverseStep.data(), a, c, count, 1e300, single), all)
            << SearchPathName(path) << " count " << count << (single ? " float" : "");
      }
    }
  }
  UseSearchPath(saved);
}

}  // namespace
