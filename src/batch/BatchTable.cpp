// tevlora-batch import and export: a measured table (CSV) made into an input
// file, and the results table of a results file written as CSV.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "BatchCommands.h"
#include "TableFile.h"
#include "TextFile.h"
#include "UDMTevlora.h"

namespace {
namespace fs = std::filesystem;

constexpr const char* kImportUsage =
    "usage: tevlora-batch import TABLE.csv [-o FILE.inp] [--prediction|--drainage]\n"
    "         [--max-storage X] [--initial-storage Y] [--max-escape Z] [--alpha-a A]\n"
    "         [--alpha-c C] [--initial-runoff Q0] [--initial-level H0] [--porosity P]\n"
    "         [--title1 TEXT] [--columns time=NAME,rain=NAME,escape=NAME,runoff=NAME]\n"
    "         [--units ROLE=UNIT,...] [--day-first|--month-first] [--irregular]\n"
    "         [--area KM2] [--time-unit minutes|hours|days] [--comment MARK]\n"
    "         [--missing CODE] [--window FROM TO] [--fill-gaps K] [--step day|K]\n"
    "         [--runoff TABLE [--runoff-columns time=NAME,runoff=NAME,...]] [--force]\n"
    "  ROLE: time, rain, escape, runoff, year, month, day, hour; NAME: a header or a\n"
    "  column number; UNIT: mm, 0.1mm, cm, in, mm/h, mm/d, l/s, m3/s, cfs, ML/d\n";
constexpr const char* kExportUsage =
    "usage: tevlora-batch export FILE.out [-o TABLE.csv] [--force]\n";

int Refused(const char* command, const std::string& message) {
  PrintMessage(std::string("tevlora-batch ") + command + ": " + message);
  return 2;
}

struct TImportOptions {
  std::string Table;
  std::string Output;
  std::string Title1;
  bool Prediction = false;
  bool Drainage = false;
  bool Force = false;
  double MaxStorage = 0, InitStorage = 0, AlphaA = 0, AlphaC = 0, InitRunoff = 0, InitLevel = 0,
         Porosity = 0;
  std::optional<double> MaxEscape;
  TTableOptions Reading;
  std::string RunoffTable;
  TTableOptions RunoffReading;
};

const char* const kRoles[] = {"time", "rain", "escape", "runoff", "year", "month", "day", "hour"};

// ROLE=TEXT,ROLE=TEXT: a text may hold blanks but no comma.
std::optional<std::string> TakeRoles(const std::string& option, const std::string& list,
                                     std::vector<std::pair<std::string, std::string>>& target) {
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t end = std::min(list.find(',', start), list.size());
    const std::string item = list.substr(start, end - start);
    const std::size_t equals = item.find('=');
    const std::string role = item.substr(0, equals);
    if (equals == std::string::npos || equals + 1 == item.size() ||
        std::find(std::begin(kRoles), std::end(kRoles), role) == std::end(kRoles)) {
      return option + ": \"" + item +
             "\" is not ROLE=NAME (time, rain, escape, runoff, year, month, day, hour)";
    }
    target.emplace_back(role, item.substr(equals + 1));
    start = end + 1;
  }
  return std::nullopt;
}

// --window FROM TO: the two words after the option go to it as one, so
// that the shared parser gives it one value.
TArguments WindowAsOneWord(const TArguments& arguments) {
  TArguments words;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    words.push_back(arguments[i]);
    if (arguments[i] == "--window" && i + 2 < arguments.size()) {
      words.push_back(arguments[i + 1] + "\n" + arguments[i + 2]);
      i += 2;
    }
  }
  return words;
}

}  // namespace

int BatchImport(const TArguments& arguments) {
  TImportOptions options;
  using TDateOrder = TTableOptions::TDateOrder;
  const auto words =
      TCommandLine("import", kImportUsage)
          .Flag("--prediction", options.Prediction)
          .Flag("--drainage", [&options] { options.Prediction = options.Drainage = true; })
          .Flag("--force", options.Force)
          .Text("-o", options.Output)
          .Text("--title1", options.Title1)
          .Flag("--day-first", [&options] { options.Reading.DateOrder = TDateOrder::DayFirst; })
          .Flag("--month-first", [&options] { options.Reading.DateOrder = TDateOrder::MonthFirst; })
          .Flag("--irregular", options.Reading.Irregular)
          .Choice("--time-unit", options.Reading.TimeUnit, {"minutes", "hours", "days"})
          .Value("--columns",
                 [&options](const std::string& list) {
                   return TakeRoles("--columns", list, options.Reading.Columns);
                 })
          .Value("--runoff-columns",
                 [&options](const std::string& list) {
                   return TakeRoles("--runoff-columns", list, options.RunoffReading.Columns);
                 })
          .Value("--units",
                 [&options](const std::string& list) -> std::optional<std::string> {
                   if (auto fault = TakeRoles("--units", list, options.Reading.Units)) {
                     return fault;
                   }
                   for (const auto& [role, unit] : options.Reading.Units) {
                     if (!IsTableUnit(unit)) {
                       return "--units: \"" + unit + "\" is no unit the import knows";
                     }
                   }
                   return std::nullopt;
                 })
          .Text("--runoff", options.RunoffTable)
          .Value("--comment",
                 [&options](const std::string& mark) -> std::optional<std::string> {
                   if (mark.size() != 1 || std::isalnum(static_cast<unsigned char>(mark[0])) ||
                       mark[0] == ' ') {
                     return "--comment: the mark is one character, not a letter or digit";
                   }
                   options.Reading.CommentMark = mark[0];
                   return std::nullopt;
                 })
          .Value("--missing",
                 [&options](const std::string& code) -> std::optional<std::string> {
                   if (Trim(code).empty()) return "--missing: the code is empty";
                   options.Reading.Missing.push_back(Trim(code));
                   return std::nullopt;
                 })
          .Value("--window",
                 [&options](const std::string& both) -> std::optional<std::string> {
                   const auto split = both.find('\n');
                   if (split == std::string::npos) return "--window needs FROM and TO";
                   options.Reading.Window =
                       std::make_pair(both.substr(0, split), both.substr(split + 1));
                   return std::nullopt;
                 })
          .WholeNumber("--fill-gaps", options.Reading.FillGaps, 1, 1000)
          .Value("--step",
                 [&options](const std::string& step) -> std::optional<std::string> {
                   if (step == "day") {
                     options.Reading.StepHours = 24;
                     return std::nullopt;
                   }
                   const auto hours = ParseReal(step);
                   if (!hours || *hours < 2 || *hours > 24 * 366 || *hours != std::floor(*hours)) {
                     return "--step: \"" + step +
                            "\" is not day or a whole number of hours (2 "
                            "or more)";
                   }
                   options.Reading.StepHours = static_cast<int>(*hours);
                   return std::nullopt;
                 })
          .Number("--max-escape", options.MaxEscape)
          .Number("--area", options.Reading.AreaKm2,
                  [](double area) -> std::optional<std::string> {
                    if (area > 0) return std::nullopt;
                    return "--area: the catchment area must be above 0 km2";
                  })
          .Number("--max-storage", options.MaxStorage)
          .Number("--initial-storage", options.InitStorage)
          .Number("--alpha-a", options.AlphaA)
          .Number("--alpha-c", options.AlphaC)
          .Number("--initial-runoff", options.InitRunoff)
          .Number("--initial-level", options.InitLevel)
          .Number("--porosity", options.Porosity)
          .Words(1, 1, "one table is needed")
          .Parse(WindowAsOneWord(arguments));
  if (!words) return 2;
  options.Table = fs::path(words->front()).lexically_normal().string();
  if (options.Output.empty()) options.Output = ChangeFileExt(options.Table, ".inp");
  options.Output = fs::path(options.Output).lexically_normal().string();

  options.Reading.NeedRunoff = !options.Prediction;
  if (!options.RunoffReading.Columns.empty() && options.RunoffTable.empty()) {
    return Refused("import", "--runoff-columns: they are the columns of a --runoff table.");
  }
  if (!options.RunoffTable.empty() && options.Prediction) {
    return Refused("import", "--runoff: a prediction takes no measured runoff.");
  }
  TTableReadResult table;
  if (options.RunoffTable.empty()) {
    table = ReadTableFile(options.Table, options.Reading);
  } else {
    // The reading of the rain table holds for the runoff table too, but
    // for its columns.
    TTableOptions runoff = options.Reading;
    runoff.Columns = options.RunoffReading.Columns;
    table = ReadJoinedTableFiles(options.Table, options.RunoffTable, options.Reading, runoff);
  }
  if (!table.Records) return Refused("import", options.Table + ": " + table.Message);
  const TTableRecords& records = *table.Records;
  // What was read and how: the user checks this before trusting the file.
  for (const auto& line : records.Report) PrintMessage(line);
  if (!options.MaxEscape) {
    if (records.Escape.empty()) {
      return Refused("import", options.Table +
                                   ": the table has no escape column; give the escape rate of "
                                   "every record with --max-escape.");
    }
    // As in the example files: the largest escape rate of the record.
    options.MaxEscape = *std::max_element(records.Escape.begin(), records.Escape.end());
  } else if (records.Escape.empty()) {
    PrintMessage("escape: " + ShortestText(*options.MaxEscape) +
                 " mm per time unit in every record, from --max-escape");
  }
  if (const auto refusal = OverwriteRefusal(options.Table, options.Output, options.Force)) {
    return Refused("import", *refusal);
  }

  TStderrDialogs dialogs;
  TDMTevlora data;
  data.DataModuleCreate();
  data.Dialogs = &dialogs;
  data.FileName = options.Output;
  // Each of these becomes one line of the input file.
  bool changed = false;
  if (OneLineText(options.Output, changed) != options.Output) {
    return Refused("import",
                   "the name of the input file holds a line end or another control "
                   "character; give another with -o.");
  }
  data.Title1 = OneLineText(options.Title1.empty()
                                ? "Imported from " + fs::path(options.Table).filename().string()
                                : options.Title1,
                            changed);
  if (changed) {
    std::fprintf(stderr,
                 "The title held line ends or other control characters; they are blanks "
                 "now: %s\n",
                 data.Title1.c_str());
  }
  data.Analysis = !options.Prediction;
  data.RunKind = options.Prediction ? " Pre" : " Ana";
  data.Drainage = options.Drainage;
  data.MaxStorage = options.MaxStorage;
  data.InitStorage = options.InitStorage;
  data.MaxEscape = *options.MaxEscape;
  data.InitRunoff = options.InitRunoff;
  data.InitLevel = options.InitLevel;
  data.Porosity = options.Porosity;
  data.Values.AlphaA = options.AlphaA;
  data.Values.AlphaC = options.AlphaC;
  PutTableRecords(records, data);
  if (!data.WriteInputFile()) return 2;
  std::fprintf(stderr, "%d records written to %s (%s)\n", data.NrOfData, options.Output.c_str(),
               data.Title2.c_str());
  return 0;
}

int BatchExport(const TArguments& arguments) {
  std::string output;
  bool force = false;
  const auto words = TCommandLine("export", kExportUsage)
                         .Text("-o", output, "-o needs a file name")
                         .Flag("--force", force)
                         .Words(1, 1, "one results file is needed")
                         .Parse(arguments);
  if (!words) return 2;
  const std::string& results = words->front();
  // Not FILE.csv: that is often the very table the input file was made from.
  if (output.empty()) output = ChangeFileExt(results, "") + "_results.csv";

  const auto text = LoadTextFile(results);
  if (!text) return Refused("export", "\"" + results + "\" cannot be read");
  std::string message;
  const std::string csv = ResultsTableCsv(*text, message);
  if (csv.empty()) return Refused("export", results + ": " + message);
  if (const auto refusal = OverwriteRefusal(results, output, force)) {
    return Refused("export", *refusal);
  }
  if (!SaveTextFileSafely(output, csv)) {
    return Refused("export", "\"" + output + "\" could not be written");
  }
  std::fprintf(stderr, "The results table was written to %s\n", output.c_str());
  return 0;
}
