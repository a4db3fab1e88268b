// A picture saved in the format its file name asks for: a Windows bitmap
// (.bmp), a PNG (.png), an SVG (.svg) or a PDF (.pdf) of one page, all drawn
// by the same painter code at the size and resolution of a TFigureFormat.
#pragma once

#include <QImage>
#include <QPainter>
#include <functional>
#include <optional>
#include <string>

#include "FitMap.h"
#include "ReportGraph.h"
#include "UDMTevlora.h"

enum class TFigureFileType { Bitmap, Png, Svg, Pdf, Unknown };

// By the file name's extension, in any case.
TFigureFileType FigureFileTypeOf(const std::string& fileName);

// "WxH" in pixels, each from kMinFigureSide to kMaxFigureSide.
inline constexpr int kMinFigureSide = 200;
inline constexpr int kMaxFigureSide = 10000;
std::optional<std::pair<int, int>> ParseFigureSize(const std::string& text);

// Draws on a device of format.Width x format.Height pixels.
using TFigurePaint = std::function<void(QPainter&)>;

// A classic picture (623 x 465 coordinates) drawn on a figure of any size:
// scaled evenly, centred on white, antialiased (`draw` receives `smooth`).
TFigurePaint ScaledClassic(const TFigureFormat& format,
                           std::function<void(QPainter&, bool smooth)> draw);

// Graph `graphKind` of the series in `data` as `format` asks: the classic
// drawing (scaled when the format is not the classic bitmap) or the report
// figure; the hydrograph is always a report figure. Kind 8 reads the trend
// file first (TIOError when it is missing or torn). `data` and `map` must
// outlive the returned painter.
TFigurePaint GraphFigure(const TDMTevlora& data, int graphKind, const TFigureFormat& format,
                         const TReportExtras& extras = {});
TFigurePaint FitMapFigure(const TFitMap& map, const std::string& title1, const std::string& title2,
                          const TFigureFormat& format);

// The picture as a bitmap of the format's size, marked with its resolution.
QImage RenderFigure(const TFigureFormat& format, const TFigurePaint& paint);

// Encodes the picture in memory as `type` (a name of another extension is
// written as a bitmap) and writes it as every file of the program is
// written. False when the file could not be written.
bool SaveFigure(const std::string& fileName, TFigureFileType type, const TFigureFormat& format,
                const TFigurePaint& paint);
