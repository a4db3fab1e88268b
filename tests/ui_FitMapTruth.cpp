// The fit map on the Graphics tab refuses the data the run refuses, and its
// note states how far the residuals at the optimum are correlated.
#include <QTest>

#include "FitMap.h"
#include "FitMapDraw.h"
#include "FitMapTruthData.h"
#include "TextFile.h"
#include "URainRun.h"
#include "ui_RainFormSupport.h"

namespace {

class FitMapTruthWindow : public RainFormTest {
 protected:
  // "Make graph" on a copy of the flood example's results file with the
  // input file `inputText` beside it, then the fit map.
  void FitMapBeside(const std::string& inputText) {
    const std::string results = CopyExample("spotpy_d_flood2013_12d.out");
    WriteFileBytes(ChangeFileExt(results, ".inp"), inputText);
    ShowTab(form->GraphicsTabSheet);
    Choose(results);
    QTest::mouseClick(Widget<QPushButton>(*form, "MakeGraphButton"), Qt::LeftButton);
    Widget<QRadioButton>(*form, "FitMapRadioButton")->setChecked(true);
    QTest::mouseClick(Widget<QPushButton>(*form, "GoButton1"), Qt::LeftButton);
  }
};

TEST_F(FitMapTruthWindow, NoMapWhereTheRunFindsNoFit) {
  FitMapBeside(FloodVariantText(TFloodVariant::AllSlipped));
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{RainRunTexts::kNoFit});
  EXPECT_FALSE(Widget<QLabel>(*form, "GraphImage")->isVisible());
  EXPECT_NE(form->Graphics().GraphKind(), kFitMapGraphKind);
}

TEST_F(FitMapTruthWindow, NoteStatesTheResidualsAutocorrelation) {
  FitMapBeside(ReadFileBytes(ExampleDataFile("spotpy_d_flood2013_12d.inp")));
  ASSERT_TRUE(form->Graphics().FitMapShown());
  ASSERT_TRUE(std::isfinite(form->Graphics().FitMapShown()->Lag1));
  EXPECT_TRUE(form->StatusBar1->currentMessage().contains(QString::fromStdString(
      "lag-1 autocorrelation " + Trim(FormatFixed(form->Graphics().FitMapShown()->Lag1, 1, 2)))))
      << form->StatusBar1->currentMessage().toStdString();
  // Back to the choices, the note goes.
  QTest::mouseClick(Widget<QPushButton>(*form, "SelectButton"), Qt::LeftButton);
  EXPECT_EQ(form->StatusBar1->currentMessage(), RainFormTexts::kGraphicsStatus);
}

}  // namespace
