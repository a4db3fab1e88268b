// The input file (.inp) and the drainage parameter file (.par).
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "TextFile.h"
#include "UDMTevlora.h"

namespace {

class InputFile : public ::testing::Test {
 protected:
  void SetUp() override {
    data.Dialogs = &dialogs;
    data.Values.AlphaA = data.Values.AlphaC = 0;
    data.Values.DrainKa = data.Values.DrainKb = data.Values.DrainD = data.Values.DrainU =
        data.Values.DrainP = data.Values.DrainL = 0;
  }

  // Three records of which the second is removed.
  void FillSmallDataSet(bool analysis) {
    data.FileName = dir.File("basin.inp");
    data.Title1 = "Test basin";
    data.Title2 = "second title";
    data.RunKind = analysis ? " Ana" : " Pre";
    data.Analysis = analysis;
    data.MaxStorage = 50;
    data.InitStorage = 0.5;
    data.MaxEscape = 1;
    data.NrOfData = 3;
    data.Time = {1, 2, 3};
    data.Rain = {0, 12.5, 0.25};
    data.EscRate = {0.1, 0.1, 1};
    data.Runoff = {0.5, 7, 1.25};
    data.Removed = {false, true, false};
    data.SerialNr = {1, 2, 3};
  }

  TTemporaryDirectory dir;
  TRecordingDialogs dialogs;
  TDMTevlora data;
};

TEST_F(InputFile, AnalysisLayout) {
  FillSmallDataSet(true);
  ASSERT_TRUE(data.WriteInputFile());
  EXPECT_EQ(
      ReadFileBytes(data.FileName),
      CrLf({" Input data for Tevlora program", " Analysis and reconstruction", "", "Test basin",
            "second title", "", " Filename: " + data.FileName, " Maximum dead storage:    50.00",
            " Initial dead storage:  5.0E-0001", " Max.escape/time unit:     1.00", "",
            " --------------------------------------------------",
            "  Serial    T i m e   R a i n    Esc. rate  Run-off",
            " --------------------------------------------------",
            "    1         1.00  0.0E+0000  1.0E-0001  5.0E-0001",
            "    2         3.00  2.5E-0001       1.00       1.25"}));
}

TEST_F(InputFile, PredictionLayouts) {
  FillSmallDataSet(false);
  data.Values.AlphaA = 0.0995;
  data.Values.AlphaC = -0.001;
  data.Porosity = 0.35;  // a fraction is written in percent
  data.InitRunoff = 0.02;
  data.InitLevel = 6.69;
  data.Drainage = false;
  ASSERT_TRUE(data.WriteInputFile());
  const std::vector<std::string> head = {" Input data for Tevlora program"};
  EXPECT_EQ(ReadFileBytes(data.FileName),
            CrLf({" Input data for Tevlora program",
                  " Prediction runoff",
                  "",
                  "Test basin",
                  "second title",
                  "",
                  " Filename: " + data.FileName,
                  " Maximum dead storage:    50.00",
                  " Initial dead storage:  5.0E-0001",
                  " Max.escape/time unit:     1.00",
                  " Linear reservoir function : Alpha = A * Runoff + C",
                  " A coefficient : 9.9500E-002",
                  " Value of C is : -1.0000E-003",
                  " Effective porosity (%) :   35.00",
                  " Initial runoff rate :  2.0E-0002",
                  " Initial water level :     6.69",
                  "",
                  " -----------------------------------------",
                  " Serial    T i m e   Rainfall  Escape rate",
                  " -----------------------------------------",
                  "    1         1.00  0.0E+0000  1.0E-0001",
                  "    2         3.00  2.5E-0001       1.00"}));

  data.Drainage = true;
  data.Porosity = 35;
  ASSERT_TRUE(data.WriteInputFile());
  const std::string text = ReadFileBytes(data.FileName);
  EXPECT_NE(text.find("\r\n Prediction drainage\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\n Effective porosity (%) :   35.00\r\n"), std::string::npos);
}

TEST_F(InputFile, WriterAndReaderRoundTrip) {
  FillSmallDataSet(true);
  ASSERT_TRUE(data.WriteInputFile());
  TDMTevlora back;
  back.Dialogs = &dialogs;
  back.FileName = data.FileName;
  ASSERT_TRUE(back.ReadInputFile());
  EXPECT_EQ(back.RunKind, " Ana");
  EXPECT_TRUE(back.Analysis);
  EXPECT_EQ(back.Title1, "Test basin");
  EXPECT_EQ(back.Title2, "second title");
  EXPECT_EQ(back.NrOfData, 2);
  EXPECT_EQ(back.SerialNr, (DataArrayI{1, 2}));
  EXPECT_EQ(back.Time, (DataArrayR{1, 3}));
  EXPECT_EQ(back.Rain, (DataArrayR{0, 0.25}));
  EXPECT_EQ(back.EscRate, (DataArrayR{0.1, 1}));
  EXPECT_EQ(back.Runoff, (DataArrayR{0.5, 1.25}));
  EXPECT_EQ(back.Removed, (RemoveSet{false, false}));
  EXPECT_EQ(back.MaxStorage, 50);
  EXPECT_EQ(back.InitStorage, 0.5);
  EXPECT_TRUE(dialogs.messages.empty());
}

// Every example data set reads and is written back byte for byte (but for
// the file name line, which names where the file now lies).
TEST_F(InputFile, ExamplesRewriteUnchanged) {
  for (const auto& entry : std::filesystem::directory_iterator(PROJECT_DATA_DIR)) {
    if (entry.path().extension() != ".inp") continue;
    SCOPED_TRACE(entry.path().string());
    TDMTevlora example;
    example.Dialogs = &dialogs;
    example.FileName = entry.path().string();
    ASSERT_TRUE(example.ReadInputFile());
    std::string original = ReadFileBytes(example.FileName);
    example.FileName = dir.File(entry.path().filename().string());
    example.ParLoaded = false;
    ASSERT_TRUE(example.WriteInputFile());
    std::string rewritten = ReadFileBytes(example.FileName);
    const auto lineOf = [](const std::string& text) {
      const auto start = text.find(" Filename: ");
      return std::make_pair(start, text.find("\r\n", start) - start);
    };
    // A value just below 1 that was rounded up to " 1.0E+0000" reads as 1 and
    // is then written in the fixed form.
    for (auto at = original.find(" 1.0E+0000"); at != std::string::npos;
         at = original.find(" 1.0E+0000", at)) {
      original.replace(at, 10, "      1.00");
    }
    auto [a, alength] = lineOf(original);
    auto [b, blength] = lineOf(rewritten);
    EXPECT_EQ(original.substr(0, a) + original.substr(a + alength),
              rewritten.substr(0, b) + rewritten.substr(b + blength));
  }
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(InputFile, ThreeValueAnalysisLinesTakeTheMaximumEscape) {
  data.FileName = dir.File("three.inp");
  WriteFileBytes(
      data.FileName,
      CrLf({" Input data for Tevlora program", " Analysis and reconstruction", "", "t1", "t2", "",
            " Filename: x", " Maximum dead storage:    50.00", " Initial dead storage:    10.00",
            " Max.escape/time unit:  2.5E-0001", "", " ---", " hdr", " ---",
            "    1  1.00  2.00  0.50", "    2  2.00  0.00  0.40"}));
  ASSERT_TRUE(data.ReadInputFile());
  EXPECT_EQ(data.NrOfData, 2);
  EXPECT_EQ(data.Runoff, (DataArrayR{0.5, 0.4}));
  EXPECT_EQ(data.EscRate, (DataArrayR{0.25, 0.25}));
  EXPECT_EQ(dialogs.messages, (std::vector<std::string>{"Please check the escape rate data"}));
}

std::vector<std::string> PredictionHeader(const std::string& tagA, const std::string& tagC) {
  return {" Input data for Tevlora program",
          " Prediction runoff",
          "",
          "t1",
          "t2",
          "",
          " Filename: x",
          " Maximum dead storage:    40.00",
          " Initial dead storage:    35.00",
          " Max.escape/time unit:  9.3E-0002",
          " Linear reservoir function : Alpha = A * Runoff + C",
          tagA + "efficient : 5.0000E-002",
          tagC + "ue of C is : 7.4921E-003",
          " Effective porosity (%) :    6.00",
          " Initial runoff rate :  2.0E-0002",
          " Initial water level :    49.07",
          "",
          " -----------------------------------------",
          " Serial    T i m e   Rainfall  Escape rate",
          " -----------------------------------------"};
}

TEST_F(InputFile, PredictionRecordsAreTolerant) {
  data.FileName = dir.File("pred.inp");
  auto lines = PredictionHeader(" A co", " Val");
  lines.push_back("    1         1.00  0.0E+0000  1,5E-0001");  // decimal comma, last column
  lines.push_back("    2         2.00       3.00");             // no escape rate
  WriteFileBytes(data.FileName, CrLf(lines));
  ASSERT_TRUE(data.ReadInputFile());
  EXPECT_FALSE(data.Analysis);
  EXPECT_FALSE(data.Drainage);
  EXPECT_EQ(data.AlphaKind, " Lin");
  EXPECT_EQ(data.Values.AlphaA, 0.05);
  EXPECT_EQ(data.Values.AlphaC, 0.0074921);
  EXPECT_EQ(data.Porosity, 6);
  EXPECT_EQ(data.InitRunoff, 0.02);
  EXPECT_EQ(data.InitLevel, 49.07);
  EXPECT_EQ(data.EscRate, (DataArrayR{0.15, 0.093}));
  EXPECT_EQ(data.Runoff.size(), 2u);
  EXPECT_FALSE(data.AlphaMissing);
  EXPECT_EQ(dialogs.messages, (std::vector<std::string>{"Please check the escape rate data"}));
}

// The fourth line after the initial level may be the column titles; the
// dashed line under them is then skipped as well.
TEST_F(InputFile, ColumnTitlesOneLineLowerAreAccepted) {
  data.FileName = dir.File("lower.inp");
  auto lines = PredictionHeader(" A co", " Val");
  lines.insert(lines.begin() + 16, "");
  lines.push_back("    1         1.00       2.00       0.10");
  lines.push_back("    2         2.00       1.00       0.10");
  WriteFileBytes(data.FileName, CrLf(lines));
  ASSERT_TRUE(data.ReadInputFile());
  EXPECT_EQ(data.NrOfData, 2);
  EXPECT_EQ(data.Rain, (DataArrayR{2, 1}));
}

TEST_F(InputFile, AlphaLinesOfAnotherVariantAskForNewCoefficients) {
  data.FileName = dir.File("variant.inp");
  auto lines = PredictionHeader(" A1 co", " B v");
  // The other variant has two more lines after A1 and one after B.
  lines.insert(lines.begin() + 13, {" extra 1", " extra 2", " extra 3"});
  lines.insert(lines.begin() + 19, " extra 4");
  lines.push_back("    1         1.00       2.00       0.10");
  WriteFileBytes(data.FileName, CrLf(lines));
  ASSERT_TRUE(data.ReadInputFile());
  EXPECT_TRUE(data.AlphaMissing);
  EXPECT_EQ(dialogs.messages.size(), 2u);
  EXPECT_EQ(dialogs.messages[0],
            "This input file does not belong to TevloraT. The Alfa charcateristics need to be "
            "redefined.");
  EXPECT_EQ(data.Porosity, 6);
  EXPECT_EQ(data.InitLevel, 49.07);
  EXPECT_EQ(data.NrOfData, 1);
}

TEST_F(InputFile, CorruptRecordLeavesTheDataSetAsItWas) {
  FillSmallDataSet(true);
  const TDMTevlora before = data;
  const std::string name = dir.File("corrupt.inp");
  WriteFileBytes(
      name, CrLf({" Input data for Tevlora program", " Analysis and reconstruction", "", "new",
                  "new", "", " Filename: x", " Maximum dead storage:    10.00",
                  " Initial dead storage:    10.00", " Max.escape/time unit:    1.00", "", " ---",
                  " hdr", " ---", "    1  1.00  2.00  0.50  0.3", "    2  2,00  2.00  0.50  0.3"}));
  data.FileName = name;
  EXPECT_FALSE(data.ReadInputFile());
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0],
            "A program error occurred.Real numbers in the inputfile \"" + name + "\" are corrupt");
  EXPECT_EQ(data.Title1, before.Title1);
  EXPECT_EQ(data.NrOfData, before.NrOfData);
  EXPECT_EQ(data.Time, before.Time);
  EXPECT_EQ(data.MaxStorage, before.MaxStorage);
}

TEST_F(InputFile, UnreadableParameterIsAnInputErrorAndChangesNothing) {
  FillSmallDataSet(true);
  const std::string name = dir.File("badparameter.inp");
  WriteFileBytes(name, CrLf({" Input data for Tevlora program", " Analysis and reconstruction", "",
                             "new", "new", "", " Filename: x", " Maximum dead storage:    1O.00"}));
  data.FileName = name;
  EXPECT_THROW(data.ReadInputFile(), TIOError);
  EXPECT_EQ(data.Title1, "Test basin");
  EXPECT_EQ(data.MaxStorage, 50);
}

TEST_F(InputFile, MissingFileGivesTheOpenMessage) {
  data.FileName = dir.File("nothere.inp");
  EXPECT_FALSE(data.ReadInputFile());
  EXPECT_EQ(dialogs.messages,
            (std::vector<std::string>{"The file \"" + data.FileName +
                                      "\"could not be opened. It may be damaged or in use by "
                                      "another program."}));
}

TEST_F(InputFile, FailedWriteKeepsTheOldFile) {
  FillSmallDataSet(true);
  ASSERT_TRUE(data.WriteInputFile());
  const std::string good = ReadFileBytes(data.FileName);
  data.Time.resize(1);  // shorter than NrOfData: a corrupt data set
  EXPECT_FALSE(data.WriteInputFile());
  EXPECT_EQ(dialogs.messages.back(), "A program error occurred.Real numbers in the inputfile \"" +
                                         data.FileName + "\" are corrupt");
  EXPECT_EQ(ReadFileBytes(data.FileName), good);

  // A folder that does not exist cannot take the file; the message says why.
  data.FileName = dir.File("no/such/folder/basin.inp");
  FillSmallDataSet(true);
  data.FileName = dir.File("no/such/folder/basin.inp");
  EXPECT_FALSE(data.WriteInputFile());
  EXPECT_EQ(dialogs.messages.back(),
            "The file \"" + data.FileName +
                "\"could not be opened. It may be damaged or in use by another program."
                " (No such file or directory)");
}

TEST_F(InputFile, ParameterFileBesideAnInputFile) {
  FillSmallDataSet(true);
  ASSERT_TRUE(data.WriteInputFile());
  data.Values.DrainKa = 1.5;
  data.Values.DrainKb = 0.8;
  data.Values.DrainD = 4;
  data.Values.DrainU = 0.6;
  data.Values.DrainP = 6;
  data.Values.DrainL = 1234.567;
  const std::string par = ChangeFileExt(data.FileName, ".par");
  ASSERT_TRUE(WriteDrainageParameters(par, data.Values));
  EXPECT_EQ(ReadFileBytes(par), CrLf({" Hydraulic conductivity above drain level (Ka, m/day)  1.50",
                                      " Hydraulic conductivity below drain level (Kb, m/day)  0.80",
                                      " Depth of soil layer below drain level (D=D1-Dd, m)    4.00",
                                      " Wet perimeter of drain or ditch (U, m)                0.60",
                                      " Drainable (effective) porosity of top soil (P, %)     6.00",
                                      " Drain spacing (L, m)" + std::string(32, ' ') + "1234.57"}));
  data.Values.DrainKa = data.Values.DrainKb = data.Values.DrainD = data.Values.DrainU =
      data.Values.DrainP = data.Values.DrainL = 0;
  data.Drainage = false;
  ASSERT_TRUE(data.ReadInputFile());
  EXPECT_TRUE(data.Analysis);  // an analysis file stays an analysis
  EXPECT_TRUE(data.Drainage);
  EXPECT_TRUE(data.ParLoaded);
  EXPECT_EQ(data.Values.DrainKa, 1.5);
  EXPECT_EQ(data.Values.DrainL, 1234.57);

  // Saving the data set again rewrites the .par file too.
  data.Values.DrainKa = 2.25;
  ASSERT_TRUE(data.WriteInputFile());
  EXPECT_EQ(ReadFileBytes(par).substr(0, 60),
            " Hydraulic conductivity above drain level (Ka, m/day)  2.25\r");

  // ... but never over the input file itself: nothing is written.
  data.FileName = par;
  const std::string parameters = ReadFileBytes(par);
  EXPECT_FALSE(data.WriteInputFile());
  EXPECT_EQ(dialogs.messages.back(), ParOverInputText(par));
  EXPECT_EQ(ReadFileBytes(par), parameters);
}

TEST_F(InputFile, ParameterLabelsAreNotCompared) {
  const std::string par = dir.File("other.par");
  std::vector<std::string> lines;
  for (int i = 0; i < 6; ++i) lines.push_back(std::string(53, 'x') + " " + std::to_string(i + 1));
  WriteFileBytes(par, CrLf(lines));
  ReadDrainageParameters(par, data.Values);
  EXPECT_EQ(data.Values.DrainKa, 1);
  EXPECT_EQ(data.Values.DrainP, 5);
  EXPECT_EQ(data.Values.DrainL, 6);
}

TEST(DataModule, StartsInTheCurrentDirectory) {
  TDMTevlora data;
  data.DataModuleCreate();
  EXPECT_EQ(data.FileName, std::filesystem::current_path().string());
  EXPECT_EQ(data.NrOfData, 0);
  EXPECT_FALSE(data.Analysis);
}

TEST(DataModule, ProgramErrorAndQuestion) {
  TRecordingDialogs dialogs;
  TDMTevlora data;
  data.Dialogs = &dialogs;
  data.ProgramError("x");
  EXPECT_EQ(dialogs.messages, (std::vector<std::string>{"A program error occurred.x"}));
  dialogs.answers = {true};
  EXPECT_TRUE(data.ConfirmYesNo("Overwrite?"));
  EXPECT_FALSE(data.ConfirmYesNo("Again?"));  // closed without Yes
}

}  // namespace
