// The graphs in the report style: a white picture of any size and
// resolution, antialiased, with a palette that colour-blind readers tell
// apart and that still reads in grey (every series differs in its dash
// pattern, marker, fill or bar width as well), legends with drawn keys where they cover
// no data, tick labels that never overlap, and units taken from the data
// ("mm/h", "mm/d", hours, days or dates). Also the report hydrograph and the
// fit map in the same style.
//
// The layout is a value: every text box, key and data mark in picture
// pixels, computed before anything is drawn, so that it can be checked.
#pragma once

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QPainter>
#include <QRectF>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FitMap.h"
#include "UDMTevlora.h"
#include "UTevloraUtils.h"

// The report hydrograph: observed and calculated runoff over time with rain
// and recharge as bars hanging from the top. Drawn from an analysis results
// file, always in the report style.
inline constexpr int kHydrographGraphKind = 10;

enum class TGraphStyle { Classic, Report };

// The picture to be made: its size in pixels and the resolution it is meant
// for (text and lines are sized in points, so 300 dpi makes them finer, not
// smaller), its style, and colour or black and white (classic style only).
struct TFigureFormat {
  int Width = 623;
  int Height = 465;
  int Dpi = 96;
  TGraphStyle Style = TGraphStyle::Classic;
  bool Colour = true;
  // The classic bitmap, drawn pixel for pixel as it always was.
  bool IsClassicBitmap() const {
    return Style == TGraphStyle::Classic && Width == 623 && Height == 465 && Dpi == 96;
  }
};

namespace ReportTexts {
inline constexpr const char* kObserved = "observed";
inline constexpr const char* kCalculated = "calculated";
inline constexpr const char* kPredicted = "predicted";
inline constexpr const char* kRain = "rain";
inline constexpr const char* kRainIrrigation = "rain/irrigation";
inline constexpr const char* kRecharge = "recharge";
inline constexpr const char* kRechargeDerived = "recharge derived";
inline constexpr const char* kRunoffMeasured = "runoff measured";
inline constexpr const char* kObsCalc = "observed = calculated";
inline constexpr const char* kRecords = "records";
inline constexpr const char* kTrendLine = "linear trend";
inline constexpr const char* kQuadTrend = "quadratic trend";
inline constexpr const char* kTime = "Time";
inline constexpr const char* kDate = "Date";
inline constexpr const char* kRunoff = "Runoff";
inline constexpr const char* kDischarge = "Discharge";
inline constexpr const char* kRainRecharge = "Rain, recharge";
inline constexpr const char* kRechargeRunoff = "Recharge, runoff";
inline constexpr const char* kRainIrrigationRecharge = "Rain/irrigation, recharge";
inline constexpr const char* kRunoffObserved = "Observed runoff";
inline constexpr const char* kRunoffCalculated = "Calculated runoff";
inline constexpr const char* kRechargeCalculated = "Calculated recharge";
inline constexpr const char* kDischargeObserved = "Observed discharge";
inline constexpr const char* kWaterTable = "Water table height (mm)";
inline constexpr const char* kReservoirStorage = "Reservoir storage (mm)";
inline constexpr const char* kCalibration = "calibration";
inline constexpr const char* kValidation = "validation";
inline constexpr const char* kOptimum = "optimum";
inline constexpr const char* kRegion = "approx. 95 % joint confidence region";
}  // namespace ReportTexts

// The time unit of the records and the unit of their depths per time, read
// from the titles: "hours since 2011-01-11 00:00" (or "days since ...")
// written by the table import makes the time axis one of dates; "mm/hour",
// "hourly", "time in hours" (or their daily counterparts) name the unit.
struct TTimeUnits {
  std::string Symbol;  // "h", "d", or empty when the titles do not say
  std::string Rate;    // "mm/h", "mm/d" or "mm per time step"
  bool Dated = false;
  std::int64_t OriginSeconds = 0;  // time 0, seconds since 1970-01-01 (dated only)
  int SecondsPerUnit = 0;          // 3600 or 86400 (0 when unknown)
};
TTimeUnits TimeUnitsOf(const std::string& title1, const std::string& title2);

// How a series is drawn. Grey print keeps series apart by Dash, Marker and
// Fill, which differ between any two series of one graph.
enum class TSeriesForm { Line, Points, Bars };
enum class TMarkerShape { None, Circle, Square, Triangle, Diamond };
struct TSeriesLook {
  QColor Colour;
  Qt::PenStyle Dash = Qt::SolidLine;
  TMarkerShape Marker = TMarkerShape::None;
  Qt::BrushStyle Fill = Qt::NoBrush;  // bars
  double WidthPoints = 1.2;
  double BarShare = 1;  // bars: the share of its interval a bar covers, centred
};

struct TReportSeries {
  std::string Name;  // its legend text
  TSeriesForm Form = TSeriesForm::Line;
  bool SecondAxis = false;  // bars hanging from the top, on the right axis
  std::vector<double> X, Y;
  std::vector<double> XStart;  // bars: where each bar begins (X is its end)
  TSeriesLook Look;
};

struct TReportAxis {
  double Low = 0, High = 1;
  std::vector<double> Ticks;
  std::vector<std::string> Labels;
  std::string Title;
};

enum class TTextRole { Title, TickLabel, AxisTitle, Legend, Note };
struct TPlacedText {
  QRectF Box;  // in picture pixels; for a vertical title, the rotated box
  std::string Text;
  TTextRole Role = TTextRole::Note;
  bool Vertical = false;
  bool Bold = false;
};

struct TLegendKey {
  QRectF Key;  // where the key is drawn
  int Series = -1;
  // Keys that stand for no series (the fit map's optimum and region).
  enum class TExtra { None, Optimum, Region } Extra = TExtra::None;
};

struct TReportLayout {
  int GraphKind = 0;
  int Width = 0, Height = 0;
  double PixelsPerPoint = 1;
  double FontPixels = 12;
  QRectF Plot;
  TReportAxis X, Y, Y2;
  bool HasY2 = false;
  bool DatedX = false;
  std::vector<TReportSeries> Series;
  std::vector<TPlacedText> Texts;
  QRectF LegendBox;  // empty when there is no legend
  std::vector<TLegendKey> Keys;
  std::optional<double> Split;  // time of the calibration/validation split
  // The data marks as drawn (clipped to the plot): lines and boxes.
  std::vector<QLineF> MarkLines;
  std::vector<QRectF> MarkBoxes;

  QPointF Map(double x, double y, bool secondAxis = false) const;
};

// Whether `box` touches any data mark of the layout (its lines, markers, bars).
bool CoversData(const TReportLayout& layout, const QRectF& box);

// What else a report graph may show: the calibration/validation split (a
// time), and the trend file's quadratic of the discharge-recharge graph.
struct TReportExtras {
  std::optional<double> Split;
  TTrendFileValues Trend;
};

// The layout of graph `graphKind` (1 to 9, or the hydrograph) of the series
// LoadGraphSeries put into `data` (kind 1's for the hydrograph). Needs a
// QGuiApplication (fonts).
TReportLayout LayoutReportGraph(const TDMTevlora& data, int graphKind, const TFigureFormat& format,
                                const TReportExtras& extras = {});
void PaintReportGraph(QPainter& painter, const TReportLayout& layout);

// The fit map in the report style: A and C with their units, a perceptually
// uniform colour scale, the region's outline and the optimum in white with a
// black edge.
struct TFitMapReportLayout {
  int Width = 0, Height = 0;
  double PixelsPerPoint = 1;
  double FontPixels = 12;
  QRectF Plot, ColourBar;
  TReportAxis X, Y, Bar;
  std::vector<TPlacedText> Texts;
  std::vector<TLegendKey> Keys;
  bool RelativeScale = false;  // the bar shows SumSq / best, not R square
};
TFitMapReportLayout LayoutReportFitMap(const TFitMap& map, const std::string& title1,
                                       const std::string& title2, const TFigureFormat& format);
void PaintReportFitMap(QPainter& painter, const TFitMapReportLayout& layout, const TFitMap& map);

// A perceptually uniform scale from dark blue-violet (0) through teal and
// green to yellow (1).
QColor UniformScaleColour(double position);
