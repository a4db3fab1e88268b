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
    QTest::mouseClick(form->MakeGraphButton, Qt::LeftButton);
    form->FitMapRadioButton->setChecked(true);
    QTest::mouseClick(form->GoButton1, Qt::LeftButton);
  }
};

TEST_F(FitMapTruthWindow, NoMapWhereTheRunFindsNoFit) {
  FitMapBeside(FloodVariantText(TFloodVariant::AllSlipped));
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{RainRunTexts::kNoFit});
  EXPECT_FALSE(form->GraphImage->isVisible());
  EXPECT_NE(form->GraphKind, kFitMapGraphKind);
}

TEST_F(FitMapTruthWindow, NoteStatesTheResidualsAutocorrelation) {
  FitMapBeside(ReadFileBytes(ExampleDataFile("spotpy_d_flood2013_12d.inp")));
  ASSERT_TRUE(form->FitMapShown);
  ASSERT_TRUE(std::isfinite(form->FitMapShown->Lag1));
  EXPECT_TRUE(form->StatusBar1->currentMessage().contains(QString::fromStdString(
      "lag-1 autocorrelation " + Trim(FormatFixed(form->FitMapShown->Lag1, 1, 2)))))
      << form->StatusBar1->currentMessage().toStdString();
  // Back to the choices, the note goes.
  QTest::mouseClick(form->SelectButton, Qt::LeftButton);
  EXPECT_EQ(form->StatusBar1->currentMessage(), RainFormTexts::kGraphicsStatus);
}

}  // namespace
