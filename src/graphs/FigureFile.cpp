#include "FigureFile.h"

#include <QBuffer>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <memory>
#include <regex>

#include "FitMapDraw.h"
#include "TextFile.h"
#include "UGraphDraw.h"

TFigureFileType FigureFileTypeOf(const std::string& fileName) {
  const auto dot = fileName.find_last_of('.');
  const auto slash = fileName.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return TFigureFileType::Unknown;
  }
  std::string extension = fileName.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".bmp") return TFigureFileType::Bitmap;
  if (extension == ".png") return TFigureFileType::Png;
  if (extension == ".svg") return TFigureFileType::Svg;
  if (extension == ".pdf") return TFigureFileType::Pdf;
  return TFigureFileType::Unknown;
}

std::optional<std::pair<int, int>> ParseFigureSize(const std::string& text) {
  static const std::regex size(R"((\d{1,5})[xX](\d{1,5}))");
  std::smatch match;
  if (!std::regex_match(text, match, size)) return std::nullopt;
  const int width = std::stoi(match[1]), height = std::stoi(match[2]);
  const auto fits = [](int side) { return side >= kMinFigureSide && side <= kMaxFigureSide; };
  if (!fits(width) || !fits(height)) return std::nullopt;
  return std::make_pair(width, height);
}

TFigurePaint ScaledClassic(const TFigureFormat& format,
                           std::function<void(QPainter&, bool smooth)> draw) {
  return [format, draw](QPainter& painter) {
    const double scale = std::min(static_cast<double>(format.Width) / kGraphWidth,
                                  static_cast<double>(format.Height) / kGraphHeight);
    painter.fillRect(QRectF(0, 0, format.Width, format.Height), Qt::white);
    painter.save();
    painter.translate((format.Width - kGraphWidth * scale) / 2,
                      (format.Height - kGraphHeight * scale) / 2);
    painter.scale(scale, scale);
    draw(painter, true);
    painter.restore();
  };
}

TFigurePaint GraphFigure(const TDMTevlora& data, int graphKind, const TFigureFormat& format,
                         const TReportExtras& extras) {
  TReportExtras withTrend = extras;
  if (graphKind == 8) withTrend.Trend = ReadTrendFile(data.FileName);
  if (format.Style == TGraphStyle::Report || graphKind == kHydrographGraphKind) {
    auto layout =
        std::make_shared<TReportLayout>(LayoutReportGraph(data, graphKind, format, withTrend));
    return [layout](QPainter& painter) { PaintReportGraph(painter, *layout); };
  }
  auto layout =
      std::make_shared<TGraphLayout>(LayoutGraph(data, graphKind, format.Colour, withTrend.Trend));
  if (format.IsClassicBitmap()) {
    return [&data, layout](QPainter& painter) { PaintGraph(painter, data, *layout, false); };
  }
  return ScaledClassic(format, [&data, layout](QPainter& painter, bool smooth) {
    PaintGraph(painter, data, *layout, smooth);
  });
}

TFigurePaint FitMapFigure(const TFitMap& map, const std::string& title1, const std::string& title2,
                          const TFigureFormat& format) {
  if (format.Style == TGraphStyle::Report) {
    auto layout =
        std::make_shared<TFitMapReportLayout>(LayoutReportFitMap(map, title1, title2, format));
    return [&map, layout](QPainter& painter) { PaintReportFitMap(painter, *layout, map); };
  }
  const bool colour = format.Colour;
  if (format.IsClassicBitmap()) {
    return [&map, title1, title2, colour](QPainter& painter) {
      PaintFitMap(painter, map, title1, title2, colour, false);
    };
  }
  return ScaledClassic(format, [&map, title1, title2, colour](QPainter& painter, bool smooth) {
    PaintFitMap(painter, map, title1, title2, colour, smooth);
  });
}

QImage RenderFigure(const TFigureFormat& format, const TFigurePaint& paint) {
  QImage image(format.Width, format.Height, QImage::Format_RGB32);
  const int dotsPerMeter = static_cast<int>(std::lround(format.Dpi / 0.0254));
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  image.fill(Qt::white);
  QPainter painter(&image);
  paint(painter);
  return image;
}

bool SaveFigure(const std::string& fileName, TFigureFileType type, const TFigureFormat& format,
                const TFigurePaint& paint) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  if (!buffer.open(QIODevice::WriteOnly)) return false;
  switch (type) {
    case TFigureFileType::Unknown:
    case TFigureFileType::Bitmap:
    case TFigureFileType::Png: {
      const bool png = type == TFigureFileType::Png;
      if (!RenderFigure(format, paint).save(&buffer, png ? "PNG" : "BMP")) return false;
      break;
    }
    case TFigureFileType::Svg: {
      QSvgGenerator generator;
      generator.setOutputDevice(&buffer);
      generator.setSize(QSize(format.Width, format.Height));
      generator.setViewBox(QRect(0, 0, format.Width, format.Height));
      generator.setResolution(format.Dpi);
      generator.setTitle(QStringLiteral("TevloraT"));
      QPainter painter;
      if (!painter.begin(&generator)) return false;
      paint(painter);
      if (!painter.end()) return false;
      break;
    }
    case TFigureFileType::Pdf: {
      QPdfWriter writer(&buffer);
      writer.setResolution(format.Dpi);
      writer.setCreator(QStringLiteral("TevloraT"));
      // The page is the picture: its size in points at the format's resolution.
      const QSizeF points(format.Width * 72.0 / format.Dpi, format.Height * 72.0 / format.Dpi);
      writer.setPageSize(QPageSize(points, QPageSize::Point, QString(), QPageSize::ExactMatch));
      writer.setPageMargins(QMarginsF(0, 0, 0, 0));
      QPainter painter;
      if (!painter.begin(&writer)) return false;
      painter.scale(static_cast<double>(writer.width()) / format.Width,
                    static_cast<double>(writer.height()) / format.Height);
      paint(painter);
      if (!painter.end()) return false;
      break;
    }
  }
  buffer.close();
  return SaveFileSafely(fileName, bytes.toStdString());
}
