// Tables as people download them: text blocks, comments, units rows, blank
// separators, compact and split dates, gaps, windows, longer steps and two
// tables joined on their dates.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <functional>

#include "TableFile.h"
#include "TestSupport.h"
#include "TextFile.h"

namespace {

using std::string;
using std::vector;

string Rows(const string& header, int count, const std::function<string(int)>& row) {
  string text = header + "\n";
  for (int i = 0; i < count; ++i) text += row(i) + "\n";
  return text;
}

// YYYY-MM-DD of day i from 2001-03-01 (March and April).
string Iso(int i) {
  char b[16];
  std::snprintf(b, sizeof b, "2001-%02d-%02d", i < 31 ? 3 : 4, i < 31 ? i + 1 : i - 30);
  return b;
}

TTableReadResult Read(const string& text, const std::function<void(TTableOptions&)>& set = {}) {
  TTableOptions options;
  if (set) set(options);
  return ReadTable(text, options);
}

bool Has(const TTableReadResult& result, const string& part) {
  if (!result.Records) return result.Message.find(part) != string::npos;
  for (const auto& line : result.Records->Report) {
    if (line.find(part) != string::npos) return true;
  }
  return false;
}

TEST(TableForms, TextBlocksCommentsUnitsRowsAndBlankSeparators) {
  struct TCase {
    const char* what;
    string text;
    std::function<void(TTableOptions&)> set;
    double rain3, escape3, runoff3;  // record 3
  };
  const auto plain = [](int i) { return std::to_string(i + 1) + ",1,0.2,0.5"; };
  const TCase cases[] = {
      {"a text block and comment lines among the records",
       "Station 7, lowland brook\nHeight: 12 m\n\n" +
           Rows("time,rain,escape,runoff", 12,
                [&](int i) { return i % 5 == 4 ? "# serviced\n" + plain(i) : plain(i); }),
       {},
       1,
       0.2,
       0.5},
      {"a comment mark of the user's",
       Rows("time,rain,escape,runoff", 12,
            [&](int i) { return i == 1 ? "% checked\n" + plain(i) : plain(i); }),
       [](TTableOptions& o) { o.CommentMark = '%'; }, 1, 0.2, 0.5},
      {"a units row in brackets",
       Rows("time,rain,escape,runoff\n[h],[0.1 mm],[mm/h],[mm]", 12, plain),
       {},
       0.1,
       0.2,
       0.5},
      {"a header lined up with blanks over records with tabs",
       Rows("Year Mnth Day  rain escape  runoff", 12,
            [](int i) { return "2001 03 " + std::to_string(i + 1) + "\t1\t0.2 \t 0.5"; }),
       {},
       1,
       0.2,
       0.5},
      {"quoted names between blanks",
       Rows("\"time\" \"Rain (mm)\" \"escape\" \"runoff\"", 12,
            [](int i) { return std::to_string(i + 1) + " 1 0.2 0.5"; }),
       {},
       1,
       0.2,
       0.5},
  };
  for (const auto& c : cases) {
    const auto result = Read(c.text, c.set);
    ASSERT_TRUE(result.Records) << c.what << ": " << result.Message;
    ASSERT_GE(result.Records->Count(), 12u) << c.what;
    EXPECT_DOUBLE_EQ(result.Records->Rain[2], c.rain3) << c.what;
    EXPECT_DOUBLE_EQ(result.Records->Escape[2], c.escape3) << c.what;
    EXPECT_DOUBLE_EQ(result.Records->Runoff[2], c.runoff3) << c.what;
  }
  // The comments are no records.
  EXPECT_EQ(Read(cases[0].text).Records->Count(), 12u);
}

TEST(TableForms, CompactDatesDateColumnsAndHoursOfTheDay) {
  struct TCase {
    const char* what;
    string text;
    string origin;
    double secondTime;
  };
  const auto values = ",1,0.1,0.5";
  const TCase cases[] = {
      {"year, month and day columns",
       Rows("year,month,day,rain,escape,runoff", 12,
            [&](int i) { return "2001,3," + std::to_string(i + 1) + values; }),
       "days since 2001-03-01", 2},
      {"a date and hours 1 to 24: the hour that ends then",
       Rows("date,hh,rain,escape,runoff", 12,
            [&](int i) {
              return (i < 8 ? "20010301," : "20010302,") + std::to_string((i + 16) % 24 + 1) +
                     values;
            }),
       "hours since 2001-03-01 16:00", 2},
      {"a date and hours 0 to 23: the hour that begins then",
       Rows("date,hour,rain,escape,runoff", 12,
            [&](int i) {
              return (i < 6 ? "20010301," : "20010302,") + std::to_string((i + 18) % 24) + values;
            }),
       "hours since 2001-03-01 18:00", 2},
      {"the same hour in every record of a daily table is a stamp",
       Rows("Year Mnth Day Hr rain escape runoff", 12,
            [&](int i) { return "2001 3 " + std::to_string(i + 1) + " 12 1 0.1 0.5"; }),
       "days since 2001-03-01", 2},
  };
  for (const auto& c : cases) {
    const auto result = Read(c.text);
    ASSERT_TRUE(result.Records) << c.what << ": " << result.Message;
    if (c.origin.empty()) continue;
    EXPECT_EQ(result.Records->TimeOrigin, c.origin) << c.what;
    EXPECT_EQ(result.Records->Time[1], c.secondTime) << c.what;
  }
  // Quarter hours from 12:00 in minutes: the first record ends at 15.
  string quarters = "date,rain,escape,runoff\n";
  for (int i = 0; i < 12; ++i) {
    char b[64];
    std::snprintf(b, sizeof b, "20010301%02d%02d,1,0.1,0.5\n", 12 + i / 4, i % 4 * 15);
    quarters += b;
  }
  const auto minutes = Read(quarters, [](TTableOptions& o) { o.TimeUnit = "minutes"; });
  ASSERT_TRUE(minutes.Records) << minutes.Message;
  EXPECT_EQ(minutes.Records->TimeOrigin, "minutes since 2001-03-01 12:00");
  EXPECT_EQ(minutes.Records->Time[11], 180);
  // Split dates are checked as dates.
  EXPECT_EQ(Read(Rows("year,month,day,rain,escape,runoff", 12,
                      [](int i) { return "2001,2," + std::to_string(i + 20) + ",1,0.1,0.5"; }))
                .Message.substr(0, 41),
            "Row 11, column 1 \"year\": \"2001-02-29\" is ");
}

TEST(TableForms, ColumnsByNumberUnitsGivenAndRainOfAWeatherService) {
  // No header: the columns by their numbers.
  const string bare = Rows("", 12, [](int i) {
                        return "01547700 2001 03 " + std::to_string(i + 1) + " 1.5 8 A";
                      }).substr(1);
  EXPECT_TRUE(Has(Read(bare), "Row 1: the table has no header row"));
  const auto numbered = Read(bare, [](TTableOptions& o) {
    o.Columns = {{"year", "2"}, {"month", "3"}, {"day", "4"}, {"rain", "5"}, {"runoff", "6"}};
    o.Units = {{"runoff", "ML/d"}};
    o.AreaKm2 = 4;
  });
  ASSERT_TRUE(numbered.Records) << numbered.Message;
  EXPECT_EQ(numbered.Records->TimeOrigin, "days since 2001-03-01");
  // 8 ML a day over 4 km2: 8000 m3 over 4e6 m2, 2 mm a day.
  EXPECT_DOUBLE_EQ(numbered.Records->Runoff[0], 2);
  EXPECT_TRUE(Has(numbered, "runoff: column 6, ML/d over 4 km2"));

  // A unit given replaces the table's; cubic feet per second over the area
  // that makes one of them 1 mm a day.
  const string daily =
      Rows("date,rain,escape,Q [m3/s]", 12, [](int i) { return Iso(i) + ",1,0.1,1"; });
  const auto cfs = Read(daily, [](TTableOptions& o) {
    o.Units = {{"runoff", "cfs"}};
    o.AreaKm2 = 0.028316846592 * 86400 / 1000;
  });
  ASSERT_TRUE(cfs.Records) << cfs.Message;
  EXPECT_NEAR(cfs.Records->Runoff[4], 1, 1e-12);

  // RH is the rain only with a depth for a unit; -1 then is a trace.
  const string station = Rows("YYYYMMDD,HH,T,RH,U", 12, [](int i) {
    return "20001001," + std::to_string(i + 1) + ",138," + (i == 3 ? "-1" : "6") + ",98";
  });
  const auto prediction = [](TTableOptions& o) { o.NeedRunoff = false; };
  EXPECT_TRUE(Has(Read(station, prediction), "Row 1: no rain column"));
  const auto tenths = Read(station, [&](TTableOptions& o) {
    prediction(o);
    o.Units = {{"rain", "0.1 mm"}};
  });
  ASSERT_TRUE(tenths.Records) << tenths.Message;
  EXPECT_DOUBLE_EQ(tenths.Records->Rain[0], 0.6);
  EXPECT_EQ(tenths.Records->Rain[3], 0);
  EXPECT_TRUE(Has(tenths, "1 rain value of -1 (a trace, less than 0.05 mm) taken as 0"));
  // Other negative rain is still refused, with its row and column.
  EXPECT_TRUE(Has(Read(station,
                       [&](TTableOptions& o) {
                         prediction(o);
                         o.Units = {{"rain", "mm"}};
                       }),
                  "Row 5, column 4 \"RH\": -1 is negative"));
}

TEST(TableForms, MissingValuesWindowsAndFilledGaps) {
  // Days 0 .. 39; the runoff is missing on days 3 and 4 (written `code`),
  // the rain on day 20; escape 0.1, runoff 1 + day / 10.
  const auto table = [](const string& code) {
    return Rows("date,rain,escape,runoff", 40, [&](int i) {
      const string runoff = i == 3 || i == 4 ? code : ShortestText(1 + i / 10.0);
      return Iso(i) + "," + (i == 20 ? "NA" : "2") + ",0.1," + runoff;
    });
  };
  for (const string code : {"nan", "NaN", "", "-999", "-9999.00", "M"}) {
    const auto refused = Read(table(code), [](TTableOptions& o) { o.Missing = {"M"}; });
    EXPECT_TRUE(Has(refused, "Row 5, column 4 \"runoff\": ")) << code << ": " << refused.Message;
    EXPECT_TRUE(Has(refused, "(2 in this column: rows 5 to 6)")) << code;
  }
  // A stretch without gaps.
  const auto window = Read(table("nan"), [](TTableOptions& o) {
    o.Window = std::make_pair("2001-03-06", "2001-03-20");
  });
  ASSERT_TRUE(window.Records) << window.Message;
  EXPECT_EQ(window.Records->Count(), 15u);
  EXPECT_EQ(window.Records->TimeOrigin, "days since 2001-03-06");
  EXPECT_DOUBLE_EQ(window.Records->Runoff[0], 1.5);
  EXPECT_TRUE(
      Has(Read(table("nan"),
               [](TTableOptions& o) { o.Window = std::make_pair("2002-01-01", "2002-02-01"); }),
          "no record lies in it (the table runs from 2001-03-01 to 2001-04-09)"));
  // Runs of at most two filled: the runoff linearly, the rain with 0.
  const auto filled = Read(table("nan"), [](TTableOptions& o) { o.FillGaps = 2; });
  ASSERT_TRUE(filled.Records) << filled.Message;
  // Between 1.2 on day 2 and 1.5 on day 5.
  EXPECT_NEAR(filled.Records->Runoff[3], 1.3, 1e-12);
  EXPECT_NEAR(filled.Records->Runoff[4], 1.4, 1e-12);
  EXPECT_EQ(filled.Records->Rain[20], 0);
  EXPECT_TRUE(Has(filled, "--fill-gaps 2: filled 1 rain value (0), 2 runoff values (linearly)"));
  // A run longer than allowed stays a gap.
  EXPECT_TRUE(Has(Read(table("nan"), [](TTableOptions& o) { o.FillGaps = 1; }),
                  "Row 5, column 4 \"runoff\": \"nan\" marks a missing value"));
}

TEST(TableForms, HoursAddedUpToDaysAndLongTablesNamedByTheirRecord1500) {
  // Hourly from 2001-03-01 22:00, two hours, 13 whole days and two hours:
  // rain 1 mm and escape 0.1 mm an hour; runoff 1.5 and 0.5 l/s by turns
  // over 0.0036 km2, which makes 1 l/s 1 mm an hour.
  const auto hourly = [](int hours, int firstHour) {
    return Rows("date,rain [mm],escape,runoff [l/s]", hours, [=](int i) {
      // 2001-03-01 00:00 is 983404800 s after 1970.
      const std::time_t at = 983404800 + (firstHour + i) * 3600;
      std::tm tm{};
      gmtime_r(&at, &tm);
      char b[32];
      std::strftime(b, sizeof b, "%Y-%m-%d %H:%M", &tm);
      return string(b) + ",1,0.1," + (i % 2 ? "0.5" : "1.5");
    });
  };
  const auto days = Read(hourly(2 + 13 * 24 + 2, 22), [](TTableOptions& o) {
    o.AreaKm2 = 0.0036;
    o.StepHours = 24;
  });
  ASSERT_TRUE(days.Records) << days.Message;
  const TTableRecords& r = *days.Records;
  ASSERT_EQ(r.Count(), 13u);
  EXPECT_EQ(r.TimeOrigin, "days since 2001-03-02");
  EXPECT_EQ(r.Time[1], 2);
  // A day: 24 mm of rain, 2.4 mm of escape, 24 mm of runoff (1 l/s on average).
  EXPECT_DOUBLE_EQ(r.Rain[5], 24);
  EXPECT_NEAR(r.Escape[5], 2.4, 1e-12);
  EXPECT_NEAR(r.Runoff[5], 24, 1e-9);
  EXPECT_TRUE(Has(days,
                  "dropped, not a whole day: 2001-03-01 22:00 to 2001-03-01 23:00 (2 of "
                  "24 records), 2001-03-15 00:00 to 2001-03-15 01:00 (2 of 24 records)"));
  // Six hours: the unit stays the hour, the escape rate stays per hour.
  const auto six = Read(hourly(12 * 6, 0), [](TTableOptions& o) {
    o.AreaKm2 = 0.0036;
    o.StepHours = 6;
  });
  ASSERT_TRUE(six.Records) << six.Message;
  EXPECT_EQ(six.Records->Time[0], 6);
  EXPECT_NEAR(six.Records->Escape[0], 0.1, 1e-12);
  EXPECT_DOUBLE_EQ(six.Records->Rain[0], 6);
  EXPECT_TRUE(Has(Read(hourly(12 * 5, 0),
                       [](TTableOptions& o) {
                         o.AreaKm2 = 0.0036;
                         o.Irregular = true;
                         o.StepHours = 24;
                       }),
                  "--step and --irregular"));

  // More than 1500 records: the date of record 1500 (hour 1499 from the
  // start: 62 days and 11 hours, 2001-05-02 11:00) tells where to cut.
  const auto refused = Read(hourly(1600, 0), [](TTableOptions& o) { o.AreaKm2 = 0.0036; });
  EXPECT_EQ(refused.Message.substr(0, 31), "Row 1502, column 1 \"date\": the ");
  EXPECT_TRUE(Has(refused,
                  "1600 records; the program takes at most 1500: record 1500 is dated "
                  "2001-05-02 11:00. Take a stretch with --window FROM TO, or days "
                  "from hours with --step day."))
      << refused.Message;
}

TEST(TableForms, TwoTablesJoinedOnTheirDates) {
  // Rain from 1 March for 20 days; runoff without a header from 3 March for
  // 20 days, 86.4 ML a day over 86.4 km2 (1 mm a day).
  const string rain = Rows("year month day rain", 20,
                           [](int i) { return "2001 3 " + std::to_string(i + 1) + " 2"; });
  const string runoff = Rows("", 20, [](int i) {
                          return "G7," + Iso(i + 2) + "," + (i == 9 ? "-999" : "86.4");
                        }).substr(1);
  TTableOptions options, second;
  options.AreaKm2 = 86.4;
  options.Units = {{"runoff", "ML/d"}};
  options.Missing = {};
  second = options;
  second.Columns = {{"time", "2"}, {"runoff", "3"}};
  const auto apart = ReadJoinedTables(rain, runoff, options, second);
  EXPECT_EQ(apart.Message,
            "The two tables do not have the same dates: 2 only in the rain table: 2001-03-01 (row "
            "2), 2001-03-02 (row 3); 2 only in the runoff table: 2001-03-21 (row 19), 2001-03-22 "
            "(row 20). Take the dates both have with --window FROM TO.");
  options.Window = std::make_pair("2001-03-03", "2001-03-20");
  // Gaps of the runoff table are told with its rows.
  EXPECT_TRUE(Has(ReadJoinedTables(rain, runoff, options, second),
                  "The runoff table: Row 10, column 3: \"-999\" marks a missing value"));
  options.FillGaps = 1;
  const auto joined = ReadJoinedTables(rain, runoff, options, second);
  ASSERT_TRUE(joined.Records) << joined.Message;
  EXPECT_EQ(joined.Records->Count(), 18u);
  EXPECT_EQ(joined.Records->TimeOrigin, "days since 2001-03-03");
  EXPECT_DOUBLE_EQ(joined.Records->Rain[0], 2);
  EXPECT_NEAR(joined.Records->Runoff[7], 1, 1e-12);
  // A table of runoff alone is no table to import.
  TTableOptions alone = second;
  alone.Columns = {{"time", "2"}, {"runoff", "3"}};
  EXPECT_TRUE(Has(ReadTable(runoff, alone), "no rain column"));
}

TEST(TableForms, APreviewShowsTheFirstRecordsWithTheRoleAndUnitOfEachColumn) {
  const string text = "Gauge 7\n" + Rows("Year Mnth Day Hr prcp(mm/day) tmax(C) Q", 20, [](int i) {
                        return "2001 03 " + std::to_string(i + 1) + " 12 1.5 4 2";
                      });
  TTableOptions options;
  options.Units = {{"runoff", "l/s"}};
  const TTablePreview preview = PreviewTable(text, options, 3);
  EXPECT_EQ(preview.Header,
            (vector<string>{"Year", "Mnth", "Day", "Hr", "prcp(mm/day)", "tmax(C)", "Q"}));
  ASSERT_EQ(preview.Rows.size(), 3u);
  EXPECT_EQ(preview.Rows[2], (vector<string>{"2001", "03", "3", "12", "1.5", "4", "2"}));
  EXPECT_EQ(preview.Roles, (vector<string>{"year", "month", "day", "hour", "rain", "", "runoff"}));
  EXPECT_EQ(preview.Units, (vector<string>{"", "", "", "", "mm/day", "C", "l/s"}));
  // As far as the reader gets: the area is still to be given.
  EXPECT_EQ(ReadTable(text, options).Question, TTableReadResult::TQuestion::Area);
}

}  // namespace
