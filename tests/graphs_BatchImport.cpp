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

  TTemporaryDirectory directory_;
  string errors_;
};

TEST_F(BatchImport, RealTablesAreTakenWithAReportOrRefusedWithWhatToDo) {
  struct TCase {
    string table, options;
    int status;
    vector<string> said;  // parts of stderr
  };
  const TCase cases[] = {
      {"spotpy_hymod_input_2013jan-feb.csv", "", 2, {"\"ls-1\" is a volume per time", "--area"}},
      {"spotpy_hymod_input_2013jan-feb.csv",
       "--area 1.783",
       0,
       {"time: column 1 \"Date\", dates, day first (DD.MM.YYYY), step 1 day",
        "rain: column 2 \"rainfall[mm]\", mm per record",
        "escape: column 3 \"TURC [mm d-1]\", mm d-1, converted to mm per day",
        "runoff: column 4 \"Discharge[ls-1]\", ls-1 over 1.783 km2, converted to mm per record"}},
      {"spotpy_fulda_climate_1979jan-feb.csv",
       "",
       2,
       {"column 6 \"Q\" has a one-letter name", "--columns runoff=NAME"}},
      {"spotpy_fulda_climate_1979jan-feb.csv",
       "--columns runoff=Q --area 2976.41 --max-escape 0.1",
       0,
       {"rain: column 5 \"Prec\", mm/day, converted to mm per record",
        "runoff: column 6 \"Q\", m³/s over 2976.41 km2", "escape: no column",
        "escape: 0.1 mm per time unit in every record, from --max-escape",
        "not used: column 2 \"tmax\", column 3 \"tmin\", column 4 \"tmean\""}},
      {"camels_01547700_lump_cida_forcing_2000jan-feb.txt",
       "",
       2,
       {"Row 4: the header row names 1 column, the records below it have 8. Separate"}},
      {"camels_01547700_streamflow_qc_2000jan-feb.txt",
       "",
       2,
       {"Row 1: the table has no header row naming its columns; add one"}},
      {"knmi_uurgeg_260_2000oct01-02.txt",
       "--prediction --max-escape 0.1",
       2,
       {"Row 32: column 15 \"P\" has a one-letter name", "--columns rain=NAME"}},
      {"knmi_uurgeg_260_2000oct01-02.txt",
       "--prediction --max-escape 0.1 --columns \"rain=RH[0.1 mm]\"",
       2,
       {"Row 35, column 14 \"RH\": -1 is negative; rain is a depth. Replace negative values"}},
      {"walrus_PEQ_Hupsel_2012oct01-02.dat",
       "",
       0,
       {"time: column 1 \"date\", dates, step 1 hour; times in hours since 2012-10-01 00:00",
        "rain: column 2 \"P\", no unit given: taken as mm per record",
        "escape: column 3 \"ETpot\", no unit given: taken as mm per hour",
        "runoff: column 4 \"Q\", no unit given"}},
      {"nwis_RDB1Example.txt",
       "--prediction --max-escape 0.1",
       2,
       {"Row 23: no rain column", "--columns rain=NAME"}},
  };
  for (const auto& c : cases) {
    CopyTable(c.table);
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
  // The station writes -1 for a trace of rain; with those made 0 it imports.
  string text = ReadFileBytes(TestDataFile("tables/knmi_uurgeg_260_2000oct01-02.txt"));
  for (auto pos = text.find(",   -1,"); pos != string::npos; pos = text.find(",   -1,", pos)) {
    text.replace(pos, 7, ",    0,");
  }
  WriteFileBytes(File("station.txt"), text);
  ASSERT_EQ(Import("station.txt --prediction --max-escape 0.1 --columns \"rain=RH[0.1 mm]\""), 0)
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
