// tevlora-batch import and export, run as the users run them: a table made
// into an input file, run, and its results table written as CSV.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "graphs_Support.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  TTextReader in(text);
  while (!in.Eof()) lines.push_back(in.ReadLine());
  return lines;
}

// The lines of a file without the ones named (1-based).
std::vector<std::string> LinesWithout(const std::string& path, std::vector<int> skipped) {
  std::vector<std::string> kept;
  const auto lines = Lines(ReadFileBytes(path));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (std::find(skipped.begin(), skipped.end(), static_cast<int>(i + 1)) == skipped.end()) {
      kept.push_back(lines[i]);
    }
  }
  return kept;
}

// One column of a CSV text (after its header), as numbers.
std::vector<double> CsvColumn(const std::string& csv, int column) {
  std::vector<double> values;
  const auto lines = Lines(csv);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::stringstream fields(lines[i]);
    std::string field;
    for (int c = 0; c <= column; ++c) std::getline(fields, field, ',');
    values.push_back(ParseReal(field).value_or(-999));
  }
  return values;
}

class BatchTable : public ::testing::Test {
 protected:
  // Exit status of "tevlora-batch ARGUMENTS" run in the test's folder;
  // stderr in `errors_`.
  int Run(const std::string& arguments) {
    const std::string command = "cd \"" + directory_.Path().string() + "\" && \"" + BATCH_TOOL +
                                "\" " + arguments + " 2>stderr.txt";
    const int status = std::system(command.c_str());
    errors_ = ReadFileBytes(File("stderr.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string File(const std::string& name) const { return directory_.File(name); }
  // The header and the first `records` records of the hourly example table.
  void ShortTable(const std::string& name, int records) {
    const auto lines = Lines(ReadFileBytes(ExampleDataFile("hupsel_h_jan2011_storms.csv")));
    std::string text;
    for (int i = 0; i <= records; ++i) text += lines[i] + "\n";
    WriteFileBytes(File(name), text);
  }

  TTemporaryDirectory directory_;
  std::string errors_;
};

TEST_F(BatchTable, ExampleTablesGiveTheResultsOfTheExampleInputFiles) {
  const std::pair<std::string, std::string> examples[] = {
      {"hupsel_h_jan2011_storms", "--max-storage 40 --initial-storage 38"},
      {"spotpy_d_spring2013", "--max-storage 70 --initial-storage 64"},
  };
  for (const auto& [name, options] : examples) {
    WriteFileBytes(File(name + ".csv"), ReadFileBytes(ExampleDataFile(name + ".csv")));
    ASSERT_EQ(Run("import " + name + ".csv " + options), 0) << errors_;
    ASSERT_EQ(Run("run " + name + ".inp"), 0) << errors_;
    // Everything but the titles and the file name.
    EXPECT_EQ(LinesWithout(File(name + ".inp"), {4, 5, 7}),
              LinesWithout(ExampleDataFile(name + ".inp"), {4, 5, 7}))
        << name;
    EXPECT_EQ(LinesWithout(File(name + ".out"), {3, 4, 5}),
              LinesWithout(ExampleDataFile(name + ".out"), {3, 4, 5}))
        << name;
    EXPECT_EQ(ReadFileBytes(File(name + ".dat")), ReadFileBytes(ExampleDataFile(name + ".dat")))
        << name;
  }
}

TEST_F(BatchTable, RoundTripTableInputRunExport) {
  ShortTable("storm.csv", 30);
  ASSERT_EQ(Run("import storm.csv --max-storage 40 --initial-storage 38 --title1 Storm"), 0)
      << errors_;
  EXPECT_EQ(Lines(ReadFileBytes(File("storm.inp")))[4],
            "hours since 2011-01-11 00:00, depths in mm");
  ASSERT_EQ(Run("run storm.inp"), 0) << errors_;
  ASSERT_EQ(Run("export storm.out"), 0) << errors_;
  const std::string csv = ReadFileBytes(File("storm_results.csv"));
  EXPECT_EQ(Lines(csv)[0],
            "serial,time [h],rain [mm/h],recharge [mm/h],measured runoff [mm/h],alpha [1/h],"
            "calculated runoff [mm/h]");

  TDMTevlora results;
  results.OutFileName = File("storm.out");
  results.LoadGraphSeries(1);
  ASSERT_EQ(results.NrOfData, 30);
  EXPECT_EQ(CsvColumn(csv, 1), Ramp(1, 1, 30));
  EXPECT_EQ(CsvColumn(csv, 2), results.SeriesA);
  EXPECT_EQ(CsvColumn(csv, 4), results.SeriesD);
  EXPECT_EQ(CsvColumn(csv, 6), results.SeriesC);

  // A prediction needs no runoff column; its table comes out too.
  ASSERT_EQ(Run("import storm.csv -o forecast.inp --drainage --max-storage 40 --initial-storage "
                "35 --alpha-a 0.05 --alpha-c 0.0075 --initial-runoff 0.09 --initial-level 49 "
                "--porosity 6"),
            0)
      << errors_;
  ASSERT_EQ(Run("run forecast.inp"), 0) << errors_;
  ASSERT_EQ(Run("export forecast.out -o forecast.csv"), 0) << errors_;
  results.OutFileName = File("forecast.out");
  results.LoadGraphSeries(5);
  const std::string forecast = ReadFileBytes(File("forecast.csv"));
  EXPECT_EQ(Lines(forecast)[0].substr(0, 19), "serial,time [h],rai");
  EXPECT_EQ(CsvColumn(forecast, 5), results.SeriesA);
  EXPECT_EQ(CsvColumn(forecast, 6), results.SeriesF);
}

TEST_F(BatchTable, ARunWritesItsTableDatedAndAtFullPrecision) {
  ShortTable("storm.csv", 30);
  ASSERT_EQ(Run("import storm.csv --max-storage 40 --initial-storage 38 --title1 Storm"), 0)
      << errors_;
  ASSERT_EQ(Run("run --csv storm_full.csv storm.inp"), 0) << errors_;
  ASSERT_EQ(Run("export storm.out"), 0) << errors_;
  const auto full = Lines(ReadFileBytes(File("storm_full.csv")));
  const auto rounded = Lines(ReadFileBytes(File("storm_results.csv")));
  // The titles, the parameters and the measures above the table.
  std::size_t header = 0;
  while (header < full.size() && full[header].rfind("# ", 0) == 0) ++header;
  ASSERT_EQ(header, 8u);
  EXPECT_EQ(full[0], "# Storm");
  EXPECT_EQ(full[1], "# hours since 2011-01-11 00:00, depths in mm");
  EXPECT_EQ(full[3], "# maximum dead storage [mm]: 40");
  EXPECT_EQ(full[header],
            "serial,start date,time [h],rain [mm/h],recharge [mm/h],measured runoff [mm/h],"
            "alpha [1/h],calculated runoff [mm/h]");
  ASSERT_EQ(full.size(), header + 1 + rounded.size() - 1);
  // The dates of the table the input file came from; each value what the
  // results file shows to two decimals, but not cut to them.
  const auto table = Lines(ReadFileBytes(File("storm.csv")));
  bool finer = false;
  for (std::size_t i = 1; i < rounded.size(); ++i) {
    std::vector<std::string> a, b;
    std::stringstream fa(full[header + i]), fb(rounded[i]);
    for (std::string f; std::getline(fa, f, ',');) a.push_back(f);
    for (std::string f; std::getline(fb, f, ',');) b.push_back(f);
    ASSERT_EQ(a.size(), 8u);
    EXPECT_EQ(a[1], table[i].substr(0, a[1].size())) << i;
    for (std::size_t c = 2; c < 8; ++c) {
      const double precise = ParseReal(a[c]).value_or(-1e9);
      const double shown = ParseReal(b[c - 1]).value_or(1e9);
      const double half = c == 6 ? 0.0005 : 0.005;
      EXPECT_LE(std::fabs(precise - shown), half + 1e-12) << i << " " << c;
      finer = finer || std::fabs(precise - shown) > 1e-9;
    }
  }
  EXPECT_TRUE(finer);

  // No results or trend file with --no-files; the same measures.
  std::filesystem::remove(File("storm.out"));
  std::filesystem::remove(File("storm.dat"));
  ASSERT_EQ(Run("run --no-files --csv again.csv storm.inp"), 0) << errors_;
  EXPECT_FALSE(std::filesystem::exists(File("storm.out")));
  EXPECT_FALSE(std::filesystem::exists(File("storm.dat")));
  EXPECT_EQ(Lines(ReadFileBytes(File("again.csv")))[7], full[7]);

  // The table is a file of its own: never over another, never for two runs.
  EXPECT_EQ(Run("run --csv storm.csv storm.inp"), 2);
  EXPECT_EQ(Lines(ReadFileBytes(File("storm.csv"))), table);
  EXPECT_EQ(Run("run --csv storm_full.csv storm.inp --force"), 0) << errors_;
  EXPECT_EQ(Run("run --csv both.csv storm.inp storm.inp"), 2);
  EXPECT_NE(errors_.find("--csv writes the table of one input file"), std::string::npos);
  EXPECT_EQ(Run("run --no-files storm.inp"), 2);
  EXPECT_NE(errors_.find("--no-files goes with --summary or --csv"), std::string::npos);
}

TEST_F(BatchTable, RefusalsWriteNothingAndOverwriteOnlyWhenAsked) {
  ShortTable("storm.csv", 20);
  // A gap: the message names the row and the column; no input file.
  std::string gap = ReadFileBytes(File("storm.csv"));
  gap.replace(gap.find(",0.0937"), 7, ",NA");
  WriteFileBytes(File("gap.csv"), gap);
  EXPECT_EQ(Run("import gap.csv"), 2);
  EXPECT_NE(errors_.find("Row 3, column 4 \"Q [mm/h]\": \"NA\" marks a missing value."),
            std::string::npos)
      << errors_;
  EXPECT_FALSE(std::filesystem::exists(File("gap.inp")));

  // An existing file stays unless --force.
  WriteFileBytes(File("storm.inp"), "mine");
  EXPECT_EQ(Run("import storm.csv"), 2);
  EXPECT_EQ(ReadFileBytes(File("storm.inp")), "mine");
  EXPECT_EQ(Run("import storm.csv --force --max-storage 40"), 0) << errors_;
  EXPECT_NE(ReadFileBytes(File("storm.inp")), "mine");
  EXPECT_EQ(Run("import storm.csv -o storm.csv --force"), 2);
  EXPECT_EQ(ReadFileBytes(File("storm.csv")).substr(0, 8), "datetime");

  // Without an escape column every record gets --max-escape.
  std::string dry = "time;rain;q\n";
  for (int i = 1; i <= 12; ++i) dry += std::to_string(i) + ";0,5;0,25\n";
  WriteFileBytes(File("dry.csv"), dry);
  EXPECT_EQ(Run("import dry.csv"), 2);
  EXPECT_NE(errors_.find("no escape column"), std::string::npos) << errors_;
  EXPECT_EQ(Run("import dry.csv --max-escape 0,125"), 0) << errors_;
  TDMTevlora data;
  data.FileName = File("dry.inp");
  ASSERT_TRUE(data.ReadInputFile());
  EXPECT_EQ(data.EscRate, std::vector<double>(12, 0.13));
  EXPECT_EQ(data.Title2, "time as given in the table, depths in mm");

  // Export: not a results file, an existing table, bad usage.
  EXPECT_EQ(Run("export dry.inp -o dry_results.csv"), 2);
  EXPECT_FALSE(std::filesystem::exists(File("dry_results.csv")));
  WriteFileBytes(File("kept.csv"), "kept");
  ASSERT_EQ(Run("run storm.inp"), 0) << errors_;
  EXPECT_EQ(Run("export storm.out -o kept.csv"), 2);
  EXPECT_EQ(ReadFileBytes(File("kept.csv")), "kept");
  EXPECT_EQ(Run("export storm.out -o kept.csv --force"), 0);
  for (const std::string& arguments :
       {std::string("import"), std::string("import storm.csv --porosity"),
        std::string("import storm.csv --alpha-a x"), std::string("import storm.csv --fast"),
        std::string("export"), std::string("export none.out")}) {
    EXPECT_EQ(Run(arguments), 2) << arguments;
  }
}

}  // namespace
