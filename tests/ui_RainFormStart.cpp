// The main window at start-up: tabs, menu, actions, dialogs, the state of
// every tab when it is first shown, placement and closing.
#include <QMenuBar>
#include <QTest>

#include "UIntroPages.h"
#include "ui_RainFormSupport.h"

namespace {

using RainFormStart = RainFormTest;

std::vector<QString> MenuTexts(QMenu* menu) {
  std::vector<QString> texts;
  for (QAction* action : menu->actions()) texts.push_back(action->text());
  return texts;
}

TEST_F(RainFormStart, WindowTabsAndIntroFirst) {
  EXPECT_EQ(form->windowTitle(), "TevloraT, rainfall runoff relations");
  ASSERT_EQ(form->PageControl1->count(), 5);
  const char* captions[] = {"  Intro  ", " Figure ", "  Input  ", "  Output  ", " Graphics "};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(form->PageControl1->tabText(i), captions[i]);
  EXPECT_EQ(form->PageControl1->currentWidget(), form->IntroTabSheet);
  EXPECT_EQ(form->StatusBar1->currentMessage(), "Click on the Input tab to proceed.");

  // The Intro tab's handler ran once the data module existed: it brought the
  // mode in line with the option and gave the pre-reservoir its defaults.
  EXPECT_TRUE(d().Analysis);
  EXPECT_EQ(d().RunKind, " Ana");
  EXPECT_EQ(d().AlphaKind, " Lin");
  EXPECT_EQ(d().MaxStorage, 50);
  EXPECT_EQ(d().InitStorage, 50);
  EXPECT_EQ(d().MaxEscape, 0.1);
  EXPECT_FALSE(form->InputSaveAction->isEnabled());
  EXPECT_FALSE(form->GraphSaveAction->isEnabled());
  EXPECT_FALSE(form->BlWhButton->isEnabled());
  EXPECT_TRUE(form->IntroPage->IntroMemo->isVisibleTo(form->IntroPage));
  EXPECT_FALSE(form->IntroPage->FirstMemo->isVisibleTo(form->IntroPage));

  EXPECT_FALSE(form->GridHasData);
  EXPECT_FALSE(form->OutputShown);
  EXPECT_FALSE(form->GraphReady);
  EXPECT_TRUE(form->ColourGraph);
  EXPECT_EQ(form->StartDir, std::filesystem::current_path().string());
  // The data module was created after the window: its FileName is the
  // start-up directory, not a file.
  EXPECT_EQ(d().FileName, form->StartDir);
}

TEST_F(RainFormStart, IntroDefaultsKeepSetValues) {
  d().MaxStorage = 30;
  d().InitStorage = 0;
  d().MaxEscape = 2;
  form->IntroTabSheetShow();
  EXPECT_EQ(d().MaxStorage, 30);
  EXPECT_EQ(d().InitStorage, 50);
  EXPECT_EQ(d().MaxEscape, 2);
}

TEST_F(RainFormStart, MenuActionsAndButtons) {
  EXPECT_EQ(form->FileMenu->title(), "&File");
  EXPECT_EQ(MenuTexts(form->FileMenu),
            (std::vector<QString>{"Open &Input", "Open &Output", "Open &Graph", "Save i&Nput",
                                  "Save g&Raph", "Program e&Xit"}));
  EXPECT_EQ(form->EditMenu->title(), "&Edit");
  EXPECT_EQ(MenuTexts(form->EditMenu), (std::vector<QString>{"&Copy", "Cu&t", "&Paste"}));

  EXPECT_EQ(form->EditCut1->shortcut(), QKeySequence("Ctrl+X"));
  EXPECT_EQ(form->EditCopy1->shortcut(), QKeySequence("Ctrl+C"));
  EXPECT_EQ(form->EditPaste1->shortcut(), QKeySequence("Ctrl+V"));
  EXPECT_EQ(form->EditDelete1->shortcut(), QKeySequence("Del"));
  EXPECT_EQ(form->EditDelete1->text(), "&Delete");
  EXPECT_EQ(form->EditCut1->toolTip(), "Cut");
  EXPECT_EQ(form->EditCut1->statusTip(), "Cuts the selection and puts it on the Clipboard");
  EXPECT_EQ(form->FileExit1->text(), "E&xit");
  EXPECT_EQ(form->OutputOpenForGraphics->text(), "Open &Graph");

  // Buttons bound to actions: own caption where they state one, the action's
  // otherwise, and the action's enabled state.
  EXPECT_EQ(form->InputOpenButton->text(), " Open input");
  EXPECT_EQ(form->InputSaveButton->text(), " Save / Run");
  EXPECT_EQ(form->SeeOutputButton->text(), "Open &Output");
  EXPECT_EQ(form->SeeGraphButton->text(), "Open graph");
  EXPECT_EQ(form->MakeGraphButton->text(), "Make graph");
  EXPECT_EQ(form->SaveGraphButton->text(), "Save color graph");
  EXPECT_FALSE(form->InputSaveButton->isEnabled());
  form->InputSaveAction->setEnabled(true);
  EXPECT_TRUE(form->InputSaveButton->isEnabled());
  form->GraphSaveAction->setEnabled(true);
  EXPECT_TRUE(form->SaveGraphButton->isEnabled());
  form->GraphSaveAction->setEnabled(false);
  EXPECT_FALSE(form->SaveGraphButton->isEnabled());
}

TEST_F(RainFormStart, FileDialogsAndTheirDirectories) {
  const QString start = QString::fromStdString(form->StartDir);
  struct Expected {
    const TFileDialog* dialog;
    TFileDialogKind kind;
    const char* filter;
    const char* extension;
  };
  const Expected expected[] = {
      {&form->InputOpenDialog, TFileDialogKind::Open, "Input files (*.inp)|*.inp", "inp"},
      {&form->InputSaveDialog, TFileDialogKind::Save, "Input files (*.inp)|*.inp", "inp"},
      {&form->OutputOpenDialog, TFileDialogKind::Open, "Output files (*.out)|*.out", ".out"},
      {&form->GraphOpenDialog, TFileDialogKind::Open, "Graph files (*.bmp)|*.bmp", "bmp"},
      {&form->GraphSaveDialog, TFileDialogKind::Save, "Image files (*.bmp)|*.bmp", "bmp"},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.dialog->Name.toStdString());
    EXPECT_EQ(e.dialog->Kind, e.kind);
    EXPECT_EQ(e.dialog->Filter, e.filter);
    EXPECT_EQ(e.dialog->DefaultExt, e.extension);
    EXPECT_EQ(e.dialog->InitialDir, start);
  }
  form->SetDialogDirs("/some/where");
  for (const Expected& e : expected) EXPECT_EQ(e.dialog->InitialDir, "/some/where");

  EXPECT_EQ(DialogNameFilter("Input files (*.inp)|*.inp"), "Input files (*.inp)");
  EXPECT_EQ(WithDefaultExt("/x/data", "inp"), "/x/data.inp");
  EXPECT_EQ(WithDefaultExt("/x/data", ".out"), "/x/data.out");
  EXPECT_EQ(WithDefaultExt("/x/data.txt", "inp"), "/x/data.txt");
}

TEST_F(RainFormStart, InputTabFirstShown) {
  ShowTab(form->InputTabSheet);
  EXPECT_EQ(form->StatusBar1->currentMessage(),
            "Enter data or use \"Open input\" to see examples under \"Data\" or to edit existing "
            "files. Thereafter use \"Save/Run\".");
  EXPECT_TRUE(form->InputSaveAction->isEnabled());
  EXPECT_FALSE(form->GraphSaveAction->isEnabled());
  EXPECT_FALSE(form->FileNameEdit->isVisible());
  EXPECT_FALSE(form->FileNameLabel->isVisible());
  EXPECT_TRUE(form->FileNameEdit->isReadOnly());

  // The tab is reset: 15 records of zeros in the analysis layout.
  EXPECT_EQ(form->OptionComboBox->currentIndex(), 0);
  EXPECT_EQ(form->OptionComboBox->itemText(0),
            "Determine alpha from rainfall and runoff data and reconstruct runoff");
  EXPECT_EQ(form->OptionComboBox->itemText(1),
            "Predict discharge or runoff from rainfall given the alpha function");
  EXPECT_EQ(form->NrOfDataEdit->text(), "15");
  EXPECT_EQ(d().NrOfData, 15);
  EXPECT_EQ(form->BaseCount, 15);
  EXPECT_EQ(form->StringGrid1->RowCount(), 15);
  EXPECT_EQ(form->StringGrid1->ColCount(), 4);
  EXPECT_EQ(form->StringGrid1->rowHeight(3), 20);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(Column(c), std::vector<QString>(15, "0")) << c;
  }
  EXPECT_EQ(form->StringGrid1->geometry().left(), 150);
  EXPECT_EQ(form->StringGrid1->width(), 282);
  EXPECT_EQ(form->TimeLabel->x(), 151);
  EXPECT_EQ(form->RainLabel->x(), 217);
  EXPECT_EQ(form->EvapLabel->x(), 281);
  EXPECT_EQ(form->RunoffLabel->x(), 365);
  EXPECT_TRUE(form->RunoffLabel->isVisible());
  EXPECT_EQ(form->StarLabel->pos(), QPoint(424, 180));
  EXPECT_FALSE(form->AlphaGroupBox->isVisible());
  EXPECT_FALSE(form->PredictGroupBox->isVisible());
  EXPECT_FALSE(form->AlfaMemo->isVisible());
  EXPECT_FALSE(form->AlfaButton->isVisible());
  EXPECT_TRUE(form->TryMemo->isVisible());
  EXPECT_TRUE(form->InfoMemo->isVisible());
  EXPECT_TRUE(form->InputImage->isVisible());
  EXPECT_FALSE(form->InputImage->pixmap().isNull());
  EXPECT_FALSE(form->WaitMemo->isVisible());
  EXPECT_FALSE(form->EscapeEdit->isVisible());

  // Initial texts, captions and hints.
  EXPECT_EQ(form->MaxStorEdit->text(), "100");
  EXPECT_EQ(form->InitStorEdit->text(), "80");
  EXPECT_EQ(form->EscapeEdit->text(), "2");
  EXPECT_EQ(form->InitRunEdit->text(), "0");
  EXPECT_EQ(form->InitLevelEdit->text(), "0");
  EXPECT_EQ(form->PorosityEdit->text(), "5");
  EXPECT_EQ(form->FirstGroupBox->title(), "First reservoir (see Figure)");
  EXPECT_EQ(form->PredictGroupBox->title(), "Initialize");
  EXPECT_EQ(form->AlphaGroupBox->title(), "Alpha characteristics");
  EXPECT_EQ(form->AlphaLabel->text(), "Alpha=B*runoff+F");
  EXPECT_EQ(form->EvapLabel->text(), "Max. Escape rate  *)");
  EXPECT_EQ(form->StarLabel->text(), "*) see Start help, units");
  EXPECT_EQ(form->NrOfDataEdit->toolTip(), "Between 15 and 500");
  EXPECT_EQ(form->Title2Edit->toolTip(), "Particulars and units used (e.g. mm, day)");
  EXPECT_EQ(form->TimeLabel->toolTip(), "Give time in units (hr, day), not dates");
  EXPECT_EQ(form->InitStorEdit->toolTip(), "<= Maximum storage");
  EXPECT_EQ(form->HelpButton->text(), "Start help, units");
  EXPECT_EQ(form->ClearButton->text(), "Clear all");
  EXPECT_EQ(form->AlfaButton->text(), "AlfaCalc");
  EXPECT_EQ(form->AlfaMemo->toPlainText(),
            "To calculate the B and C values for a\nsubsurface drainage system with\npipes or "
            "ditches use button AlfaCalc");
  EXPECT_EQ(form->TryMemo->toPlainText(),
            "Try various values of\ninitial storage to find\nthe best result.");
  EXPECT_EQ(form->InfoMemo->toPlainText().count('\n'), 3);
}

TEST_F(RainFormStart, OutputAndGraphicsTabsFirstShown) {
  ShowTab(form->OutputTabSheet);
  EXPECT_EQ(form->StatusBar1->currentMessage(),
            "The output file can be inspected. Use \"Open output\" to see examples under "
            "\"Data\" or to inspect any other output file.");
  EXPECT_FALSE(form->ViewGraphButton->isVisible());
  EXPECT_TRUE(form->SeeOutputButton->isVisible());
  EXPECT_FALSE(form->InputSaveAction->isEnabled());
  EXPECT_TRUE(form->OutputMemo->toPlainText().isEmpty());
  EXPECT_FALSE(form->OutputMemo->isReadOnly());
  EXPECT_TRUE(form->OutputMemo->font().bold());
  EXPECT_EQ(form->OutputMemo->font().pixelSize(), 13);
  EXPECT_TRUE(QFontInfo(form->OutputMemo->font()).fixedPitch());

  ShowTab(form->GraphicsTabSheet);
  EXPECT_EQ(form->StatusBar1->currentMessage(),
            "Graphics presentations of output data can be seen and saved. Use \"Make graph\" to "
            "open an output file and make the graphs.");
  EXPECT_FALSE(form->Panel1->isVisible());
  EXPECT_FALSE(form->Panel3->isVisible());
  EXPECT_FALSE(form->GraphImage->isVisible());
  EXPECT_FALSE(form->PictureImage->isVisible());
  EXPECT_FALSE(form->SelectButton->isEnabled());
  EXPECT_FALSE(form->CommentButton->isEnabled());
  EXPECT_FALSE(form->SaveGraphButton->isEnabled());
  EXPECT_FALSE(form->BlWhButton->isEnabled());
  EXPECT_TRUE(form->SeeGraphButton->isEnabled());
  EXPECT_TRUE(form->MakeGraphButton->isEnabled());
  EXPECT_TRUE(form->RunoffRadioButton->isChecked());
  EXPECT_TRUE(form->RadioButton3->isChecked());
}

TEST_F(RainFormStart, StatusTextComesBackAfterAMenuHint) {
  form->ShowStatus("Click on the Input tab to proceed.");
  QStatusTipEvent hover("Quits the application");
  QCoreApplication::sendEvent(form.get(), &hover);
  EXPECT_EQ(form->StatusBar1->currentMessage(), "Quits the application");
  QStatusTipEvent leave("");
  QCoreApplication::sendEvent(form.get(), &leave);
  EXPECT_EQ(form->StatusBar1->currentMessage(), "Click on the Input tab to proceed.");
}

TEST(RainFormPlacement, ByScreenWidth) {
  EXPECT_EQ(WindowPlacement(640, 673).Left, 10);
  EXPECT_EQ(WindowPlacement(640, 673).Width, 630);
  EXPECT_EQ(WindowPlacement(1024, 673).Left, 100);
  EXPECT_EQ(WindowPlacement(1024, 673).Width, 675);
  EXPECT_EQ(WindowPlacement(676, 673).Width, 675);
  // Narrower than 676 but wide enough for the designed width.
  EXPECT_EQ(WindowPlacement(675, 673).Left, 100);
  EXPECT_EQ(WindowPlacement(675, 673).Width, 673);
}

TEST_F(RainFormStart, PlacedOnTheScreen) {
  form->PlaceWindow(1024);
  EXPECT_EQ(form->geometry().left(), 100);
  EXPECT_EQ(form->width(), 675);
  form->PlaceWindow(640);
  EXPECT_EQ(form->geometry().left(), 10);
  EXPECT_EQ(form->width(), 630);
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

  // The Input tab's help button shows the help window.
  ShowTab(form->InputTabSheet);
  QTest::mouseClick(form->HelpButton, Qt::LeftButton);
  EXPECT_TRUE(help.isVisible());
  EXPECT_FALSE(calculator.isVisible());
}

}  // namespace
