#include "TableFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "TextFile.h"
#include "UDMTevlora.h"

namespace {

// ---------------------------------------------------------------------------
// Splitting the text into rows of fields

struct TRow {
  int line = 0;  // line of the file where the row starts (1 = header)
  std::vector<std::string> fields;
};

bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}

// Skips one line end (CR LF, LF or CR) at `i`.
std::size_t SkipLineEnd(const std::string& text, std::size_t i) {
  if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') return i + 2;
  return i + 1;
}

// The separator is the one the header line uses most, outside quotes.
char DetectSeparator(const std::string& text) {
  std::size_t commas = 0, semicolons = 0, tabs = 0;
  bool quoted = false;
  for (std::size_t i = 0; i < text.size() && (quoted || !IsLineEnd(text[i])); ++i) {
    const char c = text[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    commas += c == ',';
    semicolons += c == ';';
    tabs += c == '\t';
  }
  if (tabs == 0 && semicolons == 0 && commas == 0) return 0;
  if (tabs >= semicolons && tabs >= commas) return '\t';
  return semicolons >= commas ? ';' : ',';
}

// Fields with quotes ("a ""b""" is a "b"), separators and line ends inside
// quotes kept; empty lines are not rows.
std::vector<TRow> SplitRows(const std::string& text, char separator) {
  std::vector<TRow> rows;
  TRow row;
  std::string field;
  int line = 1;
  row.line = 1;
  bool quoted = false;
  auto endRow = [&](int nextLine) {
    row.fields.push_back(field);
    field.clear();
    // Spreadsheets end their tables with rows of separators alone.
    const bool empty = std::all_of(row.fields.begin(), row.fields.end(),
                                   [](const std::string& f) { return Trim(f).empty(); });
    if (!empty) rows.push_back(std::move(row));
    row = TRow{};
    row.line = nextLine;
  };
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field.push_back('"');
        i += 2;
        continue;
      }
      if (c == '"') {
        quoted = false;
      } else if (IsLineEnd(c)) {
        field.push_back('\n');
        i = SkipLineEnd(text, i);
        ++line;
        continue;
      } else {
        field.push_back(c);
      }
      ++i;
    } else if (c == '"') {
      quoted = true;
      ++i;
    } else if (c == separator) {
      row.fields.push_back(field);
      field.clear();
      ++i;
    } else if (IsLineEnd(c)) {
      i = SkipLineEnd(text, i);
      ++line;
      endRow(line);
    } else {
      field.push_back(c);
      ++i;
    }
  }
  if (!field.empty() || !row.fields.empty()) endRow(line);
  return rows;
}

// ---------------------------------------------------------------------------
// Header names

enum class TRole { Other, Time, Date, Rain, Escape, Runoff };

struct TNames {
  TRole role;
  const char* what;
  std::array<const char*, 8> names;
};

const TNames kNames[] = {
    {TRole::Time, "time", {"time", "t"}},
    {TRole::Date,
     "date",
     {"date", "datetime", "date time", "date_time", "timestamp", "time stamp"}},
    {TRole::Rain, "rain", {"rain", "rainfall", "precipitation", "precip", "p"}},
    {TRole::Escape,
     "escape",
     {"escape", "escape rate", "evaporation", "evapotranspiration", "et", "pet", "etpot", "etp"}},
    {TRole::Runoff, "runoff", {"runoff", "run-off", "discharge", "q", "flow"}},
};

// Lower case, blanks squeezed, a unit in brackets or parentheses left out:
// "Rain [mm/h]" and "RAIN (mm)" both become "rain".
std::string NormalName(const std::string& header) {
  std::string name;
  int depth = 0;
  for (char c : header) {
    if (c == '[' || c == '(') ++depth;
    if (depth == 0) name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if ((c == ']' || c == ')') && depth > 0) --depth;
  }
  name = Trim(name);
  std::string squeezed;
  for (char c : name) {
    if (c == ' ' && !squeezed.empty() && squeezed.back() == ' ') continue;
    squeezed.push_back(c);
  }
  return squeezed;
}

TRole RoleOf(const std::string& header) {
  const std::string name = NormalName(header);
  for (const auto& entry : kNames) {
    for (const char* variant : entry.names) {
      if (variant != nullptr && name == variant) return entry.role;
    }
  }
  return TRole::Other;
}

const char* RoleText(TRole role) {
  for (const auto& entry : kNames) {
    if (entry.role == role) return entry.what;
  }
  return "";
}

std::string NameList(TRole role) {
  std::string list;
  for (const auto& entry : kNames) {
    if (entry.role != role) continue;
    for (const char* variant : entry.names) {
      if (variant == nullptr) break;
      list += (list.empty() ? "" : ", ") + std::string(variant);
    }
  }
  return list;
}

// ---------------------------------------------------------------------------
// Dates

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t yearOfEra = year - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// Reads exactly `count` digits at `pos`.
bool Digits(const std::string& text, std::size_t& pos, std::size_t count, int& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const char c = text[pos + k];
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    value = value * 10 + (c - '0');
  }
  pos += count;
  return true;
}

// Reads one or two digits (days and months are often written without a
// leading zero: 1.4.2013).
bool OneOrTwoDigits(const std::string& text, std::size_t& pos, int& value) {
  if (!Digits(text, pos, 1, value)) return false;
  int second = 0;
  std::size_t next = pos;
  if (Digits(text, next, 1, second)) {
    value = value * 10 + second;
    pos = next;
  }
  return true;
}

struct TDate {
  std::int64_t seconds = 0;  // since 1970-01-01 00:00
  bool hasClock = false;
};

// YYYY-MM-DD, DD.MM.YYYY or DD/MM/YYYY, then optionally (after a blank or
// a T) HH:MM or HH:MM:SS.
std::optional<TDate> ParseDate(const std::string& text) {
  std::size_t pos = 0;
  int year = 0, month = 0, day = 0;
  if (text.size() >= 5 && text[4] == '-') {
    if (!Digits(text, pos, 4, year) || text[pos++] != '-' || !OneOrTwoDigits(text, pos, month) ||
        pos >= text.size() || text[pos++] != '-' || !OneOrTwoDigits(text, pos, day)) {
      return std::nullopt;
    }
  } else {
    if (!OneOrTwoDigits(text, pos, day) || pos >= text.size()) return std::nullopt;
    const char mark = text[pos++];
    if ((mark != '.' && mark != '/') || !OneOrTwoDigits(text, pos, month) || pos >= text.size() ||
        text[pos++] != mark || !Digits(text, pos, 4, year)) {
      return std::nullopt;
    }
  }
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  int hour = 0, minute = 0, second = 0;
  TDate date;
  if (pos < text.size()) {
    if (text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == 'T')) ++pos;
    if (!OneOrTwoDigits(text, pos, hour) || pos >= text.size() || text[pos++] != ':' ||
        !Digits(text, pos, 2, minute)) {
      return std::nullopt;
    }
    if (pos < text.size()) {
      if (text[pos++] != ':' || !Digits(text, pos, 2, second) || pos != text.size()) {
        return std::nullopt;
      }
    }
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
    date.hasClock = true;
  }
  date.seconds = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  return date;
}

std::string DateText(std::int64_t seconds, bool withClock) {
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  // Civil date from days since 1970-01-01.
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t mp = (5 * dayOfYear + 2) / 153;
  const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const long long year = yearOfEra + era * 400 + (month <= 2);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%04lld-%02d-%02d", year, month, day);
  std::string text = buffer;
  if (withClock) {
    std::snprintf(buffer, sizeof buffer, " %02d:%02d", static_cast<int>(rest / 3600),
                  static_cast<int>(rest % 3600 / 60));
    text += buffer;
    if (rest % 60 != 0) {
      std::snprintf(buffer, sizeof buffer, ":%02d", static_cast<int>(rest % 60));
      text += buffer;
    }
  }
  return text;
}

// ---------------------------------------------------------------------------
// Values

// A number with a point, or with a comma when commas do not separate fields.
std::optional<double> ParseValue(const std::string& text, bool decimalComma) {
  std::string value = text;
  if (decimalComma && value.find('.') == std::string::npos) {
    std::replace(value.begin(), value.end(), ',', '.');
  }
  return ParseReal(value);
}

std::string CellName(int row, int column, const std::string& header) {
  return "Row " + std::to_string(row) + ", column " + std::to_string(column + 1) + " \"" +
         Trim(header) + "\"";
}

TTableReadResult Refuse(std::string message) {
  return {std::nullopt, std::move(message)};
}

}  // namespace

TTableReadResult ReadTable(const std::string& input, bool needRunoff) {
  namespace T = TableTexts;
  std::string text = input;
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  const char separator = DetectSeparator(text);
  if (separator == 0) {
    return Refuse("Row 1: the header row has no columns separated by commas, semicolons or tabs.");
  }
  const bool decimalComma = separator != ',';
  const std::vector<TRow> rows = SplitRows(text, separator);
  if (rows.empty()) return Refuse("Row 1: the table is empty.");

  // The header: which column holds what.
  const std::vector<std::string>& header = rows.front().fields;
  int columnOf[6] = {-1, -1, -1, -1, -1, -1};
  for (int c = 0; c < static_cast<int>(header.size()); ++c) {
    const TRole role = RoleOf(header[c]);
    if (role == TRole::Other) continue;
    int& slot = columnOf[static_cast<int>(role)];
    if (slot >= 0) {
      return Refuse("Row 1, columns " + std::to_string(slot + 1) + " \"" + Trim(header[slot]) +
                    "\" and " + std::to_string(c + 1) + " \"" + Trim(header[c]) +
                    "\": both name the " + RoleText(role) + "; keep one of them.");
    }
    slot = c;
  }
  auto column = [&](TRole role) { return columnOf[static_cast<int>(role)]; };
  const int timeColumn = column(TRole::Date) >= 0 ? column(TRole::Date) : column(TRole::Time);
  if (timeColumn < 0) {
    return Refuse("Row 1: no time column; name it " + NameList(TRole::Time) + ", " +
                  NameList(TRole::Date) + ".");
  }
  if (column(TRole::Rain) < 0) {
    return Refuse("Row 1: no rain column; name it " + NameList(TRole::Rain) + ".");
  }
  if (needRunoff && column(TRole::Runoff) < 0) {
    return Refuse("Row 1: no runoff column, which an analysis needs; name it " +
                  NameList(TRole::Runoff) + ".");
  }
  const bool hasEscape = column(TRole::Escape) >= 0;
  const bool hasRunoff = needRunoff;
  const std::size_t count = rows.size() - 1;

  auto cell = [&](const TRow& row, int c) {
    return c < static_cast<int>(row.fields.size()) ? Trim(row.fields[c]) : std::string();
  };
  auto missing = [&](const TRow& row, int c, const std::string& value) {
    const std::string what =
        value.empty() ? "the value is missing." : "\"" + value + "\" is not a number.";
    return CellName(row.line, c, header[c]) + ": " + what + T::kGapNote;
  };

  TTableRecords records;
  std::vector<std::int64_t> seconds;
  bool fromDates = column(TRole::Date) >= 0;
  // Loggers often write the date and the clock time in two columns.
  const int clockColumn = fromDates && column(TRole::Time) >= 0 && rows.size() > 1 &&
                                  cell(rows[1], column(TRole::Time)).find(':') != std::string::npos
                              ? column(TRole::Time)
                              : -1;
  bool anyClock = false;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const TRow& row = rows[r];
    // Faults in the records before the limit are told first.
    if (r == static_cast<std::size_t>(T::kMaxRecords) + 1) {
      return Refuse(CellName(row.line, timeColumn, header[timeColumn]) + ": record " +
                    std::to_string(r) + " of " + std::to_string(count) +
                    "; the program takes at most " + std::to_string(T::kMaxRecords) +
                    " records. Cut the table into shorter stretches.");
    }
    // Time: a number, or a date.
    std::string timeText = cell(row, timeColumn);
    if (timeText.empty()) return Refuse(missing(row, timeColumn, timeText));
    if (clockColumn >= 0) {
      const std::string clock = cell(row, clockColumn);
      if (clock.empty()) return Refuse(missing(row, clockColumn, clock));
      timeText += " " + clock;
    }
    if (r == 1 && !fromDates && !ParseValue(timeText, decimalComma)) fromDates = true;
    if (fromDates) {
      const auto date = ParseDate(timeText);
      if (!date) {
        return Refuse(CellName(row.line, timeColumn, header[timeColumn]) + ": \"" + timeText +
                      "\" is not a date (YYYY-MM-DD, DD.MM.YYYY or DD/MM/YYYY, each with an "
                      "optional time HH:MM).");
      }
      anyClock = anyClock || date->hasClock;
      if (!seconds.empty() && date->seconds <= seconds.back()) {
        return Refuse(CellName(row.line, timeColumn, header[timeColumn]) + ": " +
                      DateText(date->seconds, anyClock) + " does not come after " +
                      DateText(seconds.back(), anyClock) + "; times must increase.");
      }
      seconds.push_back(date->seconds);
    } else {
      const auto time = ParseValue(timeText, decimalComma);
      if (!time) return Refuse(missing(row, timeColumn, timeText));
      if (!records.Time.empty() && *time <= records.Time.back()) {
        return Refuse(CellName(row.line, timeColumn, header[timeColumn]) + ": " + timeText +
                      " does not come after " + ShortestText(records.Time.back()) +
                      "; times must increase.");
      }
      records.Time.push_back(*time);
    }
    // Depths per time unit.
    const std::pair<TRole, std::vector<double>*> depths[] = {
        {TRole::Rain, &records.Rain},
        {TRole::Escape, hasEscape ? &records.Escape : nullptr},
        {TRole::Runoff, hasRunoff ? &records.Runoff : nullptr},
    };
    for (const auto& [role, target] : depths) {
      if (target == nullptr) continue;
      const int c = column(role);
      const std::string valueText = cell(row, c);
      const auto value = ParseValue(valueText, decimalComma);
      if (!value) return Refuse(missing(row, c, valueText));
      if (*value < 0) {
        return Refuse(CellName(row.line, c, header[c]) + ": " + valueText +
                      " is negative; rain, escape rate and runoff are depths per time unit.");
      }
      target->push_back(*value);
    }
  }
  if (count < 12) {
    return Refuse("Row " + std::to_string(rows.back().line) + ", column " +
                  std::to_string(timeColumn + 1) + " \"" + Trim(header[timeColumn]) +
                  "\": the table has " + std::to_string(count) +
                  (count == 1 ? " record" : " records") + "; the program needs at least 12.");
  }

  if (fromDates) {
    // Hours, or days when every step is a whole number of days. The dates
    // mark the start of each interval; a record's time is its end.
    bool wholeDays = true;
    for (std::size_t i = 1; i < seconds.size(); ++i) {
      wholeDays = wholeDays && (seconds[i] - seconds[i - 1]) % 86400 == 0;
    }
    const double unit = wholeDays ? 86400.0 : 3600.0;
    const std::int64_t firstStep = seconds[1] - seconds[0];
    for (const std::int64_t s : seconds) {
      records.Time.push_back(static_cast<double>(s - seconds[0] + firstStep) / unit);
    }
    const bool showClock = anyClock && !(wholeDays && seconds[0] % 86400 == 0);
    records.TimeOrigin =
        std::string(wholeDays ? "days" : "hours") + " since " + DateText(seconds[0], showClock);
  }
  return {std::move(records), {}};
}

TTableReadResult ReadTableFile(const std::string& path, bool needRunoff) {
  const auto text = LoadTextFile(path);
  if (!text) return Refuse("The table \"" + path + "\" could not be read.");
  return ReadTable(*text, needRunoff);
}

void PutTableRecords(const TTableRecords& records, TDMTevlora& data) {
  const std::size_t n = records.Count();
  data.NrOfData = static_cast<int>(n);
  data.SerialNr.resize(n);
  data.Time = records.Time;
  data.Rain = records.Rain;
  data.EscRate = records.Escape.empty() ? DataArrayR(n, data.MaxEscape) : records.Escape;
  data.Runoff = records.Runoff.empty() ? DataArrayR(n, 0.0) : records.Runoff;
  data.Removed.assign(n, false);
  for (std::size_t i = 0; i < n; ++i) data.SerialNr[i] = static_cast<int>(i + 1);
  data.Title2 = records.TimeOrigin.empty() ? TableTexts::kNumericTimeTitle
                                           : records.TimeOrigin + TableTexts::kDepthNote;
}

// ---------------------------------------------------------------------------
// Results table as CSV

std::string ResultsTableCsv(const std::string& resultsText, std::string& message) {
  std::vector<std::string> lines;
  {
    TTextReader in(resultsText);
    while (!in.Eof()) lines.push_back(in.ReadLine());
  }
  auto marker = [&](std::size_t i) { return lines[i].substr(0, 4); };
  // The time unit, when the titles say it (tables imported with dates).
  std::string t = "t";
  if (lines.size() > 3) {
    if (lines[3].rfind("hours since", 0) == 0) t = "h";
    if (lines[3].rfind("days since", 0) == 0) t = "d";
  }
  const std::string depth = "mm/" + t;

  // The table's title comes after the titles and the file name, which may
  // begin with anything.
  const std::size_t kFirstParameterLine = 5;
  std::size_t first = 0;
  std::string header;
  for (std::size_t i = kFirstParameterLine; i < lines.size() && first == 0; ++i) {
    if (marker(i) == "PRED") {
      const bool drainage = lines[i].rfind("PREDICTION drainage", 0) == 0;
      header = "serial,time [" + t + "],rain [" + depth + "],recharge [" + depth + "],alpha [1/" +
               t + "]," + (drainage ? "discharge [" : "runoff [") + depth + "]," +
               (drainage ? "head [mm]" : "storage [mm]");
      first = i + 5;
    }
  }
  for (std::size_t i = kFirstParameterLine; i < lines.size() && first == 0; ++i) {
    if (marker(i) == "RECO") {
      header = "serial,time [" + t + "],rain [" + depth + "],recharge [" + depth +
               "],measured runoff [" + depth + "],alpha [1/" + t + "],calculated runoff [" + depth +
               "]";
      first = i + 6;
    }
  }
  if (first == 0) {
    message =
        "This is not a results file of TevloraT: it has no table of an analysis or a "
        "prediction.";
    return {};
  }

  TTextWriter out;
  out.Line(header);
  std::size_t count = 0;
  for (std::size_t i = first; i < lines.size(); ++i) {
    const std::string line = Trim(lines[i]);
    if (line.empty() || line.front() == '-') break;
    std::vector<std::string> tokens;
    std::size_t pos = 0;
    while (pos < line.size()) {
      const auto start = line.find_first_not_of(' ', pos);
      if (start == std::string::npos) break;
      const auto end = std::min(line.find(' ', start), line.size());
      tokens.push_back(line.substr(start, end - start));
      pos = end;
    }
    const bool numbers = std::all_of(tokens.begin(), tokens.end(),
                                     [](const std::string& token) { return ParseReal(token); });
    if (tokens.size() != 7 || !numbers) {
      message = "Line " + std::to_string(i + 1) +
                " of the results file is not a record of seven numbers: \"" + line + "\"";
      return {};
    }
    std::string row;
    for (const auto& token : tokens) row += (row.empty() ? "" : ",") + token;
    out.Line(row);
    ++count;
  }
  if (count == 0) {
    message = "The results file has no records in its table.";
    return {};
  }
  return out.Text();
}
