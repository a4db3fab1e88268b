// The fit map on the Graphics tab and the fit measures beside the results
// text on the Output tab.
#include <QTest>

#include "FitMap.h"
#include "FitMapDraw.h"
#include "FitMeasures.h"
#include "TextFile.h"
#include "ui_RainFormSupport.h"

namespace {

using std::string;
using std::vector;

class FitMapWindow : public RainFormTest {
 protected:
  // "Make graph" on a copied results file (and its input file, if asked).
  string MakeGraph(const string& results, bool withInput) {
    const string copy = CopyExample(results);
    if (withInput) CopyExample(ChangeFileExt(results, ".inp"));
    ShowTab(form->GraphicsTabSheet);
    Choose(copy);
    QTest::mouseClick(Widget<QPushButton>(*form, "MakeGraphButton"), Qt::LeftButton);
    return copy;
  }
  void GoFitMap() {
    Widget<QRadioButton>(*form, "FitMapRadioButton")->setChecked(true);
    QTest::mouseClick(Widget<QPushButton>(*form, "GoButton1"), Qt::LeftButton);
  }
};

TEST_F(FitMapWindow, ChoiceOnlyForAnalysisResults) {
  MakeGraph("hupsel_h_dec2012_pred_runoff.out", true);
  EXPECT_FALSE(Widget<QRadioButton>(*form, "FitMapRadioButton")->isVisible());
  EXPECT_FALSE(Widget<QRadioButton>(*form, "FitMapZoomRadioButton")->isVisible());
  MakeGraph("spotpy_d_flood2013_12d.out", true);
  EXPECT_TRUE(Widget<QRadioButton>(*form, "FitMapRadioButton")->isVisible());
  EXPECT_EQ(Widget<QRadioButton>(*form, "FitMapRadioButton")->text(), "Fit map of A and C");
  EXPECT_TRUE(Widget<QRadioButton>(*form, "FitMapZoomRadioButton")->isVisible());
}

TEST_F(FitMapWindow, DrawnAndSavedInColourAndBlackAndWhite) {
  const string results = MakeGraph("spotpy_d_flood2013_12d.out", true);
  GoFitMap();
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(form->Graphics().GraphKind(), kFitMapGraphKind);
  EXPECT_TRUE(Widget<QLabel>(*form, "GraphImage")->isVisible());
  EXPECT_FALSE(Widget<QWidget>(*form, "Panel1")->isVisible());
  ASSERT_TRUE(form->Graphics().FitMapShown());
  // The optimum of the map is the one in the results file.
  const string text = ReadFileBytes(results);
  EXPECT_NE(
      text.find(
          "A =" + FormatFixed(TrialAOf(form->Graphics().FitMapShown()->Optimum.outer), 7, 4) +
          "  C =" + FormatFixed(TrialCOf(form->Graphics().FitMapShown()->Optimum.inner), 8, 4)),
      string::npos);
  const QImage shown =
      Widget<QLabel>(*form, "GraphImage")->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(shown, DrawFitMap(*form->Graphics().FitMapShown(), d().Title1, d().Title2, true));

  const string colour = directory.File("map.bmp");
  Choose(colour);
  QTest::mouseClick(Widget<QPushButton>(*form, "SaveGraphButton"), Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, vector<string>{"The graph was saved in  " + colour});
  const QImage saved(QString::fromStdString(colour));
  EXPECT_EQ(saved.size(), QSize(623, 465));
  EXPECT_EQ(saved.pixelColor(600, 440), QColor(0, 0, 139));

  dialogs.messages.clear();
  const string blackWhite = directory.File("map_bw.bmp");
  Choose(blackWhite);
  QTest::mouseClick(Widget<QPushButton>(*form, "BlWhButton"), Qt::LeftButton);
  const QImage bw(QString::fromStdString(blackWhite));
  EXPECT_EQ(bw.pixelColor(600, 440), QColor(255, 255, 255));
  EXPECT_EQ(bw.convertToFormat(QImage::Format_RGB32),
            DrawFitMap(*form->Graphics().FitMapShown(), d().Title1, d().Title2, false));

  // The zoomed map: every trial around the same optimum.
  const auto whole = form->Graphics().FitMapShown();
  QTest::mouseClick(Widget<QPushButton>(*form, "SelectButton"), Qt::LeftButton);
  Widget<QRadioButton>(*form, "FitMapZoomRadioButton")->setChecked(true);
  QTest::mouseClick(Widget<QPushButton>(*form, "GoButton1"), Qt::LeftButton);
  ASSERT_TRUE(form->Graphics().FitMapShown()->Zoomed);
  EXPECT_EQ(form->Graphics().FitMapShown()->Step, 1);
  EXPECT_EQ(form->Graphics().FitMapShown()->Optimum.sum, whole->Optimum.sum);

  // Back to the choices: the other graphs are drawn as before.
  QTest::mouseClick(Widget<QPushButton>(*form, "SelectButton"), Qt::LeftButton);
  Widget<QRadioButton>(*form, "RunoffRadioButton")->setChecked(true);
  QTest::mouseClick(Widget<QPushButton>(*form, "GoButton1"), Qt::LeftButton);
  EXPECT_EQ(form->Graphics().GraphKind(), 1);
}

TEST_F(FitMapWindow, MissingInputFileIsNamed) {
  const string results = MakeGraph("spotpy_d_flood2013_12d.out", false);
  GoFitMap();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].find(ChangeFileExt(results, ".inp")), string::npos);
  EXPECT_NE(dialogs.messages[0].find("not found"), string::npos);
  EXPECT_FALSE(Widget<QLabel>(*form, "GraphImage")->isVisible());
  EXPECT_TRUE(Widget<QWidget>(*form, "Panel1")->isVisible());
}

TEST_F(FitMapWindow, FitMeasuresBesideTheResults) {
  ShowTab(form->OutputTabSheet);
  const string analysis = CopyExample("spotpy_d_spring2013.out");
  Choose(analysis);
  form->OutputOpenAction->trigger();
  ASSERT_TRUE(Widget<QLabel>(*form, "FitMeasuresPanel")->isVisible());
  const TFitMeasures fit = FitMeasuresOfResultsFile(analysis);
  const QString text = Widget<QLabel>(*form, "FitMeasuresPanel")->text();
  EXPECT_TRUE(text.contains(QString::fromStdString("NSE      " + FitMeasureText(fit.NSE, 3))))
      << text.toStdString();
  EXPECT_TRUE(text.contains(QString::fromStdString("KGE      " + FitMeasureText(fit.KGE, 3))));
  // Recomputed from the file's rounded table, and marked so.
  EXPECT_TRUE(text.startsWith("Fit measures *\n"));
  EXPECT_LE(Widget<QPlainTextEdit>(*form, "OutputMemo")->geometry().right(),
            Widget<QLabel>(*form, "FitMeasuresPanel")->geometry().left());

  // A prediction has none.
  Choose(CopyExample("hupsel_h_dec2012_pred_runoff.out"));
  form->OutputOpenAction->trigger();
  EXPECT_FALSE(Widget<QLabel>(*form, "FitMeasuresPanel")->isVisible());

  // After Save/Run of an analysis: the values in memory.
  ShowTab(form->InputTabSheet);
  OpenInput(CopyExample("spotpy_d_flood2013_12d.inp"));
  Choose(directory.File("flood.inp"));
  form->InputSaveAction->trigger();
  ASSERT_TRUE(Widget<QLabel>(*form, "FitMeasuresPanel")->isVisible());
  const TFitMeasures run = FitMeasuresOfRun(session->Run);
  EXPECT_TRUE(Widget<QLabel>(*form, "FitMeasuresPanel")->text().startsWith("Fit measures\n"));
  EXPECT_TRUE(Widget<QLabel>(*form, "FitMeasuresPanel")
                  ->text()
                  .contains(QString::fromStdString("R square " + FitMeasureText(run.RSquare, 3))));
}

}  // namespace
