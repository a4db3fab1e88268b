// tevlora-batch against what a hostile or careless command line puts in its
// way: pipes, devices and folders as outputs, two outputs in one file, a full
// standard output, names that are formulas or terminal commands, names at
// the system's limit, and working copies left by killed runs. The tool runs
// under a time limit, so a fault that makes it wait on a pipe fails the test
// instead of hanging it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "graphs_Support.h"

namespace {
namespace fs = std::filesystem;

class BatchHostile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory_ = new TTemporaryDirectory;
    RunExample(*directory_, "spotpy_d_flood2013_12d");
    WriteFileBytes(File("table.csv"), ReadFileBytes(ExampleDataFile("spotpy_d_spring2013.csv")));
  }
  static void TearDownTestSuite() { delete directory_; }

  // Exit status of "tevlora-batch ARGUMENTS" in the test folder, 124 when it
  // did not end within the limit; stderr in `errors_`. `redirect` may send
  // stdout elsewhere.
  int Tool(const std::string& arguments, const std::string& redirect = ">/dev/null") {
    const std::string command = "cd \"" + directory_->Path().string() + "\" && timeout 30 \"" +
                                BATCH_TOOL + "\" " + arguments + " " + redirect + " 2>stderr.txt";
    const int status = std::system(command.c_str());
    errors_ = ReadFileBytes(File("stderr.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static std::string File(const std::string& name) { return directory_->File(name); }
  static bool IsFifo(const std::string& name) {
    struct stat status {};
    return ::lstat(File(name).c_str(), &status) == 0 && S_ISFIFO(status.st_mode);
  }

  static inline TTemporaryDirectory* directory_ = nullptr;
  std::string errors_;
};

constexpr const char* kInput = "spotpy_d_flood2013_12d.inp";
constexpr const char* kResults = "spotpy_d_flood2013_12d.out";

// Every writing command, --force or not, refuses a pipe, a link to a pipe and
// a folder as its output with its refusal status, and leaves them as they
// are; opening the pipe would block the tool until the time limit.
TEST_F(BatchHostile, SpecialFilesAreRefusedNeverOpenedNorReplaced) {
  ASSERT_EQ(::mkfifo(File("pipe").c_str(), 0644), 0);
  fs::create_symlink("pipe", File("link"));
  fs::create_directory(File("folder"));
  struct TCase {
    std::string arguments;
    int status;
  };
  const std::string results = kResults;
  const TCase cases[] = {
      {"graph " + results + " 1 -o T", 1},
      {"graph " + results + " 1 --force -o T", 1},
      {"map " + std::string(kInput) + " --step 2000 --csv T --force", 1},
      {"export " + results + " --force -o T", 2},
      {"import table.csv --max-escape 1 --force -o T", 2},
  };
  for (const TCase& c : cases) {
    for (const char* target : {"pipe", "link", "folder"}) {
      std::string arguments = c.arguments;
      arguments.replace(arguments.find(" T"), 2, std::string(" ") + target);
      EXPECT_EQ(Tool(arguments), c.status) << arguments << ": " << errors_;
      EXPECT_TRUE(IsFifo("pipe") && fs::is_symlink(File("link")) &&
                  fs::is_directory(File("folder")))
          << arguments;
    }
  }
  // The map's picture in a pipe, and a run whose results file is one.
  fs::rename(File("pipe"), File("pipe.png"));
  EXPECT_EQ(Tool("map " + std::string(kInput) + " --step 2000 --force -o pipe.png"), 1) << errors_;
  EXPECT_TRUE(IsFifo("pipe.png"));
  fs::create_directory(File("run"));
  WriteFileBytes(File("run/basin.inp"), ReadFileBytes(File(kInput)));
  ASSERT_EQ(::mkfifo(File("run/basin.out").c_str(), 0644), 0);
  EXPECT_NE(Tool("run run/basin.inp"), 124);
  EXPECT_TRUE(IsFifo("run/basin.out")) << errors_;
}

// Two outputs of one call in one file, also through a link to a file not
// written yet, or an output that is the input: refused before either is
// written.
TEST_F(BatchHostile, OutputsInOneFileOrInTheInputAreRefused) {
  fs::create_symlink("linked.png", File("grid.csv"));
  const std::string input = ReadFileBytes(File(kInput));
  const std::string map = "map " + std::string(kInput) + " --step 2000 ";
  for (const std::string& arguments :
       {map + "-o same.png --csv same.png", map + "-o linked.png --csv grid.csv",
        map + "-o other.png --csv " + kInput + " --force",
        map + "-o other.png --csv spotpy_d_flood2013_12d.par --force"}) {
    EXPECT_EQ(Tool(arguments), 1) << arguments << ": " << errors_;
  }
  EXPECT_FALSE(fs::exists(File("same.png")));
  EXPECT_FALSE(fs::exists(File("linked.png")));
  EXPECT_FALSE(fs::exists(File("other.png")));
  EXPECT_FALSE(fs::exists(File("spotpy_d_flood2013_12d.par")));
  EXPECT_EQ(ReadFileBytes(File(kInput)), input);
}

// What a command prints to standard output must arrive; a full disk is a
// failure with the system's reason.
TEST_F(BatchHostile, AFullStandardOutputIsAnError) {
  for (const std::string& arguments :
       {"run --summary " + std::string(kInput), std::string("drain 1.2 0.8 4 0.6 6 40"),
        std::string("--help")}) {
    EXPECT_EQ(Tool(arguments, ">/dev/full"), 2) << arguments;
    EXPECT_NE(errors_.find("No space left on device"), std::string::npos) << errors_;
  }
}

// File names that a spreadsheet would take for formulas are written as text.
TEST_F(BatchHostile, SummaryFieldsAreNoFormulas) {
  const std::string input = ReadFileBytes(File(kInput));
  const std::vector<std::pair<std::string, std::string>> names = {
      {"=1+2.inp", "'=1+2.inp,"}, {"@SUM(A1).inp", "'@SUM(A1).inp,"}, {"+1.inp", "'+1.inp,"},
      {"-cmd.inp", "'-cmd.inp,"}, {"=a,b.inp", "\"'=a,b.inp\","},     {"plain.inp", "plain.inp,"}};
  std::string arguments = "run --summary";
  for (const auto& [name, field] : names) {
    WriteFileBytes(File(name), input);
    arguments += " '" + name + "'";
  }
  ASSERT_EQ(Tool(arguments, ">summary.csv"), 0) << errors_;
  const std::string summary = ReadFileBytes(File("summary.csv"));
  for (const auto& [name, field] : names) {
    EXPECT_NE(summary.find("\n" + field), std::string::npos) << name << "\n" << summary;
  }

  // A results table with a signed number reaches the exported table as text.
  std::string results = ReadFileBytes(File(kResults));
  const auto record = results.find("\r\n 1 ");
  ASSERT_NE(record, std::string::npos);
  results.replace(record + 2, 2, "+1");
  WriteFileBytes(File("signed.out"), results);
  ASSERT_EQ(Tool("export signed.out -o signed.csv"), 0) << errors_;
  EXPECT_NE(ReadFileBytes(File("signed.csv")).find("\n'+1,"), std::string::npos);
}

// Control characters of a name or a file reach the terminal escaped, and a
// value quoted from a file is cut.
TEST_F(BatchHostile, MessagesShowControlBytesEscapedAndCutValues) {
  const std::string escape = "\x1b[2J";
  WriteFileBytes(
      File("bad.inp"),
      CrLf({" Input data for Tevlora program", " Analysis and reconstruction", "", "t", "t", "",
            " Filename: x", " Maximum dead storage: " + escape + std::string(500, '7')}));
  WriteFileBytes(File("cell.csv"),
                 "time,rain,escape,runoff\n1,1,0.1," + escape + std::string(500, '7') + "\n");
  struct TCase {
    std::string arguments, shown;
    int status;
  };
  const TCase cases[] = {
      {"run bad.inp", "\"\\x1B[2J777", 2},
      {"graph '" + escape + ".out' 1", "\"\\x1B[2J.out\"", 2},
      {"graph " + std::string(kResults) + " 1 -o '" + escape + "\n.bmp'", "\\x1B[2J\\n.bmp", 0},
      {"import cell.csv -o cell.inp", "\"\\x1B[2J777", 2},
      {"map " + std::string(kInput) + " '--" + escape + "'", "\"--\\x1B[2J\"", 2},
      {"export " + std::string(kResults) + " -o x.csv '-" + escape + "'", "\"-\\x1B[2J\"", 2},
      {"drain 1.2 '" + escape + "' 4 0.6 6 40", "KB \"\\x1B[2J\"", 2},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(Tool(c.arguments), c.status) << errors_;
    EXPECT_EQ(errors_.find('\x1b'), std::string::npos) << c.arguments;
    EXPECT_NE(errors_.find(c.shown), std::string::npos) << errors_;
    EXPECT_LT(errors_.size(), 300u) << errors_;
  }
}

// Messages of a run name the user's file, never the working copy; a folder
// is called one; a name at the system's limit can be run.
TEST_F(BatchHostile, RunsSpeakOfTheUsersFileAtAnyLegalLength) {
  const std::string input = ReadFileBytes(File(kInput));
  fs::create_directory(File("named.inp"));
  EXPECT_EQ(Tool("run named.inp"), 2);
  EXPECT_NE(errors_.find("is a folder"), std::string::npos) << errors_;
  for (const char* command : {"graph named.inp 1", "map named.inp -o named.png"}) {
    EXPECT_EQ(Tool(command), 2);
    EXPECT_NE(errors_.find("is a folder"), std::string::npos) << command << ": " << errors_;
  }

  // The working copy cannot be written: a full disk.
  const std::string large = ReadFileBytes(TestDataFile("hupsel_h_winter1112_1500.inp"));
  WriteFileBytes(File("large.inp"), large);
  {
    const TFileSizeLimit fullDisk(large.size() / 2);
    EXPECT_EQ(Tool("run large.inp"), 2);
  }
  EXPECT_NE(errors_.find("\"large.inp\""), std::string::npos) << errors_;
  EXPECT_EQ(errors_.find(".run"), std::string::npos) << errors_;

  // 255 bytes, the most a name may have here.
  const std::string stem(251, 'n');
  WriteFileBytes(File(stem + ".inp"), input);
  EXPECT_EQ(Tool("run " + stem + ".inp"), 0) << errors_;
  EXPECT_TRUE(fs::exists(File(stem + ".out")));
  for (const auto& name : FolderEntries(directory_->Path())) {
    if (name.compare(0, stem.size(), stem) == 0) {
      EXPECT_NE(name.back(), '~') << name;
    }
  }
}

// A working copy whose run was killed goes at the next run of its file, and
// says so; one whose process may still use it stays.
TEST_F(BatchHostile, WorkingCopiesOfEndedRunsAreRemoved) {
  fs::create_directory(File("stale"));
  WriteFileBytes(File("stale/basin.inp"), ReadFileBytes(File(kInput)));
  const std::string own = std::to_string(::getpid());
  const std::string ended[] = {"basin.run999999999~", "basin.run" + own + "~",
                               "basin.run999999999~.Ab12Cd"};
  const std::string kept[] = {"basin.run1~", "other.run999999999~", "basin.runner~",
                              "basin.run999999998~"};
  const std::string copy = ReadFileBytes(File(kInput)).substr(0, 100);
  for (const auto& name : ended) WriteFileBytes(File("stale/" + name), copy);
  for (const auto& name : kept) WriteFileBytes(File("stale/" + name), copy);
  WriteFileBytes(File("stale/basin.run999999998~"), "a file of the user's");
  WriteFileBytes(File("stale/basin.run999999999~.Ab12Cd"), "");
  // Written before this process started: not this process's copy.
  fs::last_write_time(File("stale/basin.run" + own + "~"),
                      fs::last_write_time(File("stale/basin.inp")) - std::chrono::hours(24 * 365));
  EXPECT_EQ(Tool("run stale/basin.inp"), 0) << errors_;
  for (const auto& name : ended) {
    EXPECT_FALSE(fs::exists(File("stale/" + name))) << name;
    EXPECT_NE(errors_.find("removed \"stale/" + name + "\""), std::string::npos) << errors_;
  }
  for (const auto& name : kept) EXPECT_TRUE(fs::exists(File("stale/" + name))) << name;
}

}  // namespace
