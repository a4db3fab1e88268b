// Tables in and out: measured series from delimited text (CSV with a comma,
// a semicolon or a tab) with numbers or real dates as time, and the results
// table of a results file as CSV for spreadsheets.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

class TDMTevlora;
struct TAnalysisRun;
struct TPredictionRun;

// The records of a table, in the program's units: time as a number
// (hours or days when the table gives dates), depths per time unit.
struct TTableRecords {
  std::vector<double> Time;
  std::vector<double> Rain;
  std::vector<double> Escape;  // empty when the table has no escape column
  std::vector<double> Runoff;  // empty when the table has no runoff column
  // "hours since 2011-01-11 00:00" or "days since 2013-04-01" when the time
  // came from dates; empty when the table gave time as a number.
  std::string TimeOrigin;
  // What the reader did, one line each: the column taken for every role with
  // its header text, the unit read and how it was converted, the date order
  // and the step found, the columns left unused, and warnings.
  std::vector<std::string> Report;
  std::size_t Count() const { return Time.size(); }
};

// What the user settles where the table alone leaves a choice open.
struct TTableOptions {
  bool NeedRunoff = true;
  // False for the runoff table of a join, which brings no rain.
  bool NeedRain = true;
  // Role ("time", "rain", "escape", "runoff", "year", "month", "day" or
  // "hour") and the header of its column, or its number counted from 1 (a
  // table without a header row).
  std::vector<std::pair<std::string, std::string>> Columns;
  // Role and unit ("runoff", "m3/s"), over what the table says.
  std::vector<std::pair<std::string, std::string>> Units;
  // A text that marks a missing value besides NA, nan, an empty field,
  // -999 and -9999.
  std::vector<std::string> Missing;
  // Lines starting with this mark are comments.
  char CommentMark = '#';
  // Only the records from .. to, dates (a date alone: the whole day) or
  // times as the table writes them.
  std::optional<std::pair<std::string, std::string>> Window;
  // Runs of at most this many missing values are filled: rain with 0,
  // escape and runoff linearly between the values around them.
  int FillGaps = 0;
  // Hours of a record after adding the table's records up (24: days); 0
  // keeps the table's step.
  int StepHours = 0;
  enum class TDateOrder { Find, DayFirst, MonthFirst } DateOrder = TDateOrder::Find;
  // Steps that differ from the table's usual step are taken as they are.
  bool Irregular = false;
  // Catchment area in km2, to turn volume rates (l/s, m3/s, cfs) into depths.
  std::optional<double> AreaKm2;
  // "minutes", "hours" or "days": the unit of the time written; for a time
  // column of plain numbers, the unit those numbers are in. Empty: hours or
  // days, found from the dates.
  std::string TimeUnit;
  // Set by the file reader when it stopped before the end of a long file.
  bool Truncated = false;
};

// The reader's answer: records, or the message that names the row and the
// column of the first fault.
struct TTableReadResult {
  std::optional<TTableRecords> Records;
  std::string Message;
  // A refusal that an answer of the user settles (the window asks it).
  enum class TQuestion { None, DateOrder, Area } Question = TQuestion::None;
};

namespace TableTexts {
inline constexpr int kMaxRecords = 1500;
// Records read from a table, of which a window or longer steps keep at most
// kMaxRecords.
inline constexpr int kMaxReadRecords = 200000;
// Longer lines are not a table of measurements; they are refused before they
// are held in memory.
inline constexpr std::size_t kMaxLineBytes = 4u << 20;
// Lines of text before the header (a station's description) that are read.
inline constexpr int kMaxLeadingLines = 200;
inline constexpr const char* kGapNote =
    " The model has no place for gaps: fill the record or shorten the table to a stretch "
    "without them.";
inline constexpr const char* kDepthNote = ", depths in mm";
inline constexpr const char* kNumericTimeTitle = "time as given in the table, depths in mm";
}  // namespace TableTexts

// Reads the text of a table. With `needRunoff` a table without a runoff
// column is refused (an analysis); without it a runoff column is ignored.
// Dates mark the start of each record's interval and the record's time is
// the end of it, so the first record lies at one time step, as in the
// program's own example files.
TTableReadResult ReadTable(const std::string& text, bool needRunoff);
TTableReadResult ReadTable(const std::string& text, const TTableOptions& options);
// The same for a file; a file that cannot be read is refused with its name.
// The file is read line by line and no further than a table the program can
// take, so a huge file neither fills the memory nor is read to its end.
TTableReadResult ReadTableFile(const std::string& path, bool needRunoff);
TTableReadResult ReadTableFile(const std::string& path, const TTableOptions& options);
// The text of a table file as ReadTableFile reads it (no further than the
// import reads; `truncated` tells whether more follows); the message of the
// refusal when it cannot be read.
std::optional<std::string> LoadTableText(const std::string& path, std::string& text,
                                         bool& truncated);

// The first records of a table as the reader splits them, with the role and
// the unit it takes for each column, as far as it gets: what the window's
// import dialog shows.
struct TTablePreview {
  std::vector<std::string> Header;             // per column; "" without a header row
  std::vector<std::vector<std::string>> Rows;  // the first records, a field per column
  std::vector<std::string> Roles;              // per column: "time", "rain", ... or ""
  std::vector<std::string> Units;              // per column: the unit read or given, or ""
};
TTablePreview PreviewTable(const std::string& text, const TTableOptions& options,
                           std::size_t rows = 8);

// A rain table and a runoff table joined on their dates: the runoff of
// `runoffOptions`' table goes with the rain and escape of the first. Window,
// gap filling and steps are those of `options`.
TTableReadResult ReadJoinedTables(const std::string& rainText, const std::string& runoffText,
                                  const TTableOptions& options, const TTableOptions& runoffOptions);
TTableReadResult ReadJoinedTableFiles(const std::string& rainPath, const std::string& runoffPath,
                                      const TTableOptions& options,
                                      const TTableOptions& runoffOptions);

// Whether the import knows `unit` (mm, 0.1 mm, mm/h, l/s, m3/s, cfs, ...).
bool IsTableUnit(const std::string& unit);

// Text for a line of a file (a title, a file name): line ends and other
// control characters become blanks; `changed` tells whether any did.
std::string OneLineText(const std::string& text, bool& changed);

// Puts the records into the data set: NrOfData, the record arrays (none
// removed) and Title2; a record without an escape rate gets MaxEscape.
// Everything else (titles, mode, reservoir values) is the caller's.
void PutTableRecords(const TTableRecords& records, TDMTevlora& data);

// The results table of a results file (.out) as CSV: a header naming each
// column with its unit, a point as decimal separator, every record, and the
// numbers exactly as the results file holds them. Empty with `message` set
// when the file is not a readable results file.
std::string ResultsTableCsv(const std::string& resultsText, std::string& message);

// The results table of the run just made, from the run's own values at full
// precision (the shortest text that reads back as the same number): the
// titles, the parameters and, for an analysis, the fit measures in a header
// of lines starting with "#", then a column per series, with the date each
// record starts on when Title2 gives the time's origin ("days since ...").
std::string RunResultsTableCsv(const TDMTevlora& data, const TAnalysisRun& run,
                               const TPredictionRun& prediction);
