#include "ProfileMapDraw.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "FitMapDraw.h"
#include "TextFile.h"
#include "UGraphDraw.h"

namespace {

const QColor kSilver(192, 192, 192), kNavy(0, 0, 139), kWhite(255, 255, 255), kBlack(0, 0, 0);

QString Label(double value, int decimals) {
  return QString::fromStdString(Trim(FormatFixed(value, 1, decimals)));
}

// Every k-th value labelled, so that the labels keep apart.
int LabelStride(int count, int room, int labelWidth) {
  int stride = 1;
  while (count > 0 && room * stride / count < labelWidth + 8) ++stride;
  return stride;
}

}  // namespace

std::string ProfileOptimumText(const TStorageCalibration& calibration) {
  if (!calibration.Found) return ProfileMapTexts::kNoOptimum;
  const TStoragePair best = calibration.BestPair();
  return "optimum Smax = " + Trim(FormatFixed(best.MaxStorage, 1, 2)) +
         " mm  S0 = " + Trim(FormatFixed(best.InitStorage, 1, 2)) +
         " mm  A = " + Trim(FormatFixed(calibration.A, 1, 4)) +
         "  C = " + Trim(FormatFixed(calibration.C, 1, 3));
}

double ProfileRatioScaleEnd(const TStorageCalibration& calibration) {
  double end = 1.001;
  if (!calibration.Found || !(calibration.SumSq > 0)) return end;
  for (const auto& entry : calibration.Profile) {
    if (entry.Known) end = std::max(end, entry.SumSq / calibration.SumSq);
  }
  return std::min(end, 2.0);
}

void PaintStorageProfile(QPainter& painter, const TStorageCalibration& calibration,
                         const std::string& title1, const std::string& title2, bool colourGraph) {
  namespace T = ProfileMapTexts;
  const QColor plot = colourGraph ? kNavy : kWhite;
  const QColor plain = colourGraph ? kWhite : kBlack;
  const QColor mark = FitMapMarkColour(colourGraph);
  const QFont font = GraphFont();
  painter.setFont(font);
  const QFontMetrics metrics(font);
  const auto text = [&](int x, int y, const QString& shown, const QColor& colour,
                        const QColor& background) {
    painter.fillRect(QRect(x, y, metrics.horizontalAdvance(shown), metrics.height()), background);
    painter.setPen(colour);
    painter.drawText(QPoint(x, y + metrics.ascent()), shown);
  };
  const auto fitted = [&](const std::string& shown, int left, int end) {
    return metrics.elidedText(FileText(shown), Qt::ElideRight, end - left);
  };
  const auto line = [&](int x1, int y1, int x2, int y2, const QColor& colour, int width = 1) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.drawLine(x1, y1, x2, y2);
  };

  painter.fillRect(0, 0, kGraphWidth, kGraphHeight, kSilver);
  text(105, 5, fitted(title1, 105, kTitle1End), kBlack, kSilver);
  text(20, 450, QString::fromUtf8(GraphDrawTexts::kCreditLine), kBlack, kSilver);
  painter.fillRect(QRect(20, 19, 605 - 20, 445 - 19), plot);
  text(105, 20, fitted(title2, 105, kTitle2End), plain, plot);

  // One cell per pair: Smax to the right, S0 upwards.
  const int columns = static_cast<int>(calibration.MaxStorages.size());
  const int rows = static_cast<int>(calibration.InitialValues.size());
  const int width = kMapRight - kMapLeft, height = kMapBottom - kMapTop;
  const double end = ProfileRatioScaleEnd(calibration);
  const auto cellLeft = [&](int i) { return kMapLeft + i * width / std::max(columns, 1); };
  const auto cellTop = [&](int j) { return kMapBottom - (j + 1) * height / std::max(rows, 1); };
  for (int i = 0; i < columns; ++i) {
    for (int j = 0; j < rows; ++j) {
      const auto& entry = calibration.Profile[static_cast<std::size_t>(i * rows + j)];
      if (!entry.Known || !calibration.Found) continue;
      const double ratio = calibration.SumSq > 0 ? entry.SumSq / calibration.SumSq : 1;
      const double position = std::clamp(1 - (ratio - 1) / (end - 1), 0.0, 1.0);
      painter.fillRect(
          QRect(QPoint(cellLeft(i), cellTop(j)), QPoint(cellLeft(i + 1) - 1, cellTop(j - 1) - 1)),
          FitMapColour(position, colourGraph));
    }
  }

  // Axes, with labels at the cells' middles.
  line(kMapLeft, kMapBottom, kMapLeft, kMapTop, plain);
  line(kMapLeft, kMapBottom, kMapRight, kMapBottom, plain);
  const int xStride = LabelStride(columns, width, metrics.horizontalAdvance("000.00"));
  for (int i = 0; i < columns; i += xStride) {
    const int x = (cellLeft(i) + cellLeft(i + 1)) / 2;
    line(x, kMapBottom, x, kMapBottom + 5, plain);
    const QString label = Label(calibration.MaxStorages[static_cast<std::size_t>(i)], 2);
    text(x - metrics.horizontalAdvance(label) / 2, 400, label, plain, plot);
  }
  const int yStride = LabelStride(rows, height, metrics.height());
  for (int j = 0; j < rows; j += yStride) {
    const int y = (cellTop(j) + cellTop(j - 1)) / 2;
    line(kMapLeft, y, kMapLeft - 4, y, plain);
    const double value = calibration.InitialValues[static_cast<std::size_t>(j)];
    const QString label = calibration.InitialAsFractions ? Label(100 * value, 0) : Label(value, 2);
    text(64 - metrics.horizontalAdvance(label), y - metrics.height() / 2, label, plain, plot);
  }
  text(340, 415, QString::fromUtf8(T::kXTitle), plain, plot);
  text(24, 52,
       QString::fromUtf8(calibration.InitialAsFractions ? T::kYTitleFractions
                                                        : T::kYTitleMillimetres),
       plain, plot);

  // The legend: the best sum at the top.
  text(kLegendLeft - 8, 50, QString::fromUtf8(T::kLegendTitle), plain, plot);
  const int bandHeight = height / kRSquareBands;
  for (int band = 0; band < kRSquareBands; ++band) {
    const int top = kMapBottom - (band + 1) * bandHeight;
    painter.fillRect(QRect(kLegendLeft, top, kLegendRight - kLegendLeft, bandHeight),
                     FitMapColour((band + 0.5) / kRSquareBands, colourGraph));
  }
  const double tick = (end - 1) / 5;
  const int decimals = std::clamp(1 - static_cast<int>(std::floor(std::log10(tick))), 2, 6);
  for (int k = 0; k <= 5; ++k) {
    const int y = kMapBottom - k * 4 * bandHeight;
    line(kLegendRight, y, kLegendRight + 4, y, plain);
    QString label = Label(1 + (5 - k) * tick, decimals);
    if (k == 0) label += QLatin1Char('+');
    text(kLegendRight + 7, y - metrics.height() / 2, label, plain, plot);
  }

  if (calibration.Found) {
    const int i = calibration.Best / std::max(rows, 1), j = calibration.Best % std::max(rows, 1);
    const int x = (cellLeft(i) + cellLeft(i + 1)) / 2, y = (cellTop(j) + cellTop(j - 1)) / 2;
    line(x - 6, y, x + 7, y, mark, 2);
    line(x, y - 6, x, y + 7, mark, 2);
    text(105, 36, QString::fromStdString("+  " + ProfileOptimumText(calibration)),
         mark == kBlack ? plain : mark, plot);
  } else {
    text(105, 36, QString::fromUtf8(T::kNoOptimum), plain, plot);
  }
}

QImage DrawStorageProfile(const TStorageCalibration& calibration, const std::string& title1,
                          const std::string& title2, bool colourGraph) {
  return ClassicBitmap([&](QPainter& painter) {
    PaintStorageProfile(painter, calibration, title1, title2, colourGraph);
  });
}
