// tevlora-batch run --summary: one CSV line per input file with the optimum
// and the fit measures of the run just made, from the values in memory.
#include <charconv>
#include <cmath>
#include <cstdio>

#include "BatchCommands.h"
#include "FitMeasures.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "URainRun.h"

namespace {
constexpr const char* kSummaryHeader =
    "file,records,A,C,SD,RSquare,NSE,KGE,PBIAS,RMSE,PeakError,seconds";
constexpr const char* kPeriodMeasures = "NSE,KGE,PBIAS,RMSE,PeakError";

// Shortest text that reads back as the same double; empty when undefined.
std::string Exact(double value) {
  if (!std::isfinite(value)) return {};
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

bool IsAnalysisInput(const std::string& fileName) {
  TDMTevlora data;
  data.FileName = fileName;
  return data.ReadInputFile() && data.RunKind == " Ana";
}
}  // namespace

TRunSummary::TRunSummary(bool enabled, bool periods) : enabled_(enabled), periods_(periods) {
  if (enabled_) {
    std::string header = kSummaryHeader;
    if (periods_) {
      // The periods' columns before "seconds": calNSE, ..., valPeakError.
      header.resize(header.rfind(',') + 1);
      for (const char* period : {"cal", "val"}) {
        std::string names = kPeriodMeasures;
        for (auto at = names.find(','); at != std::string::npos; at = names.find(',', at + 4)) {
          names.insert(at + 1, period);
        }
        header += period + names + ",";
      }
      header += "seconds";
    }
    WriteStandardOutput(header + "\n");
    FlushStandardOutput();
  }
}

void TRunSummary::Begin() {
  start_ = std::chrono::steady_clock::now();
}

void TRunSummary::End(const std::string& file, int status, const TAnalysisRun& run) {
  if (!enabled_) return;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  WriteStandardOutput(Line(file, status, run, seconds));
  FlushStandardOutput();
}

std::string TRunSummary::Line(const std::string& file, int status, const TAnalysisRun& run,
                              double seconds) const {
  if (!enabled_) return {};
  // A file name such as "=1+2.inp" is no formula.
  std::string line = CsvField(file);
  const auto add = [&line](const std::string& field) {
    line.push_back(',');
    line.append(field);
  };
  if (status == 0 && IsAnalysisInput(file)) {
    const TFitMeasures fit = FitMeasuresOfRun(run);
    add(std::to_string(fit.Records));
    // The trials' own values: A in steps of 0.0005, C in steps of 0.001.
    add(Trim(FormatFixed(run.BestA, 1, 4)));
    add(Trim(FormatFixed(run.BestC, 1, 3)));
    for (double value :
         {fit.SD, fit.RSquare, fit.NSE, fit.KGE, fit.PBIAS, fit.RMSE, fit.PeakError}) {
      add(Exact(value));
    }
    if (periods_) {
      const TFitMeasures periods[] = {
          FitMeasuresOfRecords(run, 2, run.CalibrationCount),
          FitMeasuresOfRecords(run, run.CalibrationCount + 1, run.RunCount)};
      for (const TFitMeasures& period : periods) {
        for (double value : {period.NSE, period.KGE, period.PBIAS, period.RMSE, period.PeakError}) {
          add(Exact(value));
        }
      }
    }
  } else {
    for (int k = 0; k < (periods_ ? 20 : 10); ++k) add("");
  }
  add(Trim(FormatFixed(seconds, 1, 3)));
  return line + "\n";
}
