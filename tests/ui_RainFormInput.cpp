// The Input tab: layouts, the option switch, the count and field checks,
// typing and pasting into the grid, Clear all.
#include <QClipboard>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "TextFile.h"
#include "ui_RainFormSupport.h"

namespace {

using std::vector;

class RainFormInput : public RainFormTest {
 protected:
  void SetUp() override {
    RainFormTest::SetUp();
    ShowTab(form->InputTabSheet);
  }
  // Pastes clipboard text into the current cell as the user does with Ctrl+V.
  void PasteWithKeys(int column, int row, const QString& text) {
    QApplication::clipboard()->setText(text);
    Widget<TStringGrid>(*form, "StringGrid1")->setFocus();
    Widget<TStringGrid>(*form, "StringGrid1")->setCurrentCell(row, column);
    QTest::keyClick(Widget<TStringGrid>(*form, "StringGrid1"), Qt::Key_V, Qt::ControlModifier);
    Settle();
  }
};

const QString kThreeLines = "1\t2.5\t0.1\r\n2\t0\t0.2\r\n3\t4\t0.3\r\n";

TEST_F(RainFormInput, OptionSwitchesLayouts) {
  Widget<QComboBox>(*form, "OptionComboBox")->setCurrentIndex(1);
  Settle();
  EXPECT_FALSE(d().Analysis);
  EXPECT_EQ(d().RunKind, " Pre");
  EXPECT_TRUE(form->Input().GridHasData);
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->ColCount(), 3);
  // The grid keeps its place and width; it reaches down to the bottom of
  // the tab.
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->geometry().topLeft(), QPoint(72, 198));
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->width(), 219);
  EXPECT_GE(Widget<TStringGrid>(*form, "StringGrid1")->height(), 330);
  EXPECT_EQ(Widget<QLabel>(*form, "EvapLabel")->x(), 204);
  EXPECT_EQ(Widget<QLabel>(*form, "StarLabel")->x(), 285);
  EXPECT_FALSE(Widget<QLabel>(*form, "RunoffLabel")->isVisible() ||
               Widget<QPlainTextEdit>(*form, "TryMemo")->isVisible() ||
               Widget<QLabel>(*form, "InputImage")->isVisible() ||
               Widget<QPlainTextEdit>(*form, "InfoMemo")->isVisible());
  EXPECT_TRUE(Widget<QGroupBox>(*form, "AlphaGroupBox")->isVisible() &&
              Widget<QGroupBox>(*form, "PredictGroupBox")->isVisible() &&
              Widget<QPushButton>(*form, "AlfaButton")->isVisible());
  EXPECT_EQ(Widget<QLabel>(*form, "AlphaLabel")->text(), "Alpha=B*discharge+F");
  // A fresh data set has porosity 0, shown as 10; the reservoir fields now
  // show the data set's values.
  EXPECT_EQ(d().Porosity, 10);
  EXPECT_EQ(Widget<QLineEdit>(*form, "PorosityEdit")->text(), "10");
  EXPECT_EQ(Widget<QLineEdit>(*form, "MaxStorEdit")->text(), "100");

  Widget<QComboBox>(*form, "OptionComboBox")->setCurrentIndex(0);
  Settle();
  EXPECT_EQ(d().RunKind, " Ana");
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->ColCount(), 4);
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->x(), 150);
  EXPECT_EQ(Widget<QLabel>(*form, "StarLabel")->x(), 432);
  EXPECT_TRUE(Widget<QLabel>(*form, "RunoffLabel")->isVisible() &&
              Widget<QPlainTextEdit>(*form, "TryMemo")->isVisible());
  EXPECT_FALSE(Widget<QGroupBox>(*form, "AlphaGroupBox")->isVisible() ||
               Widget<QPushButton>(*form, "AlfaButton")->isVisible());
}

TEST_F(RainFormInput, TypedValuesSurviveAnOptionSwitch) {
  TypeCell(0, 0, "1");
  TypeCell(1, 0, "2.5");
  TypeCell(2, 1, "0.3");
  TypeCell(3, 2, "7");
  EXPECT_TRUE(form->Input().GridHasData);
  EXPECT_EQ(Cell(1, 0), "2.5");

  Widget<QComboBox>(*form, "OptionComboBox")->setCurrentIndex(1);
  Settle();
  EXPECT_EQ(Cell(0, 0), "1");
  EXPECT_EQ(Cell(1, 0), "2.5");
  EXPECT_EQ(Cell(2, 1), "0.3");
  Widget<QComboBox>(*form, "OptionComboBox")->setCurrentIndex(0);
  Settle();
  EXPECT_EQ(Cell(1, 0), "2.5");
  EXPECT_EQ(Cell(3, 2), "7");
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 15);
}

TEST_F(RainFormInput, CountChecks) {
  // After every check the field shows the rows the grid has, which are the
  // rows Save/Run writes.
  const std::string maximum =
      " The maximum number of data is 1500. Not enough? Contact the author.";
  struct Case {
    const char* typed;
    std::string message;
    int rows;
  };
  const Case cases[] = {
      {"11", " The minimum number of data is 12", 15},
      {"abc", "The number of data is not a valid integer", 15},
      // 1500 is accepted: more rows of zeros, with the message about adding data.
      {"1500", " Add data in the last cells at the end of the column", 1500},
      {"1501", maximum, 1500},
      {"99999999999", maximum, 1500},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    dialogs.messages.clear();
    TypeField(Widget<QLineEdit>(*form, "NrOfDataEdit"), c.typed);
    EXPECT_EQ(dialogs.messages, vector<std::string>{c.message});
    EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), QString::number(c.rows));
    EXPECT_EQ(d().NrOfData, c.rows);
    EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), c.rows);
  }
}

TEST_F(RainFormInput, CountAboveTheMaximumRaisesTheGridToIt) {
  dialogs.messages.clear();
  TypeField(Widget<QLineEdit>(*form, "NrOfDataEdit"), "2000");
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 1500);
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), "1500");
  EXPECT_EQ(Cell(1, 1499), "0");
}

TEST_F(RainFormInput, RaisingAndLoweringTheCount) {
  TypeCell(1, 3, "9");
  dialogs.messages.clear();
  TypeField(Widget<QLineEdit>(*form, "NrOfDataEdit"), "20");
  EXPECT_EQ(dialogs.messages,
            vector<std::string>{" Add data in the last cells at the end of the column"});
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 20);
  EXPECT_EQ(d().NrOfData, 20);
  EXPECT_EQ(form->Input().BaseCount, 20);
  for (int r = 15; r < 20; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(Cell(c, r), "0") << c << "," << r;
  }
  EXPECT_EQ(d().SerialNr[19], 20);
  // What was typed before stays.
  EXPECT_EQ(Cell(1, 3), "9");

  // Lowering the count drops the rows of zeros; a row with a value stays,
  // and the user is told how to remove it.
  dialogs.messages.clear();
  TypeCell(1, 17, "2");
  TypeField(Widget<QLineEdit>(*form, "NrOfDataEdit"), "16");
  EXPECT_EQ(dialogs.messages,
            vector<std::string>{" To remove data make the relevant data cells empty"});
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 18);
  EXPECT_EQ(d().NrOfData, 18);
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), "18");
}

TEST_F(RainFormInput, GridEditRunsTheCountCheckQuietly) {
  // While typing in the grid the count check only watches the limits.
  Widget<QLineEdit>(*form, "NrOfDataEdit")->setText("30");
  dialogs.messages.clear();
  TypeCell(0, 0, "5");
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 15);
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), "15");
  Widget<QLineEdit>(*form, "NrOfDataEdit")->setText("3");
  TypeCell(0, 1, "6");
  EXPECT_EQ(dialogs.messages, vector<std::string>{" The minimum number of data is 12"});
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), "15");
}

TEST_F(RainFormInput, ReservoirFieldChecks) {
  TypeField(Widget<QLineEdit>(*form, "MaxStorEdit"), "120.5");
  EXPECT_EQ(d().MaxStorage, 120.5);
  EXPECT_TRUE(dialogs.messages.empty());

  // A comma or a point give the same value, whatever the separator.
  TypeField(Widget<QLineEdit>(*form, "InitStorEdit"), "60,25");
  EXPECT_EQ(d().InitStorage, 60.25);
  CurrentDecimalSeparator = ',';
  form->StartDecimalSeparator = ',';
  TypeField(Widget<QLineEdit>(*form, "InitStorEdit"), "61.5");
  EXPECT_EQ(d().InitStorage, 61.5);
  TypeField(Widget<QLineEdit>(*form, "InitStorEdit"), "62,5");
  EXPECT_EQ(d().InitStorage, 62.5);
  EXPECT_TRUE(dialogs.messages.empty());
  CurrentDecimalSeparator = '.';
  form->StartDecimalSeparator = '.';

  // A rejected value resets the field, and the data set takes the reset value.
  TypeField(Widget<QLineEdit>(*form, "MaxStorEdit"), "-5");
  EXPECT_EQ(dialogs.messages, vector<std::string>{"The maximum storage must be >= 0"});
  EXPECT_EQ(Widget<QLineEdit>(*form, "MaxStorEdit")->text(), "0");
  EXPECT_EQ(d().MaxStorage, 0);

  dialogs.messages.clear();
  TypeField(Widget<QLineEdit>(*form, "InitStorEdit"), "abc");
  EXPECT_EQ(dialogs.messages, vector<std::string>{"The initial storage is not a valid real"});
  EXPECT_EQ(Widget<QLineEdit>(*form, "InitStorEdit")->text(), "0");
  EXPECT_EQ(d().InitStorage, 0);
}

TEST_F(RainFormInput, PredictionFieldChecks) {
  Widget<QComboBox>(*form, "OptionComboBox")->setCurrentIndex(1);
  Settle();
  struct Case {
    QLineEdit* edit;
    const char* typed;
    const char* message;  // empty: accepted
    const char* shown;
    double* target;
    double stored;
  };
  const Case cases[] = {
      {Widget<QLineEdit>(*form, "PorosityEdit"), "100", "", "100", &d().Porosity, 100},
      {Widget<QLineEdit>(*form, "PorosityEdit"), "100.5", "The porosity must be < 100%", " 5",
       &d().Porosity, 5},
      {Widget<QLineEdit>(*form, "PorosityEdit"), "x", "The porosity is not a valid real", "0",
       &d().Porosity, 0},
      {Widget<QLineEdit>(*form, "InitRunEdit"), "0,5", "", "0,5", &d().InitRunoff, 0.5},
      {Widget<QLineEdit>(*form, "InitRunEdit"), "-0.5", "The initial runoff must be >= 0", "0",
       &d().InitRunoff, 0},
      {Widget<QLineEdit>(*form, "InitLevelEdit"), "-2", "The initial level must be >= 0", "0",
       &d().InitLevel, 0},
      {Widget<QLineEdit>(*form, "InitLevelEdit"), "", "The initial level is not a valid real", "0",
       &d().InitLevel, 0},
      {Widget<QLineEdit>(*form, "A1coeffEdit"), "missing", "The A1 coefficient is not a valid real",
       "0", &d().Values.AlphaA, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.edit->objectName().toStdString()) + " " + c.typed);
    dialogs.messages.clear();
    *c.target = 77;
    TypeField(c.edit, c.typed);
    if (*c.message == 0) {
      EXPECT_TRUE(dialogs.messages.empty());
    } else {
      EXPECT_EQ(dialogs.messages, vector<std::string>{c.message});
    }
    EXPECT_EQ(c.edit->text(), c.shown);
    EXPECT_DOUBLE_EQ(*c.target, c.stored);
  }
}

TEST_F(RainFormInput, PasteThreeLinesAskingToKeepTheCount) {
  dialogs.answers = {false};
  PasteWithKeys(0, 0, kThreeLines);
  EXPECT_EQ(dialogs.questions,
            vector<std::string>{"The number of data is less than the original number. Do you "
                                "want to maintain the original number?"});
  // The count check after every grid change then finds fewer than 12: the
  // grid, the count and the records all go up to 12, the rows after the
  // pasted ones empty of data.
  EXPECT_EQ(dialogs.messages, vector<std::string>{" The minimum number of data is 12"});
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 12);
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), "12");
  EXPECT_EQ(d().NrOfData, 12);
  EXPECT_EQ(form->Input().BaseCount, 12);
  const vector<QString> zeros(9, "0");
  auto pasted = [&](vector<QString> three) {
    three.insert(three.end(), zeros.begin(), zeros.end());
    return three;
  };
  EXPECT_EQ(Column(0), pasted({"1", "2", "3"}));
  EXPECT_EQ(Column(1), pasted({"2.5", "0", "4"}));
  EXPECT_EQ(Column(2), pasted({"0.1", "0.2", "0.3"}));
  EXPECT_EQ(d().Time[2], 3);
  EXPECT_EQ(d().Rain[0], 2.5);
  EXPECT_EQ(d().EscRate[2], 0.3);
  EXPECT_TRUE(form->Input().GridHasData);
}

TEST_F(RainFormInput, PasteKeepingTheCount) {
  dialogs.answers = {true};
  PasteWithKeys(0, 0, kThreeLines);
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 15);
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), "15");
  EXPECT_EQ(Cell(0, 2), "3");
  EXPECT_EQ(Cell(0, 3), "0");
  EXPECT_EQ(form->Input().BaseCount, 15);
}

TEST_F(RainFormInput, PastedLineEnds) {
  // LF alone, CR alone, and a last line without its line end all end a row.
  const QString texts[] = {"1\t2\t3\n4\t5\t6\n7\t8\t9\n", "1\t2\t3\r4\t5\t6\r7\t8\t9\r",
                           "1\t2\t3\r\n4\t5\t6\r\n7\t8\t9"};
  for (const QString& text : texts) {
    SCOPED_TRACE(text.toStdString());
    dialogs.answers = {false};
    form->Input().BaseCount = 15;
    form->Input().StringGrid1SetEditText(0, 0, text);
    const vector<QString> first = Column(0);
    const vector<QString> third = Column(2);
    EXPECT_EQ(vector<QString>(first.begin(), first.begin() + 4),
              (vector<QString>{"1", "4", "7", "0"}));
    EXPECT_EQ(vector<QString>(third.begin(), third.begin() + 4),
              (vector<QString>{"3", "6", "9", "0"}));
  }
}

TEST_F(RainFormInput, PasteDropsWhatIsNoNumberAndStartsAtTheCell) {
  // Blanks, letters and the other separator vanish; an empty escape cell
  // becomes 0; rows above the start row stay and count.
  dialogs.answers = {false};
  form->Input().StringGrid1SetEditText(1, 12, "1 2a\t\r\n3,5\t-4\r\n");
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 14);
  EXPECT_EQ(Cell(1, 12), "12");
  EXPECT_EQ(Cell(2, 12), "0");
  EXPECT_EQ(Cell(1, 13), "35");
  EXPECT_EQ(Cell(2, 13), "-4");
  EXPECT_EQ(Cell(0, 0), "0");
  EXPECT_EQ(d().NrOfData, 14);
  EXPECT_EQ(d().Rain[13], 35);
}

TEST_F(RainFormInput, PastedTimeMustBeAnInteger) {
  dialogs.answers = {false};
  form->Input().StringGrid1SetEditText(0, 0, "1.5\t2\t3\r\n");
  EXPECT_EQ(
      dialogs.messages,
      vector<std::string>{"An insufficient number of data has been pasted more data are needed."});
  EXPECT_EQ(form->PageControl1->currentWidget(), form->InputTabSheet);

  // With a decimal comma the point is dropped: the time becomes 15.
  dialogs.messages.clear();
  CurrentDecimalSeparator = ',';
  form->StartDecimalSeparator = ',';
  dialogs.answers = {true};
  form->Input().StringGrid1SetEditText(0, 0, "1.5\t2\t3\r\n");
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(Cell(0, 0), "15");
  EXPECT_EQ(d().Time[0], 15);

  // An empty rain cell fails the paste.
  dialogs.answers = {true};
  form->Input().StringGrid1SetEditText(0, 0, "1\t\t3\r\n");
  EXPECT_EQ(
      dialogs.messages,
      vector<std::string>{"An insufficient number of data has been pasted more data are needed."});
}

TEST_F(RainFormInput, PasteInsideTheCellEditorAndFromTheMenus) {
  dialogs.answers = {false, false, false};
  // Ctrl+V while editing a cell.
  QApplication::clipboard()->setText(kThreeLines);
  TStringGrid* grid = Widget<TStringGrid>(*form, "StringGrid1");
  grid->setFocus();
  grid->setCurrentCell(0, 0);
  grid->editItem(grid->item(0, 0));
  auto* editor = qobject_cast<TGridCellEditor*>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr);
  editor->selectAll();
  QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
  Settle();
  Settle();
  EXPECT_EQ(grid->RowCount(), 12);
  EXPECT_EQ(Cell(1, 0), "2.5");
  EXPECT_EQ(Cell(1, 2), "4");

  // The Edit menu's Paste on a selected cell.
  QApplication::clipboard()->setText("5\t6\t7\r\n8\t9\t1\r\n");
  grid->setFocus();
  grid->setCurrentCell(0, 0);
  form->EditPaste1->trigger();
  EXPECT_EQ(Cell(0, 0), "5");
  EXPECT_EQ(Cell(0, 1), "8");
  EXPECT_EQ(Cell(0, 2), "0");

  // The cell's right-click menu.
  QApplication::clipboard()->setText("4\t4\t4\r\n");
  QTimer::singleShot(0, [] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    for (QAction* action : menu->actions()) {
      if (action->text() == "&Paste") action->trigger();
    }
    menu->close();
  });
  emit grid->customContextMenuRequested(grid->visualItemRect(grid->item(0, 0)).center());
  EXPECT_EQ(grid->RowCount(), 12);
  EXPECT_EQ(Cell(0, 0), "4");
  EXPECT_EQ(dialogs.questions.size(), 3u);
}

TEST_F(RainFormInput, CopyAndDeleteCells) {
  FillGrid({{"1", "2", "3", "4"}, {"5", "6", "7", "8"}});
  TStringGrid* grid = Widget<TStringGrid>(*form, "StringGrid1");
  grid->setFocus();
  grid->setRangeSelected(QTableWidgetSelectionRange(0, 1, 1, 2), true);
  grid->setCurrentCell(0, 1, QItemSelectionModel::NoUpdate);
  form->EditCopy1->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), "2\t3\n6\t7\n");
  form->EditDelete1->trigger();
  EXPECT_EQ(Cell(1, 0), "");
  EXPECT_EQ(Cell(2, 1), "");
  EXPECT_EQ(Cell(0, 1), "5");
  EXPECT_EQ(Cell(3, 0), "4");
}

TEST_F(RainFormInput, ClearAll) {
  FillGrid({{"1", "2", "3", "4"}});
  Widget<QLineEdit>(*form, "Title1Edit")->setText("t1");
  Widget<QLineEdit>(*form, "A1coeffEdit")->setText("0.5");
  Widget<QLineEdit>(*form, "NrOfDataEdit")->setText("40");
  d().MaxStorage = 33;
  dialogs.answers = {true};  // clear the unsaved data set
  form->Input().ClearButtonClick();
  for (QLineEdit* edit :
       {Widget<QLineEdit>(*form, "A1coeffEdit"), Widget<QLineEdit>(*form, "B1valueEdit"),
        Widget<QLineEdit>(*form, "InitRunEdit"), Widget<QLineEdit>(*form, "InitLevelEdit"),
        Widget<QLineEdit>(*form, "MaxStorEdit"), Widget<QLineEdit>(*form, "InitStorEdit"),
        Widget<QLineEdit>(*form, "EscapeEdit"), Widget<QLineEdit>(*form, "Title1Edit"),
        Widget<QLineEdit>(*form, "Title2Edit")}) {
    EXPECT_EQ(edit->text(), "") << edit->objectName().toStdString();
  }
  EXPECT_EQ(Widget<QLineEdit>(*form, "PorosityEdit")->text(), " 5 ");
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), "15");
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 15);
  EXPECT_EQ(Cell(0, 0), "0");
  EXPECT_EQ(Cell(2, 0), "0");
  // The runoff column is cleared too, and so is the data set.
  EXPECT_EQ(Cell(3, 0), "0");
  EXPECT_EQ(d().MaxStorage, 0);
  EXPECT_FALSE(form->Input().GridHasData);
}

TEST_F(RainFormInput, CellsShowTheCurrentSeparator) {
  CurrentDecimalSeparator = ',';
  d().NrOfData = 12;
  d().Time.assign(13, 1.5);
  d().Rain.assign(13, 0.25);
  d().EscRate.assign(13, 2);
  d().Runoff.assign(13, 1e-7);
  form->Input().GridHasData = true;
  form->Input().ShowDataSet();
  EXPECT_EQ(Cell(0, 0), "1,5");
  EXPECT_EQ(Cell(1, 11), "0,25");
  EXPECT_EQ(Cell(3, 0), "1E-7");
  EXPECT_EQ(Widget<TStringGrid>(*form, "StringGrid1")->RowCount(), 12);
  EXPECT_EQ(Widget<QLineEdit>(*form, "NrOfDataEdit")->text(), "12");
}

}  // namespace
