// The options of the commands that draw a picture (graph, map): its style,
// size and resolution, and the format that follows from them.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "BatchOptions.h"
#include "ReportGraph.h"

struct TFigureOptions {
  std::string Style = "classic";
  std::optional<std::pair<int, int>> Size;
  int Dpi = 0;  // 0: not given
};

// Declares --style classic|report, --size WxH and --dpi N to `line`.
TCommandLine& FigureOptions(TCommandLine& line, TFigureOptions& options);

// The picture the options ask for. Without --size the picture keeps the
// physical size of its style (the classic 623 x 465 at 96 dpi, a report
// figure 16 x 12 cm) at the resolution asked (96 dpi classic, 300 report).
TFigureFormat FigureFormatOf(const TFigureOptions& options, bool colour, bool report);
