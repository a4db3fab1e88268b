// tevlora-batch graph, run as the users run it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>

#include "graphs_Support.h"

namespace {
using namespace GraphColour;

struct TToolResult {
  int ExitStatus = -1;
  std::string Errors;
};

class GraphBatch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory_ = new TTemporaryDirectory;
    analysis_ = RunExample(*directory_, "spotpy_d_flood2013_12d").ResultsFile;
    prediction_ = RunExample(*directory_, "hupsel_h_dec2012_pred_drain").ResultsFile;
  }
  static void TearDownTestSuite() {
    delete directory_;
    directory_ = nullptr;
  }
  void SetUp() override {
    EnsureGuiApplication();
    ASSERT_TRUE(std::filesystem::exists(analysis_));
    ASSERT_TRUE(std::filesystem::exists(prediction_));
  }

  // Runs the tool with `arguments` (and `environment` before it).
  static TToolResult Run(const std::string& arguments, const std::string& environment = "") {
    const std::string errors = directory_->File("stderr.txt");
    const std::string command = environment + " \"" + std::string(BATCH_TOOL) + "\" graph " +
                                arguments + " 2>\"" + errors + "\"";
    const int status = std::system(command.c_str());
    TToolResult result;
    result.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Errors = ReadFileBytes(errors);
    return result;
  }

  static std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

  static inline TTemporaryDirectory* directory_ = nullptr;
  static inline std::string analysis_;
  static inline std::string prediction_;
};

TEST_F(GraphBatch, WritesEveryKindAsA623By465Bitmap) {
  const std::pair<const std::string*, int> graphs[] = {
      {&analysis_, 1}, {&analysis_, 3},   {&analysis_, 7},   {&analysis_, 8},
      {&analysis_, 9}, {&prediction_, 2}, {&prediction_, 4}, {&prediction_, 5}};
  for (const auto& [results, kind] : graphs) {
    SCOPED_TRACE("kind " + std::to_string(kind));
    const std::string output = directory_->File("kind" + std::to_string(kind) + ".bmp");
    const TToolResult result =
        Run(Quoted(*results) + " " + std::to_string(kind) + " -o " + Quoted(output));
    EXPECT_EQ(result.ExitStatus, 0) << result.Errors;
    EXPECT_EQ(ReadFileBytes(output).substr(0, 2), "BM");
    const QImage image(QString::fromStdString(output), "BMP");
    ASSERT_EQ(image.size(), QSize(623, 465));
    EXPECT_EQ(PixelAt(image, 5, 5), kSilver);
    EXPECT_EQ(PixelAt(image, 600, 440), kNavy);
    EXPECT_EQ(PixelAt(image, 560, 390), kWhite);
  }
}

TEST_F(GraphBatch, BlackAndWhitePngAndTheDefaultName) {
  const std::string png = directory_->File("bw.png");
  EXPECT_EQ(Run(Quoted(analysis_) + " 3 --bw -o " + Quoted(png)).ExitStatus, 0);
  EXPECT_EQ(ReadFileBytes(png).substr(1, 3), "PNG");
  const QImage image(QString::fromStdString(png));
  ASSERT_EQ(image.size(), QSize(623, 465));
  EXPECT_EQ(PixelAt(image, 600, 440), kWhite);
  EXPECT_EQ(PixelAt(image, 560, 390), kBlack);
  EXPECT_EQ(CountColour(image, kSkyBlue), 0);

  EXPECT_EQ(Run(Quoted(analysis_) + " 1").ExitStatus, 0);
  const std::string byDefault = ChangeFileExt(analysis_, "") + "_graph1.bmp";
  EXPECT_EQ(QImage(QString::fromStdString(byDefault)).size(), QSize(623, 465));
}

TEST_F(GraphBatch, WorksWithoutADisplayOrPlatformSetting) {
  const std::string output = directory_->File("plain.bmp");
  const TToolResult result =
      Run(Quoted(prediction_) + " 5 -o " + Quoted(output), "env -u QT_QPA_PLATFORM -u DISPLAY");
  EXPECT_EQ(result.ExitStatus, 0) << result.Errors;
  EXPECT_EQ(QImage(QString::fromStdString(output)).size(), QSize(623, 465));
}

TEST_F(GraphBatch, AGraphKindOfTheOtherRunIsRefused) {
  const std::string output = directory_->File("refused.bmp");
  TToolResult result = Run(Quoted(analysis_) + " 2 -o " + Quoted(output));
  EXPECT_EQ(result.ExitStatus, 1);
  EXPECT_NE(result.Errors.find("prediction results"), std::string::npos) << result.Errors;
  result = Run(Quoted(prediction_) + " 1 -o " + Quoted(output));
  EXPECT_EQ(result.ExitStatus, 1);
  EXPECT_NE(result.Errors.find("analysis results"), std::string::npos) << result.Errors;
  EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(GraphBatch, MissingTrendFileIsReportedAndNothingWritten) {
  TTemporaryDirectory own;
  const std::string results = own.File("flood.out");
  WriteFileBytes(results, ReadFileBytes(analysis_));
  const std::string output = own.File("trend.bmp");
  const TToolResult result = Run(Quoted(results) + " 8 -o " + Quoted(output));
  EXPECT_EQ(result.ExitStatus, 2);
  EXPECT_NE(result.Errors.find("flood.dat"), std::string::npos) << result.Errors;
  EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(GraphBatch, BadUsageAndUnreadableFiles) {
  EXPECT_EQ(Run("").ExitStatus, 2);
  EXPECT_EQ(Run(Quoted(analysis_)).ExitStatus, 2);
  EXPECT_EQ(Run(Quoted(analysis_) + " 6").ExitStatus, 2);
  EXPECT_EQ(Run(Quoted(analysis_) + " x").ExitStatus, 2);
  EXPECT_EQ(Run(Quoted(analysis_) + " 1 --colour").ExitStatus, 2);
  EXPECT_EQ(Run(Quoted(analysis_) + " 1 -o").ExitStatus, 2);
  EXPECT_EQ(Run(Quoted(directory_->File("none.out")) + " 1").ExitStatus, 2);
  // An input file is no results file.
  EXPECT_EQ(Run(Quoted(ChangeFileExt(analysis_, ".inp")) + " 1").ExitStatus, 2);
  // A directory that does not exist cannot take the picture.
  EXPECT_EQ(
      Run(Quoted(analysis_) + " 1 -o " + Quoted(directory_->File("no/such/dir.bmp"))).ExitStatus,
      2);
}

}  // namespace
