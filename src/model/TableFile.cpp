#include "TableFile.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>

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
  // Blank-separated text: runs of blanks separate, leading and trailing
  // blanks do not make fields.
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
    } else if (blanks && c == ' ') {
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

enum class TRole { Other, Time, Date, Rain, Escape, Runoff, Hour };

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
    {TRole::Rain, "rain", {"rain", "rainfall", "precipitation", "precip", "prec", "prcp", "p"}},
    {TRole::Escape,
     "escape",
     {"escape", "escape rate", "evaporation", "evapotranspiration", "et", "pet", "etp", "etpot",
      "etref", "eto", "et0", "pe", "turc", "e", "evap*"}},
    {TRole::Runoff, "runoff", {"runoff", "run-off", "discharge", "q", "flow", "streamflow"}},
    // The hour of a date column as a whole number (0 to 23, or 1 to 24).
    {TRole::Hour, "hour", {"hh", "hour"}},
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
      {"mm", K::Depth, 1, 1},
      {"0.1mm", K::Depth, 0.1, 1},
      {"cm", K::Depth, 10, 1},
      {"in", K::Depth, 25.4, 1},
      {"mmh", K::Rate, 1, 3600},
      {"mmd", K::Rate, 1, 86400},
      {"mmmin", K::Rate, 1, 60},
      {"inh", K::Rate, 25.4, 3600},
      {"ind", K::Rate, 25.4, 86400},
      {"ls", K::Volume, 0.001, 1},
      {"m3s", K::Volume, 1, 1},
      {"cfs", K::Volume, 0.028316846592, 1},
      {"ft3s", K::Volume, 0.028316846592, 1},
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

// Eight or ten digits beginning with a year of this era or the last.
bool IsCompactDate(const std::string& text) {
  return (text.size() == 8 || text.size() == 10) &&
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
    // YYYYMMDD or YYYYMMDDHH, the hour as the start of the record's interval.
    int hour = 0;
    Digits(text, pos, 4, year);
    Digits(text, pos, 2, month);
    Digits(text, pos, 2, day);
    if (text.size() == 10) Digits(text, pos, 2, hour);
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23) {
      return std::nullopt;
    }
    return TDate{DaysFromCivil(year, month, day) * 86400 + hour * 3600, text.size() == 10};
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

}  // namespace

TTableReadResult ReadTable(const std::string& input, bool needRunoff) {
  TTableOptions options;
  options.NeedRunoff = needRunoff;
  return ReadTable(input, options);
}

TTableReadResult ReadTable(const std::string& input, const TTableOptions& options) {
  namespace T = TableTexts;
  std::string text = input;
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  // The separator is read from the first line that has one: the header, or
  // the description of a station before it.
  char separator = 0;
  {
    std::size_t start = 0;
    for (int line = 0; line <= T::kMaxLeadingLines && start < text.size() && separator == 0;
         ++line) {
      if (text[start] != '#') separator = DetectSeparator(text, start);
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
  std::vector<std::string> report;

  // The header is the row above the first record; text above it (a
  // station's description, comment lines) is not read. A row of units or of
  // field formats may stand between the header and the records.
  std::size_t first = rows.size();
  for (std::size_t r = 0; r < rows.size() && first == rows.size(); ++r) {
    const auto& fields = rows[r].fields;
    const auto numbers = std::count_if(fields.begin(), fields.end(), [&](const std::string& f) {
      return IsNumberOrDate(f, decimalComma);
    });
    if (r > 0 && fields.size() >= 2 && numbers > 0 &&
        static_cast<std::size_t>(2 * numbers) >= fields.size()) {
      first = r;
    }
  }
  std::size_t headerIndex = 0;
  std::optional<std::size_t> unitsIndex;
  if (first < rows.size()) {
    headerIndex = first - 1;
    if (headerIndex > 0 && IsFormatRow(rows[headerIndex].fields)) --headerIndex;
    const auto& candidate = rows[headerIndex].fields;
    if (headerIndex > 0 && !candidate.empty() &&
        (Trim(candidate.front()) == "#" || Trim(candidate.front()).empty()) &&
        rows[headerIndex - 1].fields.size() == candidate.size()) {
      unitsIndex = headerIndex;
      --headerIndex;
    }
  } else {
    while (headerIndex + 1 < rows.size() && rows[headerIndex].fields.front().rfind('#', 0) == 0)
      ++headerIndex;
    first = headerIndex + 1;
  }
  std::vector<std::string> header = rows[headerIndex].fields;
  const int headerLine = rows[headerIndex].line;
  if (!header.empty() && header.front().rfind('#', 0) == 0) header.front().erase(0, 1);
  for (auto& name : header) name = Trim(name);
  {
    const auto numbers = std::count_if(header.begin(), header.end(), [&](const std::string& f) {
      return IsNumberOrDate(f, decimalComma);
    });
    if (header.size() >= 2 && static_cast<std::size_t>(2 * numbers) >= header.size()) {
      return Refuse("Row " + std::to_string(headerLine) +
                    ": the table has no header row naming its columns; add one (time or date, "
                    "rain, escape, runoff).");
    }
  }
  if (headerLine > 1) {
    report.push_back("lines 1 to " + std::to_string(headerLine - 1) +
                     ": text before the header, not read");
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
    return "column " + std::to_string(c + 1) + " \"" + ShownValue(header[c]) + "\"";
  };
  auto cellOf = [&](const TRow& row, int c) {
    return c < static_cast<int>(row.fields.size()) ? Trim(row.fields[c]) : std::string();
  };
  const std::size_t dataEnd = rows.size();
  const std::size_t count = dataEnd - first;

  // Which column holds what: the user's mapping first, then the names.
  const int columns = static_cast<int>(header.size());
  std::vector<TRole> roleOf(columns, TRole::Other);
  for (int c = 0; c < columns; ++c) roleOf[c] = RoleOf(header[c]);
  int columnOf[7] = {-1, -1, -1, -1, -1, -1, -1};
  auto slot = [&](TRole role) -> int& { return columnOf[static_cast<int>(role)]; };
  std::vector<bool> given(7, false);
  std::map<int, std::string> givenUnits;
  for (const auto& [roleName, name] : options.Columns) {
    TRole role = TRole::Other;
    for (TRole r : {TRole::Time, TRole::Rain, TRole::Escape, TRole::Runoff}) {
      if (roleName == RoleText(r)) role = r;
    }
    if (role == TRole::Other) {
      return Refuse("--columns " + roleName + "=" + name +
                    ": the roles are time, rain, escape and runoff.");
    }
    // NAME[UNIT] gives the unit of a header that has none ("RH[0.1 mm]").
    auto find = [&](const std::string& wanted) {
      for (int c = 0; c < columns; ++c) {
        if (Lower(header[c]) == Lower(Trim(wanted)) || NormalName(header[c]) == Lower(Trim(wanted)))
          return c;
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
      return Refuse("--columns " + roleName + "=" + name + ": the table has no such column; its " +
                    "columns are " + list + ".");
    }
    slot(role) = found;
    given[static_cast<int>(role)] = true;
  }
  std::vector<int> unknown;  // columns whose names say nothing
  for (int c = 0; c < columns; ++c) {
    bool taken = false;
    for (int s : columnOf) taken = taken || s == c;
    // A column of text (a station name, a quality flag) cannot be meant.
    const bool numbers = first < rows.size() && ParseValue(cellOf(rows[first], c), decimalComma);
    if (roleOf[c] == TRole::Other && !taken && numbers) unknown.push_back(c);
  }
  // A one-letter name (T, P, Q, E) is taken only when no other column could
  // be meant and its values could be what the name says.
  auto plausible = [&](TRole role, int c, std::string& why) {
    double previous = 0, largest = 0;
    for (std::size_t r = first; r < dataEnd; ++r) {
      const std::string v = cellOf(rows[r], c);
      const auto value = ParseValue(v, decimalComma);
      // Gaps and dates are told later, row by row.
      if (!value) continue;
      if (role == TRole::Time && r > first && *value <= previous) {
        why = "its values do not increase (row " + std::to_string(rows[r].line) + ")";
        return false;
      }
      if (role == TRole::Rain && *value < 0) {
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
  // A role that no column is named for is told before any doubt about names.
  auto named = [&](TRole role) {
    if (slot(role) >= 0) return true;
    return std::find(roleOf.begin(), roleOf.end(), role) != roleOf.end();
  };
  if (!named(TRole::Date) && !named(TRole::Time)) {
    return Refuse("Row " + std::to_string(headerLine) + ": no time column; name it " +
                  NameList(TRole::Time) + ", " + NameList(TRole::Date) +
                  ", or give --columns time=NAME.");
  }
  if (!named(TRole::Rain)) {
    return Refuse("Row " + std::to_string(headerLine) + ": no rain column; name it " +
                  NameList(TRole::Rain) + ", or give --columns rain=NAME." +
                  (named(TRole::Runoff) ? " A table of runoff alone cannot be imported." : ""));
  }
  if (options.NeedRunoff && !named(TRole::Runoff)) {
    return Refuse("Row " + std::to_string(headerLine) +
                  ": no runoff column, which an analysis needs; name it " +
                  NameList(TRole::Runoff) + ", or give --columns runoff=NAME.");
  }
  std::vector<std::string> unusedNotes;
  for (TRole role :
       {TRole::Date, TRole::Hour, TRole::Time, TRole::Rain, TRole::Escape, TRole::Runoff}) {
    if (role == TRole::Runoff && !options.NeedRunoff) continue;
    if (given[static_cast<int>(role)]) continue;
    // The user's time column, dates or numbers, is the only one.
    if (role == TRole::Date && given[static_cast<int>(TRole::Time)]) continue;
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
    if (role == TRole::Time && slot(TRole::Date) >= 0) continue;
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
  const int dateColumn = slot(TRole::Date);
  const int timeColumn = dateColumn >= 0 ? dateColumn : slot(TRole::Time);
  const bool hasEscape = slot(TRole::Escape) >= 0;
  const bool hasRunoff = options.NeedRunoff;

  // Units: in the header's brackets, else in a row of units under it.
  auto unitText = [&](int c) {
    if (givenUnits.count(c)) return givenUnits[c];
    std::string unit = HeaderUnit(header[c]);
    if (unit.empty() && unitsIndex) unit = cellOf(rows[*unitsIndex], c);
    return unit;
  };
  struct TDepthColumn {
    TRole role;
    int column;
    TUnit unit;
    std::vector<double>* target;
  };
  TTableRecords records;
  std::vector<TDepthColumn> depths;
  for (const auto& [role, target] :
       {std::pair<TRole, std::vector<double>*>{TRole::Rain, &records.Rain},
        {TRole::Escape, hasEscape ? &records.Escape : nullptr},
        {TRole::Runoff, hasRunoff ? &records.Runoff : nullptr}}) {
    if (target == nullptr) continue;
    const int c = slot(role);
    const std::string text = unitText(c);
    const auto unit = ParseUnit(text);
    if (!unit) {
      return Refuse(rowLine(unitsIndex && HeaderUnit(header[c]).empty() ? rows[*unitsIndex].line
                                                                        : headerLine) +
                    ", " + columnName(c) + ": the unit \"" + ShownValue(text) +
                    "\" is not one the import knows (mm, 0.1 mm, cm, in, mm/h, mm/d, l/s, m3/s, "
                    "cfs). Give the values in one of them.");
    }
    if (unit->kind == TUnit::TKind::Volume && !options.AreaKm2) {
      return Ask(TTableReadResult::TQuestion::Area,
                 rowLine(headerLine) + ", " + columnName(c) + ": \"" + ShownValue(text) +
                     "\" is a volume per time; give the catchment area in km2 (--area KM2) to "
                     "turn it into mm.");
    }
    depths.push_back({role, c, *unit, target});
  }

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
  const int hourColumn = dateColumn >= 0 && clockColumn < 0 ? slot(TRole::Hour) : -1;
  std::vector<int> hours;
  std::vector<std::string> timeTexts;
  std::vector<std::vector<double>> raw(depths.size());
  for (std::size_t r = first; r < dataEnd; ++r) {
    const TRow& row = rows[r];
    const std::size_t number = r - first + 1;
    // Faults in the records before the limit are told first.
    if (number == static_cast<std::size_t>(T::kMaxRecords) + 1) {
      return Refuse(rowLine(row.line) + ", " + columnName(timeColumn) + ": record " +
                    std::to_string(number) + " of " +
                    (options.Truncated ? "more than " + std::to_string(T::kMaxRecords)
                                       : std::to_string(count)) +
                    "; the program takes at most " + std::to_string(T::kMaxRecords) +
                    " records. Cut the table into shorter stretches.");
    }
    std::string timeText = cellOf(row, timeColumn);
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
    for (std::size_t k = 0; k < depths.size(); ++k) {
      const int c = depths[k].column;
      const std::string valueText = cellOf(row, c);
      const auto value = ParseValue(valueText, decimalComma);
      if (!value) return Refuse(missing(row, c, valueText));
      // A negative escape rate is water added to the rain, and the run sets
      // its own floor under the runoff; only rain cannot be negative.
      if (*value < 0 && depths[k].role == TRole::Rain) {
        return Refuse(rowLine(row.line) + ", " + columnName(c) + ": " + valueText +
                      " is negative; rain is a depth. Replace negative values (some stations "
                      "write -1 for a trace of rain) by 0.");
      }
      raw[k].push_back(*value);
    }
  }
  if (count < 12) {
    return Refuse(rowLine(rows.back().line) + ", " + columnName(timeColumn) + ": the table has " +
                  std::to_string(count) + (count == 1 ? " record" : " records") +
                  "; the program needs at least 12.");
  }
  const int timeLine0 = rows[first].line;
  auto lineOf = [&](std::size_t i) { return rows[first + i].line; };

  // Time: numbers as they stand, or dates.
  // In a column named as a date, 20121001 and 2012100100 are dates.
  bool fromDates = !ParseValue(timeTexts[0], decimalComma).has_value() ||
                   (dateColumn >= 0 && IsCompactDate(timeTexts[0]));
  std::vector<double> stepSeconds(count, 0);  // 0: not known
  std::string timeReport;
  const double wantedUnit = UnitSeconds(options.TimeUnit);
  double unitSeconds = wantedUnit;
  std::string unitName = options.TimeUnit;
  if (fromDates) {
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
                    "optional time HH:MM, or YYYYMMDD[HH]" +
                    std::string(slashes ? "; MM/DD/YYYY with --month-first" : "") + ").");
    }
    TReading chosen = parsed.front();
    std::string order = slashes                                       ? ""
                        : timeTexts[0].find('.') != std::string::npos ? ", day first (DD.MM.YYYY)"
                                                                      : "";
    if (parsed.size() == 2) {
      if (parsed[0].regular == parsed[1].regular) {
        return Ask(TTableReadResult::TQuestion::DateOrder,
                   rowLine(timeLine0) + ", " + columnName(timeColumn) + ": \"" + timeTexts[0] +
                       "\" and the dates after it can be read day first or month " +
                       "first, and the steps are " + (parsed[0].regular ? "regular" : "irregular") +
                       " either way. Say which with --day-first or --month-first.");
      }
      chosen = parsed[0].regular ? parsed[0] : parsed[1];
      order = std::string(chosen.monthFirst ? ", month first (MM/DD/YYYY)"
                                            : ", day first (DD/MM/YYYY)") +
              ": the other order gives irregular steps";
    } else if (slashes) {
      order =
          std::string(chosen.monthFirst ? ", month first (MM/DD/YYYY)"
                                        : ", day first (DD/MM/YYYY)") +
          (options.DateOrder == TOrder::Find ? ": the other order gives no dates" : " as asked");
    }
    const std::vector<std::int64_t>& seconds = chosen.seconds;
    for (std::size_t i = 1; i < count; ++i) {
      if (seconds[i] <= seconds[i - 1]) {
        return Refuse(rowLine(lineOf(i)) + ", " + columnName(timeColumn) + ": " +
                      DateText(seconds[i], chosen.anyClock) + " does not come after " +
                      DateText(seconds[i - 1], chosen.anyClock) + "; times must increase.");
      }
    }
    std::vector<double> steps;
    for (std::size_t i = 1; i < count; ++i) {
      steps.push_back(static_cast<double>(seconds[i] - seconds[i - 1]));
    }
    const double usual = UsualStep(steps);
    if (!options.Irregular) {
      for (std::size_t i = 1; i < count; ++i) {
        if (steps[i - 1] == usual) continue;
        const double ratio = steps[i - 1] / usual;
        const std::string guess =
            ratio == std::floor(ratio)
                ? (ratio == 2 ? "one record missing?"
                              : ShortestText(ratio - 1) + " records missing?")
                : "a step of " + StepText(steps[i - 1]) + ", not " + StepText(usual) + ".";
        return Refuse(rowLine(lineOf(i)) + ", " + columnName(timeColumn) + ": " +
                      DateText(seconds[i - 1], chosen.anyClock) + " to " +
                      DateText(seconds[i], chosen.anyClock) + ": " + guess +
                      " The table's step is " + StepText(usual) +
                      ". Fill the gap, or give --irregular to take the steps as they are.");
      }
    }
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
    const bool showClock = chosen.anyClock && !(unitSeconds == 86400.0 && seconds[0] % 86400 == 0);
    records.TimeOrigin = unitName + " since " + DateText(seconds[0], showClock);
    timeReport = "dates" + order + ", step " + StepText(usual) +
                 (options.Irregular ? " (other steps taken as they are)" : "") + "; times in " +
                 records.TimeOrigin;
  } else {
    // Plain numbers have no unit of their own; depths per hour (or per day)
    // say it, when they all agree.
    std::string unitSource;
    if (unitSeconds == 0) {
      double rate = 0;
      bool agree = true;
      for (const auto& column : depths) {
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
    for (std::size_t i = 0; i < count; ++i) {
      const auto time = ParseValue(timeTexts[i], decimalComma);
      if (!time) return Refuse(missing(rows[first + i], timeColumn, timeTexts[i]));
      if (i > 0 && *time <= records.Time.back()) {
        return Refuse(rowLine(lineOf(i)) + ", " + columnName(timeColumn) + ": " + timeTexts[i] +
                      " does not come after " + ShortestText(records.Time.back()) +
                      "; times must increase.");
      }
      records.Time.push_back(*time);
    }
    std::vector<double> steps;
    for (std::size_t i = 1; i < count; ++i) steps.push_back(records.Time[i] - records.Time[i - 1]);
    const double usual = UsualStep(steps);
    if (!options.Irregular) {
      for (std::size_t i = 1; i < count; ++i) {
        if (SameStep(steps[i - 1], usual)) continue;
        return Refuse(rowLine(lineOf(i)) + ", " + columnName(timeColumn) + ": " + timeTexts[i - 1] +
                      " to " + timeTexts[i] + ": a step of " + ShortestText(steps[i - 1]) +
                      ", not " + ShortestText(usual) +
                      " as in the rest of the table. Fill the gap, or give --irregular to take "
                      "the steps as they are.");
      }
    }
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
          return Refuse(rowLine(lineOf(i)) + ", " + columnName(timeColumn) + ": the time " +
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
  report.insert(
      report.begin(),
      "time: " + columnName(timeColumn) +
          (clockColumn >= 0 ? " with the clock of " + columnName(clockColumn) : std::string()) +
          (hourColumn >= 0
               ? " with the hour of " + columnName(hourColumn) +
                     (hours.empty() || *std::max_element(hours.begin(), hours.end()) == 24
                          ? " (1 to 24: the hour that ends then)"
                          : " (0 to 23: the hour that begins then)")
               : std::string()) +
          ", " + timeReport);

  // Depths: rain and runoff per record, the escape rate per time unit.
  const std::string perUnit =
      unitName.empty() ? "per time unit" : "per " + unitName.substr(0, unitName.size() - 1);
  for (std::size_t k = 0; k < depths.size(); ++k) {
    const TDepthColumn& column = depths[k];
    const TUnit& unit = column.unit;
    const bool escape = column.role == TRole::Escape;
    using K = TUnit::TKind;
    if ((unit.kind == K::Rate || unit.kind == K::Volume) && stepSeconds[0] == 0) {
      return Refuse(rowLine(headerLine) + ", " + columnName(column.column) + ": \"" + unit.text +
                    "\" is per time, but the time column holds plain numbers; give their unit "
                    "with --time-unit hours (or days, minutes).");
    }
    std::string how;
    for (std::size_t i = 0; i < count; ++i) {
      const double v = raw[k][i];
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
          value = v * unit.factor * (escape ? unitSeconds : stepSeconds[i]) /
                  (*options.AreaKm2 * 1000.0);
          break;
      }
      column.target->push_back(value);
    }
    const std::string target = escape ? "mm " + perUnit : "mm per record";
    switch (unit.kind) {
      case K::AsGiven:
        how = "no unit given: taken as " + target;
        break;
      case K::Depth:
        how =
            unit.text + (unit.factor == 1 && !escape ? " per record" : ", converted to " + target);
        break;
      case K::Rate:
        how = unit.text + ", converted to " + target;
        break;
      case K::Volume:
        how =
            unit.text + " over " + ShortestText(*options.AreaKm2) + " km2, converted to " + target;
        break;
    }
    report.push_back(std::string(RoleText(column.role)) + ": " + columnName(column.column) + ", " +
                     how);
  }
  if (!hasEscape) report.push_back("escape: no column");
  std::string unused;
  for (int c = 0; c < columns; ++c) {
    bool taken = c == clockColumn || c == hourColumn;
    for (const auto& column : depths) taken = taken || column.column == c;
    taken = taken || c == timeColumn;
    if (!taken && !header[c].empty()) unused += (unused.empty() ? "" : ", ") + columnName(c);
  }
  if (!unused.empty()) report.push_back("not used: " + unused);
  for (const auto& note : unusedNotes) report.push_back("note: " + note);
  if (hasRunoff) {
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

TTableReadResult ReadTableFile(const std::string& path, bool needRunoff) {
  TTableOptions options;
  options.NeedRunoff = needRunoff;
  return ReadTableFile(path, options);
}

TTableReadResult ReadTableFile(const std::string& path, const TTableOptions& options) {
  namespace T = TableTexts;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Refuse("The table \"" + path + "\" could not be read.");
  // Line by line, each bounded, and only as many lines as a table the
  // program can take needs: what lies beyond is refused unread.
  std::string text, line;
  const std::size_t enough = T::kMaxLeadingLines + T::kMaxRecords + 4;
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
  TTableOptions read = options;
  read.Truncated = more || (lines >= enough && in && in.peek() != EOF);
  return ReadTable(text, read);
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
