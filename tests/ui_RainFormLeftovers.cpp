// What the main window shows is what it holds: nothing of an earlier file,
// a cleared tab or a field the user cannot see reaches a file or a field.
#include <QTest>

#include "TextFile.h"
#include "UAlfaForm.h"
#include "ui_RainFormSupport.h"

namespace {

using std::string;
using std::vector;

const char kFillRunoff[] = "Please enter the measured runoff of each record in the Runoff column.";

string Line(const string& path, std::size_t index) {
  const string bytes = ReadFileBytes(path);
  std::size_t start = 0;
  for (std::size_t i = 0; i < index; ++i) start = bytes.find("\r\n", start) + 2;
  return bytes.substr(start, bytes.find("\r\n", start) - start);
}

class RainFormLeftovers : public RainFormTest {
 protected:
  void SetUp() override {
    RainFormTest::SetUp();
    ShowTab(form->InputTabSheet);
  }
  void Switch(int item) {
    Widget<QComboBox>(*form, "OptionComboBox")->setCurrentIndex(item);
    Settle();
  }
  void SaveAs(const string& fileName) {
    Choose(fileName);
    form->InputSaveAction->trigger();
  }
  // The drainage example opened, with the real calculator beside the window.
  void OpenDrainageExample() {
    calculator = std::make_unique<TAlfaForm>(d(), &dialogs, form.get());
    form->SetCompanions(&finish, &help, &comment, calculator.get());
    OpenInput(CopyExample("hupsel_h_dec2012_pred_drain.inp", true));
    ASSERT_TRUE(calculator->isVisible());
  }
  // Rows of typed records (and, for an analysis, runoff) with the fields a
  // save needs.
  void TypeDataSet(int rows) {
    for (int r = 0; r < rows; ++r) {
      Widget<TStringGrid>(*form, "StringGrid1")->SetCells(0, r, QString::number(r + 1));
      Widget<TStringGrid>(*form, "StringGrid1")->SetCells(1, r, r % 3 == 0 ? "6" : "0.5");
      Widget<TStringGrid>(*form, "StringGrid1")->SetCells(2, r, "0.1");
      Widget<TStringGrid>(*form, "StringGrid1")->SetCells(3, r, QString::number(1 + r % 4));
    }
    form->Input().GridHasData = true;
    for (QLineEdit* edit :
         {Widget<QLineEdit>(*form, "MaxStorEdit"), Widget<QLineEdit>(*form, "InitStorEdit")})
      edit->setText("30");
    for (QLineEdit* edit :
         {Widget<QLineEdit>(*form, "A1coeffEdit"), Widget<QLineEdit>(*form, "B1valueEdit"),
          Widget<QLineEdit>(*form, "InitRunEdit"), Widget<QLineEdit>(*form, "InitLevelEdit")}) {
      edit->setText("0.05");
    }
  }

  QWidget finish, help, comment;
  std::unique_ptr<TAlfaForm> calculator;
};

TEST_F(RainFormLeftovers, AnotherFilesRunoffDoesNotComeBack) {
  OpenInput(CopyExample("spotpy_d_flood2013_12d.inp"));
  const string prediction = CopyExample("hupsel_h_dec2012_pred_runoff.inp");
  CopyExample("hupsel_h_dec2012_pred_runoff.out");
  OpenInput(prediction);
  dialogs.messages.clear();
  Switch(0);
  // The runoff column is empty of data, and the user is asked for it rather
  // than told about the prediction's results.
  EXPECT_EQ(Column(3), vector<QString>(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), "0"));
  EXPECT_EQ(dialogs.messages, vector<string>{kFillRunoff});
}

TEST_F(RainFormLeftovers, ClearAllLeavesNothingOfTheOldDataSet) {
  OpenDrainageExample();
  QTest::mouseClick(Widget<QPushButton>(*form, "ClearButton"), Qt::LeftButton);
  EXPECT_FALSE(calculator->isVisible());
  EXPECT_EQ(calculator->Edit1->text(), "");
  EXPECT_FALSE(Widget<QLineEdit>(*form, "FileNameEdit")->isVisible());
  EXPECT_EQ(d().FileName, form->StartDir);

  // Neither a larger count nor an option switch brings the old records or
  // parameters back.
  TypeField(Widget<QLineEdit>(*form, "NrOfDataEdit"), "20");
  Switch(0);
  for (int c = 0; c < 4; ++c) EXPECT_EQ(Column(c), vector<QString>(20, "0")) << c;
  EXPECT_EQ(Widget<QLineEdit>(*form, "MaxStorEdit")->text(), "0");
}

TEST_F(RainFormLeftovers, SaveAfterClearAllWritesOnlyWhatIsShown) {
  OpenDrainageExample();
  QTest::mouseClick(Widget<QPushButton>(*form, "ClearButton"), Qt::LeftButton);
  TypeDataSet(15);
  const string saved = directory.File("typed.inp");
  SaveAs(saved);
  ASSERT_TRUE(std::filesystem::exists(saved)) << ::testing::PrintToString(dialogs.messages);
  EXPECT_EQ(Line(saved, 1), " Prediction runoff");
  EXPECT_EQ(Line(saved, 9), " Max.escape/time unit:  0.0E+0000");
  EXPECT_FALSE(std::filesystem::exists(directory.File("typed.par")));
}

TEST_F(RainFormLeftovers, SaveChecksEveryShownFieldFirst) {
  struct Case {
    const char* what;
    int option;
    std::vector<std::pair<QLineEdit*, const char*>> fields;
    const char* message;
  };
  const Case cases[] = {
      {"reservoir emptied by Clear all",
       0,
       {},
       "The maximum storage is not a valid real\nThe initial storage is not a valid real\n"
       "The input data were not saved"},
      {"prediction fields",
       1,
       {{Widget<QLineEdit>(*form, "MaxStorEdit"), "30"},
        {Widget<QLineEdit>(*form, "InitStorEdit"), "30"},
        {Widget<QLineEdit>(*form, "InitLevelEdit"), "-1"},
        {Widget<QLineEdit>(*form, "A1coeffEdit"), "missing"},
        {Widget<QLineEdit>(*form, "B1valueEdit"), "missing"},
        {Widget<QLineEdit>(*form, "NrOfDataEdit"), "twelve"}},
       "The number of data is not a valid integer\nThe initial level must be >= 0\n"
       "The A1 coefficient is not a valid real\nThe F value is not a valid real\n"
       "The input data were not saved"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Switch(c.option);
    QTest::mouseClick(Widget<QPushButton>(*form, "ClearButton"), Qt::LeftButton);
    TypeDataSet(15);
    Widget<QLineEdit>(*form, "MaxStorEdit")->clear();
    Widget<QLineEdit>(*form, "InitStorEdit")->clear();
    for (const auto& [edit, text] : c.fields) edit->setText(text);
    dialogs.messages.clear();
    files.runs.clear();
    SaveAs(directory.File("checked.inp"));
    // One message, and no file dialog to go through first.
    EXPECT_EQ(dialogs.messages, vector<string>{c.message});
    EXPECT_TRUE(files.runs.empty());
    files.answers.clear();
  }
}

TEST_F(RainFormLeftovers, FileFieldFollowsSaveRun) {
  // Typed data saved, then an opened file saved under a new name.
  TypeDataSet(15);
  const string typed = directory.File("typed.inp");
  SaveAs(typed);
  ShowTab(form->InputTabSheet);
  EXPECT_TRUE(Widget<QLineEdit>(*form, "FileNameEdit")->isVisible());
  EXPECT_EQ(Widget<QLineEdit>(*form, "FileNameEdit")->text().toStdString(), typed);

  OpenInput(CopyExample("spotpy_d_flood2013_12d.inp"));
  const string renamed = directory.File("renamed.inp");
  SaveAs(renamed);
  EXPECT_EQ(Widget<QLineEdit>(*form, "FileNameEdit")->text().toStdString(), renamed);
}

TEST_F(RainFormLeftovers, ParameterFileOnlyBesideADrainagePrediction) {
  OpenDrainageExample();
  Switch(0);
  EXPECT_FALSE(calculator->isVisible());
  for (int r = 0; r < Widget<TStringGrid>(*form, "StringGrid1")->RowCount(); ++r)
    Widget<TStringGrid>(*form, "StringGrid1")->SetCells(3, r, "1");
  const string analysis = directory.File("analysis.inp");
  SaveAs(analysis);
  ASSERT_TRUE(std::filesystem::exists(analysis));
  EXPECT_FALSE(std::filesystem::exists(directory.File("analysis.par")));

  // A parameter file lying beside an analysis does not bring the calculator
  // up over the analysis layout.
  std::filesystem::copy_file(directory.File("hupsel_h_dec2012_pred_drain.par"),
                             directory.File("analysis.par"),
                             std::filesystem::copy_options::overwrite_existing);
  OpenInput(analysis);
  ShowTab(form->OutputTabSheet);
  ShowTab(form->InputTabSheet);
  EXPECT_FALSE(calculator->isVisible());
}

TEST_F(RainFormLeftovers, ReservoirFieldsAndDataSetAgreeFromTheStart) {
  const auto agree = [this] {
    EXPECT_EQ(Widget<QLineEdit>(*form, "MaxStorEdit")->text().toStdString(),
              ShortestText(d().MaxStorage));
    EXPECT_EQ(Widget<QLineEdit>(*form, "InitStorEdit")->text().toStdString(),
              ShortestText(d().InitStorage));
    EXPECT_EQ(Widget<QLineEdit>(*form, "EscapeEdit")->text().toStdString(),
              ShortestText(d().MaxEscape));
  };
  agree();
  // A larger count refills the fields from the data set: they stay as shown.
  TypeCell(1, 0, "2");
  TypeField(Widget<QLineEdit>(*form, "NrOfDataEdit"), "20");
  agree();
  EXPECT_EQ(Widget<QLineEdit>(*form, "MaxStorEdit")->text(), "100");
}

TEST_F(RainFormLeftovers, TypedAlphaOfAForeignFileStaysAfterSaving) {
  // The constant's line of another program variant: both alpha fields show
  // "missing" until the user types them.
  const string file = CopyExample("hupsel_h_dec2012_pred_drain.inp");
  string bytes = ReadFileBytes(file);
  bytes.replace(bytes.find(" Value of C is"), 3, " B ");
  WriteFileBytes(file, bytes);
  OpenInput(file);
  ASSERT_EQ(Widget<QLineEdit>(*form, "A1coeffEdit")->text(), "missing");
  Widget<QLineEdit>(*form, "A1coeffEdit")->setText("0.05");
  Widget<QLineEdit>(*form, "B1valueEdit")->setText("0.0075");
  SaveAs(directory.File("typed.inp"));
  ASSERT_TRUE(std::filesystem::exists(directory.File("typed.out")));
  ShowTab(form->InputTabSheet);
  Switch(0);
  Switch(1);
  EXPECT_EQ(Widget<QLineEdit>(*form, "A1coeffEdit")->text(), "0.05");
}

}  // namespace
