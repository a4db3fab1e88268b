// Tables in and out: measured series from delimited text (CSV with a comma,
// a semicolon or a tab) with numbers or real dates as time, and the results
// table of a results file as CSV for spreadsheets.
#pragma once

#include <optional>
#include <string>
#include <vector>

class TDMTevlora;

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
  std::size_t Count() const { return Time.size(); }
};

// The reader's answer: records, or the message that names the row and the
// column of the first fault.
struct TTableReadResult {
  std::optional<TTableRecords> Records;
  std::string Message;
};

namespace TableTexts {
inline constexpr int kMaxRecords = 1500;
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
// The same for a file; a file that cannot be read is refused with its name.
TTableReadResult ReadTableFile(const std::string& path, bool needRunoff);

// Puts the records into the data set: NrOfData, the record arrays (none
// removed) and Title2; a record without an escape rate gets MaxEscape.
// Everything else (titles, mode, reservoir values) is the caller's.
void PutTableRecords(const TTableRecords& records, TDMTevlora& data);

// The results table of a results file (.out) as CSV: a header naming each
// column with its unit, a point as decimal separator, every record, and the
// numbers exactly as the results file holds them. Empty with `message` set
// when the file is not a readable results file.
std::string ResultsTableCsv(const std::string& resultsText, std::string& message);
