// File > Import table… into the Input tab's grid, and the Output tab's
// Export table…, with real widgets, files and runs.
#include <QMenu>
#include <QTest>

#include "TableFile.h"
#include "TextFile.h"
#include "ui_RainFormSupport.h"

namespace {

using std::string;
using std::vector;

// The lines of a CR LF file without the ones named (1-based).
vector<string> LinesWithout(const string& path, const vector<int>& skipped) {
  vector<string> kept;
  TTextReader in(ReadFileBytes(path));
  for (int line = 1; !in.Eof(); ++line) {
    string text = in.ReadLine();
    if (std::find(skipped.begin(), skipped.end(), line) == skipped.end()) kept.push_back(text);
  }
  return kept;
}

class RainFormTable : public RainFormTest {
 protected:
  void SetUp() override {
    RainFormTest::SetUp();
    ShowTab(form->InputTabSheet);
  }
  void Import(const string& table) {
    Choose(table);
    form->TableImportAction->trigger();
    Settle();
  }
};

TEST_F(RainFormTable, ImportShowsTheRecordsAndSaveRunWritesTheExampleInputFile) {
  // The menu item sits beside Open input.
  const QList<QAction*> items = form->FileMenu->actions();
  ASSERT_GE(items.indexOf(form->TableImportAction), 1);
  EXPECT_EQ(items[items.indexOf(form->TableImportAction) - 1], form->InputOpenAction);
  EXPECT_EQ(form->TableImportAction->text(), QString::fromUtf8("Import table…"));

  TypeField(Widget<QLineEdit>(*form, "MaxStorEdit"), "70");
  TypeField(Widget<QLineEdit>(*form, "InitStorEdit"), "64");
  TypeField(Widget<QLineEdit>(*form, "EscapeEdit"), "6.01");
  const string table = CopyExample("spotpy_d_spring2013.csv");
  Import(table);
  EXPECT_EQ(files.runs.back().Name, "TableImportDialog");
  // The report of what was read is the one message.
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0],
            "The table was read so:\n"
            "time: column 1 \"Date\", dates, day first (DD.MM.YYYY), step 1 day; times in days "
            "since 2013-04-01\n"
            "rain: column 2 \"rainfall [mm/d]\", mm/d, converted to mm per record\n"
            "escape: column 3 \"PET [mm/d]\", mm/d, converted to mm per day\n"
            "runoff: column 4 \"Discharge [mm/d]\", mm/d, converted to mm per record\n");
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), "91");
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 91);
  EXPECT_EQ((vector<QString>{Cell(0, 90), Cell(1, 90), Cell(2, 90), Cell(3, 0)}),
            (vector<QString>{"91", "0", "2.7", "0.788157857094784"}));
  EXPECT_EQ(Widget<QLineEdit>(*form, "Title2Edit")->text(), "days since 2013-04-01, depths in mm");
  EXPECT_EQ(Widget<QLineEdit>(*form, "MaxStorEdit")->text(), "70");
  EXPECT_EQ(Widget<QComboBox>(*form, "OptionComboBox")->currentIndex(), 0);

  // Save/Run as usual: the input file of the example, but for its titles and name.
  const string saved = directory.File("spring.inp");
  Choose(saved);
  form->InputSaveAction->trigger();
  Settle();
  EXPECT_EQ(LinesWithout(saved, {4, 5, 7}),
            LinesWithout(ExampleDataFile("spotpy_d_spring2013.inp"), {4, 5, 7}));
  EXPECT_EQ(LinesWithout(directory.File("spring.out"), {3, 4, 5}),
            LinesWithout(ExampleDataFile("spotpy_d_spring2013.out"), {3, 4, 5}));

  // Export table… on the Output tab writes the results table shown.
  ShowTab(form->OutputTabSheet);
  ASSERT_TRUE(form->OutputShown);
  const string csv = directory.File("spring_results.csv");
  Choose(csv);
  QTest::mouseClick(Widget<QPushButton>(*form, "ExportTableButton"), Qt::LeftButton);
  EXPECT_EQ(files.runs.back().Name, "TableExportDialog");
  string message;
  EXPECT_EQ(ReadFileBytes(csv),
            ResultsTableCsv(ReadFileBytes(directory.File("spring.out")), message));
  EXPECT_EQ(ReadFileBytes(csv).substr(0, 47), "serial,time [d],rain [mm/d],recharge [mm/d],mea");
  // An existing table is kept when the user says No.
  WriteFileBytes(csv, "mine");
  Choose(csv);
  dialogs.answers.push_back(false);
  form->TableExportAction->trigger();
  EXPECT_EQ(dialogs.questions.back(), "The file already exists, overwrite?");
  EXPECT_EQ(ReadFileBytes(csv), "mine");
}

TEST_F(RainFormTable, PredictionTableTakesTheEscapeRateAsked) {
  Widget<QComboBox>(*form, "OptionComboBox")->setCurrentIndex(1);
  Settle();
  TypeField(Widget<QLineEdit>(*form, "EscapeEdit"), "0,25");
  string text = "Date;Rain [mm/d]\r\n";
  for (int day = 1; day <= 14; ++day) {
    text += std::to_string(day) + ".03.2016;" + std::to_string(day % 3) + ",5\r\n";
  }
  WriteFileBytes(directory.File("march.csv"), text);
  dialogs.messages.clear();
  dialogs.numbers.push_back(0.25);
  Import(directory.File("march.csv"));
  EXPECT_EQ(dialogs.numberQuestions, vector<string>{RainFormTexts::kTableEscapeAsked});
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_NE(dialogs.messages[0].find("escape: no column"), string::npos);
  EXPECT_EQ(Widget<QComboBox>(*form, "OptionComboBox")->currentIndex(), 1);
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->ColCount(), 3);
  EXPECT_EQ((vector<QString>{Cell(0, 13), Cell(1, 13), Cell(2, 13)}),
            (vector<QString>{"14", "2.5", "0.25"}));
  EXPECT_FALSE(d().Analysis);
}

TEST_F(RainFormTable, RefusedTableShowsTheMessageAndChangesNothing) {
  OpenInput(CopyExample("spotpy_d_flood2013_12d.inp"));
  Settle();
  const vector<QString> rain = Column(1);
  const QString title = Widget<QLineEdit>(*form, "Title2Edit")->text();
  string text = "time,rain,runoff\n";
  for (int t = 1; t <= 12; ++t) text += std::to_string(t) + (t == 7 ? ",,1\n" : ",2,1\n");
  WriteFileBytes(directory.File("gap.csv"), text);
  dialogs.messages.clear();
  Import(directory.File("gap.csv"));
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0], ReadTableFile(directory.File("gap.csv"), true).Message);
  EXPECT_EQ(dialogs.messages[0].substr(0, 43), "Row 8, column 2 \"rain\": the value is missin");
  EXPECT_EQ(Column(1), rain);
  EXPECT_EQ(Widget<QLineEdit>(*form, "Title2Edit")->text(), title);
  EXPECT_EQ(d().NrOfData, 12);
  EXPECT_NE(d().FileName.find("spotpy_d_flood2013_12d.inp"), string::npos);

  // Without results shown there is nothing to export.
  ShowTab(form->OutputTabSheet);
  EXPECT_FALSE(form->TableExportAction->isEnabled());
}

TEST_F(RainFormTable, TheEscapeRateIsAskedNeverTakenFromAnEarlierFile) {
  OpenInput(CopyExample("spotpy_d_flood2013_12d.inp"));
  Settle();
  ASSERT_EQ(Widget<QLineEdit>(*form, "EscapeEdit")->text(), "4.19");
  string text = "date,rain,runoff\n";
  for (int day = 10; day <= 23; ++day) text += "2013-05-" + std::to_string(day) + ",2,1\n";
  WriteFileBytes(directory.File("dry.csv"), text);
  const vector<QString> rain = Column(1);
  dialogs.messages.clear();
  dialogs.numbers.push_back(std::nullopt);
  Import(directory.File("dry.csv"));
  EXPECT_EQ(dialogs.numberQuestions, vector<string>{RainFormTexts::kTableEscapeAsked});
  EXPECT_EQ(dialogs.messages, vector<string>{RainFormTexts::kTableEscapeNeeded});
  EXPECT_EQ(Column(1), rain);
  // The rate answered is every record's and the header's; a negative one
  // (water added) is taken as the input file takes it.
  for (const double rate : {0.5, -0.25}) {
    dialogs.numbers.push_back(rate);
    Import(directory.File("dry.csv"));
    EXPECT_EQ(d().MaxEscape, rate);
    EXPECT_NE(dialogs.messages.back().find("escape: " + ShortestText(rate) + " mm per time unit"),
              string::npos);
    EXPECT_EQ(Column(2), vector<QString>(14, Widget<QLineEdit>(*form, "EscapeEdit")->text()));
  }
  // With an escape column the header takes the table's largest rate, not
  // the field's.
  text = "date,rain,pet,runoff\n";
  for (int day = 10; day <= 23; ++day) {
    char pet[16];
    std::snprintf(pet, sizeof pet, "%.2f", (day - 8) / 100.0);
    text += "2013-05-" + std::to_string(day) + ",2," + pet + ",1\n";
  }
  WriteFileBytes(directory.File("wet.csv"), text);
  const std::size_t asked = dialogs.numberQuestions.size();
  Import(directory.File("wet.csv"));
  EXPECT_EQ(dialogs.numberQuestions.size(), asked);
  EXPECT_EQ(d().MaxEscape, 0.15);
  EXPECT_EQ(Widget<QLineEdit>(*form, "EscapeEdit")->text(), "0.15");
}

TEST_F(RainFormTable, TheWindowAsksTheDateOrderAndTheArea) {
  string text = "Date,Rain,PET,Q\n";
  for (int hour = 0; hour < 12; ++hour)
    text += "5/6/2012 " + std::to_string(hour) + ":00,1,0.1,0.5\n";
  WriteFileBytes(directory.File("order.csv"), text);
  dialogs.answers.push_back(false);
  Import(directory.File("order.csv"));
  EXPECT_EQ(dialogs.questions.back(), RainFormTexts::kTableDayFirst);
  EXPECT_EQ(Widget<QLineEdit>(*form, "Title2Edit")->text(),
            "hours since 2012-05-06 00:00, depths in mm");
  ASSERT_FALSE(dialogs.messages.empty());
  EXPECT_NE(dialogs.messages.back().find("month first (MM/DD/YYYY) as asked"), string::npos);
  // A volume rate needs the catchment area, which the window asks.
  string flow = "Date,Rain,PET,Q [m3/s]\n";
  for (int day = 10; day <= 23; ++day) flow += "2013-05-" + std::to_string(day) + ",1,0.1,0.5\n";
  WriteFileBytes(directory.File("flow.csv"), flow);
  dialogs.numbers.push_back(8.64);
  Import(directory.File("flow.csv"));
  EXPECT_EQ(dialogs.numberQuestions.back(), RainFormTexts::kTableAreaAsked);
  // 0.5 m3/s a day over 8.64 km2 is 5 mm.
  EXPECT_EQ(Column(3), vector<QString>(14, "5"));
  // A line end in the file's name does not reach the title line.
  const string odd = directory.File("storm\nmay.csv");
  WriteFileBytes(odd, ReadFileBytes(directory.File("order.csv")));
  dialogs.answers.push_back(true);
  Import(odd);
  EXPECT_EQ(d().Title1, "Imported from storm may.csv");
  EXPECT_NE(dialogs.messages.back().find(RainFormTexts::kTableTitleBlanks), string::npos);
}

}  // namespace
