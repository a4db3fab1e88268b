// The picture of a storage calibration's profile: the least sum of squares
// of every pair of maximum and initial dead storage, as a colour scale of
// the sum relative to the best one over the (Smax, S0) plane, with the
// optimum marked; the 623 x 465 frame of the fit map.
#pragma once

#include <QImage>
#include <QPainter>
#include <string>

#include "StorageCalibration.h"

namespace ProfileMapTexts {
inline constexpr const char* kXTitle = "Maximum dead storage (mm)";
inline constexpr const char* kYTitleMillimetres = "Initial dead storage (mm)";
inline constexpr const char* kYTitleFractions = "Initial dead storage (% of maximum)";
inline constexpr const char* kLegendTitle = "SumSq / best";
inline constexpr const char* kNoOptimum = "No pair reached a sum below 1000000";
}  // namespace ProfileMapTexts

// The graph kind the graphics tab gives the storage profile (beside the
// fit map's).
inline constexpr int kStorageProfileGraphKind = 16;

// "optimum Smax = 1.71 mm  S0 = 0.00 mm  A = 0.0995  C = 0.000".
std::string ProfileOptimumText(const TStorageCalibration& calibration);

// The colour scale's end: the greatest ratio of a pair's sum to the best
// one, at most 2 and at least a little above 1.
double ProfileRatioScaleEnd(const TStorageCalibration& calibration);

// The picture in the 623 x 465 frame on any painter (scaled as it likes).
void PaintStorageProfile(QPainter& painter, const TStorageCalibration& calibration,
                         const std::string& title1, const std::string& title2, bool colourGraph);

// Needs a QGuiApplication (fonts); throws std::logic_error without one.
QImage DrawStorageProfile(const TStorageCalibration& calibration, const std::string& title1,
                          const std::string& title2, bool colourGraph = true);
