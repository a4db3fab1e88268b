#include "FitMapDraw.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "ReportGraph.h"
#include "TextFile.h"
#include "UGraphDraw.h"

namespace {

const QColor kSilver(192, 192, 192), kNavy(0, 0, 139), kWhite(255, 255, 255), kBlack(0, 0, 0);

// Texts by their top-left corner on an opaque background, as in the other graphs.
class TMapCanvas {
 public:
  TMapCanvas(QPainter& painter, bool smooth) : painter_(painter) {
    font_ = GraphFont();
    if (smooth) font_.setStyleStrategy(QFont::PreferAntialias);
    painter_.setFont(font_);
    painter_.setRenderHint(QPainter::Antialiasing, smooth);
    painter_.setRenderHint(QPainter::TextAntialiasing, smooth);
  }
  void Text(int x, int y, const QString& text, const QColor& colour, const QColor& background) {
    const QFontMetrics metrics(font_);
    painter_.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()), background);
    painter_.setPen(colour);
    painter_.drawText(QPoint(x, y + metrics.ascent()), text);
  }
  int Width(const QString& text) const { return QFontMetrics(font_).horizontalAdvance(text); }
  // Shortened with an ellipsis where it would pass column `end`, as the
  // titles of the other graphs are.
  QString Fitted(const std::string& text, int left, int end) const {
    return QFontMetrics(font_).elidedText(FileText(text), Qt::ElideRight, end - left);
  }
  int Height() const { return QFontMetrics(font_).height(); }
  void Line(int x1, int y1, int x2, int y2, const QColor& colour, int width = 1) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::FlatCap);
    painter_.setPen(pen);
    painter_.drawLine(x1, y1, x2, y2);
  }

 private:
  QPainter& painter_;
  QFont font_;
};

// One axis of the picture: its data range, and ticks at round values.
struct TAxis {
  double low, high;
  double Spacing() const {
    const double raw = (high - low) / 5;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0}) {
      if (factor * magnitude >= raw * 0.999) return factor * magnitude;
    }
    return 10 * magnitude;
  }
  int Decimals() const { return std::max(0, -static_cast<int>(std::floor(std::log10(Spacing())))); }
  std::vector<double> Ticks() const {
    const double spacing = Spacing();
    std::vector<double> ticks;
    for (double k = std::ceil(low / spacing - 1e-9); k * spacing <= high + spacing * 1e-9; k += 1) {
      ticks.push_back(k * spacing);
    }
    return ticks;
  }
};

// The cell of the map nearest to a trial position (in trial-index units).
int Nearest(const std::vector<int>& indices, double position, int step) {
  const long cell = std::lround((position - indices.front()) / step);
  return static_cast<int>(std::clamp<long>(cell, 0, static_cast<long>(indices.size()) - 1));
}

QString Label(double value, int decimals) {
  if (std::fabs(value) < 0.5 * std::pow(10.0, -decimals)) value = 0;  // no "-0.0"
  return QString::fromStdString(Trim(FormatFixed(value, 1, decimals)));
}

}  // namespace

QColor FitMapColour(double rSquare, bool colourGraph) {
  const int band =
      std::clamp(static_cast<int>(std::floor(rSquare * kRSquareBands)), 0, kRSquareBands - 1);
  const double t = (band + 0.5) / kRSquareBands;
  if (!colourGraph) {
    const int grey = static_cast<int>(std::lround(64 + t * (250 - 64)));
    return QColor(grey, grey, grey);
  }
  // From dark violet for poor fits through blue and green to yellow.
  static const int kRamp[5][3] = {
      {68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}};
  const double position = t * 4;
  const int k = std::min(3, static_cast<int>(position));
  const double f = position - k;
  int rgb[3];
  for (int c = 0; c < 3; ++c) {
    rgb[c] = static_cast<int>(std::lround(kRamp[k][c] + f * (kRamp[k + 1][c] - kRamp[k][c])));
  }
  return QColor(rgb[0], rgb[1], rgb[2]);
}

double FitMapRatioScaleEnd(const TFitMap& map) {
  return map.RatioScaleEnd();
}

double FitMapScalePosition(const TFitMap& map, int column, int row) {
  return map.ScalePositionOf(map.Sum(column, row));
}

long FitMapColourKey(double position) {
  // The classic band; the report scale's segment and colour. Within one
  // segment each of its channels moves one way only, so two positions with
  // the same colour there have it between them too.
  const long band =
      std::clamp(static_cast<int>(std::floor(position * kRSquareBands)), 0, kRSquareBands - 1);
  const double p = std::isfinite(position) ? std::clamp(position, 0.0, 1.0) * 8 : 0;
  const long segment = std::min(7, static_cast<int>(p));
  const long rgb = static_cast<long>(UniformScaleColour(position).rgb() & 0xFFFFFFu);
  return ((band * 8 + segment) << 24) | rgb;
}

std::string FitMapOptimumText(const TFitMap& map) {
  const auto text = [](double value, int decimals) { return Label(value, decimals).toStdString(); };
  return "optimum A = " + text(TrialAOf(map.Optimum.outer), 4) +
         "  C = " + text(TrialCOf(map.Optimum.inner), 3) +
         "   R square = " + text(map.RSquare(), 3);
}

std::string FitMapPenaltyText(int penalties) {
  return "The optimum misses " + std::to_string(penalties) +
         (penalties == 1 ? " record" : " records") + " by 1000 or more: no confidence region";
}

std::string FitMapGridText(const TFitMap& map) {
  if (map.Step <= 1) return map.Zoomed ? "zoomed, every trial" : "every trial";
  const int n = map.Step;
  const char* suffix = (n % 100 >= 11 && n % 100 <= 13) ? "th"
                       : n % 10 == 1                    ? "st"
                       : n % 10 == 2                    ? "nd"
                       : n % 10 == 3                    ? "rd"
                                                        : "th";
  return "every " + std::to_string(n) + suffix + " trial each way";
}

QColor FitMapMarkColour(bool colourGraph) {
  return colourGraph ? QColor(255, 0, 0) : kBlack;
}

QImage DrawFitMap(const TFitMap& map, const std::string& title1, const std::string& title2,
                  bool colourGraph) {
  return ClassicBitmap(
      [&](QPainter& painter) { PaintFitMap(painter, map, title1, title2, colourGraph, false); });
}

void PaintFitMap(QPainter& painter, const TFitMap& map, const std::string& title1,
                 const std::string& title2, bool colourGraph, bool smooth) {
  namespace T = FitMapTexts;
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
    throw std::logic_error(GraphDrawTexts::kNoApplication);
  }
  const QColor plot = colourGraph ? kNavy : kWhite;
  const QColor plain = colourGraph ? kWhite : kBlack;
  const QColor mark = FitMapMarkColour(colourGraph);
  const bool drawable = map.Columns() > 0 && map.Rows() > 0;

  // The data range of the picture: the search's whole range, or the cells
  // of the zoomed window.
  TAxis a{0.0, 1.0}, c{-1.0, 1.0};
  if (drawable && map.Zoomed) {
    a = {TrialAOf(map.Outer.front()) - 0.00025, TrialAOf(map.Outer.back()) + 0.00025};
    c = {TrialCOf(map.Inner.front()) - 0.0005, TrialCOf(map.Inner.back()) + 0.0005};
  }
  const auto pixelX = [&](double value) {
    return static_cast<int>(
        std::lround(kMapLeft + (value - a.low) / (a.high - a.low) * (kMapRight - kMapLeft)));
  };
  const auto pixelY = [&](double value) {
    return static_cast<int>(
        std::lround(kMapBottom - (value - c.low) / (c.high - c.low) * (kMapBottom - kMapTop)));
  };

  TMapCanvas canvas(painter, smooth);
  painter.fillRect(0, 0, kGraphWidth, kGraphHeight, kSilver);
  canvas.Text(105, 5, canvas.Fitted(title1, 105, kTitle1End), kBlack, kSilver);
  canvas.Text(20, 450, QString::fromUtf8(GraphDrawTexts::kCreditLine), kBlack, kSilver);
  painter.fillRect(QRect(20, 19, 605 - 20, 445 - 19), plot);
  canvas.Text(105, 20, canvas.Fitted(title2, 105, kTitle2End), plain, plot);

  // The map: every pixel takes the cell of the trial nearest to it.
  const int width = kMapRight - kMapLeft, height = kMapBottom - kMapTop;
  std::vector<char> inside(static_cast<std::size_t>(width) * height, 0);
  // The map's cells, pixel by pixel, drawn as one picture.
  QImage raster(width, height, QImage::Format_RGB32);
  if (drawable) {
    std::vector<int> columnOf(width), rowOf(height);
    for (int x = 0; x < width; ++x) {
      const double value = a.low + (x + 0.5) / width * (a.high - a.low);
      columnOf[x] = Nearest(map.Outer, value / 0.0005, map.Step);
    }
    for (int y = 0; y < height; ++y) {
      const double value = c.high - (y + 0.5) / height * (c.high - c.low);
      rowOf[y] = Nearest(map.Inner, value / 0.001 + 1000, map.Step);
    }
    for (int y = 0; y < height; ++y) {
      auto* line = reinterpret_cast<QRgb*>(raster.scanLine(y));
      for (int x = 0; x < width; ++x) {
        line[x] = FitMapColour(FitMapScalePosition(map, columnOf[x], rowOf[y]), colourGraph).rgb();
        inside[static_cast<std::size_t>(y) * width + x] = map.InRegion(columnOf[x], rowOf[y]);
      }
    }
    // The region's outline: its pixels that border on pixels outside it.
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (!inside[static_cast<std::size_t>(y) * width + x]) continue;
        const auto in = [&](int nx, int ny) {
          if (nx < 0 || ny < 0 || nx >= width || ny >= height) return false;
          return inside[static_cast<std::size_t>(ny) * width + nx] != 0;
        };
        if (!in(x - 1, y) || !in(x + 1, y) || !in(x, y - 1) || !in(x, y + 1)) {
          raster.setPixelColor(x, y, mark);
        }
      }
    }
    painter.drawImage(kMapLeft, kMapTop, raster);
  }

  // Axes, ticks and labels.
  canvas.Line(kMapLeft, kMapBottom, kMapLeft, kMapTop, plain);
  canvas.Line(kMapLeft, kMapBottom, kMapRight, kMapBottom, plain);
  for (double value : a.Ticks()) {
    const int x = pixelX(value);
    canvas.Line(x, kMapBottom, x, kMapBottom + 5, plain);
    const QString label = Label(value, a.Decimals());
    canvas.Text(x - canvas.Width(label) / 2, 400, label, plain, plot);
  }
  for (double value : c.Ticks()) {
    const int y = pixelY(value);
    canvas.Line(kMapLeft, y, kMapLeft - 4, y, plain);
    const QString label = Label(value, c.Decimals());
    canvas.Text(64 - canvas.Width(label), y - canvas.Height() / 2, label, plain, plot);
  }
  canvas.Text(420, 415, QString::fromUtf8(T::kXTitle), plain, plot);
  canvas.Text(24, 52, QString::fromUtf8(T::kYTitle), plain, plot);

  // The legend of the colour scale, best fits at the top.
  const double ratioEnd = drawable ? FitMapRatioScaleEnd(map) : 0;
  canvas.Text(kLegendLeft - 8, 50,
              QString::fromUtf8(ratioEnd > 0 ? T::kRelativeLegendTitle : T::kLegendTitle), plain,
              plot);
  const int bandHeight = height / kRSquareBands;
  for (int band = 0; band < kRSquareBands; ++band) {
    const int top = kMapBottom - (band + 1) * bandHeight;
    painter.fillRect(QRect(kLegendLeft, top, kLegendRight - kLegendLeft, bandHeight),
                     FitMapColour((band + 0.5) / kRSquareBands, colourGraph));
  }
  // On the relative scale the ticks are 1, the region's bound and its
  // multiples, with enough decimals to tell them apart.
  const double tick = (ratioEnd - 1) / 5;
  const int decimals =
      ratioEnd > 0 ? std::clamp(1 - static_cast<int>(std::floor(std::log10(tick))), 2, 6) : 1;
  for (int k = 0; k <= 5; ++k) {
    const int y = kMapBottom - k * 4 * bandHeight;
    canvas.Line(kLegendRight, y, kLegendRight + 4, y, plain);
    QString label = Label(k * 0.2, 1);
    if (ratioEnd > 0) {
      label = Label(1 + (5 - k) * tick, decimals);
      if (k == 0) label += QLatin1Char('+');
    }
    canvas.Text(kLegendRight + 7, y - canvas.Height() / 2, label,
                ratioEnd > 0 && k == 4 && map.Threshold > 0 ? mark : plain, plot);
  }

  // The optimum, and what the marks mean.
  if (drawable && map.Optimum.Found()) {
    const double bestA = TrialAOf(map.Optimum.outer), bestC = TrialCOf(map.Optimum.inner);
    const int x = pixelX(bestA), y = pixelY(bestC);
    canvas.Line(x - 6, y, x + 7, y, mark, 2);
    canvas.Line(x, y - 6, x, y + 7, mark, 2);
    const QString optimum = QString::fromStdString("+  " + FitMapOptimumText(map));
    canvas.Text(105, 36, optimum, mark == kBlack ? plain : mark, plot);
    if (map.Penalties > 0) {
      canvas.Text(105, 51, canvas.Fitted(FitMapPenaltyText(map.Penalties), 105, kLegendLeft - 12),
                  mark == kBlack ? plain : mark, plot);
    }
    if (map.Threshold > 0) canvas.Text(70, 428, QString::fromUtf8(T::kRegionLegend), mark, plot);
  } else {
    canvas.Text(105, 36, QString::fromUtf8(T::kNoOptimum), plain, plot);
  }
  canvas.Text(420, 428, QString::fromStdString(FitMapGridText(map)), plain, plot);
}
