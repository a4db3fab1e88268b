#include "UTevloraUtils.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <numeric>

#include "TextFile.h"

namespace {
// Plot geometry: the horizontal axis starts at column 70, and the vertical
// values are placed five rows above the axis at row 390.
constexpr double kLeftColumn = 70;
constexpr double kBottomRow = 385;

// Extremes start here; only a strictly greater (smaller) value replaces them.
constexpr double kMaximumStart = 0;
constexpr double kMinimumStart = 1.0E7;

int Saturate(double x) {
  if (std::isnan(x)) return 0;
  if (x >= static_cast<double>(std::numeric_limits<int>::max())) {
    return std::numeric_limits<int>::max();
  }
  if (x <= static_cast<double>(std::numeric_limits<int>::min())) {
    return std::numeric_limits<int>::min();
  }
  return static_cast<int>(x);
}

// A pixel position held within +-kPixelLimit (NaN gives 0).
int PixelPosition(double x) {
  if (std::isnan(x)) return 0;
  return static_cast<int>(
      std::clamp(x, static_cast<double>(-kPixelLimit), static_cast<double>(kPixelLimit)));
}

int SaturatedDifference(int high, int low) {
  return Saturate(static_cast<double>(static_cast<std::int64_t>(high) - low));
}

double ValueAt(const DataArrayR& series, int i) {
  return static_cast<std::size_t>(i) < series.size() ? series[i] : 0.0;
}

struct TExtremes {
  double Maximum = kMaximumStart;
  double Minimum = kMinimumStart;
};

// Values that are not finite numbers are not plotted values; they are left
// out so that one damaged entry cannot turn every axis into nonsense.
TExtremes ExtremesOf(const DataArrayR& series, int n) {
  TExtremes e;
  bool any = false;
  const int count = std::min<int>(n, static_cast<int>(series.size()));
  for (int i = 0; i < count; ++i) {
    const double v = series[i];
    if (!std::isfinite(v)) continue;
    any = true;
    if (v > e.Maximum) e.Maximum = v;
    if (v < e.Minimum) e.Minimum = v;
  }
  // No records: an empty range, which the degenerate-range rule turns into 0 .. 1.
  if (!any) e.Minimum = 0;
  return e;
}

TExtremes Union(const TExtremes& a, const TExtremes& b) {
  return {std::max(a.Maximum, b.Maximum), std::min(a.Minimum, b.Minimum)};
}

// Limits on a multiple of the step s (the rows with steps 4 and more).
TAxisLimits SteppedLimits(double minimum, double maximum, double step, int decimals) {
  TAxisLimits r;
  r.Low = Saturate(std::nearbyint((minimum - step / 2) / step) * step);
  r.High = Saturate(std::nearbyint((maximum + step / 2) / step) * step);
  r.Intervals = Saturate(static_cast<double>((static_cast<std::int64_t>(r.High) - r.Low) /
                                             static_cast<std::int64_t>(step)));
  r.Decimals = decimals;
  return r;
}

// Limits on whole numbers with a margin (the rows below 10).
TAxisLimits MarginLimits(double minimum, double maximum, double margin, int decimals,
                         bool halveManyIntervals) {
  TAxisLimits r;
  r.Low = RoundToEven(minimum - margin);
  r.High = RoundToEven(maximum + margin);
  r.Intervals = SaturatedDifference(r.High, r.Low);
  if (halveManyIntervals && r.Intervals >= 11) r.Intervals /= 2;
  r.Decimals = decimals;
  return r;
}

// The step of the table from 50 upward: within each decade group d the rows
// are [5d, 10d) -> d, [10d, 25d) -> 2.5d, [25d, 50d) -> 5d. Maxima of 100000
// or more go on with the same pattern.
double LargeStep(double maximum) {
  double d = 10;
  while (maximum >= 50 * d && d < 1.0E15) d *= 10;
  if (maximum < 10 * d) return d;
  if (maximum < 25 * d) return 2.5 * d;
  return 5 * d;
}

TAxisLimits RoundLimits(double minimum, double maximum, bool vertical) {
  TAxisLimits r;
  if (maximum >= 50) {
    r = SteppedLimits(minimum, maximum, LargeStep(maximum), 0);
  } else if (maximum >= 25) {
    r = SteppedLimits(minimum, maximum, 5, vertical ? 1 : 0);
  } else if (maximum >= 10) {
    r = SteppedLimits(minimum, maximum, 4, 1);
  } else if (maximum >= 1 || !vertical) {
    r = MarginLimits(minimum, maximum, 0.5, 1, vertical);
  } else {
    r = MarginLimits(minimum, maximum, 0.05, 2, true);
  }
  // Both axes need a non-empty range: the pixel mapping divides by it.
  if (r.Low == r.High) {
    if (r.High < std::numeric_limits<int>::max()) {
      ++r.High;
    } else {
      --r.Low;
    }
  }
  return r;
}

int FactorIndex(int factor) {
  switch (factor) {
    case 10:
      return 1;
    case 100:
      return 2;
    case 1000:
      return 3;
    default:
      return 0;
  }
}

// Which slots a graph kind draws from (SeriesT is also the time order of kind 8).
struct TSlots {
  bool T = false, A = false, B = false, C = false, D = false, F = false;
};

TSlots SlotsOf(int graphKind) {
  switch (graphKind) {
    case 1:
    case 7:
      return {.T = true, .C = true, .D = true};
    case 2:
      return {.T = true, .C = true};
    case 3:
      return {.T = true, .A = true, .B = true};
    case 4:
      return {.T = true, .B = true, .C = true};
    case 5:
      return {.T = true, .F = true};
    case 8:
      return {.T = true, .A = true, .B = true, .D = true};
    case 9:
      return {.T = true, .B = true, .D = true};
    default:
      return {.T = true};
  }
}
}  // namespace

bool IsGraphKind(int graphKind) {
  return graphKind >= 1 && graphKind <= 9 && graphKind != 6;
}

bool IsAnalysisGraphKind(int graphKind) {
  return graphKind == 1 || graphKind == 3 || graphKind == 7 || graphKind == 8 || graphKind == 9;
}

std::string TrendFileNotReadText(const std::string& fileName) {
  return "The trend file \"" + fileName + "\" could not be read.";
}

std::string TornPairText(const std::string& trendFileName, const std::string& resultsFileName) {
  return "The trend file \"" + trendFileName + "\" is newer than its results file \"" +
         resultsFileName +
         "\": the run that wrote them may have stopped between the two, so they may not belong "
         "together. Run the analysis again (or, where the two were copied, copy them again keeping "
         "their times, the results file last).";
}

int RoundToEven(double x) {
  return Saturate(std::nearbyint(x));
}

int ScaleFactorFor(double maximum) {
  if (maximum < 0.01) return 1000;
  if (0.01 < maximum && maximum < 0.1) return 100;
  if (0.1 < maximum && maximum < 1) return 10;
  return 1;
}

TAxisLimits RoundVerticalLimits(double minimum, double maximum) {
  return RoundLimits(minimum, maximum, true);
}

TAxisLimits RoundHorizontalLimits(double minimum, double maximum) {
  return RoundLimits(minimum, maximum, false);
}

void NormaliseIntervals(TAxisLimits& vertical, TAxisLimits& horizontal) {
  if (vertical.Intervals >= 11) {
    vertical.Intervals = 10;
    ++vertical.Decimals;
  }
  if (horizontal.Intervals >= 11) {
    horizontal.Intervals = 10;
    ++horizontal.Decimals;
  }
  if (vertical.Intervals < 4) {
    vertical.Intervals = 4;
    if (vertical.Decimals == 0) vertical.Decimals = 1;
  }
  if (horizontal.Intervals < 4) {
    horizontal.Intervals = 4;
    ++horizontal.Decimals;
  }
}

int TickDecimals(int low, int high, int intervals, int decimals) {
  if (intervals <= 0) return decimals;
  const double step = (static_cast<double>(high) - low) / intervals;
  int needed = decimals;
  double scaled = step * std::pow(10.0, needed);
  while (needed < kMaxTickDecimals &&
         std::abs(scaled - std::nearbyint(scaled)) > 1e-9 * std::max(1.0, std::abs(scaled))) {
    ++needed;
    scaled *= 10;
  }
  return needed;
}

int GraphRecordCount(const TDMTevlora& data, int graphKind) {
  std::size_t n = static_cast<std::size_t>(std::max(0, data.NrOfData));
  const TSlots used = SlotsOf(graphKind);
  if (used.T) n = std::min(n, data.SeriesT.size());
  if (used.A) n = std::min(n, data.SeriesA.size());
  if (used.B) n = std::min(n, data.SeriesB.size());
  if (used.C) n = std::min(n, data.SeriesC.size());
  if (used.D) n = std::min(n, data.SeriesD.size());
  if (used.F) n = std::min(n, data.SeriesF.size());
  return static_cast<int>(n);
}

int MapX(const TGraphLayout& layout, double scaledValue) {
  const double span = static_cast<double>(layout.XAxisRight) - layout.XAxisLeft;
  return PixelPosition(
      kLeftColumn + std::nearbyint((scaledValue - layout.XAxisLeft) * layout.XAxisPixels / span));
}

int MapY(const TGraphLayout& layout, double scaledValue) {
  const double span = static_cast<double>(layout.YAxisTop) - layout.YAxisBottom;
  return PixelPosition(
      kBottomRow - std::nearbyint((scaledValue - layout.YAxisBottom) * layout.YAxisPixels / span));
}

int StepAfterLastFrom(int graphKind, int n) {
  switch (graphKind) {
    case 1:
    case 2:
      return n - 4;
    case 3:
    case 4:
      return n - 3;
    default:
      return n - 1;
  }
}

double DrawnTimeEnd(const TDMTevlora& data, int graphKind) {
  const int n = GraphRecordCount(data, graphKind);
  if (n == 0) return 0;
  const DataArrayR& t = data.SeriesT;
  const double last = t[n - 1];
  if (graphKind < 1 || graphKind > 4) return last;
  const int b = StepAfterLastFrom(graphKind, n);
  double step = 0;
  if (b >= 0) {
    step = t[b + 1] - t[b];
  } else if (n >= 2) {
    step = t[n - 1] - t[n - 2];
  }
  return last + step;
}

TGraphLayout PrepareAxes(const TDMTevlora& data, int graphKind) {
  TGraphLayout layout;
  layout.GraphKind = graphKind;
  const int n = GraphRecordCount(data, graphKind);
  const TExtremes t = ExtremesOf(data.SeriesT, n);
  const TExtremes a = ExtremesOf(data.SeriesA, n);
  const TExtremes b = ExtremesOf(data.SeriesB, n);
  const TExtremes c = ExtremesOf(data.SeriesC, n);
  const TExtremes d = ExtremesOf(data.SeriesD, n);
  const TExtremes f = graphKind == 5 ? ExtremesOf(data.SeriesF, n) : TExtremes{};

  TExtremes vertical;
  TExtremes horizontal = t;
  switch (graphKind) {
    case 1:
    case 7:
      vertical = Union(c, d);
      break;
    case 2:
      vertical = c;
      break;
    case 3:
      vertical = Union(a, b);
      break;
    case 4:
      // Rain/irrigation (SeriesC) and recharge share the axis.
      vertical = Union(c, b);
      break;
    case 5:
      vertical = f;
      break;
    case 8:
      vertical = d;
      horizontal = a;
      break;
    case 9:
      // The measured runoff is drawn on the same axis as the recharge.
      vertical = Union(b, d);
      break;
    default:
      vertical = {0, 0};
      break;
  }
  // Bars stand on 0: an axis from the smallest value would hide every bar
  // of that height.
  if (graphKind == 3 || graphKind == 4) vertical.Minimum = std::min(vertical.Minimum, 0.0);
  // What is drawn after the last time lies inside the axis too.
  const double timeEnd = DrawnTimeEnd(data, graphKind);
  if (graphKind >= 1 && graphKind <= 4 && std::isfinite(timeEnd)) {
    horizontal.Maximum = std::max(horizontal.Maximum, timeEnd);
  }
  layout.YMax = vertical.Maximum;
  layout.YMin = vertical.Minimum;
  layout.XMax = horizontal.Maximum;
  layout.XMin = horizontal.Minimum;

  if (layout.YMin == 0 && layout.YMax == 0) {
    layout.YMax = 1;
  } else if (layout.YMin == layout.YMax) {
    layout.YMin = 0;
    layout.YMax = layout.YMax + 1;
  }
  if (graphKind == 7) {
    // Observed against calculated: both axes cover the same range.
    layout.XMin = layout.YMin;
    layout.XMax = layout.YMax;
  }
  layout.YMax = layout.YMax * 1.1;

  layout.YScaleFactor = 1;
  layout.XScaleFactor = 1;
  if (layout.YMin >= 0) {
    layout.YScaleFactor = ScaleFactorFor(layout.YMax);
    layout.YMin = layout.YMin * layout.YScaleFactor;
    layout.YMax = layout.YMax * layout.YScaleFactor;
  }
  if (layout.XMin > 0) {
    layout.XScaleFactor = ScaleFactorFor(layout.XMax);
    layout.XMin = layout.XMin * layout.XScaleFactor;
    layout.XMax = layout.XMax * layout.XScaleFactor;
  }

  TAxisLimits v = RoundVerticalLimits(layout.YMin, layout.YMax);
  TAxisLimits h = RoundHorizontalLimits(layout.XMin, layout.XMax);
  NormaliseIntervals(v, h);
  v.Decimals = TickDecimals(v.Low, v.High, v.Intervals, v.Decimals);
  h.Decimals = TickDecimals(h.Low, h.High, h.Intervals, h.Decimals);
  layout.YAxisBottom = v.Low;
  layout.YAxisTop = v.High;
  layout.YIntervals = v.Intervals;
  layout.YDecimals = v.Decimals;
  layout.XAxisLeft = h.Low;
  layout.XAxisRight = h.High;
  layout.XIntervals = h.Intervals;
  layout.XDecimals = h.Decimals;
  return layout;
}

void ComputeTrend(const TDMTevlora& data, const TTrendFileValues& trend, TGraphLayout& layout) {
  layout.QuadTrendValid = trend.QuadTrendValid;
  layout.TrendComputed = false;
  const int n = GraphRecordCount(data, 8);
  if (n == 0) return;

  // The records in time order; records with equal times keep their order.
  std::vector<int> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int l, int r) { return data.SeriesT[l] < data.SeriesT[r]; });

  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const int i : order) {
    const double x = data.SeriesB[i];
    const double y = data.SeriesD[i];
    sx += x;
    sy += y;
    sxx += x * x;
    sxy += x * y;
  }
  const double qxx = sxx - sx * sx / n;
  // All recharge values equal, up to the rounding of the sums: no regression.
  if (!(qxx > kNoSpread * sxx)) return;
  const double meanX = sx / n;
  const double meanY = sy / n;
  layout.TrendSlope = (sxy - sx * sy / n) / qxx;

  const double rainMaximum = ExtremesOf(data.SeriesA, n).Maximum;
  layout.TrendLine[0] = {0, meanY + (0 - meanX) * layout.TrendSlope};
  layout.TrendLine[1] = {rainMaximum, meanY + (rainMaximum - meanX) * layout.TrendSlope};
  for (int i = 0; i < kQuadPoints; ++i) {
    layout.QuadX[i] = i * rainMaximum / 10;
    layout.QuadY[i] = trend.QuadA * (layout.QuadX[i] * layout.QuadX[i]) +
                      trend.QuadB * layout.QuadX[i] + trend.QuadC;
  }
  layout.TrendComputed = true;
}

TTrendFileValues ReadTrendFile(const std::string& resultsFileName) {
  namespace fs = std::filesystem;
  const std::string name = ChangeFileExt(resultsFileName, ".dat");
  const auto text = LoadTextFile(name);
  if (!text) throw TIOError(TrendFileNotReadText(name));
  std::error_code trendError, resultsError;
  const auto trendTime = fs::last_write_time(fs::path(name), trendError);
  const auto resultsTime = fs::last_write_time(fs::path(resultsFileName), resultsError);
  if (!trendError && !resultsError && trendTime > resultsTime) {
    throw TIOError(TornPairText(name, resultsFileName));
  }
  TTextReader reader(*text, name);
  TTrendFileValues values;
  reader.SkipLines(4);
  reader.ReadChars(3);
  values.QuadA = reader.ReadReal();
  reader.ReadChars(3);
  values.QuadB = reader.ReadReal();
  reader.ReadChars(3);
  values.QuadC = reader.ReadReal();
  reader.SkipLine();
  reader.SkipLine();
  reader.ReadChars(3);
  const std::string word = reader.ReadChars(3);
  values.QuadTrendValid = word.empty() || word == "1";
  return values;
}

void MapToPixels(const TDMTevlora& data, int graphKind, TGraphLayout& layout) {
  const int n = GraphRecordCount(data, graphKind);
  for (auto* pixels :
       {&layout.PixX, &layout.PixA, &layout.PixB, &layout.PixC, &layout.PixD, &layout.PixF})
    pixels->resize(n);
  // The scaled values are formed on the fly, so the data set stays exactly as
  // it was for the next graph.
  for (int i = 0; i < n; ++i) {
    layout.PixX[i] = MapX(layout, ValueAt(data.SeriesT, i) * layout.XScaleFactor);
    layout.PixA[i] = MapY(layout, ValueAt(data.SeriesA, i) * layout.YScaleFactor);
    layout.PixB[i] = MapY(layout, ValueAt(data.SeriesB, i) * layout.YScaleFactor);
    layout.PixC[i] = MapY(layout, ValueAt(data.SeriesC, i) * layout.YScaleFactor);
    layout.PixD[i] = MapY(layout, ValueAt(data.SeriesD, i) * layout.YScaleFactor);
    if (graphKind == 5) {
      layout.PixF[i] = MapY(layout, ValueAt(data.SeriesF, i) * layout.YScaleFactor);
    }
    // Kind 8 puts the recharge on the horizontal axis.
    if (graphKind == 8) {
      layout.PixA[i] = MapX(layout, ValueAt(data.SeriesB, i) * layout.XScaleFactor);
    }
  }
  if (graphKind == 8) {
    for (int i = 0; i < kQuadPoints; ++i) {
      layout.QuadPixX[i] = MapX(layout, layout.QuadX[i] * layout.XScaleFactor);
      layout.QuadPixY[i] = MapY(layout, layout.QuadY[i] * layout.YScaleFactor);
    }
  }
}

void SetAxisTitles(TGraphLayout& layout, int graphKind, bool drainage, bool colourGraph) {
  namespace T = GraphTitleTexts;
  const int x = FactorIndex(layout.XScaleFactor);
  const int y = FactorIndex(layout.YScaleFactor);
  const std::string yFactor = T::kFactor[y];
  layout.XTitle.clear();
  layout.YTitle.clear();
  layout.Legend1.clear();
  layout.Legend2.clear();
  layout.Legend3.clear();
  switch (graphKind) {
    case 1:
      layout.XTitle = T::kTime[x];
      layout.YTitle = T::kDischarge[y];
      layout.Legend1 = T::kObservedLegend;
      layout.Legend2 = T::kCalculatedLegend;
      break;
    case 2:
      layout.XTitle = T::kTime[x];
      layout.YTitle = T::kDischargePredicted[y];
      break;
    case 3:
    case 4:
      layout.XTitle = T::kTime[x];
      layout.Legend1 = T::kRainLegend + yFactor;
      layout.Legend2 = T::kRechargeLegend + yFactor;
      break;
    case 5:
      layout.XTitle = T::kTime[x];
      layout.YTitle = drainage ? T::kWaterTable[y] : T::kReservoirStorage[y];
      break;
    case 7:
      layout.XTitle = T::kRunoffObserved[x];
      layout.YTitle = T::kRunoffCalculated[y];
      layout.Legend1 = T::kObsCalcLegend;
      break;
    case 8:
      layout.XTitle = T::kRechargeCalculated + std::string(T::kFactor[x]);
      layout.YTitle = T::kDischargeObserved + yFactor;
      layout.Legend1 = T::kTrendObservedLegend;
      layout.Legend2 = T::kTrendLineLegend;
      layout.Legend3 = colourGraph ? T::kQuadTrendLegend : T::kDottedQuadTrendLegend;
      break;
    case 9:
      layout.XTitle = T::kTime[x];
      layout.Legend1 = T::kRechargeDerived[0] + yFactor + T::kRechargeDerived[1];
      layout.Legend2 = T::kRunoffMeasured[0] + yFactor + T::kRunoffMeasured[1];
      break;
    default:
      break;
  }
}

TGraphLayout LayoutGraph(const TDMTevlora& data, int graphKind, bool colourGraph,
                         const TTrendFileValues& trend) {
  TGraphLayout layout = PrepareAxes(data, graphKind);
  layout.ColourGraph = colourGraph;
  if (graphKind == 8) ComputeTrend(data, trend, layout);
  MapToPixels(data, graphKind, layout);
  SetAxisTitles(layout, graphKind, data.Drainage, colourGraph);
  return layout;
}
