// Tables in (delimited text with numbers or dates) and the results table out.
#include <gtest/gtest.h>

#include "TableFile.h"
#include "TestSupport.h"
#include "TextFile.h"
#include "UDMTevlora.h"

namespace {

// A table of 12 records: `times[i]` in the first column, then rain i/10,
// escape 0.05 and runoff 0.5 + i/100, with `separator`, `decimal` and
// `lineEnd`.
std::string Table(const std::string& header, const std::vector<std::string>& times,
                  char separator = ',', char decimal = '.', const std::string& lineEnd = "\n") {
  auto number = [&](int whole, int fraction) {
    return std::to_string(whole) + decimal + (fraction < 10 ? "0" : "") + std::to_string(fraction);
  };
  std::string text = header + lineEnd;
  for (std::size_t i = 0; i < times.size(); ++i) {
    const int k = static_cast<int>(i);
    text += times[i] + separator + number(k / 10, k % 10 * 10) + separator + number(0, 5) +
            separator + number(0, 50 + k) + lineEnd;
  }
  return text;
}

std::vector<std::string> Hours(int count = 12) {
  std::vector<std::string> times;
  for (int i = 1; i <= count; ++i) times.push_back(std::to_string(i));
  return times;
}

std::vector<double> Steps(int count, double first = 1) {
  std::vector<double> values;
  for (int i = 0; i < count; ++i) values.push_back(first + i);
  return values;
}

TTableRecords Read(const std::string& text, bool needRunoff = true) {
  const TTableReadResult result = ReadTable(text, needRunoff);
  EXPECT_TRUE(result.Records.has_value()) << result.Message;
  return result.Records.value_or(TTableRecords{});
}

TTableRecords Read(const std::string& text, const TTableOptions& options) {
  const TTableReadResult result = ReadTable(text, options);
  EXPECT_TRUE(result.Records.has_value()) << result.Message;
  return result.Records.value_or(TTableRecords{});
}

TEST(TableReader, SeparatorsDecimalCommasLineEndsAndByteOrderMark) {
  struct TCase {
    const char* what;
    char separator, decimal;
    std::string lineEnd, prefix;
  };
  const TCase cases[] = {
      {"comma, point, LF", ',', '.', "\n", ""},
      {"semicolon, decimal comma, CR LF", ';', ',', "\r\n", ""},
      {"tab, decimal comma, CR", '\t', ',', "\r", ""},
      {"semicolon, point, byte-order mark", ';', '.', "\r\n", "\xEF\xBB\xBF"},
  };
  for (const auto& c : cases) {
    const std::string header = std::string("time") + c.separator + "rain" + c.separator + "escape" +
                               c.separator + "runoff";
    const TTableRecords records =
        Read(c.prefix + Table(header, Hours(), c.separator, c.decimal, c.lineEnd));
    ASSERT_EQ(records.Count(), 12u) << c.what;
    EXPECT_EQ(records.Time, Steps(12)) << c.what;
    EXPECT_DOUBLE_EQ(records.Rain[11], 1.1) << c.what;
    EXPECT_DOUBLE_EQ(records.Escape[3], 0.05) << c.what;
    EXPECT_DOUBLE_EQ(records.Runoff[11], 0.61) << c.what;
    EXPECT_EQ(records.TimeOrigin, "") << c.what;
  }
}

TEST(TableReader, QuotedFieldsKeepTheirSeparators) {
  std::string text = "\"time\",\"rain\",\"note, free text\",\"q\"\n";
  for (int i = 1; i <= 12; ++i) {
    text += std::to_string(i) + ",\"0.5\",\"gauge \"\"A\"\", checked\n twice\",\"0.25\"\n";
  }
  const TTableRecords records = Read(text + ",,,\n , ,,\n");  // a spreadsheet's empty rows
  EXPECT_EQ(records.Time, Steps(12));
  EXPECT_EQ(records.Rain, std::vector<double>(12, 0.5));
  EXPECT_EQ(records.Runoff, std::vector<double>(12, 0.25));
  EXPECT_TRUE(records.Escape.empty());
}

TEST(TableReader, DateFormsGiveHoursOrDaysSinceTheFirstInterval) {
  // Each record's date marks the start of its interval; its time is the end.
  struct TForm {
    const char* what;
    std::vector<std::string> dates;
    double step;  // of the written times
    std::string origin;
  };
  std::vector<std::string> isoDays, isoHours, isoSeconds, dotHours, slashDays, slashHours;
  for (int i = 0; i < 12; ++i) {
    char b[64];
    std::snprintf(b, sizeof b, "2013-05-%02d", 20 + i);
    isoDays.push_back(b);
    std::snprintf(b, sizeof b, "2011-12-31 %02d:00", 12 + i);
    isoHours.push_back(b);
    std::snprintf(b, sizeof b, "2013-05-30T%02d:00:00", 8 + i);
    isoSeconds.push_back(b);
    std::snprintf(b, sizeof b, "01.03.2016 %02d:30", 2 * i);
    dotHours.push_back(b);
    std::snprintf(b, sizeof b, "%02d/01/2013", 1 + 2 * i);
    slashDays.push_back(b);
    std::snprintf(b, sizeof b, "28/02/2013 %d:00", 12 + i);
    slashHours.push_back(b);
  }
  // Across midnight, the end of February and a new year.
  isoHours[11] = "2012-01-01 00:00";
  slashHours[11] = "01/03/2013 00:00";
  const std::vector<std::string> dotDays = {"24.2.2016", "25.2.2016", "26.2.2016", "27.2.2016",
                                            "28.2.2016", "29.2.2016", "1.3.2016",  "2.3.2016",
                                            "3.3.2016",  "4.3.2016",  "5.3.2016",  "6.3.2016"};
  const TForm forms2[] = {
      {"ISO dates", isoDays, 1, "days since 2013-05-20"},
      {"ISO date-times", isoHours, 1, "hours since 2011-12-31 12:00"},
      {"ISO with T and seconds", isoSeconds, 1, "hours since 2013-05-30 08:00"},
      {"DD.MM.YYYY over a leap day", dotDays, 1, "days since 2016-02-24"},
      {"DD.MM.YYYY HH:MM every two hours", dotHours, 2, "hours since 2016-03-01 00:30"},
      {"DD/MM/YYYY every other day", slashDays, 2, "days since 2013-01-01"},
      {"DD/MM/YYYY HH:MM", slashHours, 1, "hours since 2013-02-28 12:00"},
  };
  TTableOptions irregular;
  irregular.Irregular = true;
  for (const auto& form : forms2) {
    const TTableRecords records = Read(Table("date,rain,et,q", form.dates), irregular);
    std::vector<double> expected;
    for (int i = 0; i < 12; ++i) expected.push_back(form.step * (i + 1));
    // The last record of these comes two hours after the one before.
    if (form.dates == isoHours || form.dates == slashHours) expected[11] = 13;
    EXPECT_EQ(records.Time, expected) << form.what;
    EXPECT_EQ(records.TimeOrigin, form.origin) << form.what;
  }
  // The clock time in a column of its own.
  std::string split = "Date;Time;P;ET;Q\n";
  for (int i = 0; i < 12; ++i) split += "31.12.2011;" + std::to_string(12 + i) + ":00;1;0;1\n";
  split.replace(split.rfind("31.12.2011;23:00"), 16, "01.01.2012;00:00");
  const TTableRecords clock = Read(split, irregular);
  EXPECT_EQ(clock.TimeOrigin, "hours since 2011-12-31 12:00");
  EXPECT_EQ(clock.Time.back(), 13);
  // Whole days written with a clock time stay days; a step of a day and a
  // half makes hours.
  std::vector<std::string> noon;
  for (int i = 0; i < 12; ++i) noon.push_back("2013-06-" + std::to_string(10 + i) + " 12:00");
  EXPECT_EQ(Read(Table("datetime,rain,pet,discharge", noon)).TimeOrigin,
            "days since 2013-06-10 12:00");
  noon[11] = "2013-06-23 00:00";
  const TTableRecords mixed = Read(Table("timestamp,rain,pet,discharge", noon), irregular);
  EXPECT_EQ(mixed.TimeOrigin, "hours since 2013-06-10 12:00");
  EXPECT_EQ(mixed.Time[11], 24.0 * 13.5);
}

TEST(TableReader, HeaderVariantsInAnyOrderWithUnitsAndOtherColumns) {
  struct TCase {
    std::string header;
    std::string row;  // one record; eleven more follow with later times
    double rain, escape, runoff;
  };
  const TCase cases[] = {
      {"Time,Rain,Escape,Runoff", "{t},1.5,0.25,0.75", 1.5, 0.25, 0.75},
      {"T,P,ET,Q", "{t},1.5,0.25,0.75", 1.5, 0.25, 0.75},
      {"Q [mm/h],station,PET (mm/h),Precipitation [mm/h],TIME", "0.75,A,0.25,1.5,{t}", 1.5, 0.25,
       0.75},
      {"discharge;evaporation;rainfall;id;Date", "0,75;0,25;1,5;7;{d}", 1.5, 0.25, 0.75},
      {" Runoff ,  ETpot , precip, DateTime", "0.75,0.25,1.5,{d} 06:00", 1.5, 0.25, 0.75},
  };
  for (const auto& c : cases) {
    std::string text = c.header + "\n";
    for (int i = 1; i <= 12; ++i) {
      std::string row = c.row;
      if (const auto t = row.find("{t}"); t != std::string::npos) {
        row.replace(t, 3, std::to_string(i));
      }
      if (const auto d = row.find("{d}"); d != std::string::npos) {
        row.replace(d, 3, "2013-04-" + std::string(i < 10 ? "0" : "") + std::to_string(i));
      }
      text += row + "\n";
    }
    const TTableRecords records = Read(text);
    ASSERT_EQ(records.Count(), 12u) << c.header;
    EXPECT_EQ(records.Time, Steps(12)) << c.header;
    EXPECT_EQ(records.Rain[5], c.rain) << c.header;
    EXPECT_EQ(records.Escape[5], c.escape) << c.header;
    EXPECT_EQ(records.Runoff[5], c.runoff) << c.header;
  }
}

TEST(TableReader, RefusalsNameTheRowAndTheColumn) {
  const std::string good = Table("time,rain,escape,runoff", Hours());
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string text = good;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  std::vector<std::string> dates;
  for (int i = 1; i <= 12; ++i)
    dates.push_back("2013-04-" + std::string(i < 10 ? "0" : "") + std::to_string(i));
  const std::string dated = Table("date,rain,escape,runoff", dates);
  auto datedWith = [&](const std::string& from, const std::string& to) {
    std::string text = dated;
    text.replace(text.find(from), from.size(), to);
    return text;
  };
  struct TCase {
    std::string text;
    bool needRunoff;
    std::string message;
  };
  const TCase cases[] = {
      {replaced("\n5,0.40", "\n5,NA"), true,
       "Row 6, column 2 \"rain\": \"NA\" marks a missing value. The model has no place for gaps"},
      {replaced("\n5,0.40", "\n5,"), true,
       "Row 6, column 2 \"rain\": the value is missing. The model has no place for gaps"},
      {replaced("0.05,0.57\n", "0.05,\n"), true,
       "Row 9, column 4 \"runoff\": the value is missing."},
      {replaced("0.05,0.57\n", "0.05\n"), true,
       "Row 9, column 4 \"runoff\": the value is missing."},
      {replaced("\n5,0.40,0.05", "\n5,0.40,0.o5"), true,
       "Row 6, column 3 \"escape\": \"0.o5\" is not a number."},
      {replaced("\n5,0.40", "\n5,-0.40"), true, "Row 6, column 2 \"rain\": -0.40 is negative"},
      {replaced("\n5,", "\n4,"), true,
       "Row 6, column 1 \"time\": 4 does not come after 4; times must increase."},
      {datedWith("2013-04-07", "2013-04-31"), true,
       "Row 8, column 1 \"date\": \"2013-04-31\" is not a date"},
      {datedWith("2013-04-07", "07.04.13"), true, "Row 8, column 1 \"date\": \"07.04.13\" is not"},
      {datedWith("2013-04-07", "2013-04-07 25:00"), true, "Row 8, column 1 \"date\""},
      {datedWith("2013-04-07", "2013-04-05"), true,
       "Row 8, column 1 \"date\": 2013-04-05 does not come after 2013-04-06; times must "
       "increase."},
      {Table("time,rain,escape,flow", Hours(1501)), true,
       "Row 1502, column 1 \"time\": the table holds 1501 records; the program takes at most "
       "1500: record 1500 is at 1500."},
      {Table("time,rain,escape,flow", Hours(11)), true,
       "Row 12, column 1 \"time\": the table has 11 records; the program needs at least 12."},
      {Table("time,rain,escape,level", Hours()), true, "Row 1: no runoff column"},
      {Table("time,snow,escape,q", Hours()), true, "Row 1: no rain column"},
      {Table("hour,rain,escape,q", Hours()), true, "Row 1: no time column"},
      {Table("time,rain,precip,q", Hours()), true,
       "Row 1, columns 2 \"rain\" and 3 \"precip\": both name the rain"},
      {"time\n1\n2\n", true, "Row 1: the header row has no columns separated"},
      {"", true, "Row 1: the header row has no columns separated"},
  };
  for (const auto& c : cases) {
    const TTableReadResult result = ReadTable(c.text, c.needRunoff);
    EXPECT_FALSE(result.Records.has_value()) << c.message;
    EXPECT_EQ(result.Message.substr(0, c.message.size()), c.message);
  }
  // A prediction needs no runoff column, and a faulty one does not matter.
  EXPECT_TRUE(ReadTable(replaced("0.05,0.57\n", "0.05,NA\n"), false).Records.has_value());
  // A decimal comma only where commas do not separate the fields.
  EXPECT_EQ(ReadTable(Table("t;rain;et;q", Hours(), ';', ',') + "13;1.000,5;0;0\n", true).Message,
            "Row 14, column 2 \"rain\": \"1.000,5\" is not a number." +
                std::string(TableTexts::kGapNote));
}

TEST(TableReader, PutsTheRecordsIntoTheDataSet) {
  TDMTevlora data;
  data.MaxEscape = 0.125;
  data.NrOfData = 40;
  data.Removed.assign(40, true);
  std::vector<std::string> dates;
  for (int i = 0; i < 12; ++i) dates.push_back("2011-12-01 " + std::to_string(i) + ":00");
  std::string text = "date,rain,q\n";
  for (int i = 0; i < 12; ++i) text += dates[i] + ",0.1,0.2\n";
  PutTableRecords(Read(text), data);
  EXPECT_EQ(data.NrOfData, 12);
  EXPECT_EQ(data.SerialNr.back(), 12);
  EXPECT_EQ(data.EscRate, std::vector<double>(12, 0.125));
  EXPECT_EQ(data.Removed, std::vector<bool>(12, false));
  EXPECT_EQ(data.Title2, "hours since 2011-12-01 00:00, depths in mm");
  PutTableRecords(Read(Table("time,rain,escape,runoff", Hours())), data);
  EXPECT_EQ(data.Title2, "time as given in the table, depths in mm");
  EXPECT_EQ(data.EscRate[0], 0.05);
}

TEST(ResultsTable, AnalysisAndPredictionTablesAsCsv) {
  const std::string analysis =
      CrLf({"THE RESULTS OF TevloraT PROGRAM",
            "",
            "Imported",
            "days since 2013-04-01, depths in mm",
            "Name of input file used: x.inp",
            "",
            "",
            "",
            "",
            "",
            "",
            "",
            "A= 0.0180  C=  0.1200",
            "",
            "RECONSTRUCTION:",
            std::string(64, '-'),
            "Serial    Time      Rain    Recharge   Runoff    Alpha    Runoff",
            " No.",
            " ",
            std::string(64, '-'),
            " 1        1.00      0.00      0.00      0.62     0.000      0.62",
            " 2        2.00     12.35      1.10      0.64     0.131      0.60",
            std::string(64, '-'),
            "Stand. dev. of calc. from meas. runoff:   0.012",
            ""});
  std::string message;
  // A title that begins like the table's title line does not mislead.
  const std::string titled =
      std::string(analysis).replace(analysis.find("Imported"), 8, "PREDICTED");
  EXPECT_EQ(ResultsTableCsv(titled, message), ResultsTableCsv(analysis, message));
  EXPECT_EQ(ResultsTableCsv(analysis, message),
            CrLf({"serial,time [d],rain [mm/d],recharge [mm/d],measured runoff [mm/d],"
                  "alpha [1/d],calculated runoff [mm/d]",
                  "1,1.00,0.00,0.00,0.62,0.000,0.62", "2,2.00,12.35,1.10,0.64,0.131,0.60"}));
  const std::string prediction = CrLf(
      {"RESULTS OF Tevlora PROGRAM", "", "Runs", "Rain in mm/hour", "", "",
       "PREDICTION drainage:", std::string(64, '-'), "Serial ...", "units", std::string(64, '-'),
       "   1      1.00      0.00      0.00     0.000      0.02     49.07",
       "  10     10.00      1.20      0.30     0.051      0.03    -12.50", std::string(63, '-')});
  EXPECT_EQ(ResultsTableCsv(prediction, message),
            CrLf({"serial,time [t],rain [mm/t],recharge [mm/t],alpha [1/t],discharge [mm/t],"
                  "head [mm]",
                  "1,1.00,0.00,0.00,0.000,0.02,49.07", "10,10.00,1.20,0.30,0.051,0.03,-12.50"}));
  std::string runoff = prediction;
  runoff.replace(runoff.find("drainage"), 8, "runoff");
  const std::string runoffCsv = ResultsTableCsv(runoff, message);
  EXPECT_EQ(runoffCsv.substr(0, runoffCsv.find("\r\n")),
            "serial,time [t],rain [mm/t],recharge [mm/t],alpha [1/t],runoff [mm/t],storage [mm]");
  // Not a results file, a damaged record, an empty table.
  for (const std::string& text :
       {CrLf({" Input data for Tevlora program", " Analysis and reconstruction"}),
        std::string(prediction).replace(prediction.find("49.07"), 5, "49,07"),
        std::string(prediction).replace(prediction.find("  10 "), 5, "  10 9 "),
        CrLf({"PREDICTION runoff:", "-", "t", "u", "-", std::string(63, '-')})}) {
    message.clear();
    EXPECT_EQ(ResultsTableCsv(text, message), "");
    EXPECT_FALSE(message.empty()) << text;
  }
}

TEST(NumberForms, ExponentFormRoundsTheWrittenDecimalHalfUp) {
  // Values as typed or read from a table: the first dropped digit decides.
  EXPECT_EQ(FormatInputNumber(0.0885, 10), " 8.9E-0002");
  EXPECT_EQ(FormatInputNumber(0.0115, 10), " 1.2E-0002");
  EXPECT_EQ(FormatInputNumber(0.0114999, 10), " 1.1E-0002");
  EXPECT_EQ(FormatInputNumber(0.996, 10), " 1.0E+0000");
  EXPECT_EQ(FormatInputNumber(0.0999951, 12), " 1.000E-0001");
  EXPECT_EQ(FormatInputNumber(-0.0445, 10), "-4.5E-0002");
}

}  // namespace
