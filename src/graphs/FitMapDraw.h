// The picture of the fit map of A and C: the 623 x 465 frame of the other
// graphs with a colour scale of R square (on the zoomed map: of the sum
// relative to the best one) over the (A, C) plane, its legend,
// the optimum and the outline of the approximate 95 % joint confidence
// region; in colour or in black and white.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <string>

#include "FitMap.h"

namespace FitMapTexts {
inline constexpr const char* kXTitle = "Coefficient A";
inline constexpr const char* kYTitle = "Constant C";
inline constexpr const char* kLegendTitle = "R square";
inline constexpr const char* kRegionLegend = "---  approx. 95 % joint confidence region";
inline constexpr const char* kNoOptimum = "No trial reached a sum below 1000000";
inline constexpr const char* kRelativeLegendTitle = "SumSq / best";
}  // namespace FitMapTexts

// "The optimum misses 2 records by 1000 or more: no confidence region".
std::string FitMapPenaltyText(int penalties);

// The graph kind the graphics tab gives the fit map (beside kinds 1 to 9).
inline constexpr int kFitMapGraphKind = 15;

// Geometry of the map area and of the colour legend beside it.
inline constexpr int kMapLeft = 70, kMapRight = 510, kMapTop = 70, kMapBottom = 390;
inline constexpr int kLegendLeft = 530, kLegendRight = 546;
inline constexpr int kRSquareBands = kFitMapBands;

// Colour of an R square on the map (bands of 0.05).
QColor FitMapColour(double rSquare, bool colourGraph);

// TFitMap::RatioScaleEnd.
double FitMapRatioScaleEnd(const TFitMap& map);
// The colour scale's position of a cell: 1 best, 0 poorest.
double FitMapScalePosition(const TFitMap& map, int column, int row);
// The colour key of both pictures of the map, the classic one and the
// report's (see TFitMapColourKey): a map computed with it draws either of
// them as its exact sums would.
long FitMapColourKey(double position);
// Colour of the optimum's mark and of the region's outline.
QColor FitMapMarkColour(bool colourGraph);

// "optimum A = 0.2165  C = 0.384   R square = 0.997", the R square being
// the results file's.
std::string FitMapOptimumText(const TFitMap& map);

// "every 6th trial each way", "every trial", "zoomed, every trial".
std::string FitMapGridText(const TFitMap& map);

// Needs a QGuiApplication (fonts); throws std::logic_error without one.
QImage DrawFitMap(const TFitMap& map, const std::string& title1, const std::string& title2,
                  bool colourGraph);
// The same drawing on any painter, in the coordinates of the bitmap;
// `smooth` antialiases lines and text.
void PaintFitMap(QPainter& painter, const TFitMap& map, const std::string& title1,
                 const std::string& title2, bool colourGraph, bool smooth);
