// tevlora-batch graph, run as the users run it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>

#include "UTevloraUtils.h"
#include "graphs_Support.h"

namespace {
using namespace GraphColour;

class GraphBatch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory_ = new TTemporaryDirectory;
    analysis_ = RunExample(*directory_, "spotpy_d_flood2013_12d").ResultsFile;
    prediction_ = RunExample(*directory_, "hupsel_h_dec2012_pred_drain").ResultsFile;
  }
  static void TearDownTestSuite() { delete directory_; }
  void SetUp() override { EnsureGuiApplication(); }

  // Exit status of "tevlora-batch graph ARGUMENTS"; stderr in `errors_`.
  int Run(const std::string& arguments, const std::string& environment = "") {
    const std::string errorFile = directory_->File("stderr.txt");
    const std::string command =
        environment + " \"" + BATCH_TOOL + "\" graph " + arguments + " 2>\"" + errorFile + "\"";
    const int status = std::system(command.c_str());
    errors_ = ReadFileBytes(errorFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static std::string Output(const std::string& name) { return directory_->File(name); }
  static QImage Image(const std::string& name) {
    return QImage(QString::fromStdString(Output(name)));
  }

  static inline TTemporaryDirectory* directory_ = nullptr;
  static inline std::string analysis_, prediction_;
  std::string errors_;
};

TEST_F(GraphBatch, WritesEveryKindAsA623By465Bitmap) {
  for (const int kind : {1, 3, 7, 8, 9, 2, 4, 5}) {
    const std::string name = "kind" + std::to_string(kind) + ".bmp";
    const std::string& results = IsAnalysisGraphKind(kind) ? analysis_ : prediction_;
    EXPECT_EQ(Run(results + " " + std::to_string(kind) + " -o " + Output(name)), 0) << errors_;
    EXPECT_EQ(ReadFileBytes(Output(name)).substr(0, 2), "BM");
    const QImage image = Image(name);
    ASSERT_EQ(image.size(), QSize(623, 465)) << kind;
    EXPECT_EQ(image.pixelColor(600, 440), kNavy);
    EXPECT_EQ(image.pixelColor(560, 390), kWhite);
  }
}

TEST_F(GraphBatch, BlackAndWhitePngDefaultNameAndNoDisplay) {
  EXPECT_EQ(Run(analysis_ + " 3 --bw -o " + Output("bw.png")), 0);
  EXPECT_EQ(ReadFileBytes(Output("bw.png")).substr(1, 3), "PNG");
  EXPECT_EQ(Image("bw.png").pixelColor(600, 440), kWhite);
  EXPECT_EQ(CountColour(Image("bw.png"), kSkyBlue), 0);
  const std::string byDefault = ChangeFileExt(analysis_, "") + "_graph1.bmp";
  // No display and no runtime directory: only the tool's own message.
  EXPECT_EQ(Run(analysis_ + " 1", "env -u QT_QPA_PLATFORM -u DISPLAY -u XDG_RUNTIME_DIR"), 0);
  EXPECT_EQ(errors_, "The graph was saved in  " + byDefault + "\n");
  EXPECT_EQ(QImage(QString::fromStdString(byDefault)).size(), QSize(623, 465));
}

TEST_F(GraphBatch, RefusalsAndErrors) {
  // A graph kind of the other run: the program's message, exit status 1.
  EXPECT_EQ(Run(analysis_ + " 2 -o " + Output("refused.bmp")), 1);
  EXPECT_NE(errors_.find("prediction results"), std::string::npos) << errors_;
  EXPECT_EQ(Run(prediction_ + " 1 -o " + Output("refused.bmp")), 1);
  EXPECT_FALSE(std::filesystem::exists(Output("refused.bmp")));
  // No trend file beside the results file: reported, nothing written.
  WriteFileBytes(Output("alone.out"), ReadFileBytes(analysis_));
  EXPECT_EQ(Run(Output("alone.out") + " 8 -o " + Output("trend.bmp")), 2);
  EXPECT_NE(errors_.find("alone.dat"), std::string::npos) << errors_;
  EXPECT_FALSE(std::filesystem::exists(Output("trend.bmp")));
  // A torn pair, the trend file newer than its results file: refused.
  WriteFileBytes(Output("torn.out"), ReadFileBytes(analysis_));
  WriteFileBytes(Output("torn.dat"), ReadFileBytes(ChangeFileExt(analysis_, ".dat")));
  std::filesystem::last_write_time(
      Output("torn.dat"),
      std::filesystem::last_write_time(Output("torn.out")) + std::chrono::seconds(1));
  EXPECT_EQ(Run(Output("torn.out") + " 8 -o " + Output("torn.bmp")), 2);
  EXPECT_EQ(errors_, TornPairText(Output("torn.dat"), Output("torn.out")) + "\n");
  EXPECT_FALSE(std::filesystem::exists(Output("torn.bmp")));
  // Bad usage, unreadable or unsuitable files, an output that cannot be written.
  for (const std::string& arguments :
       {std::string(), analysis_, analysis_ + " 6", analysis_ + " x", analysis_ + " 1 --colour",
        analysis_ + " 1 -o", Output("none.out") + " 1", ChangeFileExt(analysis_, ".inp") + " 1",
        analysis_ + " 1 -o " + Output("no/such/graph.bmp")}) {
    EXPECT_EQ(Run(arguments), 2) << arguments;
  }
}

TEST_F(GraphBatch, NothingIsWrittenOverAnExistingFileUnasked) {
  ASSERT_EQ(Run(analysis_ + " 1 -o " + Output("first.bmp")), 0);
  const std::string oldPicture = ReadFileBytes(Output("first.bmp"));
  struct TCase {
    std::string name, bytes, options;
    int status;
    bool replaced;
  };
  const std::string inp = ReadFileBytes(ChangeFileExt(analysis_, ".inp"));
  const std::string dat = ReadFileBytes(ChangeFileExt(analysis_, ".dat"));
  const std::string out = ReadFileBytes(analysis_);
  const TCase cases[] = {
      {"copy.out", out, "", 1, false},
      {"copy.out", out, "--force", 1, false},
      {"copy.dat", dat, "--force", 1, false},
      {"copy.inp", inp, "--force", 1, false},
      {"BMW.bmp", "BM title of a text file\r\n", "--force", 1, false},
      {"old.bmp", oldPicture, "", 1, false},
      {"old.bmp", oldPicture, "--force", 0, true},
  };
  for (const TCase& c : cases) {
    WriteFileBytes(Output(c.name), c.bytes);
    EXPECT_EQ(Run(analysis_ + " 3 -o " + Output(c.name) + " " + c.options), c.status)
        << c.name << " " << c.options << ": " << errors_;
    EXPECT_EQ(ReadFileBytes(Output(c.name)) == c.bytes, !c.replaced) << c.name << " " << c.options;
  }
  // The default name, and a folder in the way.
  const std::string byDefault = ChangeFileExt(analysis_, "") + "_graph9.bmp";
  WriteFileBytes(byDefault, oldPicture);
  EXPECT_EQ(Run(analysis_ + " 9"), 1);
  EXPECT_EQ(ReadFileBytes(byDefault), oldPicture);
  std::filesystem::create_directory(Output("folder.bmp"));
  EXPECT_EQ(Run(analysis_ + " 3 --force -o " + Output("folder.bmp")), 1);
}

TEST_F(GraphBatch, ANameThatIsNotUtf8IsWrittenAsGiven) {
  const std::string name = Output(
      "d\xE9"
      "bit.bmp");  // Latin-1 e acute
  EXPECT_EQ(Run(analysis_ + " 1 -o \"" + name + "\""), 0) << errors_;
  EXPECT_EQ(ReadFileBytes(name).substr(0, 2), "BM");
  // The message shows the byte that is no text escaped.
  EXPECT_NE(errors_.find("d\\xE9bit.bmp"), std::string::npos) << errors_;
}

}  // namespace
