// The drawing of the graph bitmap: a 623 x 465 picture with a silver frame,
// the plot area, titles, axes with ticks and labels, legends and the marks of
// the graph kind, in colour or in black and white. QtGui only: the same
// picture serves the graphics tab, the saved bitmap and tevlora-batch.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <functional>
#include <string>

#include "UDMTevlora.h"
#include "UTevloraUtils.h"

inline constexpr int kGraphWidth = 623;
inline constexpr int kGraphHeight = 465;

// The marks of the data (lines, curves, bars, circles, bullets) are clipped
// to the area the axes enclose: from the vertical axis to the right edge of
// the plot area, from above the top value of the vertical axis (row 65, with
// room for a mark drawn there) down to the row above the horizontal axis.
inline constexpr int kMarksLeft = 70;
inline constexpr int kMarksTop = 60;
inline constexpr int kMarksRight = 604;
inline constexpr int kMarksBottom = 389;
// The plot area (columns kPlotLeft .. kPlotRight - 1) inside the silver
// frame. Its texts keep kPlotTextMargin pixels from its edges.
inline constexpr int kPlotLeft = 20;
inline constexpr int kPlotRight = 605;
inline constexpr int kPlotTextMargin = 2;
// Titles are shortened with an ellipsis where they would pass this column.
inline constexpr int kTitle1End = kGraphWidth - 5;
inline constexpr int kTitle2End = 600;

// Titles come from files that may have been written on another system:
// UTF-8 when they are valid UTF-8, otherwise single-byte Latin-1.
QString FileText(const std::string& text);

// The font of every text in a graph picture.
QFont GraphFont();

// Texts drawn by DrawGraph itself (axis titles and legends are in the
// layout, set by SetAxisTitles in UTevloraUtils).
namespace GraphDrawTexts {
inline constexpr const char* kCreditLine =
    "TevloraT program - rainfall-runoff analysis with a two-reservoir model";
inline constexpr const char* kRSquare = "R square = ";
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
// the trend file beside data.FileName is read first; when it is missing or
// newer than the results file a TIOError is thrown before anything is drawn. The data set is not
// changed. Needs a QGuiApplication (fonts); throws std::logic_error without one.
QImage DrawGraph(const TDMTevlora& data, int graphKind, bool colourGraph);

// The classic 623 x 465 bitmap at 96 dpi, painted by `paint`; throws
// std::logic_error without a QGuiApplication (fonts).
QImage ClassicBitmap(const std::function<void(QPainter&)>& paint);
// Draws the picture `layout` (from LayoutGraph on `data`) lays out; `data`
// gives its titles. Writes nothing outside the picture, so pictures may be
// drawn on several threads at once (kinds 1 and 7 also read the R square of
// the results file read last).
QImage DrawGraph(const TDMTevlora& data, const TGraphLayout& layout);
// The same drawing on any painter (a larger picture, an SVG or a PDF), in the
// 623 x 465 coordinates of the bitmap, which the painter's transform may
// scale. `smooth` antialiases lines and text; the bitmap itself is drawn
// without.
void PaintGraph(QPainter& painter, const TDMTevlora& data, const TGraphLayout& layout, bool smooth);

// Saves the picture as a Windows bitmap, or in another format Qt knows
// ("PNG"). False when the file could not be written.
bool SaveGraphBitmap(const QImage& image, const std::string& fileName, const char* format = "BMP");
