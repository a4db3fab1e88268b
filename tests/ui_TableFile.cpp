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

  // Export table… after the run writes the run's own table: dated, at full
  // precision, with the titles, parameters and measures above it.
  ShowTab(form->OutputTabSheet);
  ASSERT_TRUE(form->OutputShown);
  const string csv = directory.File("spring_results.csv");
  Choose(csv);
  QTest::mouseClick(Widget<QPushButton>(*form, "ExportTableButton"), Qt::LeftButton);
  EXPECT_EQ(files.runs.back().Name, "TableExportDialog");
  const vector<string> full = LinesWithout(csv, {});
  ASSERT_EQ(full.size(), 8u + 1u + 91u);
  EXPECT_EQ(full[1], "# days since 2013-04-01, depths in mm");
  EXPECT_EQ(full[8].substr(0, 34), "serial,start date,time [d],rain [m");
  EXPECT_EQ(full[9].substr(0, 15), "1,2013-04-01,1,");
  EXPECT_EQ(full[99].substr(0, 17), "91,2013-06-30,91,");
  // From a results file opened, the table it shows, as it shows it.
  Choose(directory.File("spring.out"));
  form->OutputOpenAction->trigger();
  Settle();
  Choose(csv);
  dialogs.answers.push_back(true);
  form->TableExportAction->trigger();
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

TEST_F(RainFormTable, PredictionTableTakesTheEscapeRateTyped) {
  Widget<QComboBox>(*form, "OptionComboBox")->setCurrentIndex(1);
  Settle();
  TypeField(Widget<QLineEdit>(*form, "EscapeEdit"), "0,25");
  string text = "Date;Rain [mm/d]\r\n";
  for (int day = 1; day <= 14; ++day) {
    text += std::to_string(day) + ".03.2016;" + std::to_string(day % 3) + ",5\r\n";
  }
  WriteFileBytes(directory.File("march.csv"), text);
  dialogs.messages.clear();
  files.importScript = [](TImportDialog& dialog) { dialog.EscapeEdit->setText("0.25"); };
  Import(directory.File("march.csv"));
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
  // The dialog showed why; the window has nothing to say.
  EXPECT_TRUE(dialogs.messages.empty());
  const string refusal = "Not imported:\n" + ReadTableFile(directory.File("gap.csv"), true).Message;
  EXPECT_EQ(files.importReport.substr(0, refusal.size()), refusal);
  EXPECT_NE(files.importReport.find("Row 8, column 2 \"rain\": the value is missing"),
            string::npos);
  EXPECT_EQ(Column(1), rain);
  EXPECT_EQ(Widget<QLineEdit>(*form, "Title2Edit")->text(), title);
  EXPECT_EQ(d().NrOfData, 12);
  EXPECT_NE(d().FileName.find("spotpy_d_flood2013_12d.inp"), string::npos);

  // Without results shown there is nothing to export.
  ShowTab(form->OutputTabSheet);
  EXPECT_FALSE(form->TableExportAction->isEnabled());
}

TEST_F(RainFormTable, TheEscapeRateIsTypedNeverTakenFromAnEarlierFile) {
  OpenInput(CopyExample("spotpy_d_flood2013_12d.inp"));
  Settle();
  ASSERT_EQ(Widget<QLineEdit>(*form, "EscapeEdit")->text(), "4.19");
  string text = "date,rain,runoff\n";
  for (int day = 10; day <= 23; ++day) text += "2013-05-" + std::to_string(day) + ",2,1\n";
  WriteFileBytes(directory.File("dry.csv"), text);
  const vector<QString> rain = Column(1);
  dialogs.messages.clear();
  // Nothing typed: nothing to import, and the dialog starts empty.
  string shown = "?";
  files.importScript = [&](TImportDialog& dialog) {
    shown = dialog.EscapeEdit->text().toStdString();
  };
  Import(directory.File("dry.csv"));
  EXPECT_EQ(shown, "");
  EXPECT_NE(files.importReport.find("type the escape rate of every record"), string::npos);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(Column(1), rain);
  // The rate typed is every record's and the header's; a negative one
  // (water added) is taken as the input file takes it.
  for (const double rate : {0.5, -0.25}) {
    files.importScript = [&](TImportDialog& dialog) {
      dialog.EscapeEdit->setText(QString::fromStdString(ShortestText(rate)));
    };
    Import(directory.File("dry.csv"));
    EXPECT_EQ(d().MaxEscape, rate);
    EXPECT_NE(dialogs.messages.back().find("escape: " + ShortestText(rate) + " mm per time unit"),
              string::npos);
    EXPECT_EQ(Column(2), vector<QString>(14, Widget<QLineEdit>(*form, "EscapeEdit")->text()));
  }
  // With an escape column the header takes the table's largest rate, not
  // the field's, and there is nothing to type.
  text = "date,rain,pet,runoff\n";
  for (int day = 10; day <= 23; ++day) {
    char pet[16];
    std::snprintf(pet, sizeof pet, "%.2f", (day - 8) / 100.0);
    text += "2013-05-" + std::to_string(day) + ",2," + pet + ",1\n";
  }
  WriteFileBytes(directory.File("wet.csv"), text);
  bool typing = true;
  files.importScript = [&](TImportDialog& dialog) { typing = dialog.EscapeEdit->isEnabled(); };
  Import(directory.File("wet.csv"));
  EXPECT_FALSE(typing);
  EXPECT_EQ(d().MaxEscape, 0.15);
  EXPECT_EQ(Widget<QLineEdit>(*form, "EscapeEdit")->text(), "0.15");
}

TEST_F(RainFormTable, TheDialogSettlesTheDateOrderAndTheArea) {
  string text = "Date,Rain,PET,Q\n";
  for (int hour = 0; hour < 12; ++hour)
    text += "5/6/2012 " + std::to_string(hour) + ":00,1,0.1,0.5\n";
  WriteFileBytes(directory.File("order.csv"), text);
  files.importScript = [](TImportDialog& dialog) { dialog.DateOrderBox->setCurrentIndex(2); };
  Import(directory.File("order.csv"));
  EXPECT_EQ(Widget<QLineEdit>(*form, "Title2Edit")->text(),
            "hours since 2012-05-06 00:00, depths in mm");
  ASSERT_FALSE(dialogs.messages.empty());
  EXPECT_NE(dialogs.messages.back().find("month first (MM/DD/YYYY) as asked"), string::npos);
  // A volume rate needs the catchment area, which the dialog's field gives.
  string flow = "Date,Rain,PET,Q [m3/s]\n";
  for (int day = 10; day <= 23; ++day) flow += "2013-05-" + std::to_string(day) + ",1,0.1,0.5\n";
  WriteFileBytes(directory.File("flow.csv"), flow);
  bool areaWanted = false;
  files.importScript = [&](TImportDialog& dialog) {
    areaWanted = dialog.AreaEdit->isEnabled();
    dialog.AreaEdit->setText("8.64");
  };
  Import(directory.File("flow.csv"));
  EXPECT_TRUE(areaWanted);
  // 0.5 m3/s a day over 8.64 km2 is 5 mm.
  EXPECT_EQ(Column(3), vector<QString>(14, "5"));
  // A line end in the file's name does not reach the title line.
  const string odd = directory.File("storm\nmay.csv");
  WriteFileBytes(odd, ReadFileBytes(directory.File("order.csv")));
  files.importScript = [](TImportDialog& dialog) { dialog.DateOrderBox->setCurrentIndex(1); };
  Import(odd);
  EXPECT_EQ(d().Title1, "Imported from storm may.csv");
  EXPECT_NE(dialogs.messages.back().find(RainFormTexts::kTableTitleBlanks), string::npos);
}

}  // namespace
