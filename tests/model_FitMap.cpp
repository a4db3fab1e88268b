// The fit map: exact sums of the search's trials, the optimum where the
// search puts it, and the confidence region.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "FitMap.h"
#include "SearchData.h"
#include "TestSupport.h"
#include "TextFile.h"

namespace {

// A trial summed the plain way, as the definition of the search reads.
double PlainSum(const TSearchProblem& problem, double a, double c) {
  double q = problem.firstRunoff, sum = 0;
  for (int n = 2; n <= problem.count; ++n) {
    double alpha = a * q + c;
    if (alpha < 0) alpha = 0;
    const double f = std::exp(-alpha * problem.timeStep[n]);
    q = q * f + problem.recharge[n] * (1 - f);
    const double d = problem.measured[n] - q;
    sum += std::fabs(d) < 1000 ? d * d : 100000.0;
  }
  return sum;
}

// Column and row of the optimum in the map (-1 when it is not on the grid).
std::pair<int, int> OptimumCell(const TFitMap& map) {
  int column = -1, row = -1;
  for (int c = 0; c < map.Columns(); ++c) {
    if (map.Outer[c] == map.Optimum.outer) column = c;
  }
  for (int r = 0; r < map.Rows(); ++r) {
    if (map.Inner[r] == map.Optimum.inner) row = r;
  }
  return {column, row};
}

void ExpectOptimumIsTheSearchSum(const TSearchProblem& problem, const TFitMapOptions& options,
                                 const TSearchResult& search) {
  const TFitMap map = ComputeFitMap(problem, options);
  ASSERT_TRUE(search.Found());
  EXPECT_EQ(map.Optimum.outer, search.outer);
  EXPECT_EQ(map.Optimum.inner, search.inner);
  const auto [column, row] = OptimumCell(map);
  ASSERT_GE(column, 0);
  ASSERT_GE(row, 0);
  EXPECT_EQ(map.Sum(column, row), search.sum);  // bit for bit
  // And nothing on the map is better than the optimum.
  for (double sum : map.SumSq) EXPECT_GE(sum, search.sum);
}

TEST(FitMap, OptimumIsTheSearchSumOnGeneratedData) {
  for (unsigned seed : {1u, 2u}) {
    for (TGeneratedKind kind :
         {TGeneratedKind::Catchment, TGeneratedKind::Penalties, TGeneratedKind::ZeroSteps}) {
      const TSearchProblem problem = GeneratedSearchProblem(25, seed, kind);
      const TSearchResult search = FastSearch(problem);
      SCOPED_TRACE(seed);
      for (int step : {7, 50}) ExpectOptimumIsTheSearchSum(problem, {step, false, 2}, search);
      ExpectOptimumIsTheSearchSum(problem, {7, true, 3}, search);
    }
  }
  // The plain search, too, on a short record.
  const TSearchProblem problem = GeneratedSearchProblem(6, 5);
  ExpectOptimumIsTheSearchSum(problem, {13, false, 0}, ReferenceSearch(problem));
}

TEST(FitMap, OptimumIsTheSearchSumOnRealData) {
  const TSearchProblem problem =
      SearchProblemFromInputFile(TestDataFile("hupsel_h_winter1112_1500.inp"), 1500);
  ASSERT_EQ(problem.count, 1500);
  const TSearchResult search = FastSearch(problem);
  ExpectOptimumIsTheSearchSum(problem, {40, false, 0}, search);
  ExpectOptimumIsTheSearchSum(problem, {40, true, 0}, search);
}

TEST(FitMap, EveryValueIsThePlainSum) {
  // Trials go side by side in eights: 11 rows leave a part-filled group.
  const std::vector<int> outer = {0, 1, 333, 2000},
                         inner = {1, 2, 400, 998, 999, 1000, 1001, 1002, 1200, 1500, 2000};
  const TGeneratedKind kinds[] = {TGeneratedKind::Penalties, TGeneratedKind::Flat,
                                  TGeneratedKind::ZeroSteps};
  for (int k = 0; k < 3; ++k) {
    const int threads = 1 + 2 * (k % 2);
    const TSearchProblem problem = GeneratedSearchProblem(40, 9, kinds[k]);
    const std::vector<double> sums = FitMapSums(problem, outer, inner, threads);
    ASSERT_EQ(sums.size(), outer.size() * inner.size());
    for (std::size_t r = 0; r < inner.size(); ++r) {
      for (std::size_t c = 0; c < outer.size(); ++c) {
        EXPECT_EQ(sums[r * outer.size() + c],
                  PlainSum(problem, TrialAOf(outer[c]), TrialCOf(inner[r])))
            << outer[c] << " " << inner[r];
      }
    }
  }
}

TEST(FitMap, GridCoversTheRangeThroughTheOptimum) {
  const TSearchProblem problem = GeneratedSearchProblem(30, 4);
  const TFitMap map = ComputeFitMap(problem, {100, false, 0});
  EXPECT_EQ(map.Step, 100);
  EXPECT_EQ(map.Columns(), 20 + (map.Optimum.outer % 100 == 0));
  EXPECT_EQ(map.Rows(), 20);
  EXPECT_LT(map.Outer.front(), 100);
  EXPECT_GT(map.Outer.back(), 1900);
  EXPECT_LE(map.Inner.front(), 100);
  EXPECT_GT(map.Inner.back(), 1900);
  // The zoomed map: every trial, centred on the optimum.
  const TFitMap zoom = ComputeFitMap(problem, {100, true, 0});
  EXPECT_EQ(zoom.Step, 1);
  EXPECT_EQ(zoom.Inner[1] - zoom.Inner[0], 1);
  const auto [column, row] = OptimumCell(zoom);
  EXPECT_GE(column, 0);
  EXPECT_GE(row, 0);
}

TEST(FitMap, DefaultStepWalksAboutTheSameNumberOfRecordSteps) {
  EXPECT_EQ(DefaultFitMapStep(2), 1);
  for (int records : {91, 400, 1500}) {
    const int step = DefaultFitMapStep(records);
    const double steps = (2001.0 / step) * (2000.0 / step) * (records - 1);
    EXPECT_TRUE(steps < 2.0e8 && steps * 4 > 2.0e8) << records;
  }
}

TEST(FitMap, FQuantileMatchesTheTables) {
  // F(2, n; 0.95) as printed in the statistical tables.
  const struct {
    int n;
    double table;
  } cases[] = {{1, 199.5}, {2, 19.00}, {5, 5.79}, {9, 4.26}, {10, 4.10}, {20, 3.49}, {60, 3.15}};
  for (const auto& c : cases) EXPECT_NEAR(FQuantile2(c.n), c.table, 0.006) << c.n;
  // Two parameters from 11 residuals: 1 + 2/9 * F(2, 9; 0.95).
  EXPECT_NEAR(ConfidenceFactor(11), 1 + 2.0 / 9 * 4.2565, 1e-4);
  EXPECT_EQ(ConfidenceFactor(2), 0);
}

TEST(FitMap, ConfidenceRegionOfAWorkedOutSet) {
  // 12 records: 11 residuals, so every pair whose sum stays within
  // best * (1 + 2/9 * 4.2565) = best * 1.9459 is in the region.
  const TSearchProblem problem = GeneratedSearchProblem(12, 3);
  const TFitMap map = ComputeFitMap(problem, {1, true, 0});
  ASSERT_TRUE(map.Optimum.Found());
  EXPECT_NEAR(map.Threshold / map.Optimum.sum, 1.94589, 1e-5);
  int inside = 0, outside = 0;
  for (int row = 0; row < map.Rows(); ++row) {
    for (int column = 0; column < map.Columns(); ++column) {
      const bool expected = map.Sum(column, row) <= map.Optimum.sum * 1.94589;
      ASSERT_EQ(map.InRegion(column, row), expected);
      (expected ? inside : outside)++;
    }
  }
  const auto [column, row] = OptimumCell(map);
  EXPECT_TRUE(map.InRegion(column, row));
  EXPECT_GT(inside, 1);
  EXPECT_GT(outside, 0);  // the zoomed window reaches beyond the region
  // Three records leave one degree of freedom too few: no region.
  EXPECT_EQ(ComputeFitMap(GeneratedSearchProblem(3, 3), {50, false, 0}).Threshold, 0);
}

TEST(FitMap, CsvTable) {
  TFitMap map;
  map.Outer = {0, 2000};
  map.Inner = {1, 1500};
  map.SumSq = {0.5, 2, 1e6, 1.25};  // rows: C = -0.999, then 0.5
  map.Deviation = 4;
  EXPECT_EQ(FitMapCsv(map),
            CrLf({"A,C,SumSq,RSquare", "0.0000,-0.999,0.5,0.9375", "0.0000,0.500,1000000,0.01",
                  "1.0000,-0.999,2,0.75", "1.0000,0.500,1.25,0.84375"}));
}

// The table streamed from a screened map holds the exact sums, byte for byte
// the table of the exact map; so does the one streamed from the exact map.
TEST(FitMap, StreamedCsvIsTheExactTable) {
  const TSearchProblem problem = GeneratedSearchProblem(50, 7);
  const TFitMap exactMap = ComputeFitMap(problem, {37, false, 3});
  const std::string exact = FitMapCsv(exactMap);
  const auto band = [](double position) { return static_cast<long>(position * 20); };
  const TFitMap screened = ComputeFitMap(problem, {37, false, 3, nullptr, band});
  ASSERT_LT(screened.ExactSums, screened.SumSq.size());
  const auto stream = [&problem](const TFitMap& map) {
    std::string streamed;
    int pieces = 0;
    EXPECT_TRUE(WriteFitMapCsv(problem, map, [&](std::string_view piece) {
      streamed += piece;
      ++pieces;
      return true;
    }));
    EXPECT_GT(pieces, 2);
    return streamed;
  };
  EXPECT_EQ(stream(screened), exact);
  EXPECT_EQ(stream(exactMap), exact);
}

// A streamed file that fails on the way (refused or thrown out of) leaves
// the old file as it was and no temporary file beside it.
TEST(FitMap, FailedStreamLeavesTheOldFile) {
  TTemporaryDirectory directory;
  const std::string path = directory.File("grid.csv");
  WriteFileBytes(path, "old");
  const auto refuse = [](const TFileSink& sink) { return sink("new") && false; };
  const auto stop = [](const TFileSink& sink) -> bool {
    sink("new");
    throw TSearchCancelled();
  };
  EXPECT_FALSE(SaveStreamedFileSafely(path, refuse));
  EXPECT_THROW(SaveStreamedFileSafely(path, stop), TSearchCancelled);
  EXPECT_EQ(ReadFileBytes(path), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.Path()), {}), 1);
  EXPECT_TRUE(SaveStreamedFileSafely(path, [](const TFileSink& sink) { return sink("new"); }));
  EXPECT_EQ(ReadFileBytes(path), "new");
}

}  // namespace
