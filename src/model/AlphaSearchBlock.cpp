#include "AlphaSearchBlock.h"

#include <bit>

#ifdef __FAST_MATH__
#error "The block bound's rounding room assumes IEEE arithmetic: build it without -ffast-math."
#endif

namespace {

constexpr double kPenalty = 100000.0;
// The bound is lowered by this fraction against the rounding of its own
// additions (one a record).
constexpr double kBoundRounding = 1e-9;

// The next runoff at the corner (a, c) from each edge k * width, k < cells,
// and from edge[cells]. Alpha grows along the edges by a * width, so where it
// is above 0 exp(-alpha dt) falls by the same factor from edge to edge: two
// exponentials a record instead of one an edge. The products drift from the
// exponentials by a few units in the last place an edge, well inside the
// walks' rounding room.
void NextRunoffs(const std::vector<double>& edge, double width, double r, double a, double c,
                 double dt, double* next) {
  const int cells = static_cast<int>(edge.size()) - 1;
  // Alpha is 0 up to edge `first`.
  int first = 0;
  if (!(c > 0)) {
    first = a > 0 ? static_cast<int>(std::min<double>(cells, std::floor(-c / (a * width)))) : cells;
    while (first < cells && a * edge[first] + c <= 0) ++first;
    while (first > 0 && a * edge[first - 1] + c > 0) --first;
  }
  for (int k = 0; k < first; ++k) next[k] = edge[k];
  if (first < cells) {
    const double factor = std::exp(-a * width * dt);
    double f = std::exp(-(a * edge[first] + c) * dt);
    for (int k = first; k < cells; ++k) {
      next[k] = r + (edge[k] - r) * f;
      f *= factor;
    }
  }
  next[cells] = NextRunoff(edge[cells], r, a, c, dt);
}

}  // namespace

double LeastSumOfBlock(const TSearchProblem& problem, double a0, double a1, double c0, double c1,
                       int cells, double top, const std::vector<double>* rechargeHigh) {
  const auto highRecharge = [&](int n) {
    return rechargeHigh ? (*rechargeHigh)[static_cast<std::size_t>(n)] : problem.recharge[n];
  };
  const int count = problem.count;
  const double width = top / cells, inverseWidth = cells / top;
  // The cell whose range holds q or the one before it, and the one after it:
  // q / width is off by far less than 1e-6 when rounded.
  const auto cellBelow = [&](double q) {
    const double t = q * inverseWidth - 1e-6;
    return t < cells - 1 ? std::max(0, static_cast<int>(t)) : cells - 1;
  };
  const auto cellAbove = [&](double q) {
    const double t = q * inverseWidth + 1e-6;
    return t < cells - 1 ? std::max(0, static_cast<int>(t)) : cells - 1;
  };
  // No runoff ever passes the greatest of the first runoff and the recharges:
  // the last cell reaches that far.
  double highest = problem.firstRunoff;
  for (int n = 2; n <= count; ++n) highest = std::max(highest, highRecharge(n));
  std::vector<double> edge(cells + 1);
  for (int k = 0; k < cells; ++k) edge[k] = k * width;
  edge[cells] = std::max(edge[cells - 1], highest * (1 + 1e-9));
  int levels = 1;
  while ((1 << levels) <= cells) ++levels;

  std::vector<double> rest(cells, 0.0), next0(cells + 1), next1(cells + 1), low(cells), high(cells);
  std::vector<double> nextHigh0(rechargeHigh ? cells + 1 : 0), nextHigh1(nextHigh0.size());
  std::vector<int> firstCell(cells), lastCell(cells);
  // least[l][k]: the least of terms k .. k + 2^l - 1.
  std::vector<double> least(static_cast<size_t>(levels) * cells);
  for (int n = count; n >= 2; --n) {
    // rest: the bound after record n by the cell of the runoff at n; the
    // terms add record n's residual at the cell's nearest point.
    const double m = problem.measured[n];
    double* terms = least.data();
    for (int k = 0; k < cells; ++k) {
      const double upper = k == cells - 1 ? INFINITY : edge[k + 1];
      const double distance = std::max(std::max(edge[k] - m, m - upper), 0.0);
      terms[k] = std::min(distance * distance, kPenalty) + rest[k];
    }
    // From runoff q the next runoff of every trial of the block lies between
    // the next runoffs at the two corners, and each corner's, over a cell,
    // is least at an end and greatest at an end, at r or at its peak.
    //
    // The next runoff rises with the recharge, so with a recharge anywhere
    // from the record's own up to rechargeHigh's it is least at the first
    // and greatest at the second: the lows come from the one, the highs and
    // all that raises them from the other.
    const double lowR = problem.recharge[n], dt = problem.timeStep[n];
    const double r = highRecharge(n);
    const double inverseDt = dt > 0 ? 1 / dt : INFINITY;
    NextRunoffs(edge, width, lowR, a0, c0, dt, next0.data());
    NextRunoffs(edge, width, lowR, a1, c1, dt, next1.data());
    const double* high0 = next0.data();
    const double* high1 = next1.data();
    if (r != lowR) {
      NextRunoffs(edge, width, r, a0, c0, dt, nextHigh0.data());
      NextRunoffs(edge, width, r, a1, c1, dt, nextHigh1.data());
      high0 = nextHigh0.data();
      high1 = nextHigh1.data();
    }
    const double spread = 1 + std::fabs(c0) + std::fabs(c1);
    for (int k = 0; k < cells; ++k) {
      const double slack =
          kReachSlack * (edge[k + 1] + r + 1e-300) * (1 + dt * (spread + a1 * edge[k + 1]));
      low[k] = std::min(std::min(next0[k], next0[k + 1]), std::min(next1[k], next1[k + 1])) - slack;
      high[k] =
          std::max(std::max(high0[k], high0[k + 1]), std::max(high1[k], high1[k + 1])) + slack;
    }
    const auto raise = [&](double q, double value) {
      if (!(q >= 0 && q <= edge[cells])) return;
      // The cell of q and its neighbours, against rounding at an edge.
      const int k = cellBelow(q);
      const double slack =
          kReachSlack * (edge[cells] + r + 1e-300) * (1 + dt * (spread + a1 * edge[cells]));
      for (int j = std::max(0, k - 1); j <= std::min(cells - 1, k + 2); ++j) {
        high[j] = std::max(high[j], value + slack);
      }
    };
    raise(r, r);
    const double peak0 = RunoffPeak(r, a0, c0, inverseDt), peak1 = RunoffPeak(r, a1, c1, inverseDt);
    if (std::isfinite(peak0)) raise(peak0, NextRunoff(peak0, r, a0, c0, dt));
    if (std::isfinite(peak1)) raise(peak1, NextRunoff(peak1, r, a1, c1, dt));
    // Each cell's range of cells, and the runs of least terms as long as the
    // longest of them.
    int widest = 1;
    for (int k = 0; k < cells; ++k) {
      firstCell[k] = cellBelow(std::max(low[k], 0.0));
      lastCell[k] = std::max(firstCell[k], cellAbove(high[k]));
      widest = std::max(widest, lastCell[k] - firstCell[k] + 1);
    }
    const int levelsNeeded = std::bit_width(static_cast<unsigned>(widest));
    for (int l = 1; l < levelsNeeded; ++l) {
      const double* below = least.data() + static_cast<size_t>(l - 1) * cells;
      double* row = least.data() + static_cast<size_t>(l) * cells;
      const int half = 1 << (l - 1);
      for (int k = 0; k + 2 * half <= cells; ++k) row[k] = std::min(below[k], below[k + half]);
    }
    for (int k = 0; k < cells; ++k) {
      const int first = firstCell[k], last = lastCell[k];
      const int level = std::bit_width(static_cast<unsigned>(last - first + 1)) - 1;
      const double* row = least.data() + static_cast<size_t>(level) * cells;
      rest[k] = std::min(row[first], row[last - (1 << level) + 1]);
    }
  }
  // From record 1, where every trial starts at the first runoff.
  const int first = cellBelow(problem.firstRunoff);
  const int last = std::max(first, cellAbove(problem.firstRunoff));
  double least1 = rest[first];
  for (int k = first + 1; k <= last; ++k) least1 = std::min(least1, rest[k]);
  return least1 * (1 - kBoundRounding);
}

double BlockCellsTop(const TSearchProblem& problem) {
  double top = problem.firstRunoff;
  for (int n = 2; n <= problem.count; ++n) top = std::max(top, problem.measured[n]);
  return top > 0 ? 1.25 * top : 1.0;
}
