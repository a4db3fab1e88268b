// The prediction run: from a rainfall series, a given alpha function and the
// initial conditions, the recharge, alpha and runoff with the storage of the
// main reservoir, or for a drainage system the drain discharge with the
// water-table head; and the prediction results file (.out).
#pragma once

#include <string>
#include <vector>

#include "UDMTevlora.h"

// The limit of the records a prediction reads: as many as the input tab takes.
inline constexpr int kPredictionMaxRecords = 1500;

// One prediction run.
struct TPredictionRun {
  // Set when the run stopped on one of its checks (no variation in time, a
  // time not after its predecessor, a maximum storage or, for drainage, a
  // porosity that is not positive, results that cannot be written); the
  // caller then skips its progress lines and the results display. Cleared at
  // the start of every run.
  bool PredictTimeError = false;

  // Working tables, record n = 1 .. PredCount in file order (element 0
  // unused), sized to the records read. They stay filled after a run.
  std::vector<int> PredSerial;        // serial number as read
  std::vector<double> PredTime;       // T(n)
  std::vector<double> PredRain;       // rain or irrigation of step n
  std::vector<double> PredStorage;    // S(n), dead storage after step n
  std::vector<double> PredDeficit;    // D(n), free room: S(n) + D(n) = MaxStor
  std::vector<double> PredRecharge;   // R(n), overflow of the dead storage
  std::vector<double> PredAlpha;      // alpha(n); alpha(1) stays 0
  std::vector<double> PredDischarge;  // Q(n), runoff or drain discharge
  std::vector<double> PredLevel;      // H(n), reservoir storage or head
  int PredCount = 0;                  // N, the number of records read

  // Run values read from the input file.
  double PredMaxStorage = 0;   // MaxStor
  double PredInitStorage = 0;  // InitStor
  double PredMaxEscape = 0;    // MaxEsc
  std::string PredUnitText;    // behind the maximum escape rate, normalised
  double PredPorosity = 0;     // P, as a fraction
  // Set by an input file whose alpha-function line is the linear one; never
  // cleared (the results file then states the function and its coefficients).
  bool LinearFunctionMark = false;

  // Makes room for records 1 .. records; the values already there are kept.
  void Resize(int records);
};

// Texts of the prediction, kept together so they are easy to check.
namespace PredictionTexts {
inline constexpr const char* kNoTimeVariation =
    "There is no variation in time The hydrograph cannot be made";
inline constexpr const char* kTimeSequence =
    "Incorrect time sequence encountered Please correct the input file";
inline constexpr const char* kMaxStorage = "The Maximum Storage must be > 0";
inline constexpr const char* kPorosity = "The porosity must be > 0";

inline constexpr const char* kPorosityLabel = " Effective porosity (%) :";
inline constexpr const char* kLinearMark = " Lin";

inline constexpr const char* kResultsHeader = "RESULTS OF Tevlora PROGRAM";
inline constexpr const char* kInputFileUsed = "Name of input file used: ";
inline constexpr const char* kMaxStorageLabel = "Maximum dead storage:   ";
inline constexpr const char* kInitStorageLabel = "Initial dead storage:   ";
inline constexpr const char* kMaxEscapeLabel = "Max. escape/time unit:  ";
inline constexpr const char* kPorosityResultLabel = "Effective porosity (%): ";
inline constexpr const char* kStorageUnit = " mm";
inline constexpr const char* kEquation = "Equation: Q(n)=Q(n-1)*F+R(n)*(1-F), Q=runoff, R=Recharge";
inline constexpr const char* kEquationF = "with F=exp[-Alpha(n)*{T(n)-T(n-1)}], T=time";
inline constexpr const char* kDrainageFunction = "linear function: alpha = B * Discharge + C";
inline constexpr const char* kRunoffFunction = "linear function: alpha = B * Runoff + F";
inline constexpr const char* kCoefficientB = "B =";
inline constexpr const char* kCoefficientF = " F =";
inline constexpr const char* kDrainageTitle = "PREDICTION drainage:";
inline constexpr const char* kRunoffTitle = "PREDICTION runoff:";
inline constexpr const char* kDrainageColumns =
    "Serial    Time   Rain/Irr  Recharge    Alpha    Discharge   Head";
inline constexpr const char* kRunoffColumns =
    "Serial    Time   Rain/Irr  Recharge    Alpha     Runoff   Storage";
// Eight blanks, then the units of the columns (the same for both kinds).
inline constexpr const char* kUnits =
    "        "
    "   t       mm/t      mm/t       --        mm/t      mm ";
}  // namespace PredictionTexts

// The whole run on the saved input file data.FileName: PredictionRecharge,
// then, if it succeeded, PredictionRouting and WritePredictionResults.
// Messages go through data.Dialogs. Throws TIOError when the input file cannot
// be read (nothing is written) or the results file cannot be written.
// The alpha function is data.Values.AlphaA and AlphaC, replaced by the one the
// file states.
void RunPrediction(TDMTevlora& data, TPredictionRun& run);

// Reads the input file, checks the times and the run values, and routes the
// rain through the dead storage. Returns false (and sets PredictTimeError)
// when a check stopped the run.
bool PredictionRecharge(TDMTevlora& data, TPredictionRun& run);
// Routes the recharge through the main reservoir with alpha = AlphaA * Q + AlphaC.
void PredictionRouting(const TDMTevlora& data, TPredictionRun& run);
// Writes the results file beside the input file and leaves data.FileName
// ending in ".inp". Returns false, after a message and with nothing written,
// when a value is not finite or does not fit its column (RunPrediction then
// sets PredictTimeError). Throws TIOError when the file cannot be written.
bool WritePredictionResults(TDMTevlora& data, const TPredictionRun& run);
