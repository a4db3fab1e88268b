// The analysis and reconstruction run: reading and checking the saved input
// file, the two-reservoir routing, the search for the alpha function, the
// rain-runoff trends with the trend file, and the results file.
#pragma once

#include <string>

#include "UDMTevlora.h"

// Capacity of the run series (records 1 .. 1501, element 0 unused).
inline constexpr int kRunCapacity = 1502;

// Run series, counted from 1 (element 0 unused). They stay filled after a run.
extern int RunSerial[kRunCapacity];
extern std::string RunSerialText[kRunCapacity];
extern double RunTime[kRunCapacity];
extern double RunRain[kRunCapacity];
extern double MeasRunoff[kRunCapacity];
extern double AddedWater[kRunCapacity];
extern double Recharge[kRunCapacity];
extern double Alpha[kRunCapacity];
extern double CalcRunoff[kRunCapacity];
// The run's own copy of the escape rates, record n at element n; written
// back to the data module's EscRate[n - 1] after preparation.
extern double RunEscRate[kRunCapacity];
extern int RunCount;

extern double RunMaxStorage, RunInitStorage, RunMaxEscape;
extern std::string TimeUnit, DepthUnit;

// Flags of the run; the Save/Run command reads them afterwards.
extern bool RegressionOff;
extern bool VariationOk;
extern bool TimeSequenceError;
extern bool StorageOk;
extern bool QuadTrendValid;

// Trend coefficients (kept from the previous run where a run computes none).
extern double LinA, LinC;
extern double QuadA, QuadB, QuadC;
extern double AlphaQuadA, AlphaQuadB, AlphaQuadC;

// The search.
extern double TrialA, TrialC, BestA, BestC, BestSumSq, SumSq;

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
}  // namespace RainRunTexts

// The whole run on the saved input file data.FileName. Messages and progress
// lines go through data.Dialogs. Throws TIOError when the file cannot be read
// or written. The outcome is in VariationOk, TimeSequenceError, StorageOk,
// data.RunAborted and the files written.
void RunAnalysis(TDMTevlora& data);

// The steps, exposed for the tests and the benchmark.
void ReadAndCheck(TDMTevlora& data);
void RouteDeadStorage(TDMTevlora& data);
void RouteMainReservoir(double a, double c);
void RainRunoffTrend();
void AlphaRunoffTrend();
void OptimiseAlpha(TDMTevlora& data);
void WriteTrendFile(const TDMTevlora& data);
void WriteAnalysisResults(TDMTevlora& data);

// The search problem of the records of the last pass (CalcRunoff[1] set).
struct TSearchProblem;
TSearchProblem SearchProblemOfRun();

// The number of threads the search uses (0: all cores).
extern int SearchThreads;
