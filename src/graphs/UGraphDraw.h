// The drawing of the graph bitmap: a 623 x 465 picture with a silver frame,
// the plot area, titles, axes with ticks and labels, legends and the marks of
// the graph kind, in colour or in black and white. QtGui only: the same
// picture serves the graphics tab, the saved bitmap and tevlora-batch.
#pragma once

#include <QColor>
#include <QImage>
#include <string>

#include "UDMTevlora.h"

inline constexpr int kGraphWidth = 623;
inline constexpr int kGraphHeight = 465;

// Texts drawn by DrawGraph itself (axis titles and legends are set by
// SetAxisTitles in UTevloraUtils).
namespace GraphDrawTexts {
inline constexpr const char* kCreditLine =
    "TevloraT program - rainfall-runoff analysis with a two-reservoir model";
inline constexpr const char* kRSquare = "R square = ";
inline constexpr const char* kDischargePredicted[3] = {"Discharge (predicted) in mm/t",
                                                       "Discharge (predicted) in 0.1 mm/t",
                                                       "Discharge (predicted) *100 in 0.01 mm/t"};
inline constexpr const char* kRainLegend = " Rain/irrigation in mm/t";
inline constexpr const char* kRechargeLegend = " Recharge in mm/t";
inline constexpr const char* kRechargeDerived = "Recharge derived (mm/t) ----------";
inline constexpr const char* kRunoffMeasured = "RunOff measured  (mm/t) - - - - -";
inline constexpr const char* kTime = "Time";
inline constexpr const char* kBullet = "\u2022";
inline constexpr const char* kNoApplication =
    "The graph cannot be drawn before the application object exists.";
}  // namespace GraphDrawTexts

// The colours of a graph; black and white replaces some of them.
struct TGraphColours {
  QColor Frame;         // the whole bitmap around the plot area
  QColor Plot;          // plot area
  QColor Plain;         // axes, ticks, labels, titles on the plot, lines
  QColor FrameText;     // first title and credit line
  QColor Observed;      // kind 1 circles and legend, kind 7 points
  QColor RainLegend;    // rain legend of the bar graphs
  QColor Recharge;      // recharge bars and legend
  QColor RechargeLast;  // the last two recharge bars and the legend
  QColor Highlight;     // kind 8 quadratic trend, kind 9 measured runoff
  static TGraphColours For(bool colourGraph);
};

// Draws graph `graphKind` (1, 2, 3, 4, 5, 7, 8 or 9) of the series that
// LoadGraphSeries put into `data`, in colour or black and white. For kind 8
// the trend file beside data.FileName is read first; when it is missing a
// TIOError is thrown before anything is drawn. The data set is not changed.
// Needs a QGuiApplication (fonts); throws std::logic_error without one.
QImage DrawGraph(const TDMTevlora& data, int graphKind, bool colourGraph);

// Saves the picture as a Windows bitmap, or in another format Qt knows
// ("PNG"). False when the file could not be written.
bool SaveGraphBitmap(const QImage& image, const std::string& fileName, const char* format = "BMP");
