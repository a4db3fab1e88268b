// The main window at start-up: tabs, actions, dialogs, the state of every tab
// when it is first shown, placement and closing.
#include <QTest>

#include "UIntroPages.h"
#include "ui_RainFormSupport.h"

namespace {

using RainFormStart = RainFormTest;

TEST_F(RainFormStart, IntroFirstWithTheDataModuleDefaults) {
  ASSERT_EQ(form->PageControl1->count(), 5);
  EXPECT_EQ(form->PageControl1->currentWidget(), form->IntroTabSheet);
  EXPECT_EQ(form->PageControl1->tabText(2), "  Input  ");
  EXPECT_EQ(form->StatusBar1->currentMessage(), "Click on the Input tab to proceed.");
  // The Intro tab's handler ran once the data module existed (it was created
  // after the window): mode in line with the option, pre-reservoir defaults.
  EXPECT_EQ(d().FileName, form->StartDir);
  EXPECT_EQ(d().RunKind, " Ana");
  EXPECT_EQ(d().AlphaKind, " Lin");
  EXPECT_EQ(d().MaxStorage, 100);
  EXPECT_EQ(d().InitStorage, 80);
  EXPECT_EQ(d().MaxEscape, 0.1);
  EXPECT_FALSE(form->InputSaveAction->isEnabled());
  EXPECT_FALSE(form->GraphSaveAction->isEnabled());
  EXPECT_TRUE(form->IntroPage->IntroMemo->isVisibleTo(form->IntroPage));
  EXPECT_FALSE(form->Input().GridHasData || form->OutputShown || form->Graphics().GraphReady());
  EXPECT_TRUE(form->Graphics().ColourGraph());

  // Only zero values get a default.
  d().MaxStorage = 30;
  d().InitStorage = 0;
  form->IntroTabSheetShow();
  EXPECT_EQ(d().MaxStorage, 30);
  EXPECT_EQ(d().InitStorage, 80);
}

TEST_F(RainFormStart, ButtonsFollowTheirActions) {
  EXPECT_FALSE(Widget<QPushButton>(*form, "InputSaveButton")->isEnabled());
  form->InputSaveAction->setEnabled(true);
  EXPECT_TRUE(Widget<QPushButton>(*form, "InputSaveButton")->isEnabled());
  form->GraphSaveAction->setEnabled(true);
  EXPECT_TRUE(Widget<QPushButton>(*form, "SaveGraphButton")->isEnabled());
  form->GraphSaveAction->setEnabled(false);
  EXPECT_FALSE(Widget<QPushButton>(*form, "SaveGraphButton")->isEnabled());
  // A button without a caption of its own shows the action's.
  EXPECT_EQ(Widget<QPushButton>(*form, "SeeOutputButton")->text(), "Open &Output");
  EXPECT_EQ(form->FileMenu->actions().last()->text(), "Program e&Xit");
}

TEST_F(RainFormStart, DialogDirectories) {
  const QString start = QString::fromStdString(form->StartDir);
  EXPECT_EQ(form->InputOpenDialog.InitialDir, start);
  EXPECT_EQ(form->OutputOpenDialog.InitialDir, start);
  EXPECT_EQ(form->GraphSaveDialog.Kind, TFileDialogKind::Save);
  form->SetDialogDirs("/some/where");
  for (const TFileDialog* dialog :
       {&form->InputOpenDialog, &form->InputSaveDialog, &form->OutputOpenDialog,
        &form->GraphOpenDialog, &form->GraphSaveDialog}) {
    EXPECT_EQ(dialog->InitialDir, "/some/where");
  }
  EXPECT_EQ(DialogNameFilter("Input files (*.inp)|*.inp"), "Input files (*.inp)");
  EXPECT_EQ(WithDefaultExt("/x/data", ".out"), "/x/data.out");
  EXPECT_EQ(WithDefaultExt("/x/data.txt", "inp"), "/x/data.txt");
}

TEST_F(RainFormStart, InputTabFirstShownIsReset) {
  ShowTab(form->InputTabSheet);
  EXPECT_TRUE(form->InputSaveAction->isEnabled());
  EXPECT_FALSE(Widget<QLineEdit>(*form, "FileNameEdit")->isVisible());
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), "15");
  EXPECT_EQ(d().NrOfData, 15);
  EXPECT_EQ(form->Input().BaseCount, 15);
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 15);
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->ColCount(), 4);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(Column(c), std::vector<QString>(15, "0")) << c;
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->geometry().left(), 150);
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->width(), 282);
  EXPECT_EQ(Widget<QLabel>(*form, "RunoffLabel")->x(), 365);
  EXPECT_EQ(Widget<QLabel>(*form, "StarLabel")->pos(), QPoint(424, 180));
  EXPECT_FALSE(Widget<QGroupBox>(*form, "AlphaGroupBox")->isVisible() ||
               Widget<QGroupBox>(*form, "PredictGroupBox")->isVisible() ||
               Widget<QPushButton>(*form, "AlfaButton")->isVisible() ||
               Widget<QPlainTextEdit>(*form, "WaitMemo")->isVisible());
  EXPECT_TRUE(Widget<QPlainTextEdit>(*form, "TryMemo")->isVisible() &&
              Widget<QPlainTextEdit>(*form, "InfoMemo")->isVisible());
  EXPECT_FALSE(Widget<QLabel>(*form, "InputImage")->pixmap().isNull());
  // The reservoir fields show the data set's defaults.
  EXPECT_EQ(Widget<QLineEdit>(*form, "MaxStorEdit")->text(), "100");
  EXPECT_EQ(Widget<QLineEdit>(*form, "InitStorEdit")->text(), "80");
  EXPECT_EQ(d().MaxStorage, 100);
}

TEST_F(RainFormStart, OutputAndGraphicsTabsFirstShown) {
  ShowTab(form->OutputTabSheet);
  EXPECT_FALSE(Widget<QPushButton>(*form, "ViewGraphButton")->isVisible());
  EXPECT_FALSE(form->InputSaveAction->isEnabled());
  EXPECT_TRUE(QFontInfo(Widget<QPlainTextEdit>(*form, "OutputMemo")->font()).fixedPitch());
  EXPECT_TRUE(Widget<QPlainTextEdit>(*form, "OutputMemo")->font().bold());

  ShowTab(form->GraphicsTabSheet);
  EXPECT_FALSE(Widget<QWidget>(*form, "Panel1")->isVisible() ||
               Widget<QWidget>(*form, "Panel3")->isVisible());
  EXPECT_FALSE(Widget<QLabel>(*form, "GraphImage")->isVisible() ||
               Widget<QLabel>(*form, "PictureImage")->isVisible());
  EXPECT_FALSE(Widget<QPushButton>(*form, "SelectButton")->isEnabled() ||
               Widget<QPushButton>(*form, "CommentButton")->isEnabled());
  EXPECT_FALSE(Widget<QPushButton>(*form, "SaveGraphButton")->isEnabled() ||
               Widget<QPushButton>(*form, "BlWhButton")->isEnabled());
  EXPECT_TRUE(Widget<QPushButton>(*form, "SeeGraphButton")->isEnabled() &&
              Widget<QPushButton>(*form, "MakeGraphButton")->isEnabled());
}

TEST_F(RainFormStart, StatusTextComesBackAfterAMenuHint) {
  QStatusTipEvent hover("Quits the application");
  QCoreApplication::sendEvent(form.get(), &hover);
  EXPECT_EQ(form->StatusBar1->currentMessage(), "Quits the application");
  QStatusTipEvent leave("");
  QCoreApplication::sendEvent(form.get(), &leave);
  EXPECT_EQ(form->StatusBar1->currentMessage(), "Click on the Input tab to proceed.");
}

TEST_F(RainFormStart, PlacedByScreenWidth) {
  form->PlaceWindow(1024);
  EXPECT_EQ(form->geometry().left(), 100);
  EXPECT_EQ(form->width(), 675);
  form->PlaceWindow(640);
  EXPECT_EQ(form->geometry().left(), 10);
  EXPECT_EQ(form->width(), 630);
  // Narrower than 676 but wide enough for the designed width.
  EXPECT_EQ(WindowPlacement(675, 673).Left, 100);
  EXPECT_EQ(WindowPlacement(675, 673).Width, 673);
}

TEST_F(RainFormStart, ClosingShowsTheFinishWindowAndGoesOn) {
  QWidget finish, help, comment, calculator;
  form->SetCompanions(&finish, &help, &comment, &calculator);
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(finish.isVisible());
  finish.hide();
  form->FileExit1->trigger();
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(finish.isVisible());

  ShowTab(form->InputTabSheet);
  QTest::mouseClick(Widget<QPushButton>(*form, "HelpButton"), Qt::LeftButton);
  EXPECT_TRUE(help.isVisible());
  EXPECT_FALSE(calculator.isVisible());
}

}  // namespace
