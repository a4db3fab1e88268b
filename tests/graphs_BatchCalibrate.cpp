// tevlora-batch calibrate, and run with a calibration period.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "TestSupport.h"

namespace {

class BatchCalibrate : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(File("flood.inp"), ReadFileBytes(ExampleDataFile("spotpy_d_flood2013_12d.inp")));
  }
  // Exit status of "tevlora-batch ARGUMENTS" in the test's folder; stdout in
  // `output_`, stderr in `errors_`.
  int Run(const std::string& arguments) {
    const std::string command = "cd \"" + directory_.Path().string() + "\" && \"" + BATCH_TOOL +
                                "\" " + arguments + " >stdout.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    output_ = ReadFileBytes(File("stdout.txt"));
    errors_ = ReadFileBytes(File("stderr.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string File(const std::string& name) const { return directory_.File(name); }
  bool Exists(const std::string& name) const { return std::filesystem::exists(File(name)); }

  TTemporaryDirectory directory_;
  std::string output_, errors_;
};

TEST_F(BatchCalibrate, TheBestPairsFilesAreThoseRunMakesOfTheInputFileWritten) {
  ASSERT_EQ(Run("calibrate flood.inp --max-storage 4:12:4 --initial-fraction 0,1 -o best.inp "
                "--profile profile.csv"),
            0)
      << errors_;
  const std::string results = ReadFileBytes(File("best.out"));
  const std::string trend = ReadFileBytes(File("best.dat"));
  ASSERT_EQ(Run("run best.inp"), 0) << errors_;
  EXPECT_EQ(ReadFileBytes(File("best.out")), results);
  EXPECT_EQ(ReadFileBytes(File("best.dat")), trend);
  const std::string profile = ReadFileBytes(File("profile.csv"));
  EXPECT_EQ(profile.substr(0, profile.find("\r\n") + 2), "Smax,S0,A,C,SumSq,RSquare,NSE,KGE\r\n");
  EXPECT_EQ(std::count(profile.begin(), profile.end(), '\n'), 1 + 3 * 2);
}

TEST_F(BatchCalibrate, RefusalsWriteNothing) {
  WriteFileBytes(File("taken.inp"), "mine");
  const struct {
    const char* arguments;
    int status;
    const char* complaint;
  } cases[] = {
      {"calibrate flood.inp --max-storage 5:1:1", 2, "is empty"},
      {"calibrate flood.inp --max-storage 1:5:-1", 2, "negative step"},
      {"calibrate flood.inp --initial-storage 0:4:2 --initial-fraction 0,1", 2, "not both"},
      {"calibrate flood.inp -o taken.inp", 1, "exists; give --force"},
      {"calibrate flood.inp --calibrate-until 40", 2, "must end at a time of the records"},
      {"run --calibrate-until 1 flood.inp", 1, "must end at a time of the records"},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(Run(test.arguments), test.status) << test.arguments;
    EXPECT_NE(errors_.find(test.complaint), std::string::npos) << test.arguments << "\n" << errors_;
    EXPECT_FALSE(Exists("flood.out")) << test.arguments;
  }
  EXPECT_EQ(ReadFileBytes(File("taken.inp")), "mine");
}

TEST_F(BatchCalibrate, TheSummaryOfACalibrationPeriodAddsBothPeriodsMeasures) {
  ASSERT_EQ(Run("run --summary --calibrate-until 8 flood.inp"), 0) << errors_;
  EXPECT_EQ(output_.substr(0, output_.find('\n') + 1),
            "file,records,A,C,SD,RSquare,NSE,KGE,PBIAS,RMSE,PeakError,calNSE,calKGE,calPBIAS,"
            "calRMSE,calPeakError,valNSE,valKGE,valPBIAS,valRMSE,valPeakError,seconds\n");
  const std::string line = output_.substr(output_.find('\n') + 1);
  EXPECT_EQ(std::count(line.begin(), line.end(), ','), 21);
}

}  // namespace
