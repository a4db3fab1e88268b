// Graph series and statistics: which series lie on which axis for each graph
// kind, the axis ranges with their scale factors, rounded limits, intervals
// and label decimals, the trend lines of the discharge-recharge graph, and
// the pixel position of every plotted value. Standard C++ only; the drawing
// itself is in UGraphDraw.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "UDMTevlora.h"

// Graph kinds: 1, 3, 7, 8, 9 draw an analysis results file, 2, 4, 5 a
// prediction results file (6 is not used).
bool IsGraphKind(int graphKind);
bool IsAnalysisGraphKind(int graphKind);

// Texts set by SetAxisTitles, kept together so they are easy to check.
namespace GraphTitleTexts {
inline constexpr const char* kTime[4] = {"Time", "Time * 10", "Time * 100", "Time * 1000"};
inline constexpr const char* kDischarge[4] = {"Discharge/runoff (mm/t)", "Discharge or runoff * 10",
                                              "Discharge or runoff * 100",
                                              "Discharge or runoff * 1000"};
inline constexpr const char* kWaterTable[4] = {
    "Water table height (predicted, mm)", "Water table height (mm) * 10",
    "Water table height (mm) * 100", "Water table height (mm) * 1000"};
inline constexpr const char* kReservoirStorage[4] = {
    " Reservoir storage predicted (mm)", " Reservoir storage (mm) * 10",
    " Reservoir storage (mm) * 100", " Reservoir storage (mm) * 1000"};
inline constexpr const char* kDischargePredicted[4] = {
    "Discharge (predicted) in mm/t", "Discharge (predicted) in 0.1 mm/t",
    "Discharge (predicted) *100 in 0.01 mm/t", "Discharge (predicted) *1000 in 0.001 mm/t"};
inline constexpr const char* kRunoffObserved[4] = {
    "Runoff observed", "Runoff observed * 10", "Runoff observed * 100", "Runoff observed * 1000"};
inline constexpr const char* kRunoffCalculated[4] = {
    "Runoff calculated (mm/t)", "Runoff calculated * 10", "Runoff calculated * 100",
    "Runoff calculated * 1000"};
inline constexpr const char* kRechargeCalculated = "Recharge calculated";
inline constexpr const char* kDischargeObserved = "Discharge observed";
inline constexpr const char* kObservedLegend = " o  observed";
inline constexpr const char* kCalculatedLegend = "--- calculated";
inline constexpr const char* kObsCalcLegend = " ---  Obs = Calc";
inline constexpr const char* kTrendObservedLegend = " o   observed";
inline constexpr const char* kTrendLineLegend = "---  trend line";
inline constexpr const char* kQuadTrendLegend = "---  quadr. trend";
// The black-and-white quadratic is dotted, and so is its legend.
inline constexpr const char* kDottedQuadTrendLegend = "- - -  quadr. trend";
inline constexpr const char* kRainLegend = " Rain/irrigation in mm/t";
inline constexpr const char* kRechargeLegend = " Recharge in mm/t";
// Kind 9: the name, then (after the scale factor) the line style.
inline constexpr const char* kRechargeDerived[2] = {"Recharge derived (mm/t)", " ----------"};
inline constexpr const char* kRunoffMeasured[2] = {"RunOff measured  (mm/t)", " - - - - -"};
// What an axis scaled by 10, 100 or 1000 adds to the texts of its values.
inline constexpr const char* kFactor[4] = {"", " * 10", " * 100", " * 1000"};
}  // namespace GraphTitleTexts

// "The trend file "X" could not be read."
std::string TrendFileNotReadText(const std::string& fileName);

// Discharge-recharge trend (kind 8).
struct TTrendPoint {
  double X = 0;
  double Y = 0;
};
// What the graph takes from the trend file: the rain-runoff quadratic and
// whether the run computed it. The graph's own copy; an analysis run keeps
// its coefficients elsewhere and never sees these.
struct TTrendFileValues {
  double QuadA = 0, QuadB = 0, QuadC = 0;
  bool QuadTrendValid = false;
};
inline constexpr int kQuadPoints = 11;

// Everything one picture is laid out by: its axes, the pixel positions of
// its records, its trend and its texts. Made afresh for every drawing and
// owned by it, so that graphs of different files can be drawn side by side,
// also on different threads.
struct TGraphLayout {
  int GraphKind = 0;
  bool ColourGraph = true;

  // The working extremes and limits are in scaled units (multiplied by the
  // axis's scale factor).
  double YMax = 0, YMin = 0, XMax = 0, XMin = 0;
  int YScaleFactor = 1, XScaleFactor = 1;  // 1, 10, 100 or 1000
  int YAxisTop = 1, YAxisBottom = 0, XAxisRight = 1, XAxisLeft = 0;
  int YIntervals = 4, XIntervals = 4;  // 4 to 10
  int YDecimals = 0, XDecimals = 0;
  int XAxisPixels = 500;
  int YAxisPixels = 320;

  // Pixel positions, one per record: PixX horizontal, the others vertical
  // positions of SeriesA .. SeriesF. For kind 8 PixA holds the horizontal
  // position of the recharge instead.
  std::vector<int> PixX, PixA, PixB, PixC, PixD, PixF;

  // Kind 8. TrendComputed is false when ComputeTrend found no spread in the
  // recharge (or no records): there is then no trend line or curve to draw.
  // Spread is measured relative to the sum of squares, so that the rounding
  // noise of a constant recharge does not count as spread.
  bool QuadTrendValid = false;  // the trend file's flag
  double TrendSlope = 0;
  std::array<TTrendPoint, 2> TrendLine{};  // end points in data units
  bool TrendComputed = false;
  std::array<double, kQuadPoints> QuadX{}, QuadY{};
  std::array<int, kQuadPoints> QuadPixX{}, QuadPixY{};

  // Axis titles and legends. Every text of a value on a scaled axis names
  // the axis's factor.
  std::string XTitle, YTitle, Legend1, Legend2, Legend3;
};

// Nearest integer, ties to even; saturates at the int range (NaN gives 0),
// so absurd file values never make the arithmetic undefined.
int RoundToEven(double x);

// The scale factor chosen from an axis maximum: 1000 below 0.01, 100 strictly
// between 0.01 and 0.1, 10 strictly between 0.1 and 1, otherwise 1.
int ScaleFactorFor(double maximum);

// Rounded end values of one axis with their interval count and label
// decimals, before the interval normalisation.
struct TAxisLimits {
  int Low = 0;   // YAxisBottom / XAxisLeft
  int High = 0;  // YAxisTop / XAxisRight
  int Intervals = 0;
  int Decimals = 0;
};
TAxisLimits RoundVerticalLimits(double minimum, double maximum);
TAxisLimits RoundHorizontalLimits(double minimum, double maximum);
// Brings both axes to 4 .. 10 intervals, adjusting their decimals.
void NormaliseIntervals(TAxisLimits& vertical, TAxisLimits& horizontal);
// Decimals of the tick labels: at least `decimals`, and as many more as the
// tick step (high - low) / intervals needs to be shown exactly, up to
// kMaxTickDecimals.
inline constexpr int kMaxTickDecimals = 3;
int TickDecimals(int low, int high, int intervals, int decimals);

// Number of records a graph of this kind can draw: NrOfData, but never more
// than the series slots the kind uses hold, and never negative.
int GraphRecordCount(const TDMTevlora& data, int graphKind);

// Pixel position of a scaled value on the horizontal axis (70 .. 570) and on
// the vertical axis (YAxisBottom at row 385, YAxisTop at row 65). Positions
// are held within +-kPixelLimit: far outside the picture, yet so far from the
// int range that the drawing's sums and differences of positions never
// overflow.
inline constexpr int kPixelLimit = 1 << 20;
inline constexpr double kNoSpread = 1e-10;
int MapX(const TGraphLayout& layout, double scaledValue);
int MapY(const TGraphLayout& layout, double scaledValue);

// Kinds 1 to 4 draw their last record up to one step beyond its time (the
// step before it); the time that drawing reaches, or the last time for the
// other kinds. The horizontal range includes it.
double DrawnTimeEnd(const TDMTevlora& data, int graphKind);
// The record whose step to the next one is drawn after the last record, or
// -1 when there are too few records for it (the last step there is is used).
int StepAfterLastFrom(int graphKind, int n);

// Extremes, per-kind ranges, headroom, scale factors, rounded limits,
// intervals and decimals. The bars of kinds 3 and 4 stand on 0, and kind 4
// shows its recharge on the same axis as its rain. The layout's axes; the
// rest of it is left to the steps below.
TGraphLayout PrepareAxes(const TDMTevlora& data, int graphKind);
// Linear regression of measured runoff (SeriesD) on recharge (SeriesB) and
// the quadratic trend of the trend file, evaluated up to the largest rain
// value. Sums are taken over the records in time order.
void ComputeTrend(const TDMTevlora& data, const TTrendFileValues& trend, TGraphLayout& layout);
// Reads the quadratic and its flag from the trend file (.dat) beside the
// results file. Throws TIOError when it is missing or unreadable, and when
// it is newer than the results file: a run writes the trend file first and
// the results file last, so such a pair was torn by a run that stopped
// between the two.
TTrendFileValues ReadTrendFile(const std::string& resultsFileName);
// "The trend file "X" is newer than its results file "Y" ..."
std::string TornPairText(const std::string& trendFileName, const std::string& resultsFileName);
// Pixel positions of every record and of the quadratic trend, on the axes
// of `layout`. The data set's series are not changed.
void MapToPixels(const TDMTevlora& data, int graphKind, TGraphLayout& layout);
// The titles and legends, naming the scale factors of `layout`'s axes.
void SetAxisTitles(TGraphLayout& layout, int graphKind, bool drainage, bool colourGraph = true);
// All of the above for one picture; kind 8 takes the trend file's values.
TGraphLayout LayoutGraph(const TDMTevlora& data, int graphKind, bool colourGraph,
                         const TTrendFileValues& trend = {});
