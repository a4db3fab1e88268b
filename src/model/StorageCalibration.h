// The calibration of the dead storage: the exact optimum over the maximum
// storage Smax, the initial storage S0 and the A and C of the alpha function.
//
// For every pair (Smax, S0) of two ranges the records are routed through the
// dead storage with their own escape rates, and the search finds the exact
// (A, C) optimum of that recharge. The result is the pair and the trial with
// the least sum of squares; ties go to the first pair in order (Smax
// ascending, then S0 in the order of its range) and within a pair to the
// first trial, exactly as running the analysis once per pair and keeping the
// first least sum would give.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "AlphaSearch.h"

class TDMTevlora;
struct TAnalysisRun;

// FROM:TO:STEP in mm.
struct TStorageRange {
  double From = 0, To = 0, Step = 0;
};

struct TStorageRanges {
  TStorageRange MaxStorage;
  // The initial storages: fractions of each maximum storage (0.25 is 25 %),
  // or, when InitialFractions is empty, the range InitialStorage in mm.
  std::vector<double> InitialFractions;
  TStorageRange InitialStorage;
};

// "FROM:TO:STEP" as numbers (point or comma); the complaint otherwise.
std::optional<std::string> ParseStorageRange(const std::string& text, TStorageRange& range);
// "F1,F2,..." (points only); the complaint otherwise.
std::optional<std::string> ParseStorageFractions(const std::string& text,
                                                 std::vector<double>& fractions);

// Ranges that suit the records of `run` (read and checked): Smax from a
// small round step up to 30 steps, about three times the largest rain of one
// record; S0 at 0, 25, 50, 75 and 100 % of Smax.
TStorageRanges DefaultStorageRanges(const TAnalysisRun& run);
// The same for the largest rain of one record.
TStorageRanges DefaultStorageRangesForRain(double largestRain);

// A range as FROM:TO:STEP ("0.57:17.1:0.57"), and fractions as percentages
// ("0,25,50,75,100"), the way the window shows them.
std::string StorageRangeText(const TStorageRange& range);
std::string StorageFractionsText(const std::vector<double>& fractions);

// "maximum storage 1.00 to 30.00 mm by 1.00 (30 values); initial storage 0,
// 25, 50, 75 and 100 % of it (5 values)".
std::string StorageRangesText(const TStorageRanges& ranges);

// A value as the input file stores it (two decimals from 1 up, four
// significant digits below): the calibration routes with what a saved input
// file holds, so that running that file gives the same result.
double StoredStorage(double value);

// The values of a range, each as the input file stores it; the complaint
// for an empty range, a step of 0 or below, or too many values.
std::optional<std::string> StorageRangeValues(const TStorageRange& range,
                                              std::vector<double>& values);

struct TStoragePair {
  double MaxStorage = 0;
  double InitStorage = 0;  // as the input file holds it (0 routes as 10 % of Smax)
};

// The pairs of the ranges in order: Smax ascending, for each the initial
// storages in the order given. The complaint for a range without values, a
// maximum storage not above 0 (the run's own rule), an initial storage
// below 0, or more than kMaxStoragePairs pairs.
inline constexpr int kMaxStoragePairs = 20000;
std::optional<std::string> StoragePairs(const TStorageRanges& ranges,
                                        std::vector<double>& maxStorages,
                                        std::vector<double>& initialValues,
                                        std::vector<TStoragePair>& pairs);

// The recharge of the records of `run` routed through a dead storage of
// `pair`, as the analysis routes it: the run's Recharge series is written
// (the rest of the run is left as it was).
void RouteStoragePair(TAnalysisRun& run, const TStoragePair& pair);

struct TStorageProgress {
  int Done = 0, Total = 0;  // pairs
  bool Found = false;       // a best pair so far
  TStoragePair Best;
  double BestSumSq = 0;
};

// The pairs are shared out among the threads, one search per thread at a
// time (where only the best pair is wanted, the initial storages of one
// maximum storage are searched together); the callbacks are called from
// those threads, one call at a time.
struct TStorageCalibrationOptions {
  int Threads = 0;  // 0: all cores
  // Every pair's own optimum (for the profile): no pair is cut short by the
  // best sum of the others, which makes the calibration slower.
  bool FullProfile = false;
  // After each pair.
  std::function<void(const TStorageProgress&)> Progress;
  // Asked before each pair (a search takes under a second): true stops the
  // calibration, which then has no result.
  std::function<bool()> Cancelled;
};

// One pair's own optimum.
struct TStorageProfileEntry {
  TStoragePair Pair;
  // False when the pair's search ended early because it could not beat the
  // best pair so far, those searched with it included (never with
  // FullProfile), or no trial fitted.
  bool Known = false;
  double A = 0, C = 0, SumSq = 0;
  // Of the reconstruction with that optimum over the fitted records.
  double RSquare = 0, NSE = 0, KGE = 0;
};

struct TStorageCalibration {
  bool Found = false;                 // a pair with a fit
  bool Cancelled = false;             // stopped by the cancel callback
  std::vector<double> MaxStorages;    // the Smax values, ascending
  std::vector<double> InitialValues;  // the S0 values in mm, or the fractions
  bool InitialAsFractions = false;
  std::vector<TStorageProfileEntry> Profile;  // pair k = i * InitialValues.size() + j
  int Best = -1;                              // index of the best pair
  int Searches = 0;                           // pairs of identical recharge share one
  double A = 0, C = 0, SumSq = 0;             // the best pair's optimum
  TStoragePair BestPair() const { return Profile[static_cast<std::size_t>(Best)].Pair; }
};

// "The best maximum storage is the largest of its range: a wider range may
// fit better." when it is (and the range has more than one value); empty
// otherwise.
std::string StorageRangeEdgeText(const TStorageCalibration& calibration);

// The calibration on the records of `run`, which ReadAndCheck (or
// ReadAndCheckText) has read and checked; with run.CalibrateUntil the
// searches fit the records up to that time only. `run` is left as it was.
// Throws std::invalid_argument with the complaint of StoragePairs, or of
// CalibrateUntilText for a calibration time outside the records.
TStorageCalibration CalibrateStorages(const TAnalysisRun& run, const TStorageRanges& ranges,
                                      const TStorageCalibrationOptions& options = {});
