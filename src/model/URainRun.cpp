#include "URainRun.h"

#include <algorithm>
#include <cmath>

#include "AlphaSearch.h"
#include "TextFile.h"

namespace T = RainRunTexts;

void TAnalysisRun::Resize(int records) {
  const std::size_t size = static_cast<std::size_t>(records) + 1;
  RunSerial.resize(size);
  RunSerialText.resize(size);
  for (auto* series : {&RunTime, &RunRain, &MeasRunoff, &AddedWater, &Recharge, &Alpha, &CalcRunoff,
                       &RunEscRate}) {
    series->resize(size);
  }
}

namespace {

// Removes every blank and full stop.
std::string Squeeze(const std::string& label) {
  std::string result;
  for (char c : label) {
    if (c != ' ' && c != '.') result.push_back(c);
  }
  return result;
}

// Reads the text of a saved input file into the run series.
void ReadRunSeries(TDMTevlora& data, TAnalysisRun& run, const std::string& text) {
  TTextReader in(text, data.FileName);
  in.SkipLines(3);
  data.Title1 = in.ReadLine();
  data.Title2 = in.ReadLine();
  in.SkipLines(2);
  double* parameters[3] = {&run.RunMaxStorage, &run.RunInitStorage, &run.RunMaxEscape};
  for (double* value : parameters) {
    in.SkipChars(23);
    *value = in.ReadReal();
    in.SkipLine();
  }
  in.SkipLines(3);
  run.TimeUnit = in.ReadChars(22);
  run.DepthUnit = in.ReadChars(11);
  in.SkipLine();
  if (run.TimeUnit == " ---------------------") {
    run.TimeUnit = "--";
    run.DepthUnit = "--";
  } else {
    run.TimeUnit = Squeeze(run.TimeUnit);
    run.DepthUnit = Squeeze(run.DepthUnit);
    if (run.TimeUnit == "SerialTimeR") run.TimeUnit = "t";
    if (run.DepthUnit == "ainR") run.DepthUnit = "depth/t";
    in.SkipLine();
  }

  int n = 0;
  while (!in.SeekEof()) {
    if (n >= kRunMaxRecords) {
      throw TIOError("The file \"" + data.FileName + "\" holds more than " +
                     std::to_string(kRunMaxRecords) + " records");
    }
    ++n;
    // Grown, never shrunk while reading: the records already there keep
    // their values until this run writes them, as the program always did.
    if (static_cast<int>(run.RunSerial.size()) <= n) run.Resize(n);
    run.RunSerial[n] = in.ReadInteger();
    run.RunTime[n] = in.ReadReal();
    run.RunRain[n] = in.ReadReal();
    run.RunEscRate[n] = in.ReadReal();
    run.MeasRunoff[n] = in.ReadReal();
    in.SkipLine();
    run.RunSerialText[n] = std::to_string(run.RunSerial[n]).substr(0, 7);
  }
  run.Resize(n);
  run.RunCount = n;
}

// Runoff floor and added water.
void PrepareRecords(TDMTevlora& data, TAnalysisRun& run) {
  const int n = run.RunCount;
  for (int k = 1; k <= n; ++k) {
    if (run.MeasRunoff[k] < 0.001) run.MeasRunoff[k] = 0.001;
  }
  for (int k = 1; k <= n; ++k) run.AddedWater[k] = 0;
  for (int k = 1; k <= n; ++k) {
    if (run.RunEscRate[k] < 0) {
      run.AddedWater[k] = -run.RunEscRate[k];
      run.RunRain[k] = run.RunRain[k] + run.AddedWater[k];
      run.RunEscRate[k] = 0;
    }
  }
  // The data set keeps record n's escape rate at its own place n - 1.
  if (static_cast<int>(data.EscRate.size()) < n) data.EscRate.resize(n);
  for (int k = 1; k <= n; ++k) data.EscRate[k - 1] = run.RunEscRate[k];
}

// The variation checks compare the true extremes of the series.
bool VariationChecks(TDMTevlora& data, TAnalysisRun& run) {
  run.VariationOk = true;
  data.RunAborted = false;
  const int n = run.RunCount;
  if (n < 1) {
    data.RunAborted = true;
    data.Dialogs->Message(T::kNoRunoffVariation);
    run.VariationOk = false;
    return false;
  }
  const auto [runoffLow, runoffHigh] =
      std::minmax_element(run.MeasRunoff.begin() + 1, run.MeasRunoff.begin() + n + 1);
  const auto [timeLow, timeHigh] =
      std::minmax_element(run.RunTime.begin() + 1, run.RunTime.begin() + n + 1);
  if (*runoffHigh - *runoffLow < 0.001) {
    data.RunAborted = true;
    data.Dialogs->Message(T::kNoRunoffVariation);
    run.VariationOk = false;
    return false;
  }
  if (*timeHigh - *timeLow < 0.001) {
    data.RunAborted = true;
    data.Dialogs->Message(T::kNoTimeVariation);
    run.VariationOk = false;
    return false;
  }
  return true;
}

// The vertex of the rain-runoff parabola inside the middle 60 % of the rain
// range suggests data the model cannot follow.
void QuadraticTrendWarning(TDMTevlora& data, const TAnalysisRun& run, bool quadraticComputed) {
  double rainMin = 1000000.0, rainMax = 0;
  for (int n = 1; n <= run.RunCount; ++n) {
    if (run.RunRain[n] < rainMin) rainMin = run.RunRain[n];
    if (run.RunRain[n] > rainMax) rainMax = run.RunRain[n];
  }
  if (!quadraticComputed || run.QuadA == 0 || !run.QuadTrendValid) return;
  const double vertex = -0.5 * run.QuadB / run.QuadA;
  const double range = rainMax - rainMin;
  if (rainMin + 0.2 * range < vertex && rainMax - 0.2 * range > vertex) {
    data.Dialogs->Message(T::kQuadraticWarning);
  }
}

// Least squares of y on x (linear, and quadratic when N >= 3). Coefficients
// whose denominator is 0 keep their previous values, so no file ever gets
// NaN or infinity. x without spread (all values equal, up to the rounding of
// the sums, which leaves a centred sum of about 1e-16 of the sum of squares)
// counts as 0: its noise would make a slope of anything.
constexpr double kNoSpread = 1e-10;

struct TRegression {
  double sy = 0, sx = 0, sxx = 0, sxy = 0, sxxx = 0, sxxy = 0, sxxxx = 0;
  int count = 0;

  void Add(double x, double y) {
    sy += y;
    sx += x;
    sxx += x * x;
    sxy += x * y;
    sxxx += x * x * x;
    sxxy += x * x * y;
    sxxxx += x * x * x * x;
    ++count;
  }

  void Linear(double& a, double& c) const {
    const double n = count;
    const double cxx = sxx - sx * sx / n;
    const double cxy = sxy - sx * sy / n;
    if (!(cxx > kNoSpread * sxx)) return;
    a = cxy / cxx;
    c = sy / n - a * (sx / n);
  }

  // Returns true when the quadratic was computed.
  bool Quadratic(double& qa, double& qb, double& qc) const {
    if (count < 3) return false;
    const double n = count;
    const double cxx = sxx - sx * sx / n;
    const double cxy = sxy - sx * sy / n;
    const double cx_xx = sxxx - sx * sxx / n;
    const double cxx_y = sxxy - sxx * sy / n;
    const double cxx_xx = sxxxx - sxx * sxx / n;
    const double den = cxx * cxx_xx - cx_xx * cx_xx;
    if (!(cxx > kNoSpread * sxx) || den == 0) return false;
    qa = (cxx_y * cxx - cxy * cx_xx) / den;
    qb = (cxy * cxx_xx - cxx_y * cx_xx) / den;
    qc = sy / n - qb * sx / n - qa * sxx / n;
    return true;
  }
};

const char* ProgressText(int k, int records) {
  struct TProgressLine {
    int k;
    const char* text;
  };
  static const TProgressLine kLines[] = {
      {150, " Please wait ....."},  {250, " Progress 12.5% ...."},
      {300, " Progress 15% ...."},  {350, " Progress 17.5% ...."},
      {400, " Progress 20% ...."},  {450, " Progress 22.5% ...."},
      {500, " Progress 25% ...."},  {550, " Progress 27.5% ...."},
      {600, " Progress 30% ...."},  {650, " Progress 32.5% ...."},
      {700, " Progress 35% ...."},  {750, " Progress 37.5% ...."},
      {800, " Progress 40% ...."},  {850, " Progress 42.5% ...."},
      {900, " Progress 45% ...."},  {950, " Progress 47.5% ...."},
      {1000, " Progress 50% ...."}, {1050, " Progress 52.5% ...."},
      {1100, " Progress 55% ...."}, {1150, " Progress 57.5% ...."},
      {1200, " Progress 60% ...."}, {1250, " Progress 62.5% ...."},
      {1300, " Progress 65% ...."}, {1350, " Progress 67.5% ...."},
      {1400, " Progress 70% ...."}, {1450, " Progress 72.5% ...."},
      {1500, " Progress 75% ...."}, {1550, " Progress 77.5% ...."},
      {1600, " Progress 80% ...."}, {1650, " Progress 82.5% ...."},
      {1700, " Progress 85% ...."}, {1750, " Progress 87.5% ...."},
      {1800, " Progress 90% ...."}, {1850, " Progress 92.5% ...."},
      {1900, " Progress 95% ...."}, {1950, " Progress 97.5% ...."},
  };
  for (const auto& line : kLines) {
    if (line.k != k) continue;
    if (k == 150 || k % 200 == 0) return line.text;
    if (k % 100 == 0) return records > 200 ? line.text : nullptr;
    return records > 500 ? line.text : nullptr;
  }
  return nullptr;
}

}  // namespace

TSearchProblem SearchProblemOfRun(const TAnalysisRun& run) {
  TSearchProblem problem;
  problem.count = run.RunCount;
  problem.timeStep.assign(run.RunCount + 1, 0.0);
  problem.recharge.assign(run.Recharge.begin(), run.Recharge.begin() + run.RunCount + 1);
  problem.measured.assign(run.MeasRunoff.begin(), run.MeasRunoff.begin() + run.RunCount + 1);
  for (int n = 2; n <= run.RunCount; ++n) problem.timeStep[n] = run.RunTime[n] - run.RunTime[n - 1];
  problem.firstRunoff = run.CalcRunoff[1];
  return problem;
}

TSearchProblem SearchProblemOfRecords(const TAnalysisRun& run, int records) {
  TSearchProblem problem = SearchProblemOfRun(run);
  if (records >= 0 && records < problem.count) {
    problem.count = records;
    const auto size = static_cast<std::size_t>(records) + 1;
    problem.timeStep.resize(size);
    problem.recharge.resize(size);
    problem.measured.resize(size);
  }
  return problem;
}

int CalibrationRecordCount(const TAnalysisRun& run) {
  if (!run.CalibrateUntil) return run.RunCount;
  const double until = *run.CalibrateUntil;
  if (!std::isfinite(until)) return 0;
  int count = 0;
  while (count < run.RunCount && run.RunTime[count + 1] <= until) ++count;
  return count >= 2 && count < run.RunCount ? count : 0;
}

std::string CalibrateUntilText(double until, double first, double last) {
  const auto shown = [](double value) { return Trim(FormatFixed(value, 1, 2)); };
  return "The calibration period must end at a time of the records: " + shown(until) +
         " is not from " + shown(first) + " (record 2) up to before " + shown(last) +
         " (the last record), which leaves records for both the calibration and the validation.";
}

void RouteDeadStorage(TDMTevlora& data, TAnalysisRun& run) {
  const int n = run.RunCount;
  const double smax = run.RunMaxStorage;
  const double s0 = run.RunInitStorage;
  const double d0 = smax - s0;
  std::vector<double> storage(n + 1), deficit(n + 1);
  if (n < 1) return;
  run.Recharge[1] = run.RunRain[1] - d0;
  if (run.Recharge[1] >= 0) {
    storage[1] = smax;
    deficit[1] = 0;
  } else {
    deficit[1] = d0 - run.RunRain[1];
    run.Recharge[1] = 0;
    storage[1] = s0 + run.RunRain[1];
  }
  for (int k = 2; k <= n; ++k) {
    const double dt = run.RunTime[k] - run.RunTime[k - 1];
    if (dt < 0) {
      run.TimeSequenceError = true;
      data.Dialogs->Message(T::kTimeSequence);
      return;
    }
    run.StorageOk = true;
    if (run.RunMaxStorage <= 0) {
      data.Dialogs->Message(T::kMaxStorage);
      run.StorageOk = false;
      return;
    }
    const double escape = run.RunEscRate[k] * dt * storage[k - 1] / smax;
    double room = deficit[k - 1] + escape;
    if (room < 0) room = 0;
    run.Recharge[k] = run.RunRain[k] - room;
    if (k == 2 && d0 < 0) run.Recharge[2] = run.RunRain[2] - d0;
    storage[k] = smax;
    deficit[k] = 0;
    if (run.Recharge[k] < 0) {
      deficit[k] = deficit[k - 1] + escape - run.RunRain[k];
      run.Recharge[k] = 0;
      storage[k] = storage[k - 1] - escape + run.RunRain[k];
    }
  }
}

void RouteMainReservoir(TAnalysisRun& run, double a, double c) {
  for (int n = 2; n <= run.RunCount; ++n) {
    run.Alpha[n] = a * run.CalcRunoff[n - 1] + c;
    if (run.Alpha[n] < 0) run.Alpha[n] = 0;
    const double f = std::exp(-run.Alpha[n] * (run.RunTime[n] - run.RunTime[n - 1]));
    const double kept = run.CalcRunoff[n - 1] * f;
    const double added = run.Recharge[n] * (1 - f);
    run.CalcRunoff[n] = kept + added;
  }
}

void RainRunoffTrend(TAnalysisRun& run) {
  TRegression regression;
  for (int n = 1; n <= run.RunCount; ++n) regression.Add(run.Recharge[n], run.MeasRunoff[n]);
  run.QuadTrendValid = true;
  run.QuadraticComputedThisRun = false;
  if (regression.sx == 0) {
    run.QuadTrendValid = false;
    return;
  }
  regression.Linear(run.LinA, run.LinC);
  run.QuadraticComputedThisRun = regression.Quadratic(run.QuadA, run.QuadB, run.QuadC);
  // The trend file says whether this run computed the quadratic; with two
  // records, or a recharge without spread, the coefficients are old ones.
  run.QuadTrendValid = run.QuadraticComputedThisRun;
}

void AlphaRunoffTrend(TAnalysisRun& run) {
  TRegression regression;
  for (int n = 1; n <= run.RunCount; ++n) regression.Add(run.MeasRunoff[n], run.Alpha[n]);
  double unusedA = 0, unusedC = 0;
  regression.Linear(unusedA, unusedC);
  regression.Quadratic(run.AlphaQuadA, run.AlphaQuadB, run.AlphaQuadC);
}

namespace {

std::string TrendFileText(const TAnalysisRun& run, TValueCheck& check) {
  TTextWriter out;
  out.Line("Linear: Runoff = A * Rain + C");
  out << "A= " << check.Fixed(run.LinA, 7, 4, "the linear trend coefficient A")
      << " C= " << check.Fixed(run.LinC, 7, 4, "the linear trend constant C");
  out.EndLine();
  out.Line("");
  out.Line("Quadratic: Runoff = A * RainSq +  B * Rain + C");
  out << "A= " << check.Fixed(run.QuadA, 8, 5, "the quadratic trend coefficient A")
      << " B= " << check.Fixed(run.QuadB, 8, 5, "the quadratic trend coefficient B")
      << " C= " << check.Fixed(run.QuadC, 8, 5, "the quadratic trend constant C");
  out.EndLine();
  out.Line("");
  out.Line(run.QuadTrendValid ? "Q= 1" : "Q= 0");
  out.Line("");
  out << "Quadratic Aq = " << check.Fixed(run.AlphaQuadA, 8, 4, "the alpha trend coefficient Aq")
      << " Bq = " << check.Fixed(run.AlphaQuadB, 8, 4, "the alpha trend coefficient Bq")
      << " Cq = " << check.Fixed(run.AlphaQuadC, 8, 4, "the alpha trend constant Cq");
  out.EndLine();
  return out.Text();
}

}  // namespace

void WriteTrendFile(const TDMTevlora& data, const TAnalysisRun& run) {
  TValueCheck check;
  const std::string text = TrendFileText(run, check);
  if (!check.Ok()) throw TIOError(check.Problem());
  const std::string name = ChangeFileExt(data.FileName, ".dat");
  if (!SaveTextFileSafely(name, text)) {
    throw TIOError("The trend file \"" + name + "\" could not be written" + WriteFailureReason());
  }
}

void ReadAndCheck(TDMTevlora& data, TAnalysisRun& run) {
  const auto text = LoadTextFile(data.FileName);
  if (!text) throw TIOError(InputFileNotOpenedText(data.FileName));
  ReadAndCheckText(data, run, *text);
}

void ReadAndCheckText(TDMTevlora& data, TAnalysisRun& run, const std::string& text) {
  ReadRunSeries(data, run, text);
  PrepareRecords(data, run);
  if (!VariationChecks(data, run)) return;
  if (run.RunInitStorage == 0) run.RunInitStorage = 0.1 * run.RunMaxStorage;
  run.TimeSequenceError = false;
  RouteDeadStorage(data, run);
  if (run.TimeSequenceError || !run.StorageOk) return;
  if (!run.RegressionOff) {
    RainRunoffTrend(run);
    QuadraticTrendWarning(data, run, run.QuadraticComputedThisRun);
  }
}

void OptimiseAlpha(TDMTevlora& data, TAnalysisRun& run) {
  run.SumSq = 0;
  run.BestSumSq = kNoTrialYet;
  run.CalibrationCount = CalibrationRecordCount(run);
  if (run.CalibrationCount == 0 && run.CalibrateUntil) {
    data.Dialogs->Message(CalibrateUntilText(
        *run.CalibrateUntil, run.RunTime[std::min(2, run.RunCount)], run.RunTime[run.RunCount]));
    run.AlphaFitFound = false;
    data.RunAborted = true;
    return;
  }
  run.CalcRunoff[1] = run.MeasRunoff[1];
  const TSearchProblem problem = SearchProblemOfRecords(run, run.CalibrationCount);
  const int records = data.NrOfData;
  const TSearchResult result = FastSearch(
      problem, run.SearchThreadCount,
      [&](int k) {
        if (const char* text = ProgressText(k, records)) data.Dialogs->Progress(text);
      },
      kNoTrialYet, run.SearchCancel);
  run.TrialA = TrialAOf(kOuterTrials - 1);
  run.TrialC = TrialCOf(kInnerTrials);
  run.AlphaFitFound = result.Found();
  if (!run.AlphaFitFound) {
    // An optimum of an earlier run (or 0 and 0) must not pass for this one.
    data.Dialogs->Message(T::kNoFit);
    data.RunAborted = true;
    return;
  }
  run.BestA = TrialAOf(result.outer);
  run.BestC = TrialCOf(result.inner);
  run.BestSumSq = result.sum;

  // Final reconstruction with the optimum, and its fit.
  run.SumSq = 0;
  RouteMainReservoir(run, run.BestA, run.BestC);
  for (int n = 2; n <= run.RunCount; ++n) {
    const double d = run.MeasRunoff[n] - run.CalcRunoff[n];
    run.SumSq += d * d;
  }
  double total = 0;
  for (int n = 1; n <= run.RunCount; ++n) total += run.MeasRunoff[n];
  const double mean = total / run.RunCount;
  double deviation = 0;
  for (int n = 1; n <= run.RunCount; ++n) {
    const double d = run.MeasRunoff[n] - mean;
    deviation += d * d;
  }
  data.Values.RSquare = 1 - 0.5 * run.SumSq / deviation;
  if (!(data.Values.RSquare > 0)) data.Values.RSquare = 0.01;
  if (data.Values.RSquare >= 1) data.Values.RSquare = 0.99;

  AlphaRunoffTrend(run);
}

bool WriteAnalysisResults(TDMTevlora& data, TAnalysisRun& run) {
  TValueCheck check;
  data.FileName = ChangeFileExt(data.FileName, ".out");
  const std::string outName = data.FileName;
  TTextWriter out;
  out.Line("THE RESULTS OF TevloraT PROGRAM");
  out.Line("");
  out.Line(data.Title1);
  out.Line(data.Title2);
  data.FileName = ChangeFileExt(data.FileName, ".inp");
  out.Line("Name of input file used: " + data.FileName);
  out.Line("");
  out << "Maximum dead storage:  "
      << check.Fixed(run.RunMaxStorage, 6, 2, "the maximum dead storage") << " mm";
  out.EndLine();
  out << "Initial dead storage:  "
      << check.Fixed(run.RunInitStorage, 6, 2, "the initial dead storage") << " mm";
  out.EndLine();
  out << "Max. escape/time unit: " << check.Fixed(run.RunMaxEscape, 6, 2, "the maximum escape rate")
      << " " << run.DepthUnit;
  out.EndLine();
  out.Line("Equation: Q(n)=Q(n-1)*F+R(n)*(1-F) with Q=runoff, R=Rechargen=serial nr.");
  out.Line("where F=exp[-Alpha(n)*{T(n)-T(n-1)}], T=time");
  out.Line("OPTIMIZATION: alpha = A * runoff + C");
  out << "A =" << check.Fixed(run.BestA, 7, 4, "A") << "  C =" << check.Fixed(run.BestC, 8, 4, "C");
  out.EndLine();
  data.Values.AlphaA = run.BestA;
  data.Values.AlphaC = run.BestC;
  out.Line("");
  out.Line("RECONSTRUCTION:");
  const std::string dashes(64, '-');
  out.Line(dashes);
  out.Line("Serial    Time      Rain    Recharge   Runoff    Alpha    Runoff");
  out.Line(" No.                         calc.     meas.     calc.    calc. ");

  // Unit line: the pads depend on the lengths of the labels.
  const auto pad = [](std::size_t length, const int(&table)[12]) {
    return std::string(table[std::min<std::size_t>(length, 11)], ' ');
  };
  static const int kPadT[12] = {0, 9, 8, 7, 6, 5, 4, 0, 0, 0, 0, 0};
  static const int kPadD[12] = {0, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0};
  static const int kPadL[12] = {0, 0, 18, 17, 16, 15, 14, 13, 12, 11, 9, 0};
  out << std::string(10, ' ') << run.TimeUnit << pad(run.TimeUnit.size(), kPadT) << run.DepthUnit
      << pad(run.DepthUnit.size(), kPadD) << run.DepthUnit << pad(run.DepthUnit.size(), kPadD)
      << run.DepthUnit << pad(run.DepthUnit.size(), kPadL) << run.DepthUnit;
  out.EndLine();
  out.Line(dashes);

  if (run.RunCount >= 1) run.Alpha[1] = 0;
  for (int n = 1; n <= run.RunCount; ++n) {
    out << " " << run.RunSerialText[n];
    if (run.RunSerial[n] < 10) {
      out << "  ";
    } else if (run.RunSerial[n] < 100) {
      out << " ";
    }
    out << check.Column(run.RunTime[n], 10, 2, "the time", n)
        << check.Column(run.RunRain[n], 10, 2, "the rain", n)
        << check.Column(run.Recharge[n], 10, 2, "the recharge", n)
        << check.Column(run.MeasRunoff[n], 10, 2, "the measured runoff", n)
        << check.Column(run.Alpha[n], 10, 3, "the alpha", n)
        << check.Column(run.CalcRunoff[n], 10, 2, "the calculated runoff", n);
    out.EndLine();
  }
  out.Line(dashes);
  const double deviation = run.RunCount > 1 ? std::sqrt(run.SumSq / (run.RunCount - 1)) : 0.0;
  out << "Stand. dev. of calc. from meas. runoff:"
      << check.Fixed(deviation, 8, 3, "the standard deviation");
  out.EndLine();
  out << "Coefficient of explanation R square is:"
      << check.Fixed(data.Values.RSquare, 8, 3, "R square");
  out.EndLine();
  out.Line("");
  const std::string trendName = ChangeFileExt(outName, ".dat");
  const std::string trend = TrendFileText(run, check);
  if (!check.Ok()) {
    data.Dialogs->Message(ResultsNotWrittenText(check.Problem()));
    return false;
  }
  // The trend file belongs to these results: both change, or neither.
  if (!SaveTextFilesTogether({{trendName, trend}, {outName, out.Text()}})) {
    throw TIOError("The results file \"" + outName + "\" and the trend file \"" + trendName +
                   "\" could not be written" + WriteFailureReason() +
                   "; both were left as they were");
  }
  return true;
}

void RunAnalysis(TDMTevlora& data, TAnalysisRun& run) {
  const auto text = LoadTextFile(data.FileName);
  if (!text) throw TIOError(InputFileNotOpenedText(data.FileName));
  RunAnalysisOfText(data, run, *text);
}

void RunAnalysisOfText(TDMTevlora& data, TAnalysisRun& run, const std::string& text) {
  run.RegressionOff = true;
  ReadAndCheckText(data, run, text);
  if (!run.VariationOk || run.TimeSequenceError || data.RunAborted || !run.StorageOk) return;
  run.RegressionOff = false;
  ReadAndCheckText(data, run, text);
  OptimiseAlpha(data, run);
  if (!run.AlphaFitFound) return;
  if (!WriteAnalysisResults(data, run)) data.RunAborted = true;
}
