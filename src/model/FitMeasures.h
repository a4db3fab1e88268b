// The measures hydrologists report for a reconstruction, beside the
// program's own standard deviation and R square: Nash-Sutcliffe efficiency,
// Kling-Gupta efficiency, percent bias, root mean square error and the error
// of the highest measured peak.
#pragma once

#include <string>
#include <vector>

struct TFitMeasures {
  int Records = 0;  // N; the measures use records 2 .. N
  // The program's own: sqrt(SumSq / (N - 1)) and 1 - 0.5 * SumSq / Sdev,
  // kept between 0.01 and 0.99, exactly as the analysis run forms them.
  double SD = 0;
  double RSquare = 0;
  // NaN where the data leave a measure undefined (no variation in the
  // measured runoff, a measured sum of 0, fewer than two records).
  double NSE = 0;
  double KGE = 0;
  double PBIAS = 0;  // percent; positive when the calculation is too high
  double RMSE = 0;
  double PeakError = 0;  // percent, at the first highest measured value
};

// Measured and calculated runoff of records 1 .. N (element 0 is record 1).
TFitMeasures ComputeFitMeasures(const std::vector<double>& measured,
                                const std::vector<double>& calculated);

// The measures of the reconstruction the last analysis run left in memory.
struct TAnalysisRun;
TFitMeasures FitMeasuresOfRun(const TAnalysisRun& run);

// The measures of records first .. last (first >= 2) of that reconstruction:
// a calibration or a validation period. Records is the number of records
// measured; RSquare, formed over the whole run by the program, is undefined.
TFitMeasures FitMeasuresOfRecords(const TAnalysisRun& run, int first, int last);

// The measures recomputed from the table of an analysis results file.
// Records 0 when the file cannot be read or holds no analysis table.
TFitMeasures FitMeasuresOfResultsFile(const std::string& fileName);

// A measure for tables and panels: fixed with `decimals`, point as decimal
// separator, empty when it is undefined.
std::string FitMeasureText(double value, int decimals);
