// The analysis and reconstruction run: reading and checking the saved input
// file, the two-reservoir routing, the search for the alpha function, the
// rain-runoff trends with the trend file, and the results file.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "UDMTevlora.h"

// The limit of the records an analysis reads: one more than the input tab
// takes, as the program always had.
inline constexpr int kRunMaxRecords = 1501;

// One analysis run: its series, flags, units, trends and optimum. A run
// object may be used for one run after another (the window keeps its last
// run); the trend coefficients then stay from the previous run where a run
// computes none.
struct TAnalysisRun {
  // Series, counted from 1 (element 0 unused), sized to the records read.
  // They stay filled after a run.
  std::vector<int> RunSerial;
  std::vector<std::string> RunSerialText;
  std::vector<double> RunTime;
  std::vector<double> RunRain;
  std::vector<double> MeasRunoff;
  std::vector<double> AddedWater;
  std::vector<double> Recharge;
  std::vector<double> Alpha;
  std::vector<double> CalcRunoff;
  // The run's own copy of the escape rates, record n at element n; written
  // back to the data module's EscRate[n - 1] after preparation.
  std::vector<double> RunEscRate;
  int RunCount = 0;

  double RunMaxStorage = 0, RunInitStorage = 0, RunMaxEscape = 0;
  std::string TimeUnit, DepthUnit;

  // Flags of the run; the Save/Run command reads them afterwards.
  bool RegressionOff = false;
  bool VariationOk = false;
  bool TimeSequenceError = false;
  bool StorageOk = false;
  bool QuadTrendValid = false;
  bool QuadraticComputedThisRun = false;
  // False when no trial of the search came below the start value of the sum:
  // there is then no optimum, and the run stops with kNoFit.
  bool AlphaFitFound = false;

  // Trend coefficients (kept from the previous run where a run computes none).
  double LinA = 0, LinC = 0;
  double QuadA = 0, QuadB = 0, QuadC = 0;
  double AlphaQuadA = 0, AlphaQuadB = 0, AlphaQuadC = 0;

  // The search, and the threads it may use (0: all cores).
  double TrialA = 0, TrialC = 0, BestA = 0, BestC = 0, BestSumSq = 0, SumSq = 0;
  int SearchThreadCount = 0;
  // Asked during the search; yes stops the run with TSearchCancelled before
  // any results file is written.
  std::function<bool()> SearchCancel;

  // The search fits only the records up to this time when it is given (the
  // calibration period); the routing, the results file and the trends go on
  // over all records. CalibrationCount is the number of records the last
  // search fitted: RunCount without a calibration period.
  std::optional<double> CalibrateUntil;
  int CalibrationCount = 0;

  // Makes room for records 1 .. records; the values of the records already
  // there are kept.
  void Resize(int records);
};

// Texts of the run.
namespace RainRunTexts {
inline constexpr const char* kNoRunoffVariation =
    "There is no variation in runoff values. Rainfall-Runoff analysis cannot be made";
inline constexpr const char* kNoTimeVariation =
    "There is no variation in time Rainfall-Runoff analysis cannot be made";
inline constexpr const char* kTimeSequence =
    "Incorrect time sequence encountered. Please correct the input file";
inline constexpr const char* kMaxStorage = "The Maximum Storage must be > 0";
inline constexpr const char* kQuadraticWarning =
    "The quadratic trend of the relation between rainfall and runoff data shows an "
    "inconsistency, see the. output graphics. The model may not fit well.";
inline constexpr const char* kNoFit =
    "No alpha function fits these data: in every trial the calculated runoffs differ so much "
    "from the measured ones (for example ten or more of them by 1000 or more) that no "
    "optimum can be given. Check the units of the runoff data.";
}  // namespace RainRunTexts

// "The calibration period must end at a time of the records: 12.50 is not
// from 10.00 (record 2) up to before 99.00 (the last record), ..."
std::string CalibrateUntilText(double until, double first, double last);

// The whole run on the saved input file data.FileName. Messages and progress
// lines go through data.Dialogs. Throws TIOError when the file cannot be read
// or written. The outcome is in run.VariationOk, run.TimeSequenceError,
// run.StorageOk, data.RunAborted and the files written. A search that finds no
// fit, or results that cannot be written as numbers, stop the run with a
// message and set data.RunAborted; no file is then written. The optimum
// becomes data.Values.AlphaA and AlphaC, its fit data.Values.RSquare.
void RunAnalysis(TDMTevlora& data, TAnalysisRun& run);
// The same run on `text`, the input file as Save writes it, instead of the
// file data.FileName; the results are named after data.FileName all the same.
void RunAnalysisOfText(TDMTevlora& data, TAnalysisRun& run, const std::string& text);

// The steps, exposed for the tests and the benchmark.
void ReadAndCheck(TDMTevlora& data, TAnalysisRun& run);
// The same pass on `text`, the input file as Save writes it, instead of the
// file data.FileName.
void ReadAndCheckText(TDMTevlora& data, TAnalysisRun& run, const std::string& text);
void RouteDeadStorage(TDMTevlora& data, TAnalysisRun& run);
// Writes run.Alpha[2..] and run.CalcRunoff[2..] from run.CalcRunoff[1].
void RouteMainReservoir(TAnalysisRun& run, double a, double c);
void RainRunoffTrend(TAnalysisRun& run);
void AlphaRunoffTrend(TAnalysisRun& run);
// The search and the final reconstruction. When no trial fits (AlphaFitFound
// false) it shows kNoFit, sets data.RunAborted and leaves BestA, BestC and the
// series as they were.
void OptimiseAlpha(TDMTevlora& data, TAnalysisRun& run);
// The trend file alone (".dat" beside data.FileName).
void WriteTrendFile(const TDMTevlora& data, const TAnalysisRun& run);
// The trend file and the results file together: both or neither. Returns
// false, after a message and with nothing written, when a value is not finite
// or does not fit its column. Throws TIOError when the files cannot be written.
bool WriteAnalysisResults(TDMTevlora& data, TAnalysisRun& run);

// The search problem of the records of the last pass (CalcRunoff[1] set).
struct TSearchProblem;
TSearchProblem SearchProblemOfRun(const TAnalysisRun& run);

// How many records the search fits: all without run.CalibrateUntil, else
// those with a time up to it; 0 when that time leaves fewer than two records
// to fit or none to validate.
int CalibrationRecordCount(const TAnalysisRun& run);
// The search problem of the first `records` records of the last pass.
TSearchProblem SearchProblemOfRecords(const TAnalysisRun& run, int records);
