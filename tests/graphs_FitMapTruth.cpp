// The fit map says what the run says: tevlora-batch map run as the users run
// it on files the map once read or judged otherwise than the run, and the
// picture's colour scale and title.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <set>

#include "FitMap.h"
#include "FitMapDraw.h"
#include "FitMapTruthData.h"
#include "SearchData.h"
#include "URainRun.h"
#include "graphs_Support.h"

namespace {

// The number at the start of `text` (point as decimal separator, whatever
// the locale).
double Number(const std::string& text) {
  double value = std::nan("");
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

class FitMapTruthBatch : public ::testing::Test {
 protected:
  void SetUp() override { EnsureGuiApplication(); }

  int Run(const std::string& arguments) {
    const std::string command = "cd \"" + directory_.Path().string() + "\" && \"" + BATCH_TOOL +
                                "\" " + arguments + " >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    errors_ = ReadFileBytes(directory_.File("err.txt"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string File(const std::string& name) const { return directory_.File(name); }
  // The text after `label` on the line of `text` that holds it.
  static std::string After(const std::string& text, const std::string& label) {
    const auto at = text.find(label);
    if (at == std::string::npos) return {};
    const auto from = at + label.size();
    return text.substr(from, text.find_first_of("\r\n", from) - from);
  }

  TTemporaryDirectory directory_;
  std::string errors_;
};

TEST_F(FitMapTruthBatch, RefusedWhereTheRunFindsNoFit) {
  WriteFileBytes(File("slipped.inp"), FloodVariantText(TFloodVariant::AllSlipped));
  ASSERT_EQ(Run("run slipped.inp"), 1);
  const std::string runErrors = errors_;
  ASSERT_NE(runErrors.find(RainRunTexts::kNoFit), std::string::npos) << runErrors;
  EXPECT_EQ(Run("map slipped.inp --step 40 --csv grid.csv"), 1);
  EXPECT_NE(errors_.find(RainRunTexts::kNoFit), std::string::npos) << errors_;
  EXPECT_FALSE(std::filesystem::exists(File("slipped_map.png")));
  EXPECT_FALSE(std::filesystem::exists(File("grid.csv")));
}

// The optimum and R square that the map states are those of the results
// file, also where the map once read the records otherwise or counted a
// penalty into R square.
TEST_F(FitMapTruthBatch, OptimumAndRSquareOfTheResultsFile) {
  for (const auto variant : {TFloodVariant::ThreeValues, TFloodVariant::OneSlip}) {
    SCOPED_TRACE(static_cast<int>(variant));
    WriteFileBytes(File("flood.inp"), FloodVariantText(variant));
    ASSERT_EQ(Run("run flood.inp"), 0) << errors_;
    const std::string results = ReadFileBytes(File("flood.out"));
    const std::string optimum = After(results, "A =");
    ASSERT_EQ(Run("map flood.inp --step 40 --force"), 0) << errors_;
    // "A = 0.2165  C = 0.384   R square = 0.997" against "A = 0.2165  C = 0.3840".
    const std::string stated = After(errors_, "optimum A = ");
    const double a = Number(stated), c = Number(After(stated, "C = "));
    EXPECT_EQ(FormatFixed(a, 7, 4) + "  C =" + FormatFixed(c, 8, 4), optimum);
    EXPECT_EQ(After(stated, "R square = "), Trim(After(results, "R square is:")));
  }
}

// With its optimum penalised the map draws no region and says why.
TEST_F(FitMapTruthBatch, PenalisedOptimumDrawsNoRegion) {
  WriteFileBytes(File("flood.inp"), FloodVariantText(TFloodVariant::OneSlip));
  ASSERT_EQ(Run("map flood.inp --step 40"), 0) << errors_;
  EXPECT_NE(errors_.find(FitMapPenaltyText(1)), std::string::npos) << errors_;
  const QImage image(QString::fromStdString(File("flood_map.png")));
  // Of the mark's colour in the map only the optimum's cross: two strokes
  // of at most 14 by 2 pixels.
  EXPECT_LE(
      CountColour(image, FitMapMarkColour(true), kMapLeft, kMapTop, kMapRight - 1, kMapBottom - 1),
      2 * 14 * 2);
}

// The lag-1 autocorrelation that the note states, against the residuals of
// the results file (two decimals of runoff).
TEST_F(FitMapTruthBatch, NoteStatesTheResidualsAutocorrelation) {
  const std::string name = "spotpy_d_spring2013";
  WriteFileBytes(File(name + ".inp"), ReadFileBytes(ExampleDataFile(name + ".inp")));
  ASSERT_EQ(Run("map " + name + ".inp --step 40"), 0) << errors_;
  const std::string stated = After(errors_, "lag-1 autocorrelation ");
  ASSERT_FALSE(stated.empty()) << errors_;

  TTextReader in(ReadFileBytes(ExampleDataFile(name + ".out")));
  in.SkipLines(20);
  std::vector<double> residuals;
  for (std::string row = in.ReadLine(); row.substr(0, 2) != "--"; row = in.ReadLine()) {
    TTextReader fields(row);
    const int serial = fields.ReadInteger();
    double values[6];
    for (double& value : values) value = fields.ReadReal();
    if (serial > 1) residuals.push_back(values[3] - values[5]);
  }
  ASSERT_EQ(residuals.size(), 90u);
  double mean = 0;
  for (double d : residuals) mean += d / residuals.size();
  double spread = 0, lagged = 0;
  for (std::size_t k = 0; k < residuals.size(); ++k) {
    spread += (residuals[k] - mean) * (residuals[k] - mean);
    if (k > 0) lagged += (residuals[k] - mean) * (residuals[k - 1] - mean);
  }
  EXPECT_NEAR(Number(stated), lagged / spread, 0.02) << errors_;
}

class FitMapTruthPicture : public ::testing::Test {
 protected:
  void SetUp() override { EnsureGuiApplication(); }
};

// The zoomed map's colours tell its sums apart: they span many bands of the
// scale, not the one band of R square near 1.
TEST_F(FitMapTruthPicture, ZoomColoursSpanTheScale) {
  const TSearchProblem problem =
      SearchProblemFromInputFile(ExampleDataFile("spotpy_d_spring2013.inp"), 1500);
  const TFitMap map = ComputeFitMap(problem, {25, true, 0});
  const QImage image = DrawFitMap(map, "Spotpy", "spring 2013", true);
  std::set<QRgb> bands;
  for (int band = 0; band < kRSquareBands; ++band) {
    const QRgb colour = FitMapColour((band + 0.5) / kRSquareBands, true).rgb();
    if (CountColour(image, QColor(colour), kMapLeft, kMapTop, kMapRight - 1, kMapBottom - 1) > 0) {
      bands.insert(colour);
    }
  }
  EXPECT_GE(bands.size(), 10u);
}

// The title line under the optimum's says that the optimum is penalised.
TEST_F(FitMapTruthPicture, PenalisedOptimumIsSaidInTheTitle) {
  TFitMap map;
  map.Step = 1000;
  map.Outer = {0, 1000, 2000};
  map.Inner = {1, 1000, 2000};
  map.SumSq.assign(9, 2e5);
  map.Deviation = 1e6;
  map.Optimum = {1e5, 1000, 1000};
  map.ResidualSum = 1.2e6;
  for (const int penalties : {0, 1}) {
    map.Penalties = penalties;
    const QImage image = DrawFitMap(map, "Flood", "one slip", true);
    EXPECT_EQ(CountColour(image, FitMapMarkColour(true), 105, 51, kLegendLeft - 12, 64) > 0,
              penalties > 0);
  }
}

}  // namespace
