#include "ReportGraph.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QPolygonF>
#include <QTimeZone>
#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <regex>
#include <stdexcept>

#include "FitMapDraw.h"
#include "FitMeasures.h"
#include "UGraphDraw.h"

namespace {

namespace R = ReportTexts;

// Sizes in points; the layout turns them into pixels of the picture.
constexpr double kFontPoints = 9;
constexpr double kMarginPoints = 6;
constexpr double kTickPoints = 3.5;
constexpr double kGapPoints = 3;
constexpr double kKeyPoints = 22;

// A palette that readers with any common colour-vision deficiency tell
// apart; grey print is served by the dash patterns, markers and fills.
const QColor kInk(0, 0, 0), kBlue(0, 114, 178), kVermilion(213, 94, 0), kSky(86, 180, 233),
    kAxisGrey(90, 90, 90);

void RequireGuiApplication() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
    throw std::logic_error(GraphDrawTexts::kNoApplication);
  }
}

QFont ReportFont(double pixels, bool bold = false) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
  font.setBold(bold);
  font.setStyleStrategy(QFont::PreferAntialias);
  return font;
}

QString Q(const std::string& text) {
  return FileText(text);
}

// Text measures of the layout's font.
struct TMetrics {
  QFont Font, BoldFont;
  double Height = 0;
  double Width(const std::string& text, bool bold = false) const {
    return QFontMetricsF(bold ? BoldFont : Font).horizontalAdvance(Q(text));
  }
  std::string Elided(const std::string& text, double width, bool bold = false) const {
    return QFontMetricsF(bold ? BoldFont : Font)
        .elidedText(Q(text), Qt::ElideRight, width)
        .toStdString();
  }
};

TMetrics MetricsOf(double fontPixels) {
  TMetrics metrics{ReportFont(fontPixels), ReportFont(fontPixels, true), 0};
  metrics.Height = std::ceil(QFontMetricsF(metrics.BoldFont).height());
  return metrics;
}

// ---------------------------------------------------------------------------
// Ticks

// The number of decimals that shows every multiple of `step` exactly.
int DecimalsOf(double step) {
  for (int d = 0; d < 8; ++d) {
    const double scaled = step * std::pow(10.0, d);
    if (std::abs(scaled - std::nearbyint(scaled)) < 1e-6 * std::max(1.0, scaled)) return d;
  }
  return 8;
}

// A tick value as text: fixed with the step's decimals, or in scientific
// notation for very large or very small values, never with a factor.
std::string TickText(double value, double step, double largest) {
  if (std::abs(value) < step * 1e-6) value = 0;
  char buffer[64];
  if (largest >= 1e5 || step < 1e-3) {
    if (value == 0) return "0";
    const int exponent = static_cast<int>(std::floor(std::log10(std::abs(value))));
    const double mantissa = value / std::pow(10.0, exponent);
    const int digits = std::clamp(DecimalsOf(step / std::pow(10.0, exponent)), 0, 3);
    std::snprintf(buffer, sizeof buffer, "%.*fe%d", digits, mantissa, exponent);
    return buffer;
  }
  std::snprintf(buffer, sizeof buffer, "%.*f", DecimalsOf(step), value);
  return buffer;
}

double NiceStep(double span, int most) {
  if (!(span > 0) || !std::isfinite(span)) return 1;
  const double raw = span / std::max(1, most);
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double factor : {1.0, 2.0, 2.5, 5.0, 10.0}) {
    if (factor * magnitude >= raw * (1 - 1e-9)) return factor * magnitude;
  }
  return 10 * magnitude;
}

std::vector<double> TicksIn(double low, double high, double step) {
  std::vector<double> ticks;
  for (double k = std::ceil(low / step - 1e-9); k * step <= high + step * 1e-9; k += 1) {
    ticks.push_back(std::abs(k * step) < step * 1e-9 ? 0 : k * step);
    if (ticks.size() > 200) break;
  }
  return ticks;
}

// Days from 1970-01-01 of a civil date and back.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

QDateTime DateTimeOf(double seconds) {
  return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(std::llround(seconds)),
                                       QTimeZone::utc());
}

// Candidate tick sets of a time axis, from many ticks to few: numbers, or
// dates at round hours, days, months and years.
struct TTickSet {
  std::vector<double> Ticks;
  std::vector<std::string> Labels;
};

std::vector<TTickSet> NumberTickSets(double low, double high) {
  std::vector<TTickSet> sets;
  const double largest = std::max(std::abs(low), std::abs(high));
  double previous = -1;
  for (int most = 12; most >= 1; --most) {
    const double step = NiceStep(high - low, most);
    if (step == previous) continue;
    previous = step;
    TTickSet set;
    set.Ticks = TicksIn(low, high, step);
    for (const double t : set.Ticks) set.Labels.push_back(TickText(t, step, largest));
    sets.push_back(std::move(set));
  }
  return sets;
}

std::vector<TTickSet> DateTickSets(double low, double high, const TTimeUnits& units) {
  const double spu = units.SecondsPerUnit;
  const double first = units.OriginSeconds + low * spu, last = units.OriginSeconds + high * spu;
  const auto unitOf = [&](double seconds) { return (seconds - units.OriginSeconds) / spu; };
  const QLocale c = QLocale::c();
  std::vector<TTickSet> sets;
  const auto add = [&](const std::vector<double>& seconds, const QString& format) {
    if (seconds.empty()) return;
    TTickSet set;
    for (const double s : seconds) {
      set.Ticks.push_back(unitOf(s));
      set.Labels.push_back(c.toString(DateTimeOf(s), format).toStdString());
    }
    sets.push_back(std::move(set));
  };
  const double dayStart = std::floor(first / 86400) * 86400;
  for (const int hours : {1, 2, 3, 6, 12}) {
    if (hours * 3600 < spu) continue;
    std::vector<double> seconds;
    for (double s = dayStart; s <= last && seconds.size() <= 200; s += hours * 3600) {
      if (s >= first) seconds.push_back(s);
    }
    if (seconds.size() <= 200) add(seconds, QStringLiteral("d MMM hh:mm"));
  }
  for (const int days : {1, 2, 7, 14}) {
    std::vector<double> seconds;
    for (double s = dayStart; s <= last && seconds.size() <= 200; s += days * 86400.0) {
      if (s >= first) seconds.push_back(s);
    }
    if (seconds.size() <= 200) add(seconds, QStringLiteral("d MMM"));
  }
  const QDate startDate = DateTimeOf(first).date();
  for (const int months : {1, 2, 3, 6, 12, 24, 60}) {
    std::vector<double> seconds;
    int year = startDate.year(), month = 1;
    for (int guard = 0; guard < 2000; ++guard) {
      const double s = static_cast<double>(DaysFromCivil(year, month, 1)) * 86400;
      if (s > last) break;
      if (s >= first && ((year * 12 + month - 1) % months) == 0) seconds.push_back(s);
      if (++month > 12) {
        month = 1;
        ++year;
      }
    }
    add(seconds, months >= 12 ? QStringLiteral("yyyy") : QStringLiteral("MMM yyyy"));
  }
  return sets;
}

// ---------------------------------------------------------------------------
// Geometry

// The part of a segment inside `area`, if any.
std::optional<QLineF> Clipped(const QLineF& line, const QRectF& area) {
  double t0 = 0, t1 = 1;
  const double x0 = line.x1(), y0 = line.y1();
  const double dx = line.dx(), dy = line.dy();
  const auto keep = [&](double d, double low, double high, double start) {
    if (d == 0) return low <= start && start <= high;
    double ta = (low - start) / d, tb = (high - start) / d;
    if (ta > tb) std::swap(ta, tb);
    t0 = std::max(t0, ta);
    t1 = std::min(t1, tb);
    return t0 <= t1;
  };
  if (!std::isfinite(x0 + y0 + dx + dy)) return std::nullopt;
  if (!keep(dx, area.left(), area.right(), x0) || !keep(dy, area.top(), area.bottom(), y0)) {
    return std::nullopt;
  }
  return QLineF(x0 + t0 * dx, y0 + t0 * dy, x0 + t1 * dx, y0 + t1 * dy);
}

bool SegmentTouches(const QLineF& line, const QRectF& box) {
  return Clipped(line, box).has_value();
}

QString RateTitle(const char* name, const TTimeUnits& units) {
  return QString::fromUtf8(name) + QStringLiteral(" (") + QString::fromStdString(units.Rate) +
         QStringLiteral(")");
}

std::string TimeTitle(const TTimeUnits& units) {
  if (units.Dated) return R::kDate;
  if (units.Symbol.empty()) return std::string(R::kTime) + " (time steps)";
  return std::string(R::kTime) + " (" + units.Symbol + ")";
}

// ---------------------------------------------------------------------------
// The graph's content: series and axis titles in data units.

struct TContent {
  std::vector<TReportSeries> Series;
  std::string XTitle, YTitle, Y2Title;
  bool TimeAxis = true;
  bool SameRanges = false;  // observed against calculated
  std::vector<std::string> Notes;
};

TSeriesLook Look(QColor colour, Qt::PenStyle dash, TMarkerShape marker,
                 Qt::BrushStyle fill = Qt::NoBrush) {
  return {colour, dash, marker, fill, 1.2};
}

TReportSeries Make(const char* name, TSeriesForm form, TSeriesLook look) {
  TReportSeries series;
  series.Name = name;
  series.Form = form;
  series.Look = look;
  return series;
}

// Bars of the interval ending at each record: from the time before it (for
// the first record, one step of the next).
void FillBars(TReportSeries& series, const DataArrayR& t, const DataArrayR& values, int n) {
  for (int i = 0; i < n; ++i) {
    const double step = i > 0 ? t[i] - t[i - 1] : (n > 1 ? t[1] - t[0] : 1);
    series.XStart.push_back(t[i] - step);
    series.X.push_back(t[i]);
    series.Y.push_back(values[i]);
  }
}

void Fill(TReportSeries& series, const DataArrayR& x, const DataArrayR& y, int n) {
  series.X.assign(x.begin(), x.begin() + n);
  series.Y.assign(y.begin(), y.begin() + n);
}

std::string MeasureLine(const std::vector<double>& measured, const std::vector<double>& calculated,
                        const char* prefix) {
  const TFitMeasures measures = ComputeFitMeasures(measured, calculated);
  const auto text = [](double value) {
    const std::string t = FitMeasureText(value, 2);
    return t.empty() ? std::string("-") : t;
  };
  return std::string(prefix) + "NSE = " + text(measures.NSE) + "   KGE = " + text(measures.KGE);
}

TContent ContentOf(const TDMTevlora& data, int graphKind, const TTimeUnits& units,
                   const TReportExtras& extras) {
  TContent content;
  // The hydrograph draws the slots of the runoff graph and of the bar graph.
  const int n = graphKind == kHydrographGraphKind
                    ? std::min(GraphRecordCount(data, 1), GraphRecordCount(data, 3))
                    : GraphRecordCount(data, graphKind);
  const std::string time = TimeTitle(units);
  content.XTitle = time;
  switch (graphKind) {
    case 1: {
      auto observed =
          Make(R::kObserved, TSeriesForm::Points, Look(kInk, Qt::NoPen, TMarkerShape::Circle));
      Fill(observed, data.SeriesT, data.SeriesD, n);
      auto calculated =
          Make(R::kCalculated, TSeriesForm::Line, Look(kBlue, Qt::SolidLine, TMarkerShape::None));
      Fill(calculated, data.SeriesT, data.SeriesC, n);
      content.Series = {calculated, observed};
      content.YTitle = RateTitle(R::kRunoff, units).toStdString();
      break;
    }
    case 2: {
      auto predicted =
          Make(R::kPredicted, TSeriesForm::Line, Look(kBlue, Qt::SolidLine, TMarkerShape::None));
      Fill(predicted, data.SeriesT, data.SeriesC, n);
      content.Series = {predicted};
      content.YTitle = RateTitle(R::kDischarge, units).toStdString();
      break;
    }
    case 3:
    case 4: {
      auto rain = Make(graphKind == 3 ? R::kRain : R::kRainIrrigation, TSeriesForm::Bars,
                       Look(kSky, Qt::SolidLine, TMarkerShape::None, Qt::SolidPattern));
      FillBars(rain, data.SeriesT, graphKind == 3 ? data.SeriesA : data.SeriesC, n);
      auto recharge = Make(R::kRecharge, TSeriesForm::Bars,
                           Look(kVermilion, Qt::SolidLine, TMarkerShape::None, Qt::SolidPattern));
      recharge.Look.BarShare = 0.5;
      FillBars(recharge, data.SeriesT, data.SeriesB, n);
      content.Series = {rain, recharge};
      content.YTitle =
          RateTitle(graphKind == 3 ? R::kRainRecharge : R::kRainIrrigationRecharge, units)
              .toStdString();
      break;
    }
    case 5: {
      auto level =
          Make(R::kPredicted, TSeriesForm::Line, Look(kBlue, Qt::SolidLine, TMarkerShape::None));
      Fill(level, data.SeriesT, data.SeriesF, n);
      content.Series = {level};
      content.YTitle = data.Drainage ? R::kWaterTable : R::kReservoirStorage;
      break;
    }
    case 7: {
      auto points =
          Make(R::kRecords, TSeriesForm::Points, Look(kInk, Qt::NoPen, TMarkerShape::Circle));
      Fill(points, data.SeriesD, data.SeriesC, n);
      // The line of a perfect fit across the whole plot (clipped to it).
      double low = 0, high = 0;
      for (int i = 0; i < n; ++i) {
        for (const double v : {data.SeriesD[i], data.SeriesC[i]}) {
          if (!std::isfinite(v)) continue;
          low = std::min(low, v);
          high = std::max(high, v);
        }
      }
      auto same =
          Make(R::kObsCalc, TSeriesForm::Line, Look(kBlue, Qt::DashLine, TMarkerShape::None));
      same.X = {low, high * 1.2 + 1};
      same.Y = same.X;
      content.Series = {points, same};
      content.TimeAxis = false;
      content.SameRanges = true;
      content.XTitle = RateTitle(R::kRunoffObserved, units).toStdString();
      content.YTitle = RateTitle(R::kRunoffCalculated, units).toStdString();
      break;
    }
    case 8: {
      auto points =
          Make(R::kObserved, TSeriesForm::Points, Look(kInk, Qt::NoPen, TMarkerShape::Circle));
      Fill(points, data.SeriesB, data.SeriesD, n);
      content.Series = {points};
      const TGraphLayout classic = LayoutGraph(data, 8, true, extras.Trend);
      if (classic.TrendComputed) {
        auto line =
            Make(R::kTrendLine, TSeriesForm::Line, Look(kBlue, Qt::SolidLine, TMarkerShape::None));
        for (const TTrendPoint& p : classic.TrendLine) {
          line.X.push_back(p.X);
          line.Y.push_back(p.Y);
        }
        content.Series.push_back(line);
        if (classic.QuadTrendValid) {
          auto quad = Make(R::kQuadTrend, TSeriesForm::Line,
                           Look(kVermilion, Qt::DashLine, TMarkerShape::None));
          quad.X.assign(classic.QuadX.begin(), classic.QuadX.end());
          quad.Y.assign(classic.QuadY.begin(), classic.QuadY.end());
          content.Series.push_back(quad);
        }
      }
      content.TimeAxis = false;
      content.XTitle = RateTitle(R::kRechargeCalculated, units).toStdString();
      content.YTitle = RateTitle(R::kDischargeObserved, units).toStdString();
      break;
    }
    case 9: {
      auto recharge = Make(R::kRechargeDerived, TSeriesForm::Line,
                           Look(kVermilion, Qt::SolidLine, TMarkerShape::None));
      Fill(recharge, data.SeriesT, data.SeriesB, n);
      auto runoff = Make(R::kRunoffMeasured, TSeriesForm::Line,
                         Look(kBlue, Qt::DashLine, TMarkerShape::None));
      Fill(runoff, data.SeriesT, data.SeriesD, n);
      content.Series = {recharge, runoff};
      content.YTitle = RateTitle(R::kRechargeRunoff, units).toStdString();
      break;
    }
    case kHydrographGraphKind: {
      auto rain = Make(R::kRain, TSeriesForm::Bars,
                       Look(kSky, Qt::SolidLine, TMarkerShape::None, Qt::SolidPattern));
      FillBars(rain, data.SeriesT, data.SeriesA, n);
      rain.SecondAxis = true;
      auto recharge = Make(R::kRecharge, TSeriesForm::Bars,
                           Look(kVermilion, Qt::SolidLine, TMarkerShape::None, Qt::SolidPattern));
      recharge.Look.BarShare = 0.5;
      FillBars(recharge, data.SeriesT, data.SeriesB, n);
      recharge.SecondAxis = true;
      auto observed =
          Make(R::kObserved, TSeriesForm::Line, Look(kInk, Qt::SolidLine, TMarkerShape::None));
      observed.Look.WidthPoints = 1.0;
      Fill(observed, data.SeriesT, data.SeriesD, n);
      auto calculated =
          Make(R::kCalculated, TSeriesForm::Line, Look(kBlue, Qt::DashLine, TMarkerShape::None));
      calculated.Look.WidthPoints = 1.4;
      Fill(calculated, data.SeriesT, data.SeriesC, n);
      content.Series = {rain, recharge, observed, calculated};
      content.YTitle = RateTitle(R::kRunoff, units).toStdString();
      content.Y2Title = RateTitle(R::kRainRecharge, units).toStdString();
      // The measures over records 2 .. N, as the results file reports them;
      // with a split, of either part.
      const std::vector<double> measured(data.SeriesD.begin(), data.SeriesD.begin() + n);
      const std::vector<double> calculatedValues(data.SeriesC.begin(), data.SeriesC.begin() + n);
      if (extras.Split) {
        std::vector<double> m1, c1, m2, c2;
        for (int i = 0; i < n; ++i) {
          (data.SeriesT[i] <= *extras.Split ? m1 : m2).push_back(measured[i]);
          (data.SeriesT[i] <= *extras.Split ? c1 : c2).push_back(calculatedValues[i]);
        }
        content.Notes.push_back(MeasureLine(m1, c1, "calibration: "));
        content.Notes.push_back(MeasureLine(m2, c2, "validation: "));
      } else {
        content.Notes.push_back(MeasureLine(measured, calculatedValues, ""));
      }
      break;
    }
    default:
      break;
  }
  return content;
}

struct TRange {
  double Low = std::numeric_limits<double>::infinity();
  double High = -std::numeric_limits<double>::infinity();
  void Add(double v) {
    if (!std::isfinite(v)) return;
    Low = std::min(Low, v);
    High = std::max(High, v);
  }
  bool Empty() const { return !(Low <= High); }
};

// A value axis from 0 (or below, for negative values) to a round value
// above the data; `room` > 1 leaves that much more space above the ticks.
void ValueAxis(TReportAxis& axis, TRange range, double room) {
  if (range.Empty()) range = {0, 1};
  range.Low = std::min(range.Low, 0.0);
  if (range.High <= range.Low) range.High = range.Low + 1;
  axis.Low = range.Low;
  axis.High = range.High + (range.High - range.Low) * 0.04;
  if (room > 1) axis.High = axis.Low + (axis.High - axis.Low) * room;
}

// The tick set with the most ticks whose labels keep apart and, along a
// horizontal axis, lie within [lowEdge, highEdge] of the picture (the end
// labels are moved inward to stay there). `position` gives a tick's pixel.
template <typename TPosition>
TTickSet ChooseTicks(const std::vector<TTickSet>& sets, const TMetrics& metrics, bool horizontal,
                     double lowEdge, double highEdge, double visibleHigh, TPosition position) {
  const double gap = metrics.Height * (horizontal ? 0.8 : 1.0);
  TTickSet fallback;
  for (const TTickSet& set : sets) {
    TTickSet kept;
    for (std::size_t i = 0; i < set.Ticks.size(); ++i) {
      if (set.Ticks[i] > visibleHigh + 1e-9 * std::max(1.0, std::abs(visibleHigh))) continue;
      kept.Ticks.push_back(set.Ticks[i]);
      kept.Labels.push_back(set.Labels[i]);
    }
    if (kept.Ticks.empty()) continue;
    fallback = kept;
    std::vector<std::pair<double, double>> spans;
    for (std::size_t i = 0; i < kept.Ticks.size(); ++i) {
      const double size = horizontal ? metrics.Width(kept.Labels[i]) : metrics.Height;
      double start = position(kept.Ticks[i]) - size / 2;
      if (horizontal) start = std::clamp(start, lowEdge, std::max(lowEdge, highEdge - size));
      spans.emplace_back(start, start + size);
    }
    std::sort(spans.begin(), spans.end());
    bool fits = true;
    for (std::size_t i = 1; i < spans.size() && fits; ++i) {
      fits = spans[i].first >= spans[i - 1].second + gap;
    }
    if (fits && kept.Ticks.size() >= 2) return kept;
  }
  return fallback;
}

}  // namespace

TTimeUnits TimeUnitsOf(const std::string& title1, const std::string& title2) {
  TTimeUnits units;
  const std::regex since(R"((hours|days) since (\d{4})-(\d{2})-(\d{2})(?: (\d{2}):(\d{2}))?)");
  for (const std::string* title : {&title2, &title1}) {
    std::smatch match;
    if (std::regex_search(*title, match, since)) {
      const bool hours = match[1] == "hours";
      units.Symbol = hours ? "h" : "d";
      units.Rate = hours ? "mm/h" : "mm/d";
      units.SecondsPerUnit = hours ? 3600 : 86400;
      units.Dated = true;
      units.OriginSeconds =
          DaysFromCivil(std::stoi(match[2]), std::stoi(match[3]), std::stoi(match[4])) * 86400;
      if (match[5].matched) {
        units.OriginSeconds += std::stoi(match[5]) * 3600 + std::stoi(match[6]) * 60;
      }
      return units;
    }
  }
  const auto lower = [](std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
  };
  const std::regex hourly(R"(mm ?/ ?h(our|r)?\b|\bhourly\b|\bin hours\b|\bper hour\b)");
  const std::regex daily(R"(mm ?/ ?d(ay)?\b|\bdaily\b|\bin days\b|\bper day\b)");
  for (const std::string* title : {&title2, &title1}) {
    const std::string text = lower(*title);
    const bool h = std::regex_search(text, hourly), d = std::regex_search(text, daily);
    if (h != d) {
      units.Symbol = h ? "h" : "d";
      units.Rate = h ? "mm/h" : "mm/d";
      units.SecondsPerUnit = h ? 3600 : 86400;
      return units;
    }
  }
  units.Rate = "mm per time step";
  return units;
}

QColor UniformScaleColour(double position) {
  // Nine stops of a scale whose lightness rises evenly and whose hue runs
  // from blue-violet to yellow, readable in grey and by colour-blind readers.
  static const std::array<std::array<int, 3>, 9> kStops = {{{68, 1, 84},
                                                            {71, 44, 122},
                                                            {59, 81, 139},
                                                            {44, 113, 142},
                                                            {33, 144, 141},
                                                            {39, 173, 129},
                                                            {92, 200, 99},
                                                            {170, 220, 50},
                                                            {253, 231, 37}}};
  if (!std::isfinite(position)) position = 0;
  const double p = std::clamp(position, 0.0, 1.0) * 8;
  const int k = std::min(7, static_cast<int>(p));
  const double f = p - k;
  int rgb[3];
  for (int c = 0; c < 3; ++c) {
    rgb[c] = static_cast<int>(std::lround(kStops[k][c] + f * (kStops[k + 1][c] - kStops[k][c])));
  }
  return QColor(rgb[0], rgb[1], rgb[2]);
}

QPointF TReportLayout::Map(double x, double y, bool secondAxis) const {
  const double px = Plot.left() + (x - X.Low) / (X.High - X.Low) * Plot.width();
  if (secondAxis) return {px, Plot.top() + (y - Y2.Low) / (Y2.High - Y2.Low) * Plot.height()};
  return {px, Plot.bottom() - (y - Y.Low) / (Y.High - Y.Low) * Plot.height()};
}

bool CoversData(const TReportLayout& layout, const QRectF& box) {
  for (const QRectF& mark : layout.MarkBoxes) {
    if (mark.intersects(box)) return true;
  }
  for (const QLineF& line : layout.MarkLines) {
    if (SegmentTouches(line, box)) return true;
  }
  return false;
}

namespace {

// Bar i of a series in pixels: its share of the interval, centred.
QRectF BarRect(const TReportLayout& layout, const TReportSeries& series, std::size_t i) {
  const double share = std::clamp(series.Look.BarShare, 0.05, 1.0);
  const double middle = (series.XStart[i] + series.X[i]) / 2;
  const double half = (series.X[i] - series.XStart[i]) * share / 2;
  QRectF bar = QRectF(layout.Map(middle - half, 0, series.SecondAxis),
                      layout.Map(middle + half, series.Y[i], series.SecondAxis))
                   .normalized();
  if (bar.width() < 1) bar.setWidth(1);
  return bar;
}

double MarkerRadius(const TReportLayout& layout, const TReportSeries& series) {
  return (series.X.size() > 300 ? 1.5 : 2.4) * layout.PixelsPerPoint;
}

// The data marks of every series, in pixels and clipped to the plot.
void CollectMarks(TReportLayout& layout) {
  const QRectF plot = layout.Plot;
  for (const TReportSeries& series : layout.Series) {
    const std::size_t n = std::min(series.X.size(), series.Y.size());
    if (series.Form == TSeriesForm::Line) {
      for (std::size_t i = 1; i < n; ++i) {
        const QLineF line(layout.Map(series.X[i - 1], series.Y[i - 1], series.SecondAxis),
                          layout.Map(series.X[i], series.Y[i], series.SecondAxis));
        if (const auto part = Clipped(line, plot)) layout.MarkLines.push_back(*part);
      }
    } else if (series.Form == TSeriesForm::Points) {
      const double r = MarkerRadius(layout, series);
      for (std::size_t i = 0; i < n; ++i) {
        const QPointF p = layout.Map(series.X[i], series.Y[i], series.SecondAxis);
        if (!std::isfinite(p.x() + p.y())) continue;
        const QRectF box = QRectF(p.x() - r, p.y() - r, 2 * r, 2 * r).intersected(plot);
        if (!box.isEmpty()) layout.MarkBoxes.push_back(box);
      }
    } else {
      for (std::size_t i = 0; i < n && i < series.XStart.size(); ++i) {
        if (!(series.Y[i] != 0) || !std::isfinite(series.Y[i])) continue;
        const QRectF bar = BarRect(layout, series, i).intersected(plot);
        if (!bar.isEmpty()) layout.MarkBoxes.push_back(bar);
      }
    }
  }
  if (layout.Split) {
    const double x = layout.Map(*layout.Split, 0).x();
    if (const auto part = Clipped(QLineF(x, plot.top(), x, plot.bottom()), plot)) {
      layout.MarkLines.push_back(*part);
    }
  }
}

// A box to be put on the plot where it covers no data (a legend, the
// measures).
struct TFloating {
  QSizeF Size;
  QRectF Placed;
  bool Inside = false;
};

bool FreeOn(const TReportLayout& layout, const QRectF& box, const std::vector<QRectF>& taken,
            double gap) {
  if (!layout.Plot.contains(box)) return false;
  const QRectF wide = box.adjusted(-gap, -gap, gap, gap);
  if (CoversData(layout, wide)) return false;
  for (const QRectF& other : taken) {
    if (other.intersects(wide)) return false;
  }
  return true;
}

std::optional<QRectF> FreePlace(const TReportLayout& layout, QSizeF size,
                                const std::vector<QRectF>& taken, double inset, double gap) {
  const QRectF area = layout.Plot.adjusted(inset, inset, -inset, -inset);
  if (size.width() > area.width() || size.height() > area.height()) return std::nullopt;
  const double right = area.right() - size.width(), bottom = area.bottom() - size.height();
  std::vector<QPointF> corners = {{area.left(), area.top()},
                                  {right, area.top()},
                                  {right, bottom},
                                  {area.left(), bottom},
                                  {(area.left() + right) / 2, area.top()},
                                  {(area.left() + right) / 2, bottom}};
  constexpr int kSteps = 12;
  for (int fy = 0; fy <= kSteps; ++fy) {
    for (int fx = 0; fx <= kSteps; ++fx) {
      corners.emplace_back(area.left() + (right - area.left()) * fx / kSteps,
                           area.top() + (bottom - area.top()) * fy / kSteps);
    }
  }
  for (const QPointF& corner : corners) {
    const QRectF box(corner, size);
    if (FreeOn(layout, box, taken, gap)) return box;
  }
  return std::nullopt;
}

}  // namespace

TReportLayout LayoutReportGraph(const TDMTevlora& data, int graphKind, const TFigureFormat& format,
                                const TReportExtras& extras) {
  RequireGuiApplication();
  TReportLayout layout;
  layout.GraphKind = graphKind;
  layout.Width = format.Width;
  layout.Height = format.Height;
  const double u = std::max(1, format.Dpi) / 72.0;
  layout.PixelsPerPoint = u;
  layout.FontPixels = kFontPoints * u;
  const TMetrics metrics = MetricsOf(layout.FontPixels);
  const double fh = metrics.Height;
  const double m = kMarginPoints * u, tick = kTickPoints * u, gap = kGapPoints * u;
  const double W = format.Width, H = format.Height;

  const TTimeUnits units = TimeUnitsOf(data.Title1, data.Title2);
  TContent content = ContentOf(data, graphKind, units, extras);
  layout.Series = content.Series;
  layout.HasY2 = !content.Y2Title.empty();
  layout.DatedX = content.TimeAxis && units.Dated && units.SecondsPerUnit > 0;
  if (content.TimeAxis) layout.Split = extras.Split;

  // Ranges: of what is measured or calculated, not of trend lines.
  TRange xRange, yRange, y2Range;
  for (const TReportSeries& series : layout.Series) {
    if ((graphKind == 7 || graphKind == 8) && series.Form == TSeriesForm::Line) continue;
    for (std::size_t i = 0; i < series.X.size(); ++i) {
      if (i < series.XStart.size()) xRange.Add(series.XStart[i]);
      xRange.Add(series.X[i]);
      (series.SecondAxis ? y2Range : yRange).Add(series.Y[i]);
    }
  }
  if (content.SameRanges) {
    xRange.Add(yRange.Low);
    xRange.Add(yRange.High);
    yRange = xRange;
  }
  if (content.TimeAxis) {
    if (xRange.Empty()) xRange = {0, 1};
    if (xRange.High <= xRange.Low) xRange.High = xRange.Low + 1;
    layout.X.Low = xRange.Low;
    layout.X.High = xRange.High;
  } else {
    ValueAxis(layout.X, xRange, 1);
    if (content.SameRanges) ValueAxis(layout.Y, yRange, 1);
  }
  // With bars from the top the runoff keeps to the lower part of the plot
  // and the bars to the upper part; the ticks of each axis cover only its part.
  if (!content.SameRanges) ValueAxis(layout.Y, yRange, layout.HasY2 ? 1.75 : 1);
  double yVisible = layout.Y.High, y2Visible = 0;
  if (layout.HasY2) {
    yVisible = yRange.Empty() ? 1 : std::max(yRange.High * 1.04, 1e-12);
    ValueAxis(layout.Y2, y2Range, 2.5);
    y2Visible = y2Range.Empty() ? 1 : std::max(y2Range.High * 1.04, 1e-12);
  }
  layout.X.Title = content.XTitle;
  if (layout.DatedX) {
    // The year (or years) the dates lie in, which the tick labels leave out.
    const auto yearAt = [&](double t) {
      return DateTimeOf(units.OriginSeconds + t * units.SecondsPerUnit).date().year();
    };
    const int first = yearAt(layout.X.Low), last = yearAt(layout.X.High);
    layout.X.Title += " (" + std::to_string(first) +
                      (last != first ? "-" + std::to_string(last) : std::string()) + ")";
  }
  layout.Y.Title = content.YTitle;
  layout.Y2.Title = content.Y2Title;

  std::vector<TFloating> floating;
  const double pad = 3 * u, rowHeight = fh * 1.15, keyWidth = kKeyPoints * u;
  if (layout.Series.size() >= 2) {
    double width = 0;
    for (const TReportSeries& series : layout.Series) {
      width = std::max(width, metrics.Width(series.Name));
    }
    floating.push_back({QSizeF(pad * 2 + keyWidth + gap + width,
                               pad * 2 + rowHeight * static_cast<double>(layout.Series.size())),
                        {}});
  }
  const bool hasNotes = !content.Notes.empty();
  if (hasNotes) {
    double width = 0;
    for (const std::string& note : content.Notes) width = std::max(width, metrics.Width(note));
    floating.push_back(
        {QSizeF(pad * 2 + width, pad * 2 + rowHeight * static_cast<double>(content.Notes.size())),
         {}});
  }

  double reservedRow = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    layout.Texts.clear();
    layout.Keys.clear();
    layout.MarkLines.clear();
    layout.MarkBoxes.clear();
    double top = m;
    const std::string title = metrics.Elided(data.Title1, W - 2 * m, true);
    if (!title.empty()) {
      layout.Texts.push_back(
          {QRectF(m, top, metrics.Width(title, true), fh), title, TTextRole::Title, false, true});
      top += fh + gap;
    }
    const double rowTop = top;
    if (reservedRow > 0) top += reservedRow + gap;
    const double splitTop = top;
    if (layout.Split) top += fh + gap;
    top += fh / 2;
    const double plotTop = top;
    const double plotBottom = std::max(plotTop + 1, H - (m + fh + gap + fh + tick + gap));
    const double plotHeight = plotBottom - plotTop;

    const auto yPosition = [&](double v) {
      return plotBottom - (v - layout.Y.Low) / (layout.Y.High - layout.Y.Low) * plotHeight;
    };
    const auto y2Position = [&](double v) {
      return plotTop + (v - layout.Y2.Low) / (layout.Y2.High - layout.Y2.Low) * plotHeight;
    };
    const TTickSet yTicks = ChooseTicks(NumberTickSets(layout.Y.Low, yVisible), metrics, false, 0,
                                        0, yVisible, yPosition);
    TTickSet y2Ticks;
    if (layout.HasY2) {
      y2Ticks =
          ChooseTicks(NumberTickSets(0, y2Visible), metrics, false, 0, 0, y2Visible, y2Position);
    }
    const auto widest = [&](const TTickSet& set) {
      double w = 0;
      for (const std::string& label : set.Labels) w = std::max(w, metrics.Width(label));
      return w;
    };
    const double left = m + fh + gap + widest(yTicks) + tick + gap;
    const double right = layout.HasY2 ? m + fh + gap + widest(y2Ticks) + tick + gap : m + 2.5 * fh;
    layout.Plot = QRectF(left, plotTop, std::max(1.0, W - left - right), plotHeight);
    const QRectF plot = layout.Plot;

    const auto xPosition = [&](double v) {
      return plot.left() + (v - layout.X.Low) / (layout.X.High - layout.X.Low) * plot.width();
    };
    const std::vector<TTickSet> xSets = layout.DatedX
                                            ? DateTickSets(layout.X.Low, layout.X.High, units)
                                            : NumberTickSets(layout.X.Low, layout.X.High);
    const TTickSet xTicks = ChooseTicks(xSets, metrics, true, m, W - m, layout.X.High, xPosition);
    layout.X.Ticks = xTicks.Ticks;
    layout.X.Labels = xTicks.Labels;
    layout.Y.Ticks = yTicks.Ticks;
    layout.Y.Labels = yTicks.Labels;
    layout.Y2.Ticks = y2Ticks.Ticks;
    layout.Y2.Labels = y2Ticks.Labels;

    for (std::size_t i = 0; i < xTicks.Ticks.size(); ++i) {
      const double w = metrics.Width(xTicks.Labels[i]);
      const double x = std::clamp(xPosition(xTicks.Ticks[i]) - w / 2, m, std::max(m, W - m - w));
      layout.Texts.push_back(
          {QRectF(x, plot.bottom() + tick + gap, w, fh), xTicks.Labels[i], TTextRole::TickLabel});
    }
    for (std::size_t i = 0; i < yTicks.Ticks.size(); ++i) {
      const double w = metrics.Width(yTicks.Labels[i]);
      layout.Texts.push_back(
          {QRectF(plot.left() - tick - gap - w, yPosition(yTicks.Ticks[i]) - fh / 2, w, fh),
           yTicks.Labels[i], TTextRole::TickLabel});
    }
    for (std::size_t i = 0; i < y2Ticks.Ticks.size(); ++i) {
      const double w = metrics.Width(y2Ticks.Labels[i]);
      layout.Texts.push_back(
          {QRectF(plot.right() + tick + gap, y2Position(y2Ticks.Ticks[i]) - fh / 2, w, fh),
           y2Ticks.Labels[i], TTextRole::TickLabel});
    }
    {
      const std::string xTitle = metrics.Elided(layout.X.Title, W - 2 * m);
      const double w = metrics.Width(xTitle);
      const double x = std::clamp(plot.center().x() - w / 2, m, std::max(m, W - m - w));
      layout.Texts.push_back({QRectF(x, H - m - fh, w, fh), xTitle, TTextRole::AxisTitle});
      const std::string yTitle = metrics.Elided(layout.Y.Title, plot.height());
      const double h = metrics.Width(yTitle);
      layout.Texts.push_back(
          {QRectF(m, plot.center().y() - h / 2, fh, h), yTitle, TTextRole::AxisTitle, true});
      if (layout.HasY2) {
        const std::string y2Title = metrics.Elided(layout.Y2.Title, plot.height());
        const double h2 = metrics.Width(y2Title);
        layout.Texts.push_back({QRectF(W - m - fh, plot.center().y() - h2 / 2, fh, h2), y2Title,
                                TTextRole::AxisTitle, true});
      }
    }
    if (layout.Split) {
      const double x = xPosition(*layout.Split);
      const double wc = metrics.Width(R::kCalibration), wv = metrics.Width(R::kValidation);
      if (x - gap - wc >= m && x <= plot.right()) {
        layout.Texts.push_back(
            {QRectF(x - gap - wc, splitTop, wc, fh), R::kCalibration, TTextRole::Note});
      }
      if (x + gap + wv <= W - m && x >= plot.left()) {
        layout.Texts.push_back(
            {QRectF(x + gap, splitTop, wv, fh), R::kValidation, TTextRole::Note});
      }
    }
    CollectMarks(layout);

    // The legend and the measures: on the plot where they cover no data,
    // otherwise in a row above it.
    std::vector<QRectF> taken;
    bool allInside = true;
    double rowNeeded = 0, rowX = plot.left();
    for (TFloating& box : floating) {
      const auto place = FreePlace(layout, box.Size, taken, 4 * u, gap);
      box.Inside = place.has_value();
      if (place) {
        box.Placed = *place;
        taken.push_back(*place);
      } else {
        allInside = false;
        rowNeeded = std::max(rowNeeded, box.Size.height());
      }
    }
    if (allInside || attempt == 1) {
      for (TFloating& box : floating) {
        if (box.Inside) continue;
        // In the row above the plot, side by side.
        const double x = std::clamp(rowX, m, std::max(m, W - m - box.Size.width()));
        box.Placed = QRectF(QPointF(x, rowTop), box.Size);
        rowX = box.Placed.right() + 2 * gap;
      }
      break;
    }
    reservedRow = rowNeeded;
  }

  // The texts of the legend and the measures.
  std::size_t next = 0;
  if (layout.Series.size() >= 2) {
    const QRectF box = floating[next++].Placed;
    layout.LegendBox = box;
    for (std::size_t i = 0; i < layout.Series.size(); ++i) {
      const double y = box.top() + pad + rowHeight * static_cast<double>(i);
      layout.Keys.push_back(
          {QRectF(box.left() + pad, y, keyWidth, rowHeight), static_cast<int>(i)});
      const std::string& name = layout.Series[i].Name;
      layout.Texts.push_back({QRectF(box.left() + pad + keyWidth + gap, y + (rowHeight - fh) / 2,
                                     metrics.Width(name), fh),
                              name, TTextRole::Legend});
    }
  }
  if (hasNotes) {
    const QRectF box = floating[next++].Placed;
    for (std::size_t i = 0; i < content.Notes.size(); ++i) {
      const double y = box.top() + pad + rowHeight * static_cast<double>(i);
      layout.Texts.push_back(
          {QRectF(box.left() + pad, y + (rowHeight - fh) / 2, metrics.Width(content.Notes[i]), fh),
           content.Notes[i], TTextRole::Note});
    }
  }
  return layout;
}

namespace {

void DrawMarker(QPainter& painter, TMarkerShape shape, QPointF p, double r) {
  switch (shape) {
    case TMarkerShape::Circle:
      painter.drawEllipse(p, r, r);
      break;
    case TMarkerShape::Square:
      painter.drawRect(QRectF(p.x() - r, p.y() - r, 2 * r, 2 * r));
      break;
    case TMarkerShape::Triangle:
      painter.drawPolygon(QPolygonF({QPointF(p.x(), p.y() - r), QPointF(p.x() + r, p.y() + r),
                                     QPointF(p.x() - r, p.y() + r)}));
      break;
    case TMarkerShape::Diamond:
      painter.drawPolygon(QPolygonF({QPointF(p.x(), p.y() - r), QPointF(p.x() + r, p.y()),
                                     QPointF(p.x(), p.y() + r), QPointF(p.x() - r, p.y())}));
      break;
    case TMarkerShape::None:
      break;
  }
}

QPen LinePen(const TSeriesLook& look, double u) {
  QPen pen(look.Colour, look.WidthPoints * u, look.Dash == Qt::NoPen ? Qt::SolidLine : look.Dash);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::RoundJoin);
  return pen;
}

QBrush BarBrush(const TSeriesLook& look, double u) {
  QBrush brush(look.Colour, look.Fill);
  // Hatching keeps its spacing in points at any resolution.
  if (look.Fill != Qt::SolidPattern && look.Fill != Qt::NoBrush) {
    brush.setTransform(QTransform::fromScale(u * 0.8, u * 0.8));
  }
  return brush;
}

void DrawText(QPainter& painter, const TPlacedText& text, const TMetrics& metrics) {
  painter.setFont(text.Bold ? metrics.BoldFont : metrics.Font);
  painter.setPen(QColor(0, 0, 0));
  if (!text.Vertical) {
    painter.drawText(text.Box, Qt::AlignCenter | Qt::TextDontClip, Q(text.Text));
    return;
  }
  painter.save();
  painter.translate(text.Box.center());
  painter.rotate(-90);
  const QRectF box(-text.Box.height() / 2, -text.Box.width() / 2, text.Box.height(),
                   text.Box.width());
  painter.drawText(box, Qt::AlignCenter | Qt::TextDontClip, Q(text.Text));
  painter.restore();
}

void DrawSeries(QPainter& painter, const TReportLayout& layout, const TReportSeries& series) {
  const double u = layout.PixelsPerPoint;
  const std::size_t n = std::min(series.X.size(), series.Y.size());
  switch (series.Form) {
    case TSeriesForm::Bars: {
      painter.setPen(series.Look.Fill == Qt::SolidPattern ? QPen(Qt::NoPen)
                                                          : QPen(series.Look.Colour, 0.6 * u));
      painter.setBrush(BarBrush(series.Look, u));
      for (std::size_t i = 0; i < n && i < series.XStart.size(); ++i) {
        if (!(series.Y[i] != 0) || !std::isfinite(series.Y[i])) continue;
        painter.drawRect(BarRect(layout, series, i));
      }
      painter.setBrush(Qt::NoBrush);
      break;
    }
    case TSeriesForm::Line: {
      painter.setPen(LinePen(series.Look, u));
      QPolygonF line;
      for (std::size_t i = 0; i < n; ++i) {
        const QPointF p = layout.Map(series.X[i], series.Y[i], series.SecondAxis);
        if (std::isfinite(p.x() + p.y())) {
          line << p;
        } else if (!line.isEmpty()) {
          painter.drawPolyline(line);
          line.clear();
        }
      }
      if (!line.isEmpty()) painter.drawPolyline(line);
      break;
    }
    case TSeriesForm::Points: {
      QPen pen(series.Look.Colour, 0.8 * u);
      painter.setPen(pen);
      painter.setBrush(Qt::NoBrush);
      const double r = MarkerRadius(layout, series);
      for (std::size_t i = 0; i < n; ++i) {
        const QPointF p = layout.Map(series.X[i], series.Y[i], series.SecondAxis);
        if (std::isfinite(p.x() + p.y())) DrawMarker(painter, series.Look.Marker, p, r);
      }
      break;
    }
  }
}

void DrawKey(QPainter& painter, const TReportSeries& series, const QRectF& key, double u) {
  const QPointF centre = key.center();
  switch (series.Form) {
    case TSeriesForm::Line:
      painter.setPen(LinePen(series.Look, u));
      painter.drawLine(QPointF(key.left(), centre.y()), QPointF(key.right(), centre.y()));
      break;
    case TSeriesForm::Points:
      painter.setPen(QPen(series.Look.Colour, 0.8 * u));
      painter.setBrush(Qt::NoBrush);
      DrawMarker(painter, series.Look.Marker, centre, 2.4 * u);
      break;
    case TSeriesForm::Bars: {
      painter.setPen(series.Look.Fill == Qt::SolidPattern ? QPen(Qt::NoPen)
                                                          : QPen(series.Look.Colour, 0.6 * u));
      painter.setBrush(BarBrush(series.Look, u));
      const double h = key.height() * 0.7;
      const double w = key.width() * 0.6 * std::clamp(series.Look.BarShare, 0.05, 1.0);
      painter.drawRect(QRectF(centre.x() - w / 2, centre.y() - h / 2, w, h));
      painter.setBrush(Qt::NoBrush);
      break;
    }
  }
}

}  // namespace

void PaintReportGraph(QPainter& painter, const TReportLayout& layout) {
  RequireGuiApplication();
  const double u = layout.PixelsPerPoint;
  const TMetrics metrics = MetricsOf(layout.FontPixels);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.fillRect(QRectF(0, 0, layout.Width, layout.Height), Qt::white);

  painter.setClipRect(layout.Plot);
  for (const TReportSeries& series : layout.Series) {
    if (series.Form == TSeriesForm::Bars) DrawSeries(painter, layout, series);
  }
  if (layout.Split) {
    const double x = layout.Map(*layout.Split, 0).x();
    QPen pen(kAxisGrey, 0.8 * u, Qt::DashDotLine);
    painter.setPen(pen);
    painter.drawLine(QPointF(x, layout.Plot.top()), QPointF(x, layout.Plot.bottom()));
  }
  for (const TReportSeries& series : layout.Series) {
    if (series.Form != TSeriesForm::Bars) DrawSeries(painter, layout, series);
  }
  painter.setClipping(false);

  // Axes and ticks, outward.
  const QRectF plot = layout.Plot;
  const double tick = kTickPoints * u;
  QPen axis(QColor(0, 0, 0), 0.8 * u);
  axis.setCapStyle(Qt::SquareCap);
  painter.setPen(axis);
  painter.drawLine(plot.bottomLeft(), plot.topLeft());
  painter.drawLine(plot.bottomLeft(), plot.bottomRight());
  if (layout.HasY2) painter.drawLine(plot.bottomRight(), plot.topRight());
  for (const double t : layout.X.Ticks) {
    const double x = layout.Map(t, 0).x();
    painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + tick));
  }
  for (const double t : layout.Y.Ticks) {
    const double y = layout.Map(layout.X.Low, t).y();
    painter.drawLine(QPointF(plot.left(), y), QPointF(plot.left() - tick, y));
  }
  for (const double t : layout.Y2.Ticks) {
    const double y = layout.Map(layout.X.Low, t, true).y();
    painter.drawLine(QPointF(plot.right(), y), QPointF(plot.right() + tick, y));
  }

  if (!layout.LegendBox.isEmpty()) {
    painter.setPen(QPen(QColor(150, 150, 150), 0.5 * u));
    painter.setBrush(Qt::white);
    painter.drawRect(layout.LegendBox);
    painter.setBrush(Qt::NoBrush);
    for (const TLegendKey& key : layout.Keys) {
      if (key.Series >= 0) DrawKey(painter, layout.Series[key.Series], key.Key, u);
    }
  }
  for (const TPlacedText& text : layout.Texts) DrawText(painter, text, metrics);
  painter.restore();
}

// ---------------------------------------------------------------------------
// The fit map

namespace {

struct TMapRange {
  double Low, High;
};

int NearestCell(const std::vector<int>& indices, double position, int step) {
  const long cell = std::lround((position - indices.front()) / step);
  return static_cast<int>(std::clamp<long>(cell, 0, static_cast<long>(indices.size()) - 1));
}

void MapRanges(const TFitMap& map, TMapRange& a, TMapRange& c) {
  a = {0.0, 1.0};
  c = {-1.0, 1.0};
  if (map.Columns() > 0 && map.Rows() > 0 && map.Zoomed) {
    a = {TrialAOf(map.Outer.front()) - 0.00025, TrialAOf(map.Outer.back()) + 0.00025};
    c = {TrialCOf(map.Inner.front()) - 0.0005, TrialCOf(map.Inner.back()) + 0.0005};
  }
}

std::string BarLabel(double value, int decimals) {
  char buffer[64];
  if (std::abs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

}  // namespace

TFitMapReportLayout LayoutReportFitMap(const TFitMap& map, const std::string& title1,
                                       const std::string& title2, const TFigureFormat& format) {
  RequireGuiApplication();
  TFitMapReportLayout layout;
  layout.Width = format.Width;
  layout.Height = format.Height;
  const double u = std::max(1, format.Dpi) / 72.0;
  layout.PixelsPerPoint = u;
  layout.FontPixels = kFontPoints * u;
  const TMetrics metrics = MetricsOf(layout.FontPixels);
  const double fh = metrics.Height;
  const double m = kMarginPoints * u, tick = kTickPoints * u, gap = kGapPoints * u;
  const double W = format.Width, H = format.Height;
  const TTimeUnits units = TimeUnitsOf(title1, title2);
  const bool drawable = map.Columns() > 0 && map.Rows() > 0;

  TMapRange a{}, c{};
  MapRanges(map, a, c);
  layout.X.Low = a.Low;
  layout.X.High = a.High;
  layout.Y.Low = c.Low;
  layout.Y.High = c.High;
  layout.X.Title = std::string(FitMapTexts::kXTitle) + " (1/mm)";
  layout.Y.Title = std::string(FitMapTexts::kYTitle) + " (1/" +
                   (units.Symbol.empty() ? std::string("time step") : units.Symbol) + ")";

  // The colour bar's scale: R square, or on the zoomed map the sum relative
  // to the best one.
  const double ratioEnd = drawable ? FitMapRatioScaleEnd(map) : 0;
  layout.RelativeScale = ratioEnd > 0;
  layout.Bar.Title =
      layout.RelativeScale ? FitMapTexts::kRelativeLegendTitle : FitMapTexts::kLegendTitle;
  const double barTick = (ratioEnd - 1) / 5;
  const int decimals =
      ratioEnd > 0 ? std::clamp(1 - static_cast<int>(std::floor(std::log10(barTick))), 2, 6) : 1;
  for (int k = 0; k <= 5; ++k) {
    layout.Bar.Ticks.push_back(k * 0.2);  // position, 0 at the bottom
    std::string label = BarLabel(k * 0.2, 1);
    if (layout.RelativeScale) {
      label = BarLabel(1 + (5 - k) * barTick, decimals);
      if (k == 0) label += "+";
    }
    layout.Bar.Labels.push_back(label);
  }

  double top = m;
  const auto addLine = [&](const std::string& text, bool bold) {
    const std::string fitted = metrics.Elided(text, W - 2 * m, bold);
    if (fitted.empty()) return;
    layout.Texts.push_back(
        {QRectF(m, top, metrics.Width(fitted, bold), fh), fitted, TTextRole::Title, false, bold});
    top += fh + gap;
  };
  addLine(title1, true);
  if (drawable && map.Optimum.Found()) {
    addLine(FitMapOptimumText(map), false);
    if (map.Penalties > 0) addLine(FitMapPenaltyText(map.Penalties), false);
  } else {
    addLine(FitMapTexts::kNoOptimum, false);
  }
  top += fh / 2;
  const double bottomRow = H - m - fh;
  const double plotBottom = std::max(top + 1, bottomRow - gap - fh - gap - fh - tick - gap);
  const double plotHeight = plotBottom - top;

  double barLabels = 0;
  for (const std::string& label : layout.Bar.Labels) {
    barLabels = std::max(barLabels, metrics.Width(label));
  }
  const double barWidth = 10 * u;
  const double right = m + fh + gap + barLabels + tick + gap + barWidth + 3 * gap;
  const auto cPosition = [&](double v) {
    return plotBottom - (v - c.Low) / (c.High - c.Low) * plotHeight;
  };
  const TTickSet cTicks =
      ChooseTicks(NumberTickSets(c.Low, c.High), metrics, false, 0, 0, c.High, cPosition);
  double cLabels = 0;
  for (const std::string& label : cTicks.Labels) cLabels = std::max(cLabels, metrics.Width(label));
  const double left = m + fh + gap + cLabels + tick + gap;
  layout.Plot = QRectF(left, top, std::max(1.0, W - left - right), plotHeight);
  layout.ColourBar =
      QRectF(layout.Plot.right() + 3 * gap, layout.Plot.top(), barWidth, layout.Plot.height());
  const QRectF plot = layout.Plot;
  const auto aPosition = [&](double v) {
    return plot.left() + (v - a.Low) / (a.High - a.Low) * plot.width();
  };
  const TTickSet aTicks = ChooseTicks(NumberTickSets(a.Low, a.High), metrics, true, m,
                                      layout.ColourBar.left(), a.High, aPosition);
  layout.X.Ticks = aTicks.Ticks;
  layout.X.Labels = aTicks.Labels;
  layout.Y.Ticks = cTicks.Ticks;
  layout.Y.Labels = cTicks.Labels;

  for (std::size_t i = 0; i < aTicks.Ticks.size(); ++i) {
    const double w = metrics.Width(aTicks.Labels[i]);
    const double x =
        std::clamp(aPosition(aTicks.Ticks[i]) - w / 2, m, std::max(m, layout.ColourBar.left() - w));
    layout.Texts.push_back(
        {QRectF(x, plot.bottom() + tick + gap, w, fh), aTicks.Labels[i], TTextRole::TickLabel});
  }
  for (std::size_t i = 0; i < cTicks.Ticks.size(); ++i) {
    const double w = metrics.Width(cTicks.Labels[i]);
    layout.Texts.push_back(
        {QRectF(plot.left() - tick - gap - w, cPosition(cTicks.Ticks[i]) - fh / 2, w, fh),
         cTicks.Labels[i], TTextRole::TickLabel});
  }
  const QRectF bar = layout.ColourBar;
  for (std::size_t k = 0; k < layout.Bar.Ticks.size(); ++k) {
    const double y = bar.bottom() - layout.Bar.Ticks[k] * bar.height();
    const double w = metrics.Width(layout.Bar.Labels[k]);
    layout.Texts.push_back({QRectF(bar.right() + tick + gap, y - fh / 2, w, fh),
                            layout.Bar.Labels[k], TTextRole::TickLabel});
  }
  {
    const std::string xTitle = metrics.Elided(layout.X.Title, plot.width());
    const double w = metrics.Width(xTitle);
    layout.Texts.push_back({QRectF(plot.center().x() - w / 2, bottomRow - gap - fh, w, fh), xTitle,
                            TTextRole::AxisTitle});
    const std::string yTitle = metrics.Elided(layout.Y.Title, plot.height());
    const double h = metrics.Width(yTitle);
    layout.Texts.push_back(
        {QRectF(m, plot.center().y() - h / 2, fh, h), yTitle, TTextRole::AxisTitle, true});
    const std::string barTitle = metrics.Elided(layout.Bar.Title, plot.height());
    const double hb = metrics.Width(barTitle);
    layout.Texts.push_back({QRectF(W - m - fh, plot.center().y() - hb / 2, fh, hb), barTitle,
                            TTextRole::AxisTitle, true});
  }

  // The keys of the marks, then how dense the grid is, in the bottom row.
  double x = m;
  const double keyWidth = kKeyPoints * u * 0.8;
  const auto addKey = [&](TLegendKey::TExtra extra, const char* text) {
    const std::string fitted = metrics.Elided(text, W - m - x - keyWidth - gap);
    if (fitted.empty()) return;
    layout.Keys.push_back({QRectF(x, bottomRow, keyWidth, fh), -1, extra});
    x += keyWidth + gap;
    const double w = metrics.Width(fitted);
    layout.Texts.push_back({QRectF(x, bottomRow, w, fh), fitted, TTextRole::Legend});
    x += w + 3 * gap;
  };
  if (drawable && map.Optimum.Found()) {
    addKey(TLegendKey::TExtra::Optimum, R::kOptimum);
    if (map.Threshold > 0) addKey(TLegendKey::TExtra::Region, R::kRegion);
  }
  const std::string grid = FitMapGridText(map);
  const double gridWidth = metrics.Width(grid);
  if (W - m - gridWidth >= x) {
    layout.Texts.push_back(
        {QRectF(W - m - gridWidth, bottomRow, gridWidth, fh), grid, TTextRole::Note});
  }
  return layout;
}

namespace {

// The optimum: white with a black edge, readable on every colour.
void DrawOptimumMark(QPainter& painter, QPointF p, double u) {
  painter.setPen(QPen(QColor(0, 0, 0), 1.0 * u));
  painter.setBrush(Qt::white);
  painter.drawEllipse(p, 3.2 * u, 3.2 * u);
  painter.setBrush(Qt::NoBrush);
}

void DrawRegionKey(QPainter& painter, const QRectF& key, double u) {
  const double y = key.center().y();
  QPen edge(QColor(0, 0, 0), 3.0 * u);
  edge.setCapStyle(Qt::FlatCap);
  painter.setPen(edge);
  painter.drawLine(QPointF(key.left(), y), QPointF(key.right(), y));
  QPen core(QColor(255, 255, 255), 1.4 * u);
  core.setCapStyle(Qt::FlatCap);
  painter.setPen(core);
  painter.drawLine(QPointF(key.left() + 0.8 * u, y), QPointF(key.right() - 0.8 * u, y));
}

}  // namespace

void PaintReportFitMap(QPainter& painter, const TFitMapReportLayout& layout, const TFitMap& map) {
  RequireGuiApplication();
  const double u = layout.PixelsPerPoint;
  const TMetrics metrics = MetricsOf(layout.FontPixels);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.fillRect(QRectF(0, 0, layout.Width, layout.Height), Qt::white);
  const QRectF plot = layout.Plot;
  const bool drawable = map.Columns() > 0 && map.Rows() > 0;
  TMapRange a{}, c{};
  MapRanges(map, a, c);

  if (drawable) {
    // Pixel by pixel the nearest trial; the region's outline white inside a
    // black edge, so that it reads on every colour of the scale.
    const int width = std::max(1, static_cast<int>(std::lround(plot.width())));
    const int height = std::max(1, static_cast<int>(std::lround(plot.height())));
    QImage raster(width, height, QImage::Format_RGB32);
    std::vector<int> columnOf(width), rowOf(height);
    for (int x = 0; x < width; ++x) {
      const double value = a.Low + (x + 0.5) / width * (a.High - a.Low);
      columnOf[x] = NearestCell(map.Outer, value / 0.0005, map.Step);
    }
    for (int y = 0; y < height; ++y) {
      const double value = c.High - (y + 0.5) / height * (c.High - c.Low);
      rowOf[y] = NearestCell(map.Inner, value / 0.001 + 1000, map.Step);
    }
    std::vector<char> inside(static_cast<std::size_t>(width) * height, 0);
    for (int y = 0; y < height; ++y) {
      auto* line = reinterpret_cast<QRgb*>(raster.scanLine(y));
      for (int x = 0; x < width; ++x) {
        line[x] = UniformScaleColour(FitMapScalePosition(map, columnOf[x], rowOf[y])).rgb();
        inside[static_cast<std::size_t>(y) * width + x] = map.InRegion(columnOf[x], rowOf[y]);
      }
    }
    const int core = std::max(1, static_cast<int>(std::lround(0.7 * u)));
    const int edge = core + std::max(1, static_cast<int>(std::lround(0.7 * u)));
    std::vector<char> paint(inside.size(), 0);  // 1 black edge, 2 white core
    const auto at = [&](int x, int y) {
      return x >= 0 && y >= 0 && x < width && y < height &&
             inside[static_cast<std::size_t>(y) * width + x] != 0;
    };
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (!at(x, y) || (at(x - 1, y) && at(x + 1, y) && at(x, y - 1) && at(x, y + 1))) continue;
        for (int dy = -edge; dy <= edge; ++dy) {
          for (int dx = -edge; dx <= edge; ++dx) {
            const int px = x + dx, py = y + dy;
            if (px < 0 || py < 0 || px >= width || py >= height) continue;
            const int d2 = dx * dx + dy * dy;
            char& cell = paint[static_cast<std::size_t>(py) * width + px];
            if (d2 <= core * core) {
              cell = 2;
            } else if (d2 <= edge * edge && cell == 0) {
              cell = 1;
            }
          }
        }
      }
    }
    for (int y = 0; y < height; ++y) {
      auto* line = reinterpret_cast<QRgb*>(raster.scanLine(y));
      for (int x = 0; x < width; ++x) {
        const char cell = paint[static_cast<std::size_t>(y) * width + x];
        if (cell == 1) line[x] = qRgb(0, 0, 0);
        if (cell == 2) line[x] = qRgb(255, 255, 255);
      }
    }
    painter.drawImage(plot, raster);
    if (map.Optimum.Found()) {
      const double x =
          plot.left() + (TrialAOf(map.Optimum.outer) - a.Low) / (a.High - a.Low) * plot.width();
      const double y =
          plot.bottom() - (TrialCOf(map.Optimum.inner) - c.Low) / (c.High - c.Low) * plot.height();
      DrawOptimumMark(painter, QPointF(x, y), u);
    }
  }

  // Frame, ticks and the colour bar.
  const double tick = kTickPoints * u;
  painter.setPen(QPen(QColor(0, 0, 0), 0.8 * u));
  painter.drawRect(plot);
  for (const double t : layout.X.Ticks) {
    const double x = plot.left() + (t - a.Low) / (a.High - a.Low) * plot.width();
    painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + tick));
  }
  for (const double t : layout.Y.Ticks) {
    const double y = plot.bottom() - (t - c.Low) / (c.High - c.Low) * plot.height();
    painter.drawLine(QPointF(plot.left(), y), QPointF(plot.left() - tick, y));
  }
  const QRectF bar = layout.ColourBar;
  QLinearGradient gradient(bar.bottomLeft(), bar.topLeft());
  for (int k = 0; k <= 16; ++k) gradient.setColorAt(k / 16.0, UniformScaleColour(k / 16.0));
  painter.fillRect(bar, gradient);
  painter.setPen(QPen(QColor(0, 0, 0), 0.5 * u));
  painter.drawRect(bar);
  for (const double t : layout.Bar.Ticks) {
    const double y = bar.bottom() - t * bar.height();
    painter.drawLine(QPointF(bar.right(), y), QPointF(bar.right() + tick, y));
  }
  for (const TLegendKey& key : layout.Keys) {
    if (key.Extra == TLegendKey::TExtra::Optimum) DrawOptimumMark(painter, key.Key.center(), u);
    if (key.Extra == TLegendKey::TExtra::Region) DrawRegionKey(painter, key.Key, u);
  }
  for (const TPlacedText& text : layout.Texts) DrawText(painter, text, metrics);
  painter.restore();
}
