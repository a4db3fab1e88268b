#include "BatchFigure.h"

#include <cmath>

#include "FigureFile.h"

TCommandLine& FigureOptions(TCommandLine& line, TFigureOptions& options) {
  return line.Choice("--style", options.Style, {"classic", "report"})
      .Value("--size",
             [&options](const std::string& value) -> std::optional<std::string> {
               options.Size = ParseFigureSize(value);
               if (options.Size) return std::nullopt;
               return "--size needs WIDTHxHEIGHT in pixels, each from " +
                      std::to_string(kMinFigureSide) + " to " + std::to_string(kMaxFigureSide) +
                      ", not \"" + value + "\"";
             })
      .WholeNumber("--dpi", options.Dpi, 50, 1200);
}

TFigureFormat FigureFormatOf(const TFigureOptions& options, bool colour, bool report) {
  TFigureFormat format;
  format.Style = report || options.Style == "report" ? TGraphStyle::Report : TGraphStyle::Classic;
  format.Colour = colour;
  const bool isReport = format.Style == TGraphStyle::Report;
  format.Dpi = options.Dpi > 0 ? options.Dpi : (isReport ? 300 : 96);
  if (options.Size) {
    format.Width = options.Size->first;
    format.Height = options.Size->second;
  } else if (isReport) {
    format.Width = static_cast<int>(std::lround(16 / 2.54 * format.Dpi));
    format.Height = static_cast<int>(std::lround(12 / 2.54 * format.Dpi));
  } else {
    format.Width = static_cast<int>(std::lround(623.0 * format.Dpi / 96));
    format.Height = static_cast<int>(std::lround(465.0 * format.Dpi / 96));
  }
  return format;
}
