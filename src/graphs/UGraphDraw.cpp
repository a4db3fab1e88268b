#include "UGraphDraw.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPen>
#include <QPolygon>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <utility>

#include "TextFile.h"
#include "UTevloraUtils.h"

QFont GraphFont() {
  QFont font(QStringLiteral("Arial"));
  // "Arial" size 10 at 96 dots per inch is 13 pixels high; a pixel size keeps
  // the picture the same whatever resolution the platform reports. Only the
  // colours of the graph appear in the picture, also in text.
  font.setPixelSize(13);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

QString FileText(const std::string& text) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString decoded = utf8(QByteArray::fromStdString(text));
  if (utf8.hasError()) return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  return decoded;
}

namespace {
// The bitmap says 96 dots per inch, as the pictures were designed.
constexpr int kDotsPerMeter96Dpi = 3780;

int PlotTextColumn(int x, int width);

// The drawing operations the graph is made of, with the rules of the canvas
// it was designed for: rectangles exclude their right and bottom edge, text
// is placed by its top-left corner on an opaque background in the current
// fill colour, and pen, fill and font colour are separate settings.
class TGraphCanvas {
 public:
  // `smooth`: antialiased lines and text, for a picture drawn larger than
  // its design size or on a vector device.
  TGraphCanvas(QPainter& painter, bool smooth) : painter_(painter) {
    font_ = GraphFont();
    if (smooth) font_.setStyleStrategy(QFont::PreferAntialias);
    painter_.setFont(font_);
    painter_.setRenderHint(QPainter::Antialiasing, smooth);
    painter_.setRenderHint(QPainter::TextAntialiasing, smooth);
  }

  void SetPen(const QColor& colour, int width = 1, Qt::PenStyle style = Qt::SolidLine) {
    penColour_ = colour;
    penWidth_ = width;
    penStyle_ = style;
  }
  void SetPenColour(const QColor& colour) { penColour_ = colour; }
  void SetPenWidth(int width) { penWidth_ = width; }
  void SetFill(const QColor& colour) { fill_ = colour; }
  void SetFontColour(const QColor& colour) { fontColour_ = colour; }

  // While on, everything drawn is clipped to the area of the data marks.
  void ClipToMarks(bool on) {
    if (on) {
      painter_.setClipRect(QRect(QPoint(kMarksLeft, kMarksTop), QPoint(kMarksRight, kMarksBottom)));
    } else {
      painter_.setClipping(false);
    }
  }

  void FillRect(int x1, int y1, int x2, int y2) {
    if (x2 <= x1 || y2 <= y1) return;
    painter_.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), fill_);
  }

  void Line(int x1, int y1, int x2, int y2) {
    painter_.setPen(Pen());
    painter_.drawLine(x1, y1, x2, y2);
  }

  void Polyline(const QPolygon& points) {
    painter_.setPen(Pen());
    painter_.drawPolyline(points);
  }

  // Outline in the pen, inside in the fill colour unless `filled` is false.
  void Ellipse(int x1, int y1, int x2, int y2, bool filled = true) {
    painter_.setPen(Pen());
    painter_.setBrush(filled ? QBrush(fill_) : QBrush(Qt::NoBrush));
    painter_.drawEllipse(QRect(x1, y1, x2 - x1, y2 - y1));
    painter_.setBrush(Qt::NoBrush);
  }

  void TextOut(int x, int y, const QString& text) {
    if (text.isEmpty()) return;
    const QFontMetrics metrics(font_);
    painter_.fillRect(QRect(x, y, metrics.horizontalAdvance(text), metrics.height()), fill_);
    TextOnly(x, y, text);
  }
  void TextOut(int x, int y, const std::string& text) { TextOut(x, y, FileText(text)); }
  void TextOut(int x, int y, const char* text) { TextOut(x, y, QString::fromUtf8(text)); }
  // The glyphs alone, without the background box.
  void TextOnly(int x, int y, const QString& text) {
    painter_.setPen(fontColour_);
    painter_.drawText(QPoint(x, y + QFontMetrics(font_).ascent()), text);
  }

  // Text on the plot area: shifted left where it would run into the frame
  // (or right where it would start in it), so that it is read whole.
  void PlotText(int x, int y, const QString& text) {
    TextOut(PlotTextColumn(x, TextWidth(text)), y, text);
  }
  void PlotText(int x, int y, const std::string& text) { PlotText(x, y, FileText(text)); }
  void PlotText(int x, int y, const char* text) { PlotText(x, y, QString::fromUtf8(text)); }

  int TextWidth(const QString& text) const { return QFontMetrics(font_).horizontalAdvance(text); }
  int TextHeight(const QString&) const { return QFontMetrics(font_).height(); }
  // The text as it fits in `width` pixels: shortened with an ellipsis when too long.
  QString Fitted(const std::string& text, int width) const {
    return QFontMetrics(font_).elidedText(FileText(text), Qt::ElideRight, width);
  }

 private:
  QPen Pen() const {
    QPen pen(penColour_, penWidth_, penStyle_);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
  }

  QPainter& painter_;
  QFont font_;
  QColor penColour_ = Qt::black;
  int penWidth_ = 1;
  Qt::PenStyle penStyle_ = Qt::SolidLine;
  QColor fill_ = Qt::white;
  QColor fontColour_ = Qt::black;
};

// The column where a text of `width` pixels wanted at `x` lies whole on the
// plot area, at least kPlotTextMargin pixels from its edges.
int PlotTextColumn(int x, int width) {
  return std::max(std::min(x, kPlotRight - kPlotTextMargin - width), kPlotLeft + kPlotTextMargin);
}

// The open outline of a bar from x1 to x2 at row `top`: up, across, down.
void BarOutline(TGraphCanvas& canvas, int x1, int x2, int top) {
  canvas.Line(x1, 389, x1, top);
  canvas.Line(x1, top, x2, top);
  canvas.Line(x2, top, x2, 389);
}

// The step the drawing takes beyond the last record, from record b to record
// b + 1 (StepAfterLastFrom); with too few records for that, the last step
// there is (none for a single record). The horizontal axis reaches as far.
int StepAfterLast(const TGraphLayout& layout, int b, int n) {
  if (b >= 0) return layout.PixX[b + 1] - layout.PixX[b];
  if (n >= 2) return layout.PixX[n - 1] - layout.PixX[n - 2];
  return 0;
}

// A circle of kind 1 in the box x - 2 .. x + 2, y - 2 .. y + 2, filled with the
// plot colour except where it sits on an axis, which it would cut.
void ObservedCircle(TGraphCanvas& canvas, int x, int y) {
  const bool onVerticalAxis = x - 2 <= 70 && 70 <= x + 2 && y + 2 >= 70 && y - 2 <= 390;
  const bool onHorizontalAxis = y - 2 <= 390 && 390 <= y + 2 && x + 2 >= 70 && x - 2 <= 570;
  canvas.Ellipse(x - 2, y - 2, x + 2, y + 2, !onVerticalAxis && !onHorizontalAxis);
}

// RSquare: that of the data set drawn.
void DrawTitlesAndLegends(TGraphCanvas& canvas, const TGraphLayout& layout,
                          const TGraphColours& colours, int graphKind, double RSquare) {
  namespace T = GraphDrawTexts;
  const QString rSquare =
      QString::fromUtf8(T::kRSquare) + QString::fromStdString(ShortestText(RSquare));
  switch (graphKind) {
    case 1:
      canvas.PlotText(82, 60, layout.YTitle);
      if (RSquare > 0.5) canvas.PlotText(445, 60, rSquare);
      canvas.SetFontColour(colours.Observed);
      canvas.PlotText(95, 75, layout.Legend1);
      canvas.SetFontColour(colours.Plain);
      canvas.PlotText(95, 90, layout.Legend2);
      break;
    case 2:
      canvas.PlotText(80, 50, layout.YTitle);
      break;
    case 3:
    case 4:
      canvas.SetFontColour(colours.RainLegend);
      canvas.PlotText(85, 60, layout.Legend1);
      canvas.SetFontColour(colours.RechargeLast);
      canvas.PlotText(86, 75, layout.Legend2);
      canvas.SetFontColour(colours.Plain);
      break;
    case 5:
      canvas.PlotText(86, 60, layout.YTitle);
      break;
    case 7:
      canvas.PlotText(82, 60, layout.YTitle);
      canvas.PlotText(95, 75, layout.Legend1);
      if (RSquare > 0.5) canvas.PlotText(445, 60, rSquare);
      break;
    case 8:
      canvas.PlotText(82, 60, layout.YTitle);
      break;
    case 9:
      canvas.SetFontColour(colours.Plain);
      canvas.PlotText(82, 40, layout.Legend1);
      canvas.SetFontColour(colours.Highlight);
      canvas.PlotText(82, 55, layout.Legend2);
      canvas.SetFontColour(colours.Plain);
      break;
    default:
      break;
  }
}

void DrawTicks(TGraphCanvas& canvas, const TGraphLayout& layout) {
  for (int t = 0; t <= layout.YIntervals; ++t) {
    const double part = static_cast<double>(t) / layout.YIntervals;
    const int y = RoundToEven(part * layout.YAxisPixels + 70);
    canvas.Line(70, y, 66, y);
    const double value = layout.YAxisTop - part * (static_cast<double>(layout.YAxisTop) -
                                                   static_cast<double>(layout.YAxisBottom));
    const QString label =
        QString::fromStdString(FormatFixed(value, layout.YDecimals + 2, layout.YDecimals));
    canvas.PlotText(64 - canvas.TextWidth(label), y - RoundToEven(canvas.TextHeight(label) * 0.5),
                    label);
  }
  for (int t = 0; t <= layout.XIntervals; ++t) {
    const double part = static_cast<double>(t) / layout.XIntervals;
    const int x = RoundToEven(part * layout.XAxisPixels + 70);
    canvas.Line(x, 390, x, 395);
    const double value =
        layout.XAxisLeft +
        t * (static_cast<double>(layout.XAxisRight) - static_cast<double>(layout.XAxisLeft)) /
            layout.XIntervals;
    const QString label =
        QString::fromStdString(FormatFixed(value, layout.XDecimals + 2, layout.XDecimals));
    canvas.PlotText(RoundToEven(part * layout.XAxisPixels + 62), 400, label);
  }
}

// Kinds 3 and 4: recharge as filled bars from each record to the next; the
// last bar reaches one step beyond the last record. A bar too narrow to show
// between the rain outlines (of the pen width) is drawn after them, over
// them (`narrow`); the others before them, so that the outlines frame them.
void DrawRechargeBars(TGraphCanvas& canvas, const TGraphLayout& layout,
                      const TGraphColours& colours, int n, int rainPen, bool narrow) {
  const auto bar = [&](int x1, int x2, int top) {
    const bool isNarrow = x2 - x1 < rainPen + 2;
    if (isNarrow != narrow || top >= 385) return;
    // Records closer than a pixel still show their recharge.
    canvas.FillRect(x1, top, narrow ? std::max(x2, x1 + 1) : x2, 389);
  };
  const int j = n - 2;
  const int k = n - 1;
  canvas.SetFill(colours.Recharge);
  for (int i = 0; i <= n - 3; ++i) bar(layout.PixX[i], layout.PixX[i + 1], layout.PixB[i]);
  canvas.SetFill(colours.RechargeLast);
  if (n >= 2) bar(layout.PixX[j], layout.PixX[k], layout.PixB[j]);
  if (n >= 1) {
    bar(layout.PixX[k], layout.PixX[k] + StepAfterLast(layout, StepAfterLastFrom(3, n), n),
        layout.PixB[k]);
  }
}

// The points of one series, to be drawn as one line.
QPolygon Series(const std::vector<int>& x, const std::vector<int>& y, int n) {
  QPolygon points;
  points.reserve(n);
  for (int i = 0; i < n; ++i) points << QPoint(x[i], y[i]);
  return points;
}

void DrawRecords(TGraphCanvas& canvas, const TGraphLayout& layout, const TGraphColours& colours,
                 int graphKind, int n) {
  const QString bullet = QString::fromUtf8(GraphDrawTexts::kBullet);
  for (int i = 0; i <= n - 3; ++i) {
    switch (graphKind) {
      case 1:
        // The value of record i is drawn at the horizontal position of record i + 1.
        canvas.SetPenColour(colours.Observed);
        ObservedCircle(canvas, layout.PixX[i + 1], layout.PixD[i]);
        if (i == n - 3) ObservedCircle(canvas, layout.PixX[i + 2], layout.PixD[i + 1]);
        canvas.SetPenColour(colours.Plain);
        canvas.Line(layout.PixX[i + 1], layout.PixC[i], layout.PixX[i + 2], layout.PixC[i + 1]);
        break;
      case 2:
        canvas.Line(layout.PixX[i], layout.PixC[i], layout.PixX[i + 1], layout.PixC[i + 1]);
        break;
      case 3:
        canvas.SetPenWidth(2);
        if (layout.PixA[i] < 385) {
          BarOutline(canvas, layout.PixX[i], layout.PixX[i + 1], layout.PixA[i]);
        }
        break;
      case 4:
        if (layout.PixC[i] < 385) {
          BarOutline(canvas, layout.PixX[i], layout.PixX[i + 1], layout.PixC[i]);
        }
        break;
      case 5:
        canvas.Line(layout.PixX[i], layout.PixF[i], layout.PixX[i + 1], layout.PixF[i + 1]);
        break;
      default:
        break;
    }
  }
  const int j = n - 2;
  const int k = n - 1;
  switch (graphKind) {
    case 5:
      // The line runs on to the last record.
      if (n >= 2) canvas.Line(layout.PixX[j], layout.PixF[j], layout.PixX[k], layout.PixF[k]);
      break;
    case 7:
      // A scatter of every record; a bullet does not erase what lies around it.
      canvas.SetFontColour(colours.Observed);
      for (int i = 0; i < n; ++i) canvas.TextOnly(layout.PixX[i], layout.PixC[i] - 5, bullet);
      canvas.SetFontColour(colours.Plain);
      break;
    case 9:
      // Each series as one line, so that the dots of the runoff run on from
      // record to record instead of starting afresh (which turns a long
      // series of short steps solid).
      if (n >= 2) {
        canvas.SetPen(colours.Plain, 1, Qt::SolidLine);
        canvas.Polyline(Series(layout.PixX, layout.PixB, n));
        canvas.SetPen(colours.Highlight, 1, Qt::DotLine);
        canvas.Polyline(Series(layout.PixX, layout.PixD, n));
      }
      break;
    default:
      break;
  }
}

// The steps of the last records, some of which reach one step beyond the
// last record.
void DrawLastRecords(TGraphCanvas& canvas, const TGraphLayout& layout, const TGraphColours& colours,
                     int graphKind, int n) {
  const int j = n - 2;
  const int k = n - 1;
  if (n < 1) return;
  switch (graphKind) {
    case 1: {
      const int end = layout.PixX[k] + StepAfterLast(layout, StepAfterLastFrom(graphKind, n), n);
      canvas.SetPenColour(colours.Observed);
      // From three records on the per-record steps draw this circle.
      if (n == 2) ObservedCircle(canvas, layout.PixX[k], layout.PixD[j]);
      canvas.SetPenColour(colours.Plain);
      // On from where the line of the records before ended.
      if (n >= 2) canvas.Line(layout.PixX[k], layout.PixC[j], end, layout.PixC[k]);
      // An observed value, so in the colour of the observed circles.
      canvas.SetPenColour(colours.Observed);
      ObservedCircle(canvas, end, layout.PixD[k]);
      canvas.SetPenColour(colours.Plain);
      break;
    }
    case 2:
      if (n >= 2) {
        canvas.Line(layout.PixX[j], layout.PixC[j],
                    layout.PixX[k] + StepAfterLast(layout, StepAfterLastFrom(graphKind, n), n),
                    layout.PixC[k]);
      }
      break;
    case 3:
    case 4: {
      const std::vector<int>& rain = graphKind == 3 ? layout.PixA : layout.PixC;
      canvas.SetPenColour(colours.Plain);
      if (graphKind == 3) canvas.SetPenWidth(2);
      if (n >= 2) BarOutline(canvas, layout.PixX[j], layout.PixX[k], rain[j]);
      BarOutline(canvas, layout.PixX[k],
                 layout.PixX[k] + StepAfterLast(layout, StepAfterLastFrom(graphKind, n), n),
                 rain[k]);
      break;
    }
    default:
      break;
  }
}

// Kind 7: the line Obs = Calc from the smaller minimum to layout.YMax / 1.2 (in data
// units), each coordinate scaled by its own axis factor.
void DrawObsCalcLine(TGraphCanvas& canvas, const TGraphLayout& layout,
                     const TGraphColours& colours) {
  const double upper = layout.YMax / (1.2 * layout.YScaleFactor);
  canvas.SetPen(colours.Plain);
  canvas.Line(MapX(layout, layout.XMin), MapY(layout, layout.YMin),
              MapX(layout, upper * layout.XScaleFactor), MapY(layout, upper * layout.YScaleFactor));
}

// Kind 8: the points of every record.
void DrawTrendPoints(TGraphCanvas& canvas, const TGraphLayout& layout, const TGraphColours& colours,
                     int n) {
  const QString bullet = QString::fromUtf8(GraphDrawTexts::kBullet);
  canvas.SetFontColour(colours.Plain);
  for (int i = 0; i < n; ++i) canvas.TextOnly(layout.PixA[i], layout.PixD[i] - 5, bullet);
}

// Kind 8: the legends, in a box of their lines one under the other. Without
// a regression (all recharge values equal) there is neither a trend line nor
// a curve, and no legend for them.
std::vector<std::string> TrendLegends(const TGraphLayout& layout) {
  std::vector<std::string> legends = {layout.Legend1};
  if (layout.TrendComputed) legends.push_back(layout.Legend2);
  if (layout.TrendComputed && layout.QuadTrendValid) legends.push_back(layout.Legend3);
  return legends;
}

constexpr int kLegendLineStep = 15;

// Everything kind 8 draws on the plot: its points (the box of the bullet's
// glyph) and the pixels along its trend line and curve.
struct TTrendMarks {
  std::vector<QRect> Boxes;
  std::vector<QPoint> Pixels;

  // The pixels of the line from `from` to `to` where it is drawn: on the
  // area of the marks (the rest is clipped away).
  void AddLine(QPoint from, QPoint to) {
    const double x0 = from.x(), y0 = from.y();
    const double dx = to.x() - x0, dy = to.y() - y0;
    double t0 = 0, t1 = 1;
    const auto keep = [&](double d, double low, double high, double start) {
      if (d == 0) return low <= start && start <= high;
      double ta = (low - start) / d, tb = (high - start) / d;
      if (ta > tb) std::swap(ta, tb);
      t0 = std::max(t0, ta);
      t1 = std::min(t1, tb);
      return t0 <= t1;
    };
    if (!keep(dx, kMarksLeft, kMarksRight, x0) || !keep(dy, kMarksTop, kMarksBottom, y0)) return;
    const int steps = static_cast<int>(std::ceil(std::max(std::abs(dx), std::abs(dy)) * (t1 - t0)));
    for (int s = 0; s <= steps; ++s) {
      const double t = steps == 0 ? t0 : t0 + (t1 - t0) * s / steps;
      Pixels.emplace_back(RoundToEven(x0 + t * dx), RoundToEven(y0 + t * dy));
    }
  }

  bool Within(const QRect& area) const {
    for (const QRect& box : Boxes) {
      if (box.intersects(area)) return true;
    }
    for (const QPoint& pixel : Pixels) {
      if (area.contains(pixel)) return true;
    }
    return false;
  }
};

QRect BulletBox(int x, int y) {
  const QFontMetrics metrics(GraphFont());
  return metrics.tightBoundingRect(QString::fromUtf8(GraphDrawTexts::kBullet))
      .translated(x, y + metrics.ascent());
}

QPoint TrendLinePixel(const TGraphLayout& layout, int end) {
  return {MapX(layout, layout.TrendLine[end].X * layout.XScaleFactor),
          MapY(layout, layout.TrendLine[end].Y * layout.YScaleFactor)};
}

TTrendMarks TrendMarks(const TGraphLayout& layout, int n) {
  TTrendMarks marks;
  for (int i = 0; i < n; ++i) marks.Boxes.push_back(BulletBox(layout.PixA[i], layout.PixD[i] - 5));
  if (layout.TrendComputed) {
    marks.AddLine(TrendLinePixel(layout, 0), TrendLinePixel(layout, 1));
    if (layout.QuadTrendValid) {
      for (int i = 0; i + 1 < kQuadPoints; ++i) {
        marks.AddLine({layout.QuadPixX[i], layout.QuadPixY[i]},
                      {layout.QuadPixX[i + 1], layout.QuadPixY[i + 1]});
      }
    }
  }
  return marks;
}

// Kind 8: the legends where they cover no mark: at their classic place under
// the vertical title, else in the first free corner of the plot, else in one
// row above the plot, between the second title and the vertical title.
void DrawTrendLegends(TGraphCanvas& canvas, const TGraphLayout& layout,
                      const TGraphColours& colours, int n) {
  const std::vector<std::string> legends = TrendLegends(layout);
  const int count = static_cast<int>(legends.size());
  int width = 0;
  for (const std::string& legend : legends) {
    width = std::max(width, canvas.TextWidth(FileText(legend)));
  }
  const int height = (count - 1) * kLegendLineStep + canvas.TextHeight({});
  const TTrendMarks marks = TrendMarks(layout, n);
  const int right = 566 - width;
  const int bottom = kMarksBottom - 4 - height;
  const QPoint corners[] = {{95, 75}, {right, 75}, {right, bottom}, {95, bottom}};
  const auto colourOf = [&](int line) { return line == 2 ? colours.Highlight : colours.Plain; };
  for (const QPoint& corner : corners) {
    if (marks.Within(QRect(corner, QSize(width, height)))) continue;
    for (int line = 0; line < count; ++line) {
      canvas.SetFontColour(colourOf(line));
      canvas.TextOut(corner.x(), corner.y() + line * kLegendLineStep, legends[line]);
    }
    canvas.SetFontColour(colours.Plain);
    return;
  }
  constexpr int kGap = 16;
  int rowWidth = (count - 1) * kGap;
  for (const std::string& legend : legends) rowWidth += canvas.TextWidth(FileText(legend));
  int x = PlotTextColumn(kPlotRight, rowWidth);
  for (int line = 0; line < count; ++line) {
    canvas.SetFontColour(colourOf(line));
    canvas.TextOut(x, 40, legends[line]);
    x += canvas.TextWidth(FileText(legends[line])) + kGap;
  }
  canvas.SetFontColour(colours.Plain);
}

// Kind 8: the regression line and the quadratic; in black and white the
// quadratic is dotted so that it is not taken for the line.
void DrawTrendLines(TGraphCanvas& canvas, const TGraphLayout& layout,
                    const TGraphColours& colours) {
  if (!layout.TrendComputed) return;
  canvas.SetPen(colours.Plain);
  const QPoint from = TrendLinePixel(layout, 0);
  const QPoint to = TrendLinePixel(layout, 1);
  canvas.Line(from.x(), from.y(), to.x(), to.y());
  if (layout.QuadTrendValid) {
    canvas.SetPen(colours.Highlight, 1, layout.ColourGraph ? Qt::SolidLine : Qt::DotLine);
    QPolygon curve;
    for (int i = 0; i < kQuadPoints; ++i) curve << QPoint(layout.QuadPixX[i], layout.QuadPixY[i]);
    canvas.Polyline(curve);
  }
}

void RequireGuiApplication() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
    throw std::logic_error(GraphDrawTexts::kNoApplication);
  }
}
}  // namespace

TGraphColours TGraphColours::For(bool colourGraph) {
  const QColor silver(192, 192, 192);
  const QColor black(0, 0, 0);
  const QColor white(255, 255, 255);
  if (colourGraph) {
    const QColor skyBlue(166, 202, 240);
    return {silver,  QColor(0, 0, 139),  white, black, QColor(0, 255, 255), white, skyBlue,
            skyBlue, QColor(255, 255, 0)};
  }
  return {silver, white, black, black, black, QColor(128, 128, 128), silver, black, black};
}

QImage DrawGraph(const TDMTevlora& data, int graphKind, bool colourGraph) {
  RequireGuiApplication();
  // Read before anything is drawn: a missing trend file leaves no half graph.
  const TTrendFileValues trend = graphKind == 8 ? ReadTrendFile(data.FileName) : TTrendFileValues{};
  return DrawGraph(data, LayoutGraph(data, graphKind, colourGraph, trend));
}

QImage ClassicBitmap(const std::function<void(QPainter&)>& paint) {
  RequireGuiApplication();
  QImage image(kGraphWidth, kGraphHeight, QImage::Format_RGB32);
  image.setDotsPerMeterX(kDotsPerMeter96Dpi);
  image.setDotsPerMeterY(kDotsPerMeter96Dpi);
  QPainter painter(&image);
  paint(painter);
  return image;
}

QImage DrawGraph(const TDMTevlora& data, const TGraphLayout& layout) {
  return ClassicBitmap([&](QPainter& painter) { PaintGraph(painter, data, layout, false); });
}

void PaintGraph(QPainter& painter, const TDMTevlora& data, const TGraphLayout& layout,
                bool smooth) {
  RequireGuiApplication();
  const int graphKind = layout.GraphKind;
  const int n = static_cast<int>(layout.PixX.size());
  const TGraphColours colours = TGraphColours::For(layout.ColourGraph);
  {
    TGraphCanvas canvas(painter, smooth);
    // Frame.
    canvas.SetFontColour(colours.FrameText);
    canvas.SetFill(colours.Frame);
    canvas.FillRect(0, 0, kGraphWidth, kGraphHeight);
    canvas.TextOut(105, 5, canvas.Fitted(data.Title1, kTitle1End - 105));
    canvas.TextOut(20, 450, GraphDrawTexts::kCreditLine);
    // Plot area.
    canvas.SetFill(colours.Plot);
    canvas.FillRect(20, 19, 605, 445);
    canvas.SetPen(colours.Plain);
    canvas.SetFontColour(colours.Plain);
    canvas.TextOut(105, 20, canvas.Fitted(data.Title2, kTitle2End - 105));
    // Axes and their titles.
    canvas.Line(70, 390, 70, 70);
    canvas.Line(70, 390, 570, 390);
    canvas.PlotText(graphKind == 9 ? 510 : 470, 415, layout.XTitle);
    DrawTitlesAndLegends(canvas, layout, colours, graphKind, data.Values.RSquare);
    DrawTicks(canvas, layout);
    // The marks of the data, clipped; the legends of kind 8 where they cover none.
    if (graphKind == 8) DrawTrendLegends(canvas, layout, colours, n);
    canvas.ClipToMarks(true);
    if (graphKind == 8) DrawTrendPoints(canvas, layout, colours, n);
    const int rainPen = graphKind == 3 ? 2 : 1;
    if (graphKind == 3 || graphKind == 4) {
      DrawRechargeBars(canvas, layout, colours, n, rainPen, false);
    }
    DrawRecords(canvas, layout, colours, graphKind, n);
    DrawLastRecords(canvas, layout, colours, graphKind, n);
    if (graphKind == 3 || graphKind == 4) {
      DrawRechargeBars(canvas, layout, colours, n, rainPen, true);
    }
    if (graphKind == 7) DrawObsCalcLine(canvas, layout, colours);
    if (graphKind == 8) DrawTrendLines(canvas, layout, colours);
    canvas.ClipToMarks(false);
  }
}

bool SaveGraphBitmap(const QImage& image, const std::string& fileName, const char* format) {
  // Encoded in memory and written as every file of the program is: the old
  // picture is replaced only by a complete new one, under exactly the bytes
  // of the name (a name that is not UTF-8 has no faithful QString).
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, format)) return false;
  return SaveFileSafely(fileName, bytes.toStdString());
}
