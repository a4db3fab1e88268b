#include "TableFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <tuple>

#include "FitMeasures.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UPrediction.h"
#include "URainRun.h"

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
char DetectSeparator(const std::string& text, std::size_t start = 0) {
  std::size_t commas = 0, semicolons = 0, tabs = 0;
  bool quoted = false;
  for (std::size_t i = start; i < text.size() && (quoted || !IsLineEnd(text[i])); ++i) {
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
  // Blank-separated text: runs of blanks and tabs separate, leading and
  // trailing ones do not make fields.
  const bool blanks = separator == ' ';
  bool started = false;
  auto endRow = [&](int nextLine) {
    if (!blanks || started || row.fields.empty()) row.fields.push_back(field);
    field.clear();
    started = false;
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
      started = true;
      ++i;
    } else if (blanks && (c == ' ' || c == '\t')) {
      if (started) row.fields.push_back(field);
      field.clear();
      started = false;
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
      started = true;
      ++i;
    }
  }
  if (!field.empty() || !row.fields.empty()) endRow(line);
  return rows;
}

// ---------------------------------------------------------------------------
// Header names

enum class TRole { Other, Time, Date, Rain, Escape, Runoff, Hour, Year, Month, Day };
constexpr int kRoles = 10;

struct TNames {
  TRole role;
  const char* what;
  std::array<const char*, 16> names;
};

const TNames kNames[] = {
    {TRole::Time, "time", {"time", "t"}},
    {TRole::Date,
     "date",
     {"date", "datetime", "date time", "date_time", "timestamp", "time stamp", "yyyymmdd"}},
    {TRole::Rain,
     "rain",
     {"rain", "rainfall", "precipitation", "precip", "prec", "prcp", "p", "rr"}},
    {TRole::Escape,
     "escape",
     {"escape", "escape rate", "evaporation", "evapotranspiration", "et", "pet", "etp", "etpot",
      "etref", "eto", "et0", "pe", "turc", "e", "evap*"}},
    {TRole::Runoff,
     "runoff",
     {"runoff", "run-off", "discharge", "q", "flow", "streamflow", "qobs", "qmm"}},
    // The hour of a date column as a whole number (0 to 23, or 1 to 24).
    {TRole::Hour, "hour", {"hh", "hour", "hr"}},
    // A date in three columns; taken only when all three are there.
    {TRole::Year, "year", {"year", "yr", "yyyy"}},
    {TRole::Month, "month", {"month", "mnth", "mon"}},
    {TRole::Day, "day", {"day", "dy"}},
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
      if (variant == nullptr) break;
      const std::string v = variant;
      if (name == v) return entry.role;
      // "evap*": every name that begins so (evap, evaporation_pan, ...).
      if (v.back() == '*' && name.rfind(v.substr(0, v.size() - 1), 0) == 0) return entry.role;
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

// The unit of a header: the text in its last brackets or parentheses.
std::string HeaderUnit(const std::string& header) {
  const auto close = header.find_last_of("])");
  if (close == std::string::npos) return {};
  const auto open = header.find_last_of(header[close] == ']' ? '[' : '(', close);
  if (open == std::string::npos) return {};
  return Trim(header.substr(open + 1, close - open - 1));
}

// How the values of a column become the program's depths.
struct TUnit {
  enum class TKind { AsGiven, Depth, Rate, Volume } kind = TKind::AsGiven;
  double factor = 1;   // mm per unit of depth, mm or m3 per unit of rate
  double seconds = 1;  // of the rate's time (mm/h: 3600)
  std::string text;
};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (auto pos = text.find(from); pos != std::string::npos;
       pos = text.find(from, pos + to.size())) {
    text.replace(pos, from.size(), to);
  }
  return text;
}

std::optional<TUnit> ParseUnit(const std::string& text) {
  TUnit unit;
  unit.text = text;
  if (text.empty()) return unit;
  std::string u;
  for (char c : text) {
    if (c != ' ' && c != '^' && c != '*' && c != '.') {
      u.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    } else if (c == '.' && !u.empty() && std::isdigit(static_cast<unsigned char>(u.back()))) {
      u.push_back('.');
    }
  }
  u = Replaced(u, "\xC2\xB3", "3");  // m³
  for (const auto& [from, to] : {std::pair<const char*, const char*>{"hours", "h"},
                                 {"hour", "h"},
                                 {"hr", "h"},
                                 {"days", "d"},
                                 {"day", "d"},
                                 {"sec", "s"},
                                 {"inches", "in"},
                                 {"inch", "in"},
                                 {"-1", ""}}) {
    u = Replaced(u, from, to);
  }
  u = Replaced(u, "/", "");
  struct TKnown {
    const char* text;
    TUnit::TKind kind;
    double factor, seconds;
  };
  using K = TUnit::TKind;
  const TKnown known[] = {
      {"mm", K::Depth, 1, 1},          {"0.1mm", K::Depth, 0.1, 1},
      {"cm", K::Depth, 10, 1},         {"in", K::Depth, 25.4, 1},
      {"mmh", K::Rate, 1, 3600},       {"mmd", K::Rate, 1, 86400},
      {"mmmin", K::Rate, 1, 60},       {"inh", K::Rate, 25.4, 3600},
      {"ind", K::Rate, 25.4, 86400},   {"ls", K::Volume, 0.001, 1},
      {"m3s", K::Volume, 1, 1},        {"cfs", K::Volume, 0.028316846592, 1},
      {"mld", K::Volume, 1000, 86400}, {"ft3s", K::Volume, 0.028316846592, 1},
  };
  for (const auto& k : known) {
    if (u == k.text) {
      unit.kind = k.kind;
      unit.factor = k.factor;
      unit.seconds = k.seconds;
      return unit;
    }
  }
  return std::nullopt;
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

// Eight, ten or twelve digits beginning with a year of this era or the last.
bool IsCompactDate(const std::string& text) {
  return (text.size() == 8 || text.size() == 10 || text.size() == 12) &&
         std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }) &&
         (text.rfind("19", 0) == 0 || text.rfind("20", 0) == 0);
}

struct TDate {
  std::int64_t seconds = 0;  // since 1970-01-01 00:00
  bool hasClock = false;
};

// YYYY-MM-DD, DD.MM.YYYY or DD/MM/YYYY (MM/DD/YYYY with `monthFirst`), then
// optionally (after a blank or a T) HH:MM or HH:MM:SS.
std::optional<TDate> ParseDate(const std::string& text, bool monthFirst = false) {
  std::size_t pos = 0;
  int year = 0, month = 0, day = 0;
  if (IsCompactDate(text)) {
    // YYYYMMDD, YYYYMMDDHH or YYYYMMDDHHMM, the clock as the start of the
    // record's interval.
    int hour = 0, minute = 0;
    Digits(text, pos, 4, year);
    Digits(text, pos, 2, month);
    Digits(text, pos, 2, day);
    if (text.size() >= 10) Digits(text, pos, 2, hour);
    if (text.size() == 12) Digits(text, pos, 2, minute);
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59) {
      return std::nullopt;
    }
    return TDate{DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60,
                 text.size() > 8};
  }
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
    if (mark == '/' && monthFirst) std::swap(day, month);
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

TTableReadResult Refuse(std::string message) {
  return {std::nullopt, std::move(message)};
}

TTableReadResult Ask(TTableReadResult::TQuestion question, std::string message) {
  return {std::nullopt, std::move(message), question};
}

bool IsNumberOrDate(const std::string& field, bool decimalComma) {
  const std::string f = Trim(field);
  if (f.empty()) return false;
  return ParseValue(f, decimalComma) || ParseDate(f) || ParseDate(f, true);
}

// The format row of some exports under the header: "5s 15s 20d 14n".
bool IsFormatRow(const std::vector<std::string>& fields) {
  for (const auto& field : fields) {
    const std::string f = Trim(field);
    std::size_t digits = 0;
    while (digits < f.size() && std::isdigit(static_cast<unsigned char>(f[digits]))) ++digits;
    if (digits == 0 || digits + 1 != f.size() ||
        !std::isalpha(static_cast<unsigned char>(f.back())))
      return false;
  }
  return !fields.empty();
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string StepText(double seconds) {
  struct TUnitName {
    double seconds;
    const char* name;
  };
  for (const TUnitName u : {TUnitName{86400, "day"}, {3600, "hour"}, {60, "minute"}}) {
    const double count = seconds / u.seconds;
    if (count >= 1 && count == std::floor(count)) {
      return ShortestText(count) + " " + u.name + (count == 1 ? "" : "s");
    }
  }
  return ShortestText(seconds) + (seconds == 1 ? " second" : " seconds");
}

double UnitSeconds(const std::string& unit) {
  if (unit == "minutes") return 60;
  if (unit == "hours") return 3600;
  if (unit == "days") return 86400;
  return 0;
}

// The most frequent of the steps (the first of equally frequent ones).
double UsualStep(const std::vector<double>& steps) {
  double best = steps.empty() ? 0 : steps.front();
  std::size_t bestCount = 0;
  for (std::size_t i = 0; i < steps.size() && i < 200; ++i) {
    const auto count = static_cast<std::size_t>(std::count(steps.begin(), steps.end(), steps[i]));
    if (count > bestCount) {
      best = steps[i];
      bestCount = count;
    }
  }
  return best;
}

bool SameStep(double a, double b) {
  return std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

// NA, nan, an empty field, -999, -9999 and the user's own codes.
bool IsMissingText(const std::string& value, const TTableOptions& options, bool decimalComma) {
  if (value.empty()) return true;
  const std::string lower = Lower(value);
  if (lower == "na" || lower == "nan" || lower == "n/a") return true;
  const auto number = ParseValue(value, decimalComma);
  for (const auto& code : options.Missing) {
    if (value == code) return true;
    const auto given = ParseValue(code, decimalComma);
    if (number && given && *number == *given) return true;
  }
  return number && (*number == -999 || *number == -9999);
}

// One column of depths as read: raw values in the column's unit, NaN where
// a value is missing.
struct TDepthSeries {
  TRole role = TRole::Rain;
  std::string name;  // column 4 "Q"
  TUnit unit;
  std::vector<double> raw;
  std::vector<std::string> missingTexts;  // the text of each missing value
  std::vector<int> lines;                 // of each record in its table
  std::string table;                      // names the runoff table of a join
  std::string addedUpFrom;                // "mm per hour" when --step added up rates per unit
};

template <typename T>
void Pick(std::vector<T>& values, const std::vector<std::size_t>& kept) {
  if (values.empty()) return;
  std::vector<T> picked;
  picked.reserve(kept.size());
  for (std::size_t i : kept) picked.push_back(values[i]);
  values = std::move(picked);
}

// A table as read, before windows, joins, filled gaps and longer steps.
struct TSeries {
  bool fromDates = false;
  std::vector<std::int64_t> seconds;  // the start of each record, with dates
  std::vector<double> times;          // the numbers, without
  std::vector<std::string> timeTexts;
  std::vector<int> lines;
  std::string timeName;   // column 1 "date"
  std::string timeLabel;  // the time line of the report, before the step
  std::string order;      // how the dates were read
  bool anyClock = false;
  bool monthFirst = false;
  int headerLine = 1;
  std::vector<TDepthSeries> depths;
  std::vector<std::string> report;  // what comes before the columns
  std::vector<std::string> notes;   // what comes after them
  std::size_t Count() const { return lines.size(); }
  void Keep(const std::vector<std::size_t>& kept) {
    Pick(seconds, kept);
    Pick(times, kept);
    Pick(timeTexts, kept);
    Pick(lines, kept);
    for (auto& depth : depths) {
      Pick(depth.raw, kept);
      Pick(depth.missingTexts, kept);
      Pick(depth.lines, kept);
    }
  }
  std::string When(std::size_t i) const {
    return fromDates ? DateText(seconds[i], anyClock) : timeTexts[i];
  }
};

std::optional<TTableReadResult> ReadSeries(const std::string& input, const TTableOptions& options,
                                           TSeries& series, TTablePreview* preview = nullptr,
                                           std::size_t previewRows = 0) {
  namespace T = TableTexts;
  std::string text = input;
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  const char mark = options.CommentMark;
  // The separator is read from the first line that has one: the header, or
  // the description of a station before it.
  char separator = 0;
  {
    std::size_t start = 0;
    for (int line = 0; line <= T::kMaxLeadingLines && start < text.size() && separator == 0;
         ++line) {
      if (text[start] != mark) separator = DetectSeparator(text, start);
      std::size_t end = start;
      while (end < text.size() && !IsLineEnd(text[end])) ++end;
      start = end < text.size() ? SkipLineEnd(text, end) : end;
    }
  }
  if (separator == 0) {
    // No comma, semicolon or tab in the first lines: columns lined up with
    // blanks, when the first line has more than one name.
    const std::string firstLine = text.substr(0, text.find_first_of("\r\n"));
    const auto name = firstLine.find_first_not_of(' ');
    if (name != std::string::npos && firstLine.find(' ', name) != std::string::npos &&
        firstLine.find_first_not_of(' ', firstLine.find(' ', name)) != std::string::npos) {
      separator = ' ';
    }
  }
  if (separator == 0) {
    return Refuse(
        "Row 1: the header row has no columns separated by commas, semicolons, tabs or blanks. "
        "Save the "
        "table as CSV (a spreadsheet does).");
  }
  const bool decimalComma = separator != ',';
  std::vector<TRow> rows = SplitRows(text, separator);
  if (rows.empty()) return Refuse("Row 1: the table is empty.");
  std::vector<std::string>& report = series.report;

  // The header is the row above the first record; text above it (a
  // station's description, comment lines) is not read. A row of units or of
  // field formats may stand between the header and the records.
  auto firstRecord = [&](const std::vector<TRow>& rowsRead) {
    for (std::size_t r = 1; r < rowsRead.size(); ++r) {
      const auto& fields = rowsRead[r].fields;
      const auto numbers = std::count_if(fields.begin(), fields.end(), [&](const std::string& f) {
        return IsNumberOrDate(f, decimalComma);
      });
      if (fields.size() >= 2 && numbers > 0 &&
          static_cast<std::size_t>(2 * numbers) >= fields.size()) {
        return r;
      }
    }
    return rowsRead.size();
  };
  std::size_t first = firstRecord(rows);
  // A header lined up with blanks over records separated by tabs: blanks
  // and tabs both separate.
  if (separator == '\t' && first < rows.size() &&
      rows[first - 1].fields.size() < rows[first].fields.size()) {
    separator = ' ';
    rows = SplitRows(text, separator);
    first = firstRecord(rows);
  }
  // A table without a header row, its columns given by their numbers.
  const bool byNumber =
      std::any_of(options.Columns.begin(), options.Columns.end(), [](const auto& role) {
        return !role.second.empty() &&
               std::all_of(role.second.begin(), role.second.end(),
                           [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
      });
  auto isUnitsRow = [&](const std::vector<std::string>& fields) {
    if (fields.empty()) return false;
    const std::string lead = Trim(fields.front());
    if (lead == "#" || lead.empty()) return true;
    std::size_t units = 0, cells = 0;
    for (const auto& field : fields) {
      const std::string cell = Trim(field);
      if (cell.empty()) continue;
      ++cells;
      if (IsNumberOrDate(cell, decimalComma)) return false;
      const bool bracketed = cell.size() >= 2 && cell.front() == '[' && cell.back() == ']';
      if (bracketed || ParseUnit(cell)) ++units;
    }
    return cells > 0 && 2 * units >= cells;
  };
  std::size_t headerIndex = 0;
  std::optional<std::size_t> unitsIndex;
  bool headerless = false;
  if (first < rows.size()) {
    headerIndex = first - 1;
    if (headerIndex > 0 && IsFormatRow(rows[headerIndex].fields)) --headerIndex;
    const auto& candidate = rows[headerIndex].fields;
    if (headerIndex > 0 && rows[headerIndex - 1].fields.size() == candidate.size() &&
        isUnitsRow(candidate)) {
      unitsIndex = headerIndex;
      --headerIndex;
    }
  } else {
    while (headerIndex + 1 < rows.size() && rows[headerIndex].fields.front().rfind(mark, 0) == 0)
      ++headerIndex;
    first = headerIndex + 1;
  }
  std::vector<std::string> header = rows[headerIndex].fields;
  int headerLine = rows[headerIndex].line;
  if (!header.empty() && header.front().rfind(mark, 0) == 0) header.front().erase(0, 1);
  for (auto& name : header) name = Trim(name);
  {
    const auto numbers = std::count_if(header.begin(), header.end(), [&](const std::string& f) {
      return IsNumberOrDate(f, decimalComma);
    });
    if (header.size() >= 2 && static_cast<std::size_t>(2 * numbers) >= header.size()) {
      if (!byNumber) {
        if (preview) {
          preview->Header.assign(rows[headerIndex].fields.size(), std::string());
          for (std::size_t r = headerIndex; r < rows.size() && r < headerIndex + previewRows; ++r) {
            std::vector<std::string> fields;
            for (const auto& field : rows[r].fields) fields.push_back(Trim(field));
            fields.resize(preview->Header.size());
            preview->Rows.push_back(std::move(fields));
          }
          preview->Roles.assign(preview->Header.size(), std::string());
          preview->Units.assign(preview->Header.size(), std::string());
        }
        return Refuse("Row " + std::to_string(headerLine) +
                      ": the table has no header row naming its columns; add one (time or date, "
                      "rain, escape, runoff), or give the columns by number (--columns "
                      "time=1,rain=2).");
      }
      headerless = true;
      first = headerIndex;
      unitsIndex.reset();
      header.assign(rows[first].fields.size(), std::string());
    }
  }
  // Comment lines among the records are not records.
  rows.erase(std::remove_if(rows.begin() + static_cast<std::ptrdiff_t>(first), rows.end(),
                            [&](const TRow& row) {
                              return !row.fields.empty() &&
                                     Trim(row.fields.front()).rfind(mark, 0) == 0;
                            }),
             rows.end());
  const int textLines = headerless ? (first < rows.size() ? rows[first].line : 1) : headerLine;
  if (textLines > 1) {
    report.push_back("lines 1 to " + std::to_string(textLines - 1) +
                     ": text before the header, not read");
  }
  if (headerless) {
    report.push_back("no header row: the columns are taken by their numbers");
    headerLine = textLines;
  }
  series.headerLine = headerLine;
  if (preview) {
    preview->Header = header;
    for (std::size_t r = first; r < rows.size() && r < first + previewRows; ++r) {
      std::vector<std::string> fields;
      for (std::size_t c = 0; c < header.size(); ++c) {
        fields.push_back(c < rows[r].fields.size() ? Trim(rows[r].fields[c]) : std::string());
      }
      preview->Rows.push_back(std::move(fields));
    }
    preview->Roles.assign(header.size(), std::string());
    preview->Units.assign(header.size(), std::string());
  }
  if (first < rows.size()) {
    std::size_t named = 0;
    for (std::size_t c = 0; c < rows[first].fields.size(); ++c) {
      if (!Trim(rows[first].fields[c]).empty()) named = c + 1;
    }
    if (named > header.size()) {
      return Refuse("Row " + std::to_string(headerLine) + ": the header row names " +
                    std::to_string(header.size()) + (header.size() == 1 ? " column" : " columns") +
                    ", the records below it have " + std::to_string(named) +
                    ". Separate the names in the header as the values are separated.");
    }
  }
  const auto rowLine = [&](int line) { return "Row " + std::to_string(line); };
  const auto columnName = [&](int c) {
    return "column " + std::to_string(c + 1) +
           (header[c].empty() ? std::string() : " \"" + ShownValue(header[c]) + "\"");
  };
  auto cellOf = [&](const TRow& row, int c) {
    return c < static_cast<int>(row.fields.size()) ? Trim(row.fields[c]) : std::string();
  };
  const std::size_t dataEnd = rows.size();
  const std::size_t count = dataEnd - first;

  // Units: in the header's brackets, else in a row of units under it.
  auto tableUnit = [&](int c) {
    std::string unit = HeaderUnit(header[c]);
    if (unit.empty() && unitsIndex) {
      unit = cellOf(rows[*unitsIndex], c);
      if (unit.size() >= 2 && unit.front() == '[' && unit.back() == ']') {
        unit = Trim(unit.substr(1, unit.size() - 2));
      }
    }
    return unit;
  };
  auto givenUnit = [&](TRole role) -> std::optional<std::string> {
    std::optional<std::string> unit;
    for (const auto& [roleName, text] : options.Units) {
      if (roleName == RoleText(role)) unit = text;
    }
    return unit;
  };
  auto isDepthUnit = [](const std::string& unit) {
    const auto parsed = ParseUnit(unit);
    return !unit.empty() && parsed && parsed->kind != TUnit::TKind::Volume;
  };

  // Which column holds what: the user's mapping first, then the names.
  const int columns = static_cast<int>(header.size());
  std::vector<TRole> roleOf(columns, TRole::Other);
  for (int c = 0; c < columns; ++c) {
    roleOf[c] = RoleOf(header[c]);
    // RH is the rain where its unit says so (a weather service's hourly sum);
    // elsewhere it is the humidity.
    if (NormalName(header[c]) == "rh" &&
        (isDepthUnit(tableUnit(c)) || isDepthUnit(givenUnit(TRole::Rain).value_or("")))) {
      roleOf[c] = TRole::Rain;
    }
  }
  int columnOf[kRoles];
  std::fill(std::begin(columnOf), std::end(columnOf), -1);
  auto slot = [&](TRole role) -> int& { return columnOf[static_cast<int>(role)]; };
  std::vector<bool> given(kRoles, false);
  std::map<int, std::string> givenUnits;
  for (const auto& [roleName, name] : options.Columns) {
    TRole role = TRole::Other;
    for (TRole r : {TRole::Time, TRole::Rain, TRole::Escape, TRole::Runoff, TRole::Year,
                    TRole::Month, TRole::Day, TRole::Hour}) {
      if (roleName == RoleText(r)) role = r;
    }
    if (role == TRole::Other) {
      return Refuse("--columns " + roleName + "=" + name +
                    ": the roles are time, rain, escape, runoff, year, month, day and hour.");
    }
    // NAME[UNIT] gives the unit of a header that has none ("RH[0.1 mm]").
    auto find = [&](const std::string& wanted) {
      const std::string w = Lower(Trim(wanted));
      for (int c = 0; c < columns; ++c) {
        if (!header[c].empty() && (Lower(header[c]) == w || NormalName(header[c]) == w)) return c;
      }
      if (!w.empty() && w.size() < 4 && std::all_of(w.begin(), w.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) != 0;
          })) {
        const int number = std::stoi(w);
        if (number >= 1 && number <= columns) return number - 1;
      }
      return -1;
    };
    int found = find(name);
    const auto open = name.rfind('[');
    if (found < 0 && open != std::string::npos && !name.empty() && name.back() == ']') {
      found = find(name.substr(0, open));
      if (found >= 0) givenUnits[found] = Trim(name.substr(open + 1, name.size() - open - 2));
    }
    if (found < 0) {
      std::string list;
      for (int c = 0; c < columns; ++c) list += (c ? ", \"" : "\"") + header[c] + "\"";
      return Refuse(
          "--columns " + roleName + "=" + name + ": the table has no such column; its " +
          (headerless ? "columns are 1 to " + std::to_string(columns) : "columns are " + list) +
          ".");
    }
    slot(role) = found;
    given[static_cast<int>(role)] = true;
  }
  auto unitText = [&](int c, TRole role) {
    if (givenUnits.count(c)) return givenUnits[c];
    if (const auto unit = givenUnit(role)) return *unit;
    return tableUnit(c);
  };
  // A date in three columns needs all three.
  auto has = [&](TRole role) {
    return slot(role) >= 0 || std::find(roleOf.begin(), roleOf.end(), role) != roleOf.end();
  };
  const bool threeColumns = has(TRole::Year) && has(TRole::Month) && has(TRole::Day);
  if (!threeColumns) {
    for (auto& role : roleOf) {
      if (role == TRole::Year || role == TRole::Month || role == TRole::Day) role = TRole::Other;
    }
  }
  std::vector<int> unknown;  // columns whose names say nothing
  for (int c = 0; c < columns; ++c) {
    bool taken = false;
    for (int s : columnOf) taken = taken || s == c;
    // A column of text (a station name, a quality flag) cannot be meant, nor
    // one whose unit is no depth or rate (°C, W/m2).
    const bool numbers = first < rows.size() && ParseValue(cellOf(rows[first], c), decimalComma);
    const std::string unit = tableUnit(c);
    const bool otherUnit = !unit.empty() && !ParseUnit(unit);
    if (roleOf[c] == TRole::Other && !taken && numbers && !otherUnit) unknown.push_back(c);
  }
  // A one-letter name (T, P, Q, E) is taken only when no other column could
  // be meant and its values could be what the name says.
  auto plausible = [&](TRole role, int c, std::string& why) {
    double previous = 0, largest = 0;
    for (std::size_t r = first; r < dataEnd; ++r) {
      const std::string v = cellOf(rows[r], c);
      if (IsMissingText(v, options, decimalComma)) continue;
      const auto value = ParseValue(v, decimalComma);
      // Gaps and dates are told later, row by row.
      if (!value) continue;
      if (role == TRole::Time && r > first && *value <= previous) {
        why = "its values do not increase (row " + std::to_string(rows[r].line) + ")";
        return false;
      }
      if (role == TRole::Rain && *value < 0 && *value != -1) {
        why = "it holds negative values (row " + std::to_string(rows[r].line) + ")";
        return false;
      }
      previous = *value;
      largest = std::max(largest, std::fabs(*value));
    }
    const double limit = role == TRole::Rain ? 500 : role == TRole::Escape ? 50 : 0;
    if (limit > 0 && largest > limit) {
      why = "values up to " + ShortestText(largest) + " are not those of the " + RoleText(role);
      return false;
    }
    return true;
  };
  if (!has(TRole::Date) && !has(TRole::Time) && !threeColumns) {
    return Refuse("Row " + std::to_string(headerLine) + ": no time column; name it " +
                  NameList(TRole::Time) + ", " + NameList(TRole::Date) +
                  " (or year, month and day), or give --columns time=NAME.");
  }
  if (options.NeedRain && !has(TRole::Rain)) {
    return Refuse("Row " + std::to_string(headerLine) + ": no rain column; name it " +
                  NameList(TRole::Rain) + ", or give --columns rain=NAME." +
                  (has(TRole::Runoff) ? " A table of runoff alone cannot be imported; join it "
                                        "to a rain table (--runoff)."
                                      : ""));
  }
  if (options.NeedRunoff && !has(TRole::Runoff)) {
    return Refuse("Row " + std::to_string(headerLine) +
                  ": no runoff column, which an analysis needs; name it " +
                  NameList(TRole::Runoff) + ", or give --columns runoff=NAME.");
  }
  std::vector<std::string> unusedNotes;
  for (TRole role : {TRole::Date, TRole::Hour, TRole::Year, TRole::Month, TRole::Day, TRole::Time,
                     TRole::Rain, TRole::Escape, TRole::Runoff}) {
    if (role == TRole::Runoff && !options.NeedRunoff) continue;
    if (role == TRole::Rain && !options.NeedRain) continue;
    if (given[static_cast<int>(role)]) continue;
    // The user's time column, dates or numbers, is the only one.
    if ((role == TRole::Date || role == TRole::Year || role == TRole::Month ||
         role == TRole::Day) &&
        given[static_cast<int>(TRole::Time)])
      continue;
    std::vector<int> full, single;
    for (int c = 0; c < columns; ++c) {
      if (roleOf[c] != role) continue;
      bool taken = false;
      for (int s : columnOf) taken = taken || s == c;
      if (taken) continue;
      (NormalName(header[c]).size() == 1 ? single : full).push_back(c);
    }
    if (full.size() > 1) {
      return Refuse("Row " + std::to_string(headerLine) + ", columns " +
                    std::to_string(full[0] + 1) + " \"" + header[full[0]] + "\" and " +
                    std::to_string(full[1] + 1) + " \"" + header[full[1]] + "\": both name the " +
                    RoleText(role) + "; keep one of them, or say which with --columns " +
                    RoleText(role == TRole::Date ? TRole::Time : role) + "=NAME.");
    }
    if (full.size() == 1) {
      slot(role) = full[0];
      for (int c : single) {
        unusedNotes.push_back(columnName(c) + " (named like the " + std::string(RoleText(role)) +
                              ", but " + columnName(full[0]) + " is taken)");
      }
      continue;
    }
    if (single.empty()) continue;
    // The clock time beside a date column is not a one-letter question.
    if (role == TRole::Time && (slot(TRole::Date) >= 0 || slot(TRole::Year) >= 0)) continue;
    const char* what = RoleText(role);
    std::string why;
    std::string others;
    for (std::size_t k = 0; k < unknown.size() && k < 12; ++k) {
      others += (k ? ", " : "") + columnName(unknown[k]);
    }
    if (unknown.size() > 12) others += " and " + std::to_string(unknown.size() - 12) + " more";
    std::string fault;
    if (single.size() > 1) {
      fault = columnName(single[0]) + " and " + columnName(single[1]) +
              " are both named like the " + what;
    } else if (!unknown.empty()) {
      fault = columnName(single[0]) + " has a one-letter name, and " + others +
              " could also be the " + what;
    } else if (!plausible(role, single[0], why)) {
      fault = columnName(single[0]) + " has a one-letter name, and " + why;
    }
    if (!fault.empty()) {
      return Refuse("Row " + std::to_string(headerLine) + ": " + fault +
                    ". Say which column holds the " + what + " with --columns " + what +
                    "=NAME, or rename it in the table (" +
                    NameList(role == TRole::Date ? TRole::Time : role) + ").");
    }
    slot(role) = single[0];
  }
  const bool ymd = slot(TRole::Date) < 0 && !given[static_cast<int>(TRole::Time)] &&
                   slot(TRole::Year) >= 0 && slot(TRole::Month) >= 0 && slot(TRole::Day) >= 0;
  const int dateColumn = ymd ? slot(TRole::Year) : slot(TRole::Date);
  const int timeColumn = dateColumn >= 0 ? dateColumn : slot(TRole::Time);
  const bool hasEscape = slot(TRole::Escape) >= 0;
  series.timeName = columnName(timeColumn);
  if (preview) {
    for (int c = 0; c < columns; ++c) preview->Units[c] = tableUnit(c);
    for (TRole role : {TRole::Year, TRole::Month, TRole::Day, TRole::Hour, TRole::Rain,
                       TRole::Escape, TRole::Runoff}) {
      const int c = slot(role);
      if (c < 0 || (!ymd && (role == TRole::Year || role == TRole::Month || role == TRole::Day)))
        continue;
      if (role == TRole::Rain && !options.NeedRain) continue;
      if (role == TRole::Runoff && !options.NeedRunoff) continue;
      preview->Roles[c] = RoleText(role);
      if (role == TRole::Rain || role == TRole::Escape || role == TRole::Runoff) {
        preview->Units[c] = unitText(c, role);
      }
    }
    if (timeColumn >= 0 && !ymd) preview->Roles[timeColumn] = "time";
  }

  std::vector<TDepthSeries>& depths = series.depths;
  for (const auto& [role, wanted] : {std::pair<TRole, bool>{TRole::Rain, options.NeedRain},
                                     {TRole::Escape, hasEscape},
                                     {TRole::Runoff, options.NeedRunoff}}) {
    if (!wanted) continue;
    const int c = slot(role);
    const std::string text = unitText(c, role);
    const auto unit = ParseUnit(text);
    if (!unit) {
      return Refuse(rowLine(unitsIndex && HeaderUnit(header[c]).empty() ? rows[*unitsIndex].line
                                                                        : headerLine) +
                    ", " + columnName(c) + ": the unit \"" + ShownValue(text) +
                    "\" is not one the import knows (mm, 0.1 mm, cm, in, mm/h, mm/d, l/s, m3/s, "
                    "cfs, ML/d). Give the values in one of them.");
    }
    if (unit->kind == TUnit::TKind::Volume && !options.AreaKm2) {
      return Ask(TTableReadResult::TQuestion::Area,
                 rowLine(headerLine) + ", " + columnName(c) + ": \"" + ShownValue(text) +
                     "\" is a volume per time; give the catchment area in km2 (--area KM2) to "
                     "turn it into mm.");
    }
    TDepthSeries depth;
    depth.role = role;
    depth.name = columnName(c);
    depth.unit = *unit;
    depths.push_back(std::move(depth));
  }
  std::vector<int> depthColumns;
  for (const auto& depth : depths) depthColumns.push_back(slot(depth.role));

  auto missing = [&](const TRow& row, int c, const std::string& value) {
    const std::string what =
        value.empty() ? "the value is missing." : "\"" + ShownValue(value) + "\" is not a number.";
    return rowLine(row.line) + ", " + columnName(c) + ": " + what + T::kGapNote;
  };

  // Loggers often write the date and the clock time in two columns.
  const int clockColumn =
      dateColumn >= 0 && slot(TRole::Time) >= 0 && first < dataEnd &&
              cellOf(rows[first], slot(TRole::Time)).find(':') != std::string::npos
          ? slot(TRole::Time)
          : -1;
  int hourColumn = dateColumn >= 0 && clockColumn < 0 ? slot(TRole::Hour) : -1;
  // The same hour in every record of a daily table is a stamp, not a time.
  if (hourColumn >= 0 && count > 1) {
    const std::string firstHour = cellOf(rows[first], hourColumn);
    bool same = true;
    for (std::size_t r = first + 1; r < dataEnd && same; ++r) {
      same = cellOf(rows[r], hourColumn) == firstHour;
    }
    if (same) {
      unusedNotes.push_back(columnName(hourColumn) + " (\"" + ShownValue(firstHour) +
                            "\" in every record: no hour of the day)");
      hourColumn = -1;
    }
  }
  {
    std::string unused;
    for (int c = 0; c < columns; ++c) {
      bool taken = c == clockColumn || c == hourColumn || c == timeColumn;
      for (const auto& depth : depths) taken = taken || slot(depth.role) == c;
      if (ymd) taken = taken || c == slot(TRole::Month) || c == slot(TRole::Day);
      if (!taken && !header[c].empty()) unused += (unused.empty() ? "" : ", ") + columnName(c);
    }
    if (!unused.empty()) series.notes.push_back("not used: " + unused);
    for (const auto& note : unusedNotes) series.notes.push_back("note: " + note);
  }
  if (options.Truncated) {
    return Refuse(rowLine(rows.back().line) + ", " + columnName(timeColumn) +
                  ": the table goes on beyond " + std::to_string(T::kMaxReadRecords) +
                  " records, more than the import reads. Cut it into shorter stretches.");
  }
  std::vector<int> hours;
  std::vector<std::string>& timeTexts = series.timeTexts;
  int traces = 0;
  for (std::size_t r = first; r < dataEnd; ++r) {
    const TRow& row = rows[r];
    std::string timeText = cellOf(row, timeColumn);
    if (ymd) {
      // Year, month and day as numbers: an ISO date.
      int parts[3] = {0, 0, 0};
      const TRole roles[3] = {TRole::Year, TRole::Month, TRole::Day};
      for (int k = 0; k < 3; ++k) {
        const std::string part = cellOf(row, slot(roles[k]));
        const auto value = ParseValue(part, false);
        if (!value || *value != std::floor(*value) || *value < 0 || *value > 9999) {
          return Refuse(rowLine(row.line) + ", " + columnName(slot(roles[k])) + ": \"" +
                        ShownValue(part) + "\" is not a " + RoleText(roles[k]) + ".");
        }
        parts[k] = static_cast<int>(*value);
      }
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", parts[0], parts[1], parts[2]);
      timeText = buffer;
    }
    if (timeText.empty()) return Refuse(missing(row, timeColumn, timeText));
    if (clockColumn >= 0) {
      const std::string clock = cellOf(row, clockColumn);
      if (clock.empty()) return Refuse(missing(row, clockColumn, clock));
      timeText += " " + clock;
    }
    if (hourColumn >= 0) {
      const std::string hour = cellOf(row, hourColumn);
      const auto value = ParseValue(hour, false);
      if (!value || *value < 0 || *value > 24 || *value != std::floor(*value)) {
        return Refuse(rowLine(row.line) + ", " + columnName(hourColumn) + ": \"" + hour +
                      "\" is not an hour (0 to 23, or 1 to 24).");
      }
      hours.push_back(static_cast<int>(*value));
    }
    timeTexts.push_back(timeText);
    series.lines.push_back(row.line);
    for (std::size_t k = 0; k < depths.size(); ++k) {
      TDepthSeries& depth = depths[k];
      const int c = depthColumns[k];
      const std::string valueText = cellOf(row, c);
      depth.lines.push_back(row.line);
      if (IsMissingText(valueText, options, decimalComma)) {
        depth.raw.push_back(std::nan(""));
        depth.missingTexts.push_back(valueText);
        continue;
      }
      auto value = ParseValue(valueText, decimalComma);
      if (!value) return Refuse(missing(row, c, valueText));
      // Stations that count tenths of a millimetre write -1 for a trace.
      if (*value == -1 && depth.role == TRole::Rain && depth.unit.kind == TUnit::TKind::Depth &&
          depth.unit.factor == 0.1) {
        value = 0.0;
        ++traces;
      }
      // A negative escape rate is water added to the rain, and the run sets
      // its own floor under the runoff; only rain cannot be negative.
      if (*value < 0 && depth.role == TRole::Rain) {
        return Refuse(rowLine(row.line) + ", " + columnName(c) + ": " + valueText +
                      " is negative; rain is a depth. Replace negative values (some stations "
                      "write -1 for a trace of rain) by 0.");
      }
      depth.raw.push_back(*value);
      depth.missingTexts.emplace_back();
    }
  }
  if (traces > 0) {
    series.notes.push_back("note: " + std::to_string(traces) +
                           (traces == 1 ? " rain value" : " rain values") +
                           " of -1 (a trace, less than 0.05 mm) taken as 0");
  }
  if (count < 12) {
    return Refuse(rowLine(rows.back().line) + ", " + columnName(timeColumn) + ": the table has " +
                  std::to_string(count) + (count == 1 ? " record" : " records") +
                  "; the program needs at least 12.");
  }
  auto lineOf = [&](std::size_t i) { return rows[first + i].line; };

  std::string label = columnName(timeColumn);
  if (ymd) {
    label += " with the month and day of " + columnName(slot(TRole::Month)) + " and " +
             columnName(slot(TRole::Day));
  }
  if (clockColumn >= 0) label += " with the clock of " + columnName(clockColumn);
  if (hourColumn >= 0) {
    label += " with the hour of " + columnName(hourColumn) +
             (hours.empty() || *std::max_element(hours.begin(), hours.end()) == 24
                  ? " (1 to 24: the hour that ends then)"
                  : " (0 to 23: the hour that begins then)");
  }
  series.timeLabel = label;

  // Time: numbers as they stand, or dates.
  // In a column named as a date, 20121001 and 2012100100 are dates.
  series.fromDates = ymd || !ParseValue(timeTexts[0], decimalComma).has_value() ||
                     (dateColumn >= 0 && IsCompactDate(timeTexts[0]));
  if (!series.fromDates) {
    for (std::size_t i = 0; i < count; ++i) {
      const auto time = ParseValue(timeTexts[i], decimalComma);
      if (!time) return Refuse(missing(rows[first + i], timeColumn, timeTexts[i]));
      if (i > 0 && *time <= series.times.back()) {
        return Refuse(rowLine(lineOf(i)) + ", " + columnName(timeColumn) + ": " + timeTexts[i] +
                      " does not come after " + ShortestText(series.times.back()) +
                      "; times must increase.");
      }
      series.times.push_back(*time);
    }
    return std::nullopt;
  }
  const bool slashes = timeTexts[0].find('/') != std::string::npos;
  using TOrder = TTableOptions::TDateOrder;
  struct TReading {
    bool monthFirst;
    std::vector<std::int64_t> seconds;
    std::size_t failed = 0;  // index of the first date that does not parse, or count
    bool anyClock = false;
    bool regular = true;
  };
  // Hours 1 to 24 name the hour that ends then; 0 to 23 the one that
  // begins.
  const bool hourEnds = !hours.empty() && *std::max_element(hours.begin(), hours.end()) == 24;
  if (!hours.empty() && hourEnds && *std::min_element(hours.begin(), hours.end()) == 0) {
    return Refuse(rowLine(headerLine) + ", " + columnName(hourColumn) +
                  ": hours from 0 to 24; an hour is either the one that begins (0 to 23) or "
                  "the one that ends (1 to 24).");
  }
  auto read = [&](bool monthFirst) {
    TReading reading{monthFirst, {}, count, false, true};
    for (std::size_t i = 0; i < count; ++i) {
      const auto date = ParseDate(timeTexts[i], monthFirst);
      if (!date) {
        reading.failed = i;
        return reading;
      }
      reading.anyClock = reading.anyClock || date->hasClock || !hours.empty();
      reading.seconds.push_back(date->seconds +
                                (hours.empty() ? 0 : (hours[i] - (hourEnds ? 1 : 0)) * 3600));
    }
    for (std::size_t i = 2; i < count; ++i) {
      reading.regular = reading.regular && reading.seconds[i] - reading.seconds[i - 1] ==
                                               reading.seconds[1] - reading.seconds[0];
    }
    return reading;
  };
  std::vector<TReading> readings;
  if (!slashes || options.DateOrder != TOrder::MonthFirst) readings.push_back(read(false));
  if (slashes && options.DateOrder != TOrder::DayFirst) readings.push_back(read(true));
  std::vector<TReading> parsed;
  for (const auto& reading : readings) {
    if (reading.failed == count) parsed.push_back(reading);
  }
  if (parsed.empty()) {
    const std::size_t i = readings.front().failed;
    return Refuse(rowLine(lineOf(i)) + ", " + columnName(timeColumn) + ": \"" + timeTexts[i] +
                  "\" is not a date (YYYY-MM-DD, DD.MM.YYYY or DD/MM/YYYY, each with an "
                  "optional time HH:MM, or YYYYMMDD[HH[MM]]" +
                  std::string(slashes ? "; MM/DD/YYYY with --month-first" : "") + ").");
  }
  TReading chosen = parsed.front();
  std::string order = slashes                                       ? ""
                      : timeTexts[0].find('.') != std::string::npos ? ", day first (DD.MM.YYYY)"
                                                                    : "";
  if (parsed.size() == 2) {
    if (parsed[0].regular == parsed[1].regular) {
      return Ask(TTableReadResult::TQuestion::DateOrder,
                 rowLine(lineOf(0)) + ", " + columnName(timeColumn) + ": \"" + timeTexts[0] +
                     "\" and the dates after it can be read day first or month " +
                     "first, and the steps are " + (parsed[0].regular ? "regular" : "irregular") +
                     " either way. Say which with --day-first or --month-first.");
    }
    chosen = parsed[0].regular ? parsed[0] : parsed[1];
    order =
        std::string(chosen.monthFirst ? ", month first (MM/DD/YYYY)" : ", day first (DD/MM/YYYY)") +
        ": the other order gives irregular steps";
  } else if (slashes) {
    order =
        std::string(chosen.monthFirst ? ", month first (MM/DD/YYYY)" : ", day first (DD/MM/YYYY)") +
        (options.DateOrder == TOrder::Find ? ": the other order gives no dates" : " as asked");
  }
  for (std::size_t i = 1; i < count; ++i) {
    if (chosen.seconds[i] <= chosen.seconds[i - 1]) {
      return Refuse(rowLine(lineOf(i)) + ", " + columnName(timeColumn) + ": " +
                    DateText(chosen.seconds[i], chosen.anyClock) + " does not come after " +
                    DateText(chosen.seconds[i - 1], chosen.anyClock) + "; times must increase.");
    }
  }
  series.seconds = std::move(chosen.seconds);
  series.anyClock = chosen.anyClock;
  series.monthFirst = chosen.monthFirst;
  series.order = order;
  return std::nullopt;
}

// "rows 2 to 366, 400, 512 to 514 and 3 more stretches"
std::string RowList(const std::vector<int>& rowLines) {
  std::string list;
  std::size_t stretches = 0, i = 0;
  while (i < rowLines.size()) {
    std::size_t j = i;
    while (j + 1 < rowLines.size() && rowLines[j + 1] == rowLines[j] + 1) ++j;
    if (stretches < 4) {
      list += (list.empty() ? "" : ", ") + std::to_string(rowLines[i]) +
              (j > i ? " to " + std::to_string(rowLines[j]) : std::string());
    }
    ++stretches;
    i = j + 1;
  }
  if (stretches > 4) list += " and " + std::to_string(stretches - 4) + " more stretches";
  return list;
}

// The records from .. to, both included; a date without a clock as TO takes
// its whole day.
std::optional<TTableReadResult> ApplyWindow(TSeries& series, const TTableOptions& options) {
  if (!options.Window) return std::nullopt;
  const auto& [fromText, toText] = *options.Window;
  double from = 0, to = 0;
  const std::string range = series.Count() == 0
                                ? std::string()
                                : " (the table runs from " + series.When(0) + " to " +
                                      series.When(series.Count() - 1) + ")";
  if (series.fromDates) {
    const auto a = ParseDate(Trim(fromText), series.monthFirst);
    const auto b = ParseDate(Trim(toText), series.monthFirst);
    if (!a || !b) {
      return Refuse("--window " + fromText + " " + toText + ": \"" + (a ? toText : fromText) +
                    "\" is not a date (YYYY-MM-DD, with an optional time HH:MM).");
    }
    from = static_cast<double>(a->seconds);
    to = static_cast<double>(b->seconds + (b->hasClock ? 0 : 86400 - 1));
  } else {
    const auto a = ParseReal(Trim(fromText)), b = ParseReal(Trim(toText));
    if (!a || !b) {
      return Refuse("--window " + fromText + " " + toText +
                    ": the table's time is numbers; give the window as two of them.");
    }
    from = *a;
    to = *b;
  }
  std::vector<std::size_t> kept;
  for (std::size_t i = 0; i < series.Count(); ++i) {
    const double t = series.fromDates ? static_cast<double>(series.seconds[i]) : series.times[i];
    if (t >= from && t <= to) kept.push_back(i);
  }
  if (kept.empty()) {
    return Refuse("--window " + fromText + " " + toText + ": no record lies in it" + range + ".");
  }
  const std::size_t before = series.Count();
  series.report.push_back("window " + Trim(fromText) + " to " + Trim(toText) + ": records " +
                          std::to_string(kept.front() + 1) + " to " +
                          std::to_string(kept.back() + 1) + " of " + std::to_string(before) +
                          " (rows " + std::to_string(series.lines[kept.front()]) + " to " +
                          std::to_string(series.lines[kept.back()]) + ")");
  series.Keep(kept);
  return std::nullopt;
}

// Runs of at most `most` missing values: rain 0, the others linearly
// between the values around the run (runs at the ends stay missing).
std::string FillGaps(TDepthSeries& depth, int most) {
  std::size_t filled = 0;
  const std::size_t n = depth.raw.size();
  std::size_t i = 0;
  while (i < n) {
    if (!std::isnan(depth.raw[i])) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < n && std::isnan(depth.raw[j])) ++j;
    const std::size_t run = j - i;
    if (run <= static_cast<std::size_t>(most)) {
      if (depth.role == TRole::Rain) {
        for (std::size_t k = i; k < j; ++k) depth.raw[k] = 0;
        filled += run;
      } else if (i > 0 && j < n) {
        const double a = depth.raw[i - 1], b = depth.raw[j];
        for (std::size_t k = i; k < j; ++k) {
          depth.raw[k] =
              a + (b - a) * static_cast<double>(k - i + 1) / static_cast<double>(run + 1);
        }
        filled += run;
      }
    }
    if (std::isnan(depth.raw[i]) == false) {
      for (std::size_t k = i; k < j; ++k) depth.missingTexts[k].clear();
    }
    i = j;
  }
  if (filled == 0) return {};
  return std::to_string(filled) + " " + RoleText(depth.role) +
         (filled == 1 ? " value" : " values") +
         (depth.role == TRole::Rain ? " (0)" : " (linearly)");
}

// Adds up whole periods of `hours` hours: depths are added, rates averaged;
// incomplete periods at the ends are dropped.
std::optional<TTableReadResult> AddUpSteps(TSeries& series, const TTableOptions& options,
                                           double oldUnitSeconds, double newUnitSeconds) {
  const std::int64_t period = static_cast<std::int64_t>(options.StepHours) * 3600;
  const std::string stepName = options.StepHours == 24 ? "day" : StepText(double(period));
  if (!series.fromDates) {
    return Refuse("--step: the table's time is numbers; records are added up by their dates.");
  }
  const std::int64_t step = series.seconds[1] - series.seconds[0];
  if (step >= period || period % step != 0) {
    return Refuse("Row " + std::to_string(series.lines[1]) + ", " + series.timeName +
                  ": the table's step is " + StepText(double(step)) + "; --step " +
                  std::to_string(options.StepHours) +
                  " hours needs a whole number of them in each.");
  }
  const std::size_t per = static_cast<std::size_t>(period / step);
  auto periodOf = [&](std::int64_t seconds) {
    return seconds >= 0 ? seconds / period : (seconds - period + 1) / period;
  };
  std::vector<std::size_t> starts;  // first record of each whole period
  std::vector<std::string> dropped;
  std::size_t i = 0;
  const std::size_t n = series.Count();
  while (i < n) {
    std::size_t j = i;
    while (j < n && periodOf(series.seconds[j]) == periodOf(series.seconds[i])) ++j;
    if (j - i == per) {
      starts.push_back(i);
    } else {
      dropped.push_back(DateText(series.seconds[i], true) + " to " +
                        DateText(series.seconds[j - 1], true) + " (" + std::to_string(j - i) +
                        " of " + std::to_string(per) + " records)");
    }
    i = j;
  }
  if (starts.empty()) {
    return Refuse(series.timeName + ": no whole " + stepName + " in the table's records.");
  }
  TSeries added = series;
  added.Keep(starts);
  for (std::size_t s = 0; s < starts.size(); ++s) {
    added.seconds[s] = periodOf(series.seconds[starts[s]]) * period;
  }
  for (std::size_t k = 0; k < series.depths.size(); ++k) {
    const TDepthSeries& depth = series.depths[k];
    using K = TUnit::TKind;
    const bool rate = depth.unit.kind == K::Rate || depth.unit.kind == K::Volume;
    const bool escapePerUnit = depth.role == TRole::Escape && depth.unit.kind == K::AsGiven;
    if (escapePerUnit && newUnitSeconds != oldUnitSeconds) {
      added.depths[k].addedUpFrom = oldUnitSeconds == 86400  ? "mm per day"
                                    : oldUnitSeconds == 3600 ? "mm per hour"
                                                             : "mm per " + StepText(oldUnitSeconds);
    }
    for (std::size_t s = 0; s < starts.size(); ++s) {
      double sum = 0;
      for (std::size_t r = starts[s]; r < starts[s] + per; ++r) sum += depth.raw[r];
      const double mean = sum / static_cast<double>(per);
      added.depths[k].raw[s] = rate            ? mean
                               : escapePerUnit ? mean * newUnitSeconds / oldUnitSeconds
                                               : sum;
    }
  }
  added.report.push_back(
      "step: " + std::to_string(per) + " records of " + StepText(double(step)) +
      " added up to each " + stepName + " (depths added, rates averaged)" +
      (dropped.empty() ? std::string() : "; dropped, not a whole " + stepName + ": "));
  for (std::size_t d = 0; d < dropped.size(); ++d) {
    added.report.back() += (d ? ", " : "") + dropped[d];
  }
  added.anyClock = added.anyClock && period % 86400 != 0;
  series = std::move(added);
  return std::nullopt;
}

TTableReadResult Finish(TSeries series, const TTableOptions& options, bool windowDone) {
  namespace T = TableTexts;
  if (!windowDone) {
    if (auto refusal = ApplyWindow(series, options)) return *refusal;
  }
  // Gaps: filled where the user allows it, refused otherwise.
  if (options.FillGaps > 0) {
    std::string filled;
    for (auto& depth : series.depths) {
      const std::string one = FillGaps(depth, options.FillGaps);
      if (!one.empty()) filled += (filled.empty() ? "" : ", ") + one;
    }
    series.report.push_back(
        "--fill-gaps " + std::to_string(options.FillGaps) + ": " +
        (filled.empty() ? "no run of missing values short enough to fill" : "filled " + filled));
  }
  for (std::size_t i = 0; i < series.Count(); ++i) {
    for (const auto& depth : series.depths) {
      if (!std::isnan(depth.raw[i])) continue;
      std::vector<int> gapRows;
      for (std::size_t k = 0; k < depth.raw.size(); ++k) {
        if (std::isnan(depth.raw[k])) gapRows.push_back(depth.lines[k]);
      }
      const std::string& text = depth.missingTexts[i];
      const std::string what = text.empty() ? "the value is missing"
                                            : "\"" + ShownValue(text) + "\" marks a missing value";
      std::string message =
          depth.table + "Row " + std::to_string(depth.lines[i]) + ", " + depth.name + ": " + what;
      if (gapRows.size() > 1) {
        message += " (" + std::to_string(gapRows.size()) + " in this column: rows " +
                   RowList(gapRows) + ")";
      }
      return Refuse(message + "." + T::kGapNote +
                    " Take a stretch with --window FROM TO, or fill short runs with --fill-gaps "
                    "K.");
    }
  }
  const std::size_t read = series.Count();
  if (read < 2) {
    return Refuse("Row " +
                  std::to_string(series.lines.empty() ? series.headerLine : series.lines.back()) +
                  ", " + series.timeName + ": the table has " + std::to_string(read) +
                  (read == 1 ? " record" : " records") + "; the program needs at least 12.");
  }

  // The step: the same throughout, unless the user takes them as they are.
  const double wantedUnit = UnitSeconds(options.TimeUnit);
  const auto regularityRefusal = [&]() -> std::optional<TTableReadResult> {
    const std::size_t count = series.Count();
    if (series.fromDates) {
      std::vector<double> steps;
      for (std::size_t i = 1; i < count; ++i) {
        steps.push_back(static_cast<double>(series.seconds[i] - series.seconds[i - 1]));
      }
      const double usual = UsualStep(steps);
      if (options.Irregular) return std::nullopt;
      for (std::size_t i = 1; i < count; ++i) {
        if (steps[i - 1] == usual) continue;
        const double ratio = steps[i - 1] / usual;
        const std::string guess =
            ratio == std::floor(ratio)
                ? (ratio == 2 ? "one record missing?"
                              : ShortestText(ratio - 1) + " records missing?")
                : "a step of " + StepText(steps[i - 1]) + ", not " + StepText(usual) + ".";
        return Refuse("Row " + std::to_string(series.lines[i]) + ", " + series.timeName + ": " +
                      DateText(series.seconds[i - 1], series.anyClock) + " to " +
                      DateText(series.seconds[i], series.anyClock) + ": " + guess +
                      " The table's step is " + StepText(usual) +
                      ". Fill the gap, or give --irregular to take the steps as they are.");
      }
      return std::nullopt;
    }
    std::vector<double> steps;
    for (std::size_t i = 1; i < count; ++i) steps.push_back(series.times[i] - series.times[i - 1]);
    const double usual = UsualStep(steps);
    if (options.Irregular) return std::nullopt;
    for (std::size_t i = 1; i < count; ++i) {
      if (SameStep(steps[i - 1], usual)) continue;
      return Refuse("Row " + std::to_string(series.lines[i]) + ", " + series.timeName + ": " +
                    series.timeTexts[i - 1] + " to " + series.timeTexts[i] + ": a step of " +
                    ShortestText(steps[i - 1]) + ", not " + ShortestText(usual) +
                    " as in the rest of the table. Fill the gap, or give --irregular to take "
                    "the steps as they are.");
    }
    return std::nullopt;
  };
  if (auto refusal = regularityRefusal()) return *refusal;
  if (options.StepHours > 0) {
    if (options.Irregular) {
      return Refuse("--step and --irregular: only records of one step are added up.");
    }
    auto unitOf = [&](std::int64_t step) {
      return wantedUnit > 0 ? wantedUnit : step % 86400 == 0 ? 86400.0 : 3600.0;
    };
    const double oldUnit = series.fromDates ? unitOf(series.seconds[1] - series.seconds[0]) : 1;
    const double newUnit = unitOf(static_cast<std::int64_t>(options.StepHours) * 3600);
    if (auto refusal = AddUpSteps(series, options, oldUnit, newUnit)) return *refusal;
  }

  const std::size_t count = series.Count();
  if (count > static_cast<std::size_t>(T::kMaxRecords)) {
    const std::size_t last = static_cast<std::size_t>(T::kMaxRecords) - 1;
    return Refuse("Row " + std::to_string(series.lines[last + 1]) + ", " + series.timeName +
                  ": the table holds " + std::to_string(count) +
                  " records; the program takes at most " + std::to_string(T::kMaxRecords) +
                  ": record " + std::to_string(T::kMaxRecords) + " is " +
                  (series.fromDates ? "dated " : "at ") + series.When(last) +
                  ". Take a stretch with --window FROM TO" +
                  (series.fromDates && series.seconds[1] - series.seconds[0] < 86400
                       ? ", or days from hours with --step day."
                       : "."));
  }
  if (count < 12) {
    return Refuse("Row " + std::to_string(series.lines.back()) + ", " + series.timeName +
                  ": the table has " + std::to_string(count) +
                  (count == 1 ? " record" : " records") + "; the program needs at least 12.");
  }
  std::vector<std::string> report = series.report;
  TTableRecords records;
  auto lineOf = [&](std::size_t i) { return series.lines[i]; };
  const std::string& timeName = series.timeName;
  const bool fromDates = series.fromDates;
  std::vector<double> stepSeconds(count, 0);  // 0: not known
  std::string timeReport;
  double unitSeconds = wantedUnit;
  std::string unitName = options.TimeUnit;
  if (fromDates) {
    const std::vector<std::int64_t>& seconds = series.seconds;
    std::vector<double> steps;
    for (std::size_t i = 1; i < count; ++i) {
      steps.push_back(static_cast<double>(seconds[i] - seconds[i - 1]));
    }
    const double usual = UsualStep(steps);
    bool wholeDays = true;
    for (const double step : steps) wholeDays = wholeDays && std::fmod(step, 86400.0) == 0;
    if (unitSeconds == 0) {
      unitSeconds = wholeDays ? 86400.0 : 3600.0;
      unitName = wholeDays ? "days" : "hours";
    }
    // The dates mark the start of each interval; a record's time is its end.
    const std::int64_t firstStep = seconds[1] - seconds[0];
    for (std::size_t i = 0; i < count; ++i) {
      records.Time.push_back(static_cast<double>(seconds[i] - seconds[0] + firstStep) /
                             unitSeconds);
      stepSeconds[i] = static_cast<double>(i == 0 ? firstStep : seconds[i] - seconds[i - 1]);
    }
    const bool showClock = series.anyClock && !(unitSeconds == 86400.0 && seconds[0] % 86400 == 0);
    records.TimeOrigin = unitName + " since " + DateText(seconds[0], showClock);
    timeReport = "dates" + series.order + ", step " + StepText(usual) +
                 (options.Irregular ? " (other steps taken as they are)" : "") + "; times in " +
                 records.TimeOrigin;
  } else {
    // Plain numbers have no unit of their own; depths per hour (or per day)
    // say it, when they all agree.
    std::string unitSource;
    if (unitSeconds == 0) {
      double rate = 0;
      bool agree = true;
      for (const auto& column : series.depths) {
        if (column.unit.kind != TUnit::TKind::Rate) continue;
        agree = agree && (rate == 0 || rate == column.unit.seconds);
        rate = column.unit.seconds;
      }
      if (rate > 0 && agree) {
        unitSeconds = rate;
        unitName = rate == 86400 ? "days" : rate == 3600 ? "hours" : "minutes";
        unitSource = " (as the units of the depths say; --time-unit to change)";
      }
    }
    records.Time = series.times;
    std::vector<double> steps;
    for (std::size_t i = 1; i < count; ++i) steps.push_back(records.Time[i] - records.Time[i - 1]);
    const double usual = UsualStep(steps);
    for (std::size_t i = 0; i < count; ++i) {
      const double step = i == 0 ? (count > 1 ? steps[0] : 1) : steps[i - 1];
      stepSeconds[i] = unitSeconds > 0 ? step * unitSeconds : 0;
    }
    timeReport = "numbers, step " + ShortestText(usual) +
                 (unitName.empty() ? " time units" : " " + unitName + unitSource) +
                 (options.Irregular ? " (other steps taken as they are)" : "");
  }

  // The input file holds a time of 1 or more with two decimals: steps that
  // this rounding would merge or bend are refused here, not run with steps
  // of 0.
  {
    std::optional<double> previous;
    for (std::size_t i = 0; i < count; ++i) {
      const double t = records.Time[i];
      const double written = ParseReal(Trim(FormatInputNumber(t, 12))).value_or(t);
      if (previous && i > 0) {
        const double step = t - records.Time[i - 1];
        const double writtenStep = written - *previous;
        if (writtenStep <= 0 || std::fabs(writtenStep - step) > 0.01 * step) {
          std::string advice;
          if (fromDates) {
            advice = stepSeconds[i] >= 60 && std::fmod(stepSeconds[i], 60) == 0 && unitSeconds != 60
                         ? " In minutes (--time-unit minutes) the times keep their steps."
                         : " The input file cannot hold steps this short: take the sums of "
                           "longer intervals.";
          } else {
            advice = " Give the time in a unit in which the step is 1 or more.";
          }
          return Refuse("Row " + std::to_string(lineOf(i)) + ", " + timeName + ": the time " +
                        ShortestText(t) + " is written " + Trim(FormatInputNumber(t, 12)) +
                        " in the input file, " +
                        (writtenStep <= 0 ? "which does not come after the time before it"
                                          : "which changes the step by more than 1 %") +
                        "." + advice);
        }
      }
      previous = written;
    }
  }
  report.insert(report.begin(), "time: " + series.timeLabel + ", " + timeReport);

  // Depths: rain and runoff per record, the escape rate per time unit.
  const std::string perUnit =
      unitName.empty() ? "per time unit" : "per " + unitName.substr(0, unitName.size() - 1);
  bool hasEscape = false;
  for (const TDepthSeries& column : series.depths) {
    const TUnit& unit = column.unit;
    const bool escape = column.role == TRole::Escape;
    hasEscape = hasEscape || escape;
    std::vector<double>& target = column.role == TRole::Rain     ? records.Rain
                                  : column.role == TRole::Escape ? records.Escape
                                                                 : records.Runoff;
    using K = TUnit::TKind;
    if ((unit.kind == K::Rate || unit.kind == K::Volume) && stepSeconds[0] == 0) {
      return Refuse(column.table + "Row " + std::to_string(series.headerLine) + ", " + column.name +
                    ": \"" + unit.text +
                    "\" is per time, but the time column holds plain numbers; give their unit "
                    "with --time-unit hours (or days, minutes).");
    }
    std::string how;
    for (std::size_t i = 0; i < count; ++i) {
      const double v = column.raw[i];
      const double stepUnits = stepSeconds[i] > 0 ? stepSeconds[i] / unitSeconds
                               : i == 0           ? records.Time[1] - records.Time[0]
                                                  : records.Time[i] - records.Time[i - 1];
      double value = v;
      switch (unit.kind) {
        case K::AsGiven:
          break;
        case K::Depth:
          value = escape ? v * unit.factor / stepUnits : v * unit.factor;
          break;
        case K::Rate:
          value = escape ? v * unit.factor * (unitSeconds / unit.seconds)
                         : v * unit.factor * (stepSeconds[i] / unit.seconds);
          break;
        case K::Volume:
          value = v * unit.factor / unit.seconds * (escape ? unitSeconds : stepSeconds[i]) /
                  (*options.AreaKm2 * 1000.0);
          break;
      }
      target.push_back(value);
    }
    const std::string goal = escape ? "mm " + perUnit : "mm per record";
    switch (unit.kind) {
      case K::AsGiven:
        how = "no unit given: taken as " +
              (column.addedUpFrom.empty() ? goal : column.addedUpFrom + ", added up to " + goal);
        break;
      case K::Depth:
        how = unit.text + (unit.factor == 1 && !escape ? " per record" : ", converted to " + goal);
        break;
      case K::Rate:
        how = unit.text + ", converted to " + goal;
        break;
      case K::Volume:
        how = unit.text + " over " + ShortestText(*options.AreaKm2) + " km2, converted to " + goal;
        break;
    }
    report.push_back(std::string(RoleText(column.role)) + ": " +
                     (column.table.empty() ? "" : "the runoff table's ") + column.name + ", " +
                     how);
  }
  if (!hasEscape) report.push_back("escape: no column");
  for (const auto& note : series.notes) report.push_back(note);
  if (!records.Runoff.empty()) {
    double rain = 0, added = 0, runoff = 0;
    for (double v : records.Rain) rain += v;
    for (double v : records.Escape) added += v < 0 ? -v : 0;
    for (double v : records.Runoff) runoff += v;
    if (runoff > rain + added) {
      report.push_back("warning: the runoff adds up to " + ShortestText(std::round(runoff)) +
                       " mm, more than the rain (" + ShortestText(std::round(rain)) +
                       " mm) and added water (" + ShortestText(std::round(added)) +
                       " mm) together; check the units and the area.");
    }
  }
  records.Report = std::move(report);
  return {std::move(records), {}};
}

}  // namespace

TTableReadResult ReadTable(const std::string& input, bool needRunoff) {
  TTableOptions options;
  options.NeedRunoff = needRunoff;
  return ReadTable(input, options);
}

TTableReadResult ReadTable(const std::string& input, const TTableOptions& options) {
  TSeries series;
  if (auto refusal = ReadSeries(input, options, series)) return *refusal;
  return Finish(std::move(series), options, false);
}

TTablePreview PreviewTable(const std::string& text, const TTableOptions& options,
                           std::size_t rows) {
  TSeries series;
  TTablePreview preview;
  ReadSeries(text, options, series, &preview, rows);
  return preview;
}

TTableReadResult ReadJoinedTables(const std::string& rainText, const std::string& runoffText,
                                  const TTableOptions& options,
                                  const TTableOptions& runoffOptions) {
  TTableOptions rainOptions = options;
  rainOptions.NeedRunoff = false;
  TSeries rain, runoff;
  if (auto refusal = ReadSeries(rainText, rainOptions, rain)) return *refusal;
  TTableOptions second = runoffOptions;
  second.NeedRain = false;
  second.NeedRunoff = true;
  if (auto refusal = ReadSeries(runoffText, second, runoff)) {
    refusal->Message = "The runoff table: " + refusal->Message;
    return *refusal;
  }
  if (!rain.fromDates || !runoff.fromDates) {
    return Refuse(std::string("Tables are joined on their dates; ") +
                  (rain.fromDates ? "the runoff table" : "the rain table") + " gives " +
                  (rain.fromDates ? runoff.timeName : rain.timeName) + " as plain numbers.");
  }
  if (auto refusal = ApplyWindow(rain, options)) return *refusal;
  if (auto refusal = ApplyWindow(runoff, options)) {
    refusal->Message = "The runoff table: " + refusal->Message;
    return *refusal;
  }
  std::map<std::int64_t, std::size_t> runoffAt;
  for (std::size_t i = 0; i < runoff.Count(); ++i) runoffAt[runoff.seconds[i]] = i;
  std::vector<std::size_t> matched;
  std::vector<std::string> rainOnly, runoffOnly;
  std::vector<bool> used(runoff.Count(), false);
  for (std::size_t i = 0; i < rain.Count(); ++i) {
    const auto found = runoffAt.find(rain.seconds[i]);
    if (found == runoffAt.end()) {
      rainOnly.push_back(rain.When(i) + " (row " + std::to_string(rain.lines[i]) + ")");
    } else {
      matched.push_back(found->second);
      used[found->second] = true;
    }
  }
  for (std::size_t i = 0; i < runoff.Count(); ++i) {
    if (!used[i]) {
      runoffOnly.push_back(runoff.When(i) + " (row " + std::to_string(runoff.lines[i]) + ")");
    }
  }
  if (!rainOnly.empty() || !runoffOnly.empty()) {
    auto some = [](const std::vector<std::string>& list, const char* where) {
      if (list.empty()) return std::string();
      std::string text = std::to_string(list.size()) + " only in the " + where + " table: ";
      for (std::size_t k = 0; k < list.size() && k < 3; ++k) text += (k ? ", " : "") + list[k];
      if (list.size() > 3) text += ", ...";
      return text;
    };
    const std::string a = some(rainOnly, "rain"), b = some(runoffOnly, "runoff");
    return Refuse("The two tables do not have the same dates: " + a +
                  (a.empty() || b.empty() ? "" : "; ") + b +
                  ". Take the dates both have with --window FROM TO.");
  }
  runoff.Keep(matched);
  TDepthSeries joined = runoff.depths.front();
  joined.table = "The runoff table: ";
  rain.depths.push_back(std::move(joined));
  rain.report.push_back("runoff table: time " + runoff.timeLabel + ", dates" + runoff.order +
                        "; joined on the dates");
  for (const auto& line : runoff.report) rain.report.push_back("runoff table: " + line);
  for (const auto& note : runoff.notes) rain.notes.push_back("runoff table: " + note);
  return Finish(std::move(rain), options, true);
}

TTableReadResult ReadTableFile(const std::string& path, bool needRunoff) {
  TTableOptions options;
  options.NeedRunoff = needRunoff;
  return ReadTableFile(path, options);
}

namespace {

// The text of a table file, read line by line, each bounded, and only as
// many lines as the import reads: what lies beyond is refused unread.
std::optional<TTableReadResult> LoadTable(const std::string& path, std::string& text,
                                          bool& truncated) {
  namespace T = TableTexts;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Refuse("The table \"" + path + "\" could not be read.");
  const std::size_t enough = T::kMaxLeadingLines + T::kMaxReadRecords + 4;
  std::size_t lines = 0;
  char buffer[65536];
  std::size_t lineLength = 0;
  bool more = false;
  while (lines < enough && in) {
    in.read(buffer, sizeof buffer);
    const std::streamsize got = in.gcount();
    for (std::streamsize i = 0; i < got; ++i) {
      if (lines >= enough) {
        more = true;
        break;
      }
      const char c = buffer[i];
      text.push_back(c);
      if (c == '\n' || c == '\r') {
        if (lineLength > 0) ++lines;
        lineLength = 0;
      } else if (++lineLength > T::kMaxLineBytes) {
        return Refuse("Row " + std::to_string(lines + 1) + ": a line longer than " +
                      std::to_string(T::kMaxLineBytes >> 20) +
                      " MB; this is not a table of measurements the program can take.");
      }
    }
  }
  if (in.bad()) return Refuse("The table \"" + path + "\" could not be read.");
  truncated = more || (lines >= enough && in && in.peek() != EOF);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> LoadTableText(const std::string& path, std::string& text,
                                         bool& truncated) {
  if (auto refusal = LoadTable(path, text, truncated)) return refusal->Message;
  return std::nullopt;
}

TTableReadResult ReadTableFile(const std::string& path, const TTableOptions& options) {
  std::string text;
  TTableOptions read = options;
  if (auto refusal = LoadTable(path, text, read.Truncated)) return *refusal;
  return ReadTable(text, read);
}

TTableReadResult ReadJoinedTableFiles(const std::string& rainPath, const std::string& runoffPath,
                                      const TTableOptions& options,
                                      const TTableOptions& runoffOptions) {
  std::string rainText, runoffText;
  TTableOptions rain = options, runoff = runoffOptions;
  if (auto refusal = LoadTable(rainPath, rainText, rain.Truncated)) return *refusal;
  if (auto refusal = LoadTable(runoffPath, runoffText, runoff.Truncated)) return *refusal;
  return ReadJoinedTables(rainText, runoffText, rain, runoff);
}

bool IsTableUnit(const std::string& unit) {
  return !Trim(unit).empty() && ParseUnit(unit).has_value();
}

std::string OneLineText(const std::string& text, bool& changed) {
  std::string line = text;
  changed = false;
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      c = ' ';
      changed = true;
    }
  }
  return line;
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
                " of the results file is not a record of seven numbers: \"" + ShownValue(line) +
                "\"";
      return {};
    }
    std::string row;
    // A number the file wrote with a sign (+5) would be a formula to a spreadsheet.
    for (const auto& token : tokens) row += (row.empty() ? "" : ",") + CsvField(token);
    out.Line(row);
    ++count;
  }
  if (count == 0) {
    message = "The results file has no records in its table.";
    return {};
  }
  return out.Text();
}

// ---------------------------------------------------------------------------
// Results table of a run

namespace {

// The shortest text that reads back as the same double; empty when undefined.
std::string ExactText(double value) {
  if (!std::isfinite(value)) return {};
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string RunResultsTableCsv(const TDMTevlora& data, const TAnalysisRun& run,
                               const TPredictionRun& prediction) {
  // The origin of the times, when the table they came from gave dates.
  std::string t = "t";
  double unitSeconds = 0;
  std::optional<TDate> origin;
  for (const auto& [prefix, unit, seconds] :
       {std::tuple<const char*, const char*, double>{"minutes since ", "min", 60},
        {"hours since ", "h", 3600},
        {"days since ", "d", 86400}}) {
    if (data.Title2.rfind(prefix, 0) != 0) continue;
    t = unit;
    const std::string rest = data.Title2.substr(std::string(prefix).size());
    origin = ParseDate(Trim(rest.substr(0, rest.find(','))));
    if (origin) unitSeconds = seconds;
  }
  const std::string depth = "mm/" + t;
  TTextWriter out;
  auto comment = [&out](const std::string& line) {
    bool changed = false;
    out.Line("# " + OneLineText(line, changed));
  };
  comment(data.Title1);
  comment(data.Title2);
  comment("input file: " + ChangeFileExt(data.FileName, ".inp"));
  const bool analysis = data.Analysis;
  const double maxStorage = analysis ? run.RunMaxStorage : prediction.PredMaxStorage;
  const double initStorage = analysis ? run.RunInitStorage : prediction.PredInitStorage;
  const double maxEscape = analysis ? run.RunMaxEscape : prediction.PredMaxEscape;
  comment("maximum dead storage [mm]: " + ExactText(maxStorage));
  comment("initial dead storage [mm]: " + ExactText(initStorage));
  comment("maximum escape rate [" + depth + "]: " + ExactText(maxEscape));
  const double a = analysis ? run.BestA : data.Values.AlphaA;
  const double c = analysis ? run.BestC : data.Values.AlphaC;
  comment("alpha = A * " + std::string(data.Drainage ? "discharge" : "runoff") +
          " + C: A = " + ExactText(a) + ", C = " + ExactText(c));
  if (analysis) {
    const TFitMeasures fit = FitMeasuresOfRun(run);
    comment("records: " + std::to_string(fit.Records) + ", SD: " + ExactText(fit.SD) +
            ", R square: " + ExactText(fit.RSquare) + ", NSE: " + ExactText(fit.NSE) +
            ", KGE: " + ExactText(fit.KGE) + ", PBIAS [%]: " + ExactText(fit.PBIAS) +
            ", RMSE: " + ExactText(fit.RMSE) + ", peak error [%]: " + ExactText(fit.PeakError));
  }
  const std::string dateColumn = origin ? "start date," : "";
  if (analysis) {
    out.Line("serial," + dateColumn + "time [" + t + "],rain [" + depth + "],recharge [" + depth +
             "],measured runoff [" + depth + "],alpha [1/" + t + "],calculated runoff [" + depth +
             "]");
  } else {
    out.Line("serial," + dateColumn + "time [" + t + "],rain [" + depth + "],recharge [" + depth +
             "],alpha [1/" + t + "]," + (data.Drainage ? "discharge [" : "runoff [") + depth +
             "]," + (data.Drainage ? "head [mm]" : "storage [mm]"));
  }
  // A record starts where the one before it ends; the first at the origin.
  auto startDate = [&](double previousTime) {
    const double seconds =
        static_cast<double>(origin->seconds) + std::round(previousTime * unitSeconds);
    return DateText(static_cast<std::int64_t>(seconds), unitSeconds < 86400 || origin->hasClock);
  };
  const int count = analysis ? run.RunCount : prediction.PredCount;
  for (int n = 1; n <= count; ++n) {
    std::vector<double> values;
    int serial = 0;
    double time = 0, previous = 0;
    if (analysis) {
      serial = run.RunSerial[n];
      time = run.RunTime[n];
      previous = n > 1 ? run.RunTime[n - 1] : 0;
      values = {run.RunRain[n], run.Recharge[n], run.MeasRunoff[n], n == 1 ? 0.0 : run.Alpha[n],
                run.CalcRunoff[n]};
    } else {
      serial = prediction.PredSerial[n];
      time = prediction.PredTime[n];
      previous = n > 1 ? prediction.PredTime[n - 1] : 0;
      values = {prediction.PredRain[n], prediction.PredRecharge[n], prediction.PredAlpha[n],
                prediction.PredDischarge[n], prediction.PredLevel[n]};
    }
    std::string row = std::to_string(serial);
    if (origin) row += "," + startDate(previous);
    row += "," + ExactText(time);
    for (double value : values) row += "," + ExactText(value);
    out.Line(row);
  }
  return out.Text();
}
