// Save/Run in the window stops without results where the run cannot give
// sound ones: no alpha function fits, or the results would overwrite the
// input file.
#include <QTest>

#include "TextFile.h"
#include "URainRun.h"
#include "ui_RainFormSupport.h"

namespace {

class RunStops : public RainFormTest {};

TEST_F(RunStops, NoFitAndResultsOverTheInputWriteNoResults) {
  const std::string example = CopyExample("spotpy_d_flood2013_12d.inp");
  const struct {
    const char* saveAs;
    double runoffFactor;
    const char* message;  // the start of the message the run stops with
  } cases[] = {{"scaled.inp", 3000, RainRunTexts::kNoFit},
               {"flood.dat", 1, "The run was not started: its trend file \""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.saveAs);
    OpenInput(example);
    ShowTab(form->InputTabSheet);
    for (int r = 0; r < Widget<TStringGrid>(*form, "StringGrid1")->RowCount(); ++r) {
      const double runoff = StringToFloat(Cell(3, r).toStdString());
      Widget<TStringGrid>(*form, "StringGrid1")
          ->SetCells(3, r, QString::number(runoff * c.runoffFactor));
    }
    dialogs.messages.clear();
    run().BestA = 0.25;
    const std::string saved = directory.File(c.saveAs);
    Choose(saved);
    form->InputSaveAction->trigger();
    Settle();
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.messages.back().rfind(c.message, 0), 0u) << dialogs.messages.back();
    EXPECT_FALSE(std::filesystem::exists(ChangeFileExt(saved, ".out")));
    // The saved input is the input file, not a trend file written over it.
    EXPECT_EQ(ReadFileBytes(saved).rfind(" Input data for Tevlora program\r\n", 0), 0u);
    EXPECT_EQ(run().BestA, 0.25);
    EXPECT_EQ(form->PageControl1->currentWidget(), form->InputTabSheet);
  }
}

}  // namespace
