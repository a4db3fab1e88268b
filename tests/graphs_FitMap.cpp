// The fit map picture, and tevlora-batch map and run --summary run as the
// users run them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "FitMap.h"
#include "FitMapDraw.h"
#include "SearchData.h"
#include "graphs_Support.h"

namespace {
using namespace GraphColour;

// Three by three cells over the whole range; only the middle one is in the
// region. Deviation 1, so that R square is 1 - sum / 2.
TFitMap SmallMap() {
  TFitMap map;
  map.Step = 1000;
  map.Outer = {0, 1000, 2000};
  map.Inner = {1, 1000, 2000};
  map.SumSq = {1.9, 1.0, 0.6, 0.5, 0.1, 0.5, 0.6, 1.0, 1.9};
  map.Deviation = 1;
  map.Records = 20;
  map.Optimum.outer = 1000;
  map.Optimum.inner = 1000;
  map.Optimum.sum = 0.1;
  map.Threshold = 0.15;
  return map;
}

bool IsGrey(const QColor& colour) {
  return colour.red() == colour.green() && colour.green() == colour.blue();
}

class FitMapPicture : public ::testing::Test {
 protected:
  void SetUp() override { EnsureGuiApplication(); }
};

TEST_F(FitMapPicture, CellsLegendOptimumAndOutline) {
  for (const bool colour : {true, false}) {
    SCOPED_TRACE(colour ? "colour" : "black and white");
    const TFitMap map = SmallMap();
    const QImage image = DrawFitMap(map, "Hupsel brook", "winter", colour);
    ASSERT_EQ(image.size(), QSize(623, 465));
    EXPECT_EQ(image.pixelColor(5, 5), kSilver);
    EXPECT_EQ(image.pixelColor(600, 440), colour ? kNavy : kWhite);
    EXPECT_EQ(image.pixelColor(70, 200), colour ? kWhite : kBlack);  // vertical axis
    // Corner cells: A = 0 with C = -0.999 at the bottom left, A = 1 with
    // C = 1 at the top right.
    EXPECT_EQ(image.pixelColor(80, 380), FitMapColour(1 - 1.9 / 2, colour));
    EXPECT_EQ(image.pixelColor(500, 80), FitMapColour(1 - 1.9 / 2, colour));
    EXPECT_EQ(image.pixelColor(500, 380), FitMapColour(1 - 0.6 / 2, colour));
    // The middle cell (A 0.25 .. 0.75 is x 180 .. 400; C -0.5 .. 0.5 is y
    // 150 .. 310) away from the cross, and its outline.
    EXPECT_EQ(image.pixelColor(250, 200), FitMapColour(0.95, colour));
    const QColor mark = FitMapMarkColour(colour);
    int outline = 0;
    for (int x = 175; x <= 405; ++x) outline += image.pixelColor(x, 150) == mark;
    EXPECT_GT(outline, 200);
    // Nothing of the mark's colour in the cells outside the region.
    EXPECT_EQ(CountColour(image, mark, 72, 72, 170, 388), 0);
    // The optimum's cross at A 0.5, C 0.0005.
    EXPECT_EQ(image.pixelColor(290, 230), mark);
    EXPECT_EQ(image.pixelColor(293, 230), mark);
    // Legend: best fits at the top, poor ones at the bottom.
    EXPECT_EQ(image.pixelColor(538, 75), FitMapColour(0.99, colour));
    EXPECT_EQ(image.pixelColor(538, 385), FitMapColour(0.01, colour));
    EXPECT_NE(FitMapColour(0.99, colour), FitMapColour(0.01, colour));
    if (!colour) {
      int coloured = 0;
      for (int y = 0; y < 465; ++y) {
        for (int x = 0; x < 623; ++x) coloured += !IsGrey(image.pixelColor(x, y));
      }
      EXPECT_EQ(coloured, 0);
    }
  }
}

TEST_F(FitMapPicture, ZoomedRealMapMarksTheSearchOptimum) {
  const TSearchProblem problem =
      SearchProblemFromInputFile(ExampleDataFile("spotpy_d_spring2013.inp"), 1500);
  ASSERT_EQ(problem.count, 91);
  const TFitMap map = ComputeFitMap(problem, {25, true, 0});
  ASSERT_TRUE(map.Zoomed);
  const QImage image = DrawFitMap(map, "Spotpy", "spring 2013", true);
  // The cross sits where the optimum's A and C map to.
  const double a = TrialAOf(map.Optimum.outer), c = TrialCOf(map.Optimum.inner);
  const double aLow = TrialAOf(map.Outer.front()) - 0.00025;
  const double aHigh = TrialAOf(map.Outer.back()) + 0.00025;
  const double cLow = TrialCOf(map.Inner.front()) - 0.0005;
  const double cHigh = TrialCOf(map.Inner.back()) + 0.0005;
  const int x = static_cast<int>(std::lround(70 + (a - aLow) / (aHigh - aLow) * 440));
  const int y = static_cast<int>(std::lround(390 - (c - cLow) / (cHigh - cLow) * 320));
  EXPECT_EQ(image.pixelColor(x + 4, y), FitMapMarkColour(true));
  EXPECT_EQ(image.pixelColor(x, y - 4), FitMapMarkColour(true));
  EXPECT_EQ(FitMapGridText(map), "zoomed, every trial");
}

TEST(FitMapText, GridWords) {
  TFitMap map;
  for (const auto& [step, text] : {std::pair{1, "every trial"},
                                   {3, "every 3rd trial each way"},
                                   {11, "every 11th trial each way"},
                                   {21, "every 21st trial each way"}}) {
    map.Step = step;
    EXPECT_EQ(FitMapGridText(map), text);
  }
}

// tevlora-batch map and run --summary as separate programs.
class FitMapBatch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory_ = new TTemporaryDirectory;
    for (const char* name : {"spotpy_d_flood2013_12d.inp", "hupsel_h_dec2012_pred_runoff.inp"}) {
      WriteFileBytes(directory_->File(name), ReadFileBytes(ExampleDataFile(name)));
    }
    // The same records with a runoff that never varies: no analysis.
    TDMTevlora data;
    data.FileName = directory_->File("spotpy_d_flood2013_12d.inp");
    ASSERT_TRUE(data.ReadInputFile());
    for (double& runoff : data.Runoff) runoff = 0.5;
    data.FileName = directory_->File("flat.inp");
    ASSERT_TRUE(data.WriteInputFile());
  }
  static void TearDownTestSuite() { delete directory_; }
  void SetUp() override { EnsureGuiApplication(); }

  int Run(const std::string& arguments) {
    const std::string command = "cd \"" + directory_->Path().string() + "\" && \"" + BATCH_TOOL +
                                "\" " + arguments + " >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    output_ = ReadFileBytes(directory_->File("out.txt"));
    errors_ = ReadFileBytes(directory_->File("err.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  static std::string File(const std::string& name) { return directory_->File(name); }

  static inline TTemporaryDirectory* directory_ = nullptr;
  std::string output_, errors_;
};

// The lines of a text (CR LF or LF), or the fields of a line.
std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) {
    if (!part.empty() && part.back() == '\r') part.pop_back();
    parts.push_back(part);
  }
  if (separator == ',' && !text.empty() && text.back() == ',') parts.push_back("");
  return parts;
}

double Number(const std::string& text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

TEST_F(FitMapBatch, MapPictureAndGrid) {
  EXPECT_EQ(Run("map spotpy_d_flood2013_12d.inp --step 40 --csv grid.csv"), 0) << errors_;
  const QImage image(QString::fromStdString(File("spotpy_d_flood2013_12d_map.png")));
  EXPECT_EQ(image.size(), QSize(623, 465));
  EXPECT_EQ(image.pixelColor(600, 440), kNavy);
  // The grid: a header and one row per trial; its smallest sum is the
  // search's sum, read back to the bit.
  const std::vector<std::string> lines = Split(ReadFileBytes(File("grid.csv")), '\n');
  ASSERT_GT(lines.size(), 2u);
  EXPECT_EQ(lines[0], "A,C,SumSq,RSquare");
  EXPECT_EQ(lines.size(), 1 + 51 * 50u);
  double smallest = 1e300;
  for (std::size_t k = 1; k < lines.size(); ++k) {
    const auto fields = Split(lines[k], ',');
    ASSERT_EQ(fields.size(), 4u) << lines[k];
    smallest = std::min(smallest, Number(fields[2]));
  }
  const TSearchProblem problem =
      SearchProblemFromInputFile(File("spotpy_d_flood2013_12d.inp"), 1500);
  EXPECT_EQ(smallest, FastSearch(problem).sum);
  // Black and white, as a Windows bitmap, zoomed.
  EXPECT_EQ(Run("map spotpy_d_flood2013_12d.inp --bw --zoom -o zoom.bmp"), 0) << errors_;
  EXPECT_EQ(ReadFileBytes(File("zoom.bmp")).substr(0, 2), "BM");
  EXPECT_EQ(QImage(QString::fromStdString(File("zoom.bmp"))).pixelColor(600, 440), kWhite);
  EXPECT_NE(errors_.find("zoomed, every trial"), std::string::npos) << errors_;
}

TEST_F(FitMapBatch, MapRefusals) {
  // Data that do not allow an analysis: the run's message, status 1.
  EXPECT_EQ(Run("map flat.inp -o flat.png"), 1);
  EXPECT_NE(errors_.find("There is no variation in runoff values"), std::string::npos) << errors_;
  EXPECT_EQ(Run("map hupsel_h_dec2012_pred_runoff.inp -o pred.png"), 1);
  EXPECT_FALSE(std::filesystem::exists(File("flat.png")));
  EXPECT_FALSE(std::filesystem::exists(File("pred.png")));
  for (const std::string& arguments :
       {std::string("map"), std::string("map none.inp"),
        std::string("map spotpy_d_flood2013_12d.inp --step 0"),
        std::string("map spotpy_d_flood2013_12d.inp --step 4x"),
        std::string("map spotpy_d_flood2013_12d.inp --step"),
        std::string("map spotpy_d_flood2013_12d.inp --colour"),
        std::string("map spotpy_d_flood2013_12d.inp -o map.jpg"),
        std::string("map spotpy_d_flood2013_12d.inp -o no/such/map.png")}) {
    EXPECT_EQ(Run(arguments), 2) << arguments;
  }
}

// Nothing is written over a file the user did not offer: the input never,
// another file only with --force, a non-picture never as a picture.
TEST_F(FitMapBatch, MapNeverOverwritesOnItsOwn) {
  const std::string input = ReadFileBytes(File("spotpy_d_flood2013_12d.inp"));
  const struct {
    std::string arguments;
    int status;
  } cases[] = {
      {"--step 40 --csv spotpy_d_flood2013_12d.inp", 1},
      {"--step 40 -o old.png", 1},
      {"--step 40 -o old.png --force", 0},
      {"--step 40 -o text.png --force", 1},
  };
  QImage old(10, 10, QImage::Format_RGB32);
  old.fill(Qt::red);
  ASSERT_TRUE(old.save(QString::fromStdString(File("old.png")), "PNG"));
  std::ofstream(File("text.png")) << "not a picture\r\n";
  for (const auto& c : cases) {
    EXPECT_EQ(Run("map spotpy_d_flood2013_12d.inp " + c.arguments), c.status) << c.arguments;
  }
  EXPECT_EQ(ReadFileBytes(File("spotpy_d_flood2013_12d.inp")), input);
  EXPECT_EQ(ReadFileBytes(File("text.png")), "not a picture\r\n");
  EXPECT_EQ(QImage(QString::fromStdString(File("old.png"))).size(), QSize(623, 465));
}

TEST_F(FitMapBatch, RunSummary) {
  EXPECT_EQ(Run("run --summary spotpy_d_flood2013_12d.inp hupsel_h_dec2012_pred_runoff.inp"), 0)
      << errors_;
  const std::vector<std::string> lines = Split(output_, '\n');
  ASSERT_EQ(lines.size(), 3u) << output_;
  EXPECT_EQ(lines[0], "file,records,A,C,SD,RSquare,NSE,KGE,PBIAS,RMSE,PeakError,seconds");
  const auto analysis = Split(lines[1], ',');
  ASSERT_EQ(analysis.size(), 12u) << lines[1];
  EXPECT_EQ(analysis[0], "spotpy_d_flood2013_12d.inp");
  // What the results file says, at its own precision.
  const std::string results = ReadFileBytes(File("spotpy_d_flood2013_12d.out"));
  EXPECT_NE(results.find("A =" + FormatFixed(Number(analysis[2]), 7, 4) +
                         "  C =" + FormatFixed(Number(analysis[3]), 8, 4)),
            std::string::npos);
  EXPECT_NE(results.find("runoff:" + FormatFixed(Number(analysis[4]), 8, 3)), std::string::npos);
  EXPECT_NE(results.find("square is:" + FormatFixed(Number(analysis[5]), 8, 3)), std::string::npos);
  EXPECT_EQ(analysis[9], analysis[4]);  // RMSE is the program's SD
  for (int k = 6; k <= 10; ++k) EXPECT_FALSE(analysis[k].empty()) << k;
  // A prediction: only the file and the time.
  const auto prediction = Split(lines[2], ',');
  ASSERT_EQ(prediction.size(), 12u);
  EXPECT_EQ(prediction[0], "hupsel_h_dec2012_pred_runoff.inp");
  for (int k = 1; k <= 10; ++k) EXPECT_TRUE(prediction[k].empty()) << k;
  // A run that stopped: empty fields, status 1.
  EXPECT_EQ(Run("run --summary flat.inp"), 1);
  EXPECT_EQ(Split(output_, '\n').at(1).substr(0, 19), "flat.inp,,,,,,,,,,,");
}

}  // namespace
