// The window stays alive and keeps the user's work: long work on a worker
// with Cancel.
#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolBar>
#include <QUrl>
#include <filesystem>

#include "TextFile.h"
#include "URainForm.h"
#include "URecentFiles.h"
#include "URunModel.h"
#include "UStringGrid.h"
#include "ui_RainFormSupport.h"

namespace {

class KeepsWork : public RainFormTest {};

TEST_F(KeepsWork, CancelledRunLeavesTheResultsFilesAndTheWindowUsable) {
  const std::string example = CopyExample("spotpy_d_flood2013_12d.inp");
  const std::string out = ChangeFileExt(example, ".out");
  const std::string trend = ChangeFileExt(example, ".dat");
  ASSERT_TRUE(SaveTextFileSafely(out, "old results\r\n"));
  ASSERT_TRUE(SaveTextFileSafely(trend, "old trend\r\n"));
  OpenInput(example);
  ShowTab(form->InputTabSheet);

  // Cancel is pressed as the first progress line shows, while the run's
  // thread waits for it: the search then stops before its first trial.
  auto* memo = Widget<QPlainTextEdit>(*form, "WaitMemo");
  auto* cancel = Widget<QPushButton>(*form, "CancelButton");
  bool barShown = false;
  const auto pressCancel = QObject::connect(memo, &QPlainTextEdit::textChanged, [&] {
    if (!memo->toPlainText().contains("Saving data") || !cancel->isEnabled()) return;
    barShown = Widget<QToolBar>(*form, "WorkBar")->isVisible();
    EXPECT_FALSE(form->InputSaveAction->isEnabled());
    cancel->click();
  });
  dialogs.answers = {true};  // overwrite the input file
  Choose(example);
  form->InputSaveAction->trigger();
  QObject::disconnect(pressCancel);

  EXPECT_TRUE(barShown);
  ASSERT_FALSE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.messages.back(), RainFormTexts::kRunCancelled);
  EXPECT_EQ(ReadFileBytes(out), "old results\r\n");
  EXPECT_EQ(ReadFileBytes(trend), "old trend\r\n");
  EXPECT_FALSE(Widget<QToolBar>(*form, "WorkBar")->isVisible());

  // The window is usable: the next Save/Run runs to its results.
  EXPECT_TRUE(form->InputSaveAction->isEnabled());
  dialogs.answers = {true};
  Choose(example);
  form->InputSaveAction->trigger();
  Settle();
  EXPECT_EQ(dialogs.messages.back(), RunDoneText(out));
  EXPECT_EQ(ReadFileBytes(out).rfind("THE RESULTS OF TevloraT PROGRAM\r\n", 0), 0u);
}

}  // namespace

TEST_F(KeepsWork, DrawnGraphComesBackWithTheGraphicsTab) {
  CopyExample("spotpy_d_flood2013_12d.dat");
  Choose(CopyExample("spotpy_d_flood2013_12d.out"));
  ShowTab(form->GraphicsTabSheet);
  QTest::mouseClick(Widget<QPushButton>(*form, "MakeGraphButton"), Qt::LeftButton);
  Widget<QRadioButton>(*form, "CalcObsRadioButton")->setChecked(true);
  QTest::mouseClick(Widget<QPushButton>(*form, "GoButton1"), Qt::LeftButton);
  const QImage drawn = form->Graphics().GraphBitmap();
  ShowTab(form->OutputTabSheet);
  ShowTab(form->GraphicsTabSheet);
  EXPECT_TRUE(Widget<QLabel>(*form, "GraphImage")->isVisible());
  EXPECT_FALSE(Widget<QWidget>(*form, "Panel1")->isVisible());
  EXPECT_TRUE(form->GraphSaveAction->isEnabled());
  EXPECT_EQ(form->Graphics().GraphBitmap(), drawn);
}

// Clear all and closing ask exactly when the tab differs from the file last
// opened or saved; Undo clear all brings back the records as they were.
TEST_F(KeepsWork, ClearAllAndCloseAskOnlyForUnsavedChanges) {
  const std::string example = CopyExample("spotpy_d_flood2013_12d.inp");
  OpenInput(example);
  ShowTab(form->InputTabSheet);
  Settle();
  EXPECT_EQ(form->windowTitle().toStdString(),
            "spotpy_d_flood2013_12d.inp[*] - " + std::string(RainFormTexts::kCaption));
  EXPECT_FALSE(form->isWindowModified());

  // Unchanged: closing asks nothing (the finish window would follow).
  form->close();
  EXPECT_TRUE(dialogs.questions.empty());

  const std::vector<QString> records = Column(1);
  TypeCell(1, 0, "99");
  EXPECT_TRUE(form->isWindowModified());
  // Closing asks; going back keeps the window and the changes.
  form->close();
  ASSERT_EQ(dialogs.questions.size(), 1u);
  EXPECT_EQ(dialogs.questions.back(), RainFormTexts::kCloseAsked);
  EXPECT_EQ(Cell(1, 0), "99");

  // Clear all asks; No keeps the records, Yes clears them.
  dialogs.answers = {false, true};
  form->Input().ClearButtonClick();
  EXPECT_EQ(dialogs.questions.back(), RainFormTexts::kClearAllAsked);
  EXPECT_EQ(Cell(1, 0), "99");
  form->Input().ClearButtonClick();
  EXPECT_EQ(Cell(1, 0), "0");
  EXPECT_FALSE(form->isWindowModified());

  // Undo brings back the records, the typed cell included, still unsaved.
  ASSERT_TRUE(form->UndoClearAction->isEnabled());
  form->UndoClearAction->trigger();
  Settle();
  std::vector<QString> expected = records;
  expected[0] = "99";
  EXPECT_EQ(Column(1), expected);
  EXPECT_TRUE(form->isWindowModified());
  EXPECT_FALSE(form->UndoClearAction->isEnabled());

  // A cleared tab, unchanged, is cleared again without a question.
  const std::size_t asked = dialogs.questions.size();
  dialogs.answers = {true};
  form->Input().ClearButtonClick();
  form->Input().ClearButtonClick();
  EXPECT_EQ(dialogs.questions.size(), asked + 1);
}

TEST_F(KeepsWork, RecentFilesAndTheLastFolderSurviveARestart) {
  std::vector<std::string> opened;
  for (int k = 0; k < TRecentFiles::kMaxFiles + 1; ++k) {
    opened.push_back(directory.File("set" + std::to_string(k) + ".inp"));
    std::filesystem::copy_file(ExampleDataFile("spotpy_d_flood2013_12d.inp"), opened.back());
    OpenInput(opened.back());
  }
  OpenInput(opened[3]);  // again: to the front, once
  form.reset();
  form = std::make_unique<TRainForm>(*session, &dialogs, &files);
  session->Data.Dialogs = form->Dialogs();

  QStringList listed;
  for (QAction* entry : form->RecentFilesMenu->actions()) listed.append(entry->data().toString());
  QStringList expected = {QString::fromStdString(opened[3])};
  for (int k = TRecentFiles::kMaxFiles; k >= 1; --k) {
    if (k != 3) expected.append(QString::fromStdString(opened[k]));
  }
  EXPECT_EQ(listed, expected);
  EXPECT_EQ(QDir(form->InputOpenDialog.InitialDir),
            QDir(QString::fromStdString(directory.File(""))));
  // An entry opens its file without a dialog.
  form->RecentFilesMenu->actions()[1]->trigger();
  EXPECT_EQ(d().FileName, opened[TRecentFiles::kMaxFiles]);
  EXPECT_EQ(files.runs.size(), TRecentFiles::kMaxFiles + 2u);
}

TEST_F(KeepsWork, DroppedInputFileOpens) {
  const std::string example = CopyExample("spotpy_d_flood2013_12d.inp");
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(example))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(form.get(), &drop);
  EXPECT_EQ(d().FileName, example);
  EXPECT_TRUE(files.runs.empty());
  EXPECT_EQ(Widget<QLineEdit>(*form, "Title1Edit")->text().toStdString(), d().Title1);
  EXPECT_FALSE(d().Title1.empty());
}

TEST_F(KeepsWork, CountTypedFarTooHighCanBeTakenBack) {
  OpenInput(CopyExample("spotpy_d_flood2013_12d.inp"));
  ShowTab(form->InputTabSheet);
  const int rows = Widget<TStringGrid>(*form, "StringGrid1")->RowCount();
  const double last = StringToFloat(Cell(0, rows - 1).toStdString());
  const double step = last - StringToFloat(Cell(0, rows - 2).toStdString());
  dialogs.messages.clear();
  TypeField(Widget<QLineEdit>(*form, "NrOfDataEdit"), "99999999999");
  EXPECT_EQ(dialogs.messages, std::vector<std::string>{RainFormTexts::kMaximumData});
  ASSERT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 1500);
  // The rows added go on in time with the last step.
  EXPECT_DOUBLE_EQ(StringToFloat(Cell(0, rows).toStdString()), last + step);
  EXPECT_DOUBLE_EQ(StringToFloat(Cell(0, rows + 1).toStdString()), last + 2 * step);

  dialogs.messages.clear();
  TypeField(Widget<QLineEdit>(*form, "NrOfDataEdit"), QString::number(rows));
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), rows);
  EXPECT_EQ(d().NrOfData, rows);
}

TEST_F(KeepsWork, GridCheckNamesEveryBadCellBeforeAnyDialog) {
  OpenInput(CopyExample("spotpy_d_flood2013_12d.inp"));
  ShowTab(form->InputTabSheet);
  TStringGrid* grid = Widget<TStringGrid>(*form, "StringGrid1");
  grid->SetCells(1, 1, "1,2x");
  grid->SetCells(0, 4, "1");
  grid->SetCells(3, 6, "-2");
  grid->SetCells(2, 8, "");  // a row Save/Run leaves out is not named
  grid->SetCells(1, 8, "y");
  dialogs.messages.clear();
  const std::size_t dialogsRun = files.runs.size();
  form->InputSaveAction->trigger();
  EXPECT_EQ(files.runs.size(), dialogsRun);
  EXPECT_EQ(dialogs.messages,
            std::vector<std::string>{
                std::string(RainFormTexts::kNotAllReal) +
                " (row 2, column 2 \"Rain\": \"1,2x\")\n" + RainFormTexts::kInputErrors +
                " (row 5, column 1 \"Time\": \"1\" does not increase (row 4: \"" +
                Cell(0, 3).toStdString() + "\"); row 7, column 4 \"Runoff\": \"-2\" is negative)"});
}
