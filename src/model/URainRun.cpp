#include "URainRun.h"

#include <algorithm>
#include <cmath>

#include "AlphaSearch.h"
#include "TextFile.h"

int (&RunSerial)[kRunCapacity] = Session.RunSerial;
std::string (&RunSerialText)[kRunCapacity] = Session.RunSerialText;
double (&RunTime)[kRunCapacity] = Session.RunTime;
double (&RunRain)[kRunCapacity] = Session.RunRain;
double (&MeasRunoff)[kRunCapacity] = Session.MeasRunoff;
double (&AddedWater)[kRunCapacity] = Session.AddedWater;
double (&Recharge)[kRunCapacity] = Session.Recharge;
double (&Alpha)[kRunCapacity] = Session.Alpha;
double (&CalcRunoff)[kRunCapacity] = Session.CalcRunoff;
double (&RunEscRate)[kRunCapacity] = Session.RunEscRate;
int& RunCount = Session.RunCount;

double& RunMaxStorage = Session.RunMaxStorage;
double& RunInitStorage = Session.RunInitStorage;
double& RunMaxEscape = Session.RunMaxEscape;
std::string& TimeUnit = Session.TimeUnit;
std::string& DepthUnit = Session.DepthUnit;

bool& RegressionOff = Session.RegressionOff;
bool& VariationOk = Session.VariationOk;
bool& TimeSequenceError = Session.TimeSequenceError;
bool& StorageOk = Session.StorageOk;
bool& QuadTrendValid = Session.QuadTrendValid;
bool& AlphaFitFound = Session.AlphaFitFound;

double& LinA = Session.LinA;
double& LinC = Session.LinC;
double& QuadA = Session.QuadA;
double& QuadB = Session.QuadB;
double& QuadC = Session.QuadC;
double& AlphaQuadA = Session.AlphaQuadA;
double& AlphaQuadB = Session.AlphaQuadB;
double& AlphaQuadC = Session.AlphaQuadC;

double& TrialA = Session.TrialA;
double& TrialC = Session.TrialC;
double& BestA = Session.BestA;
double& BestC = Session.BestC;
double& BestSumSq = Session.BestSumSq;
double& SumSq = Session.SumSq;

int SearchThreads = 0;

namespace T = RainRunTexts;

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
void ReadRunSeries(TDMTevlora& data, const std::string& text) {
  TTextReader in(text, data.FileName);
  in.SkipLines(3);
  data.Title1 = in.ReadLine();
  data.Title2 = in.ReadLine();
  in.SkipLines(2);
  double* parameters[3] = {&RunMaxStorage, &RunInitStorage, &RunMaxEscape};
  for (double* value : parameters) {
    in.SkipChars(23);
    *value = in.ReadReal();
    in.SkipLine();
  }
  in.SkipLines(3);
  TimeUnit = in.ReadChars(22);
  DepthUnit = in.ReadChars(11);
  in.SkipLine();
  if (TimeUnit == " ---------------------") {
    TimeUnit = "--";
    DepthUnit = "--";
  } else {
    TimeUnit = Squeeze(TimeUnit);
    DepthUnit = Squeeze(DepthUnit);
    if (TimeUnit == "SerialTimeR") TimeUnit = "t";
    if (DepthUnit == "ainR") DepthUnit = "depth/t";
    in.SkipLine();
  }

  int n = 0;
  while (!in.SeekEof()) {
    if (n + 1 >= kRunCapacity) {
      throw TIOError("The file \"" + data.FileName + "\" holds more than " +
                     std::to_string(kRunCapacity - 1) + " records");
    }
    ++n;
    RunSerial[n] = in.ReadInteger();
    RunTime[n] = in.ReadReal();
    RunRain[n] = in.ReadReal();
    RunEscRate[n] = in.ReadReal();
    MeasRunoff[n] = in.ReadReal();
    in.SkipLine();
    RunSerialText[n] = std::to_string(RunSerial[n]).substr(0, 7);
  }
  RunCount = n;
}

// Runoff floor and added water.
void PrepareRecords(TDMTevlora& data) {
  const int n = RunCount;
  for (int k = 1; k <= n; ++k) {
    if (MeasRunoff[k] < 0.001) MeasRunoff[k] = 0.001;
  }
  for (int k = 1; k <= n; ++k) AddedWater[k] = 0;
  for (int k = 1; k <= n; ++k) {
    if (RunEscRate[k] < 0) {
      AddedWater[k] = -RunEscRate[k];
      RunRain[k] = RunRain[k] + AddedWater[k];
      RunEscRate[k] = 0;
    }
  }
  // The data set keeps record n's escape rate at its own place n - 1.
  if (static_cast<int>(data.EscRate.size()) < n) data.EscRate.resize(n);
  for (int k = 1; k <= n; ++k) data.EscRate[k - 1] = RunEscRate[k];
}

// The variation checks compare the true extremes of the series.
bool VariationChecks(TDMTevlora& data) {
  VariationOk = true;
  data.RunAborted = false;
  const int n = RunCount;
  if (n < 1) {
    data.RunAborted = true;
    data.Dialogs->Message(T::kNoRunoffVariation);
    VariationOk = false;
    return false;
  }
  const auto [runoffLow, runoffHigh] = std::minmax_element(MeasRunoff + 1, MeasRunoff + n + 1);
  const auto [timeLow, timeHigh] = std::minmax_element(RunTime + 1, RunTime + n + 1);
  if (*runoffHigh - *runoffLow < 0.001) {
    data.RunAborted = true;
    data.Dialogs->Message(T::kNoRunoffVariation);
    VariationOk = false;
    return false;
  }
  if (*timeHigh - *timeLow < 0.001) {
    data.RunAborted = true;
    data.Dialogs->Message(T::kNoTimeVariation);
    VariationOk = false;
    return false;
  }
  return true;
}

// The vertex of the rain-runoff parabola inside the middle 60 % of the rain
// range suggests data the model cannot follow.
void QuadraticTrendWarning(TDMTevlora& data, bool quadraticComputed) {
  double rainMin = 1000000.0, rainMax = 0;
  for (int n = 1; n <= RunCount; ++n) {
    if (RunRain[n] < rainMin) rainMin = RunRain[n];
    if (RunRain[n] > rainMax) rainMax = RunRain[n];
  }
  if (!quadraticComputed || QuadA == 0 || !QuadTrendValid) return;
  const double vertex = -0.5 * QuadB / QuadA;
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

bool& QuadraticComputedThisRun = Session.QuadraticComputedThisRun;

const char* ProgressText(int k, int records) {
  struct TProgressLine {
    int k;
    const char* text;
  };
  static const TProgressLine kLines[] = {
      {150, " Please wait ....."},     {250, " Progress 12.5% ...."}, {300, " Progress 15% ...."},
      {350, " Progress 17.5% ...."},  {400, " Progress 20% ...."},   {450, " Progress 22.5% ...."},
      {500, " Progress 25% ...."},    {550, " Progress 27.5% ...."}, {600, " Progress 30% ...."},
      {650, " Progress 32.5% ...."},  {700, " Progress 35% ...."},   {750, " Progress 37.5% ...."},
      {800, " Progress 40% ...."},    {850, " Progress 42.5% ...."}, {900, " Progress 45% ...."},
      {950, " Progress 47.5% ...."},  {1000, " Progress 50% ...."},  {1050, " Progress 52.5% ...."},
      {1100, " Progress 55% ...."},   {1150, " Progress 57.5% ...."}, {1200, " Progress 60% ...."},
      {1250, " Progress 62.5% ...."}, {1300, " Progress 65% ...."},  {1350, " Progress 67.5% ...."},
      {1400, " Progress 70% ...."},   {1450, " Progress 72.5% ...."}, {1500, " Progress 75% ...."},
      {1550, " Progress 77.5% ...."}, {1600, " Progress 80% ...."},  {1650, " Progress 82.5% ...."},
      {1700, " Progress 85% ...."},   {1750, " Progress 87.5% ...."}, {1800, " Progress 90% ...."},
      {1850, " Progress 92.5% ...."}, {1900, " Progress 95% ...."},  {1950, " Progress 97.5% ...."},
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

TSearchProblem SearchProblemOfRun() {
  TSearchProblem problem;
  problem.count = RunCount;
  problem.timeStep.assign(RunCount + 1, 0.0);
  problem.recharge.assign(Recharge, Recharge + RunCount + 1);
  problem.measured.assign(MeasRunoff, MeasRunoff + RunCount + 1);
  for (int n = 2; n <= RunCount; ++n) problem.timeStep[n] = RunTime[n] - RunTime[n - 1];
  problem.firstRunoff = CalcRunoff[1];
  return problem;
}

void RouteDeadStorage(TDMTevlora& data) {
  const int n = RunCount;
  const double smax = RunMaxStorage;
  const double s0 = RunInitStorage;
  const double d0 = smax - s0;
  std::vector<double> storage(n + 1), deficit(n + 1);
  if (n < 1) return;
  Recharge[1] = RunRain[1] - d0;
  if (Recharge[1] >= 0) {
    storage[1] = smax;
    deficit[1] = 0;
  } else {
    deficit[1] = d0 - RunRain[1];
    Recharge[1] = 0;
    storage[1] = s0 + RunRain[1];
  }
  for (int k = 2; k <= n; ++k) {
    const double dt = RunTime[k] - RunTime[k - 1];
    if (dt < 0) {
      TimeSequenceError = true;
      data.Dialogs->Message(T::kTimeSequence);
      return;
    }
    StorageOk = true;
    if (RunMaxStorage <= 0) {
      data.Dialogs->Message(T::kMaxStorage);
      StorageOk = false;
      return;
    }
    const double escape = RunEscRate[k] * dt * storage[k - 1] / smax;
    double room = deficit[k - 1] + escape;
    if (room < 0) room = 0;
    Recharge[k] = RunRain[k] - room;
    if (k == 2 && d0 < 0) Recharge[2] = RunRain[2] - d0;
    storage[k] = smax;
    deficit[k] = 0;
    if (Recharge[k] < 0) {
      deficit[k] = deficit[k - 1] + escape - RunRain[k];
      Recharge[k] = 0;
      storage[k] = storage[k - 1] - escape + RunRain[k];
    }
  }
}

void RouteMainReservoir(double a, double c) {
  for (int n = 2; n <= RunCount; ++n) {
    Alpha[n] = a * CalcRunoff[n - 1] + c;
    if (Alpha[n] < 0) Alpha[n] = 0;
    const double f = std::exp(-Alpha[n] * (RunTime[n] - RunTime[n - 1]));
    const double kept = CalcRunoff[n - 1] * f;
    const double added = Recharge[n] * (1 - f);
    CalcRunoff[n] = kept + added;
  }
}

void RainRunoffTrend() {
  TRegression regression;
  for (int n = 1; n <= RunCount; ++n) regression.Add(Recharge[n], MeasRunoff[n]);
  QuadTrendValid = true;
  QuadraticComputedThisRun = false;
  if (regression.sx == 0) {
    QuadTrendValid = false;
    return;
  }
  regression.Linear(LinA, LinC);
  QuadraticComputedThisRun = regression.Quadratic(QuadA, QuadB, QuadC);
  // The trend file says whether this run computed the quadratic; with two
  // records, or a recharge without spread, the coefficients are old ones.
  QuadTrendValid = QuadraticComputedThisRun;
}

void AlphaRunoffTrend() {
  TRegression regression;
  for (int n = 1; n <= RunCount; ++n) regression.Add(MeasRunoff[n], Alpha[n]);
  double unusedA = 0, unusedC = 0;
  regression.Linear(unusedA, unusedC);
  regression.Quadratic(AlphaQuadA, AlphaQuadB, AlphaQuadC);
}

namespace {

std::string TrendFileText(TValueCheck& check) {
  TTextWriter out;
  out.Line("Linear: Runoff = A * Rain + C");
  out << "A= " << check.Fixed(LinA, 7, 4, "the linear trend coefficient A") << " C= "
      << check.Fixed(LinC, 7, 4, "the linear trend constant C");
  out.EndLine();
  out.Line("");
  out.Line("Quadratic: Runoff = A * RainSq +  B * Rain + C");
  out << "A= " << check.Fixed(QuadA, 8, 5, "the quadratic trend coefficient A") << " B= "
      << check.Fixed(QuadB, 8, 5, "the quadratic trend coefficient B") << " C= "
      << check.Fixed(QuadC, 8, 5, "the quadratic trend constant C");
  out.EndLine();
  out.Line("");
  out.Line(QuadTrendValid ? "Q= 1" : "Q= 0");
  out.Line("");
  out << "Quadratic Aq = " << check.Fixed(AlphaQuadA, 8, 4, "the alpha trend coefficient Aq")
      << " Bq = " << check.Fixed(AlphaQuadB, 8, 4, "the alpha trend coefficient Bq")
      << " Cq = " << check.Fixed(AlphaQuadC, 8, 4, "the alpha trend constant Cq");
  out.EndLine();
  return out.Text();
}

}  // namespace

void WriteTrendFile(const TDMTevlora& data) {
  TValueCheck check;
  const std::string text = TrendFileText(check);
  if (!check.Ok()) throw TIOError(check.Problem());
  const std::string name = ChangeFileExt(data.FileName, ".dat");
  if (!SaveTextFileSafely(name, text)) {
    throw TIOError("The trend file \"" + name + "\" could not be written" +
                  WriteFailureReason());
  }
}

void ReadAndCheck(TDMTevlora& data) {
  const auto text = LoadTextFile(data.FileName);
  if (!text) throw TIOError(InputFileNotOpenedText(data.FileName));
  ReadAndCheckText(data, *text);
}

void ReadAndCheckText(TDMTevlora& data, const std::string& text) {
  ReadRunSeries(data, text);
  PrepareRecords(data);
  if (!VariationChecks(data)) return;
  if (RunInitStorage == 0) RunInitStorage = 0.1 * RunMaxStorage;
  TimeSequenceError = false;
  RouteDeadStorage(data);
  if (TimeSequenceError || !StorageOk) return;
  if (!RegressionOff) {
    RainRunoffTrend();
    QuadraticTrendWarning(data, QuadraticComputedThisRun);
  }
}

void OptimiseAlpha(TDMTevlora& data) {
  SumSq = 0;
  BestSumSq = kNoTrialYet;
  CalcRunoff[1] = MeasRunoff[1];
  const TSearchProblem problem = SearchProblemOfRun();
  const int records = data.NrOfData;
  const TSearchResult result = FastSearch(problem, SearchThreads, [&](int k) {
    if (const char* text = ProgressText(k, records)) data.Dialogs->Progress(text);
  });
  TrialA = TrialAOf(kOuterTrials - 1);
  TrialC = TrialCOf(kInnerTrials);
  AlphaFitFound = result.Found();
  if (!AlphaFitFound) {
    // An optimum of an earlier run (or 0 and 0) must not pass for this one.
    data.Dialogs->Message(T::kNoFit);
    data.RunAborted = true;
    return;
  }
  BestA = TrialAOf(result.outer);
  BestC = TrialCOf(result.inner);
  BestSumSq = result.sum;

  // Final reconstruction with the optimum, and its fit.
  SumSq = 0;
  RouteMainReservoir(BestA, BestC);
  for (int n = 2; n <= RunCount; ++n) {
    const double d = MeasRunoff[n] - CalcRunoff[n];
    SumSq += d * d;
  }
  double total = 0;
  for (int n = 1; n <= RunCount; ++n) total += MeasRunoff[n];
  const double mean = total / RunCount;
  double deviation = 0;
  for (int n = 1; n <= RunCount; ++n) {
    const double d = MeasRunoff[n] - mean;
    deviation += d * d;
  }
  RSquare = 1 - 0.5 * SumSq / deviation;
  if (!(RSquare > 0)) RSquare = 0.01;
  if (RSquare >= 1) RSquare = 0.99;

  AlphaRunoffTrend();
}

bool WriteAnalysisResults(TDMTevlora& data) {
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
  out << "Maximum dead storage:  " << check.Fixed(RunMaxStorage, 6, 2, "the maximum dead storage")
      << " mm";
  out.EndLine();
  out << "Initial dead storage:  " << check.Fixed(RunInitStorage, 6, 2, "the initial dead storage")
      << " mm";
  out.EndLine();
  out << "Max. escape/time unit: " << check.Fixed(RunMaxEscape, 6, 2, "the maximum escape rate")
      << " " << DepthUnit;
  out.EndLine();
  out.Line("Equation: Q(n)=Q(n-1)*F+R(n)*(1-F) with Q=runoff, R=Rechargen=serial nr.");
  out.Line("where F=exp[-Alpha(n)*{T(n)-T(n-1)}], T=time");
  out.Line("OPTIMIZATION: alpha = A * runoff + C");
  out << "A =" << check.Fixed(BestA, 7, 4, "A") << "  C =" << check.Fixed(BestC, 8, 4, "C");
  out.EndLine();
  AlphaA = BestA;
  AlphaC = BestC;
  out.Line("");
  out.Line("RECONSTRUCTION:");
  const std::string dashes(64, '-');
  out.Line(dashes);
  out.Line("Serial    Time      Rain    Recharge   Runoff    Alpha    Runoff");
  out.Line(" No.                         calc.     meas.     calc.    calc. ");

  // Unit line: the pads depend on the lengths of the labels.
  const auto pad = [](std::size_t length, const int (&table)[12]) {
    return std::string(table[std::min<std::size_t>(length, 11)], ' ');
  };
  static const int kPadT[12] = {0, 9, 8, 7, 6, 5, 4, 0, 0, 0, 0, 0};
  static const int kPadD[12] = {0, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 0};
  static const int kPadL[12] = {0, 0, 18, 17, 16, 15, 14, 13, 12, 11, 9, 0};
  out << std::string(10, ' ') << TimeUnit << pad(TimeUnit.size(), kPadT) << DepthUnit
      << pad(DepthUnit.size(), kPadD) << DepthUnit << pad(DepthUnit.size(), kPadD) << DepthUnit
      << pad(DepthUnit.size(), kPadL) << DepthUnit;
  out.EndLine();
  out.Line(dashes);

  Alpha[1] = 0;
  for (int n = 1; n <= RunCount; ++n) {
    out << " " << RunSerialText[n];
    if (RunSerial[n] < 10) {
      out << "  ";
    } else if (RunSerial[n] < 100) {
      out << " ";
    }
    out << check.Column(RunTime[n], 10, 2, "the time", n)
        << check.Column(RunRain[n], 10, 2, "the rain", n)
        << check.Column(Recharge[n], 10, 2, "the recharge", n)
        << check.Column(MeasRunoff[n], 10, 2, "the measured runoff", n)
        << check.Column(Alpha[n], 10, 3, "the alpha", n)
        << check.Column(CalcRunoff[n], 10, 2, "the calculated runoff", n);
    out.EndLine();
  }
  out.Line(dashes);
  const double deviation = RunCount > 1 ? std::sqrt(SumSq / (RunCount - 1)) : 0.0;
  out << "Stand. dev. of calc. from meas. runoff:"
      << check.Fixed(deviation, 8, 3, "the standard deviation");
  out.EndLine();
  out << "Coefficient of explanation R square is:" << check.Fixed(RSquare, 8, 3, "R square");
  out.EndLine();
  out.Line("");
  const std::string trendName = ChangeFileExt(outName, ".dat");
  const std::string trend = TrendFileText(check);
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

void RunAnalysis(TDMTevlora& data) {
  RegressionOff = true;
  ReadAndCheck(data);
  if (!VariationOk || TimeSequenceError || data.RunAborted || !StorageOk) return;
  RegressionOff = false;
  ReadAndCheck(data);
  OptimiseAlpha(data);
  if (!AlphaFitFound) return;
  if (!WriteAnalysisResults(data)) data.RunAborted = true;
}
