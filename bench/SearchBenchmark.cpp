// Compares the alpha search of the program with the plain sequential search
// on the same data, in one process, and prints both times and their ratio.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "AlphaSearch.h"
#include "SearchData.h"

namespace {

double Seconds(const std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool Measure(const char* name, const TSearchProblem& problem, bool withReference) {
  auto start = std::chrono::steady_clock::now();
  const TSearchResult fast = FastSearch(problem, getenv("TTH") ? atoi(getenv("TTH")) : 0);
  const double fastSeconds = Seconds(start);
  if (!withReference) {
    std::printf("%-34s %5d records  fast %8.3f s  A=%.4f C=%.3f\n", name, problem.count,
                fastSeconds, TrialAOf(fast.outer), TrialCOf(fast.inner));
    return true;
  }
  start = std::chrono::steady_clock::now();
  const TSearchResult reference = ReferenceSearch(problem);
  const double referenceSeconds = Seconds(start);
  const bool same = fast.outer == reference.outer && fast.inner == reference.inner &&
                    fast.sum == reference.sum;
  std::printf("%-34s %5d records  reference %8.3f s  fast %8.3f s  ratio %7.1f  %s\n", name,
              problem.count, referenceSeconds, fastSeconds, referenceSeconds / fastSeconds,
              same ? "identical" : "DIFFERENT");
  std::fflush(stdout);
  return same;
}

}  // namespace

int main(int argc, char* argv[]) {
  // --quick: the program's search only, no reference (for a fast look).
  const bool withReference = !(argc > 1 && std::strcmp(argv[1], "--quick") == 0);
  bool allSame = true;
  for (int count : {150, 500, 1500}) {
    const std::string name = "generated (seed 7)";
    allSame &= Measure(name.c_str(), GeneratedSearchProblem(count, 7), withReference);
  }
  const std::string real = std::string(BENCH_DATA_DIR) + "/hupsel_h_winter1112_1500.inp";
  for (int count : {150, 500, 1500}) {
    const TSearchProblem problem = SearchProblemFromInputFile(real, count);
    if (problem.count == 0) {
      std::fprintf(stderr, "cannot read %s\n", real.c_str());
      return 2;
    }
    allSame &= Measure("hupsel_h_winter1112_1500.inp", problem, withReference);
  }
  return allSame ? 0 : 1;
}
