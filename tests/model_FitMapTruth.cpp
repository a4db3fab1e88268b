// The fit map tells what the run tells: the same records and values, the
// same optimum and R square, no region where the sums say nothing, and a
// zoomed window that holds the whole region.
#include <gtest/gtest.h>

#include <cmath>

#include "FitMap.h"
#include "FitMapTruthData.h"
#include "SearchData.h"
#include "URainRun.h"
#include "USession.h"

namespace {

struct TRunAndMap {
  TFitMap map;
  bool runFound = false;
  double runSum = 0, runA = 0, runC = 0, runRSquare = 0;
};

// The map of `inputFile` as the window and the batch tool make it, and the
// analysis run on the same file as Save writes it.
TRunAndMap RunAndMap(const TTemporaryDirectory& directory, const std::string& inputFile) {
  TRunAndMap result;
  TRecordingDialogs dialogs;
  TDMTevlora data;
  data.Dialogs = &dialogs;
  data.FileName = inputFile;
  EXPECT_TRUE(data.ReadInputFile());
  TSearchProblem problem;
  EXPECT_TRUE(FitMapProblemOfInputFile(data, problem));
  result.map = ComputeFitMap(problem, {50, false, 0});

  TSession session;
  TDMTevlora& saved = session.Data;
  saved.Dialogs = &dialogs;
  saved.FileName = inputFile;
  EXPECT_TRUE(saved.ReadInputFile());
  saved.FileName = directory.File("saved.inp");
  EXPECT_TRUE(saved.WriteInputFile());
  RunAnalysis(saved, session.Run);
  result.runFound = session.Run.AlphaFitFound;
  result.runSum = session.Run.BestSumSq;
  result.runA = session.Run.BestA;
  result.runC = session.Run.BestC;
  result.runRSquare = saved.Values.RSquare;
  return result;
}

TEST(FitMapTruth, MapsWhatTheRunAnalyses) {
  const struct {
    TFloodVariant variant;
    int penalties;
  } cases[] = {
      {TFloodVariant::ThreeValues, 0},
      {TFloodVariant::ManyDigits, 0},
      {TFloodVariant::OneSlip, 1},
  };
  const TTemporaryDirectory directory;
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.variant));
    const std::string file = directory.File("flood.inp");
    WriteFileBytes(file, FloodVariantText(c.variant));
    const TRunAndMap both = RunAndMap(directory, file);
    ASSERT_TRUE(both.runFound);
    ASSERT_TRUE(both.map.Optimum.Found());
    EXPECT_EQ(TrialAOf(both.map.Optimum.outer), both.runA);
    EXPECT_EQ(TrialCOf(both.map.Optimum.inner), both.runC);
    EXPECT_EQ(both.map.Optimum.sum, both.runSum);  // bit for bit
    // The R square that the map shows is the results file's.
    EXPECT_EQ(both.map.RSquare(), both.runRSquare);
    // A penalised optimum's sum bounds no region.
    EXPECT_EQ(both.map.Penalties, c.penalties);
    EXPECT_EQ(both.map.Threshold > 0, c.penalties == 0);
  }
}

TEST(FitMapTruth, NoMapWhereTheRunFindsNoFit) {
  const TTemporaryDirectory directory;
  const std::string file = directory.File("flood.inp");
  WriteFileBytes(file, FloodVariantText(TFloodVariant::AllSlipped));
  const TRunAndMap both = RunAndMap(directory, file);
  EXPECT_FALSE(both.runFound);
  EXPECT_FALSE(both.map.Optimum.Found());
  EXPECT_EQ(both.map.Columns() * both.map.Rows(), 0);
}

// The zoomed window holds the whole region: no trial of the region lies on
// an edge of the window that is not an edge of the search's range.
void ExpectRegionInsideWindow(const TFitMap& map) {
  ASSERT_TRUE(map.Zoomed);
  ASSERT_GT(map.Threshold, 0);
  const int last = map.Columns() - 1, top = map.Rows() - 1;
  int onInnerEdge = 0;
  for (int row = 0; row <= top; ++row) {
    for (int column = 0; column <= last; ++column) {
      if (!map.InRegion(column, row)) continue;
      onInnerEdge += (column == 0 && map.Outer.front() > 0) ||
                     (column == last && map.Outer.back() < kOuterTrials - 1) ||
                     (row == 0 && map.Inner.front() > 1) ||
                     (row == top && map.Inner.back() < kInnerTrials);
    }
  }
  EXPECT_EQ(onInnerEdge, 0) << "A " << TrialAOf(map.Outer.front()) << " .. "
                            << TrialAOf(map.Outer.back()) << ", C " << TrialCOf(map.Inner.front())
                            << " .. " << TrialCOf(map.Inner.back());
}

TEST(FitMapTruth, ZoomHoldsTheWholeRegion) {
  for (const char* name : {"spotpy_d_2013_2016_full.inp", "spotpy_d_winter1516.inp"}) {
    SCOPED_TRACE(name);
    const TSearchProblem problem = SearchProblemFromInputFile(ExampleDataFile(name), 5000);
    ExpectRegionInsideWindow(ComputeFitMap(problem, {40, true, 0}));
  }
  for (int count : {4, 5, 12, 55}) {
    for (unsigned seed : {1u, 2u}) {
      SCOPED_TRACE(std::to_string(count) + " records, seed " + std::to_string(seed));
      ExpectRegionInsideWindow(ComputeFitMap(GeneratedSearchProblem(count, seed), {0, true, 0}));
    }
  }
}

}  // namespace
