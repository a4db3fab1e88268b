// tevlora-batch run --jobs: files run side by side print and write exactly
// what they print and write one by one, in the order given.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "TestSupport.h"
#include "TextFile.h"
#include "UDMTevlora.h"

namespace {

namespace fs = std::filesystem;

struct TToolRun {
  int status = 0;
  std::string out, errors;
};

// `tevlora-batch run ARGUMENTS` in `folder`.
TToolRun RunTool(const fs::path& folder, const std::string& arguments) {
  const fs::path out = folder.parent_path() / (folder.filename().string() + ".stdout");
  const fs::path errors = folder.parent_path() / (folder.filename().string() + ".stderr");
  const std::string command = "cd '" + folder.string() + "' && '" + BATCH_TOOL + "' run " +
                              arguments + " >'" + out.string() + "' 2>'" + errors.string() + "'";
  TToolRun run;
  run.status = WEXITSTATUS(std::system(command.c_str()));
  run.out = ReadFileBytes(out.string());
  run.errors = ReadFileBytes(errors.string());
  fs::remove(out);
  fs::remove(errors);
  return run;
}

// A summary without its last column, the seconds each file took.
std::string WithoutSeconds(const std::string& summary) {
  std::string lines;
  for (std::size_t start = 0; start < summary.size();) {
    const std::size_t end = summary.find('\n', start);
    const std::string line = summary.substr(start, end - start);
    lines += line.substr(0, line.rfind(',')) + "\n";
    start = end == std::string::npos ? summary.size() : end + 1;
  }
  return lines;
}

std::string ResultsOf(const fs::path& folder, const std::string& name) {
  std::string bytes;
  for (const char* extension : {".out", ".dat"}) {
    const fs::path file = folder / (name + extension);
    bytes += fs::exists(file) ? ReadFileBytes(file.string()) : "(none)";
  }
  return bytes;
}

class BatchJobs : public ::testing::Test {
 protected:
  void SetUp() override {
    source = dir.Path() / "source";
    fs::create_directory(source);
    fs::copy_file(ExampleDataFile("hupsel_h_winter1112_1500.inp"), source / "winter.inp");
    fs::copy_file(ExampleDataFile("spotpy_d_flood2013_12d.inp"), source / "flood.inp");
    fs::copy_file(ExampleDataFile("hupsel_h_dec2012_pred_runoff.inp"), source / "predicted.inp");
    // Runoff in the wrong unit: no trial fits, the run stops with its message.
    TDMTevlora data;
    data.FileName = ExampleDataFile("spotpy_d_flood2013_12d.inp");
    ASSERT_TRUE(data.ReadInputFile());
    for (double& q : data.Runoff) q *= 3000;
    data.FileName = (source / "scaled.inp").string();
    ASSERT_TRUE(data.WriteInputFile());
  }
  fs::path Folder(const std::string& name) {
    const fs::path folder = dir.Path() / name;
    fs::copy(source, folder);
    return folder;
  }

  TTemporaryDirectory dir;
  fs::path source;
};

// The longest file first, so that the files after it end before it does; a
// file that stops in the middle.
TEST_F(BatchJobs, SideBySideAsOneByOne) {
  const std::vector<std::string> names = {"winter", "flood", "scaled", "predicted"};
  std::string arguments = "--summary --jobs 2";
  TToolRun alone;
  std::map<std::string, std::string> results;
  for (const auto& name : names) {
    const fs::path folder = Folder("alone-" + name);
    const TToolRun one = RunTool(folder, "--summary " + name + ".inp");
    EXPECT_EQ(one.status, name == "scaled" ? 1 : 0) << one.errors;
    alone.errors += one.errors;
    alone.out += one.out.substr(alone.out.empty() ? 0 : one.out.find('\n') + 1);
    results[name] = ResultsOf(folder, name);
    arguments += " " + name + ".inp";
  }
  const fs::path folder = Folder("together");
  const TToolRun together = RunTool(folder, arguments);
  EXPECT_EQ(together.status, 1);
  EXPECT_EQ(together.errors, alone.errors);
  EXPECT_EQ(WithoutSeconds(together.out), WithoutSeconds(alone.out));
  for (const auto& name : names) EXPECT_EQ(ResultsOf(folder, name), results[name]) << name;
}

// One file named twice, and two files of one stem, which write the same
// results file and would make their working copies under one name: they run
// one after the other, as they do one by one.
TEST_F(BatchJobs, FilesOfTheSameResultsRunInTurn) {
  const std::string files = " predicted.inp ./predicted.inp predicted.txt flood.inp predicted.inp";
  std::map<std::string, TToolRun> runs;
  for (const char* jobs : {"1", "3"}) {
    const fs::path folder = Folder(std::string("jobs") + jobs);
    fs::copy_file(folder / "flood.inp", folder / "predicted.txt");
    runs[jobs] = RunTool(folder, std::string("--jobs ") + jobs + files);
    runs[jobs].out = ResultsOf(folder, "predicted");
  }
  EXPECT_EQ(runs["3"].status, 0) << runs["3"].errors;
  EXPECT_EQ(runs["3"].errors, runs["1"].errors);
  EXPECT_EQ(runs["3"].out, runs["1"].out);
}

TEST_F(BatchJobs, BadJobsAreRefused) {
  const fs::path folder = Folder("refused");
  for (const char* jobs : {"0", "-1", "two", "1.5", "2x", ""}) {
    const TToolRun run = RunTool(folder, std::string("flood.inp --jobs '") + jobs + "'");
    EXPECT_EQ(run.status, 2) << jobs;
    EXPECT_NE(run.errors.find("--jobs needs a whole number"), std::string::npos) << jobs;
  }
  EXPECT_FALSE(fs::exists(folder / "flood.out"));
}

}  // namespace
