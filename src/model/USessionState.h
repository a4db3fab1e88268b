// Everything that lives from one run to the next while the program runs: the
// program-wide values (alpha coefficients, drainage parameters, R square), the
// analysis run's series, flags, trends and search optimum, and the prediction
// run's tables. The names each module uses for them (AlphaA, BestA, LinA,
// LinearFunctionMark, ...) refer to the fields of the one TSessionState.
//
// A window session keeps them from run to run. Whatever must start like a
// freshly started program (each file of the batch tool, a test) calls
// StartNewSession, which replaces the whole state at once, so that no value
// of an earlier run can be forgotten.
#pragma once

#include <string>

// Capacity of the analysis run series (records 1 .. 1501, element 0 unused).
inline constexpr int kRunCapacity = 1502;
// Records a prediction can hold: as many as the input tab accepts.
inline constexpr int kPredictionMaxRecords = 1500;
// The prediction tables count from 1; element 0 is not used.
inline constexpr int kPredictionCapacity = kPredictionMaxRecords + 1;

struct TSessionState {
  // Program-wide values.
  double AlphaA = 0, AlphaC = 0;
  double DrainKa = 0, DrainKb = 0, DrainD = 0, DrainU = 0, DrainP = 0, DrainL = 0;
  double RSquare = 0;

  // Analysis run.
  int RunSerial[kRunCapacity] = {};
  std::string RunSerialText[kRunCapacity];
  double RunTime[kRunCapacity] = {};
  double RunRain[kRunCapacity] = {};
  double MeasRunoff[kRunCapacity] = {};
  double AddedWater[kRunCapacity] = {};
  double Recharge[kRunCapacity] = {};
  double Alpha[kRunCapacity] = {};
  double CalcRunoff[kRunCapacity] = {};
  double RunEscRate[kRunCapacity] = {};
  int RunCount = 0;
  double RunMaxStorage = 0, RunInitStorage = 0, RunMaxEscape = 0;
  std::string TimeUnit, DepthUnit;
  bool RegressionOff = false;
  bool VariationOk = false;
  bool TimeSequenceError = false;
  bool StorageOk = false;
  bool QuadTrendValid = false;
  bool QuadraticComputedThisRun = false;
  bool AlphaFitFound = false;
  double LinA = 0, LinC = 0;
  double QuadA = 0, QuadB = 0, QuadC = 0;
  double AlphaQuadA = 0, AlphaQuadB = 0, AlphaQuadC = 0;
  double TrialA = 0, TrialC = 0, BestA = 0, BestC = 0, BestSumSq = 0, SumSq = 0;

  // Prediction run.
  bool PredictTimeError = false;
  int PredSerial[kPredictionCapacity] = {};
  double PredTime[kPredictionCapacity] = {};
  double PredRain[kPredictionCapacity] = {};
  double PredStorage[kPredictionCapacity] = {};
  double PredDeficit[kPredictionCapacity] = {};
  double PredRecharge[kPredictionCapacity] = {};
  double PredAlpha[kPredictionCapacity] = {};
  double PredDischarge[kPredictionCapacity] = {};
  double PredLevel[kPredictionCapacity] = {};
  int PredCount = 0;
  double PredMaxStorage = 0, PredInitStorage = 0, PredMaxEscape = 0;
  std::string PredUnitText;
  double PredPorosity = 0;
  bool LinearFunctionMark = false;
};

extern TSessionState Session;

// Puts every value back to what a freshly started program holds.
void StartNewSession();
