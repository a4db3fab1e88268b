// The storage calibration against the analysis run once per pair, its tie
// rule, the calibration period and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "AlphaSearch.h"
#include "FitMeasures.h"
#include "StorageCalibration.h"
#include "TestSupport.h"
#include "UDMTevlora.h"
#include "URainRun.h"

namespace {

// An example input file, read as a session reads it.
TDMTevlora ExampleData(const std::string& name) {
  TDMTevlora data;
  data.FileName = ExampleDataFile(name);
  EXPECT_TRUE(data.ReadInputFile());
  return data;
}

// The records of `data` as the analysis reads them.
TAnalysisRun RecordsOf(TDMTevlora data) {
  TAnalysisRun run;
  run.RegressionOff = true;
  ReadAndCheckText(data, run, *data.InputFileText());
  return run;
}

// The first `count` records of `data` only.
TDMTevlora FirstRecords(TDMTevlora data, int count) {
  data.NrOfData = count;
  return data;
}

// The analysis of `data` with the storages of `pair`, searched by the plain
// search or the program's.
struct TAnalysisOfPair {
  bool found = false;
  double a = 0, c = 0, sum = 0;
};
TAnalysisOfPair AnalyseWithStorages(TDMTevlora data, const TStoragePair& pair, bool plain) {
  data.MaxStorage = pair.MaxStorage;
  data.InitStorage = pair.InitStorage;
  TAnalysisRun run;
  ReadAndCheckText(data, run, *data.InputFileText());
  if (!plain) {
    OptimiseAlpha(data, run);
    return {run.AlphaFitFound, run.BestA, run.BestC, run.BestSumSq};
  }
  run.CalcRunoff[1] = run.MeasRunoff[1];
  const TSearchResult result = ReferenceSearch(SearchProblemOfRun(run));
  return {result.Found(), TrialAOf(result.outer), TrialCOf(result.inner), result.sum};
}

TEST(StorageCalibration, SlowEveryPairAndTheBestAreThoseOfThePlainSearchPerPair) {
  TDMTevlora data = ExampleData("spotpy_d_flood2013_12d.inp");
  data.NrOfData = 8;
  TStorageRanges ranges;
  ranges.MaxStorage = {4, 20, 8};
  ranges.InitialFractions = {0, 0.5, 1};
  std::vector<double> maxStorages, initialValues;
  std::vector<TStoragePair> pairs;
  ASSERT_FALSE(StoragePairs(ranges, maxStorages, initialValues, pairs));
  ASSERT_EQ(pairs.size(), 9u);
  // One analysis per pair with the plain search; the first least sum wins.
  std::vector<TAnalysisOfPair> plain;
  std::size_t best = 0;
  for (const auto& pair : pairs) {
    plain.push_back(AnalyseWithStorages(data, pair, true));
    if (plain.back().sum < plain[best].sum) best = plain.size() - 1;
  }
  for (const bool full : {true, false}) {
    TStorageCalibrationOptions options;
    options.Threads = 3;
    options.FullProfile = full;
    const TStorageCalibration calibration = CalibrateStorages(RecordsOf(data), ranges, options);
    ASSERT_TRUE(calibration.Found);
    EXPECT_EQ(static_cast<std::size_t>(calibration.Best), best);
    EXPECT_TRUE(calibration.A == plain[best].a && calibration.C == plain[best].c &&
                calibration.SumSq == plain[best].sum);
    for (std::size_t k = 0; full && k < pairs.size(); ++k) {
      const auto& entry = calibration.Profile[k];
      EXPECT_TRUE(entry.Known && entry.A == plain[k].a && entry.C == plain[k].c &&
                  entry.SumSq == plain[k].sum)
          << "pair " << k;
    }
  }
}

TEST(StorageCalibration, OneValueRangesGiveTheOrdinaryAnalysis) {
  const TDMTevlora data = ExampleData("spotpy_d_spring2013.inp");
  TStorageRanges ranges;
  ranges.MaxStorage = {data.MaxStorage, data.MaxStorage, 0};
  ranges.InitialFractions.clear();
  ranges.InitialStorage = {data.InitStorage, data.InitStorage, 1};
  const TStorageCalibration calibration = CalibrateStorages(RecordsOf(data), ranges);
  const TAnalysisOfPair ordinary =
      AnalyseWithStorages(data, {data.MaxStorage, data.InitStorage}, false);
  ASSERT_TRUE(calibration.Found && ordinary.found);
  EXPECT_TRUE(calibration.A == ordinary.a && calibration.C == ordinary.c &&
              calibration.SumSq == ordinary.sum);
}

// Cancel is heard inside a search, not only between searches: with one
// pair, or one maximum storage whose initial storages are searched
// together, a yes from the second question on stops the calibration.
TEST(StorageCalibration, CancelStopsTheSearchOfAPair) {
  const TDMTevlora data = ExampleData("spotpy_d_spring2013.inp");
  for (const auto& fractions : {std::vector<double>{0.5}, std::vector<double>{0.5, 1}}) {
    TStorageRanges ranges;
    ranges.MaxStorage = {data.MaxStorage, data.MaxStorage, 0};
    ranges.InitialFractions = fractions;
    TStorageCalibrationOptions options;
    int asked = 0;
    options.Cancelled = [&asked] { return ++asked > 1; };
    const TStorageCalibration calibration = CalibrateStorages(RecordsOf(data), ranges, options);
    EXPECT_TRUE(calibration.Cancelled && !calibration.Found) << fractions.size() << " " << asked;
  }
}

// Records without escape whose dead storage starts full: every maximum
// storage gives the same recharge (the rain), so every pair ties.
TAnalysisRun RecordsThatTie() {
  TAnalysisRun run;
  const int count = 30;
  run.Resize(count);
  run.RunCount = count;
  for (int n = 1; n <= count; ++n) {
    run.RunTime[n] = n;
    run.RunRain[n] = n % 7 == 1 ? 12.0 : 0.5;
    run.RunEscRate[n] = 0;
    run.MeasRunoff[n] = 1 + 0.5 * std::sin(n * 0.7) + (n % 7 == 2 ? 3 : 0);
  }
  return run;
}

TEST(StorageCalibration, TiesGoToTheFirstPairAndIdenticalRechargeIsSearchedOnce) {
  TStorageRanges ranges;
  ranges.MaxStorage = {1, 9, 1};  // searched from the middle out
  ranges.InitialFractions = {1};
  const TStorageCalibration calibration = CalibrateStorages(RecordsThatTie(), ranges);
  ASSERT_TRUE(calibration.Found);
  EXPECT_EQ(calibration.Best, 0);
  EXPECT_EQ(calibration.Searches, 1);
}

// The measures of records first .. last, from their definitions.
TFitMeasures ByDefinition(const TAnalysisRun& run, int first, int last) {
  double sumObs = 0, sumSim = 0, squares = 0;
  int peak = first;
  const int n = last - first + 1;
  for (int k = first; k <= last; ++k) {
    sumObs += run.MeasRunoff[k];
    sumSim += run.CalcRunoff[k];
    squares += std::pow(run.MeasRunoff[k] - run.CalcRunoff[k], 2);
    if (run.MeasRunoff[k] > run.MeasRunoff[peak]) peak = k;
  }
  const double meanObs = sumObs / n, meanSim = sumSim / n;
  double varObs = 0, varSim = 0, covariance = 0;
  for (int k = first; k <= last; ++k) {
    varObs += std::pow(run.MeasRunoff[k] - meanObs, 2);
    varSim += std::pow(run.CalcRunoff[k] - meanSim, 2);
    covariance += (run.MeasRunoff[k] - meanObs) * (run.CalcRunoff[k] - meanSim);
  }
  TFitMeasures fit;
  fit.NSE = 1 - squares / varObs;
  const double r = covariance / std::sqrt(varObs * varSim);
  fit.KGE = 1 - std::hypot(r - 1, std::sqrt(varSim / varObs) - 1, meanSim / meanObs - 1);
  fit.PBIAS = 100 * (sumSim - sumObs) / sumObs;
  fit.RMSE = std::sqrt(squares / n);
  fit.PeakError = 100 * (run.CalcRunoff[peak] - run.MeasRunoff[peak]) / run.MeasRunoff[peak];
  return fit;
}

TEST(StorageCalibration, ACalibrationPeriodFitsItsRecordsOnlyAndMeasuresBothPeriods) {
  TDMTevlora data = ExampleData("spotpy_d_spring2013.inp");
  TRecordingDialogs dialogs;
  data.Dialogs = &dialogs;
  TAnalysisRun run;
  const int calibrated = 40;
  const std::string text = *data.InputFileText();
  ReadAndCheckText(data, run, text);
  run.CalibrateUntil =
      run.RunTime[calibrated] + 0.5 * (run.RunTime[calibrated + 1] - run.RunTime[calibrated]);
  ReadAndCheckText(data, run, text);
  OptimiseAlpha(data, run);
  ASSERT_TRUE(run.AlphaFitFound);
  ASSERT_EQ(run.CalibrationCount, calibrated);
  // The optimum is that of an analysis of the calibration records alone.
  const TAnalysisOfPair alone = AnalyseWithStorages(FirstRecords(data, calibrated),
                                                    {data.MaxStorage, data.InitStorage}, false);
  EXPECT_TRUE(run.BestA == alone.a && run.BestC == alone.c);
  const std::pair<int, int> periods[] = {{2, calibrated}, {calibrated + 1, run.RunCount}};
  for (const auto& [first, last] : periods) {
    const TFitMeasures fit = FitMeasuresOfRecords(run, first, last);
    const TFitMeasures expected = ByDefinition(run, first, last);
    EXPECT_EQ(fit.Records, last - first + 1);
    for (const auto& [got, want] : {std::pair{fit.NSE, expected.NSE},
                                    {fit.KGE, expected.KGE},
                                    {fit.PBIAS, expected.PBIAS},
                                    {fit.RMSE, expected.RMSE},
                                    {fit.PeakError, expected.PeakError}}) {
      EXPECT_NEAR(got, want, 1e-9 * (1 + std::fabs(want))) << "records " << first << " to " << last;
    }
  }
}

TEST(StorageCalibration, RefusesRangesAndCalibrationTimesThatDoNotDo) {
  const TAnalysisRun records = RecordsOf(ExampleData("spotpy_d_flood2013_12d.inp"));
  struct TCase {
    TStorageRange maxStorage;
    std::optional<double> until;
    const char* complaint;
  };
  const TCase cases[] = {
      {{10, 5, 1}, {}, "is empty"},
      {{1, 10, -1}, {}, "negative step"},
      {{1, 10, 0}, {}, "step above 0"},
      {{0, 10, 5}, {}, RainRunTexts::kMaxStorage},
      {{1, 10, 1}, records.RunTime[1], "must end at a time of the records"},
      {{1, 10, 1}, records.RunTime[records.RunCount], "must end at a time of the records"},
  };
  for (const auto& test : cases) {
    TAnalysisRun run = records;
    run.CalibrateUntil = test.until;
    TStorageRanges ranges;
    ranges.MaxStorage = test.maxStorage;
    ranges.InitialFractions = {0.5};
    try {
      CalibrateStorages(run, ranges);
      ADD_FAILURE() << "accepted: " << test.complaint;
    } catch (const std::invalid_argument& refusal) {
      EXPECT_NE(std::string(refusal.what()).find(test.complaint), std::string::npos)
          << refusal.what();
    }
  }
}

TEST(StorageCalibration, DefaultRangesSuitTheRainAndCanBeStoredAsTheyAre) {
  const TAnalysisRun run = RecordsOf(ExampleData("spotpy_d_flood2013_12d.inp"));
  double rain = 0;
  for (int n = 1; n <= run.RunCount; ++n) rain = std::max(rain, run.RunRain[n]);
  const TStorageRanges ranges = DefaultStorageRanges(run);
  std::vector<double> values;
  ASSERT_FALSE(StorageRangeValues(ranges.MaxStorage, values));
  EXPECT_EQ(values.size(), 30u);
  EXPECT_GT(values.front(), 0);
  EXPECT_NEAR(values.back(), 3 * rain, 0.1 * 3 * rain);
  for (double value : values) EXPECT_EQ(StoredStorage(value), value);
}

}  // namespace
