#include "FitMeasures.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "TextFile.h"
#include "UDMTevlora.h"
#include "URainRun.h"

namespace {
constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();
}  // namespace

TFitMeasures ComputeFitMeasures(const std::vector<double>& measured,
                                const std::vector<double>& calculated) {
  TFitMeasures fit;
  const int count = static_cast<int>(std::min(measured.size(), calculated.size()));
  fit.Records = count;
  fit.SD = fit.RSquare = fit.NSE = fit.KGE = fit.PBIAS = fit.RMSE = fit.PeakError = kUndefined;
  if (count < 2) return fit;

  // The program's own SD and R square, summed in record order as the run
  // sums them, so that they agree with the results file to the last bit.
  double sumSq = 0;
  for (int n = 1; n < count; ++n) {
    const double d = measured[n] - calculated[n];
    sumSq += d * d;
  }
  double total = 0;
  for (int n = 0; n < count; ++n) total += measured[n];
  const double allMean = total / count;
  double deviation = 0;
  for (int n = 0; n < count; ++n) {
    const double d = measured[n] - allMean;
    deviation += d * d;
  }
  fit.SD = std::sqrt(sumSq / (count - 1));
  fit.RSquare = 1 - 0.5 * sumSq / deviation;
  if (!(fit.RSquare > 0)) fit.RSquare = 0.01;
  if (fit.RSquare >= 1) fit.RSquare = 0.99;
  fit.RMSE = fit.SD;

  // The other measures over records 2 .. N, the records the fit is made on.
  const int fitted = count - 1;
  double sumObs = 0, sumSim = 0;
  int peak = 1;
  for (int n = 1; n < count; ++n) {
    sumObs += measured[n];
    sumSim += calculated[n];
    if (measured[n] > measured[peak]) peak = n;
  }
  const double meanObs = sumObs / fitted;
  const double meanSim = sumSim / fitted;
  double varObs = 0, varSim = 0, covariance = 0, bias = 0;
  for (int n = 1; n < count; ++n) {
    const double o = measured[n] - meanObs;
    const double s = calculated[n] - meanSim;
    varObs += o * o;
    varSim += s * s;
    covariance += o * s;
    bias += calculated[n] - measured[n];
  }
  if (varObs > 0) {
    fit.NSE = 1 - sumSq / varObs;
    // A simulation without variation has no linear relation with the
    // measurements: r counts as 0, which gives the mean flow 1 - sqrt(2).
    const double r = varSim > 0 ? covariance / std::sqrt(varObs * varSim) : 0.0;
    const double variability = std::sqrt(varSim / varObs);
    if (meanObs != 0) {
      const double balance = meanSim / meanObs;
      fit.KGE = 1 - std::sqrt((r - 1) * (r - 1) + (variability - 1) * (variability - 1) +
                              (balance - 1) * (balance - 1));
    }
  }
  if (sumObs != 0) fit.PBIAS = 100 * bias / sumObs;
  if (measured[peak] != 0) {
    fit.PeakError = 100 * (calculated[peak] - measured[peak]) / measured[peak];
  }
  return fit;
}

TFitMeasures FitMeasuresOfRun(const TAnalysisRun& run) {
  const int count = std::max(run.RunCount, 0);
  const std::vector<double> measured(run.MeasRunoff.begin() + 1,
                                     run.MeasRunoff.begin() + 1 + count);
  const std::vector<double> calculated(run.CalcRunoff.begin() + 1,
                                       run.CalcRunoff.begin() + 1 + count);
  return ComputeFitMeasures(measured, calculated);
}

TFitMeasures FitMeasuresOfRecords(const TAnalysisRun& run, int first, int last) {
  first = std::max(first, 2);
  last = std::min(last, run.RunCount);
  if (last < first) {
    TFitMeasures none = ComputeFitMeasures({}, {});
    none.Records = 0;
    return none;
  }
  // The record before the period stands first, as record 1 does for the
  // whole run: the measures use the records after it.
  const std::vector<double> measured(run.MeasRunoff.begin() + first - 1,
                                     run.MeasRunoff.begin() + last + 1);
  const std::vector<double> calculated(run.CalcRunoff.begin() + first - 1,
                                       run.CalcRunoff.begin() + last + 1);
  TFitMeasures fit = ComputeFitMeasures(measured, calculated);
  fit.Records = last - first + 1;
  fit.RSquare = std::numeric_limits<double>::quiet_NaN();
  return fit;
}

TFitMeasures FitMeasuresOfResultsFile(const std::string& fileName) {
  // The table reader of the graphs, on a data set of its own.
  TDMTevlora table;
  table.OutFileName = fileName;
  table.LoadGraphSeries(3);
  if (table.NrOfData < 1) return {};
  return ComputeFitMeasures(table.SeriesD, table.SeriesC);
}

std::string FitMeasureText(double value, int decimals) {
  if (!std::isfinite(value)) return {};
  return Trim(FormatFixed(value, 1, decimals));
}
