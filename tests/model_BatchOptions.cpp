// The command-line parser of tevlora-batch: what it takes, what it refuses
// and the exact complaint the user reads before the command's usage.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "BatchOptions.h"

namespace {

const char* kUsage = "usage: tevlora-batch test FILE [options]\n";

// Every kind of option a command declares, as the batch commands use them.
struct TTestOptions {
  bool Colour = true, Force = false;
  int Flips = 0;
  std::string Output, Csv, Unit;
  int Step = 0;
  double Porosity = 0;
  std::optional<double> Area;
  std::vector<std::string> Columns;

  TCommandLine Line() {
    return TCommandLine("test", kUsage)
        .Flag("--bw", Colour, false)
        .Flag("--force", Force)
        .Flag("--flip", [this] { ++Flips; })
        .Text("-o", Output, "-o needs a file name")
        .Text("--csv", Csv)
        .WholeNumber("--step", Step, 1, 2000)
        .Number("--porosity", Porosity)
        .Number("--area", Area,
                [](double area) -> std::optional<std::string> {
                  if (area > 0) return std::nullopt;
                  return "--area: the catchment area must be above 0 km2";
                })
        .Choice("--time-unit", Unit, {"minutes", "hours", "days"})
        .Value("--columns",
               [this](const std::string& value) -> std::optional<std::string> {
                 if (value.find('=') == std::string::npos) return "--columns: no ROLE=NAME";
                 Columns.push_back(value);
                 return std::nullopt;
               })
        .Words(1, 1, "one file is needed");
  }
};

TEST(BatchOptions, RefusalsNameTheFirstFaultThenShowTheUsage) {
  struct TCase {
    std::vector<std::string> arguments;
    std::string complaint;
  };
  const TCase cases[] = {
      {{"a.inp", "--colour"}, "unknown option \"--colour\""},
      // No "--name=value", no end of the options, no grouped short options.
      {{"a.inp", "--bw=1"}, "unknown option \"--bw=1\""},
      {{"--", "a.inp"}, "unknown option \"--\""},
      {{"a.inp", "-of"}, "unknown option \"-of\""},
      // A control character of the command line reaches the terminal escaped.
      {{"a.inp", "--z\x1b[2Jap"}, "unknown option \"--z\\x1B[2Jap\""},
      {{"a.inp", "-o"}, "-o needs a file name"},
      {{"a.inp", "--csv"}, "--csv needs a value"},
      {{"a.inp", "--step", "x"}, "--step needs a whole number from 1 to 2000, not \"x\""},
      {{"a.inp", "--step", "0"}, "--step needs a whole number from 1 to 2000, not \"0\""},
      {{"a.inp", "--step", "2001"}, "--step needs a whole number from 1 to 2000, not \"2001\""},
      {{"a.inp", "--step", "5x"}, "--step needs a whole number from 1 to 2000, not \"5x\""},
      {{"a.inp", "--step", " 5"}, "--step needs a whole number from 1 to 2000, not \" 5\""},
      {{"a.inp", "--step", "+5"}, "--step needs a whole number from 1 to 2000, not \"+5\""},
      {{"a.inp", "--step", "99999999999"},
       "--step needs a whole number from 1 to 2000, not \"99999999999\""},
      {{"a.inp", "--porosity", "x"}, "--porosity: \"x\" is not a number"},
      // A value is the next word whatever it looks like.
      {{"a.inp", "--porosity", "--force"}, "--porosity: \"--force\" is not a number"},
      {{"a.inp", "--area", "0"}, "--area: the catchment area must be above 0 km2"},
      {{"a.inp", "--area", "-1"}, "--area: the catchment area must be above 0 km2"},
      {{"a.inp", "--time-unit", "weeks"}, "--time-unit: minutes, hours or days"},
      {{"a.inp", "--columns", "rain"}, "--columns: no ROLE=NAME"},
      {{"a.inp", "--bogus", "--porosity"}, "unknown option \"--bogus\""},
      {{"a.inp", "--porosity"}, "--porosity needs a value"},
      {{"a.inp", "--step", "3", "--step", "x"},
       "--step needs a whole number from 1 to 2000, not \"x\""},
      {{}, "one file is needed"},
      {{"--force"}, "one file is needed"},
      {{"a.inp", "b.inp"}, "one file is needed"},
  };
  for (const TCase& c : cases) {
    TTestOptions options;
    const TCommandLine::TResult result = options.Line().Read(c.arguments);
    EXPECT_EQ(result.Error, "tevlora-batch test: " + c.complaint + "\n" + kUsage)
        << testing::PrintToString(c.arguments);
    EXPECT_TRUE(result.Words.empty());
  }
}

TEST(BatchOptions, OptionsSetWhatTheyDeclareAndWordsKeepTheirOrder) {
  TTestOptions options;
  const TCommandLine::TResult result = options.Line().Read(
      {"--step",     "2000",   "-o",     "-x.png", "--flip",      "--bw", "-",         "--force",
       "--porosity", "-2,5",   "--area", "1.783",  "--time-unit", "days", "--columns", "rain=P",
       "--columns",  "time=T", "--csv",  "g.csv",  "--step",      "1",    "--flip"});
  ASSERT_EQ(result.Error, "");
  // A lone dash is a word, not an option.
  EXPECT_EQ(result.Words, std::vector<std::string>{"-"});
  EXPECT_FALSE(options.Colour);
  EXPECT_TRUE(options.Force);
  EXPECT_EQ(options.Flips, 2);
  EXPECT_EQ(options.Output, "-x.png");
  EXPECT_EQ(options.Csv, "g.csv");
  // Given twice: the last one counts.
  EXPECT_EQ(options.Step, 1);
  EXPECT_EQ(options.Porosity, -2.5);
  EXPECT_EQ(options.Area, 1.783);
  EXPECT_EQ(options.Unit, "days");
  EXPECT_EQ(options.Columns, (std::vector<std::string>{"rain=P", "time=T"}));
}

// Commands whose words may start with a dash (file names, negative numbers),
// and a count of words that is refused with the usage alone.
TEST(BatchOptions, DashedWordsAreWordsWhereACommandTakesThem) {
  const char* usage = "usage: tevlora-batch drain KA KB\n";
  bool summary = false;
  const TCommandLine line =
      TCommandLine("drain", usage).Flag("--summary", summary).DashedWords().Words(2, 2);
  EXPECT_EQ(line.Read({"-1.2", "--summary", "--", "-"}).Error, usage);
  const TCommandLine::TResult two = line.Read({"-1.2", "--summary", "--x"});
  EXPECT_EQ(two.Error, "");
  EXPECT_EQ(two.Words, (std::vector<std::string>{"-1.2", "--x"}));
  EXPECT_TRUE(summary);
  EXPECT_EQ(line.Read({"-1.2"}).Error, usage);
}

}  // namespace
