// The analysis and reconstruction run: reading and checking the saved input
// file, the two-reservoir routing, the search for the alpha function, the
// rain-runoff trends with the trend file, and the results file.
#pragma once

#include <string>

#include "UDMTevlora.h"

// Run series, counted from 1 (element 0 unused). They stay filled after a run.
// All of these live in the session state.
extern int (&RunSerial)[kRunCapacity];
extern std::string (&RunSerialText)[kRunCapacity];
extern double (&RunTime)[kRunCapacity];
extern double (&RunRain)[kRunCapacity];
extern double (&MeasRunoff)[kRunCapacity];
extern double (&AddedWater)[kRunCapacity];
extern double (&Recharge)[kRunCapacity];
extern double (&Alpha)[kRunCapacity];
extern double (&CalcRunoff)[kRunCapacity];
// The run's own copy of the escape rates, record n at element n; written
// back to the data module's EscRate[n - 1] after preparation.
extern double (&RunEscRate)[kRunCapacity];
extern int& RunCount;

extern double &RunMaxStorage, &RunInitStorage, &RunMaxEscape;
extern std::string &TimeUnit, &DepthUnit;

// Flags of the run; the Save/Run command reads them afterwards.
extern bool& RegressionOff;
extern bool& VariationOk;
extern bool& TimeSequenceError;
extern bool& StorageOk;
extern bool& QuadTrendValid;
// False when no trial of the search came below the start value of the sum:
// there is then no optimum, and the run stops with kNoFit.
extern bool& AlphaFitFound;

// Trend coefficients (kept from the previous run where a run computes none).
extern double &LinA, &LinC;
extern double &QuadA, &QuadB, &QuadC;
extern double &AlphaQuadA, &AlphaQuadB, &AlphaQuadC;

// The search.
extern double &TrialA, &TrialC, &BestA, &BestC, &BestSumSq, &SumSq;

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

// The whole run on the saved input file data.FileName. Messages and progress
// lines go through data.Dialogs. Throws TIOError when the file cannot be read
// or written. The outcome is in VariationOk, TimeSequenceError, StorageOk,
// data.RunAborted and the files written. A search that finds no fit, or
// results that cannot be written as numbers, stop the run with a message and
// set data.RunAborted; no file is then written.
void RunAnalysis(TDMTevlora& data);

// The steps, exposed for the tests and the benchmark.
void ReadAndCheck(TDMTevlora& data);
// The same pass on `text`, the input file as Save writes it, instead of the
// file data.FileName.
void ReadAndCheckText(TDMTevlora& data, const std::string& text);
void RouteDeadStorage(TDMTevlora& data);
void RouteMainReservoir(double a, double c);
void RainRunoffTrend();
void AlphaRunoffTrend();
// The search and the final reconstruction. When no trial fits (AlphaFitFound
// false) it shows kNoFit, sets data.RunAborted and leaves BestA, BestC and the
// series as they were.
void OptimiseAlpha(TDMTevlora& data);
// The trend file alone (".dat" beside data.FileName).
void WriteTrendFile(const TDMTevlora& data);
// The trend file and the results file together: both or neither. Returns
// false, after a message and with nothing written, when a value is not finite
// or does not fit its column. Throws TIOError when the files cannot be written.
bool WriteAnalysisResults(TDMTevlora& data);

// The search problem of the records of the last pass (CalcRunoff[1] set).
struct TSearchProblem;
TSearchProblem SearchProblemOfRun();

// The number of threads the search uses (0: all cores).
extern int SearchThreads;
