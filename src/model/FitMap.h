// The fit map of A and C: the sum of squares of a grid of the search's own
// trials, computed exactly as the search computes each trial (penalty
// included), so that the map's value at the optimum is the search's sum.
// With it the approximate 95 % joint confidence region of (A, C): the pairs
// whose sum stays within a factor of the best one.
#pragma once

#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "AlphaSearch.h"

class TDMTevlora;

// The bands of equal colour of the classic picture's scale.
inline constexpr int kFitMapBands = 20;

// How a picture tells positions of the colour scale (TFitMap::ScalePositionOf)
// apart: where it gives two positions the same key, it must give every
// position between them the same colour.
using TFitMapColourKey = std::function<long(double position)>;

struct TFitMapOptions {
  int Step = 0;       // every Step-th trial each way; 0: chosen by the records
  bool Zoom = false;  // every trial in a window centred on the optimum
  int Threads = 0;    // 0: all cores
  // Stops the map (TSearchCancelled is thrown) when it says yes.
  TSearchCancel Cancel;
  // With a key, every trial is first summed in single precision with room
  // for its rounding, which gives a range its exact sum lies in; only where
  // that range may reach across an edge of a colour, of the region or the
  // optimum's sum is the exact sum worked out. Without one, every sum is
  // exact.
  TFitMapColourKey ColourKey = nullptr;
};

struct TFitMap {
  int Step = 1;
  bool Zoomed = false;     // a window around the optimum, not the whole range
  std::vector<int> Outer;  // trial index i of each column (A = i * 0.0005)
  std::vector<int> Inner;  // trial index j of each row (C = (j - 1000) * 0.001)
  // [row * Columns() + column]: the exact sums, except with a colour key in
  // the options, where cells far from every edge hold a value of the range
  // their sum lies in, which falls in the same colour and on the same side
  // of the region's bound as the sum itself.
  std::vector<double> SumSq;
  std::size_t ExactSums = 0;  // how many cells hold their exact sum
  int Records = 0;            // N
  double Deviation = 0;       // sum of squared deviations of the measured runoff
  TSearchResult Optimum;      // the search's answer; no grid when it found none
  // The optimum's reconstruction as the results file reports it: its sum of
  // squared residuals without the penalty, the number of its records off by
  // 1000 or more (each of which the search counts as the penalty), and the
  // lag-1 autocorrelation of its residuals (NaN with fewer than three, or
  // when they do not vary).
  double ResidualSum = 0;
  int Penalties = 0;
  double Lag1 = std::numeric_limits<double>::quiet_NaN();
  double Threshold = 0;      // sums up to this are in the region; 0: no region
  double SearchSeconds = 0;  // time the search for the optimum took

  int Columns() const { return static_cast<int>(Outer.size()); }
  int Rows() const { return static_cast<int>(Inner.size()); }
  double Sum(int column, int row) const { return SumSq[row * Columns() + column]; }
  double RSquareAt(int column, int row) const { return RSquareOf(Sum(column, row)); }
  // The results file's R square of the optimum.
  double RSquare() const { return RSquareOf(ResidualSum); }
  bool InRegion(int column, int row) const {
    return Threshold > 0 && Sum(column, row) <= Threshold;
  }
  // The program's R square of a sum: 1 - 0.5 * sum / Deviation, kept
  // between 0.01 and 0.99 as in the results file.
  double RSquareOf(double sum) const;
  // The zoomed map's colour scale is the sum relative to the best one,
  // SumSq / best, from 1 at the top of the legend to this value at its
  // bottom (and beyond), the region's bound a fifth of the way down. 0 when
  // the map keeps the R-square scale (whole range, or a best sum of 0).
  double RatioScaleEnd() const;
  // The colour scale's position of a sum: 1 best, 0 poorest. It never rises
  // with the sum.
  double ScalePositionOf(double sum) const;
};

// F(2, n; 0.95), the 95 % quantile of the F distribution with 2 and n
// degrees of freedom (closed form for 2 numerator degrees); n >= 1.
double FQuantile2(int n);

// Factor on the best sum that bounds the confidence region of a fit with
// `residuals` residuals and two parameters: 1 + 2 / (m - 2) * F(2, m - 2;
// 0.95) with m residuals. 0 when there are too few residuals (m < 3).
double ConfidenceFactor(int residuals);

// Every Step-th trial of each direction when a whole-range map of `records`
// records is to take about a second on two cores.
int DefaultFitMapStep(int records);

// Called now and then from the calling thread with the share done (0 .. 1).
using TFitMapProgress = std::function<void(double)>;

// The map of `problem` (N >= 2). The grid passes through the optimum, so
// that its value there is the search's sum bit for bit. No grid when the
// search finds no optimum, and no region when the optimum carries the
// penalty (its sum then says nothing about how well it fits). The zoomed
// window grows until no trial of the region lies on its edge, unless that
// edge is the edge of the search's range.
TFitMap ComputeFitMap(const TSearchProblem& problem, const TFitMapOptions& options,
                      const TFitMapProgress& progress = nullptr);

// The sums of the given trials, all cores, each exactly as the search sums
// it: [row * outer.size() + column].
std::vector<double> FitMapSums(const TSearchProblem& problem, const std::vector<int>& outer,
                               const std::vector<int>& inner, int threads = 0,
                               const TFitMapProgress& progress = nullptr,
                               const TSearchCancel& cancel = nullptr);

// The search problem of the data set `data`, read from an analysis input
// file: the records and values of the input file as Save writes it, checked
// as the analysis run checks them (its messages go to data.Dialogs), so that
// the map works on exactly what the run works on. False when the data do not
// allow an analysis. Overwrites the run series.
bool FitMapProblemOfInputFile(TDMTevlora& data, TSearchProblem& problem);

// The note beside the map: the lag-1 autocorrelation of the residuals at the
// optimum, by which the user judges the region. Empty without one.
std::string FitMapNote(const TFitMap& map);

// The grid as a table for spreadsheets: "A,C,SumSq,RSquare" and one row
// per trial, point as decimal separator, CR LF line ends.
std::string FitMapCsv(const TFitMap& map);

// The same table for the grid of `map`, handed to `sink` a column at a time,
// so that the whole table is never held. The sums are the map's where all of
// them are exact; otherwise they are worked out exactly again (several trials
// side by side, all cores) a few columns at a time. False when the sink
// refuses a piece.
bool WriteFitMapCsv(const TSearchProblem& problem, const TFitMap& map,
                    const std::function<bool(std::string_view)>& sink, int threads = 0,
                    const TSearchCancel& cancel = nullptr);
