// tevlora-batch import of tables as people download them: each is taken
// with a report of what was read, or refused with what to do; none is taken
// wrongly.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "graphs_Support.h"

namespace {

using std::string;
using std::vector;

vector<string> Lines(const string& text) {
  vector<string> lines;
  TTextReader in(text);
  while (!in.Eof()) lines.push_back(in.ReadLine());
  return lines;
}

class BatchImport : public ::testing::Test {
 protected:
  // Exit status of "tevlora-batch import ARGUMENTS" in the test's folder;
  // stderr in `errors_`.
  int Import(const string& arguments) {
    const string command = "cd \"" + directory_.Path().string() + "\" && \"" + BATCH_TOOL +
                           "\" import " + arguments + " 2>stderr.txt";
    const int status = std::system(command.c_str());
    errors_ = ReadFileBytes(File("stderr.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  string File(const string& name) const { return directory_.File(name); }
  void CopyTable(const string& name) {
    WriteFileBytes(File(name), ReadFileBytes(TestDataFile("tables/" + name)));
  }
  bool Said(const string& part) const { return errors_.find(part) != string::npos; }
  // Exit status of "tevlora-batch ARGUMENTS"; stdout in `output_`.
  int Batch(const string& arguments) {
    const string command = "cd \"" + directory_.Path().string() + "\" && \"" + BATCH_TOOL + "\" " +
                           arguments + " >stdout.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    errors_ = ReadFileBytes(File("stderr.txt"));
    output_ = ReadFileBytes(File("stdout.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  string output_;

  TTemporaryDirectory directory_;
  string errors_;
};

TEST_F(BatchImport, RealTablesAreTakenWithAReportOrRefusedWithWhatToDo) {
  struct TCase {
    string table, options;
    int status;
    vector<string> said;  // parts of stderr
  };
  const string camelsRunoff = "camels_01547700_streamflow_qc_2000jan-feb.txt";
  const TCase cases[] = {
      {"spotpy_hymod_input_2013jan-feb.csv", "", 2, {"\"ls-1\" is a volume per time", "--area"}},
      {"spotpy_hymod_input_2013jan-feb.csv",
       "--area 1.783",
       0,
       {"time: column 1 \"Date\", dates, day first (DD.MM.YYYY), step 1 day",
        "rain: column 2 \"rainfall[mm]\", mm per record",
        "escape: column 3 \"TURC [mm d-1]\", mm d-1, converted to mm per day",
        "runoff: column 4 \"Discharge[ls-1]\", ls-1 over 1.783 km2, converted to mm per record"}},
      // The units row tells the one-letter Q from the temperatures.
      {"spotpy_fulda_climate_1979jan-feb.csv", "", 2, {"\"m³/s\" is a volume per time"}},
      {"spotpy_fulda_climate_1979jan-feb.csv",
       "--area 2976.41 --max-escape 0.1",
       0,
       {"rain: column 5 \"Prec\", mm/day, converted to mm per record",
        "runoff: column 6 \"Q\", m³/s over 2976.41 km2", "escape: no column",
        "escape: 0.1 mm per time unit in every record, from --max-escape",
        "not used: column 2 \"tmax\", column 3 \"tmin\", column 4 \"tmean\""}},
      {"camels_01547700_lump_cida_forcing_2000jan-feb.txt", "", 2, {"Row 4: no runoff column"}},
      {"camels_01547700_lump_cida_forcing_2000jan-feb.txt",
       "--prediction --max-escape 3",
       0,
       {"time: column 1 \"Year\" with the month and day of column 2 \"Mnth\" and column 3 "
        "\"Day\", dates, step 1 day; times in days since 2000-01-01",
        "lines 1 to 3: text before the header, not read",
        "rain: column 6 \"prcp(mm/day)\", mm/day, converted to mm per record",
        "note: column 4 \"Hr\" (\"12\" in every record: no hour of the day)"}},
      {camelsRunoff, "", 2, {"Row 1: the table has no header row naming its columns; add one"}},
      {"camels_01547700_lump_cida_forcing_2000jan-feb.txt",
       "--runoff " + camelsRunoff +
           " --runoff-columns year=2,month=3,day=4,runoff=5 --units runoff=cfs "
           "--area 114.169652 --max-escape 3",
       0,
       {"runoff table: no header row: the columns are taken by their numbers",
        "runoff: the runoff table's column 5, cfs over 114.169652 km2, converted to mm per "
        "record"}},
      {"knmi_uurgeg_260_2000oct01-02.txt",
       "--prediction --max-escape 0.1",
       2,
       {"Row 32: column 15 \"P\" has a one-letter name", "--columns rain=NAME"}},
      {"knmi_uurgeg_260_2000oct01-02.txt",
       "--prediction --max-escape 0.1 --units rain=0.1mm",
       0,
       {"rain: column 14 \"RH\", 0.1mm, converted to mm per record",
        "note: column 15 \"P\" (named like the rain, but column 14 \"RH\" is taken)",
        "rain values of -1 (a trace, less than 0.05 mm) taken as 0"}},
      {"walrus_PEQ_Hupsel_2012oct01-02.dat",
       "",
       0,
       {"time: column 1 \"date\", dates, step 1 hour; times in hours since 2012-10-01 00:00",
        "rain: column 2 \"P\", no unit given: taken as mm per record",
        "escape: column 3 \"ETpot\", no unit given: taken as mm per hour",
        "runoff: column 4 \"Q\", no unit given"}},
      {"walrus_PEQ_Hupsel_2012oct01-02.dat",
       "--step 4",
       0,
       {"step: 4 records of 1 hour added up to each 4 hours (depths added, rates averaged)"}},
      {"walrus_PEQ_Hupsel_2013jan01-14.dat",
       "--step day",
       0,
       {"escape: column 3 \"ETpot\", no unit given: taken as mm per hour, added up to mm per day"}},
      {"nwis_RDB1Example.txt", "--prediction --max-escape 0.1", 2, {"Row 23: no rain column"}},
  };
  for (const auto& c : cases) {
    CopyTable(c.table);
    CopyTable(camelsRunoff);
    EXPECT_EQ(Import(c.table + " -o imported.inp --force " + c.options), c.status)
        << c.table << " " << c.options << "\n"
        << errors_;
    for (const auto& part : c.said)
      EXPECT_TRUE(Said(part)) << c.table << ": " << part << "\n" << errors_;
    EXPECT_EQ(std::filesystem::exists(File("imported.inp")), c.status == 0) << c.table;
    std::filesystem::remove(File("imported.inp"));
  }
}

TEST_F(BatchImport, AStationsHoursEndTheirIntervals) {
  CopyTable("knmi_uurgeg_260_2000oct01-02.txt");
  ASSERT_EQ(Import("knmi_uurgeg_260_2000oct01-02.txt -o station.inp --prediction --max-escape 0.1 "
                   "--columns \"rain=RH[0.1 mm]\""),
            0)
      << errors_;
  EXPECT_TRUE(
      Said("time: column 2 \"YYYYMMDD\" with the hour of column 3 \"HH\" (1 to 24: the "
           "hour that ends then), dates, step 1 hour; times in hours since 2000-10-01 "
           "00:00"))
      << errors_;
  EXPECT_TRUE(Said("lines 1 to 31: text before the header, not read")) << errors_;
  TDMTevlora data;
  data.FileName = File("station.inp");
  ASSERT_TRUE(data.ReadInputFile());
  ASSERT_EQ(data.NrOfData, 48);
  // 07 h: 6 tenths of a millimetre in the hour from 06:00 to 07:00.
  EXPECT_EQ(data.Time[6], 7);
  EXPECT_DOUBLE_EQ(data.Rain[6], 0.6);
  // 02 h: -1, a trace.
  EXPECT_EQ(data.Rain[1], 0);
}

TEST_F(BatchImport, EachRealTableImportsAndItsAnalysisRuns) {
  // The runoff of a water-data service's file joined to a rain table of its
  // September.
  string rain = "date,rain\n";
  for (int day = 1; day <= 30; ++day) {
    rain += "2012-09-" + string(day < 10 ? "0" : "") + std::to_string(day) + "," +
            std::to_string(day % 3) + "\n";
  }
  WriteFileBytes(File("rain.csv"), rain);
  CopyTable("nwis_RDB1Example.txt");
  CopyTable("camels_01547700_streamflow_qc_2000jan-feb.txt");
  struct TCase {
    string table, options;
    int records;
  };
  const TCase cases[] = {
      {"spotpy_hymod_input_2013jan-feb.csv", "--area 1.783", 40},
      {"spotpy_fulda_climate_1979jan-feb.csv", "--area 2976.41 --max-escape 0.1", 40},
      {"camels_01547700_lump_cida_forcing_2000jan-feb.txt",
       "--runoff camels_01547700_streamflow_qc_2000jan-feb.txt --runoff-columns "
       "year=2,month=3,day=4,runoff=5 --units runoff=cfs --area 114.169652 --max-escape 3",
       40},
      // Two weeks of hours added up to days.
      {"walrus_PEQ_Hupsel_2013jan01-14.dat", "--step day", 14},
      {"rain.csv",
       "--runoff nwis_RDB1Example.txt --runoff-columns runoff=01_00060_00003 --units "
       "runoff=cfs --area 2000 --max-escape 3 --window 2012-09-01 2012-09-30",
       30},
  };
  for (const auto& c : cases) {
    if (c.table != "rain.csv") CopyTable(c.table);
    ASSERT_EQ(Batch("import " + c.table +
                    " -o real.inp --force --max-storage 50 "
                    "--initial-storage 50 " +
                    c.options),
              0)
        << c.table << "\n"
        << errors_;
    ASSERT_EQ(Batch("run --summary --no-files real.inp"), 0) << c.table << "\n" << errors_;
    const auto lines = Lines(output_);
    ASSERT_GE(lines.size(), 2u) << output_;
    EXPECT_EQ(lines[1].substr(0, 9 + std::to_string(c.records).size()),
              "real.inp," + std::to_string(c.records))
        << c.table;
    EXPECT_FALSE(std::filesystem::exists(File("real.out"))) << c.table;
    EXPECT_FALSE(std::filesystem::exists(File("real.dat"))) << c.table;
  }
}

TEST_F(BatchImport, EveryOptionIsCheckedAndItsRefusalsNameRowAndColumn) {
  CopyTable("spotpy_hymod_input_2013jan-feb.csv");
  const string table = "spotpy_hymod_input_2013jan-feb.csv --force --area 1.783 ";
  struct TCase {
    string options;
    string said;
  };
  const TCase refused[] = {
      {"--units runoff=furlongs", "--units: \"furlongs\" is no unit the import knows"},
      {"--units snow=mm", "--units: \"snow=mm\" is not ROLE=NAME"},
      {"--fill-gaps 0", "--fill-gaps needs a whole number from 1 to 1000"},
      {"--step 1", "--step: \"1\" is not day or a whole number of hours"},
      {"--step week", "--step: \"week\" is not day"},
      {"--window 2013-01-05", "--window needs FROM and TO"},
      {"--window 2013-02-30 2013-03-01", "\"2013-02-30\" is not a date"},
      {"--comment ab", "--comment: the mark is one character"},
      {"--runoff-columns runoff=5", "--runoff-columns: they are the columns of a --runoff table"},
      {"--runoff nowhere.txt", "The table \"nowhere.txt\" could not be read."},
      {"--missing 0", "Row 3, column 2 \"rainfall[mm]\": \"0\" marks a missing value"},
      {"--step 24", "Row 3, column 1 \"Date\": the table's step is 1 day; --step 24 hours"},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(Import(table + c.options), 2) << c.options;
    EXPECT_TRUE(Said(c.said)) << c.options << "\n" << errors_;
  }
  // A stretch, and runs of missing values filled.
  // (Nothing is missing, but 0 as a code makes runs of 4 and 16 days of
  // rain and one of 17 days of escape.)
  EXPECT_EQ(Import(table + "--window 2013-01-05 2013-02-03 --missing 0 --fill-gaps 16"), 2);
  EXPECT_TRUE(Said("Row 12, column 3 \"TURC [mm d-1]\": \"0\" marks a missing value")) << errors_;
  ASSERT_EQ(Import(table + "--window 2013-01-05 2013-02-03 --missing 0 --fill-gaps 17"), 0)
      << errors_;
  EXPECT_TRUE(Said("window 2013-01-05 to 2013-02-03: records 5 to 34 of 40 (rows 6 to 35)"));
  EXPECT_TRUE(Said("30 records written")) << errors_;
  EXPECT_TRUE(Said("--fill-gaps 17: filled 20 rain values (0), 17 escape values (linearly)"))
      << errors_;
  // Comment lines with a mark of the user's.
  string marked = ReadFileBytes(File("spotpy_hymod_input_2013jan-feb.csv"));
  marked.insert(marked.find("05.01.2013"), "! gauge cleaned\n");
  WriteFileBytes(File("marked.csv"), marked);
  EXPECT_EQ(Import("marked.csv --area 1.783"), 2);
  EXPECT_EQ(Import("marked.csv --area 1.783 --comment !"), 0) << errors_;
}

TEST_F(BatchImport, LitresPerSecondGiveTheRecordsOfTheExampleFile) {
  CopyTable("spotpy_hymod_input_2013jan-feb.csv");
  ASSERT_EQ(Import("spotpy_hymod_input_2013jan-feb.csv -o hymod.inp --area 1.783"), 0) << errors_;
  const auto made = Lines(ReadFileBytes(File("hymod.inp")));
  const auto example = Lines(ReadFileBytes(ExampleDataFile("spotpy_d_2013_2016_full.inp")));
  ASSERT_EQ(made.size(), 14u + 40u);
  EXPECT_EQ(vector<string>(made.begin() + 14, made.end()),
            vector<string>(example.begin() + 14, example.begin() + 14 + 40));
}

TEST_F(BatchImport, TheOptionsSettleWhatTheTableLeavesOpen) {
  // Hours of a day with a gap, read either way round, and litres per second:
  // every option is needed.
  string text = "When;Niederschlag;Abfluss [l/s]\n";
  for (int hour = 0; hour <= 13; ++hour) {
    if (hour != 9) text += "5/6/2012 " + std::to_string(hour) + ":00;1;10\n";
  }
  WriteFileBytes(File("us.csv"), text);
  EXPECT_EQ(Import("us.csv --max-escape 0.1"), 2);
  EXPECT_TRUE(Said("no time column")) << errors_;
  string named = "us.csv --max-escape 0.1 --columns time=When,rain=Niederschlag,runoff=Abfluss";
  EXPECT_EQ(Import(named), 2);
  EXPECT_TRUE(Said("\"l/s\" is a volume per time; give the catchment area in km2 (--area KM2)"))
      << errors_;
  named += " --area 0.036";
  EXPECT_EQ(Import(named), 2);
  EXPECT_TRUE(Said("day first or month first")) << errors_;
  EXPECT_EQ(Import(named + " --month-first"), 2);
  EXPECT_TRUE(Said("2012-05-06 08:00 to 2012-05-06 10:00: one record missing?")) << errors_;
  ASSERT_EQ(Import(named + " --month-first --irregular"), 0) << errors_;
  EXPECT_TRUE(Said("time: column 1 \"When\", dates, month first (MM/DD/YYYY) as asked")) << errors_;
  TDMTevlora data;
  data.FileName = File("us.inp");
  ASSERT_TRUE(data.ReadInputFile());
  EXPECT_EQ(data.Time[9], 11);
  // 10 l/s over 0.036 km2: 1 mm in an hour, 2 mm in the two hours of the gap.
  EXPECT_EQ(data.Runoff[0], 1);
  EXPECT_EQ(data.Runoff[9], 2);
  for (const string& wrong : {string("--columns rain"), string("--columns snow=A"),
                              string("--time-unit weeks"), string("--area 0")}) {
    EXPECT_EQ(Import("us.csv " + wrong), 2) << wrong;
    EXPECT_TRUE(Said("usage:")) << wrong;
  }
}

TEST_F(BatchImport, LineEndsInTitlesAreBlanksAndInFileNamesRefused) {
  string text = "time,rain,escape,runoff\n";
  for (int t = 1; t <= 12; ++t) text += std::to_string(t) + ",1,0.1,0.5\n";
  WriteFileBytes(File("storm.csv"), text);
  ASSERT_EQ(Import("storm.csv --title1 \"$(printf 'Storm\\nof May')\""), 0) << errors_;
  EXPECT_TRUE(Said("they are blanks now: Storm of May")) << errors_;
  const auto lines = Lines(ReadFileBytes(File("storm.inp")));
  EXPECT_EQ(lines[3], "Storm of May");
  EXPECT_EQ(lines[5], "");
  // The table's name goes into the title and the input file's name.
  WriteFileBytes(File("storm\nmay.csv"), text);
  EXPECT_EQ(Import("\"$(printf 'storm\\nmay.csv')\""), 2);
  EXPECT_TRUE(Said("holds a line end")) << errors_;
  EXPECT_FALSE(std::filesystem::exists(File("storm\nmay.inp")));
  ASSERT_EQ(Import("\"$(printf 'storm\\nmay.csv')\" -o may.inp"), 0) << errors_;
  EXPECT_EQ(Lines(ReadFileBytes(File("may.inp")))[3], "Imported from storm may.csv");
}

TEST_F(BatchImport, MoreRunoffThanRainIsAWarningOnly) {
  string text = "time,rain,escape,runoff\n";
  for (int t = 1; t <= 12; ++t) text += std::to_string(t) + ",1,0.1,6.6\n";
  WriteFileBytes(File("wet.csv"), text);
  EXPECT_EQ(Import("wet.csv"), 0);
  EXPECT_TRUE(Said("warning: the runoff adds up to 79 mm, more than the rain (12 mm)")) << errors_;
}

}  // namespace
