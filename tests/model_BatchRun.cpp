// tevlora-batch run and the run step it shares with the window: every file
// from a fresh program, the data set as Save would write it, and the stops
// that keep wrong or unreadable results out of the files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "TestSupport.h"
#include "TextFile.h"
#include "UDMTevlora.h"
#include "UPrediction.h"
#include "URainRun.h"
#include "URunModel.h"
#include "USession.h"

namespace {

namespace fs = std::filesystem;

const std::string kFlood = "spotpy_d_flood2013_12d";
const std::string kPrediction = "hupsel_h_dec2012_pred_runoff";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  TTextReader in(text);
  while (!in.Eof()) lines.push_back(in.ReadLine());
  return lines;
}

// Runs `tevlora-batch run ARGUMENTS` in `dir`; the exit status.
int RunBatch(const fs::path& dir, const std::string& arguments, std::string* errors = nullptr) {
  const std::string errorFile = (dir.parent_path() / (dir.filename().string() + ".err")).string();
  const std::string command = "cd '" + dir.string() + "' && '" + BATCH_TOOL + "' run " + arguments +
                              " 2>'" + errorFile + "'";
  const int status = std::system(command.c_str());
  if (errors) *errors = ReadFileBytes(errorFile);
  fs::remove(errorFile);
  return WEXITSTATUS(status);
}

std::set<std::string> FilesIn(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

// Writes an analysis input file with the program's own writer, from the flood
// example changed by `change`.
template <typename TChange>
void WriteFloodVariant(const std::string& path, TChange change) {
  TDMTevlora data;
  data.FileName = ExampleDataFile(kFlood + ".inp");
  ASSERT_TRUE(data.ReadInputFile());
  change(data);
  data.FileName = path;
  ASSERT_TRUE(data.WriteInputFile());
}

class BatchRun : public ::testing::Test {
 protected:
  void SetUp() override { data.Dialogs = &dialogs; }
  // A session as a freshly started program has it.
  void NewSession() {
    session = TSession{};
    data.Dialogs = &dialogs;
  }

  TTemporaryDirectory dir;
  TRecordingDialogs dialogs;
  TSession session;
  TDMTevlora& data = session.Data;
  TAnalysisRun& run = session.Run;
};

// Several files in one call, in two orders: each writes exactly the bytes it
// writes alone. The files are chosen so that the state an earlier run leaves
// behind (the optimum, the trend coefficients) would show in a later one.
TEST_F(BatchRun, EveryFileStartsFromAFreshProgram) {
  const fs::path source = dir.Path() / "source";
  fs::create_directory(source);
  fs::copy_file(ExampleDataFile(kFlood + ".inp"), source / "flood.inp");
  fs::copy_file(ExampleDataFile(kPrediction + ".inp"), source / "predicted.inp");
  // Runoff in the wrong unit: no trial fits.
  WriteFloodVariant((source / "scaled.inp").string(), [](TDMTevlora& d) {
    for (double& q : d.Runoff) q *= 3000;
  });
  // Two records: no quadratic trend. No rain at all: no trend.
  WriteFloodVariant((source / "two.inp").string(), [](TDMTevlora& d) { d.NrOfData = 2; });
  WriteFloodVariant((source / "dry.inp").string(),
                    [](TDMTevlora& d) { std::fill(d.Rain.begin(), d.Rain.end(), 0.0); });
  const std::vector<std::string> names = {"flood", "scaled", "two", "dry", "predicted"};

  const auto results = [](const fs::path& folder, const std::string& name) {
    std::string bytes;
    for (const char* extension : {".out", ".dat"}) {
      const fs::path file = folder / (name + extension);
      bytes += fs::exists(file) ? ReadFileBytes(file.string()) : "(none)";
    }
    return bytes;
  };
  std::map<std::string, std::string> alone;
  for (const auto& name : names) {
    const fs::path folder = dir.Path() / ("alone-" + name);
    fs::create_directory(folder);
    fs::copy_file(source / (name + ".inp"), folder / (name + ".inp"));
    EXPECT_EQ(RunBatch(folder, name + ".inp"), name == "scaled" ? 1 : 0) << name;
    alone[name] = results(folder, name);
  }
  EXPECT_EQ(alone["scaled"], "(none)(none)");

  for (bool reversed : {false, true}) {
    const fs::path folder = dir.Path() / (reversed ? "reversed" : "forward");
    fs::copy(source, folder);
    std::vector<std::string> order = names;
    if (reversed) std::reverse(order.begin(), order.end());
    std::string arguments;
    for (const auto& name : order) arguments += " " + name + ".inp";
    EXPECT_EQ(RunBatch(folder, arguments), 1);
    for (const auto& name : names) EXPECT_EQ(results(folder, name), alone[name]) << name;
  }
}

// The window's run step: no fit is a stop with its message, and nothing is
// written; the optimum of an earlier run is not reported.
TEST_F(BatchRun, NoFitStopsTheRun) {
  data.FileName = dir.File("scaled.inp");
  WriteFloodVariant(data.FileName, [](TDMTevlora& d) {
    for (double& q : d.Runoff) q *= 3000;
  });
  ASSERT_TRUE(data.ReadInputFile());
  run.BestA = 0.25;
  run.BestC = 0.5;
  EXPECT_FALSE(RunModel(session));
  ASSERT_FALSE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.messages.back(), RainRunTexts::kNoFit);
  EXPECT_FALSE(data.RunAborted);
  EXPECT_EQ(run.BestA, 0.25);
  EXPECT_EQ(FilesIn(dir.Path()), (std::set<std::string>{"scaled.inp"}));
}

// Files that the reader takes otherwise than the run's own reader would: the
// batch runs the data set as Save writes it, so its results are those of the
// program's run of that data set. The user's files stay as they were, and no
// working copy is left behind.
TEST_F(BatchRun, RunsTheDataSetAsSaveWritesIt) {
  const auto flood = Lines(ReadFileBytes(ExampleDataFile(kFlood + ".inp")));
  const auto prediction = Lines(ReadFileBytes(ExampleDataFile(kPrediction + ".inp")));
  std::vector<std::string> threeValues = flood, decimalComma = flood;
  for (std::size_t i = 14; i < flood.size(); ++i) {
    // "    1         1.00  0.0E+0000       1.36       1.41": time, rain, runoff.
    threeValues[i] = flood[i].substr(0, 29) + flood[i].substr(40);
    decimalComma[i][flood[i].rfind('.')] = ',';
  }
  std::vector<std::string> shortHeader = prediction;
  shortHeader.erase(shortHeader.begin() + 16);  // the empty line above the table
  std::vector<std::string> drainShort = prediction;
  drainShort[1] = " Prediction drain";

  const struct {
    const char* name;
    std::vector<std::string> lines;
    const char* par;  // nullptr: none; "": a folder of that name
  } cases[] = {{"three", threeValues, nullptr},  {"comma", decimalComma, nullptr},
               {"header", shortHeader, nullptr}, {"drain", drainShort, nullptr},
               {"damagedpar", flood, "garbage"}, {"parfolder", flood, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path folder = dir.Path() / c.name;
    const fs::path expectedFolder = dir.Path() / (std::string(c.name) + "-expected");
    fs::create_directory(folder);
    fs::create_directory(expectedFolder);
    const std::string input = (folder / (std::string(c.name) + ".inp")).string();
    WriteFileBytes(input, CrLf(c.lines));
    if (c.par && *c.par) WriteFileBytes(ChangeFileExt(input, ".par"), c.par);
    if (c.par && !*c.par) fs::create_directory(ChangeFileExt(input, ".par"));
    const auto before = FilesIn(folder);

    std::string errors;
    ASSERT_EQ(RunBatch(folder, input, &errors), 0) << errors;
    EXPECT_EQ(ReadFileBytes(input), CrLf(c.lines));
    auto after = before;
    after.insert(std::string(c.name) + ".out");
    if (c.lines[1] == flood[1]) after.insert(std::string(c.name) + ".dat");
    EXPECT_EQ(FilesIn(folder), after);

    // The program's own Save/Run of the data set the reader makes of the file.
    TSession savedSession;
    TDMTevlora& saved = savedSession.Data;
    saved.FileName = input;
    ASSERT_TRUE(saved.ReadInputFile());
    saved.ParLoaded = false;
    saved.FileName = (expectedFolder / (std::string(c.name) + ".inp")).string();
    ASSERT_TRUE(saved.WriteInputFile());
    ASSERT_TRUE(RunModel(savedSession));
    std::string expected = ReadFileBytes(saved.FileName);
    expected.replace(expected.find(expectedFolder.string()), expectedFolder.string().size(),
                     folder.string());
    EXPECT_EQ(ReadFileBytes(ChangeFileExt(input, ".out")), expected);
  }
}

// A results or trend file that would be the input file itself: the run is
// refused before anything is written, in the run step and in the batch tool.
TEST_F(BatchRun, RefusesResultsOverTheInputFile) {
  const struct {
    const char* input;
    const char* example;
    const char* link;  // a results file that is a link to the input file
  } cases[] = {{"basin.dat", "spotpy_d_flood2013_12d.inp", nullptr},
               {"pred.out", "hupsel_h_dec2012_pred_runoff.inp", nullptr},
               {"linked.inp", "spotpy_d_flood2013_12d.inp", "linked.out"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    const fs::path folder = dir.Path() / ChangeFileExt(c.input, "");
    fs::create_directory(folder);
    const std::string input = (folder / c.input).string();
    fs::copy_file(ExampleDataFile(c.example), input);
    if (c.link) fs::create_symlink(c.input, folder / c.link);
    const auto before = FilesIn(folder);
    std::string errors;
    EXPECT_EQ(RunBatch(folder, c.input, &errors), 1);
    EXPECT_NE(errors.find("would overwrite the input file"), std::string::npos) << errors;

    NewSession();
    dialogs.messages.clear();
    data.FileName = input;
    ASSERT_TRUE(data.ReadInputFile());
    EXPECT_FALSE(RunModel(session));
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].rfind("The run was not started: its ", 0), 0u);
    EXPECT_EQ(ReadFileBytes(input), ReadFileBytes(ExampleDataFile(c.example)));
    EXPECT_EQ(FilesIn(folder), before);
  }
}

// Values that cannot be written as numbers of their columns stop the run with
// a message naming the value, and no file is written.
TEST_F(BatchRun, UnwritableValuesStopTheRun) {
  const struct {
    const char* name;
    bool analysis;
    DataArrayR time;
    DataArrayR runoff;
    const char* problem;
  } cases[] = {
      {"huge",
       true,
       {1, 2, 3, 4, 5},
       {1, 2, 1e200, 3, 2},
       "the measured runoff of record 3 is too large for its column"},
      {"times", false, {-1e308, 0, 1e308}, {}, "the time of record 1 is too large for its column"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NewSession();
    dialogs.messages.clear();
    data.FileName = dir.File(std::string(c.name) + ".inp");
    data.RunKind = c.analysis ? " Ana" : " Pre";
    data.Analysis = c.analysis;
    data.Drainage = false;
    data.MaxStorage = 10;
    data.InitStorage = 5;
    data.MaxEscape = 0.1;
    data.NrOfData = static_cast<int>(c.time.size());
    data.Time = c.time;
    data.Rain.assign(c.time.size(), 2);
    data.EscRate.assign(c.time.size(), 0.1);
    data.Runoff = c.runoff;
    data.Removed.assign(c.time.size(), false);
    ASSERT_TRUE(data.WriteInputFile());
    EXPECT_FALSE(RunModel(session));
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.messages.back(), ResultsNotWrittenText(c.problem));
    EXPECT_FALSE(fs::exists(ChangeFileExt(data.FileName, ".out")));
    EXPECT_FALSE(fs::exists(ChangeFileExt(data.FileName, ".dat")));
  }
}

// The trend file and the results file change together: when the results file
// cannot be replaced, the old trend file stays.
TEST_F(BatchRun, TrendAndResultsFilesArePairs) {
  data.FileName = dir.File("basin.inp");
  run.Resize(2);
  run.RunCount = 2;
  run.RunTime[1] = 1;
  run.RunTime[2] = 2;
  WriteFileBytes(dir.File("basin.dat"), "old trend");
  fs::create_directories(dir.File("basin.out/in the way"));
  EXPECT_THROW(WriteAnalysisResults(data, run), TIOError);
  EXPECT_EQ(ReadFileBytes(dir.File("basin.dat")), "old trend");
  EXPECT_EQ(FilesIn(dir.Path()), (std::set<std::string>{"basin.dat", "basin.out"}));

  // A trend file that is a link: the file it points to gets the new trend.
  fs::remove_all(dir.File("basin.out"));
  fs::rename(dir.File("basin.dat"), dir.File("kept.dat"));
  fs::create_symlink("kept.dat", dir.File("basin.dat"));
  data.FileName = dir.File("basin.inp");
  EXPECT_TRUE(WriteAnalysisResults(data, run));
  EXPECT_TRUE(fs::is_symlink(dir.File("basin.dat")));
  EXPECT_EQ(ReadFileBytes(dir.File("kept.dat")).rfind("Linear: Runoff", 0), 0u);
  EXPECT_TRUE(fs::exists(dir.File("basin.out")));
}

// The reader takes the last column whole, and a drainage parameter file it
// cannot read is reported and left aside.
TEST_F(BatchRun, ReaderTakesTheLastColumnWholeAndSkipsABadParameterFile) {
  auto lines = Lines(ReadFileBytes(ExampleDataFile(kFlood + ".inp")));
  lines[14] = "    1         1.00  0.0E+0000       1.36   1.5000E+002";
  data.FileName = dir.File("flood.inp");
  WriteFileBytes(data.FileName, CrLf(lines));
  WriteFileBytes(dir.File("flood.par"), "not a parameter file");
  ASSERT_TRUE(data.ReadInputFile());
  EXPECT_EQ(data.Runoff[0], 150);
  EXPECT_FALSE(data.ParLoaded);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].rfind(
                "The drainage parameter file \"" + dir.File("flood.par") + "\" is damaged (", 0),
            0u);

  auto predicted = Lines(ReadFileBytes(ExampleDataFile(kPrediction + ".inp")));
  predicted[20] = "    1         1.00  0.0E+0000   2.5000E-001";
  data.FileName = dir.File("predicted.inp");
  WriteFileBytes(data.FileName, CrLf(predicted));
  ASSERT_TRUE(data.ReadInputFile());
  EXPECT_EQ(data.EscRate[0], 0.25);
}

}  // namespace
