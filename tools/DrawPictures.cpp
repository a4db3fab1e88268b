// Draws the three pictures of TevloraT and saves them as JPEG files:
//   Reservoir.jpg   527 x 435  the two reservoirs (Figure tab)
//   InputImage.jpg  137 x 168  the small picture of the Input tab
//   Drainage.jpg    400 x 187  the drained soil (drainage calculator)
// Usage: tevlora-draw-pictures DIRECTORY   (normally resources/)
// Run it with QT_QPA_PLATFORM=offscreen when no display is at hand.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>

namespace {

const QString kFontFamily = QStringLiteral("Liberation Sans");
const QColor kWall(60, 60, 60);
const QColor kWater(168, 208, 240);
const QColor kRain(30, 90, 200);
const QColor kEscape(200, 60, 40);
const QColor kRecharge(20, 140, 60);
const QColor kRunoff(20, 50, 160);
const QColor kText(20, 20, 20);

QFont Font(double pixelSize, bool bold = false) {
  QFont font(kFontFamily);
  font.setPixelSize(static_cast<int>(std::lround(pixelSize)));
  font.setBold(bold);
  return font;
}

void Arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour, double width = 1.6,
           double head = 6) {
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(from, to);
  const double angle = std::atan2(to.y() - from.y(), to.x() - from.x());
  const QPointF left(to.x() - head * std::cos(angle - 0.45),
                     to.y() - head * std::sin(angle - 0.45));
  const QPointF right(to.x() - head * std::cos(angle + 0.45),
                      to.y() - head * std::sin(angle + 0.45));
  p.setBrush(colour);
  p.setPen(Qt::NoPen);
  p.drawPolygon(QPolygonF({to, left, right}));
  p.setBrush(Qt::NoBrush);
}

// A dimension line with arrow heads at both ends.
void Dimension(QPainter& p, QPointF a, QPointF b, const QColor& colour = kText) {
  Arrow(p, (a + b) / 2, a, colour, 1.0, 5);
  Arrow(p, (a + b) / 2, b, colour, 1.0, 5);
}

void Text(QPainter& p, QPointF topLeft, const QString& text, const QFont& font,
          const QColor& colour = kText) {
  p.setFont(font);
  p.setPen(colour);
  const QFontMetricsF metrics(font);
  p.drawText(QPointF(topLeft.x(), topLeft.y() + metrics.ascent()), text);
}

void CentredText(QPainter& p, double centreX, double top, const QString& text, const QFont& font,
                 const QColor& colour = kText) {
  const QFontMetricsF metrics(font);
  Text(p, QPointF(centreX - metrics.horizontalAdvance(text) / 2, top), text, font, colour);
}

bool Save(const QImage& image, const QString& path) {
  QImageWriter writer(path, "jpeg");
  writer.setQuality(92);
  if (!writer.write(image)) {
    std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
    return false;
  }
  std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
  return true;
}

QImage NewImage(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  return image;
}

// ---------------------------------------------------------------------------
// The conceptual model: the pre-reservoir on the left, the main reservoir
// with its two parts on the right.

QImage DrawReservoirs() {
  QImage image = NewImage(527, 435);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  CentredText(p, 120, 8, "FIRST (PRE) RESERVOIR", Font(12, true));
  CentredText(p, 380, 8, "SECOND (MAIN) RESERVOIR", Font(12, true));
  CentredText(p, 380, 24, "non-linear, with multiple outlets", Font(11), kText);

  // First reservoir: an open vessel.
  const double left = 55, right = 185, top = 140, bottom = 320;
  const double level = 230;  // actual storage
  p.fillRect(QRectF(left, level, right - left, bottom - level), kWater);
  p.setPen(QPen(kWall, 4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  p.drawPolyline(QPolygonF({{left, top}, {left, bottom}, {right, bottom}, {right, top}}));
  // Overflow lip on the right rim.
  p.drawLine(QPointF(right, top), QPointF(right + 22, top));
  p.setPen(QPen(kRain, 1.2, Qt::DashLine));
  p.drawLine(QPointF(left + 2, level), QPointF(right - 2, level));

  // Rain falling in.
  for (int i = 0; i < 6; ++i) {
    const double x = left + 16 + i * 14;
    Arrow(p, QPointF(x + 6, 62 + (i % 2) * 8), QPointF(x, 128), kRain, 1.4, 5);
  }
  Text(p, QPointF(left + 10, 40), "Rain", Font(13, true), kRain);

  // Escape leaving at the top.
  Arrow(p, QPointF(right - 22, level - 2), QPointF(right - 22, 70), kEscape, 2.0, 7);
  Text(p, QPointF(right - 16, 52), "Escape", Font(12, true), kEscape);
  Text(p, QPointF(right - 16, 67), "(evaporation,", Font(10), kEscape);
  Text(p, QPointF(right - 16, 79), "drainage)", Font(10), kEscape);

  // Storages and deficit.
  Dimension(p, QPointF(left - 22, top), QPointF(left - 22, bottom));
  p.save();
  p.translate(left - 42, (top + bottom) / 2 + 38);
  p.rotate(-90);
  Text(p, QPointF(0, 0), "Max. storage", Font(11, true));
  p.restore();
  Dimension(p, QPointF(left + 20, top + 3), QPointF(left + 20, level - 2));
  Text(p, QPointF(left + 27, (top + level) / 2 - 14), "Storage", Font(11));
  Text(p, QPointF(left + 27, (top + level) / 2), "deficit", Font(11));
  Dimension(p, QPointF(left + 20, level + 2), QPointF(left + 20, bottom - 3));
  Text(p, QPointF(left + 27, (level + bottom) / 2 - 14), "Actual", Font(11));
  Text(p, QPointF(left + 27, (level + bottom) / 2), "storage", Font(11));

  // Overflow = recharge, to the second reservoir.
  const double left2 = 285, right2 = 445, top2 = 95, bottom2 = 355, split = 220;
  QPainterPath overflow;
  overflow.moveTo(right + 22, top);
  overflow.cubicTo(right + 60, top - 10, left2 + 10, 70, left2 + 30, top2 + 20);
  p.setPen(QPen(kRecharge, 2.2));
  p.drawPath(overflow);
  Arrow(p, QPointF(left2 + 27, top2 + 8), QPointF(left2 + 30, top2 + 24), kRecharge, 2.2, 8);
  Text(p, QPointF(right + 14, top + 12), "Overflow =", Font(12, true), kRecharge);
  Text(p, QPointF(right + 14, top + 27), "recharge", Font(12, true), kRecharge);

  // Second reservoir with a top part and a bottom part.
  const double level2 = 150;
  p.fillRect(QRectF(left2, level2, right2 - left2, bottom2 - level2), kWater);
  p.setPen(QPen(kWall, 4, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  p.drawPolyline(QPolygonF({{left2, top2}, {left2, bottom2}, {right2, bottom2}, {right2, top2}}));
  p.setPen(QPen(kWall, 1.4, Qt::DashLine));
  p.drawLine(QPointF(left2 + 2, split), QPointF(right2 - 2, split));
  p.setPen(QPen(kRain, 1.2, Qt::DashLine));
  p.drawLine(QPointF(left2 + 2, level2), QPointF(right2 - 2, level2));

  Text(p, QPointF(left2 + 60, 160), "Top part", Font(12, true));
  Text(p, QPointF(left2 + 60, 176), "alpha 2", Font(12), kRunoff);
  Text(p, QPointF(left2 + 60, 262), "Bottom part", Font(12, true));
  Text(p, QPointF(left2 + 60, 278), "alpha 1", Font(12), kRunoff);

  // Outlets of each part.
  auto outlet = [&](double y) {
    p.setPen(QPen(kWall, 3));
    p.drawLine(QPointF(right2, y), QPointF(right2 + 14, y));
    Arrow(p, QPointF(right2 + 14, y), QPointF(right2 + 36, y + 6), kRunoff, 2.0, 6);
  };
  outlet(165);
  outlet(195);
  outlet(250);
  outlet(290);
  outlet(335);
  Text(p, QPointF(right2 + 38, 168), "Runoff", Font(11, true), kRunoff);
  Text(p, QPointF(right2 + 42, 182), "top", Font(11), kRunoff);
  Text(p, QPointF(right2 + 38, 290), "Runoff", Font(11, true), kRunoff);
  Text(p, QPointF(right2 + 42, 304), "bottom", Font(11), kRunoff);

  // Storage head.
  Dimension(p, QPointF(left2 + 25, level2 + 2), QPointF(left2 + 25, bottom2 - 3));
  p.save();
  p.translate(left2 + 32, (level2 + bottom2) / 2 + 40);
  p.rotate(-90);
  Text(p, QPointF(0, 0), "Storage head", Font(11, true));
  p.restore();

  CentredText(p, 120, 335, "Dead storage", Font(11));
  CentredText(p, 365, 367, "Discharge = sum of the outlets", Font(11));

  p.setPen(QPen(kWall, 1));
  p.drawLine(QPointF(20, 395), QPointF(507, 395));
  CentredText(p, 263.5, 403, "Diagram of conceptual model for rainfall - runoff relations",
              Font(14, true));
  return image;
}

// ---------------------------------------------------------------------------
// The small picture of the Input tab: the rain runs off, the soil stays.

void StickFigure(QPainter& p, QPointF head, double size, const QColor& colour, bool running) {
  p.setPen(QPen(colour, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  const double r = size * 0.16;
  p.drawEllipse(head, r, r);
  const QPointF neck(head.x() + (running ? 3 : 0), head.y() + r);
  const QPointF hip(head.x() + (running ? -3 : 0), head.y() + size * 0.62);
  p.drawLine(neck, hip);
  const QPointF shoulder = neck + (hip - neck) * 0.25;
  if (running) {
    p.drawPolyline(QPolygonF({shoulder + QPointF(-size * 0.28, size * 0.05), shoulder,
                              shoulder + QPointF(size * 0.22, -size * 0.12),
                              shoulder + QPointF(size * 0.34, -size * 0.02)}));
    p.drawPolyline(QPolygonF(
        {hip + QPointF(-size * 0.30, size * 0.20), hip + QPointF(-size * 0.18, size * 0.38)}));
    p.drawLine(hip, hip + QPointF(-size * 0.30, size * 0.20));
    p.drawPolyline(QPolygonF(
        {hip, hip + QPointF(size * 0.22, size * 0.16), hip + QPointF(size * 0.30, size * 0.38)}));
  } else {
    // Arms spread wide: holding on.
    p.drawLine(shoulder, shoulder + QPointF(-size * 0.36, -size * 0.10));
    p.drawLine(shoulder, shoulder + QPointF(size * 0.36, -size * 0.10));
    p.drawLine(hip, hip + QPointF(-size * 0.18, size * 0.38));
    p.drawLine(hip, hip + QPointF(size * 0.18, size * 0.38));
  }
}

QImage DrawInputPicture() {
  QImage image = NewImage(137, 168);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QColor blue(30, 80, 220);
  const QColor red(210, 30, 30);

  CentredText(p, 68.5, 3, "Rain runs off", Font(13, true), blue);
  // Rain drops behind the running figure.
  p.setPen(QPen(blue, 1.6, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 6; ++i) {
    const double x = 14 + i * 9, y = 26 + (i % 3) * 9;
    p.drawLine(QPointF(x, y), QPointF(x - 2, y + 6));
  }
  StickFigure(p, QPointF(88, 34), 48, blue, true);
  for (int i = 0; i < 3; ++i) {  // speed lines
    p.setPen(QPen(blue, 1.2));
    p.drawLine(QPointF(58 - i * 4, 50 + i * 8), QPointF(70 - i * 4, 50 + i * 8));
  }

  // Ground line between the two.
  p.setPen(QPen(QColor(120, 90, 50), 2));
  p.drawLine(QPointF(6, 86), QPointF(131, 86));

  StickFigure(p, QPointF(68.5, 100), 48, red, false);
  CentredText(p, 68.5, 148, "We stay together", Font(13, true), red);
  return image;
}

// ---------------------------------------------------------------------------
// The geometry of a drained field: a pipe drain and a ditch a spacing L apart.

QImage DrawDrainage() {
  QImage image = NewImage(400, 187);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  const QColor soilAbove(242, 228, 200);
  const QColor soilBelow(225, 208, 175);
  const QColor surfaceColour(60, 130, 40);

  const double surface = 36, drainLevel = 86, base = 150;
  const double pipeX = 38, ditchX = 262, middle = (pipeX + ditchX) / 2;
  const double fieldRight = 296;

  CentredText(p, 200, 2, "Geometry subsurface drainage system by pipes or ditches", Font(12, true));

  // Soil above and below drain level, with the ditch cut out.
  p.fillRect(QRectF(6, surface, fieldRight - 6, drainLevel - surface), soilAbove);
  p.fillRect(QRectF(6, drainLevel, fieldRight - 6, base - drainLevel), soilBelow);
  QPolygonF ditch({{ditchX - 18, surface},
                   {ditchX - 7, drainLevel + 6},
                   {ditchX + 7, drainLevel + 6},
                   {ditchX + 18, surface}});
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPolygon(ditch);
  p.setBrush(kWater);
  p.drawPolygon(QPolygonF({{ditchX - 9.6, drainLevel - 6},
                           {ditchX - 7, drainLevel + 6},
                           {ditchX + 7, drainLevel + 6},
                           {ditchX + 9.6, drainLevel - 6}}));
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(110, 80, 40), 1.4));
  p.drawPolyline(ditch);

  // Soil surface with grass.
  p.setPen(QPen(surfaceColour, 2));
  p.drawLine(QPointF(6, surface), QPointF(ditchX - 18, surface));
  p.drawLine(QPointF(ditchX + 18, surface), QPointF(fieldRight, surface));
  p.setPen(QPen(surfaceColour, 1));
  for (double x = 10; x < fieldRight; x += 9) {
    if (x > ditchX - 22 && x < ditchX + 20) continue;
    p.drawLine(QPointF(x, surface), QPointF(x + 2, surface - 4));
  }

  // Drain level.
  p.setPen(QPen(kText, 0.9, Qt::DashLine));
  p.drawLine(QPointF(6, drainLevel), QPointF(fieldRight + 84, drainLevel));

  // Curved water table, highest midway.
  const double maxHead = 28;
  QPainterPath table;
  for (int i = 0; i <= 100; ++i) {
    const double x = pipeX + (ditchX - 9 - pipeX) * i / 100.0;
    const double u = (x - middle) / (ditchX - 9 - middle);
    const double y = drainLevel - 6 - maxHead * std::sqrt(std::max(0.0, 1 - u * u));
    if (i == 0) {
      table.moveTo(x, drainLevel - 3);
    } else {
      table.lineTo(x, std::min(y, drainLevel - 3));
    }
  }
  p.setPen(QPen(kRain, 1.8));
  p.drawPath(table);

  // Recharge R on the water table.
  for (int i = 0; i < 6; ++i) {
    const double x = 74 + i * 28;
    Arrow(p, QPointF(x, surface + 3), QPointF(x, surface + 16), kRecharge, 1.3, 4);
  }
  Text(p, QPointF(60, surface + 3), "R", Font(11, true), kRecharge);

  // Pipe drain and the flow towards both drains.
  p.setPen(QPen(kWall, 1.4));
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(pipeX, drainLevel), 5, 5);
  p.setBrush(Qt::NoBrush);
  Arrow(p, QPointF(pipeX + 30, drainLevel - 16), QPointF(pipeX + 8, drainLevel - 3), kRunoff, 1.4,
        5);
  Arrow(p, QPointF(ditchX - 38, drainLevel - 16), QPointF(ditchX - 12, drainLevel - 3), kRunoff,
        1.4, 5);
  Arrow(p, QPointF(pipeX, drainLevel + 6), QPointF(pipeX, drainLevel + 24), kRunoff, 1.8, 6);
  Text(p, QPointF(pipeX + 5, drainLevel + 12), "Q", Font(11, true), kRunoff);
  Arrow(p, QPointF(ditchX, drainLevel + 8), QPointF(ditchX, drainLevel + 26), kRunoff, 1.8, 6);
  Text(p, QPointF(ditchX + 5, drainLevel + 14), "Q", Font(11, true), kRunoff);
  Text(p, QPointF(pipeX - 22, drainLevel - 22), "pipe", Font(10));
  Text(p, QPointF(ditchX + 19, surface - 13), "ditch", Font(10));

  // Conductivities.
  Text(p, QPointF(middle - 30, drainLevel - 16), "Ka", Font(12, true));
  Text(p, QPointF(middle - 30, 118), "Kb", Font(12, true));

  // Spacing L and half spacing M.
  p.setPen(QPen(kText, 0.7, Qt::DotLine));
  p.drawLine(QPointF(pipeX, surface - 2), QPointF(pipeX, 17));
  p.drawLine(QPointF(ditchX, surface - 16), QPointF(ditchX, 17));
  Dimension(p, QPointF(pipeX, 24), QPointF(ditchX, 24));
  p.fillRect(QRectF(middle - 7, 17, 14, 14), Qt::white);
  CentredText(p, middle, 17, "L", Font(11, true));
  p.setPen(QPen(kText, 0.7, Qt::DotLine));
  p.drawLine(QPointF(middle, drainLevel - 4), QPointF(middle, 106));
  Dimension(p, QPointF(middle, 102), QPointF(ditchX, 102));
  CentredText(p, (middle + ditchX) / 2 + 6, 103, "M = 0.5 L", Font(10));

  // Depths: Dw at the middle, Dd, D and Di on the right.
  const double tableTop = drainLevel - 6 - maxHead;
  Dimension(p, QPointF(middle + 24, surface + 1), QPointF(middle + 24, tableTop));
  Text(p, QPointF(middle + 28, surface + 2), "Dw", Font(10, true));
  p.setPen(QPen(kText, 0.7, Qt::DotLine));
  p.drawLine(QPointF(fieldRight, surface), QPointF(fieldRight + 84, surface));
  p.drawLine(QPointF(fieldRight, base), QPointF(fieldRight + 84, base));
  Dimension(p, QPointF(fieldRight + 14, surface), QPointF(fieldRight + 14, drainLevel));
  Text(p, QPointF(fieldRight + 18, 54), "Dd", Font(11, true));
  Dimension(p, QPointF(fieldRight + 42, drainLevel), QPointF(fieldRight + 42, base));
  Text(p, QPointF(fieldRight + 46, 112), "D", Font(11, true));
  Dimension(p, QPointF(fieldRight + 70, surface), QPointF(fieldRight + 70, base));
  Text(p, QPointF(fieldRight + 74, 84), "Di", Font(11, true));

  // Impermeable base.
  p.setPen(QPen(kWall, 2.4));
  p.drawLine(QPointF(6, base), QPointF(fieldRight, base));
  p.setPen(QPen(kWall, 1));
  for (double x = 8; x < fieldRight; x += 7) p.drawLine(QPointF(x, base), QPointF(x - 6, base + 7));
  Text(p, QPointF(middle + 20, base - 14), "impermeable base", Font(10));

  // Key.
  const QFont key = Font(11);
  Text(p, QPointF(8, 168), "D = depth", key);
  Text(p, QPointF(86, 168), "K = hydraulic conductivity", key);
  Text(p, QPointF(255, 168), "L = Drain spacing", key);
  return image;
}

}  // namespace

int main(int argc, char* argv[]) {
  QGuiApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: tevlora-draw-pictures DIRECTORY\n");
    return 2;
  }
  const QDir directory(QString::fromLocal8Bit(argv[1]));
  bool ok = Save(DrawReservoirs(), directory.filePath("Reservoir.jpg"));
  ok = Save(DrawInputPicture(), directory.filePath("InputImage.jpg")) && ok;
  ok = Save(DrawDrainage(), directory.filePath("Drainage.jpg")) && ok;
  return ok ? 0 : 1;
}
