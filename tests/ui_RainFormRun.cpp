// Open input, Save/Run with real runs on real data, and the Output tab.
#include <QTest>
#include <QTimer>

#include "TextFile.h"
#include "URainRun.h"
#include "ui_RainFormSupport.h"

namespace {

using std::string;
using std::vector;

vector<string> FileLines(const string& path) {
  vector<string> lines;
  const string bytes = ReadFileBytes(path);
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == string::npos) {
      lines.push_back(bytes.substr(start));
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

bool Exists(const string& path) {
  return std::filesystem::exists(path);
}

class RainFormRun : public RainFormTest {
 protected:
  void SetUp() override {
    RainFormTest::SetUp();
    ShowTab(form->InputTabSheet);
  }
  // A prediction data set of `rows` records typed into a fresh grid.
  void TypePrediction(int rows) {
    Widget<QComboBox>(*form, "OptionComboBox")->setCurrentIndex(1);
    Settle();
    dialogs.messages.clear();
    Widget<QLineEdit>(*form, "NrOfDataEdit")->setText(QString::number(rows));
    Widget<TStringGrid>(*form, "StringGrid1")->SetRowCount(rows);
    form->Input().BaseCount = rows;
    d().NrOfData = rows;
    form->Input().GridHasData = true;
    for (int r = 0; r < rows; ++r) {
      Widget<TStringGrid>(*form, "StringGrid1")->SetCells(0, r, QString::number(r + 1));
      Widget<TStringGrid>(*form, "StringGrid1")
          ->SetCells(1, r, QString::number(r % 4 == 0 ? 3.5 : 0.5));
      Widget<TStringGrid>(*form, "StringGrid1")->SetCells(2, r, "0.1");
    }
    Widget<QLineEdit>(*form, "A1coeffEdit")->setText("0.05");
    Widget<QLineEdit>(*form, "B1valueEdit")->setText("0.0075");
    Widget<QLineEdit>(*form, "InitRunEdit")->setText("0.02");
    Widget<QLineEdit>(*form, "InitLevelEdit")->setText("10");
    Widget<QLineEdit>(*form, "PorosityEdit")->setText("6");
  }
  void SaveAs(const string& fileName) {
    Choose(fileName);
    form->InputSaveAction->trigger();
  }
  // The record lines of a written input file (after its 14 or 20 header lines).
  static vector<string> Records(const string& path, int header) {
    vector<string> lines = FileLines(path);
    return vector<string>(lines.begin() + std::min<std::size_t>(header, lines.size()), lines.end());
  }
};

const char kNotSaved[] = "The input data were not saved";
const char kInputErrors[] =
    "The input data were not saved due to input errors like negative values or a "
    "non-sequential time series";
const string kNotAllReal = "Not all data values in the inputfile are real";

// ---------------------------------------------------------------------------
// Open input

TEST_F(RainFormRun, OpenAnAnalysisFile) {
  const string file = CopyExample("spotpy_d_spring2013.inp");
  ShowTab(form->IntroTabSheet);
  OpenInput(file);
  // Open input does not switch tabs.
  EXPECT_EQ(form->PageControl1->currentWidget(), form->IntroTabSheet);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_FALSE(d().ParLoaded);
  EXPECT_TRUE(form->Input().GridHasData);
  EXPECT_EQ(Widget<QLineEdit>(*form, "FileNameEdit")->text().toStdString(), file);
  EXPECT_FALSE(Widget<QLineEdit>(*form, "FileNameEdit")->isHidden());
  EXPECT_TRUE(Widget<QLabel>(*form, "InputImage")->isHidden());
  EXPECT_EQ(form->InputOpenDialog.InitialDir.toStdString(), directory.Path().string());

  ShowTab(form->InputTabSheet);
  EXPECT_EQ(Widget<QComboBox>(*form, "OptionComboBox")->currentIndex(), 0);
  EXPECT_EQ(Widget<QLineEdit>(*form, "Title1Edit")->text().toStdString(), d().Title1);
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text().toInt(), d().NrOfData);
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), d().NrOfData);
  EXPECT_EQ(form->Input().BaseCount, d().NrOfData);
  for (int r = 0; r < d().NrOfData; ++r) {
    EXPECT_EQ(Cell(0, r).toStdString(), ShortestText(d().Time[r]));
    EXPECT_EQ(Cell(3, r).toStdString(), ShortestText(d().Runoff[r]));
  }
  EXPECT_EQ(Widget<QLineEdit>(*form, "MaxStorEdit")->text().toStdString(),
            ShortestText(d().MaxStorage));
}

TEST_F(RainFormRun, OpenAPredictionWithItsParameterFile) {
  QWidget finish, help, comment, calculator;
  form->SetCompanions(&finish, &help, &comment, &calculator);
  const string file = CopyExample("hupsel_h_dec2012_pred_drain.inp", true);
  OpenInput(file);
  EXPECT_TRUE(d().ParLoaded);
  EXPECT_TRUE(d().Drainage);
  EXPECT_TRUE(calculator.isVisible());
  EXPECT_EQ(Widget<QComboBox>(*form, "OptionComboBox")->currentIndex(), 1);
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->ColCount(), 3);
  EXPECT_EQ(Widget<QLineEdit>(*form, "A1coeffEdit")->text(), "0.05");
  EXPECT_EQ(Widget<QLineEdit>(*form, "B1valueEdit")->text(), "0.0074921");
  EXPECT_EQ(Widget<QLineEdit>(*form, "PorosityEdit")->text(), "6");
  EXPECT_EQ(Widget<QLineEdit>(*form, "InitLevelEdit")->text(), "49.07");
  EXPECT_EQ(Widget<QLineEdit>(*form, "EscapeEdit")->text(), "0.093");

  // The Input tab shows the calculator again while the parameters are loaded;
  // opening another file hides it and clears the flag.
  calculator.hide();
  ShowTab(form->OutputTabSheet);
  ShowTab(form->InputTabSheet);
  EXPECT_TRUE(calculator.isVisible());
  OpenInput(CopyExample("hupsel_h_dec2012_pred_runoff.inp"));
  EXPECT_FALSE(calculator.isVisible());
  EXPECT_FALSE(d().ParLoaded);
  EXPECT_FALSE(d().Drainage);
}

TEST_F(RainFormRun, OpenCancelledOrMissing) {
  Cancel();
  form->InputOpenAction->trigger();
  EXPECT_EQ(dialogs.messages, vector<string>{"No input file was selected"});
  EXPECT_FALSE(form->Input().GridHasData);

  dialogs.messages.clear();
  const string missing = directory.File("nothing.inp");
  OpenInput(missing);
  EXPECT_EQ(dialogs.messages, vector<string>{"File does not exist, please select another one,"});
  EXPECT_EQ(d().FileName, missing);
  EXPECT_FALSE(form->Input().GridHasData);
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 15);

  // A name typed without extension gets ".inp".
  CopyExample("spotpy_d_spring2013.inp");
  dialogs.messages.clear();
  OpenInput(directory.File("spotpy_d_spring2013"));
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(d().FileName, directory.File("spotpy_d_spring2013.inp"));
}

TEST_F(RainFormRun, OpenAnUnreadableFileKeepsTheDataSet) {
  const string file = directory.File("broken.inp");
  vector<string> lines = FileLines(ExampleDataFile("spotpy_d_flood2013_12d.inp"));
  lines[8] = " Maximum dead storage:  seventy";
  WriteFileBytes(file, CrLf(lines));
  OpenInput(file);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_FALSE(form->Input().GridHasData);
  EXPECT_EQ(d().NrOfData, 15);
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 15);
}

// ---------------------------------------------------------------------------
// Save / Run

TEST_F(RainFormRun, AnalysisRunShowsItsResults) {
  const string original = CopyExample("spotpy_d_flood2013_12d.inp");
  OpenInput(original);
  ASSERT_TRUE(dialogs.messages.empty());
  const string saved = directory.File("flood.inp");
  SaveAs(saved);

  const string results = directory.File("flood.out");
  ASSERT_FALSE(dialogs.messages.empty());
  EXPECT_EQ(dialogs.messages.back(), "The input is saved in " + saved +
                                         " ; Calculations were done and the output is saved in  " +
                                         results);
  ASSERT_TRUE(Exists(results));
  EXPECT_TRUE(Exists(directory.File("flood.dat")));

  // The file written is the one opened, but for its own name.
  vector<string> before = FileLines(original);
  vector<string> after = FileLines(saved);
  ASSERT_EQ(before.size(), after.size());
  EXPECT_EQ(after[6], " Filename: " + saved);
  before.erase(before.begin() + 6);
  after.erase(after.begin() + 6);
  EXPECT_EQ(before, after);

  // The Output tab shows the results file line by line.
  EXPECT_EQ(form->PageControl1->currentWidget(), form->OutputTabSheet);
  const vector<string> outLines = FileLines(results);
  const QStringList shown = Widget<QPlainTextEdit>(*form, "OutputMemo")->toPlainText().split('\n');
  ASSERT_EQ(shown.size(), static_cast<int>(outLines.size()));
  for (int i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i].toStdString(), outLines[i]);
  EXPECT_TRUE(Widget<QPushButton>(*form, "ViewGraphButton")->isVisible());
  EXPECT_EQ(d().OutFileName, results);
  EXPECT_FALSE(Widget<QPlainTextEdit>(*form, "WaitMemo")->isVisible());
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), "12");

  // Progress lines went to the wait memo with their waits.
  ASSERT_GE(dialogs.progress.size(), 4u);
  EXPECT_EQ(dialogs.progress[0], " Saving data .....");
  EXPECT_EQ(dialogs.progress[1], " Progress 10% ....");
  EXPECT_EQ(dialogs.progress.back(), " Filing results ..");
  EXPECT_EQ(dialogs.pauses.back(), 1000);
  EXPECT_TRUE(Widget<QPlainTextEdit>(*form, "WaitMemo")
                  ->toPlainText()
                  .startsWith(" Saving data .....\n Progress 10% ...."));

  // Opening the analysed input again finds its results (with the alpha
  // coefficients found), and switching to a prediction asks to check them.
  dialogs.messages.clear();
  d().Values.AlphaA = -1;
  OpenInput(saved);
  EXPECT_TRUE(form->Input().AnalysisOutFound);
  EXPECT_NE(d().Values.AlphaA, -1);
  EXPECT_TRUE(dialogs.messages.empty());
  ShowTab(form->InputTabSheet);
  Widget<QComboBox>(*form, "OptionComboBox")->setCurrentIndex(1);
  Settle();
  EXPECT_EQ(dialogs.messages,
            vector<string>{"Please check the initial runoff and water level and the alpha "
                           "parameters."});
  EXPECT_EQ(Widget<QLineEdit>(*form, "A1coeffEdit")->text().toStdString(),
            ShortestText(d().Values.AlphaA));
  EXPECT_EQ(Widget<QLineEdit>(*form, "B1valueEdit")->text().toStdString(),
            ShortestText(d().Values.AlphaC));
}

TEST_F(RainFormRun, PredictionRunsWithTheFieldsAsShown) {
  TypePrediction(24);
  const string saved = directory.File("typed.inp");
  SaveAs(saved);
  ASSERT_TRUE(Exists(directory.File("typed.out")));
  EXPECT_EQ(form->PageControl1->currentWidget(), form->OutputTabSheet);
  EXPECT_EQ(Widget<QRadioButton>(*form, "RadioButton4")->text(), "Reservoir storage");
  EXPECT_EQ(dialogs.progress,
            (vector<string>{" Saving data .....", " Progress 10% ....", " Calculating .....",
                            " Progress 75% ....", " Filing results .."}));
  EXPECT_EQ(dialogs.pauses, (vector<int>{500, 500, 500, 1000}));

  const vector<string> lines = FileLines(saved);
  ASSERT_EQ(lines.size(), 44u);
  EXPECT_EQ(lines[1], " Prediction runoff");
  // The option switch showed the data set's reservoir values, the defaults
  // the fields started with.
  EXPECT_EQ(Widget<QLineEdit>(*form, "MaxStorEdit")->text(), "100");
  EXPECT_EQ(lines[7], " Maximum dead storage:   100.00");
  EXPECT_EQ(lines[8], " Initial dead storage:    80.00");
  EXPECT_EQ(lines[12], " Value of C is : 7.5000E-003");
  EXPECT_EQ(lines[15], " Initial water level :    10.00");
  EXPECT_EQ(lines[43], "   24        24.00  5.0E-0001  1.0E-0001");
}

TEST_F(RainFormRun, TypedAnalysisOnAFreshStartWritesTheShownReservoir) {
  // Fields untouched since start-up: they show 100 and 80, the data set's
  // defaults. What is shown is what is written.
  const double runoff[] = {1.4, 1.2, 4.1, 4.8, 3.2, 3.3, 2.9, 2.1, 1.8, 5.2, 4.4, 3.0};
  const double rain[] = {0, 1.3, 20.4, 0.6, 0, 7.7, 0.2, 0, 0, 25, 3, 0};
  Widget<QLineEdit>(*form, "NrOfDataEdit")->setText("12");
  Widget<TStringGrid>(*form, "StringGrid1")->SetRowCount(12);
  form->Input().BaseCount = 12;
  d().NrOfData = 12;
  for (int r = 0; r < 12; ++r) {
    TypeCell(0, r, QString::number(r + 1));
    TypeCell(1, r, QString::number(rain[r]));
    TypeCell(2, r, "1.5");
    TypeCell(3, r, QString::number(runoff[r]));
  }
  Widget<QLineEdit>(*form, "Title1Edit")->setText("Typed catchment");
  const string saved = directory.File("fresh.inp");
  SaveAs(saved);
  ASSERT_TRUE(Exists(directory.File("fresh.out"))) << ::testing::PrintToString(dialogs.messages);
  const vector<string> lines = FileLines(saved);
  EXPECT_EQ(lines[3], "Typed catchment");
  EXPECT_EQ(lines[7], " Maximum dead storage:   100.00");
  EXPECT_EQ(lines[8], " Initial dead storage:    80.00");
  EXPECT_EQ(lines[14], "    1         1.00  0.0E+0000       1.50       1.40");
  EXPECT_EQ(d().MaxStorage, 100);
  EXPECT_EQ(d().InitStorage, 80);
}

TEST_F(RainFormRun, DrainagePredictionRewritesItsParameterFile) {
  OpenInput(CopyExample("hupsel_h_dec2012_pred_drain.inp", true));
  const string saved = directory.File("drain2.inp");
  SaveAs(saved);
  EXPECT_TRUE(Exists(directory.File("drain2.out")));
  EXPECT_EQ(ReadFileBytes(directory.File("drain2.par")),
            ReadFileBytes(directory.File("hupsel_h_dec2012_pred_drain.par")));
  EXPECT_EQ(FileLines(saved)[1], " Prediction drainage");
  EXPECT_EQ(Widget<QRadioButton>(*form, "RadioButton4")->text(), "Watertable in time");
}

TEST_F(RainFormRun, EmptyTimeCellIsClosedUp) {
  TypePrediction(20);
  Widget<TStringGrid>(*form, "StringGrid1")->SetCells(0, 4, "");
  const QString sixth = Cell(1, 5);
  const string saved = directory.File("gap.inp");
  SaveAs(saved);
  const vector<string> records = Records(saved, 20);
  ASSERT_EQ(records.size(), 19u);
  EXPECT_EQ(records[4].substr(0, 5), "    5");
  EXPECT_EQ(records[4].substr(6, 12), "        6.00");
  EXPECT_EQ(records[18].substr(0, 5), "   19");
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), "19");
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 19);
  EXPECT_EQ(Cell(0, 4), "6");
  EXPECT_EQ(Cell(1, 4), sixth);
  EXPECT_EQ(d().NrOfData, 19);

  // A second save writes what the grid shows, not the row hidden below it.
  ShowTab(form->InputTabSheet);
  SaveAs(directory.File("again.inp"));
  EXPECT_EQ(Records(directory.File("again.inp"), 20), records);
}

TEST_F(RainFormRun, PastedRowsTheCountAndTheFileAgree) {
  // Three pasted rows, not keeping the earlier count: the minimum of 12 rows
  // shows in the grid and in the count alike, and Save/Run writes them.
  TypePrediction(15);
  dialogs.answers = {false};
  form->Input().StringGrid1SetEditText(0, 0, "1\t2.5\t0.1\r\n2\t0\t0.2\r\n3\t4\t0.3\r\n");
  Settle();
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 12);
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), "12");
  for (int r = 3; r < 12; ++r)
    Widget<TStringGrid>(*form, "StringGrid1")->SetCells(0, r, QString::number(r + 1));
  const string saved = directory.File("pasted.inp");
  SaveAs(saved);
  EXPECT_EQ(Records(saved, 20).size(), 12u);
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), "12");
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 12);
}

TEST_F(RainFormRun, WindowPaintsWhileTheRunWorks) {
  // Work the event loop has waiting (here a timer) is done during the run,
  // with the progress memo up, not only after it.
  TypePrediction(12);
  bool duringRun = false;
  QTimer::singleShot(0, form.get(),
                     [&] { duringRun = Widget<QPlainTextEdit>(*form, "WaitMemo")->isVisible(); });
  SaveAs(directory.File("painted.inp"));
  EXPECT_TRUE(Exists(directory.File("painted.out")));
  EXPECT_TRUE(duringRun);
}

TEST_F(RainFormRun, OverwriteAnsweredNoWritesNothing) {
  const string saved = directory.File("keep.inp");
  WriteFileBytes(saved, "precious\r\n");
  TypePrediction(12);
  dialogs.answers = {false};
  SaveAs(saved);
  EXPECT_EQ(dialogs.questions, vector<string>{"The file already exists, overwrite?"});
  EXPECT_EQ(dialogs.messages, vector<string>{kNotSaved});
  EXPECT_EQ(ReadFileBytes(saved), "precious\r\n");
  EXPECT_FALSE(Exists(directory.File("keep.out")));

  // Yes overwrites.
  dialogs.messages.clear();
  dialogs.answers = {true};
  SaveAs(saved);
  EXPECT_NE(ReadFileBytes(saved), "precious\r\n");
  EXPECT_TRUE(Exists(directory.File("keep.out")));

  // Cancelling the dialog.
  dialogs.messages.clear();
  ShowTab(form->InputTabSheet);
  Cancel();
  form->InputSaveAction->trigger();
  EXPECT_EQ(dialogs.messages, vector<string>{kNotSaved});
  EXPECT_TRUE(form->SaveAborted);
}

TEST_F(RainFormRun, InputErrorsWriteNothing) {
  struct Case {
    const char* what;
    int column;
    int row;
    const char* text;
    string message;
  };
  const Case cases[] = {
      {"equal times", 0, 3, "3",
       string(kInputErrors) +
           " (row 4, column 1 \"Time\": \"3\" does not increase (row 3: \"3\"))"},
      {"time going back", 0, 7, "2",
       string(kInputErrors) +
           " (row 8, column 1 \"Time\": \"2\" does not increase (row 7: \"7\"))"},
      {"negative rain", 1, 2, "-0.5",
       string(kInputErrors) + " (row 3, column 2 \"Rain\": \"-0.5\" is negative)"},
      {"rain not a number", 1, 2, "1x", kNotAllReal + " (row 3, column 2 \"Rain\": \"1x\")"},
      {"escape missing in a prediction", 2, 5, "",
       kNotAllReal + " (row 6, column 3 \"Max. escape rate\": empty)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TypePrediction(12);
    Widget<TStringGrid>(*form, "StringGrid1")->SetCells(c.column, c.row, c.text);
    const QString shown = Cell(c.column, c.row);
    dialogs.messages.clear();
    const string saved = directory.File(string("bad") + c.what + ".inp");
    SaveAs(saved);
    EXPECT_EQ(dialogs.messages, vector<string>{c.message});
    // The grid is checked before the Save dialog would ask for a name.
    EXPECT_EQ(files.answers.size(), 1u);
    files.answers.clear();
    EXPECT_FALSE(Exists(saved));
    EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 12);
    EXPECT_EQ(Cell(c.column, c.row), shown);
    EXPECT_EQ(d().NrOfData, 12);
  }

  // A negative escape rate is allowed.
  TypePrediction(12);
  Widget<TStringGrid>(*form, "StringGrid1")->SetCells(2, 4, "-0.2");
  dialogs.messages.clear();
  SaveAs(directory.File("seepage.inp"));
  EXPECT_TRUE(Exists(directory.File("seepage.out")));
}

TEST_F(RainFormRun, NegativeRunoffInAnAnalysis) {
  OpenInput(CopyExample("spotpy_d_flood2013_12d.inp"));
  ShowTab(form->InputTabSheet);
  Widget<TStringGrid>(*form, "StringGrid1")->SetCells(3, 6, "-1");
  SaveAs(directory.File("negative.inp"));
  EXPECT_EQ(dialogs.messages, vector<string>{string(kInputErrors) +
                                             " (row 7, column 4 \"Runoff\": \"-1\" is negative)"});
  EXPECT_FALSE(Exists(directory.File("negative.inp")));
}

TEST_F(RainFormRun, UnreadableFieldsStopBeforeWriting) {
  TypePrediction(12);
  Widget<QLineEdit>(*form, "A1coeffEdit")->setText("missing");
  SaveAs(directory.File("alpha.inp"));
  EXPECT_EQ(dialogs.messages,
            vector<string>{"The A1 coefficient is not a valid real\n" + string(kNotSaved)});
  EXPECT_FALSE(Exists(directory.File("alpha.inp")));

  Widget<QLineEdit>(*form, "A1coeffEdit")->setText("0.05");
  Widget<QLineEdit>(*form, "NrOfDataEdit")->setText("twelve");
  dialogs.messages.clear();
  SaveAs(directory.File("count.inp"));
  EXPECT_EQ(dialogs.messages,
            vector<string>{"The number of data is not a valid integer\n" + string(kNotSaved)});
  EXPECT_FALSE(Exists(directory.File("count.inp")));

  // A reservoir field that its check rejects stops the save as it is shown.
  Widget<QLineEdit>(*form, "NrOfDataEdit")->setText("12");
  Widget<QLineEdit>(*form, "InitStorEdit")->setText("-3");
  dialogs.messages.clear();
  SaveAs(directory.File("storage.inp"));
  EXPECT_EQ(dialogs.messages,
            vector<string>{"The initial storage must be >= 0\n" + string(kNotSaved)});
  EXPECT_EQ(Widget<QLineEdit>(*form, "InitStorEdit")->text(), "-3");
  EXPECT_FALSE(Exists(directory.File("storage.inp")));
  Widget<QLineEdit>(*form, "InitStorEdit")->setText("0");
  files.answers.clear();
  SaveAs(directory.File("storage.inp"));
  EXPECT_EQ(FileLines(directory.File("storage.inp"))[8], " Initial dead storage:  0.0E+0000");
}

TEST_F(RainFormRun, ClearAllThenTypedRowsOnly) {
  OpenInput(CopyExample("hupsel_h_dec2012_pred_runoff.inp"));
  ShowTab(form->InputTabSheet);
  ASSERT_GT(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 15);
  form->Input().ClearButtonClick();
  for (int r = 0; r < 15; ++r) {
    Widget<TStringGrid>(*form, "StringGrid1")->SetCells(0, r, QString::number(r + 1));
    Widget<TStringGrid>(*form, "StringGrid1")->SetCells(1, r, "1");
  }
  Widget<QLineEdit>(*form, "MaxStorEdit")->setText("40");
  Widget<QLineEdit>(*form, "InitStorEdit")->setText("35");
  Widget<QLineEdit>(*form, "A1coeffEdit")->setText("0.05");
  Widget<QLineEdit>(*form, "B1valueEdit")->setText("0.0075");
  Widget<QLineEdit>(*form, "InitRunEdit")->setText("0.02");
  Widget<QLineEdit>(*form, "InitLevelEdit")->setText("0");
  const string saved = directory.File("cleared.inp");
  SaveAs(saved);
  EXPECT_EQ(Records(saved, 20).size(), 15u);
  EXPECT_EQ(FileLines(saved)[13], " Effective porosity (%) :    5.00");
}

// ---------------------------------------------------------------------------
// Output tab

TEST_F(RainFormRun, OpenAResultsFile) {
  const string results = directory.File("some.out");
  WriteFileBytes(results, CrLf({"first line", "  second line", "", "last"}));
  ShowTab(form->OutputTabSheet);
  form->Graphics().SetColourGraph(false);
  Choose(results);
  QTest::mouseClick(Widget<QPushButton>(*form, "SeeOutputButton"), Qt::LeftButton);
  EXPECT_EQ(files.runs.back().Name, "OutputOpenDialog");
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(Widget<QPlainTextEdit>(*form, "OutputMemo")->toPlainText(),
            "first line\n  second line\n\nlast");
  EXPECT_TRUE(Widget<QPushButton>(*form, "ViewGraphButton")->isVisible());
  EXPECT_TRUE(form->OutputShown);
  EXPECT_TRUE(form->Graphics().ColourGraph());
  EXPECT_EQ(d().FileName, results);
  EXPECT_EQ(d().OutFileName, results);
  EXPECT_EQ(form->PageControl1->currentWidget(), form->OutputTabSheet);
  ShowTab(form->IntroTabSheet);
  ShowTab(form->OutputTabSheet);
  EXPECT_TRUE(Widget<QPushButton>(*form, "ViewGraphButton")->isVisible());

  // Cancelled: nothing changes.
  Cancel();
  form->OutputOpenAction->trigger();
  EXPECT_EQ(dialogs.messages, vector<string>{"No output file selected"});
  EXPECT_EQ(Widget<QPlainTextEdit>(*form, "OutputMemo")->toPlainText(),
            "first line\n  second line\n\nlast");

  // A missing file: the message, and the lines loaded before.
  dialogs.messages.clear();
  Choose(directory.File("gone.out"));
  form->OutputOpenAction->trigger();
  EXPECT_EQ(dialogs.messages, vector<string>{"File does not exist, please select another one,"});
  EXPECT_EQ(Widget<QPlainTextEdit>(*form, "OutputMemo")->toPlainText(),
            "first line\n  second line\n\nlast");
}

}  // namespace
