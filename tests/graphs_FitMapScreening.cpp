// The fit map screened in single precision looks exactly as the map of exact
// sums: every cell in the same colour of both pictures and on the same side
// of the region's bound, the optimum's sum bit for bit.
#include <gtest/gtest.h>

#include "FitMap.h"
#include "FitMapDraw.h"
#include "SearchData.h"
#include "graphs_Support.h"

namespace {

struct TScreenCase {
  std::string name;
  TSearchProblem problem;
};

std::vector<TScreenCase> Records() {
  std::vector<TScreenCase> cases;
  for (const char* name : {"spotpy_d_flood2013_12d.inp", "spotpy_d_spring2013.inp",
                           "hupsel_h_jan2011_storms.inp", "spotpy_d_winter1516.inp"}) {
    cases.push_back({name, SearchProblemFromInputFile(ExampleDataFile(name), 1 << 20)});
  }
  for (const char* name :
       {"hupsel_h_dec2011_jan2012_flatend.inp", "hupsel_h_winter1112_1500.inp"}) {
    cases.push_back({name, SearchProblemFromInputFile(TestDataFile(name), 1 << 20)});
  }
  for (TGeneratedKind kind : {TGeneratedKind::Catchment, TGeneratedKind::Penalties,
                              TGeneratedKind::Flat, TGeneratedKind::ZeroSteps}) {
    cases.push_back({"generated " + std::to_string(static_cast<int>(kind)),
                     GeneratedSearchProblem(60, 3, kind)});
  }
  return cases;
}

// Compares the screened map with the exact one; returns the share of cells
// the screened one summed exactly.
double ExpectLooksExact(const TSearchProblem& problem, int step, bool zoom, bool pictures) {
  const TFitMap exact = ComputeFitMap(problem, {step, zoom, 0});
  const TFitMap screened = ComputeFitMap(problem, {step, zoom, 0, nullptr, FitMapColourKey});
  EXPECT_EQ(screened.Outer, exact.Outer);
  EXPECT_EQ(screened.Inner, exact.Inner);
  if (screened.Outer != exact.Outer || screened.Inner != exact.Inner) return 1;
  int differing = 0;
  for (int row = 0; row < exact.Rows(); ++row) {
    for (int column = 0; column < exact.Columns(); ++column) {
      const bool same =
          FitMapColourKey(FitMapScalePosition(screened, column, row)) ==
              FitMapColourKey(FitMapScalePosition(exact, column, row)) &&
          screened.InRegion(column, row) == exact.InRegion(column, row) &&
          (exact.Outer[column] != exact.Optimum.outer || exact.Inner[row] != exact.Optimum.inner ||
           screened.Sum(column, row) == exact.Optimum.sum);
      differing += !same;
    }
  }
  EXPECT_EQ(differing, 0);
  if (pictures) {
    EXPECT_EQ(DrawFitMap(screened, "t", "u", true), DrawFitMap(exact, "t", "u", true));
  }
  return exact.SumSq.empty() ? 0 : static_cast<double>(screened.ExactSums) / screened.SumSq.size();
}

TEST(FitMapScreening, LooksAsTheExactMapOnEveryRecord) {
  EnsureGuiApplication();
  for (const TScreenCase& c : Records()) {
    SCOPED_TRACE(c.name);
    ASSERT_GE(c.problem.count, 10);
    const double share = ExpectLooksExact(c.problem, 23, false, true);
    ExpectLooksExact(c.problem, 23, true, true);
    // Many cells need no exact sum (on runoff that hardly moves, about half
    // of them do).
    EXPECT_LT(share, 0.75);
  }
}

TEST(FitMapScreening, SlowEveryTrialLooksAsTheExactMap) {
  EnsureGuiApplication();
  for (const TScreenCase& c : Records()) {
    if (c.problem.count > 300) continue;
    SCOPED_TRACE(c.name);
    ExpectLooksExact(c.problem, 1, false, true);
    ExpectLooksExact(c.problem, 1, true, true);
  }
}

}  // namespace
