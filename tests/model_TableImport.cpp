// What the table reader takes, converts and refuses: column names, units,
// steps, date order, the times the input file can hold, and its report.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "TableFile.h"
#include "TestSupport.h"
#include "TextFile.h"

namespace {

using std::string;
using std::vector;

// A header and `count` rows made by `row(i)`, i from 0.
string Rows(const string& header, int count, const std::function<string(int)>& row) {
  string text = header + "\n";
  for (int i = 0; i < count; ++i) text += row(i) + "\n";
  return text;
}

// Day i from 1990-04-01 (within April and May), ISO or DD.MM.YYYY.
string Day(int i, bool dotted = false) {
  const int month = i < 30 ? 4 : 5;
  const int day = i < 30 ? i + 1 : i - 29;
  char b[32];
  if (dotted) {
    std::snprintf(b, sizeof b, "%02d.%02d.1990", day, month);
  } else {
    std::snprintf(b, sizeof b, "1990-%02d-%02d", month, day);
  }
  return b;
}

TTableOptions With(const std::function<void(TTableOptions&)>& set) {
  TTableOptions options;
  set(options);
  return options;
}

TTableReadResult ReadWith(const string& text, TTableOptions options = {}) {
  return ReadTable(text, options);
}

bool Has(const vector<string>& report, const string& part) {
  for (const auto& line : report) {
    if (line.find(part) != string::npos) return true;
  }
  return false;
}

// The message's beginning, as long as `expected`.
string Head(const TTableReadResult& result, const string& expected) {
  return result.Message.substr(0, expected.size());
}

TEST(TableImport, NegativeEscapeAndRunoffAreTakenNegativeRainIsNot) {
  const string table = Rows("time,rain,escape,runoff", 12, [](int i) {
    return std::to_string(i + 1) + ",1," + (i == 3 ? "-0.5" : "0.1") + "," +
           (i == 5 ? "-0.02" : "0.3");
  });
  const auto result = ReadWith(table);
  ASSERT_TRUE(result.Records) << result.Message;
  EXPECT_EQ(result.Records->Escape[3], -0.5);
  EXPECT_EQ(result.Records->Runoff[5], -0.02);
  string rain = table;
  rain.replace(rain.find("\n4,1,"), 5, "\n4,-1,");
  const string negative =
      "Row 5, column 2 \"rain\": -1 is negative; rain is a depth. Replace negative values";
  EXPECT_EQ(Head(ReadWith(rain), negative), negative);
}

TEST(TableImport, EvaporationColumnsAreTheEscapeRateAndUnusedColumnsAreListed) {
  struct TCase {
    string header;
    double escape;  // of every record, in mm per time unit
  };
  const TCase cases[] = {
      {"Date;rainfall[mm];TURC [mm d-1];Discharge[mm];note", 0.35},
      {"Date;rainfall[mm];E;Discharge[mm];note", 0.35},
      {"Date;rainfall[mm];evap_pan;Discharge[mm];note", 0.35},
      {"Date;rainfall[mm];ETref (mm);Discharge[mm];note", 0.35},
  };
  for (const auto& c : cases) {
    const auto result =
        ReadWith(Rows(c.header, 12, [](int i) { return Day(i, true) + ";1,5;0,35;0,4;checked"; }));
    ASSERT_TRUE(result.Records) << c.header << ": " << result.Message;
    EXPECT_EQ(result.Records->Escape, vector<double>(12, c.escape)) << c.header;
    const auto& report = result.Records->Report;
    EXPECT_TRUE(Has(report, "escape: column 3")) << c.header;
    EXPECT_TRUE(Has(report, "not used: column 5 \"note\"")) << c.header;
  }
}

TEST(TableImport, OneLetterNamesOnlyWhenNothingElseCouldBeMeant) {
  // An hourly station export: T temperature, Q radiation, P air pressure.
  auto station = [](const string& header, bool dated) {
    return Rows(header, 24, [=](int i) {
      return string(dated ? "260,20001001," : "260,") + std::to_string(i + 1) + "," +
             std::to_string(138 - i % 3) + ",0," + std::to_string(i % 4) + "," +
             std::to_string(10078 - i);
    });
  };
  const string hourly = station("STN,YYYYMMDD,HH,T,Q,RH,P", true);
  const string pressure = "Row 1: column 7 \"P\" has a one-letter name, and column 1 \"STN\"";
  EXPECT_EQ(Head(ReadWith(hourly), pressure), pressure);
  EXPECT_NE(ReadWith(hourly).Message.find("--columns rain=NAME"), string::npos);
  const string temperature = "Row 1: column 3 \"T\" has a one-letter name, and column 1 \"STN\"";
  EXPECT_EQ(Head(ReadWith(station("STN,HH,T,Q,RH,P", false)), temperature), temperature);
  EXPECT_NE(ReadWith(station("STN,HH,T,Q,RH,P", false)).Message.find("--columns time=NAME"),
            string::npos);
  // Named: taken, and said so; the hours 1 to 24 end their intervals.
  TTableOptions named;
  named.Columns = {{"rain", "RH[0.1 mm]"}, {"runoff", "Q"}};
  const auto taken = ReadWith(hourly, named);
  ASSERT_TRUE(taken.Records) << taken.Message;
  EXPECT_DOUBLE_EQ(taken.Records->Rain[2], 0.2);
  EXPECT_EQ(taken.Records->TimeOrigin, "hours since 2000-10-01 00:00");
  for (const char* line :
       {"time: column 2 \"YYYYMMDD\" with the hour of column 3 \"HH\" (1 to 24: the hour that "
        "ends then)",
        "rain: column 6 \"RH\", 0.1 mm, converted to mm",
        "not used: column 1 \"STN\", column 4 "
        "\"T\", column 7 \"P\""}) {
    EXPECT_TRUE(Has(taken.Records->Report, line)) << line;
  }
  // The user's time column goes before a date column.
  TTableOptions when;
  when.Columns = {{"time", "when"}};
  const auto chosen = ReadWith(
      Rows("date,when,rain,q", 12, [](int i) { return "x," + std::to_string(i + 1) + ",1,0.5"; }),
      when);
  ASSERT_TRUE(chosen.Records) << chosen.Message;
  EXPECT_TRUE(Has(chosen.Records->Report, "time: column 2 \"when\", numbers"));
  // Nothing else could be meant, but the values are no rain.
  const string barometer = Rows("date,P,Q", 12, [](int i) { return Day(i) + ",1013,0.5"; });
  EXPECT_NE(ReadWith(barometer).Message.find("column 2 \"P\" has a one-letter name, and values up "
                                             "to 1013 are not those of the rain"),
            string::npos)
      << ReadWith(barometer).Message;
  // A tidy table with one-letter names reads as before, each role reported.
  const auto tidy = ReadWith(
      Rows("T,P,ET,Q", 12, [](int i) { return std::to_string(i + 1) + ",1.5,0.25,0.75"; }));
  ASSERT_TRUE(tidy.Records) << tidy.Message;
  for (const char* line : {"time: column 1 \"T\"", "rain: column 2 \"P\"",
                           "escape: column 3 \"ET\"", "runoff: column 4 \"Q\""}) {
    EXPECT_TRUE(Has(tidy.Records->Report, line)) << line;
  }
}

TEST(TableImport, UnitsAreReadAndConvertedToDepthsPerRecord) {
  struct TCase {
    string header;  // date, rain, escape, runoff; every value 2
    bool hourly;
    std::optional<double> area;
    double rain, escape, runoff;
  };
  const TCase cases[] = {
      // Daily: a day is the time unit and the record.
      {"date,prcp(mm/day),pet [mm],Q [m3/s]", false, 86.4, 2, 2, 2},
      {"date,rain [in],pet [mm/d],Discharge[ls-1]", false, 1.0, 50.8, 2, 2 * 0.0864},
      {"date,rain [0.1 mm],pet,flow [cfs]", false, 1.0, 0.2, 2, 2 * 0.028316846592 * 86400 / 1000},
      // Hourly: per day becomes per hour.
      {"date,rain [mm/d],pet [mm/d],runoff [mm/h]", true, {}, 2.0 / 24, 2.0 / 24, 2},
      {"date,rain [mm],pet [mm/h],runoff [mm h-1]", true, {}, 2, 2, 2},
  };
  for (const auto& c : cases) {
    const auto result = ReadWith(
        Rows(c.header, 12,
             [&](int i) {
               return (c.hourly ? "2013-05-30 " + std::to_string(10 + i) + ":00" : Day(i)) +
                      ",2,2,2";
             }),
        With([&](TTableOptions& o) { o.AreaKm2 = c.area; }));
    ASSERT_TRUE(result.Records) << c.header << ": " << result.Message;
    EXPECT_DOUBLE_EQ(result.Records->Rain[4], c.rain) << c.header;
    EXPECT_DOUBLE_EQ(result.Records->Escape[4], c.escape) << c.header;
    EXPECT_DOUBLE_EQ(result.Records->Runoff[4], c.runoff) << c.header;
  }
  // A unit it does not know, a volume without an area, a rate without a
  // time unit.
  const std::pair<string, string> refused[] = {
      {"date,rain [W/m2],pet,q [mm]",
       "Row 1, column 2 \"rain [W/m2]\": the unit \"W/m2\" is "
       "not one"},
      {"date,rain,pet,Discharge[ls-1]",
       "Row 1, column 4 \"Discharge[ls-1]\": \"ls-1\" is a "
       "volume per time; give the catchment area"},
  };
  for (const auto& [header, message] : refused) {
    const auto result = ReadWith(Rows(header, 12, [](int i) { return Day(i) + ",2,2,2"; }));
    EXPECT_EQ(Head(result, message), message);
  }
  // A units row under the header.
  const auto unitsRow = ReadWith(Rows("date,tmax,Prec,Discharge\n#,C,mm/day,m³/s", 12,
                                      [](int i) { return Day(i, true) + ",3,1,1"; }),
                                 With([&](TTableOptions& o) { o.AreaKm2 = 8.64; }));
  ASSERT_TRUE(unitsRow.Records) << unitsRow.Message;
  EXPECT_DOUBLE_EQ(unitsRow.Records->Runoff[0], 10);
  // More runoff than rain: a warning, the records still taken.
  EXPECT_TRUE(Has(unitsRow.Records->Report,
                  "warning: the runoff adds up to 120 mm, more than "
                  "the rain (12 mm)"));
}

TEST(TableImport, AStepThatDiffersIsRefusedUnlessIrregularStepsAreAllowed) {
  auto daily = [](int skipped) {
    return Rows("date,rain,pet,q", 13,
                [=](int i) { return Day(i >= skipped ? i + 1 : i) + ",1,0.1,0.5"; });
  };
  const auto gap = ReadWith(daily(9));
  EXPECT_EQ(gap.Message,
            "Row 11, column 1 \"date\": 1990-04-09 to 1990-04-11: one record missing? The table's "
            "step is 1 day. Fill the gap, or give --irregular to take the steps as they are.");
  const auto hourly = ReadWith(Rows("date,rain,pet,q", 13, [](int i) {
    return "2013-05-30 " + std::to_string(i < 5 ? i : i + 1) + ":00,1,0.1,0.5";
  }));
  const string hour = "Row 7, column 1 \"date\": 2013-05-30 04:00 to 2013-05-30 06:00: one record";
  EXPECT_EQ(Head(hourly, hour), hour);
  const auto numbers = ReadWith(Rows(
      "time,rain,q", 12, [](int i) { return std::to_string(i < 7 ? i + 1 : i + 2) + ",1,0.5"; }));
  const string step = "Row 9, column 1 \"time\": 7 to 9: a step of 2, not 1 as in the rest";
  EXPECT_EQ(Head(numbers, step), step);
  const auto allowed = ReadWith(daily(9), With([&](TTableOptions& o) { o.Irregular = true; }));
  ASSERT_TRUE(allowed.Records) << allowed.Message;
  EXPECT_EQ(allowed.Records->Time[9], 11);
}

TEST(TableImport, DayOrMonthFirstIsTheReadingWithRegularSteps) {
  // A spreadsheet of a month-first locale, daily from 1 October.
  const string us = Rows("Date,Rain,PET,Q", 12, [](int i) {
    return "10/" + std::to_string(i + 1) + "/2012 0:00,1,0.1,0.5";
  });
  const auto month = ReadWith(us);
  ASSERT_TRUE(month.Records) << month.Message;
  EXPECT_EQ(month.Records->TimeOrigin, "days since 2012-10-01");
  EXPECT_TRUE(Has(month.Records->Report,
                  "month first (MM/DD/YYYY): the other order gives "
                  "irregular steps"));
  // Hours of one day: both readings are regular.
  const string oneDay = Rows("Date,Rain,PET,Q", 12, [](int i) {
    return "5/6/2012 " + std::to_string(i) + ":00,1,0.1,0.5";
  });
  EXPECT_NE(ReadWith(oneDay).Message.find("Say which with --day-first or --month-first."),
            string::npos);
  const auto day = ReadWith(
      oneDay, With([&](TTableOptions& o) { o.DateOrder = TTableOptions::TDateOrder::DayFirst; }));
  ASSERT_TRUE(day.Records) << day.Message;
  EXPECT_EQ(day.Records->TimeOrigin, "hours since 2012-06-05 00:00");
  const auto us2 = ReadWith(
      oneDay, With([&](TTableOptions& o) { o.DateOrder = TTableOptions::TDateOrder::MonthFirst; }));
  ASSERT_TRUE(us2.Records) << us2.Message;
  EXPECT_EQ(us2.Records->TimeOrigin, "hours since 2012-05-06 00:00");
}

TEST(TableImport, TimesTheInputFileWouldMergeAreRefusedWithTheirRow) {
  // Every 30 seconds: from 1 hour on the file holds 0.01 h, not 30 s.
  const auto logger = ReadWith(Rows("date,rain,q", 200, [](int i) {
    char b[40];
    std::snprintf(b, sizeof b, "2013-05-30 %02d:%02d:%02d", 8 + i / 120, i / 2 % 60, i % 2 * 30);
    return string(b) + ",0.1,0.01";
  }));
  const string merged =
      "Row 122, column 1 \"date\": the time 1.00833333333333 is written 1.01 in the input file, "
      "which changes the step by more than 1 %.";
  EXPECT_EQ(Head(logger, merged), merged);
  const auto thousandths = ReadWith(Rows("time,rain,q", 12, [](int i) {
    char b[16];
    std::snprintf(b, sizeof b, "1.%03d", i);
    return string(b) + ",0.1,0.01";
  }));
  const string same =
      "Row 3, column 1 \"time\": the time 1.001 is written 1.00 in the input file, which does "
      "not come after the time before it.";
  EXPECT_EQ(Head(thousandths, same), same);
  // One-minute steps fit in minutes, and the message says so.
  const string minutes = Rows("date,rain,q", 100, [](int i) {
    char b[40];
    std::snprintf(b, sizeof b, "2013-05-30 %02d:%02d", 8 + i / 60, i % 60);
    return string(b) + ",0.1,0.01";
  });
  EXPECT_NE(ReadWith(minutes).Message.find("In minutes (--time-unit minutes)"), string::npos);
  const auto inMinutes = ReadWith(minutes, With([&](TTableOptions& o) { o.TimeUnit = "minutes"; }));
  ASSERT_TRUE(inMinutes.Records) << inMinutes.Message;
  EXPECT_EQ(inMinutes.Records->Time[99], 100);
}

TEST(TableImport, HugeLinesAndTablesAreRefusedBeforeTheyAreRead) {
  TTemporaryDirectory directory;
  const string wide = directory.File("wide.csv");
  WriteFileBytes(wide, "time,rain,q\n1,2," + string(5 << 20, '3') + "\n");
  EXPECT_EQ(ReadTableFile(wide, true).Message,
            "Row 2: a line longer than 4 MB; this is not a table of measurements the program can "
            "take.");
  const string longTable = directory.File("long.csv");
  WriteFileBytes(longTable,
                 Rows("time,rain,q", 4000, [](int i) { return std::to_string(i + 1) + ",1,0.5"; }));
  const string limit =
      "Row 1502, column 1 \"time\": the table holds 4000 records; the program takes at most "
      "1500: record 1500 is at 1500. Take a stretch with --window FROM TO.";
  EXPECT_EQ(Head(ReadTableFile(longTable, true), limit), limit);
  // A window may take 1500 of many more records, but the import reads no
  // further than 200000 of them.
  const string huge = directory.File("huge.csv");
  WriteFileBytes(huge, Rows("time,rain,q", TableTexts::kMaxReadRecords + 300,
                            [](int i) { return std::to_string(i + 1) + ",1,0.5"; }));
  EXPECT_NE(
      ReadTableFile(huge, true)
          .Message.find("the table goes on beyond 200000 records, more than the import reads"),
      string::npos);
}

TEST(TableImport, LineEndsInTextForAFileLineBecomeBlanks) {
  bool changed = false;
  EXPECT_EQ(OneLineText("Storm\r\nof May\t2013", changed), "Storm  of May 2013");
  EXPECT_TRUE(changed);
  EXPECT_EQ(OneLineText("Plain title", changed), "Plain title");
  EXPECT_FALSE(changed);
}

}  // namespace
