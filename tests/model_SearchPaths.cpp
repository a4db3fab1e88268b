// Which vector paths of the search a build has, and how one is picked.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "AlphaSearchLanes.h"

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

}  // namespace
