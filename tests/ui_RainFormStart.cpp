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
  EXPECT_FALSE(form->GridHasData || form->OutputShown || form->GraphReady);
  EXPECT_TRUE(form->ColourGraph);

  // Only zero values get a default.
  d().MaxStorage = 30;
  d().InitStorage = 0;
  form->IntroTabSheetShow();
  EXPECT_EQ(d().MaxStorage, 30);
  EXPECT_EQ(d().InitStorage, 80);
}

TEST_F(RainFormStart, ButtonsFollowTheirActions) {
  EXPECT_FALSE(form->InputSaveButton->isEnabled());
  form->InputSaveAction->setEnabled(true);
  EXPECT_TRUE(form->InputSaveButton->isEnabled());
  form->GraphSaveAction->setEnabled(true);
  EXPECT_TRUE(form->SaveGraphButton->isEnabled());
  form->GraphSaveAction->setEnabled(false);
  EXPECT_FALSE(form->SaveGraphButton->isEnabled());
  // A button without a caption of its own shows the action's.
  EXPECT_EQ(form->SeeOutputButton->text(), "Open &Output");
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
  EXPECT_FALSE(form->FileNameEdit->isVisible());
  EXPECT_EQ(form->NrOfDataEdit->text(), "15");
  EXPECT_EQ(d().NrOfData, 15);
  EXPECT_EQ(form->BaseCount, 15);
  EXPECT_EQ(form->StringGrid1->RowCount(), 15);
  EXPECT_EQ(form->StringGrid1->ColCount(), 4);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(Column(c), std::vector<QString>(15, "0")) << c;
  EXPECT_EQ(form->StringGrid1->geometry().left(), 150);
  EXPECT_EQ(form->StringGrid1->width(), 282);
  EXPECT_EQ(form->RunoffLabel->x(), 365);
  EXPECT_EQ(form->StarLabel->pos(), QPoint(424, 180));
  EXPECT_FALSE(form->AlphaGroupBox->isVisible() || form->PredictGroupBox->isVisible() ||
               form->AlfaButton->isVisible() || form->WaitMemo->isVisible());
  EXPECT_TRUE(form->TryMemo->isVisible() && form->InfoMemo->isVisible());
  EXPECT_FALSE(form->InputImage->pixmap().isNull());
  // The reservoir fields show the data set's defaults.
  EXPECT_EQ(form->MaxStorEdit->text(), "100");
  EXPECT_EQ(form->InitStorEdit->text(), "80");
  EXPECT_EQ(d().MaxStorage, 100);
}

TEST_F(RainFormStart, OutputAndGraphicsTabsFirstShown) {
  ShowTab(form->OutputTabSheet);
  EXPECT_FALSE(form->ViewGraphButton->isVisible());
  EXPECT_FALSE(form->InputSaveAction->isEnabled());
  EXPECT_TRUE(QFontInfo(form->OutputMemo->font()).fixedPitch());
  EXPECT_TRUE(form->OutputMemo->font().bold());

  ShowTab(form->GraphicsTabSheet);
  EXPECT_FALSE(form->Panel1->isVisible() || form->Panel3->isVisible());
  EXPECT_FALSE(form->GraphImage->isVisible() || form->PictureImage->isVisible());
  EXPECT_FALSE(form->SelectButton->isEnabled() || form->CommentButton->isEnabled());
  EXPECT_FALSE(form->SaveGraphButton->isEnabled() || form->BlWhButton->isEnabled());
  EXPECT_TRUE(form->SeeGraphButton->isEnabled() && form->MakeGraphButton->isEnabled());
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
  QTest::mouseClick(form->HelpButton, Qt::LeftButton);
  EXPECT_TRUE(help.isVisible());
  EXPECT_FALSE(calculator.isVisible());
}

}  // namespace
