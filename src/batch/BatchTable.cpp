// tevlora-batch import and export: a measured table (CSV) made into an input
// file, and the results table of a results file written as CSV.
#include <algorithm>
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

const char* kImportUsage =
    "usage: tevlora-batch import TABLE.csv [-o FILE.inp] [--prediction|--drainage]\n"
    "         [--max-storage X] [--initial-storage Y] [--max-escape Z] [--alpha-a A]\n"
    "         [--alpha-c C] [--initial-runoff Q0] [--initial-level H0] [--porosity P]\n"
    "         [--title1 TEXT] [--columns time=NAME,rain=NAME,escape=NAME,runoff=NAME]\n"
    "         [--day-first|--month-first] [--irregular] [--area KM2]\n"
    "         [--time-unit minutes|hours|days] [--force]\n";
const char* kExportUsage = "usage: tevlora-batch export FILE.out [-o TABLE.csv] [--force]\n";

int UsageError(const char* command, const std::string& complaint, const char* usage) {
  std::fprintf(stderr, "tevlora-batch %s: %s\n%s", command, complaint.c_str(), usage);
  return 2;
}

int Refused(const char* command, const std::string& message) {
  std::fprintf(stderr, "tevlora-batch %s: %s\n", command, message.c_str());
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
};

}  // namespace

int BatchImport(const TArguments& arguments) {
  TImportOptions options;
  struct TNumberOption {
    const char* name;
    double* target;
  };
  const TNumberOption numbers[] = {
      {"--max-storage", &options.MaxStorage},
      {"--initial-storage", &options.InitStorage},
      {"--alpha-a", &options.AlphaA},
      {"--alpha-c", &options.AlphaC},
      {"--initial-runoff", &options.InitRunoff},
      {"--initial-level", &options.InitLevel},
      {"--porosity", &options.Porosity},
  };
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool takesValue =
        argument == "-o" || argument == "--title1" || argument == "--max-escape" ||
        argument == "--columns" || argument == "--area" || argument == "--time-unit" ||
        std::any_of(std::begin(numbers), std::end(numbers),
                    [&](const TNumberOption& option) { return argument == option.name; });
    if (takesValue && i + 1 >= arguments.size()) {
      return UsageError("import", argument + " needs a value", kImportUsage);
    }
    if (argument == "--prediction") {
      options.Prediction = true;
    } else if (argument == "--drainage") {
      options.Prediction = options.Drainage = true;
    } else if (argument == "--force") {
      options.Force = true;
    } else if (argument == "-o") {
      options.Output = arguments[++i];
    } else if (argument == "--title1") {
      options.Title1 = arguments[++i];
    } else if (argument == "--day-first" || argument == "--month-first") {
      options.Reading.DateOrder = argument == "--day-first" ? TTableOptions::TDateOrder::DayFirst
                                                            : TTableOptions::TDateOrder::MonthFirst;
    } else if (argument == "--irregular") {
      options.Reading.Irregular = true;
    } else if (argument == "--time-unit") {
      const std::string& unit = arguments[++i];
      if (unit != "minutes" && unit != "hours" && unit != "days") {
        return UsageError("import", "--time-unit: minutes, hours or days", kImportUsage);
      }
      options.Reading.TimeUnit = unit;
    } else if (argument == "--columns") {
      // time=NAME,rain=NAME,...: a name may hold blanks but no comma.
      const std::string& list = arguments[++i];
      std::size_t start = 0;
      while (start <= list.size()) {
        const std::size_t end = std::min(list.find(',', start), list.size());
        const std::string item = list.substr(start, end - start);
        const std::size_t equals = item.find('=');
        const std::string role = item.substr(0, equals);
        if (equals == std::string::npos || equals + 1 == item.size() ||
            (role != "time" && role != "rain" && role != "escape" && role != "runoff")) {
          return UsageError(
              "import", "--columns: \"" + item + "\" is not ROLE=NAME (time, rain, escape, runoff)",
              kImportUsage);
        }
        options.Reading.Columns.emplace_back(role, item.substr(equals + 1));
        start = end + 1;
      }
    } else if (takesValue) {
      const std::string& text = arguments[++i];
      const std::optional<double> value = TryStringToFloat(text);
      if (!value) {
        return UsageError("import", argument + ": \"" + text + "\" is not a number", kImportUsage);
      }
      if (argument == "--max-escape") options.MaxEscape = *value;
      if (argument == "--area") {
        if (!(*value > 0)) {
          return UsageError("import", "--area: the catchment area must be above 0 km2",
                            kImportUsage);
        }
        options.Reading.AreaKm2 = *value;
      }
      for (const auto& option : numbers) {
        if (argument == option.name) *option.target = *value;
      }
    } else if (argument.size() > 1 && argument[0] == '-') {
      return UsageError("import", "unknown option \"" + argument + "\"", kImportUsage);
    } else {
      positional.push_back(argument);
    }
  }
  if (positional.size() != 1) return UsageError("import", "one table is needed", kImportUsage);
  options.Table = fs::path(positional[0]).lexically_normal().string();
  if (options.Output.empty()) options.Output = ChangeFileExt(options.Table, ".inp");
  options.Output = fs::path(options.Output).lexically_normal().string();

  options.Reading.NeedRunoff = !options.Prediction;
  const TTableReadResult table = ReadTableFile(options.Table, options.Reading);
  if (!table.Records) return Refused("import", options.Table + ": " + table.Message);
  const TTableRecords& records = *table.Records;
  // What was read and how: the user checks this before trusting the file.
  for (const auto& line : records.Report) std::fprintf(stderr, "%s\n", line.c_str());
  if (!options.MaxEscape) {
    if (records.Escape.empty()) {
      return Refused("import", options.Table +
                                   ": the table has no escape column; give the escape rate of "
                                   "every record with --max-escape.");
    }
    // As in the example files: the largest escape rate of the record.
    options.MaxEscape = *std::max_element(records.Escape.begin(), records.Escape.end());
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
  std::string results, output;
  bool force = false;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "-o") {
      if (i + 1 >= arguments.size())
        return UsageError("export", "-o needs a file name", kExportUsage);
      output = arguments[++i];
    } else if (argument == "--force") {
      force = true;
    } else if (argument.size() > 1 && argument[0] == '-') {
      return UsageError("export", "unknown option \"" + argument + "\"", kExportUsage);
    } else {
      positional.push_back(argument);
    }
  }
  if (positional.size() != 1)
    return UsageError("export", "one results file is needed", kExportUsage);
  results = positional[0];
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
